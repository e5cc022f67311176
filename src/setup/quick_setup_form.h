#pragma once
// The quick set-up window of a first start: only the port, the user's name
// and fax number, with the modem search at hand and a way on to the full
// preferences wizard.
#include <QDialog>
#include <string>

#include "app/core/settings.h"
#include "comm/com_port.h"
#include "setup/preferences_ports.h"

class QLineEdit;
class QPushButton;

namespace tlm {

class TMainScreen;

class TQuickSetupForm : public QDialog {
  Q_OBJECT
 public:
  // done() code of "Preferences", beside Accepted and Rejected.
  static constexpr int kOpenPreferences = 2;

  TQuickSetupForm(const Settings& settings, std::string settingsPath, QWidget* parent = nullptr);

  // Copies the port, name and fax number into `s`.
  void StoreControls(Settings& s) const;
  PortSetupContext& Ports() { return ports_; }
  void FindModemPortClick();

  TComPortGroup* ComPort = nullptr;
  QLineEdit* Name = nullptr;
  QLineEdit* FaxNumber = nullptr;
  QPushButton* OkButton = nullptr;
  QPushButton* CancelButton = nullptr;
  QPushButton* PreferencesButton = nullptr;
  QPushButton* FindModemButton = nullptr;

 private:
  std::string resetString_;
  PortSetupContext ports_;
  TKvComPort KvComPort1;
};

// Runs quick set-up on the main window's settings record. On "Ok" or
// "Preferences" the first-run flag is cleared and the port, name and fax
// number are saved (true); "Preferences" then opens the wizard. On Cancel
// nothing is stored (false).
bool ShowQuickSetup(TMainScreen& main, QWidget* parent);

}  // namespace tlm
