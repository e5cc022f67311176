#include "setup/config_report_window.h"

#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextStream>
#include <QTimeZone>
#include <QVBoxLayout>
#include <future>

#include "app/window_placement.h"
#include "platform/com_ports.h"
#include "platform/data_folder.h"
#include "platform/profile_file.h"

namespace tlm {

namespace {

QString LanguageName(const QLocale& locale) {
  return QLocale::languageToString(locale.language()) + QStringLiteral(" (") +
         QLocale::territoryToString(locale.territory()) + QStringLiteral(")");
}

QString CountryCode(const QLocale& locale) {
  const QString name = locale.name();  // "en_US"
  const qsizetype underscore = name.indexOf(u'_');
  return underscore < 0 ? name : name.mid(underscore + 1);
}

// The locale the system is set to (not the user's): LANG of
// /etc/default/locale or /etc/locale.conf.
QLocale SystemDefaultLocale() {
  for (const char* path : {"/etc/default/locale", "/etc/locale.conf"}) {
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) continue;
    QTextStream in(&file);
    while (!in.atEnd()) {
      QString line = in.readLine().trimmed();
      if (!line.startsWith(QStringLiteral("LANG="))) continue;
      line = line.mid(5).remove(u'"').remove(u'\'');
      return QLocale(line.section(u'.', 0, 0));
    }
  }
  return QLocale::c();
}

LocaleFacts ReadLocaleFacts() {
  LocaleFacts f;
  const QLocale user = QLocale::system();
  const QLocale system = SystemDefaultLocale();
  f.today = user.toString(QDate::currentDate(), QLocale::LongFormat);
  f.userLanguage = LanguageName(user);
  f.systemLanguage = LanguageName(system);
  f.userCountry = CountryCode(user);
  f.systemCountry = CountryCode(system);
  const QTimeZone zone = QTimeZone::systemTimeZone();
  const QDateTime now = QDateTime::currentDateTime();
  f.timeZone = QString::fromUtf8(zone.id()) + QStringLiteral(" (") + zone.abbreviation(now) + QStringLiteral(", ") +
               zone.displayName(now, QTimeZone::OffsetName) + QStringLiteral(")");
  f.shortDate = user.dateFormat(QLocale::ShortFormat);
  f.longDate = user.dateFormat(QLocale::LongFormat);
  f.shortTime = user.timeFormat(QLocale::ShortFormat);
  f.longTime = user.timeFormat(QLocale::LongFormat);
  return f;
}

ScreenFacts ReadScreenFacts() {
  ScreenFacts s;
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    s.width = screen->geometry().width();
    s.height = screen->geometry().height();
    s.bitsPerPixel = screen->depth();
    s.dotsPerInch = qRound(screen->logicalDotsPerInch());
  }
  return s;
}

}  // namespace

TConfigurationInfo::TConfigurationInfo(const QStringList& report, QWidget* parent)
    : QDialog(parent),
      report_(report),
      label_(new QLabel(this)),
      Memo1(new QPlainTextEdit(this)),
      copy_(new QPushButton(QStringLiteral("&Copy to Clipboard"), this)),
      ok_(new QPushButton(QStringLiteral("OK"), this)) {
  setObjectName(QStringLiteral("TConfigurationInfo"));
  setWindowTitle(QStringLiteral("Configuration Information"));
  label_->setWordWrap(true);
  label_->setText(QStringLiteral(
      "The information below describes your computer, your modem and your fax settings. It helps technical support "
      "to find the cause of a problem quickly. Press \"Copy to Clipboard\" below and paste it into your message."));
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setReadOnly(true);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  Memo1->setTabStopDistance(Memo1->fontMetrics().horizontalAdvance(QLatin1Char(' ')) * 4);
  Memo1->setPlainText(report_.join(u'\n'));
  copy_->setObjectName(QStringLiteral("CopyButton"));
  copy_->setAutoDefault(false);
  ok_->setObjectName(QStringLiteral("OkButton"));
  ok_->setDefault(true);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(copy_);
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label_);
  layout->addWidget(Memo1, 1);
  layout->addLayout(buttons);
  setTabOrder(Memo1, copy_);
  setTabOrder(copy_, ok_);
  resize(720, 560);

  connect(copy_, &QPushButton::clicked, this, &TConfigurationInfo::CopyToClipboardClick);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
}

void TConfigurationInfo::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  QTextCursor start = Memo1->textCursor();
  start.movePosition(QTextCursor::Start);
  Memo1->setTextCursor(start);
  Memo1->ensureCursorVisible();
}

void TConfigurationInfo::CopyToClipboardClick() {
  QApplication::clipboard()->setText(report_.join(u'\n') + u'\n');
  QMessageBox box(QMessageBox::Information, QStringLiteral("Configuration Information"),
                  QStringLiteral("Information copied to Windows clipboard"), QMessageBox::Ok, this);
  box.exec();
}

QStringList CollectConfigReport(const Settings& settings, bool askModem) {
  ReportFacts facts;
  facts.settings = settings;
  facts.settingsPath = SettingsFilePath().toStdString();
  const int com = settings.comPort + 1;
  // The modem is asked on a thread of its own while the interface stays
  // alive; everything else is quick.
  std::future<ModemFacts> modem;
  if (askModem) modem = std::async(std::launch::async, [com] { return QueryModem(com, kModemQueryBudgetMs); });
  facts.system = ReadSystemFacts(DataFolder());
  facts.screen = ReadScreenFacts();
  facts.locale = ReadLocaleFacts();
  facts.serialDevices = ListSerialDevices();
  facts.ports = ListPortMappings(facts.settingsPath);
  if (askModem) {
    while (modem.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
      QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    facts.modem = modem.get();
  } else {
    facts.modem.com = com;
    facts.modem.lines.push_back("The modem is in use by receive mode; it was not asked.");
  }
  if (facts.modem.device.empty() && com >= 1) facts.modem.device = ComDevicePath(com, ProfileFile(facts.settingsPath));
  std::vector<std::string> devices;
  for (const SerialDevice& d : facts.serialDevices) devices.push_back(d.device);
  for (const PortMapping& p : facts.ports) devices.push_back(p.path);
  facts.serialUsers = FindSerialUsers(devices);
  return BuildConfigReport(facts);
}

void ShowConfigurationInformation(QWidget* parent, const Settings& settings, bool askModem) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const QStringList report = CollectConfigReport(settings, askModem);
  QApplication::restoreOverrideCursor();
  TConfigurationInfo window(report, parent);
  CenterWindow(&window);
  window.exec();
}

}  // namespace tlm
