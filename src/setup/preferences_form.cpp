#include "setup/preferences_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/core/rate_index.h"
#include "app/help_window.h"
#include "app/main_screen.h"
#include "app/message_boxes.h"
#include "app/sound_player.h"
#include "app/window_placement.h"
#include "platform/data_folder.h"
#include "platform/profile_file.h"
#include "setup/check_fax_class_form.h"
#include "setup/init_string_helper.h"

namespace tlm {

namespace {

const QStringList kPageNames = {
    QStringLiteral("Wizard Information"),       QStringLiteral("Modem and Communications Port"),
    QStringLiteral("Sending Faxes - Part 1"),   QStringLiteral("Sending Faxes - Part 2"),
    QStringLiteral("Sending Faxes - Part 3"),   QStringLiteral("Receiving Faxes - Part 1"),
    QStringLiteral("Receiving Faxes - Part 2"), QStringLiteral("Receiving Faxes - Part 3"),
};
const QStringList kClassItems = {QStringLiteral("auto detect"), QStringLiteral("class 1"), QStringLiteral("class 2"),
                                 QStringLiteral("class 2.0")};
const QStringList kRateItems = {QStringLiteral("2400"),  QStringLiteral("4800"),  QStringLiteral("7200"),
                                QStringLiteral("9600"),  QStringLiteral("12000"), QStringLiteral("14400")};
const QString kDefaultPrinter = QStringLiteral("Default Windows Printer");

constexpr int kSendClassPage = 2;
constexpr int kSendPage2 = 3;
constexpr int kSendPage3 = 4;
constexpr int kReceiveClassPage = 5;
constexpr int kModemPage = 1;
constexpr int kLastPage = kPreferencesPageCount - 1;
constexpr int kFaxNumberMax = 20;
constexpr int kNameMax = 35;
constexpr int kModemStringMax = 255;

QString Q(const std::string& s) { return QString::fromLocal8Bit(s.c_str()); }
std::string S(const QString& s) { return s.toLocal8Bit().toStdString(); }

// An explanatory line of a page, numbered through the wizard.
QLabel* Note(QWidget* parent, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setWordWrap(true);
  return label;
}

QLineEdit* Edit(QWidget* parent, const char* name, int maxLength = 32767) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setMaxLength(maxLength);
  return edit;
}

QCheckBox* Check(QWidget* parent, const char* name, const QString& caption) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& caption) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(false);
  return button;
}

QComboBox* RateList(QWidget* parent, const char* name) {
  auto* list = new QComboBox(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->addItems(kRateItems);
  return list;
}

// The first control character in a text, or -1.
int ControlCharacterAt(const QString& text) {
  for (int i = 0; i < text.size(); ++i) {
    if (text[i].unicode() < 0x20 || text[i].unicode() == 0x7F) return i;
  }
  return -1;
}

std::optional<int> WholeNumber(const QString& text) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok, 10);
  if (!ok) return std::nullopt;
  return value;
}

}  // namespace

int PreferencesHelpTopic(int page) {
  if (page <= 0) return 1022;
  if (page == 1) return 3501;
  if (page <= 4) return 3502;
  return 3503;
}

// ---- radio groups -----------------------------------------------------------

TRadioGroup::TRadioGroup(const QString& title, const QStringList& items, const QString& name, QWidget* parent,
                         int columns)
    : QGroupBox(title, parent) {
  setObjectName(name);
  auto* layout = new QGridLayout(this);
  const int rows = (static_cast<int>(items.size()) + columns - 1) / columns;
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i], this);
    button->setObjectName(name + QString::number(i));
    layout->addWidget(button, i % rows, i / rows);
    buttons_.push_back(button);
  }
}

int TRadioGroup::ItemIndex() const {
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    if (buttons_[i]->isChecked()) return static_cast<int>(i);
  }
  return -1;
}

void TRadioGroup::SetItemIndex(int index) {
  if (index >= 0 && index < static_cast<int>(buttons_.size())) {
    buttons_[index]->setChecked(true);
    return;
  }
  for (QRadioButton* b : buttons_) {
    b->setAutoExclusive(false);
    b->setChecked(false);
    b->setAutoExclusive(true);
  }
}

// ---- the wizard ------------------------------------------------------------

TPreferences::TPreferences(Settings& record, bool firstRun, std::string settingsPath, QWidget* parent)
    : QDialog(parent), record_(record), edited_(record), firstRun_(firstRun), settingsPath_(std::move(settingsPath)) {
  setObjectName(QStringLiteral("Preferences"));
  setWindowTitle(QStringLiteral("Preferences Wizard"));
  ports_.settingsPath = settingsPath_;
  // The probes' port: COM1 until a port is chosen, opened only by them.
  KvComPort1.SetAutoOpen(false);
  KvComPort1.SetPromptForPort(false);
  KvComPort1.SetComNumber(1);
  KvSendFax1.SetComPort(&KvComPort1);  // 8192-byte buffers, RTS/CTS flow

  PageCombo = new QComboBox(this);
  PageCombo->setObjectName(QStringLiteral("PageCombo"));
  PageCombo->addItems(kPageNames);
  PageLabel = new QLabel(this);
  PageLabel->setObjectName(QStringLiteral("PageLabel"));
  QFont bold = PageLabel->font();
  bold.setBold(true);
  bold.setPointSize(bold.pointSize() + 2);
  PageLabel->setFont(bold);
  auto* top = new QHBoxLayout;
  top->addWidget(PageLabel, 1);
  top->addWidget(new QLabel(QStringLiteral("Go to:"), this));
  top->addWidget(PageCombo);

  Pages = new QStackedWidget(this);
  Pages->setObjectName(QStringLiteral("Pages"));
  Pages->addWidget(BuildInfoPage());
  Pages->addWidget(BuildModemPage());
  Pages->addWidget(BuildSendPage1());
  Pages->addWidget(BuildSendPage2());
  Pages->addWidget(BuildSendPage3());
  Pages->addWidget(BuildReceivePage1());
  Pages->addWidget(BuildReceivePage2());
  Pages->addWidget(BuildReceivePage3());

  BackButton = Button(this, "BackButton", QStringLiteral("< Back"));
  NextButton = Button(this, "NextButton", QStringLiteral("Next >"));
  NextButton->setDefault(true);
  FinishButton = Button(this, "FinishButton", QStringLiteral("&Finish"));
  CancelButton = Button(this, "CancelButton", QStringLiteral("Cance&l"));
  HelpButton = Button(this, "HelpButton", QStringLiteral("&Help"));
  ProblemSolverButton = Button(this, "ProblemSolverButton", QStringLiteral("Problem Solver"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(HelpButton);
  buttons->addWidget(ProblemSolverButton);
  buttons->addStretch(1);
  buttons->addWidget(BackButton);
  buttons->addWidget(NextButton);
  buttons->addSpacing(12);
  buttons->addWidget(FinishButton);
  buttons->addWidget(CancelButton);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(Pages, 1);
  layout->addLayout(buttons);

  connect(PageCombo, &QComboBox::activated, this, [this](int page) { GoToPage(page); });
  connect(BackButton, &QPushButton::clicked, this, [this] { GoToPage(CurrentPage() - 1); });
  connect(NextButton, &QPushButton::clicked, this, [this] { GoToPage(CurrentPage() + 1); });
  connect(FinishButton, &QPushButton::clicked, this, &TPreferences::FinishClick);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(HelpButton, &QPushButton::clicked, this, [this] { ShowHelpTopic(this, PreferencesHelpTopic(CurrentPage())); });
  connect(ProblemSolverButton, &QPushButton::clicked, this, [this] {
    if (problemSolver) problemSolver();
  });

  FirstTimeLabel->setVisible(firstRun_);
  SetPrinterNames(QPrinterInfo::availablePrinterNames());
  LoadControls(edited_);
  GoToPage(0);
  resize(sizeHint().expandedTo(QSize(640, 460)));
}

QWidget* TPreferences::BuildInfoPage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(Note(page, QStringLiteral(
      "This wizard walks you through every setting of Tolmera, one page at a time. Use \"Next >\" and \"< Back\" "
      "to move between the pages, or pick a page from the list at the top. \"Help\" explains the page you are on.")));
  layout->addWidget(Note(page, QStringLiteral(
      "Nothing is changed until you press \"Finish\" and confirm; \"Cancel\" leaves every setting as it was.")));
  FirstTimeLabel = new QLabel(QStringLiteral(
      "While the default settings will work for most people, be sure to verify that the COMMUNICATIONS PORT and "
      "FAX CLASS settings are correct before continuing to use the program."), page);
  FirstTimeLabel->setObjectName(QStringLiteral("FirstTimeLabel"));
  FirstTimeLabel->setWordWrap(true);
  QFont bold = FirstTimeLabel->font();
  bold.setBold(true);
  FirstTimeLabel->setFont(bold);
  layout->addWidget(FirstTimeLabel);
  layout->addStretch(1);
  return page;
}

QWidget* TPreferences::BuildModemPage() {
  auto* page = new QWidget;
  auto* layout = new QGridLayout(page);
  ComPort = new TComPortGroup(QStringLiteral("Communications Port"), page);
  auto* find = Button(page, "FindModemPortButton", QStringLiteral("Find Modem Port"));
  connect(find, &QPushButton::clicked, this, &TPreferences::FindModemPortClick);
  ToneOrPulse = new TRadioGroup(QStringLiteral("Dialing"), {QStringLiteral("Tone"), QStringLiteral("Pulse")},
                                QStringLiteral("ToneOrPulse"), page);
  ResetString = Edit(page, "ResetString");
  ResetAfterString = Edit(page, "ResetAfterString");
  layout->addWidget(Note(page, QStringLiteral("1. The port your fax modem is on. Not sure? \"Find Modem Port\" "
                                              "tries each port and tells you where a modem answers.")), 0, 0, 1, 2);
  layout->addWidget(ComPort, 1, 0, 2, 1);
  layout->addWidget(find, 1, 1, Qt::AlignTop);
  layout->addWidget(ToneOrPulse, 2, 1, Qt::AlignTop);
  layout->addWidget(Note(page, QStringLiteral("2. Reset string: an extra command sent to the modem before each "
                                              "fax session (leave it blank unless your modem needs one).")), 3, 0, 1, 2);
  layout->addWidget(ResetString, 4, 0, 1, 2);
  layout->addWidget(Note(page, QStringLiteral("3. Reset AFTER string: a command sent when a session has ended.")), 5, 0, 1, 2);
  layout->addWidget(ResetAfterString, 6, 0, 1, 2);
  layout->setRowStretch(7, 1);
  return page;
}

QWidget* TPreferences::BuildSendPage1() {
  auto* page = new QWidget;
  auto* layout = new QGridLayout(page);
  FaxClass = new TRadioGroup(QStringLiteral("Fax Class"), kClassItems, QStringLiteral("FaxClass"), page);
  auto* check = Button(page, "CheckFaxClassButton", QStringLiteral("Check Fax Class"));
  connect(check, &QPushButton::clicked, this, [this] { CheckFaxClassClick(true); });
  TransferRate = RateList(page, "TransferRate");
  ModemInit = Edit(page, "ModemInit");
  auto* help = Button(page, "InitStringHelpButton", QStringLiteral("Help with Init Strings"));
  connect(help, &QPushButton::clicked, this, [this] { InitStringHelpClick(true); });
  layout->addWidget(Note(page, QStringLiteral("4. The fax class used to send. \"Check Fax Class\" asks the modem "
                                              "which classes it supports.")), 0, 0, 1, 2);
  layout->addWidget(FaxClass, 1, 0);
  layout->addWidget(check, 1, 1, Qt::AlignTop);
  layout->addWidget(Note(page, QStringLiteral("5. Maximum transfer rate (bits per second) when sending:")), 2, 0, 1, 2);
  layout->addWidget(TransferRate, 3, 0);
  layout->addWidget(Note(page, QStringLiteral("6. Modem initialization string for sending (at most 40 "
                                              "characters):")), 4, 0, 1, 2);
  layout->addWidget(ModemInit, 5, 0);
  layout->addWidget(help, 5, 1);
  layout->setRowStretch(6, 1);
  return page;
}

QWidget* TPreferences::BuildSendPage2() {
  auto* page = new QWidget;
  auto* layout = new QGridLayout(page);
  FaxNumber = Edit(page, "FaxNumber", kFaxNumberMax);
  Name = Edit(page, "Name", kNameMax);
  UseECM = Check(page, "UseECM", QStringLiteral("Use Fax Error Control when SENDING"));
  DialPrefix = Edit(page, "DialPrefix");
  DialSuffix = Edit(page, "DialSuffix");
  auto* faxLabel = Note(page, QStringLiteral("7. Your fax &number (sent to the other machine as your station ID):"));
  faxLabel->setBuddy(FaxNumber);
  auto* nameLabel = Note(page, QStringLiteral("8. Your n&ame (printed in the header of each page):"));
  nameLabel->setBuddy(Name);
  layout->addWidget(faxLabel, 0, 0);
  layout->addWidget(FaxNumber, 1, 0);
  layout->addWidget(nameLabel, 2, 0);
  layout->addWidget(Name, 3, 0);
  layout->addWidget(Note(page, QStringLiteral("9. Error control makes pages arrive without damage when both "
                                              "machines support it.")), 4, 0);
  layout->addWidget(UseECM, 5, 0);
  layout->addWidget(Note(page, QStringLiteral("10. Dial prefix: dialled before every number (for example 9, to "
                                              "reach an outside line).")), 6, 0);
  layout->addWidget(DialPrefix, 7, 0);
  layout->addWidget(Note(page, QStringLiteral("11. Dial suffix: dialled after every number.")), 8, 0);
  layout->addWidget(DialSuffix, 9, 0);
  layout->setRowStretch(10, 1);
  return page;
}

QWidget* TPreferences::BuildSendPage3() {
  auto* page = new QWidget;
  auto* layout = new QGridLayout(page);
  DialAttempts = Edit(page, "DialAttempts", 9);
  RetryWait = Edit(page, "RetryWait", 9);
  CheckBlindDial = Check(page, "CheckBlindDial", QStringLiteral("Blind Dial"));
  CheckIgnoreBusy = Check(page, "CheckIgnoreBusy", QStringLiteral("Ignore Busy Signal"));
  RenegotiateBetween = Check(page, "RenegotiateBetween", QStringLiteral("Renegotiate Between Pages when SENDING"));
  auto* attempts = Note(page, QStringLiteral("12. Dial &attempts per fax:"));
  attempts->setBuddy(DialAttempts);
  auto* wait = Note(page, QStringLiteral("13. Seconds to &wait between attempts:"));
  wait->setBuddy(RetryWait);
  layout->addWidget(attempts, 0, 0);
  layout->addWidget(DialAttempts, 0, 1);
  layout->addWidget(wait, 1, 0);
  layout->addWidget(RetryWait, 1, 1);
  layout->addWidget(Note(page, QStringLiteral("14. Blind dial: dial without waiting for a dial tone (for lines "
                                              "whose tone the modem does not recognise).")), 2, 0, 1, 2);
  layout->addWidget(CheckBlindDial, 3, 0, 1, 2);
  layout->addWidget(Note(page, QStringLiteral("15. Ignore busy: do not count a busy signal as a failed call.")), 4, 0, 1, 2);
  layout->addWidget(CheckIgnoreBusy, 5, 0, 1, 2);
  layout->addWidget(Note(page, QStringLiteral("16. Renegotiate the line between pages (slower, but helps on noisy "
                                              "lines).")), 6, 0, 1, 2);
  layout->addWidget(RenegotiateBetween, 7, 0, 1, 2);
  layout->setRowStretch(8, 1);
  return page;
}

QWidget* TPreferences::BuildReceivePage1() {
  auto* page = new QWidget;
  auto* layout = new QGridLayout(page);
  FaxClassReceive = new TRadioGroup(QStringLiteral("Fax Class"), kClassItems, QStringLiteral("FaxClassReceive"), page);
  TransferRateReceive = RateList(page, "TransferRateReceive");
  ModemInitReceive = Edit(page, "ModemInitReceive");
  auto* check = Button(page, "CheckFaxClassReceiveButton", QStringLiteral("Check Fax Class"));
  connect(check, &QPushButton::clicked, this, [this] { CheckFaxClassClick(false); });
  auto* help = Button(page, "InitStringHelpReceiveButton", QStringLiteral("Help With Init Strings"));
  connect(help, &QPushButton::clicked, this, [this] { InitStringHelpClick(false); });
  QPushButton* same[3];
  for (int i = 0; i < 3; ++i) {
    same[i] = Button(page, "", QStringLiteral("Same as SEND"));
    same[i]->setObjectName(QStringLiteral("SameAsSend%1").arg(i));
    connect(same[i], &QPushButton::clicked, this, [this, i] { SameAsSendClick(i); });
  }
  layout->addWidget(Note(page, QStringLiteral("17. The fax class used to receive.")), 0, 0, 1, 3);
  layout->addWidget(FaxClassReceive, 1, 0);
  layout->addWidget(same[0], 1, 1, Qt::AlignTop);
  layout->addWidget(check, 1, 2, Qt::AlignTop);
  layout->addWidget(Note(page, QStringLiteral("18. Maximum transfer rate (bits per second) when receiving:")), 2, 0, 1, 3);
  layout->addWidget(TransferRateReceive, 3, 0);
  layout->addWidget(same[1], 3, 1);
  layout->addWidget(Note(page, QStringLiteral("19. Modem initialization string for receiving (at most 40 "
                                              "characters):")), 4, 0, 1, 3);
  layout->addWidget(ModemInitReceive, 5, 0);
  layout->addWidget(same[2], 5, 1);
  layout->addWidget(help, 5, 2);
  layout->setRowStretch(6, 1);
  return page;
}

QWidget* TPreferences::BuildReceivePage2() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  QStringList rings;
  for (int i = 1; i <= 8; ++i) rings << QString::number(i);
  AnswerOnRing = new TRadioGroup(QStringLiteral("Answer on ring"), rings, QStringLiteral("AnswerOnRing"), page, 4);
  ReceiveAtStartup = Check(page, "ReceiveAtStartup", QStringLiteral("Start Receiving at program startup"));
  UseECMReceive = Check(page, "UseECMReceive", QStringLiteral("Use Fax Error Control when RECEIVING"));
  layout->addWidget(Note(page, QStringLiteral("20. How many rings before the modem answers a call:")));
  layout->addWidget(AnswerOnRing);
  layout->addWidget(ReceiveAtStartup);
  layout->addWidget(UseECMReceive);
  layout->addStretch(1);
  return page;
}

QWidget* TPreferences::BuildReceivePage3() {
  auto* page = new QWidget;
  auto* layout = new QGridLayout(page);
  WaveFileEdit = Edit(page, "WaveFileEdit");
  auto* choose = Button(page, "ChooseButton", QStringLiteral("&Choose"));
  auto* play = Button(page, "PlayNowButton", QStringLiteral("Play &Now"));
  auto* none = Button(page, "NoneButton", QStringLiteral("None"));
  connect(choose, &QPushButton::clicked, this, &TPreferences::ChooseWaveClick);
  connect(play, &QPushButton::clicked, this, &TPreferences::PlayNowClick);
  connect(none, &QPushButton::clicked, WaveFileEdit, &QLineEdit::clear);
  PrintFaxOnReceipt = Check(page, "PrintFaxOnReceipt",
                            QStringLiteral("Print each fax as it is received, on the following printer:"));
  PrintFaxOnReceiptPrinter = new QComboBox(page);
  PrintFaxOnReceiptPrinter->setObjectName(QStringLiteral("PrintFaxOnReceiptPrinter"));
  layout->addWidget(Note(page, QStringLiteral("21. A sound (WAV file) played when a fax has arrived:")), 0, 0, 1, 4);
  layout->addWidget(WaveFileEdit, 1, 0);
  layout->addWidget(choose, 1, 1);
  layout->addWidget(play, 1, 2);
  layout->addWidget(none, 1, 3);
  layout->addWidget(Note(page, QStringLiteral("22. Printing each fax as it arrives:")), 2, 0, 1, 4);
  layout->addWidget(PrintFaxOnReceipt, 3, 0, 1, 4);
  layout->addWidget(PrintFaxOnReceiptPrinter, 4, 0, 1, 4);
  layout->setRowStretch(5, 1);
  layout->setColumnStretch(0, 1);
  return page;
}

// ---- pages ----------------------------------------------------------------

int TPreferences::CurrentPage() const { return Pages->currentIndex(); }

void TPreferences::GoToPage(int page) {
  Pages->setCurrentIndex(std::clamp(page, 0, kLastPage));
  PageChanged();
}

void TPreferences::PageChanged() {
  const int page = CurrentPage();
  BackButton->setEnabled(page > 0);
  NextButton->setEnabled(page < kLastPage);
  FinishButton->setEnabled(!firstRun_ || page == kLastPage);
  PageCombo->setCurrentIndex(page);
  PageLabel->setText(kPageNames[page]);
  // Keyboard users land on the page's first control.
  if (QWidget* first = Pages->currentWidget()->nextInFocusChain(); first && isVisible()) first->setFocus();
  if (!NextButton->isEnabled() && FinishButton->isEnabled()) FinishButton->setDefault(true);
  else NextButton->setDefault(true);
}

// ---- settings <-> controls --------------------------------------------------

void TPreferences::SetPrinterNames(const QStringList& names) { FillPrinters(names, edited_.printOnReceiptPrinter); }

void TPreferences::FillPrinters(const QStringList& names, const std::string& selected) {
  PrintFaxOnReceiptPrinter->clear();
  PrintFaxOnReceiptPrinter->addItem(kDefaultPrinter);
  PrintFaxOnReceiptPrinter->addItems(names);
  const int at = PrintFaxOnReceiptPrinter->findText(Q(selected));
  PrintFaxOnReceiptPrinter->setCurrentIndex(std::max(0, at));  // a removed printer: the default
}

void TPreferences::LoadControls(const Settings& s) {
  ComPort->ShowDevices([this](int n) { return ports_.Device(n); });
  ComPort->SetItemIndex(s.comPort);
  ToneOrPulse->SetItemIndex(s.toneOrPulse);
  ResetString->setText(Q(s.resetString));
  ResetAfterString->setText(Q(s.resetAfterString));
  FaxClass->SetItemIndex(s.faxClass);
  TransferRate->setCurrentIndex(BpsToRateIndex(s.maximumBps));
  ModemInit->setText(Q(s.initString));
  FaxNumber->setText(Q(s.userFax));
  Name->setText(Q(s.userName));
  UseECM->setChecked(s.ecm);
  DialPrefix->setText(Q(s.dialPrefix));
  DialSuffix->setText(Q(s.dialSuffix));
  DialAttempts->setText(QString::number(s.dialAttempts));
  RetryWait->setText(QString::number(s.retryWait));
  CheckBlindDial->setChecked(s.blindDial);
  CheckIgnoreBusy->setChecked(s.ignoreBusy);
  RenegotiateBetween->setChecked(s.renegotiateBetween);
  FaxClassReceive->SetItemIndex(s.faxClassReceive);
  TransferRateReceive->setCurrentIndex(BpsToRateIndex(s.maximumBpsReceive));
  ModemInitReceive->setText(Q(s.initStringReceive));
  AnswerOnRing->SetItemIndex(s.answerOnRing - 1);
  ReceiveAtStartup->setChecked(s.atStartup);
  UseECMReceive->setChecked(s.ecmReceive);
  WaveFileEdit->setText(Q(s.wav));
  PrintFaxOnReceipt->setChecked(s.printOnReceipt);
  FillPrinters([this] {
    QStringList names;
    for (int i = 1; i < PrintFaxOnReceiptPrinter->count(); ++i) names << PrintFaxOnReceiptPrinter->itemText(i);
    return names;
  }(), s.printOnReceiptPrinter);
}

bool TPreferences::Refuse(int page, QWidget* field, const QString& message) {
  GoToPage(page);
  ShowInformation(this, message);
  field->setFocus();
  if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->selectAll();
  return false;
}

bool TPreferences::StoreControls(Settings& s) {
  // Everything is checked before anything is copied: a field that is not
  // valid leaves the record as it was.
  const std::optional<int> attempts = WholeNumber(DialAttempts->text());
  if (!attempts) {
    return Refuse(kSendPage3, DialAttempts, QStringLiteral("'%1' is not a valid integer value").arg(DialAttempts->text()));
  }
  const std::optional<int> retryWait = WholeNumber(RetryWait->text());
  if (!retryWait) {
    return Refuse(kSendPage3, RetryWait, QStringLiteral("'%1' is not a valid integer value").arg(RetryWait->text()));
  }
  struct ModemString {
    QLineEdit* edit;
    int page;
    const char* what;
    int max;
  };
  for (const ModemString& m : {ModemString{ModemInit, kSendClassPage, "The modem initialization string for sending",
                                           static_cast<int>(kModemInitMax)},
                               ModemString{ModemInitReceive, kReceiveClassPage,
                                           "The modem initialization string for receiving",
                                           static_cast<int>(kModemInitMax)},
                               ModemString{ResetString, kModemPage, "The reset string", kModemStringMax},
                               ModemString{ResetAfterString, kModemPage, "The reset AFTER string", kModemStringMax}}) {
    const QString text = m.edit->text();
    if (const int at = ControlCharacterAt(text); at >= 0) {
      return Refuse(m.page, m.edit,
                    QStringLiteral("%1 holds a control character (at position %2). Modem commands take only "
                                   "printable characters.")
                        .arg(QString::fromLatin1(m.what))
                        .arg(at + 1));
    }
    if (text.size() > m.max) {
      return Refuse(m.page, m.edit,
                    QStringLiteral("%1 is %2 characters long; the modem takes at most %3.")
                        .arg(QString::fromLatin1(m.what))
                        .arg(text.size())
                        .arg(m.max));
    }
  }
  s.wav = S(WaveFileEdit->text());
  s.userFax = S(FaxNumber->text());
  s.userName = S(Name->text());
  s.dialPrefix = S(DialPrefix->text());
  s.dialSuffix = S(DialSuffix->text());
  s.initString = S(ModemInit->text());
  s.dialAttempts = *attempts;
  s.retryWait = *retryWait;
  s.comPort = ComPort->ItemIndex();
  s.faxClass = FaxClass->ItemIndex();
  s.atStartup = ReceiveAtStartup->isChecked();
  s.answerOnRing = AnswerOnRing->ItemIndex() + 1;
  s.blindDial = CheckBlindDial->isChecked();
  s.ignoreBusy = CheckIgnoreBusy->isChecked();
  s.toneOrPulse = ToneOrPulse->ItemIndex();
  s.maximumBps = RateIndexToBps(TransferRate->currentIndex());
  s.resetString = S(ResetString->text());
  s.resetAfterString = S(ResetAfterString->text());
  s.renegotiateBetween = RenegotiateBetween->isChecked();
  s.ecmReceive = UseECMReceive->isChecked();
  s.ecm = UseECM->isChecked();
  s.initStringReceive = S(ModemInitReceive->text());
  s.faxClassReceive = FaxClassReceive->ItemIndex();
  s.maximumBpsReceive = RateIndexToBps(TransferRateReceive->currentIndex());
  s.printOnReceipt = PrintFaxOnReceipt->isChecked();
  s.printOnReceiptPrinter = S(PrintFaxOnReceiptPrinter->currentText());
  return true;
}

// ---- buttons ------------------------------------------------------------------

void TPreferences::FinishClick() {
  if (!AskYesNo(this, QStringLiteral("Save changes?"), QStringLiteral("Save Preferences"))) return;
  Settings updated = record_;
  if (!StoreControls(updated)) return;
  try {
    SavePreferencesFile(settingsPath_, updated, ports_.newPorts);
  } catch (const ProfileWriteError& e) {
    ShowInformation(this, QString::fromLocal8Bit(e.what()));
    return;
  }
  record_ = updated;
  accept();
}

void TPreferences::PreparePort(int comNumber) {
  try {
    KvComPort1.SetOpen(false);
    KvComPort1.SetComNumber(std::max(1, comNumber));
    KvComPort1.SetDeviceName(ports_.Device(std::max(1, comNumber)));
  } catch (const std::exception&) {
    // The probe reports what is wrong with the port.
  }
}

void TPreferences::FindModemPortClick() {
  PreparePort(ComPort->ItemIndex() + 1);
  KvComPort1.SetDeviceName({});  // the search names each device itself
  FindModemPort(this, KvComPort1, *ComPort, ports_, S(ResetString->text()));
}

void TPreferences::CheckFaxClassClick(bool forSending) {
  const int comNumber = std::max(1, ComPort->ItemIndex() + 1);
  PreparePort(comNumber);
  const FaxClassResult result = RunCheckFaxClass(this, KvComPort1, KvSendFax1, comNumber, S(ResetString->text()));
  if (result.index < 0) return;
  // The recommendation goes to the class of the page it was asked from.
  TRadioGroup* group = forSending ? FaxClass : FaxClassReceive;
  if (result.index + 1 == group->ItemIndex()) return;
  if (AskYesNo(this, QStringLiteral("Set fax class as %1 ?").arg(Q(result.name)), QStringLiteral("Fax Class"))) {
    group->SetItemIndex(result.index + 1);
  }
}

void TPreferences::InitStringHelpClick(bool forSending) {
  QLineEdit* edit = forSending ? ModemInit : ModemInitReceive;
  edit->setText(Q(BuildInitString(this, S(edit->text()), forSending)));
}

void TPreferences::SameAsSendClick(int which) {
  switch (which) {
    case 0: FaxClassReceive->SetItemIndex(FaxClass->ItemIndex()); break;
    case 1: TransferRateReceive->setCurrentIndex(TransferRate->currentIndex()); break;
    default: ModemInitReceive->setText(ModemInit->text()); break;
  }
}

void TPreferences::ChooseWaveClick() {
  QFileDialog dialog(this, QStringLiteral("Choose a sound"), QString::fromStdString(DataFolder()),
                     QStringLiteral("WAVE files (*.wav *.WAV)"));
  dialog.setObjectName(QStringLiteral("WaveFileDialog"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  const QString current = WaveFileEdit->text();
  if (!current.isEmpty() && QFileInfo::exists(current)) dialog.selectFile(current);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString chosen = dialog.selectedFiles().first();
  if (chosen.toUpper().contains(QStringLiteral(".WAV"))) WaveFileEdit->setText(chosen);
}

void TPreferences::PlayNowClick() {
  const QString file = WaveFileEdit->text();
  if (!file.isEmpty() && QFileInfo::exists(file)) PlaySoundFile(file);
}

// ---- opening -----------------------------------------------------------------

bool ShowPreferences(TMainScreen& main, QWidget* parent) {
  const bool firstRun = main.FirstRun();
  main.SetFirstRun(false);
  TPreferences wizard(main.CurrentSettings(), firstRun, SettingsFilePath().toStdString(), parent);
  wizard.problemSolver = [&main] { main.ProblemSolver(); };
  CenterWindow(&wizard);
  return wizard.exec() == QDialog::Accepted;
}

}  // namespace tlm
