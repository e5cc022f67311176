#pragma once
// Answers the modal windows a test provokes, as a user would: each time a
// modal window comes up, the next answer in the queue handles it. Message
// boxes are recorded (caption, text, icon, default button) before the answer
// clicks one of their buttons.
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "gui_test_support.h"

namespace tlm::testing {

struct SeenBox {
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

class ModalDriver : public QObject {
 public:
  using Answer = std::function<void(QWidget*)>;

  ModalDriver() {
    App();  // timers need the application
    connect(&timer_, &QTimer::timeout, this, &ModalDriver::Poll);
    timer_.start(5);
  }

  // Clicks a message box button (recording the box first).
  void Click(QMessageBox::StandardButton button) {
    answers_.push_back([this, button](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (!box) {
        unexpected.push_back(w->metaObject()->className());
        if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
        return;
      }
      Record(box);
      if (QAbstractButton* b = box->button(button)) {
        b->click();
      } else {
        unexpected.push_back("button missing in: " + box->text().toStdString());
        box->done(QMessageBox::Cancel);
      }
    });
  }
  // Runs `fn` on the next modal window.
  void Then(Answer fn) { answers_.push_back(std::move(fn)); }

  bool Idle() const { return answers_.empty(); }

  std::vector<SeenBox> boxes;
  std::vector<std::string> unexpected;  // modal windows nobody expected
  std::set<std::string> passThrough;     // windows that close by themselves

 private:
  void Record(QMessageBox* box) {
    SeenBox seen;
    seen.caption = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    if (QPushButton* d = box->defaultButton()) seen.defaultButton = box->standardButton(d);
    boxes.push_back(seen);
  }

  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || modal->property("tlmSeen").toBool()) return;
    modal->setProperty("tlmSeen", true);
    if (passThrough.count(modal->metaObject()->className())) return;
    if (answers_.empty()) {
      // Close what nobody expected, so a test fails instead of hanging.
      if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        Record(box);
        unexpected.push_back("unexpected box: " + box->text().toStdString());
      } else {
        unexpected.push_back(modal->metaObject()->className());
      }
      if (auto* d = qobject_cast<QDialog*>(modal)) d->reject();
      return;
    }
    Answer answer = std::move(answers_.front());
    answers_.pop_front();
    QWidget* target = modal;
    QTimer::singleShot(0, target, [answer, target] { answer(target); });
  }

  QTimer timer_;
  std::deque<Answer> answers_;
};

}  // namespace tlm::testing
