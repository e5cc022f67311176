#pragma once
// The notice shown while receive mode starts: "please wait", then "Tolmera
// is in receive mode now". It stays on top without border icons, hides
// itself 15 seconds after it is shown or when clicked, and "Ok" closes it.
#include <QDialog>

class QPushButton;
class QTimer;
class QWidget;

namespace tlm {

class TStartingFaxForm : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kHideAfterMs = 15000;

  explicit TStartingFaxForm(QWidget* parent);

  // The starting state: the waiting text only.
  void ShowStarting();
  // The ready state: the receive-mode texts and "Ok".
  void ShowReady();
  bool Ready() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QWidget* StartingPanel = nullptr;
  QWidget* ReadyPanel = nullptr;
  QPushButton* OkButton = nullptr;
  QTimer* hideTimer_ = nullptr;
};

}  // namespace tlm
