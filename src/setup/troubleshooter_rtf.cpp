#include "setup/troubleshooter_rtf.h"

#include <algorithm>

#include "richtext/rtf/rtf_writer.h"

namespace tlm::troubleshooter {

namespace {

// US Letter with half-inch margins (the printed answer keeps them); Arial
// for the text; black as the one colour. The Symbol face stays in the font
// table for pieces written elsewhere that use it.
constexpr std::string_view kHeader =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0\\paperw12240\\paperh15840\\margl720\\margr720\\margt720\\margb720"
    "{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\ftech\\fcharset2 Symbol;}}"
    "{\\colortbl ;\\red0\\green0\\blue0;}\r\n";
constexpr std::string_view kEnd = "}\r\n";

std::string Document(std::string_view body) {
  std::string text(kHeader);
  text += body;
  text += kEnd;
  return text;
}

bool Blank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

}  // namespace

const std::string& BulletTemplate() {
  // The bullet is the text font's own: Linux desktops rarely carry a Symbol
  // face, and a hanging indent of the bullet's width lines the text up.
  static const std::string piece =
      Document("\\pard\\plain\\fi-110\\li510\\sa80\\f0\\fs20\\u8226\\'95 %ANYTHING%\\par\r\n");
  return piece;
}

const std::string& PlainTemplate() {
  static const std::string piece = Document("\\pard\\plain\\sa120\\f0\\fs20 %ANYTHING%\\par\r\n");
  return piece;
}

const std::string& HeaderTemplate() {
  static const std::string piece =
      Document("\\pard\\plain\\sb200\\sa100\\f0\\fs22{\\b\\ul %ANYTHING%}\\par\r\n");
  return piece;
}

std::string EmptyDocument() { return Document(""); }

std::string TitledDocument() { return Document("\\pard\\plain\\qc\\sa240\\f0\\fs28{\\b %TITLE%}\\par\r\n"); }

std::string RtfEscape(std::string_view text) {
  std::string out;
  for (char32_t c : rtf::DecodeUtf8(text)) {
    if (c == '\\' || c == '{' || c == '}') {
      out += '\\';
      out += char(c);
    } else if (c == '\n') {
      out += "\\line ";
    } else if (c < 0x20) {
      out += ' ';
    } else if (c < 0x80) {
      out += char(c);
    } else {
      // RTF's \uN takes a signed 16-bit number; beyond the BMP a '?' stays.
      const long n = c <= 0xFFFF ? long(c) : long('?');
      out += "\\u" + std::to_string(n > 32767 ? n - 65536 : n) + "?";
    }
  }
  return out;
}

std::string ReplaceToken(std::string text, std::string_view token, std::string_view replacement) {
  if (token.empty()) return text;
  std::size_t at = 0;
  while ((at = text.find(token, at)) != std::string::npos) {
    text.replace(at, token.size(), replacement);
    at += replacement.size();
  }
  return text;
}

std::string RtfBody(const std::string& rtf) {
  const std::size_t table = rtf.find("{\\colortbl");
  if (table == std::string::npos) return {};
  const std::size_t close = rtf.find('}', table);
  if (close == std::string::npos || rtf.size() < 3) return {};
  const std::size_t from = close + 1;
  const std::size_t to = rtf.size() - 3;
  return to > from ? rtf.substr(from, to - from) : std::string();
}

void AppendBody(std::string& document, const std::string& rtf) {
  const std::string body = RtfBody(rtf);
  if (Blank(body)) return;
  document.resize(document.size() >= 3 ? document.size() - 3 : 0);
  document += body;
  document += "}\r\n";
}

void AppendPiece(std::string& document, const std::string& pieceTemplate, std::string_view text) {
  if (Blank(text)) return;
  AppendBody(document, ReplaceToken(pieceTemplate, kAnythingToken, RtfEscape(text)));
}

}  // namespace tlm::troubleshooter
