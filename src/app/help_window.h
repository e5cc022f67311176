#pragma once
// The program's help: HTML pages shipped in the share folder's "help"
// folder, one per topic number ("1009.html"), shown in a small window.
#include <QDialog>

class QTextBrowser;

namespace tlm {

// The page of a help topic; empty when the program carries none.
QString HelpTopicPath(int topic);

class THelpWindow : public QDialog {
  Q_OBJECT
 public:
  explicit THelpWindow(QWidget* parent = nullptr);
  // Shows `topic`; false (and a note in the window) when there is no page.
  bool ShowTopic(int topic);
  int Topic() const { return topic_; }
  QTextBrowser* Browser() const { return browser_; }

 private:
  QTextBrowser* browser_;
  int topic_ = 0;
};

// Opens the help window (one per program, reused) on `topic`.
THelpWindow* ShowHelpTopic(QWidget* parent, int topic);

}  // namespace tlm
