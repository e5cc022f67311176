#include "setup/check_fax_class_form.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/core/modem_probe.h"
#include "app/message_boxes.h"
#include "app/window_placement.h"
#include "comm/com_port.h"
#include "fax/abstract_fax.h"
#include "platform/com_ports.h"
#include "platform/ticks.h"
#include "setup/find_modem_form.h"

namespace tlm {

namespace {

const char* const kClassHeads[3] = {"Class 1   : ", "Class 2   : ", "Class 2.0 : "};

void PumpMessages() { QApplication::processEvents(QEventLoop::AllEvents, 5); }

// Waits while the window stays alive.
void PumpFor(int ticks) {
  const QDeadlineTimer deadline(ticks * kMsPerTick);
  while (!deadline.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace

int RecommendedClassIndex(const ClassSupport& support) {
  if (support.class1) return 0;
  if (support.class2) return 1;
  if (support.class2_0) return 2;
  return -1;
}

std::string ClassName(int index) {
  switch (index) {
    case 0: return "Class 1";
    case 1: return "Class 2";
    case 2: return "Class 2.0";
    default: return {};
  }
}

TCheckFaxClassForm::TCheckFaxClassForm(TKvCustomComPort& port, TKvCustomAbstractFax& fax, int comNumber,
                                       std::string resetString, QWidget* parent)
    : QDialog(parent), port_(port), fax_(fax), comNumber_(comNumber), resetString_(std::move(resetString)) {
  setObjectName(QStringLiteral("CheckFaxClassForm"));
  setWindowTitle(QStringLiteral("Finding Fax Class...Please wait"));
  portLabel_ = new QLabel(QString::fromLocal8Bit(ComPortDisplayName(comNumber_, port_.DevicePath()).c_str()), this);
  portLabel_->setObjectName(QStringLiteral("PortLabel"));
  auto* heading = new QLabel(QStringLiteral("Fax Classes:"), this);
  const char* const initial[3] = {"Class 1 :", "Class 2 :", "Class 2.0 :"};
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(portLabel_);
  layout->addWidget(heading);
  for (int i = 0; i < 3; ++i) {
    classLabels_[i] = new QLabel(QString::fromLatin1(initial[i]), this);
    classLabels_[i]->setObjectName(QStringLiteral("ClassLabel%1").arg(i));
    layout->addWidget(classLabels_[i]);
  }
  const ProbeFoot foot =
      AddProbeFoot(this, layout, QStringLiteral("Testing Fax Classes...please wait."), QStringLiteral("Status"));
  Status = foot.result;
  ok_ = foot.ok;
}

void TCheckFaxClassForm::reject() {
  if (!running_) QDialog::reject();
}

void TCheckFaxClassForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!started_) {
    started_ = true;
    QTimer::singleShot(0, this, &TCheckFaxClassForm::Run);
  }
}

void TCheckFaxClassForm::SetStatus(const QString& text) {
  Status->setText(WithLineBreaks(text));
  PumpMessages();
}

void TCheckFaxClassForm::Run() {
  running_ = true;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  if (!Analyse()) {
    for (int i = 0; i < 3; ++i) classLabels_[i]->setText(QString::fromLatin1(kClassHeads[i]) + QStringLiteral("unknown"));
  }
  QApplication::beep();
  try {
    port_.SetOpen(false);
  } catch (const std::exception&) {
    // A device that went away closes as well as it can.
  }
  PumpMessages();
  QApplication::restoreOverrideCursor();
  running_ = false;
  ok_->show();
  ok_->setFocus();
  setWindowTitle(QStringLiteral("Check Fax Class"));
}

bool TCheckFaxClassForm::Analyse() {
  const QString n = QString::number(comNumber_);
  resultIndex_ = -1;
  resultName_.clear();
  SetStatus(QStringLiteral("Opening Com Port...please wait"));
  std::string message;
  try {
    port_.SetComNumber(comNumber_);
  } catch (const std::exception& e) {
    message = e.what();
  }
  portLabel_->setText(QString::fromLocal8Bit(ComPortDisplayName(comNumber_, port_.DevicePath()).c_str()));
  if (!message.empty() || !OpenPort(port_, message)) {
    SetStatus(QString::fromLocal8Bit(message.c_str()));
    return false;
  }
  PumpFor(kProbeSettleTicks);
  if (!ProbeModem(port_, resetString_, PumpMessages)) {
    QApplication::restoreOverrideCursor();
    const bool goOn = AskYesNo(this,
                               QStringLiteral("The device on COM%1 is not responding and may\rnot be a modem. Continue "
                                              "with Fax Class Analysis?")
                                   .arg(n),
                               QStringLiteral("NO MODEM RESPONSE"));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!goOn) {
      SetStatus(QStringLiteral("No response from device on COM%1. May not be a modem.").arg(n));
      return false;
    }
  }
  if (!ResetModem(port_)) {
    QApplication::restoreOverrideCursor();
    ShowInformation(this, QStringLiteral("We are unable to continue the test. \r\rThe modem did not respond to the "
                                         "reset string:   (AT&F)\r\rIs the Communications Port (COM%1) correct? "
                                         "Please\rclick the Find Modem Port button on the Preferences screen to be "
                                         "sure.")
                              .arg(n));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    SetStatus(QStringLiteral("No response from device on COM%1. May not be a modem.").arg(n));
    return false;
  }
  SetStatus(QStringLiteral("Querying modem Fax Class support..."));
  ClassSupport support;
  const bool ok = fax_.GetModemClasses(true, support) == 0 && support.Any();
  SetStatus({});
  if (!ok) {
    SetStatus(QStringLiteral("Unable to determine Fax Class support from modem on Com %1").arg(n));
    return false;
  }
  const bool supported[3] = {support.class1, support.class2, support.class2_0};
  for (int i = 0; i < 3; ++i) {
    classLabels_[i]->setText(QString::fromLatin1(kClassHeads[i]) +
                             (supported[i] ? QStringLiteral("Supported") : QStringLiteral("Not Supported")));
  }
  resultIndex_ = RecommendedClassIndex(support);
  resultName_ = ClassName(resultIndex_);
  if (resultIndex_ == 0 || resultIndex_ == 1) {
    classLabels_[resultIndex_]->setText(classLabels_[resultIndex_]->text() + QStringLiteral(" (recommended)"));
  } else if (resultIndex_ == 2) {
    QFont bold = classLabels_[2]->font();
    bold.setBold(true);
    classLabels_[2]->setFont(bold);
  }
  SetStatus(QStringLiteral("Try using the recommended Fax Class (%1) or auto detect. If you experience problems, try "
                           "another supported class.\r\r(note: US Robotics users should read the help section on "
                           "troubleshooting)")
                .arg(QString::fromStdString(resultName_)));
  return true;
}

FaxClassResult RunCheckFaxClass(QWidget* parent, TKvCustomComPort& port, TKvCustomAbstractFax& fax, int comNumber,
                                const std::string& resetString) {
  TCheckFaxClassForm form(port, fax, comNumber, resetString, parent);
  CenterWindow(&form);
  form.exec();
  return {form.ResultIndex(), form.ResultName()};
}

}  // namespace tlm
