#pragma once
// The table part of the RTF writer: row definitions as word processors
// read them (\trowd, \trgaph, \trleft, cell borders, shading, vertical
// alignment, merges, \cellx).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "richtext/rtf/rtf_document.h"

namespace tlm::rtf {

// The colours the tables use, for the colour table.
std::vector<std::uint32_t> TableColors(const Document& doc);

// The definition of the row a table paragraph is in; a row the tables do
// not hold is one plain cell wide.
const TableRow& RowOf(const Document& doc, const TableCellRef& cell);

// Appends `\trowd ... \cellx` for `row`; `colorIndex` gives a colour's
// number in the colour table.
void WriteRowDefinition(const TableRow& row, const std::function<int(std::uint32_t)>& colorIndex,
                        std::string& out);

}  // namespace tlm::rtf
