#include "richtext/table_editing.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <algorithm>
#include <cmath>

#include "richtext/rich_text_editor.h"
#include "richtext/text_document_model.h"
#include "richtext/text_document_tables.h"

namespace tlm {
namespace {

constexpr int kLeastColumnTwips = 144;

double PixelsPerTwip(const RichTextEditor& editor) { return editor.ScreenPixelsPerInch() / 1440.0; }

int TextWidthTwips(const RichTextEditor& editor) {
  const rtf::PageSetup page = editor.PageSetup();
  return std::max(kLeastColumnTwips, page.paperWidth - page.marginLeft - page.marginRight);
}

// The caret's table and cell; table null outside one.
struct Place {
  QTextCursor cursor;
  QTextTable* table = nullptr;
  QTextTableCell cell;
};

Place Here(const RichTextEditor& editor) {
  Place place;
  place.cursor = editor.TextCursor();
  place.table = place.cursor.currentTable();
  if (place.table) place.cell = place.table->cellAt(place.cursor);
  return place;
}

// Column widths in pixels, as set or an equal share of the table.
QList<double> Widths(const QTextTable& table, double textWidth) {
  QList<QTextLength> constraints = table.format().columnWidthConstraints();
  QList<double> widths;
  for (int c = 0; c < table.columns(); ++c) {
    double width = c < constraints.size() ? constraints[c].value(textWidth) : 0;
    widths.append(width > 0 ? width : textWidth / table.columns());
  }
  return widths;
}

void SetWidths(QTextTable& table, const QList<double>& widths) {
  QList<QTextLength> constraints;
  for (double width : widths) constraints.append(QTextLength(QTextLength::FixedLength, width));
  QTextTableFormat format = table.format();
  format.setColumnWidthConstraints(constraints);
  table.setFormat(format);
}

// Makes the widths add up to no more than `room`, taking from every column
// but `keep` in proportion, none below `least`.
void FitWidths(QList<double>& widths, double room, int keep, double least) {
  double total = 0, others = 0;
  for (int c = 0; c < widths.size(); ++c) {
    total += widths[c];
    if (c != keep) others += widths[c] - least;
  }
  if (total <= room || others <= 0) return;
  const double factor = std::max(0.0, 1.0 - (total - room) / others);
  for (int c = 0; c < widths.size(); ++c)
    if (c != keep) widths[c] = least + (widths[c] - least) * factor;
}

// New cells look like their neighbours in the row or column they copy.
void CopyCellFormat(QTextTable& table, int fromRow, int fromColumn, int toRow, int toColumn) {
  QTextTableCell from = table.cellAt(fromRow, fromColumn);
  QTextTableCell to = table.cellAt(toRow, toColumn);
  if (!from.isValid() || !to.isValid() || to.row() != toRow || to.column() != toColumn) return;
  QTextCharFormat format = from.format();
  format.setTableCellRowSpan(1);
  format.setTableCellColumnSpan(1);
  to.setFormat(format);
}

}  // namespace

bool CaretInTable(const RichTextEditor& editor) { return Here(editor).table != nullptr; }

bool InsertTableAtCaret(RichTextEditor& editor, int rows, int columns) {
  Place place = Here(editor);
  if (place.table) return false;
  rtf::Document doc = NewTableDocument(std::clamp(rows, 1, kMaxInsertRows), std::clamp(columns, 1, kMaxInsertColumns),
                                       TextWidthTwips(editor));
  doc.page = editor.PageSetup();
  BuildOptions options;
  options.dpi = editor.ScreenPixelsPerInch();
  QTextCursor cursor = place.cursor;
  cursor.clearSelection();
  cursor.beginEditBlock();
  // On an empty line the table takes the line's place: the table then
  // follows the line before, and the line stays after it.
  const QTextBlock previous = cursor.block().previous();
  if (cursor.block().length() == 1 && previous.isValid() && !QTextCursor(previous).currentTable()) {
    cursor.deletePreviousChar();
  }
  InsertTable(cursor, doc, 0, options, [](QTextCursor& at, const rtf::Paragraph&, bool intoBlock) {
    if (!intoBlock) at.insertBlock();
  });
  cursor.endEditBlock();
  QTextTable* table = cursor.block().previous().isValid() ? QTextCursor(cursor.block().previous()).currentTable()
                                                          : nullptr;
  if (table) editor.SetTextCursor(table->cellAt(0, 0).firstCursorPosition());
  return true;
}

bool InsertTableRow(RichTextEditor& editor, bool below) {
  Place place = Here(editor);
  if (!place.table) return false;
  const int from = place.cell.row() + (below ? place.cell.rowSpan() - 1 : 0);
  const int at = below ? from + 1 : from;
  place.cursor.beginEditBlock();
  place.table->insertRows(at, 1);
  const int source = below ? from : from + 1;
  for (int c = 0; c < place.table->columns(); ++c) CopyCellFormat(*place.table, source, c, at, c);
  place.cursor.endEditBlock();
  editor.SetTextCursor(place.table->cellAt(at, place.cell.column()).firstCursorPosition());
  return true;
}

bool InsertTableColumn(RichTextEditor& editor, bool right) {
  Place place = Here(editor);
  if (!place.table) return false;
  QTextTable& table = *place.table;
  const double u = PixelsPerTwip(editor);
  const double room = TextWidthTwips(editor) * u;
  QList<double> widths = Widths(table, room);
  const int from = place.cell.column() + (right ? place.cell.columnSpan() - 1 : 0);
  const int at = right ? from + 1 : from;
  place.cursor.beginEditBlock();
  table.insertColumns(at, 1);
  const int source = right ? from : from + 1;
  for (int r = 0; r < table.rows(); ++r) CopyCellFormat(table, r, source, r, at);
  widths.insert(at, widths[from]);
  FitWidths(widths, room, -1, kLeastColumnTwips * u);
  SetWidths(table, widths);
  place.cursor.endEditBlock();
  editor.SetTextCursor(table.cellAt(place.cell.row(), at).firstCursorPosition());
  return true;
}

bool RemoveTableRow(RichTextEditor& editor) {
  Place place = Here(editor);
  if (!place.table) return false;
  QTextTable* table = place.table;
  const int row = place.cell.row();
  const int column = place.cell.column();
  if (place.cell.rowSpan() >= table->rows()) {
    table->removeRows(0, table->rows());  // the table goes
    return true;
  }
  table->removeRows(row, place.cell.rowSpan());
  // The caret stays in the table, so that the command can be repeated.
  editor.SetTextCursor(table->cellAt(std::min(row, table->rows() - 1), column).firstCursorPosition());
  return true;
}

bool RemoveTableColumn(RichTextEditor& editor) {
  Place place = Here(editor);
  if (!place.table) return false;
  QTextTable& table = *place.table;
  const double room = TextWidthTwips(editor) * PixelsPerTwip(editor);
  if (place.cell.columnSpan() >= table.columns()) {
    table.removeColumns(0, table.columns());  // the table goes
    return true;
  }
  QList<double> widths = Widths(table, room);
  place.cursor.beginEditBlock();
  table.removeColumns(place.cell.column(), place.cell.columnSpan());
  widths.remove(place.cell.column(), place.cell.columnSpan());
  SetWidths(table, widths);
  place.cursor.endEditBlock();
  return true;
}

int TableColumnWidth(const RichTextEditor& editor) {
  Place place = Here(editor);
  if (!place.table) return 0;
  const double u = PixelsPerTwip(editor);
  QList<double> widths = Widths(*place.table, TextWidthTwips(editor) * u);
  double width = 0;
  for (int c = place.cell.column(); c < place.cell.column() + place.cell.columnSpan(); ++c) width += widths[c];
  return static_cast<int>(std::lround(width / u));
}

bool SetTableColumnWidth(RichTextEditor& editor, int twips) {
  Place place = Here(editor);
  if (!place.table) return false;
  const double u = PixelsPerTwip(editor);
  const double room = TextWidthTwips(editor) * u;
  QList<double> widths = Widths(*place.table, room);
  const int column = place.cell.column() + place.cell.columnSpan() - 1;  // the span's last column changes
  double spanned = 0;
  for (int c = place.cell.column(); c < column; ++c) spanned += widths[c];
  const double least = kLeastColumnTwips * u;
  widths[column] = std::clamp(twips * u - spanned, least, room);
  FitWidths(widths, room, column, least);
  double total = 0;
  for (double w : widths) total += w;
  if (total > room) widths[column] = std::max(least, widths[column] - (total - room));
  SetWidths(*place.table, widths);
  return true;
}

}  // namespace tlm
