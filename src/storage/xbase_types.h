#pragma once
// Small value types shared by the xBase table engine: field descriptions,
// dates and the byte encodings used in data and index files.
#include <cstdint>
#include <string>
#include <string_view>

namespace tlm::xbase {

// Field types of a FoxPro 2.x table, by their xBase letters.
enum class FieldType : char {
  kCharacter = 'C',
  kDate = 'D',
  kLogical = 'L',
  kNumeric = 'N',
  kMemo = 'M',
};

struct FieldDef {
  std::string name;  // upper case, at most 10 characters
  FieldType type = FieldType::kCharacter;
  int width = 0;
  int decimals = 0;
  int offset = 0;  // inside the record; 1 is the first byte after the deletion flag
};

// True for a type letter this engine stores (C, D, L, N, M; any case).
bool IsKnownFieldType(char letter);

// Field width fixed by the type (D 8, L 1, M 10), or 0 when the caller chooses.
int FixedWidthOf(FieldType type);

// Julian day number of a Gregorian date; 0 for year 0 (the empty date).
std::int64_t JulianDay(int year, int month, int day);

// Checks a calendar date (years 1-9999).
bool IsValidDate(int year, int month, int day);

// Parses "YYYYMMDD"; false for blanks or anything that is not a valid date.
bool ParseDate8(std::string_view text, int& year, int& month, int& day);

// The 8 bytes of a double made sortable by plain byte comparison (index keys
// of numeric and date expressions).
std::string SortableDouble(double value);
double DoubleFromSortable(std::string_view bytes);

// Little- and big-endian helpers for file headers.
inline std::uint32_t GetLe32(const unsigned char* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
inline std::uint16_t GetLe16(const unsigned char* p) { return std::uint16_t(p[0] | p[1] << 8); }
inline std::uint32_t GetBe32(const unsigned char* p) {
  return std::uint32_t(p[3]) | std::uint32_t(p[2]) << 8 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[0]) << 24;
}
inline std::uint16_t GetBe16(const unsigned char* p) { return std::uint16_t(p[1] | p[0] << 8); }
inline void PutLe32(unsigned char* p, std::uint32_t v) {
  p[0] = v & 0xFF; p[1] = (v >> 8) & 0xFF; p[2] = (v >> 16) & 0xFF; p[3] = (v >> 24) & 0xFF;
}
inline void PutLe16(unsigned char* p, std::uint16_t v) { p[0] = v & 0xFF; p[1] = (v >> 8) & 0xFF; }
inline void PutBe32(unsigned char* p, std::uint32_t v) {
  p[3] = v & 0xFF; p[2] = (v >> 8) & 0xFF; p[1] = (v >> 16) & 0xFF; p[0] = (v >> 24) & 0xFF;
}
inline void PutBe16(unsigned char* p, std::uint16_t v) { p[1] = v & 0xFF; p[0] = (v >> 8) & 0xFF; }

}  // namespace tlm::xbase
