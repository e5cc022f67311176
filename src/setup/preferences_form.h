#pragma once
// The preferences wizard: every setting on eight pages, with the modem
// search, the fax class analysis, the init string helper and the
// troubleshooter at hand. Edits reach the settings record and TLM.INI only
// when the user finishes and confirms.
#include <QDialog>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "app/core/settings.h"
#include "comm/com_port.h"
#include "fax/send_fax.h"
#include "setup/preferences_ports.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace tlm {

class TMainScreen;

inline constexpr int kPreferencesPageCount = 8;

// The help topic of a page (0..7).
int PreferencesHelpTopic(int page);

// A radio group of fixed entries, read and set by list position.
class TRadioGroup : public QGroupBox {
  Q_OBJECT
 public:
  TRadioGroup(const QString& title, const QStringList& items, const QString& name, QWidget* parent,
              int columns = 1);
  int ItemIndex() const;
  void SetItemIndex(int index);
  QRadioButton* Button(int index) const { return buttons_.at(index); }

 private:
  std::vector<QRadioButton*> buttons_;
};

class TPreferences : public QDialog {
  Q_OBJECT
 public:
  // Edits a copy of `record`; on a confirmed Finish the copy is saved into
  // the settings file at `settingsPath` and then assigned to `record`.
  TPreferences(Settings& record, bool firstRun, std::string settingsPath, QWidget* parent = nullptr);

  // Opens the troubleshooter (the main window's Problem Solver).
  std::function<void()> problemSolver;
  // The printers offered after "Default Windows Printer"; by default the
  // system's.
  void SetPrinterNames(const QStringList& names);
  PortSetupContext& Ports() { return ports_; }

  int CurrentPage() const;
  void GoToPage(int page);
  bool FirstRunAtOpen() const { return firstRun_; }

  // The actions of the buttons.
  void FinishClick();
  void FindModemPortClick();
  void CheckFaxClassClick(bool forSending);
  void InitStringHelpClick(bool forSending);
  void SameAsSendClick(int which);  // 0 class, 1 rate, 2 init string
  void ChooseWaveClick();
  void PlayNowClick();

  // Fills the controls from `s`; copies them into `s` (false, with the
  // message shown, when a field is not valid; `s` is then unchanged).
  void LoadControls(const Settings& s);
  bool StoreControls(Settings& s);

 private:
  QWidget* BuildInfoPage();
  QWidget* BuildModemPage();
  QWidget* BuildSendPage1();
  QWidget* BuildSendPage2();
  QWidget* BuildSendPage3();
  QWidget* BuildReceivePage1();
  QWidget* BuildReceivePage2();
  QWidget* BuildReceivePage3();
  void PageChanged();
  void FillPrinters(const QStringList& names, const std::string& selected);
  bool Refuse(int page, QWidget* field, const QString& message);
  void PreparePort(int comNumber);

  Settings& record_;
  Settings edited_;
  bool firstRun_;
  std::string settingsPath_;
  PortSetupContext ports_;
  TKvComPort KvComPort1;
  TKvSendFax KvSendFax1;

 public:
  // Controls, named as in the settings they edit.
  QComboBox* PageCombo = nullptr;
  QLabel* PageLabel = nullptr;
  QStackedWidget* Pages = nullptr;
  QLabel* FirstTimeLabel = nullptr;
  QPushButton* BackButton = nullptr;
  QPushButton* NextButton = nullptr;
  QPushButton* FinishButton = nullptr;
  QPushButton* CancelButton = nullptr;
  QPushButton* HelpButton = nullptr;
  QPushButton* ProblemSolverButton = nullptr;
  TComPortGroup* ComPort = nullptr;
  TRadioGroup* ToneOrPulse = nullptr;
  QLineEdit* ResetString = nullptr;
  QLineEdit* ResetAfterString = nullptr;
  TRadioGroup* FaxClass = nullptr;
  QComboBox* TransferRate = nullptr;
  QLineEdit* ModemInit = nullptr;
  QLineEdit* FaxNumber = nullptr;
  QLineEdit* Name = nullptr;
  QCheckBox* UseECM = nullptr;
  QLineEdit* DialPrefix = nullptr;
  QLineEdit* DialSuffix = nullptr;
  QLineEdit* DialAttempts = nullptr;
  QLineEdit* RetryWait = nullptr;
  QCheckBox* CheckBlindDial = nullptr;
  QCheckBox* CheckIgnoreBusy = nullptr;
  QCheckBox* RenegotiateBetween = nullptr;
  TRadioGroup* FaxClassReceive = nullptr;
  QComboBox* TransferRateReceive = nullptr;
  QLineEdit* ModemInitReceive = nullptr;
  TRadioGroup* AnswerOnRing = nullptr;
  QCheckBox* ReceiveAtStartup = nullptr;
  QCheckBox* UseECMReceive = nullptr;
  QLineEdit* WaveFileEdit = nullptr;
  QCheckBox* PrintFaxOnReceipt = nullptr;
  QComboBox* PrintFaxOnReceiptPrinter = nullptr;
};

// Opens the wizard over `parent` on the main window's settings record (the
// first-run flag is taken over and cleared). True when the user saved.
bool ShowPreferences(TMainScreen& main, QWidget* parent);

}  // namespace tlm
