#include "send/send_fax_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/core/modem_probe.h"
#include "app/help_window.h"
#include "app/message_boxes.h"
#include "app/qt_main_thread_bridge.h"
#include "app/window_placement.h"
#include "comm/com_port.h"
#include "fax/send_fax.h"
#include "platform/com_ports.h"
#include "platform/strings/messages.h"
#include "send/send_options.h"
#include "send/show_error_form.h"
#include "send/standard_fax_display.h"

namespace tlm {

namespace {

constexpr int kHelpSendWindow = 1016;
constexpr int kPhoneNumberMax = 25;
constexpr int kPortBuffer = 8192;
constexpr int kPortBufferFull = 7372;
constexpr int kPortBufferResume = 819;

TSendFaxForm::PreferencesWindow& Preferences() {
  static TSendFaxForm::PreferencesWindow window;
  return window;
}

QString Local(const std::string& text) { return QString::fromLocal8Bit(text); }
std::string Local(const QString& text) { return text.toLocal8Bit().toStdString(); }

QString PortCheckAdvice(int n) {
  return QStringLiteral("Is the Communications Port (COM") + QString::number(n) +
         QStringLiteral(") correct? Please\r\nclick on the Find Modem button on the Preferences screen to be sure.");
}

// The hourglass while the window works, restored on every way out.
void SetHourglass(bool& set, bool on) {
  if (on == set) return;
  set = on;
  if (on) QApplication::setOverrideCursor(Qt::WaitCursor);
  else QApplication::restoreOverrideCursor();
}

}  // namespace

void TSendFaxForm::SetPreferencesWindow(PreferencesWindow window) { Preferences() = std::move(window); }

TSendFaxForm::TSendFaxForm(const Job& job, Settings& settings, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      faxFile_(job.faxFile),
      phoneNumber_(job.phoneNumber),
      portNumber_(job.portNumber) {
  setObjectName(QStringLiteral("SendFaxForm"));
  setWindowTitle(QStringLiteral("Send Fax"));

  bridge_ = new QtMainThreadBridge(this);
  KvComPort1 = std::make_unique<TKvComPort>();
  KvComPort1->SetMainThreadBridge(bridge_);
  KvComPort1->SetPromptForPort(false);
  KvComPort1->SetAutoOpen(false);
  KvComPort1->SetInSize(kPortBuffer);
  KvComPort1->SetOutSize(kPortBuffer);
  KvComPort1->SetHWFlowOptions(hwfUseRTS | hwfRequireCTS);
  KvComPort1->SetBufferFull(kPortBufferFull);
  KvComPort1->SetBufferResume(kPortBufferResume);
  KvFaxStatus1 = std::make_unique<TKvFaxStatus>(this);
  KvSendFax1 = std::make_unique<TKvSendFax>();
  KvSendFax1->SetMainThreadBridge(bridge_);
  KvSendFax1->SetComPort(KvComPort1.get());
  KvSendFax1->StatusDisplay = KvFaxStatus1.get();
  KvSendFax1->FaxFileExt = "APF";
  KvSendFax1->EnhTextEnabled = true;
  KvSendFax1->OnFaxFinish = [this](TKvCustomAbstractFax&, int errorCode) { KvSendFax1FaxFinish(errorCode); };

  BuildControls(job);
}

TSendFaxForm::~TSendFaxForm() {
  // The session goes before the port it runs on.
  KvSendFax1->StopSession();
  KvSendFax1->StatusDisplay = nullptr;
  KvFaxStatus1->Close();
  ClosePort();
  SetHourglass(cursorSet_, false);
}

void TSendFaxForm::BuildControls(const Job& job) {
  ToLabel = new QLabel(job.recipient, this);
  ToLabel->setObjectName(QStringLiteral("ToLabel"));
  Subjectlabel = new QLabel(job.subject, this);
  Subjectlabel->setObjectName(QStringLiteral("Subjectlabel"));

  sfPhoneNumber = new QLineEdit(this);
  sfPhoneNumber->setObjectName(QStringLiteral("sfPhoneNumber"));
  sfPhoneNumber->setMaxLength(kPhoneNumberMax);
  sfDialPrefix = new QLineEdit(job.dialPrefix, this);
  sfDialPrefix->setObjectName(QStringLiteral("sfDialPrefix"));
  DisablePrefix = new QCheckBox(QStringLiteral("Disable Prefix"), this);
  DisablePrefix->setObjectName(QStringLiteral("DisablePrefix"));
  DisablePrefix->setChecked(job.prefixDisabled);
  sfDialsuffix = new QLineEdit(job.dialSuffix, this);
  sfDialsuffix->setObjectName(QStringLiteral("sfDialsuffix"));
  DisableSuffix = new QCheckBox(QStringLiteral("Disable Suffix"), this);
  DisableSuffix->setObjectName(QStringLiteral("DisableSuffix"));
  DisableSuffix->setChecked(job.suffixDisabled);

  SetupDisplayMemo = new QPlainTextEdit(this);
  SetupDisplayMemo->setObjectName(QStringLiteral("SetupDisplayMemo"));
  SetupDisplayMemo->setReadOnly(true);
  SetupDisplayMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
  PreferencesButton = new QPushButton(QStringLiteral("Preferences"), this);
  PreferencesButton->setObjectName(QStringLiteral("PreferencesButton"));

  SendFaxButton = new QPushButton(QStringLiteral("&Send Fax Now"), this);
  SendFaxButton->setObjectName(QStringLiteral("SendFaxButton"));
  SendFaxButton->setDefault(true);
  SendFaxButton->setAutoDefault(true);
  status = new QLabel(this);
  status->setObjectName(QStringLiteral("status"));
  status->setAlignment(Qt::AlignCenter);
  status->setFrameShape(QFrame::StyledPanel);
  HelpButton = new QPushButton(QStringLiteral("&Help"), this);
  HelpButton->setObjectName(QStringLiteral("HelpButton"));
  ProblemSolverButton = new QPushButton(QStringLiteral("Problem Solver"), this);
  ProblemSolverButton->setObjectName(QStringLiteral("ProblemSolverButton"));
  ProblemSolverButton->setEnabled(static_cast<bool>(TShowErrorForm::CurrentProblemSolver()));
  CloseButton = new QPushButton(QStringLiteral("C&lose"), this);
  CloseButton->setObjectName(QStringLiteral("CloseButton"));
  for (QPushButton* b : {PreferencesButton, HelpButton, ProblemSolverButton, CloseButton}) b->setAutoDefault(false);

  auto* form = new QGridLayout;
  int row = 0;
  form->addWidget(new QLabel(QStringLiteral("To:"), this), row, 0);
  form->addWidget(ToLabel, row++, 1, 1, 2);
  form->addWidget(new QLabel(QStringLiteral("Subject:"), this), row, 0);
  form->addWidget(Subjectlabel, row++, 1, 1, 2);
  auto* phoneCaption = new QLabel(QStringLiteral("&Fax Number to dial:"), this);
  phoneCaption->setBuddy(sfPhoneNumber);
  form->addWidget(phoneCaption, row, 0);
  form->addWidget(sfPhoneNumber, row++, 1);
  auto* prefixCaption = new QLabel(QStringLiteral("&Dial prefix (dial before the fax#):"), this);
  prefixCaption->setBuddy(sfDialPrefix);
  form->addWidget(prefixCaption, row, 0);
  form->addWidget(sfDialPrefix, row, 1);
  form->addWidget(DisablePrefix, row++, 2);
  auto* suffixCaption = new QLabel(QStringLiteral("&Dial suffix (dial after the fax#):"), this);
  suffixCaption->setBuddy(sfDialsuffix);
  form->addWidget(suffixCaption, row, 0);
  form->addWidget(sfDialsuffix, row, 1);
  form->addWidget(DisableSuffix, row++, 2);
  form->addWidget(new QLabel(QStringLiteral("Configuration:"), this), row++, 0, 1, 3);
  form->addWidget(SetupDisplayMemo, row, 0, 1, 2);
  form->addWidget(PreferencesButton, row++, 2, Qt::AlignTop);
  form->setColumnStretch(1, 1);
  form->setRowStretch(row - 1, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(SendFaxButton);
  buttons->addStretch();
  buttons->addWidget(HelpButton);
  buttons->addWidget(ProblemSolverButton);
  buttons->addWidget(CloseButton);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form, 1);
  layout->addLayout(buttons);
  layout->addWidget(status);
  SetupDisplayMemo->setMinimumSize(420, 200);

  setTabOrder(sfPhoneNumber, sfDialPrefix);
  setTabOrder(sfDialPrefix, DisablePrefix);
  setTabOrder(DisablePrefix, sfDialsuffix);
  setTabOrder(sfDialsuffix, DisableSuffix);
  setTabOrder(DisableSuffix, SetupDisplayMemo);
  setTabOrder(SetupDisplayMemo, PreferencesButton);
  setTabOrder(PreferencesButton, SendFaxButton);
  setTabOrder(SendFaxButton, HelpButton);
  setTabOrder(HelpButton, ProblemSolverButton);
  setTabOrder(ProblemSolverButton, CloseButton);

  connect(SendFaxButton, &QPushButton::clicked, this, &TSendFaxForm::SendFaxButtonClick);
  connect(PreferencesButton, &QPushButton::clicked, this, &TSendFaxForm::PreferencesButtonClick);
  connect(CloseButton, &QPushButton::clicked, this, &TSendFaxForm::CloseButtonClick);
  connect(HelpButton, &QPushButton::clicked, this, [this] { ShowHelpTopic(this, kHelpSendWindow); });
  connect(ProblemSolverButton, &QPushButton::clicked, this, [this] {
    if (const auto& solver = TShowErrorForm::CurrentProblemSolver()) solver(this, 0);
  });
}

QString TSendFaxForm::PhoneNumberText() const { return sfPhoneNumber->text(); }
QString TSendFaxForm::DialPrefixText() const { return sfDialPrefix->text(); }
QString TSendFaxForm::DialSuffixText() const { return sfDialsuffix->text(); }
bool TSendFaxForm::PrefixDisabled() const { return DisablePrefix->isChecked(); }
bool TSendFaxForm::SuffixDisabled() const { return DisableSuffix->isChecked(); }

void TSendFaxForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!firstActivation_) return;
  firstActivation_ = false;
  sfPhoneNumber->setText(phoneNumber_);
  SetHourglass(cursorSet_, false);
  ShowSetup();
  sfPhoneNumber->setFocus();
}

QStringList TSendFaxForm::SetupLines(const Settings& s, int portNumber) {
  static const char* const kClasses[] = {"Autodetect", "Class 1", "Class 2", "Class 2.0"};
  QStringList lines;
  lines << QStringLiteral("Communications Port: ") +
               Local(ComPortDisplayName(portNumber, ComDevicePath(portNumber)));
  lines << QStringLiteral("Fax Class: ") +
               QString::fromLatin1(s.faxClass >= 0 && s.faxClass <= 3 ? kClasses[s.faxClass] : "");
  lines << QStringLiteral("Transfer Rate: ") + QString::number(s.maximumBps);
  lines << QStringLiteral("Dialing with: ") + (s.toneOrPulse == 0 ? QStringLiteral("Tone") : QStringLiteral("Pulse"));
  lines << QStringLiteral("Modem Init String :") + Local(s.initString);
  lines << QStringLiteral("Modem Reset String :") + Local(s.resetString);
  lines << QStringLiteral("Post Reset String :") + Local(s.resetAfterString);
  lines << QStringLiteral("Station ID (Fax #) :") + Local(s.userFax);
  lines << QStringLiteral("Dial Attempts :") + QString::number(s.dialAttempts);
  lines << QStringLiteral("Retry in :") + QString::number(s.retryWait) + QStringLiteral(" seconds");
  if (s.blindDial) lines << QStringLiteral("Blind Dial is ACTIVE");
  if (s.ignoreBusy) lines << QStringLiteral("Ignore Busy is ACTIVE");
  if (s.ecm) lines << QStringLiteral("Using Error Correction");
  return lines;
}

void TSendFaxForm::ShowSetup() { SetupDisplayMemo->setPlainText(SetupLines(settings_, portNumber_).join('\n')); }

void TSendFaxForm::SetStatus(const QString& text) {
  status->setText(text);
  status->repaint();
}

void TSendFaxForm::PreferencesButtonClick() {
  if (RefuseWhileSending()) return;  // the probe lets clicks through
  if (!Preferences()) {
    ShowInformation(this, tr("The preferences window is not available in this build of Tolmera."));
    ShowSetup();
    return;
  }
  if (Preferences()(this, settings_)) {
    sfDialPrefix->setText(Local(settings_.dialPrefix));
    sfDialsuffix->setText(Local(settings_.dialSuffix));
    DisablePrefix->setChecked(settings_.prefixDisable);
    DisableSuffix->setChecked(settings_.suffixDisable);
  }
  portNumber_ = settings_.comPort + 1;
  ShowSetup();
}

bool TSendFaxForm::RefuseWhileSending() {
  if (!sending_) return false;
  QApplication::beep();
  return true;
}

void TSendFaxForm::ClosePort() {
  try {
    if (KvComPort1->Open()) KvComPort1->SetOpen(false);
  } catch (const std::exception&) {
    // A port that fails to close (a vanished device) is closed as far as it goes.
  }
}

void TSendFaxForm::Abandon() {
  SetHourglass(cursorSet_, false);
  ClosePort();
  sending_ = false;
  SetStatus({});
}

void TSendFaxForm::SendFaxButtonClick() {
  if (RefuseWhileSending()) return;
  sending_ = true;
  SetHourglass(cursorSet_, true);
  SetStatus(QStringLiteral("Opening communications port..."));

  const int n = settings_.comPort + 1;
  portNumber_ = n;
  std::string message;
  KvComPort1->SetComNumber(n);
  if (!OpenPort(*KvComPort1, message)) {
    Abandon();
    TShowErrorForm::ShowError(this, QStringLiteral("Error Opening Communications Port"),
                              Local(message) + QStringLiteral("\r\n\r\n") + PortCheckAdvice(n), 0);
    return;
  }

  const QString com = QString::number(n);
  if (!ProbeModem(*KvComPort1, settings_.resetString, [] { QApplication::processEvents(); })) {
    const QString text = QStringLiteral("We did not receive a modem response from COM") + com +
                         QStringLiteral(".\r\n\r\nTo verify the communications port, please click on the Find Modem "
                                        "button on the Preferences screen.\r\n\r\nIf you are sure there is a modem on COM") +
                         com +
                         QStringLiteral(", press CONTINUE\r\nto continue, otherwise press OK to stop the fax session.");
    SetHourglass(cursorSet_, false);
    const bool goOn = TShowErrorForm::ShowContinue(this, QStringLiteral("No Response From Modem"), text, 0);
    if (!goOn) {
      Abandon();
      return;
    }
    SetHourglass(cursorSet_, true);
  }

  if (!settings_.resetString.empty()) {
    SetStatus(QStringLiteral("Sending reset string..."));
    if (!SendModemCommand(*KvComPort1, settings_.resetString)) {
      Abandon();
      TShowErrorForm::ShowError(this, QStringLiteral("Unable to Continue"),
                                QStringLiteral("We are unable to continue the fax session. \r\n\r\nThe modem did not "
                                               "respond to the reset string:   (") +
                                    Local(settings_.resetString) + QStringLiteral(")\r\n\r\n") + PortCheckAdvice(n),
                                0);
      return;
    }
  }

  try {
    ConfigureSendFax();
    SetStatus({});
    SetHourglass(cursorSet_, false);
    KvFaxStatus1->Open(*KvSendFax1);
    // A start that fails reports itself through the finish event.
    KvSendFax1->StartTransmit();
  } catch (const std::exception&) {
    KvFaxStatus1->Close();
    SetHourglass(cursorSet_, false);
    sending_ = false;
    ClosePort();
    SetStatus({});
  }
}

void TSendFaxForm::ConfigureSendFax() {
  TKvSendFax& fax = *KvSendFax1;
  fax.DesiredBPS = settings_.maximumBps;
  fax.DesiredECM = settings_.ecm;
  fax.BlindDial = settings_.blindDial;
  fax.DetectBusy = !settings_.ignoreBusy;
  fax.SetFaxFile(Local(faxFile_));
  fax.CoverFile.clear();
  fax.PhoneNumber = Local(sfPhoneNumber->text());
  fax.SetMultiPageSwitch(!settings_.renegotiateBetween);
  if (!DisableSuffix->isChecked()) fax.PhoneNumber += Local(sfDialsuffix->text());
  fax.ToneDial = settings_.toneOrPulse == 0;
  // 0 auto-detect, 1 Class 1, 2 Class 2, 3 Class 2.0; anything else detects.
  const int faxClass = settings_.faxClass;
  fax.SetFaxClass(faxClass >= 0 && faxClass <= 3 ? TFaxClass(faxClass + 1) : fcDetect);
  fax.DialAttempts = settings_.dialAttempts;
  fax.DialRetryWait = settings_.retryWait;
  fax.DialWait = DialWaitFromInit(settings_.initString);
  fax.SetStationID(settings_.userFax);
  fax.DialPrefix = DisablePrefix->isChecked() ? std::string() : Local(sfDialPrefix->text());
  if (!settings_.initString.empty()) fax.SetModemInit(ModemInitCommand(settings_.initString));
  headerLine_ = BuildHeader(Local(settings_.userName), Local(settings_.userFax));
  fax.HeaderLine = Local(headerLine_);
}

void TSendFaxForm::KvSendFax1FaxFinish(int errorCode) {
  // The session is still inside its event; the rest runs once it has
  // returned, so that the port can close and the window can wait for the user.
  QTimer::singleShot(0, this, [this, errorCode] { Finish(errorCode); });
}

void TSendFaxForm::Finish(int errorCode) {
  resultText_ = SendResultText(errorCode);
  if (!settings_.resetAfterString.empty()) {
    SetStatus(QStringLiteral("Sending AFTER reset string..."));
    SendModemCommand(*KvComPort1, settings_.resetAfterString);
  }
  KvFaxStatus1->Close();
  ClosePort();
  sending_ = false;
  SetStatus({});
  SetHourglass(cursorSet_, false);
  if (resultText_ == QStringLiteral("Sent")) {
    ShowInformation(this, QStringLiteral("Fax sent successfully"));
  } else {
    TShowErrorForm::ShowError(this, QStringLiteral("Fax Failure"),
                              QStringLiteral("We have received an error message while trying to send the fax\r\n\r\n"
                                             "Error message: ") +
                                  Local(ErrorText(errorCode)) + QStringLiteral("\r\n\r\n"),
                              errorCode < 0 ? -errorCode : errorCode);
  }
}

void TSendFaxForm::CloseButtonClick() {
  if (RefuseWhileSending()) return;
  SetHourglass(cursorSet_, true);
  ClosePort();
  SetHourglass(cursorSet_, false);
  done(QDialog::Rejected);
}

void TSendFaxForm::closeEvent(QCloseEvent* event) {
  if (sending_) {
    QApplication::beep();
    event->ignore();
    return;
  }
  ClosePort();
  QDialog::closeEvent(event);
}

void TSendFaxForm::reject() { CloseButtonClick(); }

}  // namespace tlm
