// Fuzzes the T.4 decoder directly and the unpacker on the input taken as an
// APF file.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "faximage/fax_errors.h"
#include "faximage/fax_unpack_engine.h"
#include "faximage/t4_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  long lines = 0;
  tlm::T4Decoder decoder([&](const std::uint8_t* line, int pixels) {
    lines += line[pixels / 8 - 1] & 1;
    return true;
  });
  // Split at a point the data chooses, to exercise feeding in pieces.
  const std::size_t cut = size ? data[0] % (size + 1) : 0;
  decoder.Feed(data, cut);
  decoder.Feed(data + cut, size - cut);
  decoder.Finish();

  static const std::string path = "/tmp/fuzz_apf_decoder." + std::to_string(::getpid()) + ".apf";
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  for (int page = 1; page <= 4; ++page) {
    tlm::UnpackSettings settings;
    settings.doubleHeight = page % 2;
    settings.halfWidth = page == 4;
    settings.whitespaceCompression = page >= 3;
    settings.whitespaceFrom = 5;
    settings.whitespaceTo = 2;
    try {
      tlm::UnpackApfPageToBitmap(path, page, settings, {});
    } catch (const tlm::EFaxImageError&) {
      break;
    }
  }
  return 0;
}
