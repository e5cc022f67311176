#include "setup/quick_setup_form.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/main_screen.h"
#include "app/message_boxes.h"
#include "app/window_placement.h"
#include "platform/profile_file.h"
#include "setup/preferences_form.h"

namespace tlm {

namespace {

constexpr int kNameMax = 35;
constexpr int kFaxNumberMax = 20;

QString Q(const std::string& s) { return QString::fromLocal8Bit(s.c_str()); }
std::string S(const QString& s) { return s.toLocal8Bit().toStdString(); }

}  // namespace

TQuickSetupForm::TQuickSetupForm(const Settings& settings, std::string settingsPath, QWidget* parent)
    : QDialog(parent), resetString_(settings.resetString) {
  setObjectName(QStringLiteral("QuickSetupForm"));
  setWindowTitle(QStringLiteral("Quick Setup Form"));
  ports_.settingsPath = std::move(settingsPath);
  KvComPort1.SetAutoOpen(false);
  KvComPort1.SetPromptForPort(false);
  KvComPort1.SetComNumber(1);
  KvComPort1.SetInSize(8192);
  KvComPort1.SetOutSize(8192);
  KvComPort1.SetHWFlowOptions(hwfUseRTS | hwfRequireCTS);

  auto* intro = new QLabel(QStringLiteral(
      "Welcome to Tolmera. Tell it where your fax modem is and who you are; everything else can wait for the "
      "Preferences."), this);
  intro->setWordWrap(true);
  ComPort = new TComPortGroup(QStringLiteral("Communications Port"), this);
  ComPort->ShowDevices([this](int n) { return ports_.Device(n); });
  if (settings.comPort >= 0) ComPort->SetItemIndex(settings.comPort);
  FindModemButton = new QPushButton(QStringLiteral("Find Modem Port"), this);
  FindModemButton->setObjectName(QStringLiteral("FindModemPortButton"));
  FindModemButton->setAutoDefault(false);
  connect(FindModemButton, &QPushButton::clicked, this, &TQuickSetupForm::FindModemPortClick);

  Name = new QLineEdit(Q(settings.userName), this);
  Name->setObjectName(QStringLiteral("Name"));
  Name->setMaxLength(kNameMax);
  FaxNumber = new QLineEdit(Q(settings.userFax), this);
  FaxNumber->setObjectName(QStringLiteral("FaxNumber"));
  FaxNumber->setMaxLength(kFaxNumberMax);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Your &name:"), Name);
  form->addRow(QStringLiteral("Your &fax number:"), FaxNumber);

  OkButton = new QPushButton(QStringLiteral("Ok"), this);
  OkButton->setObjectName(QStringLiteral("OkButton"));
  OkButton->setDefault(true);
  CancelButton = new QPushButton(QStringLiteral("Cance&l"), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  CancelButton->setAutoDefault(false);
  PreferencesButton = new QPushButton(QStringLiteral("Preferences"), this);
  PreferencesButton->setObjectName(QStringLiteral("PreferencesButton"));
  PreferencesButton->setToolTip(QStringLiteral("Load the Preferences screen"));
  PreferencesButton->setAutoDefault(false);
  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(PreferencesButton, &QPushButton::clicked, this, [this] { done(kOpenPreferences); });

  auto* portRow = new QHBoxLayout;
  portRow->addWidget(ComPort, 1);
  portRow->addWidget(FindModemButton, 0, Qt::AlignTop);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(PreferencesButton);
  buttons->addStretch(1);
  buttons->addWidget(OkButton);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(intro);
  layout->addLayout(portRow);
  layout->addLayout(form);
  layout->addStretch(1);
  layout->addLayout(buttons);
  setTabOrder(ComPort, FindModemButton);
  setTabOrder(FindModemButton, Name);
  setTabOrder(Name, FaxNumber);
  setTabOrder(FaxNumber, OkButton);
  setTabOrder(OkButton, CancelButton);
  setTabOrder(CancelButton, PreferencesButton);
}

void TQuickSetupForm::StoreControls(Settings& s) const {
  s.comPort = ComPort->ItemIndex();
  s.userName = S(Name->text());
  s.userFax = S(FaxNumber->text());
}

void TQuickSetupForm::FindModemPortClick() {
  try {
    KvComPort1.SetComNumber(std::max(1, ComPort->ItemIndex() + 1));
  } catch (const std::exception&) {
    // The search sets each number itself.
  }
  FindModemPort(this, KvComPort1, *ComPort, ports_, resetString_);
}

bool ShowQuickSetup(TMainScreen& main, QWidget* parent) {
  Settings& record = main.CurrentSettings();
  const std::string path = SettingsFilePath().toStdString();
  int result = QDialog::Rejected;
  Settings updated = record;
  PortMappings newPorts;
  {
    TQuickSetupForm form(record, path, parent);
    CenterWindow(&form);
    result = form.exec();
    if (result == QDialog::Rejected) return false;
    form.StoreControls(updated);
    newPorts = form.Ports().newPorts;
  }
  main.SetFirstRun(false);
  if (updated.comPort < 0) updated.comPort = record.comPort;  // no port picked: the one in use stays
  try {
    SavePreferencesFile(path, updated, newPorts);
  } catch (const ProfileWriteError& e) {
    ShowInformation(parent, QString::fromLocal8Bit(e.what()));
    return false;
  }
  record = updated;
  if (result == TQuickSetupForm::kOpenPreferences) ShowPreferences(main, parent);
  return true;
}

}  // namespace tlm
