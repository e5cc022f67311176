#pragma once
// Tables between the RTF document model and a QTextDocument: a model table
// becomes a QTextTable with its column widths, cell padding, borders,
// shading, vertical alignment and merges, and back.
//
// Rows of a model table may be cut differently; the QTextTable's columns
// are every edge of every row, and a cell spans the columns between its
// edges. A table wider than the text (LibreOffice writes edges past the
// page) is narrowed to the text width, as word processors show it.
#include <QTextCursor>
#include <functional>

#include "richtext/rtf/rtf_document.h"

class QTextTable;
class QTextBlock;

namespace tlm {

struct BuildOptions;

// Adds a paragraph at `cursor`: into the cursor's block when `intoBlock`,
// else as a new block after it.
using InsertParagraphFn = std::function<void(QTextCursor& cursor, const rtf::Paragraph& para, bool intoBlock)>;
// A block read back as a paragraph (without its cell).
using ReadParagraphFn = std::function<rtf::Paragraph(const QTextBlock& block)>;

// Inserts the table whose paragraphs start at doc.paragraphs[first] at
// `cursor`, and returns the index after its last paragraph. The cursor then
// is in the (empty) block after the table.
size_t InsertTable(QTextCursor& cursor, const rtf::Document& doc, size_t first, const BuildOptions& options,
                   const InsertParagraphFn& insertParagraph);

// Appends `table` to `doc`: its definition to doc.tables and its cells'
// paragraphs to doc.paragraphs.
void AppendTable(const QTextTable& table, double dpi, rtf::Document& doc, const ReadParagraphFn& readParagraph);

// The block-format property of an empty block that only exists because a
// QTextDocument cannot start or end with a table; it is not a paragraph.
inline constexpr int kTableFillerProperty = QTextFormat::UserProperty + 20;

// Splits the `group`-th table of the text (counted in text order) before
// its row `row`; the second part starts a new page.
void SplitTableBeforeRow(rtf::Document& doc, int group, int row);

// Rows with a height of their own grow to it on a page: a laid-out row
// lower than its height gets the difference as cell padding. An exact
// height lower than the row's text counts as a least height, so that no text
// is cut off. Only for pages: the editor shows rows as high as their text.
void ApplyRowHeights(QTextDocument& doc, double dpi);

// A row-by-columns table of empty cells, `width` twips wide, with thin
// single borders: what the editor inserts.
rtf::Document NewTableDocument(int rows, int columns, int width);

}  // namespace tlm
