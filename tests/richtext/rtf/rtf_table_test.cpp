// Tables in RTF: what the reader makes of the tables LibreOffice, pandoc and
// word processors write, and that what we write reads back the same.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "richtext/rtf/rtf_reader.h"
#include "richtext/rtf/rtf_writer.h"
#include "support/temp_dir.h"
#include "rtf_test_support.h"

namespace tlm::rtf {
namespace {

using Grid = std::vector<std::vector<std::string>>;

using test_support::Fixture;
using test_support::Read;

// The text of each cell of table `t`, row by row; a cell's paragraphs are
// joined by '|'.
Grid CellTexts(const Document& doc, int t) {
  Grid grid;
  for (const Paragraph& p : doc.paragraphs) {
    if (p.cell.table != t) continue;
    if (static_cast<int>(grid.size()) <= p.cell.row) grid.resize(p.cell.row + 1);
    std::vector<std::string>& row = grid[p.cell.row];
    if (static_cast<int>(row.size()) <= p.cell.column) {
      row.resize(p.cell.column + 1);
      row.back() = p.Text();
    } else {
      row[p.cell.column] += "|" + p.Text();
    }
  }
  return grid;
}

std::vector<int> Edges(const TableRow& row) {
  std::vector<int> edges;
  for (const TableCell& cell : row.cells) edges.push_back(cell.rightEdge);
  return edges;
}

Document ReadWritten(const Document& doc) { return Read(WriteRtf(doc)); }

TEST(RtfTable, LibreOfficeTableKeepsRowsCellsAndBorders) {
  Document doc = Read(Fixture("table-libreoffice.rtf"));
  ASSERT_EQ(doc.tables.size(), 1u);
  EXPECT_EQ(CellTexts(doc, 0), (Grid{{"Item", "Quantity", "Unit price", "Total"},
                                     {"Toner cartridge", "4", "49.00", "196.00"},
                                     {"Paper, 500 sheets", "10", "5.20", "52.00"},
                                     {"Drum unit", "1", "120.00", "120.00"}}));
  const Table& table = doc.tables[0];
  ASSERT_EQ(table.rows.size(), 4u);
  for (const TableRow& row : table.rows) EXPECT_EQ(Edges(row), (std::vector<int>{24196, 38305, 53996, 65533}));
  const TableCell& first = table.rows[0].cells[0];
  EXPECT_EQ(first.top.style, BorderStyle::Double);
  EXPECT_EQ(first.top.width, 5);
  EXPECT_EQ(first.top.color, 0x808080u);
  EXPECT_EQ(first.left.style, BorderStyle::Double);
  EXPECT_EQ(first.align, CellAlign::Center);
  EXPECT_EQ(table.rows[1].cells[0].top.style, BorderStyle::None) << "only the first row has a top border";
  EXPECT_EQ(table.rows[1].cells[0].bottom.style, BorderStyle::Double);

  // The heading before and the paragraph after are no part of it.
  EXPECT_EQ(doc.paragraphs.front().Text(), "Price list");
  EXPECT_EQ(doc.paragraphs.front().cell.table, -1);
  EXPECT_EQ(doc.paragraphs.back().Text(), "All prices in euro, excluding VAT.");
  EXPECT_EQ(doc.paragraphs.back().cell.table, -1);
}

TEST(RtfTable, TablesOfTheLetterAndThePandocMemo) {
  Document letter = Read(Fixture("letter-libreoffice.rtf"));
  ASSERT_EQ(letter.tables.size(), 1u);
  Grid grid = CellTexts(letter, 0);
  ASSERT_GE(grid.size(), 2u);
  EXPECT_EQ(grid[0], (std::vector<std::string>{"Item", "Quantity", "Price"}));
  EXPECT_EQ(Edges(letter.tables[0].rows[0]), (std::vector<int>{3600, 7200, 10800}));

  // pandoc ends each cell's paragraph with \par before \cell: still one
  // paragraph a cell.
  Document memo = Read(Fixture("memo-pandoc.rtf"));
  ASSERT_EQ(memo.tables.size(), 1u);
  grid = CellTexts(memo, 0);
  ASSERT_GE(grid.size(), 3u);
  EXPECT_EQ(grid[0], (std::vector<std::string>{"Floor", "Extension"}));
  EXPECT_EQ(grid[1], (std::vector<std::string>{"1", "201"}));
  const TableRow& head = memo.tables[0].rows[0];
  EXPECT_EQ(head.gap, 120);
  EXPECT_EQ(Edges(head), (std::vector<int>{4320, 8640}));
  EXPECT_EQ(head.cells[0].bottom.style, BorderStyle::Single);
}

TEST(RtfTable, DefinitionsMergesShadingAndRowBorders) {
  Document doc = Read(
      "{\\rtf1{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
      "\\trowd\\trgaph108\\trleft-108\\trrh400\\trhdr\\trbrdrt\\brdrs\\brdrw20\\trbrdrl\\brdrs\\trbrdrb\\brdrs"
      "\\trbrdrr\\brdrs\\trbrdrh\\brdrs\\trbrdrv\\brdrdot"
      "\\clmgf\\clcbpat2\\clshdng2500\\clvertalb\\cellx2000\\clmrg\\cellx4000"
      "\\clvmgf\\clbrdrl\\brdrdb\\brdrw15\\brdrcf1\\cellx6000"
      "\\pard\\intbl Wide\\cell\\cell Tall\\cell\\row"
      "\\trowd\\trgaph108\\trleft-108\\cellx2000\\cellx4000\\clvmrg\\clbrdrr\\brdrnone\\cellx6000"
      "\\pard\\intbl a\\cell b\\cell\\cell\\row"
      "\\pard After\\par}");
  ASSERT_EQ(doc.tables.size(), 1u);
  EXPECT_EQ(CellTexts(doc, 0), (Grid{{"Wide", "", "Tall"}, {"a", "b", ""}}));
  const TableRow& row = doc.tables[0].rows[0];
  EXPECT_EQ(row.gap, 108);
  EXPECT_EQ(row.left, -108);
  EXPECT_EQ(row.height, 400);
  EXPECT_TRUE(row.header);
  EXPECT_FALSE(doc.tables[0].rows[1].header);
  EXPECT_TRUE(row.cells[0].mergeFirst);
  EXPECT_TRUE(row.cells[1].merged);
  EXPECT_EQ(row.cells[0].shading, 0x0000FFu);
  EXPECT_EQ(row.cells[0].shadingPercent, 2500);
  EXPECT_EQ(row.cells[0].align, CellAlign::Bottom);
  // Row borders fill in where a cell has none of its own.
  EXPECT_EQ(row.cells[0].top, (BorderLine{BorderStyle::Single, 20, kAutoColor}));
  EXPECT_EQ(row.cells[0].right.style, BorderStyle::Dotted) << "an inner vertical line";
  EXPECT_EQ(row.cells[2].left, (BorderLine{BorderStyle::Double, 15, 0xFF0000u}));
  EXPECT_EQ(row.cells[2].right.style, BorderStyle::Single);
  EXPECT_TRUE(row.cells[2].vmergeFirst);
  EXPECT_TRUE(doc.tables[0].rows[1].cells[2].vmerged);
  EXPECT_EQ(doc.tables[0].rows[1].cells[2].right.style, BorderStyle::None);
  EXPECT_EQ(doc.paragraphs.back().Text(), "After");

  // Written and read again: the same table.
  Document again = ReadWritten(doc);
  ASSERT_EQ(again.tables.size(), 1u);
  EXPECT_EQ(again.tables[0], doc.tables[0]);
  EXPECT_EQ(CellTexts(again, 0), CellTexts(doc, 0));
}

TEST(RtfTable, SavedTablesReadBackTheSame) {
  for (const char* name : {"table-libreoffice.rtf", "letter-libreoffice.rtf", "memo-pandoc.rtf"}) {
    Document doc = Read(Fixture(name));
    Document again = ReadWritten(doc);
    ASSERT_EQ(again.paragraphs.size(), doc.paragraphs.size()) << name;
    for (size_t i = 0; i < doc.paragraphs.size(); ++i) {
      EXPECT_EQ(again.paragraphs[i].cell, doc.paragraphs[i].cell) << name << " paragraph " << i;
      EXPECT_EQ(again.paragraphs[i].Text(), doc.paragraphs[i].Text()) << name << " paragraph " << i;
    }
    EXPECT_EQ(again.tables, doc.tables) << name;
  }

  // Cells of several paragraphs, empty cells and empty last paragraphs.
  Document doc = Read(
      "{\\rtf1\\trowd\\cellx1000\\cellx2000\\cellx3000"
      "\\pard\\intbl one\\par\\pard\\intbl two\\cell\\pard\\intbl\\cell\\pard\\intbl three\\par\\pard\\intbl\\cell"
      "\\row}");
  EXPECT_EQ(CellTexts(doc, 0), (Grid{{"one|two", "", "three|"}}));
  EXPECT_EQ(CellTexts(ReadWritten(doc), 0), CellTexts(doc, 0));
}

TEST(RtfTable, TwoTablesAndTheTextBetween) {
  Document doc = Read(
      "{\\rtf1\\trowd\\cellx1000\\pard\\intbl A\\cell\\row\\pard Between\\par"
      "\\trowd\\cellx1000\\cellx2000\\pard\\intbl B\\cell C\\cell\\row}");
  ASSERT_EQ(doc.tables.size(), 2u);
  EXPECT_EQ(CellTexts(doc, 0), (Grid{{"A"}}));
  EXPECT_EQ(CellTexts(doc, 1), (Grid{{"B", "C"}}));
  EXPECT_EQ(doc.PlainText(), "A\nBetween\nB\nC");
  EXPECT_EQ(ReadWritten(doc).tables, doc.tables);
}

TEST(RtfTable, NestedTablesBecomeTextOfTheOuterCell) {
  Document doc = Read(
      "{\\rtf1\\trowd\\cellx3000\\cellx6000"
      "\\pard\\intbl\\itap2 in1\\nestcell in2\\nestcell{\\*\\nesttableprops\\trowd\\cellx1000\\cellx2000\\nestrow}"
      "{\\nonesttables\\par}\\pard\\intbl\\itap1 outer\\cell right\\cell\\row}");
  ASSERT_EQ(doc.tables.size(), 1u);
  EXPECT_EQ(CellTexts(doc, 0), (Grid{{"in1\tin2\t|outer", "right"}}));
  EXPECT_EQ(Edges(doc.tables[0].rows[0]), (std::vector<int>{3000, 6000}));
}

TEST(RtfTable, BrokenTablesStillRead) {
  // Cells without definitions, a row never ended, cells past the most a row
  // may have, edges out of order: the text stays, the table is usable.
  std::string many = "{\\rtf1\\trowd\\cellx500\\cellx100\\pard\\intbl x\\cell y\\cell z\\cell";
  for (int i = 0; i < 100; ++i) many += "c\\cell ";
  Document doc = Read(many + "\\row\\pard\\intbl open\\cell}");
  ASSERT_EQ(doc.tables.size(), 1u);
  const Table& table = doc.tables[0];
  ASSERT_EQ(table.rows.size(), 2u);
  EXPECT_EQ(table.rows[0].cells.size(), static_cast<size_t>(kMaxTableColumns));
  int left = table.rows[0].left;
  for (const TableCell& cell : table.rows[0].cells) {
    EXPECT_GT(cell.rightEdge, left);
    left = cell.rightEdge;
  }
  EXPECT_EQ(table.rows[1].cells.size(), 1u);
  EXPECT_NE(doc.PlainText().find("open"), std::string::npos);
  Document again = ReadWritten(doc);
  EXPECT_EQ(again.PlainText(), doc.PlainText());
  EXPECT_EQ(again.tables, doc.tables);

  // Rows ended again and again with no cell between them.
  doc = Read("{\\rtf1\\trowd\\cellx100\\pard\\intbl a\\cell\\row\\row\\trowd\\row\\pard b\\par}");
  EXPECT_EQ(CellTexts(doc, 0), (Grid{{"a"}}));
  EXPECT_EQ(doc.PlainText(), "a\nb");

  // \cell and \row with no table being read, and \intbl text at the end.
  doc = Read("{\\rtf1\\row\\cell\\intbl tail}");
  EXPECT_EQ(doc.PlainText(), "\ntail");
  EXPECT_EQ(ReadWritten(doc).PlainText(), doc.PlainText());
}

}  // namespace
}  // namespace tlm::rtf
