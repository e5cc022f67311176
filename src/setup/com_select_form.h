#pragma once
// "Select Port": asked by the serial port component when no port is chosen.
// Lists the ports COM1 to COM50 whose device opens or is only busy or
// refused, each with its device.
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "comm/port_chooser.h"

class QListWidget;

namespace tlm {

class TComSelectForm : public QDialog {
  Q_OBJECT
 public:
  explicit TComSelectForm(const std::vector<UsableComPort>& ports, QWidget* parent = nullptr);
  // The chosen COM number; 0 when none is selected.
  int ComNumber() const;
  QListWidget* PortList() const { return list_; }

 private:
  std::vector<UsableComPort> ports_;
  QListWidget* list_ = nullptr;
};

// The line a port is listed with: "COM3 (/dev/ttyS2)", with a note when it
// is busy or the user may not open it.
std::string ComSelectLine(const UsableComPort& port);

// Shows the window (on the GUI thread only) and returns the chosen COM
// number, or 0 when the user cancels.
int ChooseComPort(QWidget* parent, const std::function<std::string(int)>& deviceOf = {});

}  // namespace tlm
