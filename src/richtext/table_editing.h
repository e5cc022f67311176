#pragma once
// The table commands of the editor: insert a table at the caret, add and
// remove rows and columns, and set a column's width. Each works on the
// table the caret is in and is one undo step; outside a table the row and
// column commands do nothing and return false.
namespace tlm {

class RichTextEditor;

// The most rows and columns the insert command makes.
inline constexpr int kMaxInsertRows = 500;
inline constexpr int kMaxInsertColumns = 20;

// Inserts a table of `rows` x `columns` empty cells, as wide as the text,
// with thin borders, and puts the caret into its first cell. Refused (false)
// inside a table: tables are not nested.
bool InsertTableAtCaret(RichTextEditor& editor, int rows, int columns);

bool CaretInTable(const RichTextEditor& editor);
bool InsertTableRow(RichTextEditor& editor, bool below);
bool InsertTableColumn(RichTextEditor& editor, bool right);
// Removing the last row or column removes the table.
bool RemoveTableRow(RichTextEditor& editor);
bool RemoveTableColumn(RichTextEditor& editor);

// The width of the caret's column in twips; 0 outside a table.
int TableColumnWidth(const RichTextEditor& editor);
// Sets it (at least a tenth of an inch); when the table then is wider than
// the text the other columns give way, down to that least width each.
bool SetTableColumnWidth(RichTextEditor& editor, int twips);

}  // namespace tlm
