#include "richtext/rtf/rtf_reader.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "richtext/rtf/code_page.h"
#include "richtext/rtf/rtf_reader_picture.h"
#include "richtext/rtf/rtf_tags.h"

namespace tlm::rtf {
namespace {

constexpr int kMaxDepth = 512;
constexpr int kMaxTwips = 63360;  // 44 inches

enum class Dest { Text, Skip, FontTable, ColorTable, StyleSheet, FieldInstruction, Picture, Shape };

struct FontInfo {
  std::string name;
  int codePage = 0;
};

// A paragraph style of the style sheet: the formatting \sN stands for.
struct Style {
  CharFormat chr;
  ParaFormat para;
  int fontNumber = -1;
};

struct State {
  Dest dest = Dest::Text;
  CharFormat chr;
  ParaFormat para;
  int fontNumber = -1;
  int uc = 1;
  int field = -1;  // index into Parser::fields_ of the enclosing field
  int insertTag = 0;
  bool hidden = false;      // \v: text that is not shown
  bool groupStart = true;   // nothing seen yet in this group
  bool ignorable = false;   // "\*" seen at the group's start
};

int Clamp(long long value, int low, int high) {
  return static_cast<int>(std::clamp<long long>(value, low, high));
}

const std::set<std::string_view>& SkippedDestinations() {
  static const std::set<std::string_view> names = {
      "info", "header", "headerl", "headerr", "headerf", "footer", "footerl",
      "footerr", "footerf", "footnote", "object", "listtable", "listoverridetable",
      "revtbl", "rsidtbl", "themedata", "colorschememapping", "latentstyles", "datastore",
      "xmlnstbl", "generator", "pgdsctbl", "ftnsep", "ftnsepc", "ftncn", "aftnsep", "aftnsepc",
      "aftncn", "bkmkstart", "bkmkend", "pn", "pntxta", "pntxtb", "xe", "tc", "txe", "filetbl",
      "template", "userprops", "docvar", "private", "mmathPr", "fldtype", "atnid", "atnauthor",
      "annotation", "comment", "sp", "shpinst", "objdata", "objclass", "result"};
  return names;
}

class Parser {
 public:
  Parser(std::string_view in, Document& doc) : in_(in), doc_(doc) {}

  bool Run(std::string* error) {
    size_t start = in_.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos || in_.substr(start, 5) != "{\\rtf") {
      return Fail(error, "The file is not in Rich Text Format.");
    }
    pos_ = start;
    while (pos_ < in_.size()) {
      char c = in_[pos_];
      if (c == '{') {
        ++pos_;
        if (stack_.size() >= kMaxDepth) return Fail(error, "The RTF file is nested too deeply to read.");
        skip_ = 0;
        State child = stack_.empty() ? State{} : stack_.back();
        child.groupStart = true;
        child.ignorable = false;
        stack_.push_back(child);
      } else if (c == '}') {
        ++pos_;
        skip_ = 0;
        if (stack_.empty()) break;
        EndGroup();
        if (stack_.empty()) break;  // the document's closing brace
      } else if (stack_.empty()) {
        ++pos_;  // stray text after the document
      } else if (c == '\\') {
        ++pos_;
        ControlSequence();
      } else if (c == '\r' || c == '\n' || c == '\0') {
        ++pos_;
      } else {
        ++pos_;
        Byte(static_cast<unsigned char>(c));
      }
    }
    FinishParagraph(/*force=*/false);
    doc_.page = NormalizedPageSetup(doc_.page);
    auto deff = fonts_.find(defaultFontNumber_);
    if (deff != fonts_.end() && !deff->second.name.empty()) doc_.defaultFont = deff->second.name;
    ResolveDefaultFonts();
    return true;
  }

  // Runs without a font of their own get the default font by name, so that
  // runs that look the same are one run.
  void ResolveDefaultFonts() {
    for (Paragraph& para : doc_.paragraphs) {
      std::vector<rtf::Run> runs;
      for (rtf::Run& run : para.runs) {
        if (run.format.font.empty()) run.format.font = doc_.defaultFont;
        if (!runs.empty() && runs.back().format == run.format && runs.back().insertTag == run.insertTag &&
            runs.back().picture < 0 && run.picture < 0) {
          runs.back().text += run.text;
        } else {
          runs.push_back(std::move(run));
        }
      }
      para.runs = std::move(runs);
    }
  }

 private:
  bool Fail(std::string* error, const char* text) {
    FinishParagraph(false);
    doc_.page = NormalizedPageSetup(doc_.page);
    ResolveDefaultFonts();
    if (error) *error = text;
    return false;
  }

  State& Top() { return stack_.back(); }

  void EndGroup() {
    State ended = stack_.back();
    stack_.pop_back();
    if (ended.dest == Dest::FontTable && !fontName_.empty()) StoreFont();
    if (ended.dest == Dest::Picture && stack_.size() < pictureDepth_) EndPicture();
  }

  // --- control words and symbols -------------------------------------

  void ControlSequence() {
    if (pos_ >= in_.size()) return;
    char c = in_[pos_];
    if (!IsLetter(c)) {
      ++pos_;
      Symbol(c);
      return;
    }
    size_t nameStart = pos_;
    while (pos_ < in_.size() && IsLetter(in_[pos_]) && pos_ - nameStart < 32) ++pos_;
    std::string_view name = in_.substr(nameStart, pos_ - nameStart);
    bool hasParam = false;
    long long param = 0;
    bool negative = false;
    if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() && IsDigit(in_[pos_ + 1])) {
      negative = true;
      ++pos_;
    }
    size_t digits = 0;
    while (pos_ < in_.size() && IsDigit(in_[pos_])) {
      if (digits++ < 10) param = param * 10 + (in_[pos_] - '0');
      hasParam = true;
      ++pos_;
    }
    if (negative) param = -param;
    if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;
    Word(name, hasParam, param);
  }

  static bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

  void Symbol(char c) {
    switch (c) {
      case '\\': case '{': case '}':
        Byte(static_cast<unsigned char>(c));
        return;
      case '\'': {
        int value = 0;
        int n = 0;
        while (n < 2 && pos_ < in_.size() && std::isxdigit(static_cast<unsigned char>(in_[pos_]))) {
          char h = in_[pos_++];
          value = value * 16 + (IsDigit(h) ? h - '0' : (std::tolower(h) - 'a' + 10));
          ++n;
        }
        if (n > 0) Byte(static_cast<unsigned char>(value));
        return;
      }
      case '*':
        if (!stack_.empty() && Top().groupStart) Top().ignorable = true;
        return;
      case '~':
        Char(0x00A0);
        return;
      case '_':
        Char(0x2011);
        return;
      case '-':
        return;  // optional hyphen
      case '\r': case '\n':
        Word("par", false, 0);
        return;
      case '\t':
        Char('\t');
        return;
      default:
        return;
    }
  }

  void Word(std::string_view w, bool hasParam, long long param) {
    if (stack_.empty()) return;
    State& s = Top();
    bool atGroupStart = s.groupStart;
    s.groupStart = false;
    if (w == "bin") {
      if (!hasParam || param <= 0) return;
      const bool complete = static_cast<unsigned long long>(param) <= in_.size() - pos_;
      const size_t length = complete ? static_cast<size_t>(param) : in_.size() - pos_;
      if (s.dest == Dest::Picture) picture_.Binary(in_.substr(pos_, length), complete);
      pos_ += length;
      return;
    }
    if (s.dest == Dest::Picture) {
      if (atGroupStart) s.dest = Dest::Skip;  // the picture's properties, blip ids
      else picture_.Word(w, hasParam, param);
      return;
    }
    if (s.dest == Dest::Skip) return;
    if (skip_ > 0) {  // a control word stands for one fallback character
      --skip_;
      return;
    }

    // Destinations.
    if (atGroupStart) {
      if (w == "fonttbl") { s.dest = Dest::FontTable; return; }
      if (w == "colortbl") { s.dest = Dest::ColorTable; colors_.clear(); return; }
      if (w == "stylesheet") { s.dest = Dest::StyleSheet; return; }
      if (w == "fldinst" && s.field >= 0) { s.dest = Dest::FieldInstruction; return; }
      if (w == "fldrslt" && s.field >= 0) {
        s.dest = Dest::Text;
        s.insertTag = InsertTagOfInstruction(fields_[s.field]);
        return;
      }
      if (w == "field") {
        fields_.emplace_back();
        s.field = static_cast<int>(fields_.size()) - 1;
        return;
      }
      if (PictureDestination(w)) return;
      if (SkippedDestinations().count(w) || s.ignorable) {
        s.dest = Dest::Skip;
        return;
      }
    }

    if (s.dest == Dest::FontTable) {
      FontTableWord(w, hasParam, param);
      return;
    }
    if (s.dest == Dest::ColorTable) {
      int v = Clamp(param, 0, 255);
      if (w == "red") color_ = (color_ & 0x00FFFF) | (v << 16), colorSet_ = true;
      else if (w == "green") color_ = (color_ & 0xFF00FF) | (v << 8), colorSet_ = true;
      else if (w == "blue") color_ = (color_ & 0xFFFF00) | v, colorSet_ = true;
      return;
    }
    const bool styleDefinition = s.dest == Dest::StyleSheet;
    if (styleDefinition) {
      if (StyleSheetWord(w, param)) return;
    } else if (s.dest != Dest::Text && s.dest != Dest::FieldInstruction) {
      return;
    }

    CharFormat& chr = s.chr;
    ParaFormat& para = s.para;
    bool on = !hasParam || param != 0;
    int twips = Clamp(param, -kMaxTwips, kMaxTwips);

    if (!styleDefinition && TextWord(w, hasParam, param, twips)) return;

    // A paragraph style: its formatting, then the paragraph's own.
    if (w == "s" && !styleDefinition) {
      auto style = styles_.find(Clamp(param, 0, 1 << 20));
      if (style != styles_.end()) {
        chr = style->second.chr;
        para = style->second.para;
        s.fontNumber = style->second.fontNumber;
      }
      return;
    }

    // Character formatting.
    if (w == "plain") {
      chr = CharFormat{};
      s.hidden = false;
      s.fontNumber = defaultFontNumber_;
      chr.font = FontName(defaultFontNumber_);
      return;
    }
    if (w == "f") {
      s.fontNumber = Clamp(param, 0, 1 << 20);
      chr.font = FontName(s.fontNumber);
      return;
    }
    if (w == "fs") { chr.halfPoints = Clamp(hasParam ? param : kDefaultHalfPoints, 2, 1000); return; }
    if (w == "b") { chr.bold = on; return; }
    if (w == "v") { s.hidden = on; return; }
    if (w == "i") { chr.italic = on; return; }
    if (w == "strike" || w == "striked") { chr.strike = on; return; }
    if (w == "ulnone") { chr.underline = false; return; }
    if (w.substr(0, 2) == "ul" && w.substr(0, 3) != "ulc") { chr.underline = on; return; }
    if (w == "super") { chr.vertical = 1; return; }
    if (w == "sub") { chr.vertical = -1; return; }
    if (w == "nosupersub") { chr.vertical = 0; return; }
    if (w == "cf") {
      size_t index = static_cast<size_t>(Clamp(param, 0, 1 << 20));
      chr.color = index < colors_.size() ? colors_[index] : kAutoColor;
      return;
    }

    // Paragraph formatting.
    if (w == "pard") { para = ParaFormat{}; return; }
    if (w == "fi") { para.firstIndent = twips; return; }
    if (w == "li" || w == "lin") { para.leftIndent = twips; return; }
    if (w == "ri" || w == "rin") { para.rightIndent = twips; return; }
    if (w == "sb") { para.spaceBefore = Clamp(param, 0, kMaxTwips); return; }
    if (w == "sa") { para.spaceAfter = Clamp(param, 0, kMaxTwips); return; }
    if (w == "sl") { para.lineHeight = twips; return; }
    if (w == "slmult") { para.lineMultiple = param == 1; return; }
    if (w == "ql") { para.align = Align::Left; return; }
    if (w == "qc") { para.align = Align::Center; return; }
    if (w == "qr") { para.align = Align::Right; return; }
    if (w == "qj" || w == "qd") { para.align = Align::Justify; return; }
    if (w == "pagebb") { para.pageBreakBefore = on; return; }
  }

  // Special characters and document settings; true when `w` was one.
  bool TextWord(std::string_view w, bool hasParam, long long param, int twips) {
    State& s = Top();
    if (w == "par") { FinishParagraph(true); return true; }
    if (w == "sect") { SectionBreak(); return true; }
    if (w == "sectd" || w == "sbkpage" || w == "sbkodd" || w == "sbkeven") { sectionStartsPage_ = true; return true; }
    if (w == "sbknone" || w == "sbkcol") { sectionStartsPage_ = false; return true; }
    if (w == "row") { FinishParagraph(true); return true; }
    if (w == "cell" || w == "nestcell") { Char('\t'); return true; }
    if (w == "tab") { Char('\t'); return true; }
    if (w == "line") { Char(0x2028); return true; }
    if (w == "page") { PageBreak(); return true; }
    if (w == "emdash") { Char(0x2014); return true; }
    if (w == "endash") { Char(0x2013); return true; }
    if (w == "bullet") { Char(0x2022); return true; }
    if (w == "lquote") { Char(0x2018); return true; }
    if (w == "rquote") { Char(0x2019); return true; }
    if (w == "ldblquote") { Char(0x201C); return true; }
    if (w == "rdblquote") { Char(0x201D); return true; }
    if (w == "emspace" || w == "enspace" || w == "qmspace") { Char(' '); return true; }
    if (w == "u" && hasParam) { Unicode(param); return true; }
    if (w == "uc") { s.uc = Clamp(param, 0, 10); return true; }

    // Document.
    if (w == "ansicpg") { codePage_ = Clamp(param, 0, 65535); return true; }
    if (w == "deff") { defaultFontNumber_ = Clamp(param, 0, 1 << 20); return true; }
    if (w == "paperw" || w == "pgwsxn") { doc_.page.paperWidth = twips; return true; }
    if (w == "paperh" || w == "pghsxn") { doc_.page.paperHeight = twips; return true; }
    if (w == "margl" || w == "marglsxn") { doc_.page.marginLeft = twips; return true; }
    if (w == "margr" || w == "margrsxn") { doc_.page.marginRight = twips; return true; }
    if (w == "margt" || w == "margtsxn") { doc_.page.marginTop = twips; return true; }
    if (w == "margb" || w == "margbsxn") { doc_.page.marginBottom = twips; return true; }
    return false;
  }

  // Paragraph styles are defined in the style sheet and applied by \sN;
  // character, section and table styles are not applied. True when `w` was
  // a word of the style sheet itself.
  bool StyleSheetWord(std::string_view w, long long param) {
    State& s = Top();
    if (w == "s") {
      styleNumber_ = Clamp(param, 0, 1 << 20);
      paragraphStyle_ = true;
      s.chr = CharFormat{};
      s.chr.font = FontName(defaultFontNumber_);
      s.para = ParaFormat{};
      s.fontNumber = defaultFontNumber_;
      return true;
    }
    if (w == "cs" || w == "ds" || w == "ts" || w == "tsrowd") {
      paragraphStyle_ = false;
      return true;
    }
    if (w == "sbasedon") {
      auto base = styles_.find(Clamp(param, 0, 1 << 20));
      if (base != styles_.end()) {
        s.chr = base->second.chr;
        s.para = base->second.para;
        s.fontNumber = base->second.fontNumber;
      }
      return true;
    }
    return false;
  }

  void StoreStyle() {
    State& s = Top();
    if (paragraphStyle_ && styles_.size() < 4096) styles_[styleNumber_] = Style{s.chr, s.para, s.fontNumber};
    styleNumber_ = 0;
    paragraphStyle_ = true;
  }


  void FontTableWord(std::string_view w, bool hasParam, long long param) {
    if (w == "f" && hasParam) {
      if (!fontName_.empty()) StoreFont();
      fontNumber_ = Clamp(param, 0, 1 << 20);
      fontCharset_ = -1;
      fontName_.clear();
    } else if (w == "fcharset") {
      fontCharset_ = Clamp(param, 0, 255);
    }
  }

  void StoreFont() {
    std::string name = fontName_;
    while (!name.empty() && (name.back() == ' ' || name.back() == ';')) name.pop_back();
    size_t first = name.find_first_not_of(' ');
    name = first == std::string::npos ? std::string() : name.substr(first);
    if (fonts_.size() < 4096) {
      fonts_[fontNumber_] = FontInfo{name, fontCharset_ < 0 ? 0 : CodePageOfCharset(fontCharset_)};
    }
    fontName_.clear();
  }

  std::string FontName(int number) const {
    auto it = fonts_.find(number);
    return it == fonts_.end() ? std::string() : it->second.name;
  }

  // --- text --------------------------------------------------------------

  // A byte of text: plain ASCII, or a byte of the code page (literal or \'hh).
  void Byte(unsigned char b) {
    if (stack_.empty()) return;
    State& s = Top();
    s.groupStart = false;
    if (skip_ > 0) {
      --skip_;
      return;
    }
    switch (s.dest) {
      case Dest::Skip:
        return;
      case Dest::FontTable:
        if (b == ';') StoreFont();
        else if (fontName_.size() < 256) fontName_ += DecodeFontByte(b);
        return;
      case Dest::ColorTable:
        if (b == ';') {
          if (colors_.size() < 4096) colors_.push_back(colorSet_ ? color_ : kAutoColor);
          color_ = 0;
          colorSet_ = false;
        }
        return;
      case Dest::StyleSheet:
        if (b == ';') StoreStyle();  // the style's name ends its definition
        return;
      case Dest::FieldInstruction:
        if (s.field >= 0 && fields_[s.field].size() < 256) fields_[s.field] += static_cast<char>(b);
        return;
      case Dest::Picture:
        picture_.Text(static_cast<char>(b));
        return;
      case Dest::Shape:
        return;
      case Dest::Text:
        break;
    }
    if (b < 0x80) {
      if (b == '\t') Char('\t');
      else if (b >= 0x20) Char(b);
      return;
    }
    int codePage = codePage_;
    auto font = fonts_.find(s.fontNumber);
    if (font != fonts_.end() && font->second.codePage != 0) codePage = font->second.codePage;
    Char(CodePageTable(codePage)[b]);
  }

  std::string DecodeFontByte(unsigned char b) {
    std::string out;
    if (b < 0x80) {
      out += static_cast<char>(b);
      return out;
    }
    int codePage = fontCharset_ < 0 ? 0 : CodePageOfCharset(fontCharset_);
    AppendUtf8(out, CodePageTable(codePage != 0 ? codePage : codePage_)[b]);
    return out;
  }

  void Unicode(long long value) {
    State& s = Top();
    skip_ = s.uc;
    if (value < 0) value += 65536;
    if (value < 0 || value > 0xFFFF) return;
    auto unit = static_cast<char32_t>(value);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      highSurrogate_ = unit;
      return;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      if (highSurrogate_ != 0) Char(0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00));
      highSurrogate_ = 0;
      return;
    }
    Char(unit);
  }

  void Char(char32_t c) {
    if (stack_.empty()) return;
    State& s = Top();
    if (s.dest == Dest::FieldInstruction) {
      if (s.field >= 0 && fields_[s.field].size() < 256 && c < 0x80) fields_[s.field] += static_cast<char>(c);
      return;
    }
    if (s.dest != Dest::Text || s.hidden) return;
    highSurrogate_ = 0;
    if (c < 0x20 && c != '\t') return;  // control characters carry no text
    std::string utf8;
    AppendUtf8(utf8, c);
    AppendText(current_, utf8, s.chr, s.insertTag);
  }

  // --- pictures ------------------------------------------------------------

  // \pict starts a picture; \shppict holds the picture itself and
  // \nonshppict a fallback for readers without it, read only when the
  // \shppict before it gave no picture. A floating shape's picture (its
  // \shpinst property "pib") is read as a picture in the text where the
  // shape is anchored, and then the shape's \shprslt fallback is not. True
  // when `w` was one of these.
  bool PictureDestination(std::string_view w) {
    State& s = Top();
    if (s.dest == Dest::Shape && !s.hidden) {
      if (w == "pict") BeginPicture();
      else if (w != "sp" && w != "sn" && w != "sv") s.dest = Dest::Skip;
      return true;
    }
    const bool inText = s.dest == Dest::Text && !s.hidden;
    const bool ours = w == "shppict" || w == "nonshppict" || w == "pict" || w == "shpinst" || w == "shprslt";
    if (ours && !inText) {
      s.dest = Dest::Skip;
      return true;
    }
    if (w == "shppict" || w == "shpinst") {
      if (w == "shpinst") s.dest = Dest::Shape;
      picturesBeforeShppict_ = doc_.pictures.size();
      return true;
    }
    if (w == "nonshppict" || w == "shprslt") {
      if (picturesBeforeShppict_ < doc_.pictures.size()) s.dest = Dest::Skip;
      picturesBeforeShppict_ = SIZE_MAX;
      return true;
    }
    if (w == "pict") {
      BeginPicture();
      return true;
    }
    return false;
  }

  void BeginPicture() {
    State& s = Top();
    s.dest = Dest::Picture;
    pictureDepth_ = stack_.size();
    pictureFormat_ = s.chr;
    picture_.Begin();
  }

  void EndPicture() {
    pictureDepth_ = 0;
    std::optional<Picture> picture = picture_.End();
    if (!picture) return;  // damaged data: the picture is left out
    doc_.pictures.push_back(std::move(*picture));
    AppendPicture(current_, static_cast<int>(doc_.pictures.size()) - 1, pictureFormat_);
  }

  void PageBreak() {
    if (!current_.runs.empty()) FinishParagraph(true);
    pendingPageBreak_ = true;
  }

  // Ends the paragraph being read. `force`: also when it is empty (a \par).
  // \sect ends the section's last paragraph; the next section starts a new
  // page unless its own \sbk word says otherwise (a new page by default).
  void SectionBreak() {
    if (!current_.runs.empty()) FinishParagraph(true);
    sectionPending_ = true;
    sectionStartsPage_ = true;
  }

  void FinishParagraph(bool force) {
    if (!force && current_.runs.empty()) return;
    current_.format = stack_.empty() ? lastPara_ : Top().para;
    if (pendingPageBreak_ || (sectionPending_ && sectionStartsPage_)) current_.format.pageBreakBefore = true;
    pendingPageBreak_ = false;
    sectionPending_ = false;
    lastPara_ = current_.format;
    doc_.paragraphs.push_back(std::move(current_));
    current_ = Paragraph{};
  }

  std::string_view in_;
  Document& doc_;
  PictureReader picture_;
  size_t pictureDepth_ = 0;  // the stack depth of the \pict group being read
  CharFormat pictureFormat_;
  size_t picturesBeforeShppict_ = SIZE_MAX;
  size_t pos_ = 0;
  std::vector<State> stack_;
  int skip_ = 0;  // fallback characters still to skip after \uN
  char32_t highSurrogate_ = 0;
  int codePage_ = 1252;
  int defaultFontNumber_ = 0;
  std::map<int, FontInfo> fonts_;
  int fontNumber_ = 0;
  int fontCharset_ = -1;
  std::string fontName_;
  std::vector<std::uint32_t> colors_;
  std::uint32_t color_ = 0;
  bool colorSet_ = false;
  std::vector<std::string> fields_;  // instruction text of each field seen
  std::map<int, Style> styles_;
  int styleNumber_ = 0;
  bool paragraphStyle_ = true;
  Paragraph current_;
  ParaFormat lastPara_;
  bool pendingPageBreak_ = false;
  bool sectionPending_ = false;    // a \sect was read; its paragraph follows
  bool sectionStartsPage_ = true;  // the current section's \sbk kind
};

}  // namespace

PageSetup NormalizedPageSetup(PageSetup p) {
  p.paperWidth = std::clamp(p.paperWidth, 1440, kMaxTwips);
  p.paperHeight = std::clamp(p.paperHeight, 1440, kMaxTwips);
  auto fit = [](int& a, int& b, int size) {
    a = std::clamp(a, 0, size);
    b = std::clamp(b, 0, size);
    int room = size - 720;  // at least half an inch of text
    if (a + b > room) {
      a = std::min(a, room / 2);
      b = std::min(b, room - a);
    }
  };
  fit(p.marginLeft, p.marginRight, p.paperWidth);
  fit(p.marginTop, p.marginBottom, p.paperHeight);
  return p;
}

bool ReadRtf(std::string_view input, Document& doc, std::string* error) {
  doc = Document{};
  if (error) error->clear();
  Parser parser(input, doc);
  return parser.Run(error);
}

}  // namespace tlm::rtf
