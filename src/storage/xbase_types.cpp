#include "storage/xbase_types.h"

#include <cctype>
#include <cstring>

namespace tlm::xbase {

bool IsKnownFieldType(char letter) {
  switch (std::toupper(static_cast<unsigned char>(letter))) {
    case 'C': case 'D': case 'L': case 'N': case 'M': return true;
    default: return false;
  }
}

int FixedWidthOf(FieldType type) {
  switch (type) {
    case FieldType::kDate: return 8;
    case FieldType::kLogical: return 1;
    case FieldType::kMemo: return 10;
    default: return 0;
  }
}

std::int64_t JulianDay(int year, int month, int day) {
  if (year <= 0) return 0;
  const std::int64_t a = (14 - month) / 12;
  const std::int64_t y = year + 4800 - a;
  const std::int64_t m = month + 12 * a - 3;
  return day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

bool IsValidDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int days = kDays[month - 1];
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month == 2 && leap) days = 29;
  return day <= days;
}

bool ParseDate8(std::string_view text, int& year, int& month, int& day) {
  if (text.size() != 8) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  auto num = [&](int from, int len) {
    int v = 0;
    for (int i = from; i < from + len; ++i) v = v * 10 + (text[i] - '0');
    return v;
  };
  year = num(0, 4);
  month = num(4, 2);
  day = num(6, 2);
  return IsValidDate(year, month, day);
}

std::string SortableDouble(double value) {
  if (value == 0.0) value = 0.0;  // -0.0 sorts as +0.0
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  if (bits >> 63)
    bits = ~bits;
  else
    bits ^= std::uint64_t(1) << 63;
  std::string out(8, '\0');
  for (int i = 0; i < 8; ++i) out[i] = static_cast<char>((bits >> (56 - 8 * i)) & 0xFF);
  return out;
}

double DoubleFromSortable(std::string_view bytes) {
  std::uint64_t bits = 0;
  for (int i = 0; i < 8 && i < static_cast<int>(bytes.size()); ++i)
    bits = (bits << 8) | static_cast<unsigned char>(bytes[i]);
  if (bits >> 63)
    bits ^= std::uint64_t(1) << 63;
  else
    bits = ~bits;
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace tlm::xbase
