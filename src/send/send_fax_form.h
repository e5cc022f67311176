#pragma once
// The send window ("Send Fax"): whom the fax goes to and the set-up it will
// use; the number, prefix and suffix can be adjusted; "Send Fax Now" opens
// the port, checks the modem and starts the transmission, whose progress the
// status display shows. The window stays open after a transmission; the
// caller reads the result when it closes.
#include <QDialog>
#include <functional>
#include <memory>

#include "app/core/settings.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tlm {

class QtMainThreadBridge;
class TKvComPort;
class TKvFaxStatus;
class TKvSendFax;

class TSendFaxForm : public QDialog {
  Q_OBJECT
 public:
  // What the window is opened with.
  struct Job {
    QString faxFile;
    QString recipient;
    QString subject;
    QString phoneNumber;
    int portNumber = 1;  // COM number
    QString dialPrefix;
    QString dialSuffix;
    bool prefixDisabled = false;
    bool suffixDisabled = false;
  };

  // `settings` are the program's; the Preferences button may change them.
  TSendFaxForm(const Job& job, Settings& settings, QWidget* parent = nullptr);
  ~TSendFaxForm() override;

  // The preferences window, opened by the Preferences button; true when it
  // closed with OK (the settings may then have changed). Until one is set the
  // button tells the user it is not available.
  using PreferencesWindow = std::function<bool(QWidget* parent, Settings& settings)>;
  static void SetPreferencesWindow(PreferencesWindow window);

  // The results the caller reads after the window has closed.
  const QString& ResultText() const { return resultText_; }
  QString PhoneNumberText() const;
  QString DialPrefixText() const;
  QString DialSuffixText() const;
  bool PrefixDisabled() const;
  bool SuffixDisabled() const;
  bool Sending() const { return sending_; }

  // The configuration lines the window shows.
  static QStringList SetupLines(const Settings& settings, int portNumber);

  // The send component, for tests and the status display.
  TKvSendFax& SendFax() const { return *KvSendFax1; }
  TKvFaxStatus& FaxStatus() const { return *KvFaxStatus1; }

  // The actions, as the buttons run them.
  void SendFaxButtonClick();
  void PreferencesButtonClick();
  void CloseButtonClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void BuildControls(const Job& job);
  void ShowSetup();
  void SetStatus(const QString& text);
  void Abandon();
  void ConfigureSendFax();
  void KvSendFax1FaxFinish(int errorCode);
  void Finish(int errorCode);
  void ClosePort();
  bool RefuseWhileSending();

  Settings& settings_;
  QString faxFile_;
  QString coverFile_;
  QString phoneNumber_;
  QString resultText_;
  QString headerLine_;
  int portNumber_;
  bool sending_ = false;
  bool firstActivation_ = true;
  bool cursorSet_ = false;

  QtMainThreadBridge* bridge_ = nullptr;
  std::unique_ptr<TKvComPort> KvComPort1;
  std::unique_ptr<TKvFaxStatus> KvFaxStatus1;
  std::unique_ptr<TKvSendFax> KvSendFax1;

  QLabel* ToLabel = nullptr;
  QLabel* Subjectlabel = nullptr;
  QLineEdit* sfPhoneNumber = nullptr;
  QLineEdit* sfDialPrefix = nullptr;
  QCheckBox* DisablePrefix = nullptr;
  QLineEdit* sfDialsuffix = nullptr;
  QCheckBox* DisableSuffix = nullptr;
  QPlainTextEdit* SetupDisplayMemo = nullptr;
  QPushButton* PreferencesButton = nullptr;
  QPushButton* SendFaxButton = nullptr;
  QLabel* status = nullptr;
  QPushButton* HelpButton = nullptr;
  QPushButton* ProblemSolverButton = nullptr;
  QPushButton* CloseButton = nullptr;
};

}  // namespace tlm
