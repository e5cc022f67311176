#pragma once
// "Cover Sheet Template Editor": the description and the text of one cover
// template, with the placeholders of the Insert menu.
#include <QDialog>

#include "compose/compose_context.h"
#include "compose/editor_tools.h"

class QLineEdit;
class QPushButton;
class QToolButton;

namespace tlm {

class RichTextEditor;

class TCoverEditor : public QDialog {
  Q_OBJECT
 public:
  explicit TCoverEditor(ComposeContext& context, QWidget* parent = nullptr);

  RichTextEditor* Cover() const { return WPCover; }
  QString Description() const;
  void SetDescription(const QString& description);

  // The Insert menu's command: the placeholder of `tag` at the caret.
  void InsertPlaceholder(int tag);

  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  ComposeContext& context_;
  bool shown_ = false;
  QLineEdit* CoverDescription = nullptr;
  RichTextEditor* WPCover = nullptr;
  QPushButton* InsertButton = nullptr;
  QToolButton* Zoombutton = nullptr;
  EditorTools tools_;
};

}  // namespace tlm
