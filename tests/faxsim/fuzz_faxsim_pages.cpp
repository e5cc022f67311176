// Fuzzes faxsim's readers of outside input: T.4 page data as it comes off
// the line and APF files given to a remote sender.
#include <cstddef>
#include <cstdint>

#include "bitmap.h"
#include "t4.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  faxsim::Bytes bytes(data, data + size);
  faxsim::Bitmap page;
  page.width = size % 2 ? 2048 : 1728;
  faxsim::decodeMh(bytes, page);
  std::vector<faxsim::Bitmap> pages;
  faxsim::parseApf(bytes, "fuzz", pages);
  return 0;
}
