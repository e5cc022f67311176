#pragma once
// The troubleshooter: a tree of faxing problems and questions, and the
// answer to the selected one, some of it composed from the current settings.
#include <QDialog>
#include <string>

#include "app/core/settings.h"

class QPrinter;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace tlm {

class RichTextEditor;

class TFaxProblemSolverDialog : public QDialog {
  Q_OBJECT
 public:
  // `preselectedId` is the topic to open at, -1 for none.
  explicit TFaxProblemSolverDialog(const Settings& settings, int preselectedId = -1, QWidget* parent = nullptr);

  int CurrentId() const { return currentId_; }
  const QString& CurrentTitle() const { return currentTitle_; }
  // The answer shown, as RTF and as plain text.
  const std::string& AnswerRtf() const { return answerRtf_; }
  QString AnswerText() const;
  bool AnswersTabVisible() const;

  QTreeWidget* TopicTree() const { return tree_; }
  QTabWidget* Pages() const { return pages_; }
  RichTextEditor* AnswerView() const { return answer_; }
  QPushButton* PrintButton() const { return print_; }
  QPushButton* CopyButton() const { return copy_; }
  QPushButton* OkButton() const { return ok_; }

  // The operations, as the buttons run them.
  void PrintClick();
  void CopyToClipboardClick();
  // Prints the answer with the topic's title as the job's title.
  bool PrintAnswer(QPrinter& printer);

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormActivate();
  void BuildTree();
  void TopicSelected(QTreeWidgetItem* item);
  void ShowAnswers();
  void PageChanged();

  Settings settings_;
  int preselectedId_;
  bool activated_ = false;
  std::string analysisDocument_;
  int currentId_ = -1;
  QString currentTitle_;
  std::string answerRtf_;

  QTabWidget* pages_;
  QTreeWidget* tree_;
  RichTextEditor* answer_;
  QPushButton* print_;
  QPushButton* copy_;
  QPushButton* ok_;
};

// Opens the troubleshooter modally at `preselectedId` (-1 for none).
void ShowProblemSolver(QWidget* parent, const Settings& settings, int preselectedId = -1);

// Opens it at the topic for a fax error code (negative, as the sessions
// report it), for an error while sending or while receiving.
void ShowProblemSolverForError(QWidget* parent, const Settings& settings, int errorCode, bool sending);

// For the error windows: an error code of 0 opens it with nothing
// preselected.
void OpenTroubleshooter(QWidget* parent, const Settings& settings, int errorCode = 0, bool sending = true);

}  // namespace tlm
