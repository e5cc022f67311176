// Fuzzes the PCX reader of the converter.
#include "fuzz_image_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return tlm::fuzzing::ReadAllPages(data, size, [](std::vector<std::uint8_t> file) { return tlm::OpenPcx(std::move(file)); });
}
