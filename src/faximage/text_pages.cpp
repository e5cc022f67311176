#include "faximage/text_pages.h"

#include <algorithm>

namespace tlm {

namespace {

// Code points of bytes 0x80..0x9F in code page 1252 (0 where undefined).
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Decodes UTF-8; false when `text` is not valid UTF-8.
bool DecodeUtf8(const std::string& text, std::u32string& out) {
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + std::size_t(extra) >= text.size()) return false;
    char32_t cp = extra == 0 ? c : (c & (0x3F >> extra));
    for (int k = 1; k <= extra; ++k) {
      const unsigned char d = static_cast<unsigned char>(text[i + std::size_t(k)]);
      if ((d >> 6) != 2) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    const char32_t minimum[] = {0, 0x80, 0x800, 0x10000};
    if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    out.push_back(cp);
    i += std::size_t(extra) + 1;
  }
  return true;
}

}  // namespace

std::string ToFaxFontCodePage(const std::string& text) {
  const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  std::u32string decoded;
  if (ascii || !DecodeUtf8(text, decoded)) return text;
  std::string out;
  out.reserve(decoded.size());
  for (char32_t cp : decoded) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      out += static_cast<char>(cp);
      continue;
    }
    const char32_t* hit = std::find(std::begin(kCp1252High), std::end(kCp1252High), cp);
    out += hit != std::end(kCp1252High) && cp != 0 ? static_cast<char>(0x80 + (hit - std::begin(kCp1252High))) : '?';
  }
  return out;
}

std::string ExpandTabs(const std::string& line, int tabStop) {
  if (tabStop <= 0) return line;
  std::string out;
  out.reserve(line.size());
  for (char c : line) {
    if (c != '\t') {
      out += c;
      continue;
    }
    const std::size_t next = (out.size() / std::size_t(tabStop) + 1) * std::size_t(tabStop);
    out.append(next - out.size(), ' ');
  }
  return out;
}

TextPages SplitTextPages(const std::string& text, int linesPerPage, int tabStop) {
  TextPages pages(1);
  auto addLine = [&](std::string line) {
    if (linesPerPage > 0 && int(pages.back().size()) >= linesPerPage) pages.emplace_back();
    pages.back().push_back(ExpandTabs(line, tabStop));
  };
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const bool lastLine = end == std::string::npos;
    if (lastLine) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    start = end + 1;
    std::size_t from = 0;
    for (bool first = true;; first = false) {
      const std::size_t ff = line.find('\f', from);
      const std::string segment = line.substr(from, ff == std::string::npos ? std::string::npos : ff - from);
      if (!first) {
        // A form feed at the very end of the text starts no further page.
        if (segment.empty() && ff == std::string::npos && start >= text.size()) break;
        pages.emplace_back();
      }
      addLine(segment);
      if (ff == std::string::npos) break;
      from = ff + 1;
    }
  }
  if (pages.back().empty()) pages.back().emplace_back();
  return pages;
}

}  // namespace tlm
