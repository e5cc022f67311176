#pragma once
// A rich-text document as plain data: paragraphs of formatted runs plus the
// page set-up. The RTF reader fills it and the RTF writer saves it; the Qt
// side converts it to and from a QTextDocument. All lengths are in twips.
#include <cstdint>
#include <string>
#include <vector>

#include "richtext/rtf/rtf_picture.h"

namespace tlm::rtf {

inline constexpr std::uint32_t kAutoColor = 0xFFFFFFFFu;
inline constexpr int kDefaultHalfPoints = 24;  // RTF's default size, 12 pt

struct CharFormat {
  std::string font;  // family name; empty: the document's default font
  int halfPoints = kDefaultHalfPoints;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strike = false;
  int vertical = 0;  // -1 subscript, 0 normal, 1 superscript
  std::uint32_t color = kAutoColor;  // 0xRRGGBB
  bool operator==(const CharFormat&) const = default;
};

enum class Align { Left, Center, Right, Justify };

struct ParaFormat {
  int firstIndent = 0;  // relative to the left indent, may be negative
  int leftIndent = 0;
  int rightIndent = 0;
  int spaceBefore = 0;
  int spaceAfter = 0;
  // 0: single spacing. With lineMultiple, lineHeight/240 lines; else a
  // positive value is "at least" and a negative one "exactly" |lineHeight|.
  int lineHeight = 0;
  bool lineMultiple = false;
  Align align = Align::Left;
  bool pageBreakBefore = false;
  bool operator==(const ParaFormat&) const = default;
};

// Text is UTF-8. A tab is '\t'; a line break inside a paragraph is U+2028.
// A run with insertTag 1..5 is (part of) a tagged insert point whose display
// text is the run's text.
struct Run {
  std::string text;
  CharFormat format;
  int insertTag = 0;
  int picture = -1;  // index into Document::pictures (text U+FFFC), -1: text
};

struct Paragraph {
  ParaFormat format;
  std::vector<Run> runs;
  std::string Text() const;
};

struct PageSetup {
  int paperWidth = 12240;
  int paperHeight = 15840;
  int marginLeft = 1800;
  int marginRight = 1800;
  int marginTop = 1440;
  int marginBottom = 1440;
  bool operator==(const PageSetup&) const = default;
};

struct Document {
  PageSetup page;
  std::string defaultFont = "Arial";
  std::vector<Paragraph> paragraphs;

  // The plain text, paragraphs separated by '\n'.
  std::string PlainText() const;
  std::vector<Picture> pictures;  // the pictures that runs refer to
};

// Appends `text` with `format` to the paragraph, merging it into the last
// run when that has the same format and tag.
void AppendText(Paragraph& paragraph, std::string_view text, const CharFormat& format, int insertTag = 0);

// Appends a run showing picture number `picture` of the document.
void AppendPicture(Paragraph& paragraph, int picture, const CharFormat& format);

// Appends a Unicode code point to a UTF-8 string.
void AppendUtf8(std::string& out, char32_t codePoint);

}  // namespace tlm::rtf
