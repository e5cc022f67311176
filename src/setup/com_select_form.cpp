#include "setup/com_select_form.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QThread>
#include <cerrno>
#include <QVBoxLayout>

#include "app/window_placement.h"
#include "comm/posix_serial.h"
#include "platform/com_ports.h"

namespace tlm {

std::string ComSelectLine(const UsableComPort& port) {
  std::string line = ComPortDisplayName(port.number, port.device);
  if (port.busy) line += " - in use by another program";
  if (!port.permitted) line += " - " + OpenErrorDetail(-EACCES, port.device);
  return line;
}

TComSelectForm::TComSelectForm(const std::vector<UsableComPort>& ports, QWidget* parent)
    : QDialog(parent), ports_(ports) {
  setObjectName(QStringLiteral("ComSelectForm"));
  setWindowTitle(QStringLiteral("Select Port"));
  auto* first = new QLabel(QStringLiteral("The configured serial port is not valid."), this);
  auto* second = new QLabel(QStringLiteral("Please choose another port."), this);
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("PortList"));
  for (const UsableComPort& port : ports_) list_->addItem(QString::fromLocal8Bit(ComSelectLine(port).c_str()));
  if (list_->count() > 0) list_->setCurrentRow(0);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setEnabled(list_->count() > 0);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(first);
  layout->addWidget(second);
  layout->addWidget(list_, 1);
  layout->addWidget(buttons);
  list_->setFocus();
}

int TComSelectForm::ComNumber() const {
  const int row = list_->currentRow();
  return row >= 0 && row < static_cast<int>(ports_.size()) ? ports_[row].number : 0;
}

int ChooseComPort(QWidget* parent, const std::function<std::string(int)>& deviceOf) {
  // A port opened off the GUI thread cannot ask: it stays without a port.
  if (!qApp || QThread::currentThread() != qApp->thread()) return 0;
  TComSelectForm form(UsableComPorts(deviceOf), parent ? parent : MainWindow());
  CenterWindow(&form);
  return form.exec() == QDialog::Accepted ? form.ComNumber() : 0;
}

}  // namespace tlm
