// Tables in the editor's QTextDocument: built from the model with their
// widths, borders and merges, read back unchanged, and painted on pages.
#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextTable>
#include <set>

#include "page_at_200dpi.h"
#include "qt_app.h"
#include "richtext/page_renderer.h"
#include "richtext/rtf/rtf_reader.h"
#include "richtext/rich_text_editor.h"
#include "richtext/rtf/rtf_writer.h"
#include "richtext/table_editing.h"
#include "richtext/text_document_model.h"
#include "richtext/text_document_tables.h"
#include "support/temp_dir.h"

namespace tlm {
namespace {

rtf::Document ReadFixture(const std::string& name) {
  rtf::Document doc;
  std::string error;
  EXPECT_TRUE(rtf::ReadRtf(testing::ReadText(std::string(TOLMERA_FIXTURES_DIR) + "/rtf/" + name), doc, &error));
  return doc;
}

class TableDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::App(); }
};

// Built at `dpi` and read back.
rtf::Document ThroughQt(const rtf::Document& model, double dpi = 96) {
  QTextDocument doc;
  BuildOptions options;
  options.dpi = dpi;
  BuildTextDocument(model, options, doc);
  return ModelFromTextDocument(doc, dpi, model.page);
}

void ExpectSameTables(const rtf::Document& a, const rtf::Document& b) {
  ASSERT_EQ(a.paragraphs.size(), b.paragraphs.size());
  for (size_t i = 0; i < a.paragraphs.size(); ++i) {
    EXPECT_EQ(a.paragraphs[i].cell, b.paragraphs[i].cell) << "paragraph " << i << " " << a.paragraphs[i].Text();
    EXPECT_EQ(a.paragraphs[i].Text(), b.paragraphs[i].Text()) << "paragraph " << i;
    EXPECT_EQ(a.paragraphs[i].format, b.paragraphs[i].format) << "paragraph " << i << " " << a.paragraphs[i].Text();
  }
  ASSERT_EQ(a.tables.size(), b.tables.size());
  for (size_t t = 0; t < a.tables.size(); ++t) {
    ASSERT_EQ(a.tables[t].rows.size(), b.tables[t].rows.size());
    for (size_t r = 0; r < a.tables[t].rows.size(); ++r) {
      const rtf::TableRow& ra = a.tables[t].rows[r];
      const rtf::TableRow& rb = b.tables[t].rows[r];
      EXPECT_EQ(ra.gap, rb.gap);
      EXPECT_EQ(ra.left, rb.left);
      EXPECT_EQ(ra.header, rb.header);
      EXPECT_EQ(ra.height, rb.height);
      ASSERT_EQ(ra.cells.size(), rb.cells.size()) << "row " << r;
      for (size_t c = 0; c < ra.cells.size(); ++c) {
        rtf::TableCell ca = ra.cells[c], cb = rb.cells[c];
        EXPECT_NEAR(ca.rightEdge, cb.rightEdge, 2) << "row " << r << " cell " << c;
        ca.rightEdge = cb.rightEdge;
        EXPECT_EQ(ca, cb) << "row " << r << " cell " << c;
      }
    }
  }
}

TEST_F(TableDocumentTest, ModelTablesSurviveTheQtDocument) {
  rtf::Document model = ReadFixture("letter-libreoffice.rtf");
  ExpectSameTables(model, ThroughQt(model));
  ExpectSameTables(model, ThroughQt(model, 200));
  model = ReadFixture("memo-pandoc.rtf");
  ExpectSameTables(model, ThroughQt(model));
}

TEST_F(TableDocumentTest, OddTablesSurviveTheQtDocument) {
  // Merges across ragged rows, nested tables, rows past their definitions:
  // every paragraph with text comes back, in its order (the empty text of
  // a cell merged into its neighbour goes with the merge).
  const std::string seeds = std::string(TOLMERA_SOURCE_DIR) + "/tests/richtext/fuzz/fuzz_rtf/";
  for (const char* name : {"tables-tricky.rtf", "table-libreoffice.rtf"}) {
    rtf::Document model;
    rtf::ReadRtf(testing::ReadText(seeds + name), model);
    ASSERT_FALSE(model.tables.empty()) << name;
    rtf::Document back = ThroughQt(model);
    std::string expected;
    for (const rtf::Paragraph& p : model.paragraphs)
      if (!(p.cell.table >= 0 && p.runs.empty())) expected += p.Text() + "\n";
    std::string nonEmpty;
    for (const rtf::Paragraph& p : back.paragraphs)
      if (!(p.cell.table >= 0 && p.runs.empty())) nonEmpty += p.Text() + "\n";
    EXPECT_EQ(nonEmpty, expected) << name;
    rtf::Document again;
    ASSERT_TRUE(rtf::ReadRtf(rtf::WriteRtf(back), again));
    EXPECT_EQ(again.PlainText(), back.PlainText()) << name;
  }
}

TEST_F(TableDocumentTest, FixturesBecomeTablesWithTheirColumns) {
  struct Expect {
    const char* file;
    int rows, columns;
    std::vector<double> widthShares;  // of each column in the table's width
  };
  for (const Expect& e : {Expect{"table-libreoffice.rtf", 4, 4, {0.369, 0.215, 0.239, 0.176}},
                          Expect{"letter-libreoffice.rtf", 2, 3, {0.333, 0.333, 0.333}},
                          Expect{"memo-pandoc.rtf", 3, 2, {0.5, 0.5}}}) {
    RichTextEditor editor;
    ASSERT_TRUE(editor.LoadRtf(QString::fromStdString(std::string(TOLMERA_FIXTURES_DIR) + "/rtf/" + e.file)));
    QTextTable* table = nullptr;
    for (QTextFrame* frame : editor.Document()->rootFrame()->childFrames())
      if ((table = qobject_cast<QTextTable*>(frame))) break;
    ASSERT_NE(table, nullptr) << e.file;
    EXPECT_EQ(table->rows(), e.rows) << e.file;
    ASSERT_EQ(table->columns(), e.columns) << e.file;
    const QList<QTextLength> widths = table->format().columnWidthConstraints();
    double total = 0;
    for (const QTextLength& w : widths) total += w.rawValue();
    for (int c = 0; c < e.columns; ++c) EXPECT_NEAR(widths[c].rawValue() / total, e.widthShares[c], 0.005) << e.file;
    // No wider than the text: LibreOffice's edges past the page are narrowed.
    const rtf::PageSetup page = editor.PageSetup();
    EXPECT_LE(total, (page.paperWidth - page.marginLeft - page.marginRight) * editor.ScreenPixelsPerInch() / 1440.0 + 1)
        << e.file;
  }
}

TEST_F(TableDocumentTest, MergedCellsSpanAndComeBack) {
  rtf::Document model;
  ASSERT_TRUE(rtf::ReadRtf(
      "{\\rtf1\\trowd\\clmgf\\cellx2000\\clmrg\\cellx4000\\clvmgf\\clvertalc\\clcbpat1\\cellx6000"
      "\\pard\\intbl Wide\\cell\\cell Tall\\cell\\row"
      "\\trowd\\cellx2000\\cellx4000\\clvmrg\\cellx6000\\pard\\intbl a\\cell b\\cell\\cell\\row}",
      model));
  QTextDocument doc;
  BuildTextDocument(model, BuildOptions{}, doc);
  QTextTable* table = qobject_cast<QTextTable*>(doc.rootFrame()->childFrames().value(0));
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(table->columns(), 3);
  EXPECT_EQ(table->cellAt(0, 0).columnSpan(), 2);
  EXPECT_EQ(table->cellAt(0, 2).rowSpan(), 2);
  EXPECT_EQ(table->cellAt(0, 2).format().verticalAlignment(), QTextCharFormat::AlignMiddle);
  // Read back: the wide cell is one cell two columns wide, the tall one
  // keeps its merge.
  rtf::Document back = ModelFromTextDocument(doc, 96, model.page);
  ASSERT_EQ(back.tables.size(), 1u);
  const rtf::TableRow& first = back.tables[0].rows[0];
  ASSERT_EQ(first.cells.size(), 2u);
  EXPECT_NEAR(first.cells[0].rightEdge, 4000, 2);
  EXPECT_TRUE(first.cells[1].vmergeFirst);
  EXPECT_TRUE(back.tables[0].rows[1].cells[2].vmerged);
  EXPECT_EQ(back.PlainText(), "Wide\nTall\na\nb\n");
}

TEST_F(TableDocumentTest, RowsThatDoNotFitGoToTheNextPage) {
  // Sixty rows of three-line cells with borders: several pages, and each
  // page ends with a whole row, its bottom border the lowest ink.
  rtf::Document model = NewTableDocument(60, 2, 8000);
  for (rtf::Paragraph& p : model.paragraphs) rtf::AppendText(p, "one\xE2\x80\xA8two\xE2\x80\xA8three", {});
  model.page = rtf::PageSetup{12240, 15840, 720, 720, 720, 720};
  RichTextEditor editor;
  editor.SetModel(model);
  editor.SetPagePaintMode(RichTextEditor::kPaintLayoutPages);
  int pages = 0;
  int rowsSeen = 0;
  for (int line = 0;;) {
    QImage image(850, 1100, QImage::Format_Grayscale8);
    image.fill(Qt::white);
    QPainter painter(&image);
    line = editor.PaintPage(&painter, 0, 0, 850, 1100, line, true);
    painter.end();
    ++pages;
    // The lowest row of pixels with ink, and how much of it is ink.
    int lowest = -1, ink = 0;
    for (int y = image.height() - 1; y >= 0 && lowest < 0; --y) {
      const uchar* row = image.constScanLine(y);
      for (int x = 0; x < image.width(); ++x) ink += row[x] < 128;
      if (ink > 0) lowest = y;
    }
    ASSERT_GE(lowest, 0) << "page " << pages;
    EXPECT_GT(ink, 8000 * 96 / 1440 * 9 / 10) << "page " << pages << " ends inside a row";
    // Horizontal lines across the table: the rows that end on this page.
    for (int y = 0; y < image.height(); ++y) {
      int dark = 0;
      for (int x = 0; x < image.width(); ++x) dark += image.constScanLine(y)[x] < 128;
      if (dark > 8000 * 96 / 1440 * 9 / 10 && (y == 0 || [&] {
            int above = 0;
            for (int x = 0; x < image.width(); ++x) above += image.constScanLine(y - 1)[x] < 128;
            return above <= 8000 * 96 / 1440 * 9 / 10;
          }()))
        ++rowsSeen;
    }
    if (line == 0) break;
    ASSERT_LT(pages, 20);
  }
  EXPECT_GE(pages, 3);
  EXPECT_EQ(rowsSeen, 60 + pages) << "every row whole: its bottom line, and a top line on each page";
}

TEST_F(TableDocumentTest, ATableSplitForTheNextPageRepeatsItsHeaderRows) {
  rtf::Document doc;
  ASSERT_TRUE(rtf::ReadRtf(
      "{\\rtf1\\pard Before\\par\\trowd\\trhdr\\cellx2000\\cellx4000\\pard\\intbl Item\\cell Price\\cell\\row"
      "\\trowd\\cellx2000\\cellx4000\\pard\\intbl a\\cell 1\\cell\\row\\pard\\intbl b\\cell 2\\cell\\row"
      "\\pard\\intbl c\\cell 3\\cell\\row\\pard After\\par}",
      doc));
  ASSERT_EQ(doc.tables.size(), 1u);
  SplitTableBeforeRow(doc, 0, 2);
  ASSERT_EQ(doc.tables.size(), 2u);
  EXPECT_EQ(doc.tables[0].rows.size(), 2u);
  ASSERT_EQ(doc.tables[1].rows.size(), 3u);
  EXPECT_TRUE(doc.tables[1].rows[0].header);
  std::vector<std::string> second;
  for (const rtf::Paragraph& p : doc.paragraphs)
    if (p.cell.table == 1) second.push_back(std::to_string(p.cell.row) + p.Text());
  EXPECT_EQ(second, (std::vector<std::string>{"0Item", "0Price", "1b", "12", "2c", "23"}));
  EXPECT_EQ(doc.PlainText(), "Before\nItem\nPrice\na\n1\nItem\nPrice\nb\n2\nc\n3\nAfter");
  // The second part starts a new page: its table has the break.
  QTextDocument qt;
  BuildTextDocument(doc, BuildOptions{}, qt);
  QList<QTextFrame*> frames = qt.rootFrame()->childFrames();
  ASSERT_EQ(frames.size(), 2);
  EXPECT_FALSE(frames[0]->frameFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore);
  EXPECT_TRUE(frames[1]->frameFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore);
}

TEST_F(TableDocumentTest, TableCommandsKeepTheTableInsideTheText) {
  RichTextEditor editor;
  editor.SetPageSetup({12240, 15840, 720, 720, 720, 720});
  EXPECT_FALSE(CaretInTable(editor));
  EXPECT_FALSE(InsertTableRow(editor, true)) << "nothing to do outside a table";
  ASSERT_TRUE(InsertTableAtCaret(editor, 2, 3));
  ASSERT_TRUE(CaretInTable(editor));
  EXPECT_FALSE(InsertTableAtCaret(editor, 2, 2)) << "no table in a table";
  EXPECT_NEAR(TableColumnWidth(editor), 10800 / 3, 20);

  ASSERT_TRUE(InsertTableColumn(editor, true));
  ASSERT_TRUE(SetTableColumnWidth(editor, 9000));  // more than the others leave room for
  rtf::Document model = editor.Model();
  ASSERT_EQ(model.tables.size(), 1u);
  const rtf::TableRow& row = model.tables[0].rows[0];
  ASSERT_EQ(row.cells.size(), 4u);
  EXPECT_LE(row.cells.back().rightEdge, 10800 + 20);
  EXPECT_GT(row.cells[1].rightEdge - row.cells[0].rightEdge, 6000);
  for (size_t c = 0; c < row.cells.size(); ++c)
    EXPECT_GE(row.cells[c].rightEdge - (c ? row.cells[c - 1].rightEdge : row.left), 144 - 20);

  ASSERT_TRUE(InsertTableRow(editor, false));
  EXPECT_EQ(editor.Model().tables[0].rows.size(), 3u);
  EXPECT_EQ(editor.Model().tables[0].rows[0].cells[0].top.style, rtf::BorderStyle::Single) << "new cells have borders";
  ASSERT_TRUE(RemoveTableColumn(editor));
  EXPECT_EQ(editor.Model().tables[0].rows[0].cells.size(), 3u);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(RemoveTableRow(editor));
  EXPECT_TRUE(editor.Model().tables.empty());
  EXPECT_FALSE(CaretInTable(editor));
  // The saved text reads back without a table and without stray paragraphs.
  rtf::Document saved;
  ASSERT_TRUE(rtf::ReadRtf(editor.RtfText(), saved));
  EXPECT_TRUE(saved.tables.empty());
}

TEST_F(TableDocumentTest, APictureInACellStaysInItsCellOnTheWayAndOnThePage) {
  // A one-row, two-column table with the logo in its second cell.
  const std::string png = testing::ReadText(std::string(TOLMERA_FIXTURES_DIR) + "/rtf/logo.png");
  std::string hex;
  for (unsigned char c : png) {
    static const char digits[] = "0123456789abcdef";
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  const std::string rtf = "{\\rtf1\\ansi\\margl1440\\margr1440\\margt1440\\margb1440"
                          "\\trowd\\cellx4320\\cellx8640"
                          "\\intbl Logo:\\cell {\\*\\shppict{\\pict\\pngblip\\picwgoal2880\\pichgoal1440 " +
                          hex + "}}\\cell\\row\\pard after\\par}";
  rtf::Document model;
  ASSERT_TRUE(rtf::ReadRtf(rtf, model));
  ASSERT_EQ(model.tables.size(), 1u);
  ASSERT_EQ(model.pictures.size(), 1u);

  // Through the editor's document and the RTF writer: still in cell (0, 1).
  rtf::Document again;
  ASSERT_TRUE(rtf::ReadRtf(rtf::WriteRtf(ThroughQt(model)), again));
  ASSERT_EQ(again.tables.size(), 1u);
  ASSERT_EQ(again.pictures.size(), 1u);
  EXPECT_EQ(again.pictures[0].data, png) << "the picture's bytes are unchanged";
  bool inCell = false;
  for (const rtf::Paragraph& p : again.paragraphs)
    for (const rtf::Run& r : p.runs)
      if (r.picture == 0) inCell = p.cell.table == 0 && p.cell.row == 0 && p.cell.column == 1;
  EXPECT_TRUE(inCell);

  // On the page at 200 dpi: ink in the second cell's box (2 x 1 inches from
  // x = 4 inches), and the picture does not spill into the first cell.
  const QImage page = testing::RenderAt200(again);
  auto ink = [&page](int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += qGray(page.pixel(x, y)) < 128;
    return n;
  };
  EXPECT_GT(ink(820, 200, 1220, 420), 500) << "the logo in its cell";
  EXPECT_LT(ink(300, 260, 780, 420), 50) << "nothing but the label in the first cell";
}

TEST_F(TableDocumentTest, ShadedCellsBecomeDotsAsDarkAsTheShadeOnThePage) {
  // Three cells two inches wide, three lines tall: 10% and 50% black, and a
  // light yellow background (about 10% dark); then an unshaded cell half an
  // inch wide, so that the table fits between the margins.
  const std::string rtf =
      "{\\rtf1\\ansi{\\colortbl;\\red255\\green240\\blue170;}\\margl1440\\margr1440\\margt1440"
      "\\trowd\\clshdng1000\\cellx2880\\clshdng5000\\cellx5760\\clcbpat1\\cellx8640\\cellx9360"
      "\\intbl A\\line\\line\\cell B\\line\\line\\cell C\\line\\line\\cell D\\line\\line\\cell\\row\\pard\\par}";
  rtf::Document model;
  ASSERT_TRUE(rtf::ReadRtf(rtf, model));
  const QImage page = testing::RenderAt200(model);
  // The share of black pixels in the right half of each cell's middle line,
  // where no text is; cells start at x = 200 and are 400 pixels wide.
  auto share = [&page](int cell) {
    int black = 0, all = 0;
    for (int y = 240; y < 260; ++y)
      for (int x = 200 + cell * 400 + 40; x < 200 + cell * 400 + 90; ++x, ++all) black += qGray(page.pixel(x, y)) < 128;
    return double(black) / all;
  };
  EXPECT_NEAR(share(0), 0.12, 0.04);
  EXPECT_NEAR(share(1), 0.50, 0.05);
  EXPECT_NEAR(share(2), 0.06, 0.04);
  EXPECT_EQ(share(3), 0.0);
  // Only black and white: a shade is dots, not grey.
  for (int y = 200; y < 300; ++y)
    for (int x = 200; x < 1500; ++x) {
      const int g = qGray(page.pixel(x, y));
      ASSERT_TRUE(g == 0 || g == 255) << x << "," << y << ": " << g;
    }
}

TEST_F(TableDocumentTest, RowsAreAsHighAsTheirHeightOnThePage) {
  // One-cell rows with top and bottom borders: at least half an inch,
  // exactly an inch, as high as the text, and a least height below the
  // text's, which leaves the row as high as its text.
  const std::string cell = "\\clbrdrt\\brdrs\\brdrw10\\clbrdrb\\brdrs\\brdrw10\\cellx4320";
  const std::string rtf = "{\\rtf1\\ansi\\margl1440\\margr1440\\margt1440"
                          "\\trowd\\trrh720" + cell + "\\intbl A\\cell\\row"
                          "\\trowd\\trrh-1440" + cell + "\\intbl B\\cell\\row"
                          "\\trowd" + cell + "\\intbl C\\cell\\row"
                          "\\trowd\\trrh100" + cell + "\\intbl D\\cell\\row\\pard\\par}";
  rtf::Document model;
  ASSERT_TRUE(rtf::ReadRtf(rtf, model));
  const QImage page = testing::RenderAt200(model);
  // The borders met going down at x = 3 inches, where there is no text.
  std::vector<int> lines;
  for (int y = 150; y < 1000; ++y) {
    if (qGray(page.pixel(600, y)) < 128 && (lines.empty() || y > lines.back() + 3)) lines.push_back(y);
  }
  ASSERT_EQ(lines.size(), 5u) << "a line above each row and below the last";
  const int textRow = lines[3] - lines[2];
  EXPECT_NEAR(lines[1] - lines[0], 100, 4) << "at least half an inch";
  EXPECT_NEAR(lines[2] - lines[1], 200, 4) << "an inch";
  EXPECT_LT(textRow, 80) << "as high as its text";
  EXPECT_EQ(lines[4] - lines[3], textRow) << "the text is higher than the least height";
}

}  // namespace
}  // namespace tlm
