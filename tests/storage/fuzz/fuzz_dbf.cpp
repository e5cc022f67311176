// Fuzzes the DBF reader: header, field list, count recovery, records,
// fields as text and navigation.
#include <cstdint>
#include <string>

#include "fuzz_file.h"
#include "storage/work_area.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = tlm::fuzz::ScratchFile(".dbf");
  tlm::fuzz::WriteScratch(path, data, size);
  static bool hideDeleted = true;
  std::string error;
  auto area = tlm::xbase::WorkArea::Open(path, &hideDeleted, error);
  if (!area) return 0;
  area->GoTop(error);
  for (int steps = 0; steps < 200 && !area->Eof(); ++steps) {
    for (std::size_t f = 0; f < area->Table().Fields().size(); ++f) {
      std::string text;
      area->FieldText(static_cast<int>(f), text, error);
    }
    area->Skip(1, error);
  }
  long count = 0;
  area->SetFilter(".not. deleted()", error);
  area->CountVisible(count, error);
  area->GoBottom(error);
  area->Skip(-3, error);
  return 0;
}
