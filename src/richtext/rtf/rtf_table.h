#pragma once
// Tables of a rich-text document as plain data. A table is a list of rows;
// each row defines its own cells by their right edges, as RTF does, so rows
// of one table may be cut differently. The text of a cell is the paragraphs
// whose `cell` names it. All lengths are in twips, edges measured from the
// left margin.
#include <cstdint>
#include <vector>

namespace tlm::rtf {

// Which table cell a paragraph belongs to; table -1: none.
struct TableCellRef {
  int table = -1;
  int row = 0;
  int column = 0;
  bool operator==(const TableCellRef&) const = default;
};

enum class BorderStyle { None, Single, Double, Dotted, Dashed };

struct BorderLine {
  BorderStyle style = BorderStyle::None;
  int width = 0;                      // of one line; 0: the thinnest line
  std::uint32_t color = 0xFFFFFFFFu;  // 0xRRGGBB, or automatic (kAutoColor)
  bool operator==(const BorderLine&) const = default;
};

enum class CellAlign { Top, Center, Bottom };

struct TableCell {
  int rightEdge = 0;
  BorderLine top, left, bottom, right;
  std::uint32_t shading = 0xFFFFFFFFu;  // background 0xRRGGBB; automatic: none
  int shadingPercent = 0;               // \clshdng, hundredths of a percent of black
  CellAlign align = CellAlign::Top;
  bool mergeFirst = false;     // first of cells merged across
  bool merged = false;         // merged into the cell on its left
  bool vmergeFirst = false;    // first of cells merged downwards
  bool vmerged = false;        // merged into the cell above
  // \clpadX: space between border and text; -1: not given (the sides then
  // have the row's gap, top and bottom none).
  int padTop = -1, padLeft = -1, padBottom = -1, padRight = -1;
  bool operator==(const TableCell&) const = default;
};

struct TableRow {
  std::vector<TableCell> cells;
  int gap = 0;    // \trgaph: half the space between two cells' text
  int left = 0;   // \trleft: where the row starts
  int height = 0; // \trrh: positive at least, negative exactly
  bool header = false;  // repeated at the top of each page
  bool operator==(const TableRow&) const = default;
};

struct Table {
  std::vector<TableRow> rows;
  bool operator==(const Table&) const = default;
};

// The widest a table may be and the most rows and cells a row may have:
// bounds for hostile files.
inline constexpr int kMaxTableColumns = 63;
inline constexpr int kMaxTableRows = 32767;

}  // namespace tlm::rtf
