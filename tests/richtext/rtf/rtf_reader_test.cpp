// The RTF reader against files written by other programs and against the
// tricky corners of the format.
#include <gtest/gtest.h>

#include <string>

#include "richtext/rtf/rtf_reader.h"
#include "support/temp_dir.h"
#include "rtf_test_support.h"

namespace tlm::rtf {
namespace {

using test_support::Fixture;
using test_support::Read;

const rtf::Run* FindRun(const Document& doc, const std::string& text) {
  for (const Paragraph& p : doc.paragraphs)
    for (const Run& r : p.runs)
      if (r.text.find(text) != std::string::npos) return &r;
  return nullptr;
}

const Paragraph* FindParagraph(const Document& doc, const std::string& text) {
  for (const Paragraph& p : doc.paragraphs)
    if (p.Text().find(text) != std::string::npos) return &p;
  return nullptr;
}

TEST(RtfReader, LibreOfficeLetterKeepsTextFormattingAndLayout) {
  Document doc = Read(Fixture("letter-libreoffice.rtf"));
  EXPECT_EQ(doc.page, (PageSetup{12240, 15840, 720, 720, 720, 720}));
  std::string text = doc.PlainText();
  for (const char* piece : {"Quarterly Supply Offer", "Dear Ms. Müller,", "(€)", "Zürich, Malmö and Łódź",
                            "Greek α β γ", "dash — and quotes “like these”", "A-1001 12 € 4.50"}) {
    EXPECT_NE(text.find(piece), std::string::npos) << piece;
  }
  EXPECT_EQ(text.find("Normal"), std::string::npos) << "the style sheet leaked into the text";

  const rtf::Run* bold = FindRun(doc, "bold");
  ASSERT_TRUE(bold);
  EXPECT_TRUE(bold->format.bold);
  EXPECT_FALSE(bold->format.italic);
  EXPECT_TRUE(FindRun(doc, "italics")->format.italic);
  EXPECT_TRUE(FindRun(doc, "underlined")->format.underline);
  EXPECT_EQ(FindRun(doc, "red")->format.color, 0xC00000u);
  EXPECT_EQ(FindRun(doc, "larger text")->format.halfPoints, 32);
  EXPECT_EQ(FindRun(doc, "Quarterly")->format.font, "Liberation Sans");
  EXPECT_EQ(FindRun(doc, "Quarterly")->format.halfPoints, 40);

  const Paragraph* indented = FindParagraph(doc, "This indented paragraph");
  ASSERT_TRUE(indented);
  EXPECT_EQ(indented->format.leftIndent, 720);
  EXPECT_EQ(indented->format.rightIndent, 1080);
  EXPECT_EQ(indented->format.firstIndent, 360);
  EXPECT_EQ(indented->format.spaceBefore, 245);
  EXPECT_EQ(FindParagraph(doc, "Quarterly")->format.align, Align::Center);
  EXPECT_EQ(FindParagraph(doc, "December 8")->format.align, Align::Right);

  // The table keeps its cells (rtf_table_test looks closer).
  ASSERT_EQ(doc.tables.size(), 1u);
  EXPECT_EQ(FindParagraph(doc, "Quantity")->cell, (TableCellRef{0, 0, 1}));
  const Paragraph* second = FindParagraph(doc, "Terms and conditions");
  ASSERT_TRUE(second);
  EXPECT_TRUE(second->format.pageBreakBefore);
  int breaks = 0;
  for (const Paragraph& p : doc.paragraphs) breaks += p.format.pageBreakBefore;
  EXPECT_EQ(breaks, 1);
}

TEST(RtfReader, PandocMemoAndCoverSheet) {
  Document memo = Read(Fixture("memo-pandoc.rtf"));
  const rtf::Run* heading = FindRun(memo, "Internal memo");
  ASSERT_TRUE(heading);
  EXPECT_TRUE(heading->format.bold);
  EXPECT_EQ(heading->format.halfPoints, 36);
  EXPECT_TRUE(FindParagraph(memo, "All staff\u2028"));
  const Paragraph* item = FindParagraph(memo, "1.\tCompose the fax");
  ASSERT_TRUE(item);
  EXPECT_EQ(item->format.leftIndent, 360);
  EXPECT_EQ(item->format.firstIndent, -360);

  Document cover = Read(Fixture("cover-libreoffice.rtf"));
  std::string text = cover.PlainText();
  for (const char* piece : {"[RECIPIENT]", "[FAX#]", "[SUBJECT]", "[DATE]", "[TIME]"})
    EXPECT_NE(text.find(piece), std::string::npos) << piece;
  EXPECT_EQ(cover.page.marginLeft, 720);
}

TEST(RtfReader, CharactersInCodePagesAndUnicode) {
  // \uN skips its fallback: one character by default, \uc2 makes it two,
  // and an escaped byte counts as one character.
  Document doc = Read("{\\rtf1\\ansi a\\u8364?b\\uc2\\u945\\'3f\\'3fc{\\uc0\\u946}d\\u-3913\\'3f}");
  EXPECT_EQ(doc.PlainText(), "a€bαcβd\uF0B7");
  // Bytes follow \ansicpg, and a font's \fcharset overrides it.
  doc = Read("{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset238 Arial CE;}}"
             "\\'c4\\'e0 {\\f1 \\'b3\\'f3}}");
  EXPECT_EQ(doc.PlainText(), "Да łó");
  // Surrogate pairs, symbols and escapes.
  doc = Read("{\\rtf1 \\u-10179?\\u-8694?\\~\\{\\}\\\\\\emdash\\tab x\\line y}");
  EXPECT_EQ(doc.PlainText(), "😊\u00A0{}\\—\tx\u2028y");
}

TEST(RtfReader, SkipsWhatItDoesNotShow) {
  Document doc = Read(
      "{\\rtf1{\\*\\unknown secret}{\\info{\\title hidden}}{\\stylesheet{\\s1 Heading;}}"
      "A{\\pict\\wmetafile8 0102ff}B{\\*\\shppict{\\pict\\bin4 {}{}}}C{\\header head}"
      "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}{\\v hidden}\\v gone\\plain\\par}");
  // The metafile keeps its place as a box; the picture without a format is left out.
  EXPECT_EQ(doc.PlainText(), "A\uFFFCBClink");
  EXPECT_EQ(doc.pictures.size(), 1u);
  EXPECT_EQ(doc.paragraphs.size(), 1u);
  EXPECT_EQ(doc.paragraphs[0].runs[0].insertTag, 0);
}

TEST(RtfReader, ParagraphStylesGiveTheirFormatting) {
  Document doc = Read(
      "{\\rtf1\\deff0{\\fonttbl{\\f0 Arial;}{\\f1 Courier New;}}"
      "{\\stylesheet{\\s0\\fs20 Normal;}{\\s1\\sbasedon0\\b\\fs32\\qc\\sa240 Heading;}"
      "{\\*\\cs2\\i Emphasis;}{\\s3\\sbasedon0\\f1\\li720 Code;}}"
      "\\pard\\plain\\s1 Title\\par\\pard\\plain\\s0 Body {\\cs2 text}\\par"
      "\\pard\\plain\\s3\\li360 code\\par\\pard\\plain\\s9 unknown\\par}");
  ASSERT_EQ(doc.paragraphs.size(), 4u);
  const rtf::Run& title = doc.paragraphs[0].runs.at(0);
  EXPECT_TRUE(title.format.bold);
  EXPECT_EQ(title.format.halfPoints, 32);
  EXPECT_EQ(doc.paragraphs[0].format.align, Align::Center);
  EXPECT_EQ(doc.paragraphs[0].format.spaceAfter, 240);
  EXPECT_EQ(doc.paragraphs[1].runs.size(), 1u) << "character styles are not applied";
  EXPECT_EQ(doc.paragraphs[1].runs[0].format.halfPoints, 20);
  EXPECT_FALSE(doc.paragraphs[1].runs[0].format.bold);
  EXPECT_EQ(doc.paragraphs[2].runs.at(0).format.font, "Courier New");
  EXPECT_EQ(doc.paragraphs[2].runs[0].format.halfPoints, 20) << "based on Normal";
  EXPECT_EQ(doc.paragraphs[2].format.leftIndent, 360) << "the paragraph's own formatting wins";
  EXPECT_EQ(doc.paragraphs[3].runs.at(0).format.halfPoints, 24);
  EXPECT_EQ(doc.PlainText().find("Normal"), std::string::npos);
}

TEST(RtfReader, PageBreaksAndParagraphs) {
  Document doc = Read("{\\rtf1 one\\page two\\par \\page\\pard three\\par\\pard\\pagebb four}");
  ASSERT_EQ(doc.paragraphs.size(), 4u);
  EXPECT_EQ(doc.paragraphs[0].Text(), "one");
  EXPECT_FALSE(doc.paragraphs[0].format.pageBreakBefore);
  EXPECT_TRUE(doc.paragraphs[1].format.pageBreakBefore);
  EXPECT_EQ(doc.paragraphs[1].Text(), "two");
  EXPECT_TRUE(doc.paragraphs[2].format.pageBreakBefore);
  EXPECT_TRUE(doc.paragraphs[3].format.pageBreakBefore);
  EXPECT_EQ(doc.paragraphs[3].Text(), "four");

  // Sections start a new page unless they say \sbknone.
  doc = Read("{\\rtf1 one\\sect two\\par\\sect\\sectd\\sbknone three\\par}");
  ASSERT_EQ(doc.paragraphs.size(), 3u);
  EXPECT_TRUE(doc.paragraphs[1].format.pageBreakBefore);
  EXPECT_FALSE(doc.paragraphs[2].format.pageBreakBefore);
}

TEST(RtfReader, DamagedInputLoadsWhatItCan) {
  Document doc;
  std::string error;
  EXPECT_FALSE(ReadRtf("plain text, not RTF", doc, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(doc.paragraphs.empty());

  // Missing closing braces and a truncated escape: the text so far is kept.
  EXPECT_TRUE(ReadRtf("{\\rtf1 {\\b kept\\par more \\'4", doc, &error));
  EXPECT_EQ(doc.PlainText(), "kept\nmore ");

  // Absurd numbers are limited, deep nesting is refused without a crash.
  EXPECT_TRUE(ReadRtf("{\\rtf1\\paperw99999999999\\margl-5\\margr999999\\fs-4 x}", doc, &error));
  EXPECT_EQ(doc.page.paperWidth, 63360);
  EXPECT_EQ(doc.page.marginLeft, 0);
  EXPECT_LE(doc.page.marginLeft + doc.page.marginRight, 63360 - 720);
  EXPECT_EQ(doc.paragraphs[0].runs[0].format.halfPoints, 2);
  std::string deep = "{\\rtf1 start" + std::string(100000, '{') + "x";
  EXPECT_FALSE(ReadRtf(deep, doc, &error));
  EXPECT_NE(error.find("nested"), std::string::npos);
  EXPECT_EQ(doc.PlainText(), "start");
  EXPECT_TRUE(ReadRtf("{\\rtf1 a\\bin999999999 b}", doc, &error));
  EXPECT_EQ(doc.PlainText(), "a");
}

// A control word is at most 32 letters and its parameter at most 10 digits:
// longer ones of any length are read in one pass, the letters past the 32nd
// as text and the digits past the 10th dropped.
TEST(RtfReader, OverlongControlWordsAndParametersAreBounded) {
  const std::string letters(1000000, 'b');
  Document doc = Read("{\\rtf1\\ansi \\" + letters + " end}");
  EXPECT_EQ(doc.PlainText(), std::string(1000000 - 32, 'b') + " end");

  // \fs with a parameter of a million digits keeps its first ten (clamped
  // to the largest size) and the text after it.
  doc = Read("{\\rtf1\\ansi \\fs1" + std::string(999999, '0') + " big}");
  ASSERT_NE(FindRun(doc, "big"), nullptr);
  EXPECT_EQ(FindRun(doc, "big")->format.halfPoints, 1000);
  doc = Read("{\\rtf1\\ansi \\fs3" + std::string(10, '0') + " small}");
  EXPECT_EQ(FindRun(doc, "small")->format.halfPoints, 1000);
}

}  // namespace
}  // namespace tlm::rtf
