#include "richtext/rtf/rtf_reader_table.h"

#include <algorithm>

namespace tlm::rtf {
namespace {

constexpr int kMaxEdge = 1 << 18;  // LibreOffice writes edges past the page (65533)
constexpr int kMissingCellWidth = 1728;   // a cell without a \cellx of its own
constexpr int kMinCellWidth = 30;
constexpr int kMaxPadding = 1440;

int Clamp(long long value, int low, int high) {
  return static_cast<int>(std::clamp<long long>(value, low, high));
}

// The style a \brdrXXX word sets, or nothing for the words that are not a
// style (width, colour, the paragraph border sides).
bool BorderStyleOf(std::string_view w, BorderStyle& style) {
  if (w.substr(0, 4) != "brdr") return false;
  std::string_view kind = w.substr(4);
  if (kind == "w" || kind == "cf" || kind == "t" || kind == "l" || kind == "b" || kind == "r" || kind == "btw" ||
      kind == "bar" || kind == "sp")
    return false;
  if (kind == "none" || kind == "nil" || kind == "tbl") style = BorderStyle::None;
  else if (kind == "db" || kind == "triple" || kind.substr(0, 4) == "thth" || kind.substr(0, 4) == "thtn" ||
           kind.substr(0, 4) == "tnth")
    style = BorderStyle::Double;
  else if (kind == "dot") style = BorderStyle::Dotted;
  else if (kind.substr(0, 4) == "dash") style = BorderStyle::Dashed;
  else style = BorderStyle::Single;
  return true;
}

void Inherit(BorderLine& cell, const BorderLine& row) {
  if (cell.style == BorderStyle::None && row.style != BorderStyle::None) cell = row;
}

}  // namespace

BorderLine* TableReader::Target() {
  switch (side_) {
    case Side::None: return nullptr;
    case Side::CellTop: return &cell_.top;
    case Side::CellLeft: return &cell_.left;
    case Side::CellBottom: return &cell_.bottom;
    case Side::CellRight: return &cell_.right;
    case Side::RowTop: return &rowTop_;
    case Side::RowLeft: return &rowLeft_;
    case Side::RowBottom: return &rowBottom_;
    case Side::RowRight: return &rowRight_;
    case Side::RowInnerH: return &rowInnerH_;
    case Side::RowInnerV: return &rowInnerV_;
  }
  return nullptr;
}

bool TableReader::DefinitionWord(std::string_view w, bool hasParam, long long param) {
  if (w == "trowd") {
    defined_ = true;
    definition_ = TableRow{};
    cell_ = TableCell{};
    side_ = Side::None;
    rowTop_ = rowLeft_ = rowBottom_ = rowRight_ = rowInnerH_ = rowInnerV_ = BorderLine{};
    return true;
  }
  if (w == "trgaph") { definition_.gap = Clamp(param, 0, kMaxEdge); return true; }
  if (w == "trleft") { definition_.left = Clamp(param, -kMaxEdge, kMaxEdge); return true; }
  if (w == "trrh") { definition_.height = Clamp(param, -kMaxEdge, kMaxEdge); return true; }
  if (w == "trhdr") { definition_.header = !hasParam || param != 0; return true; }
  if (w == "cellx") {
    cell_.rightEdge = Clamp(param, -kMaxEdge, kMaxEdge);
    if (static_cast<int>(definition_.cells.size()) < kMaxTableColumns) definition_.cells.push_back(cell_);
    cell_ = TableCell{};
    side_ = Side::None;
    return true;
  }
  static constexpr std::pair<std::string_view, Side> kSides[] = {
      {"clbrdrt", Side::CellTop},   {"clbrdrl", Side::CellLeft},   {"clbrdrb", Side::CellBottom},
      {"clbrdrr", Side::CellRight}, {"trbrdrt", Side::RowTop},     {"trbrdrl", Side::RowLeft},
      {"trbrdrb", Side::RowBottom}, {"trbrdrr", Side::RowRight},   {"trbrdrh", Side::RowInnerH},
      {"trbrdrv", Side::RowInnerV}, {"brdrt", Side::None},         {"brdrl", Side::None},
      {"brdrb", Side::None},        {"brdrr", Side::None},         {"brdrbtw", Side::None},
      {"brdrbar", Side::None},      {"box", Side::None}};
  for (const auto& [name, side] : kSides) {
    if (w == name) {
      side_ = side;
      return true;
    }
  }
  BorderStyle style;
  if (BorderStyleOf(w, style)) {
    if (BorderLine* line = Target()) line->style = style;
    return true;
  }
  if (w == "brdrw") {
    if (BorderLine* line = Target()) line->width = Clamp(param, 0, 1440);
    return true;
  }
  if (w == "brdrcf") {
    size_t index = static_cast<size_t>(Clamp(param, 0, 1 << 20));
    if (BorderLine* line = Target()) line->color = index < colors_.size() ? colors_[index] : kAutoColor;
    return true;
  }
  if (w == "clcbpat") {
    size_t index = static_cast<size_t>(Clamp(param, 0, 1 << 20));
    cell_.shading = index < colors_.size() ? colors_[index] : kAutoColor;
    return true;
  }
  if (w == "clshdng") { cell_.shadingPercent = Clamp(param, 0, 10000); return true; }
  if (w == "clvertalt") { cell_.align = CellAlign::Top; return true; }
  if (w == "clvertalc") { cell_.align = CellAlign::Center; return true; }
  if (w == "clvertalb") { cell_.align = CellAlign::Bottom; return true; }
  if (w == "clmgf") { cell_.mergeFirst = true; return true; }
  if (w == "clmrg") { cell_.merged = true; return true; }
  if (w == "clvmgf") { cell_.vmergeFirst = true; return true; }
  if (w == "clvmrg") { cell_.vmerged = true; return true; }
  if (w == "clpadt") { cell_.padTop = Clamp(param, 0, kMaxPadding); return true; }
  if (w == "clpadl") { cell_.padLeft = Clamp(param, 0, kMaxPadding); return true; }
  if (w == "clpadb") { cell_.padBottom = Clamp(param, 0, kMaxPadding); return true; }
  if (w == "clpadr") { cell_.padRight = Clamp(param, 0, kMaxPadding); return true; }
  return false;
}

TableCellRef TableReader::ParagraphFinished(bool inTable, bool endsCell) {
  if (!inTable && !endsCell) {
    table_ = -1;
    return {};
  }
  if (table_ < 0) {
    doc_.tables.emplace_back();
    table_ = static_cast<int>(doc_.tables.size()) - 1;
    row_ = 0;
    column_ = 0;
  }
  std::vector<TableRow>& rows = doc_.tables[table_].rows;
  if (static_cast<int>(rows.size()) <= row_) rows.push_back(definition_);
  TableCellRef ref{table_, row_, column_};
  if (endsCell) SkipToNextCell();
  return ref;
}

bool TableReader::CellAlreadyHasText() const {
  if (table_ < 0 || doc_.paragraphs.empty()) return false;
  return doc_.paragraphs.back().cell == TableCellRef{table_, row_, column_};
}

void TableReader::SkipToNextCell() {
  if (column_ + 1 < kMaxTableColumns) ++column_;
}

void TableReader::EndRow(const Paragraph& emptyCell) {
  if (table_ < 0) return;
  // Cells defined but not filled (a \row straight after the definition)
  // still are cells of the row; a \row repeated with nothing new is none.
  const bool anything = column_ > 0 || defined_;
  defined_ = false;
  while (anything && column_ < static_cast<int>(definition_.cells.size()) && column_ + 1 < kMaxTableColumns) {
    Paragraph empty = emptyCell;
    empty.cell = ParagraphFinished(true, true);
    doc_.paragraphs.push_back(std::move(empty));
  }
  std::vector<TableRow>& rows = doc_.tables[table_].rows;
  if (static_cast<int>(rows.size()) <= row_) return;  // a row without cells: nothing to end
  ApplyRowBorders();
  rows[row_] = definition_;
  if (row_ + 1 >= kMaxTableRows) {
    table_ = -1;  // the rest goes into a table of its own
    return;
  }
  ++row_;
  column_ = 0;
}

// Borders given for the whole row are the cells' own where they have none.
void TableReader::ApplyRowBorders() {
  std::vector<TableCell>& cells = definition_.cells;
  for (size_t i = 0; i < cells.size(); ++i) {
    Inherit(cells[i].top, rowTop_.style != BorderStyle::None ? rowTop_ : rowInnerH_);
    Inherit(cells[i].bottom, rowBottom_.style != BorderStyle::None ? rowBottom_ : rowInnerH_);
    Inherit(cells[i].left, i == 0 ? rowLeft_ : rowInnerV_);
    Inherit(cells[i].right, i + 1 == cells.size() ? rowRight_ : rowInnerV_);
  }
}

void NormalizeTables(Document& doc) {
  std::vector<std::vector<int>> used(doc.tables.size());  // cells used, per table and row
  for (Paragraph& para : doc.paragraphs) {
    TableCellRef& ref = para.cell;
    if (ref.table < 0) continue;
    if (ref.table >= static_cast<int>(doc.tables.size()) || ref.row < 0 || ref.row >= kMaxTableRows ||
        ref.column < 0 || ref.column >= kMaxTableColumns) {
      ref = TableCellRef{};
      continue;
    }
    std::vector<int>& rows = used[ref.table];
    if (static_cast<int>(rows.size()) <= ref.row) rows.resize(ref.row + 1, 0);
    rows[ref.row] = std::max(rows[ref.row], ref.column + 1);
  }
  for (size_t t = 0; t < doc.tables.size(); ++t) {
    std::vector<TableRow>& rows = doc.tables[t].rows;
    rows.resize(std::max(used[t].size(), size_t{1}));
    for (size_t r = 0; r < rows.size(); ++r) {
      std::vector<TableCell>& cells = rows[r].cells;
      int count = r < used[t].size() ? std::max(used[t][r], 1) : std::max<int>(cells.size(), 1);
      cells.resize(count);
      int left = rows[r].left;
      for (TableCell& cell : cells) {
        if (cell.rightEdge < left + kMinCellWidth) {
          cell.rightEdge = cell.rightEdge == 0 ? left + kMissingCellWidth : left + kMinCellWidth;
        }
        left = cell.rightEdge;
      }
    }
  }
}

}  // namespace tlm::rtf
