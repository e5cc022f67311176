#pragma once
// How a tagged insert point is kept in RTF: a field whose instruction is
// "TLMINSERT <tag>" and whose result is the display text. Other programs show
// the result text.
#include <string>
#include <string_view>

namespace tlm::rtf {

inline constexpr int kFirstInsertTag = 1;
inline constexpr int kLastInsertTag = 5;
inline constexpr std::string_view kInsertFieldName = "TLMINSERT";

inline std::string InsertInstruction(int tag) {
  return std::string(kInsertFieldName) + " " + std::to_string(tag);
}

// The tag of a field instruction, or 0 when it is not an insert point.
inline int InsertTagOfInstruction(std::string_view instruction) {
  size_t start = instruction.find_first_not_of(' ');
  if (start == std::string_view::npos) return 0;
  instruction.remove_prefix(start);
  if (instruction.substr(0, kInsertFieldName.size()) != kInsertFieldName) return 0;
  instruction.remove_prefix(kInsertFieldName.size());
  size_t digit = instruction.find_first_not_of(' ');
  if (digit == std::string_view::npos) return 0;
  int tag = instruction[digit] - '0';
  return tag >= kFirstInsertTag && tag <= kLastInsertTag ? tag : 0;
}

}  // namespace tlm::rtf
