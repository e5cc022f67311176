#pragma once
// The "Table" button both editors add to a rich-text editor's toolbar: its
// menu inserts a table, adds and removes rows and columns and sets a
// column's width. Each item has a key of its own while the editor has the
// focus; the row and column items are enabled inside a table only.
class QToolButton;
class QWidget;

namespace tlm {

class RichTextEditor;

QToolButton* AddTableTools(RichTextEditor& editor, QWidget* owner);

}  // namespace tlm
