#pragma once
// The table part of the RTF reader: row and cell definitions (\trowd ...
// \cellx), and which cell each finished paragraph belongs to.
//
// The reader keeps a table's paragraphs together and in order: rows from 0
// up, cells of a row from 0 up, every cell with at least one paragraph.
// Nested tables are not kept: their cells are tabs and their rows new
// paragraphs inside the outer cell.
#include <cstdint>
#include <string_view>
#include <vector>

#include "richtext/rtf/rtf_document.h"

namespace tlm::rtf {

class TableReader {
 public:
  TableReader(Document& doc, const std::vector<std::uint32_t>& colors) : doc_(doc), colors_(colors) {}

  // A table-definition control word; true when `w` was one.
  bool DefinitionWord(std::string_view w, bool hasParam, long long param);

  // The cell of a paragraph that is finished now: `inTable` (\intbl) for a
  // paragraph that ends with \par inside a cell, `endsCell` for one that
  // ends with \cell. None for a paragraph outside tables, which also ends
  // the table being read.
  TableCellRef ParagraphFinished(bool inTable, bool endsCell);

  // \cell with nothing pending: true when the cell already has its text
  // (pandoc ends a cell's last paragraph with \par before \cell), so the
  // cell only moves on.
  bool CellAlreadyHasText() const;
  void SkipToNextCell();

  // \row: the row takes the definition read last; cells it defines but
  // did not fill get an empty paragraph, with `format` from `emptyCell`.
  void EndRow(const Paragraph& emptyCell);

  // A row is open with text in it (a \row may still come).
  bool InRow() const { return table_ >= 0; }

 private:
  BorderLine* Target();
  void ApplyRowBorders();

  Document& doc_;
  const std::vector<std::uint32_t>& colors_;
  int table_ = -1;  // being read; -1 none
  int row_ = 0;
  int column_ = 0;
  TableRow definition_;
  bool defined_ = false;  // a \trowd since the last \row
  TableCell cell_;
  enum class Side { None, CellTop, CellLeft, CellBottom, CellRight, RowTop, RowLeft, RowBottom, RowRight,
                    RowInnerH, RowInnerV };
  Side side_ = Side::None;
  BorderLine rowTop_, rowLeft_, rowBottom_, rowRight_, rowInnerH_, rowInnerV_;
};

// Makes the tables agree with the paragraphs that refer to them: references
// to missing tables are dropped, every row gets exactly the cells its
// paragraphs use (at least one), right edges grow from left to right.
void NormalizeTables(Document& doc);

}  // namespace tlm::rtf
