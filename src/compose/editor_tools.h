#pragma once
// The buttons the fax editor and the cover editor add to a rich-text
// editor's toolbar: page break, paragraph properties, word wrap, default font,
// inserting and sizing pictures, and the spell-check command answered with
// the spell check dialog.
#include <QString>
#include <functional>

class QAction;
class QToolButton;
class QWidget;

namespace tlm {

class RichTextEditor;
struct Settings;

struct EditorTools {
  QAction* pageBreak = nullptr;
  QAction* paragraph = nullptr;
  QAction* wordWrap = nullptr;
  QAction* defaultFont = nullptr;
  QAction* insertPicture = nullptr;  // "Insert Picture..." from an image file
  QAction* pictureSize = nullptr;    // "Picture Size..." of the picture at the caret
};

// US Letter with half-inch margins, the page of every fax and cover text.
void SetFaxPage(RichTextEditor& editor);

// `settings` is the process's settings record, where the default font goes.
EditorTools AddEditorTools(RichTextEditor& editor, QWidget* owner, Settings& settings);

// The zoom button: "70%", "80%" and "100%" dropped down under it, the
// current zoom of `editorOf()` checked; a choice sets that editor's zoom and
// the caption.
QToolButton* MakeZoomButton(QWidget* owner, const std::function<RichTextEditor*()>& editorOf);
// The caption for an editor's zoom, e.g. "80%".
QString ZoomCaption(int percent);

}  // namespace tlm
