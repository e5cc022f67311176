#include "faximage/text_pages.h"

#include <algorithm>

#include "platform/code_page_1252.h"

namespace tlm {

std::string ToFaxFontCodePage(const std::string& text) {
  const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  std::u32string decoded;
  if (ascii || !DecodeUtf8(text, decoded)) return text;
  std::string out;
  out.reserve(decoded.size());
  for (char32_t cp : decoded) {
    const int byte = Cp1252Byte(cp);
    out += byte >= 0 ? static_cast<char>(byte) : '?';
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
