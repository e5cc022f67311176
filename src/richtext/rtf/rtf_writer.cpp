#include "richtext/rtf/rtf_writer.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include "richtext/rtf/code_page.h"
#include "richtext/rtf/rtf_tags.h"
#include "richtext/rtf/rtf_writer_picture.h"

namespace tlm::rtf {
namespace {

class Writer {
 public:
  explicit Writer(const Document& doc) : doc_(doc) {}

  std::string Write() {
    CollectTables();
    out_ = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl";
    for (size_t i = 0; i < fonts_.size(); ++i) {
      out_ += "{\\f" + std::to_string(i) + "\\fnil\\fcharset0 ";
      Text(fonts_[i], /*inFontTable=*/true);
      out_ += ";}";
    }
    out_ += "}\n{\\colortbl;";
    for (std::uint32_t c : colors_) {
      out_ += "\\red" + std::to_string(c >> 16 & 0xFF) + "\\green" + std::to_string(c >> 8 & 0xFF) +
              "\\blue" + std::to_string(c & 0xFF) + ";";
    }
    out_ += "}\n";
    const PageSetup& p = doc_.page;
    out_ += "\\paperw" + std::to_string(p.paperWidth) + "\\paperh" + std::to_string(p.paperHeight) +
            "\\margl" + std::to_string(p.marginLeft) + "\\margr" + std::to_string(p.marginRight) +
            "\\margt" + std::to_string(p.marginTop) + "\\margb" + std::to_string(p.marginBottom) +
            "\\sectd\\pgwsxn" + std::to_string(p.paperWidth) + "\\pghsxn" + std::to_string(p.paperHeight) +
            "\\marglsxn" + std::to_string(p.marginLeft) + "\\margrsxn" + std::to_string(p.marginRight) +
            "\\margtsxn" + std::to_string(p.marginTop) + "\\margbsxn" + std::to_string(p.marginBottom) + "\n";
    for (const Paragraph& para : doc_.paragraphs) WriteParagraph(para);
    out_ += "}\n";
    return std::move(out_);
  }

 private:
  void CollectTables() {
    fonts_.push_back(doc_.defaultFont.empty() ? std::string("Arial") : doc_.defaultFont);
    for (const Paragraph& para : doc_.paragraphs) {
      for (const Run& run : para.runs) {
        if (!run.format.font.empty() && FontIndex(run.format.font) < 0) fonts_.push_back(run.format.font);
        if (run.format.color != kAutoColor && ColorIndex(run.format.color) == 0) colors_.push_back(run.format.color);
      }
    }
  }

  int FontIndex(const std::string& name) const {
    auto it = std::find(fonts_.begin(), fonts_.end(), name);
    return it == fonts_.end() ? -1 : static_cast<int>(it - fonts_.begin());
  }

  int ColorIndex(std::uint32_t color) const {
    auto it = std::find(colors_.begin(), colors_.end(), color);
    return it == colors_.end() ? 0 : static_cast<int>(it - colors_.begin()) + 1;
  }

  void Number(const char* word, int value) {
    out_ += word;
    out_ += std::to_string(value);
  }

  void WriteParagraph(const Paragraph& para) {
    const ParaFormat& f = para.format;
    out_ += "\\pard\\plain";
    switch (f.align) {
      case Align::Left: out_ += "\\ql"; break;
      case Align::Center: out_ += "\\qc"; break;
      case Align::Right: out_ += "\\qr"; break;
      case Align::Justify: out_ += "\\qj"; break;
    }
    if (f.firstIndent) Number("\\fi", f.firstIndent);
    if (f.leftIndent) Number("\\li", f.leftIndent);
    if (f.rightIndent) Number("\\ri", f.rightIndent);
    if (f.spaceBefore) Number("\\sb", f.spaceBefore);
    if (f.spaceAfter) Number("\\sa", f.spaceAfter);
    if (f.lineHeight) {
      Number("\\sl", f.lineHeight);
      Number("\\slmult", f.lineMultiple ? 1 : 0);
    }
    if (f.pageBreakBefore) out_ += "\\pagebb";
    out_ += ' ';
    for (size_t i = 0; i < para.runs.size();) {
      int tag = para.runs[i].insertTag;
      if (tag == 0) {
        WriteRun(para.runs[i++]);
        continue;
      }
      out_ += "{\\field{\\*\\fldinst " + InsertInstruction(tag) + "}{\\fldrslt ";
      while (i < para.runs.size() && para.runs[i].insertTag == tag) WriteRun(para.runs[i++]);
      out_ += "}}";
    }
    out_ += "\\par\n";
  }

  void WriteRun(const Run& run) {
    const CharFormat& c = run.format;
    out_ += '{';
    Number("\\f", std::max(0, c.font.empty() ? 0 : FontIndex(c.font)));
    Number("\\fs", c.halfPoints);
    if (c.bold) out_ += "\\b";
    if (c.italic) out_ += "\\i";
    if (c.underline) out_ += "\\ul";
    if (c.strike) out_ += "\\strike";
    if (c.vertical > 0) out_ += "\\super";
    if (c.vertical < 0) out_ += "\\sub";
    if (c.color != kAutoColor) Number("\\cf", ColorIndex(c.color));
    out_ += ' ';
    if (run.picture < 0) Text(run.text, false);
    else if (run.picture < static_cast<int>(doc_.pictures.size())) WritePicture(out_, doc_.pictures[run.picture]);
    out_ += '}';
  }

  void Text(const std::string& text, bool inFontTable) {
    for (char32_t c : DecodeUtf8(text)) {
      if (c == '\\' || c == '{' || c == '}') {
        out_ += '\\';
        out_ += static_cast<char>(c);
      } else if (c == '\t') {
        out_ += inFontTable ? " " : "\\tab ";
      } else if (c == 0x2028) {
        out_ += inFontTable ? " " : "\\line ";
      } else if (c < 0x20) {
        continue;
      } else if (c < 0x80) {
        out_ += static_cast<char>(c);
      } else if (c == 0xA0) {
        out_ += "\\~";
      } else {
        int byte = EncodeCp1252(c);
        char fallback[16];
        if (byte >= 0) std::snprintf(fallback, sizeof fallback, "\\'%02x", byte);
        else std::snprintf(fallback, sizeof fallback, "?");
        if (c > 0xFFFF) {
          char32_t v = c - 0x10000;
          Number("\\u", static_cast<std::int16_t>(0xD800 + (v >> 10)));
          out_ += "?";
          Number("\\u", static_cast<std::int16_t>(0xDC00 + (v & 0x3FF)));
        } else {
          Number("\\u", static_cast<std::int16_t>(static_cast<std::uint16_t>(c)));
        }
        out_ += fallback;
      }
    }
  }

  const Document& doc_;
  std::string out_;
  std::vector<std::string> fonts_;
  std::vector<std::uint32_t> colors_;
};

}  // namespace

std::u32string DecodeUtf8(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    auto b = static_cast<unsigned char>(s[i]);
    int extra = b < 0x80 ? 0 : (b >> 5) == 0x6 ? 1 : (b >> 4) == 0xE ? 2 : (b >> 3) == 0x1E ? 3 : -1;
    if (extra < 0 || i + extra >= s.size()) {
      out += 0xFFFD;
      ++i;
      continue;
    }
    char32_t c = extra == 0 ? b : b & (0x3F >> extra);
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      auto n = static_cast<unsigned char>(s[i + k]);
      if ((n & 0xC0) != 0x80) { ok = false; break; }
      c = c << 6 | (n & 0x3F);
    }
    if (!ok) {
      out += 0xFFFD;
      ++i;
      continue;
    }
    out += c;
    i += extra + 1;
  }
  return out;
}

std::string WriteRtf(const Document& doc) { return Writer(doc).Write(); }

}  // namespace tlm::rtf
