// The rich-text editor as its owners use it: RTF in and out, insert points,
// paragraph attributes, fonts, and painting pages.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTextBlock>

#include "qt_app.h"
#include "richtext/rich_text_editor.h"
#include "richtext/rtf/rtf_reader.h"
#include "richtext/rtf/rtf_writer.h"
#include "support/temp_dir.h"

namespace tlm {
namespace {

std::string Fixture(const std::string& name) {
  return testing::ReadText(std::string(TOLMERA_FIXTURES_DIR) + "/rtf/" + name);
}

class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::App(); }
};

void ExpectSameContent(const rtf::Document& a, const rtf::Document& b) {
  EXPECT_EQ(a.page, b.page);
  ASSERT_EQ(a.paragraphs.size(), b.paragraphs.size());
  for (size_t i = 0; i < a.paragraphs.size(); ++i) {
    EXPECT_EQ(a.paragraphs[i].format, b.paragraphs[i].format) << a.paragraphs[i].Text();
    ASSERT_EQ(a.paragraphs[i].runs.size(), b.paragraphs[i].runs.size()) << a.paragraphs[i].Text();
    for (size_t k = 0; k < a.paragraphs[i].runs.size(); ++k) {
      const rtf::Run& ra = a.paragraphs[i].runs[k];
      const rtf::Run& rb = b.paragraphs[i].runs[k];
      EXPECT_EQ(ra.text, rb.text);
      EXPECT_EQ(ra.format, rb.format) << ra.text;
      EXPECT_EQ(ra.insertTag, rb.insertTag) << ra.text;
    }
  }
}

TEST_F(EditorTest, FilesSurviveLoadSaveAndLoadThroughTheEditor) {
  testing::TempDir dir;
  for (const char* name : {"letter-libreoffice.rtf", "cover-libreoffice.rtf", "memo-pandoc.rtf"}) {
    SCOPED_TRACE(name);
    rtf::Document original;
    ASSERT_TRUE(rtf::ReadRtf(Fixture(name), original));
    RichTextEditor editor;
    ASSERT_TRUE(editor.LoadRtf(QString::fromStdString(std::string(TOLMERA_FIXTURES_DIR) + "/rtf/" + name)));
    std::string path = dir.File("saved.rtf");
    ASSERT_TRUE(editor.SaveRtf(QString::fromStdString(path)));
    RichTextEditor again;
    ASSERT_TRUE(again.LoadRtf(QString::fromStdString(path)));
    rtf::Document reloaded;
    ASSERT_TRUE(rtf::ReadRtf(testing::ReadText(path), reloaded));
    ExpectSameContent(original, reloaded);
    ExpectSameContent(again.Model(), reloaded);
  }
}

TEST_F(EditorTest, TextQueriesAndView) {
  RichTextEditor editor;
  EXPECT_TRUE(editor.IsEmpty());
  EXPECT_EQ(editor.CharacterCount(), 0);
  ASSERT_TRUE(editor.SetRtfText("{\\rtf1 first\\par  second \\line third\\par}"));
  EXPECT_FALSE(editor.IsEmpty());
  EXPECT_EQ(editor.LineCount(), 3);
  EXPECT_EQ(editor.Line(0), "first");
  EXPECT_EQ(editor.Line(1), " second ");
  EXPECT_EQ(editor.Line(2), "third");
  EXPECT_EQ(editor.Line(9), "");
  EXPECT_EQ(editor.CharacterCount(), QString("first\n second \nthird").size());
  editor.SetZoom(208);
  EXPECT_EQ(editor.Zoom(), 208);
  EXPECT_TRUE(editor.WordWrap());
  editor.SetWordWrap(false);
  EXPECT_FALSE(editor.WordWrap());
  editor.Clear();
  EXPECT_TRUE(editor.IsEmpty());
  QTextCursor typed = editor.TextCursor();
  typed.insertText("new");
  rtf::Document fresh = editor.Model();
  EXPECT_EQ(fresh.paragraphs.at(0).runs.at(0).format.font, "Arial");
  EXPECT_EQ(fresh.paragraphs.at(0).runs.at(0).format.halfPoints, 24);
  editor.Clear();

  QString error;
  EXPECT_FALSE(editor.SetRtfText("no rtf here", &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_TRUE(editor.IsEmpty());
  EXPECT_FALSE(editor.LoadRtf("/nonexistent/file.rtf", &error));
}

TEST_F(EditorTest, InsertPointsAreKeptFilledAndUnmarked) {
  testing::TempDir dir;
  RichTextEditor editor;
  editor.SetPageSetup({12240, 15840, 720, 720, 720, 720});
  QTextCursor c = editor.TextCursor();
  c.insertText("To: ");
  editor.SetTextCursor(c);
  editor.InsertInsertPoint(1, "[RECIPIENT]");
  QTextCursor after = editor.TextCursor();
  after.insertText(" at ");
  editor.SetTextCursor(after);
  editor.InsertInsertPoint(2, "[FAX#]");
  EXPECT_EQ(editor.Line(0), "To: [RECIPIENT] at [FAX#]");

  std::string path = dir.File("cover.rtf");
  ASSERT_TRUE(editor.SaveRtf(QString::fromStdString(path)));
  RichTextEditor loaded;
  ASSERT_TRUE(loaded.LoadRtf(QString::fromStdString(path)));
  EXPECT_EQ(loaded.PageSetup(), (rtf::PageSetup{12240, 15840, 720, 720, 720, 720}));
  std::vector<int> asked;
  loaded.FillInsertPoints([&](int tag) {
    asked.push_back(tag);
    return tag == 1 ? QString("Smith") : QString(150, 'x');
  });
  EXPECT_EQ(asked, (std::vector<int>{2, 1}));
  EXPECT_EQ(loaded.Line(0), "To: Smith at " + QString(100, 'x'));
  bool marked = false;
  auto anyMark = [&](RichTextEditor& e) {
    marked = false;
    for (QTextBlock b = e.Document()->begin(); b.isValid(); b = b.next())
      for (auto it = b.begin(); !it.atEnd(); ++it)
        if (it.fragment().charFormat().hasProperty(QTextFormat::BackgroundBrush)) marked = true;
    return marked;
  };
  EXPECT_TRUE(anyMark(loaded));
  loaded.HideInsertMarks();
  EXPECT_FALSE(anyMark(loaded));
  // Still insert points after filling: a second fill replaces the text again.
  loaded.FillInsertPoints([](int tag) { return QString("T%1").arg(tag); });
  EXPECT_EQ(loaded.Line(0), "To: T1 at T2");
  EXPECT_FALSE(anyMark(loaded));
}

TEST_F(EditorTest, ParagraphAttributesInTwipsAndWritingFont) {
  RichTextEditor editor;
  editor.ApplyFont(FontChoice{"Courier New", 14, true, false, true});
  QTextCursor c = editor.TextCursor();
  c.insertText("typed");
  editor.SetTextCursor(c);
  ParagraphAttributes a{-360, 720, 1440, 120, 240, 360, true};
  editor.SetCurrentParagraph(a);
  ParagraphAttributes back = editor.CurrentParagraph();
  EXPECT_EQ(back.firstIndent, -360);
  EXPECT_EQ(back.leftIndent, 720);
  EXPECT_EQ(back.rightIndent, 1440);
  EXPECT_EQ(back.spaceBefore, 120);
  EXPECT_EQ(back.spaceAfter, 240);
  EXPECT_EQ(back.lineHeight, 360);
  EXPECT_TRUE(back.startsNewPage);

  rtf::Document saved;
  ASSERT_TRUE(rtf::ReadRtf(editor.RtfText(), saved));
  ASSERT_EQ(saved.paragraphs.size(), 1u);
  ASSERT_EQ(saved.paragraphs[0].runs.size(), 1u);
  const rtf::CharFormat& f = saved.paragraphs[0].runs[0].format;
  EXPECT_EQ(f.font, "Courier New");
  EXPECT_EQ(f.halfPoints, 28);
  EXPECT_TRUE(f.bold);
  EXPECT_FALSE(f.italic);
  EXPECT_TRUE(f.underline);
  EXPECT_EQ(saved.paragraphs[0].format.leftIndent, 720);
  EXPECT_TRUE(saved.paragraphs[0].format.pageBreakBefore);
}

// Renders every page of the editor at 200 dpi onto fax-sized images.
std::vector<QImage> RenderPages(RichTextEditor& editor) {
  std::vector<QImage> pages;
  editor.SetZoom(200 * 100 / editor.ScreenPixelsPerInch());
  editor.SetPagePaintMode(RichTextEditor::kPaintLayoutPages);
  int line = 0;
  do {
    QImage image(1664, 2156, QImage::Format_Grayscale8);
    image.fill(Qt::white);
    QPainter painter(&image);
    line = editor.PaintPage(&painter, 49, 49, 1615, 2107, line, true);
    painter.end();
    pages.push_back(image);
    if (pages.size() > 50) break;
  } while (line > 0);
  return pages;
}

QRect InkBox(const QImage& image, int* greys = nullptr) {
  QRect box;
  int grey = 0;
  for (int y = 0; y < image.height(); ++y) {
    const uchar* row = image.constScanLine(y);
    for (int x = 0; x < image.width(); ++x) {
      if (row[x] != 255 && row[x] != 0) ++grey;
      if (row[x] < 128) box |= QRect(x, y, 1, 1);
    }
  }
  if (greys) *greys = grey;
  return box;
}

TEST_F(EditorTest, PagesEndAtTheLayoutsPageBreaksAndTextStaysInsideTheMargins) {
  RichTextEditor editor;
  QString text;
  rtf::Document doc;
  doc.page = {12240, 15840, 720, 720, 720, 720};
  auto paragraph = [&](const std::string& t, bool newPage) {
    rtf::Paragraph p;
    p.format.pageBreakBefore = newPage;
    rtf::CharFormat f;
    f.halfPoints = 24;
    f.color = 0xFF0000;  // coloured text still prints black
    rtf::AppendText(p, t, f);
    doc.paragraphs.push_back(p);
  };
  paragraph("Page one", false);
  paragraph("Page two", true);
  for (int i = 0; i < 80; ++i) paragraph("A line of page three and four " + std::to_string(i), i == 0);
  editor.SetModel(doc);
  std::vector<QImage> pages = RenderPages(editor);
  ASSERT_EQ(pages.size(), 4u);  // 80 lines of 12 pt overflow ten inches once
  for (size_t i = 0; i < pages.size(); ++i) {
    int greys = 0;
    QRect ink = InkBox(pages[i], &greys);
    EXPECT_EQ(greys, 0) << "page " << i << " has grey pixels";
    ASSERT_FALSE(ink.isEmpty()) << "page " << i;
    // The paper's corner is at (49, 49); margins of half an inch are 100 px.
    EXPECT_GE(ink.left(), 49 + 98) << "page " << i;
    EXPECT_GE(ink.top(), 49 + 98) << "page " << i;
    EXPECT_LE(ink.right(), 49 + 1700 - 98) << "page " << i;
    EXPECT_LE(ink.bottom(), 49 + 2200 - 98) << "page " << i;
    EXPECT_LT(ink.top(), 49 + 100 + 40) << "text starts at the top margin";
  }
  // "Page one" is one short line; page three is full.
  EXPECT_LT(InkBox(pages[0]).height(), 60);
  EXPECT_GT(InkBox(pages[2]).height(), 1800);
  // Without painting the same pages are found.
  int line = 0, count = 0;
  do {
    line = editor.PaintPage(nullptr, 0, 0, 0, 0, line, false);
    ++count;
  } while (line > 0);
  EXPECT_EQ(count, 4);
}

TEST_F(EditorTest, EmptyAndBlankDocumentsGiveOnePage) {
  RichTextEditor editor;
  EXPECT_EQ(RenderPages(editor).size(), 1u);
  editor.SetRtfText("{\\rtf1 " + std::string(300, ' ') + "}");
  std::vector<QImage> pages = RenderPages(editor);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_TRUE(InkBox(pages[0]).isEmpty());
}

}  // namespace
}  // namespace tlm
