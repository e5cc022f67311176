// Fuzzes the xBase expression parser and evaluator: the input is the
// expression text, evaluated on a record of the fax log fields.
#include <cstdint>
#include <string>
#include <vector>

#include "storage/xbase_expr.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tlm::xbase;
  static const std::vector<FieldDef> fields = {
      {"SUBJECT", FieldType::kCharacter, 20, 0, 1}, {"SENT", FieldType::kLogical, 1, 0, 21},
      {"DATESENT", FieldType::kDate, 8, 0, 22},     {"TIMESENT", FieldType::kCharacter, 5, 0, 30},
      {"PAGES", FieldType::kNumeric, 2, 0, 35},     {"FROM", FieldType::kCharacter, 10, 0, 37},
      {"RTFDOC", FieldType::kMemo, 10, 0, 47},
  };
  static const std::string records[] = {
      std::string(" Acme report         T2024031509:30 3ACME LTD           7"),
      std::string("*") + std::string(56, ' '),
  };
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string error;
  auto e = Expression::Parse(text, fields, error);
  if (!e) return 0;
  for (const auto& r : records) {
    RecordView view;
    view.fields = &fields;
    view.record = r.data();
    view.recno = 3;
    view.memo = [](const FieldDef&, const char*) { return std::string("{\\rtf1 memo}"); };
    e->Evaluate(view);
  }
  return 0;
}
