#pragma once
// "Paragraph Properties": indents, spacing and line height of the editor's
// current paragraph, shown in inches or centimetres and points, held in twips.
#include <QDialog>
#include <array>

#include "richtext/rich_text_editor.h"

class QComboBox;
class QLineEdit;

namespace tlm {

class TParagraphPropDlg : public QDialog {
  Q_OBJECT
 public:
  TParagraphPropDlg(RichTextEditor& editor, QWidget* parent = nullptr);

  // The values as they stand, in twips.
  const ParagraphAttributes& Values() const { return values_; }

  void accept() override;

 private:
  enum Value { kFirst, kLeft, kRight, kBefore, kAfter, kLineHeight, kValueCount };

  QLineEdit* AddEdit(const char* name, Value value);
  bool InInches() const;
  bool IsIndent(Value value) const { return value <= kRight; }
  int& Twips(Value value);
  void Display();
  void SetHints();
  void EditChanged(Value value);
  void FirstIndentChoiceChanged();

  RichTextEditor& editor_;
  ParagraphAttributes values_;
  std::array<QLineEdit*, kValueCount> edits_{};
  std::array<bool, kValueCount> unreadable_{};
  QComboBox* ComboBox1 = nullptr;
  QComboBox* FirstIndentCombo = nullptr;
  bool displaying_ = false;
};

}  // namespace tlm
