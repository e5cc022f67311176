#include "richtext/rtf/rtf_writer_table.h"

namespace tlm::rtf {
namespace {

void Number(std::string& out, const char* word, int value) {
  out += word;
  out += std::to_string(value);
}

void WriteBorder(const char* side, const BorderLine& line, const std::function<int(std::uint32_t)>& colorIndex,
                 std::string& out) {
  if (line.style == BorderStyle::None) return;
  out += side;
  switch (line.style) {
    case BorderStyle::None: break;
    case BorderStyle::Single: out += "\\brdrs"; break;
    case BorderStyle::Double: out += "\\brdrdb"; break;
    case BorderStyle::Dotted: out += "\\brdrdot"; break;
    case BorderStyle::Dashed: out += "\\brdrdash"; break;
  }
  Number(out, "\\brdrw", line.width);
  if (line.color != kAutoColor) Number(out, "\\brdrcf", colorIndex(line.color));
}

}  // namespace

std::vector<std::uint32_t> TableColors(const Document& doc) {
  std::vector<std::uint32_t> colors;
  auto add = [&colors](std::uint32_t color) {
    if (color == kAutoColor) return;
    for (std::uint32_t c : colors)
      if (c == color) return;
    colors.push_back(color);
  };
  for (const Table& table : doc.tables) {
    for (const TableRow& row : table.rows) {
      for (const TableCell& cell : row.cells) {
        for (const BorderLine* line : {&cell.top, &cell.left, &cell.bottom, &cell.right}) add(line->color);
        add(cell.shading);
      }
    }
  }
  return colors;
}

const TableRow& RowOf(const Document& doc, const TableCellRef& cell) {
  static const TableRow kPlainRow = [] {
    TableRow row;
    row.cells.resize(1);
    row.cells[0].rightEdge = 1728;
    return row;
  }();
  if (cell.table < 0 || cell.table >= static_cast<int>(doc.tables.size())) return kPlainRow;
  const std::vector<TableRow>& rows = doc.tables[cell.table].rows;
  if (cell.row < 0 || cell.row >= static_cast<int>(rows.size()) || rows[cell.row].cells.empty()) return kPlainRow;
  return rows[cell.row];
}

void WriteRowDefinition(const TableRow& row, const std::function<int(std::uint32_t)>& colorIndex,
                        std::string& out) {
  out += "\\trowd";
  Number(out, "\\trgaph", row.gap);
  Number(out, "\\trleft", row.left);
  if (row.height != 0) Number(out, "\\trrh", row.height);
  if (row.header) out += "\\trhdr";
  for (const TableCell& cell : row.cells) {
    out += '\n';
    if (cell.vmergeFirst) out += "\\clvmgf";
    if (cell.vmerged) out += "\\clvmrg";
    if (cell.mergeFirst) out += "\\clmgf";
    if (cell.merged) out += "\\clmrg";
    if (cell.align == CellAlign::Center) out += "\\clvertalc";
    if (cell.align == CellAlign::Bottom) out += "\\clvertalb";
    WriteBorder("\\clbrdrt", cell.top, colorIndex, out);
    WriteBorder("\\clbrdrl", cell.left, colorIndex, out);
    WriteBorder("\\clbrdrb", cell.bottom, colorIndex, out);
    WriteBorder("\\clbrdrr", cell.right, colorIndex, out);
    if (cell.shading != kAutoColor) Number(out, "\\clcbpat", colorIndex(cell.shading));
    if (cell.shadingPercent != 0) Number(out, "\\clshdng", cell.shadingPercent);
    const std::pair<const char*, int> paddings[] = {
        {"t", cell.padTop}, {"l", cell.padLeft}, {"b", cell.padBottom}, {"r", cell.padRight}};
    for (const auto& [side, twips] : paddings) {
      if (twips < 0) continue;
      Number(out, (std::string("\\clpad") + side).c_str(), twips);
      out += std::string("\\clpadf") + side + "3";  // in twips
    }
    Number(out, "\\cellx", cell.rightEdge);
  }
  out += '\n';
}

}  // namespace tlm::rtf
