// Fuzzes the CDX reader: compound header, tag directory, tag headers and
// the B-tree pages, walked and checked, then changed and written.
#include <cstdint>
#include <string>

#include "fuzz_file.h"
#include "storage/cdx_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = tlm::fuzz::ScratchFile(".cdx");
  tlm::fuzz::WriteScratch(path, data, size);
  std::string error;
  auto cdx = tlm::xbase::CdxFile::Open(path, error);
  if (!cdx) return 0;
  for (int t = 0; t < cdx->TagCount(); ++t) {
    cdx->SetKeyPad(t, size % 2 ? ' ' : '\0');
    tlm::xbase::CdxFile::Cursor c;
    if (cdx->Seek(t, std::string(cdx->TagAt(t).keyLength, 'M'), 1, c, error)) {
      for (int i = 0; i < 50 && c.Valid(); ++i)
        if (!cdx->Prev(c, error)) break;
    }
  }
  if (!cdx->Verify(error)) return 0;
  for (int t = 0; t < cdx->TagCount(); ++t) {
    const std::string key(cdx->TagAt(t).keyLength, 'K');
    for (std::uint32_t r = 1; r <= 40; ++r)
      if (!cdx->Insert(t, key, r, error)) return 0;
    for (std::uint32_t r = 1; r <= 40; r += 2)
      if (!cdx->Remove(t, key, r, error)) return 0;
  }
  cdx->Verify(error);
  cdx->Flush(1, error);
  return 0;
}
