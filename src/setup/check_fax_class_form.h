#pragma once
// The fax class analysis window: asks the modem on one port which fax
// classes it supports and recommends one (class 1, else 2, else 2.0).
#include <QDialog>
#include <string>

#include "fax/modem_setup.h"

class QLabel;
class QPushButton;

namespace tlm {

class TKvCustomComPort;
class TKvCustomAbstractFax;

// The recommendation for a modem's classes: index 0 class 1, 1 class 2,
// 2 class 2.0, -1 none.
int RecommendedClassIndex(const ClassSupport& support);
std::string ClassName(int index);

class TCheckFaxClassForm : public QDialog {
  Q_OBJECT
 public:
  // `port` and `fax` (bound to it) are lent by the caller; the analysis
  // runs on COM `comNumber` when the window is shown, and the port is
  // closed again at its end.
  TCheckFaxClassForm(TKvCustomComPort& port, TKvCustomAbstractFax& fax, int comNumber, std::string resetString,
                     QWidget* parent = nullptr);

  int ResultIndex() const { return resultIndex_; }
  const std::string& ResultName() const { return resultName_; }
  bool Running() const { return running_; }
  QLabel* ClassLabel(int index) const { return classLabels_[index]; }
  QLabel* StatusLabel() const { return Status; }
  QLabel* PortLabel() const { return portLabel_; }

  void reject() override;  // ignored while the analysis runs

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Run();
  bool Analyse();  // false: ended without results
  void SetStatus(const QString& text);

  TKvCustomComPort& port_;
  TKvCustomAbstractFax& fax_;
  int comNumber_;
  std::string resetString_;
  bool started_ = false;
  bool running_ = false;
  int resultIndex_ = -1;
  std::string resultName_;

  QLabel* portLabel_ = nullptr;  // "COM3 (/dev/ttyS2)"
  QLabel* classLabels_[3] = {};
  QLabel* Status = nullptr;
  QPushButton* ok_ = nullptr;
};

struct FaxClassResult {
  int index = -1;
  std::string name;
};
FaxClassResult RunCheckFaxClass(QWidget* parent, TKvCustomComPort& port, TKvCustomAbstractFax& fax, int comNumber,
                                const std::string& resetString);

}  // namespace tlm
