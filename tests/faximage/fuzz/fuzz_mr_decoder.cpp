// Fuzzes the MR (two-dimensional T.4) page decoder.
#include "fuzz_t4_page_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return FuzzPageDecoder(tlm::T4Coding::MR, data, size);
}
