#pragma once
// "Picture Size": the width and height on the page of the picture at the
// editor's caret, in inches or centimetres or as a percentage of the size it
// had; with "Keep proportions" on (the default) changing one changes the
// other so that the picture keeps its shape.
#include <QDialog>
#include <QSize>
#include <QTextCursor>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace tlm {

class RichTextEditor;

class TPictureSizeDlg : public QDialog {
  Q_OBJECT
 public:
  // `picture` selects the picture to resize (see PictureAtCursor).
  TPictureSizeDlg(RichTextEditor& editor, const QTextCursor& picture, QWidget* parent = nullptr);

  // The size as it stands, in twips.
  QSize Twips() const { return size_; }

  void accept() override;

 private:
  enum Field { kWidth, kHeight, kScale };
  bool InInches() const;
  void Display(Field except);
  void EditChanged(Field field);

  RichTextEditor& editor_;
  QTextCursor picture_;
  QSize original_;
  QSize size_;
  QComboBox* UnitsCombo = nullptr;
  QLineEdit* WidthEdit = nullptr;
  QLineEdit* HeightEdit = nullptr;
  QLineEdit* ScaleEdit = nullptr;
  QCheckBox* KeepProportions = nullptr;
  bool displaying_ = false;
  bool unreadable_ = false;
};

// Opens the dialog on the picture at the editor's caret; with no picture
// there it says how to choose one. True when the picture was resized.
bool EditPictureSize(RichTextEditor& editor, QWidget* owner);

}  // namespace tlm
