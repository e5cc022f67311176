#pragma once
// The port choice of the preferences wizard and quick set-up: "Com1" to
// "Com6", each shown with its device, and the "Find Modem Port" action
// they share.
#include <QGroupBox>
#include <array>
#include <functional>
#include <string>

#include "setup/find_modem_form.h"
#include "setup/preferences_save.h"

class QRadioButton;

namespace tlm {

class TKvCustomComPort;

class TComPortGroup : public QGroupBox {
  Q_OBJECT
 public:
  TComPortGroup(const QString& title, QWidget* parent = nullptr);
  // The list position (0 is Com1); -1 when none is selected.
  int ItemIndex() const;
  void SetItemIndex(int index);  // out of range: none selected
  // Captions "Com1  (/dev/ttyS0)", ...
  void ShowDevices(const std::function<std::string(int)>& deviceOf);
  QRadioButton* Button(int index) const { return buttons_[index]; }

 private:
  std::array<QRadioButton*, kSearchedComPorts> buttons_{};
};

// Where the set-up windows' port settings come from and go to.
struct PortSetupContext {
  std::string settingsPath;  // TLM.INI
  PortMappings newPorts;     // entries to add at the next save
  FindModemOptions findOptions;  // tests inject the device list here
  std::string Device(int comNumber) const { return SetupDevicePath(comNumber, settingsPath, newPorts); }
};

// "Find Modem Port": runs the search; when it found a port other than the
// selected one (or a new device), asks "Set Com Port to Com N" and on Yes
// selects it, recording a new device as a mapping to save. The port's
// number is set back to the selected port afterwards.
void FindModemPort(QWidget* parent, TKvCustomComPort& port, TComPortGroup& group, PortSetupContext& context,
                   const std::string& resetString);

}  // namespace tlm
