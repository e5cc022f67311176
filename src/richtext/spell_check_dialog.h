#pragma once
// The "Spell Check" dialog: walks the editor's words from the start, shows
// each one the dictionaries do not know with suggestions, and replaces,
// ignores or adds it to the user dictionary.
#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tlm {

class RichTextEditor;
class SpellChecker;

class SpellCheckDialog : public QDialog {
  Q_OBJECT

 public:
  SpellCheckDialog(RichTextEditor* editor, SpellChecker& checker, QWidget* parent = nullptr);

  // The word shown as not in the dictionary; empty when the check is done.
  QString CurrentWord() const { return word_; }
  QLineEdit* ChangeTo() const { return changeTo_; }
  QListWidget* Suggestions() const { return suggestions_; }

 public slots:
  void Replace();
  void Ignore();
  void IgnoreAll();
  void Add();

 private:
  // Finds the next unknown word at or after `position_` and shows it.
  void FindNext();

  RichTextEditor* editor_;
  SpellChecker& checker_;
  int position_ = 0;
  int wordStart_ = 0;
  QString word_;
  QLabel* status_;
  QLineEdit* changeTo_;
  QListWidget* suggestions_;
  QPushButton* replaceButton_;
  QPushButton* ignoreButton_;
  QPushButton* ignoreAllButton_;
  QPushButton* addButton_;
};

// Opens the dialog on `editor` with the default dictionaries; tells the
// user when no dictionary is installed. `place` positions the dialog before
// it is shown (the windows centre their dialogs over the main window).
void RunSpellCheck(RichTextEditor* editor, QWidget* parent, const std::function<void(QWidget*)>& place = {});

}  // namespace tlm
