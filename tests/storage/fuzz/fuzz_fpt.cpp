// Fuzzes the FPT memo reader on a memo file image, at every block the input
// names in its first bytes and at each block start.
#include <cstdint>
#include <string>

#include "fuzz_file.h"
#include "storage/fpt_file.h"
#include "storage/xbase_types.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text, error;
  for (std::uint32_t block = 0; block < 64; ++block) tlm::xbase::FptFile::ReadFromImage(data, size, block, text, error);
  if (size >= 12) tlm::xbase::FptFile::ReadFromImage(data, size, tlm::xbase::GetBe32(data + 8), text, error);

  static const std::string path = tlm::fuzz::ScratchFile(".fpt");
  tlm::fuzz::WriteScratch(path, data, size);
  auto memo = tlm::xbase::FptFile::Open(path, error);
  if (!memo) return 0;
  for (std::uint32_t block = 0; block < 32; ++block) memo->Read(block, text, error);
  std::uint32_t block = 0;
  memo->Write(8, "replacement text", block, error);
  memo->Read(block, text, error);
  return 0;
}
