#include "platform/code_page_1252.h"

#include <algorithm>
#include <iterator>

namespace tlm {

namespace {

// Characters of bytes 0x80..0x9F (0 where the code page leaves a byte
// undefined); every other byte is the character of the same number.
constexpr char32_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

bool DecodeUtf8(std::string_view text, std::u32string& out) {
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + std::size_t(extra) >= text.size()) return false;
    char32_t cp = extra == 0 ? c : (c & (0x3F >> extra));
    for (int k = 1; k <= extra; ++k) {
      const unsigned char d = static_cast<unsigned char>(text[i + std::size_t(k)]);
      if ((d >> 6) != 2) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    out.push_back(cp);
    i += std::size_t(extra) + 1;
  }
  return true;
}

int Cp1252Byte(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
  if (c == 0) return -1;
  const char32_t* hit = std::find(std::begin(kHigh), std::end(kHigh), c);
  return hit != std::end(kHigh) ? static_cast<int>(0x80 + (hit - std::begin(kHigh))) : -1;
}

std::optional<std::string> Utf8ToCp1252(std::string_view text, char32_t* unencodable) {
  std::u32string chars;
  if (!DecodeUtf8(text, chars)) {
    if (unencodable) *unencodable = 0xFFFD;
    return std::nullopt;
  }
  std::string out;
  out.reserve(chars.size());
  for (char32_t c : chars) {
    const int byte = Cp1252Byte(c);
    if (byte < 0) {
      if (unencodable) *unencodable = c;
      return std::nullopt;
    }
    out += static_cast<char>(byte);
  }
  return out;
}

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    const unsigned char b = static_cast<unsigned char>(ch);
    const char32_t c = b >= 0x80 && b < 0xA0 ? (kHigh[b - 0x80] ? kHigh[b - 0x80] : 0xFFFD) : char32_t(b);
    AppendUtf8(out, c);
  }
  return out;
}

}  // namespace tlm
