#include "richtext/rtf/rtf_document.h"

namespace tlm::rtf {

std::string Paragraph::Text() const {
  std::string text;
  for (const Run& run : runs) text += run.text;
  return text;
}

std::string Document::PlainText() const {
  std::string text;
  for (size_t i = 0; i < paragraphs.size(); ++i) {
    if (i > 0) text += '\n';
    text += paragraphs[i].Text();
  }
  return text;
}

void AppendText(Paragraph& paragraph, std::string_view text, const CharFormat& format, int insertTag) {
  if (text.empty()) return;
  if (!paragraph.runs.empty()) {
    Run& last = paragraph.runs.back();
    if (last.picture < 0 && last.insertTag == insertTag && last.format == format) {
      last.text.append(text);
      return;
    }
  }
  paragraph.runs.push_back(Run{std::string(text), format, insertTag});
}

void AppendPicture(Paragraph& paragraph, int picture, const CharFormat& format) {
  Run run{"\xEF\xBF\xBC", format};  // U+FFFC, the object replacement character
  run.picture = picture;
  paragraph.runs.push_back(std::move(run));
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;  // lone surrogate
  if (c > 0x10FFFF) c = 0xFFFD;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace tlm::rtf
