#include "setup/config_report.h"

#include <QLocale>
#include <algorithm>

#include "app/core/settings.h"

namespace tlm {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// A label padded with blanks to `width` characters, then a tab.
QString Label(const QString& name, int width) { return name.leftJustified(width, u' ') + u'\t'; }
QString SystemLabel(const char* name) { return Label(QString::fromLatin1(name), 13); }
QString ModemLabel(const char* name) { return Label(QString::fromLatin1(name), 22); }

QString YesNo(bool on) { return on ? QStringLiteral("Yes") : QStringLiteral("No"); }

QString ClassName(int faxClass) {
  switch (faxClass) {
    case 0: return QStringLiteral("AutoDetect");
    case 1: return QStringLiteral("Class 1");
    case 2: return QStringLiteral("Class 2");
    case 3: return QStringLiteral("Class 2.0");
    default: return QStringLiteral("unknown");
  }
}

QString DialingName(int toneOrPulse) {
  switch (toneOrPulse) {
    case 0: return QStringLiteral("Tone");
    case 1: return QStringLiteral("Pulse");
    default: return QStringLiteral("unknown");
  }
}

QString Size(long long bytes) { return bytes < 0 ? QStringLiteral("unknown") : GroupedNumber(bytes); }

QString TotalAvailable(long long total, long long available) {
  return QStringLiteral("Total: ") + Size(total) + QStringLiteral(";    Available: ") + Size(available);
}

void SystemSection(QStringList& out, const ReportFacts& f) {
  const SystemFacts& s = f.system;
  out << SystemLabel("System:") + Q(s.kernel);
  if (!s.distribution.empty()) out << SystemLabel("Distribution:") + Q(s.distribution);
  QString cpu = QStringLiteral("Processor:  ") + Q(s.machine) + u' ' + Q(s.processor);
  if (s.processors > 0) cpu += QStringLiteral(" (%1 processors)").arg(s.processors);
  out << SystemLabel("CPU:") + cpu;
  if (f.screen.width > 0) {
    out << SystemLabel("Video:") + QStringLiteral("%1 x %2 x ").arg(f.screen.width).arg(f.screen.height) +
               GroupedNumber(ColorsOfDepth(f.screen.bitsPerPixel)) + QStringLiteral(" colors");
  }
  const QString fonts = f.screen.dotsPerInch == 96    ? QStringLiteral("Small Fonts in use")
                        : f.screen.dotsPerInch == 120 ? QStringLiteral("Large Fonts in use")
                                                      : QStringLiteral("Custom font size in use");
  out << SystemLabel("Font:") + fonts;
  if (s.memTotal > 0 && s.memAvailable >= 0) {
    out << SystemLabel("Memory Load:") + QString::number((s.memTotal - s.memAvailable) * 100 / s.memTotal);
  }
  out << SystemLabel("Phys Memory:") + TotalAvailable(s.memTotal, s.memAvailable);
  out << SystemLabel("Swap:") + TotalAvailable(s.swapTotal, s.swapFree);
  const LocaleFacts& l = f.locale;
  out << SystemLabel("Language:") + QStringLiteral("User: ") + l.userLanguage + QStringLiteral(";    System: ") +
             l.systemLanguage;
  out << SystemLabel("Country:") + QStringLiteral("User: ") + l.userCountry + QStringLiteral(";    System: ") +
             l.systemCountry;
  out << SystemLabel("Time Zone:") + l.timeZone;
  out << SystemLabel("Date Format:") + QStringLiteral("Short: ") + l.shortDate + QStringLiteral(";    Long: ") +
             l.longDate;
  out << SystemLabel("Time Format:") + QStringLiteral("Short: ") + l.shortTime + QStringLiteral(";    Long: ") +
             l.longTime;
  out << SystemLabel("Data Folder:") + Q(s.dataFolder);
  out << SystemLabel("Disk Space:") + TotalAvailable(s.diskTotal, s.diskAvailable);
}

QString PortsOf(const std::string& device, const std::vector<PortMapping>& ports) {
  QStringList coms;
  for (const PortMapping& p : ports) {
    if (p.path == device) coms << QStringLiteral("COM%1").arg(p.com);
  }
  return coms.join(QStringLiteral(", "));
}

void ModemSection(QStringList& out, const ReportFacts& f) {
  out << QStringLiteral("[Serial Devices]") << QString();
  if (f.serialDevices.empty()) out << QStringLiteral("No serial devices found.");
  for (std::size_t i = 0; i < f.serialDevices.size(); ++i) {
    const SerialDevice& d = f.serialDevices[i];
    if (i > 0) out << QString();
    out << ModemLabel("Device:") + Q(d.device);
    if (!d.vendor.empty()) out << ModemLabel("Manufacturer:") + Q(d.vendor);
    if (!d.model.empty()) out << ModemLabel("Model:") + Q(d.model);
    if (!d.driver.empty()) out << ModemLabel("Driver:") + Q(d.driver);
    const QString coms = PortsOf(d.device, f.ports);
    if (!coms.isEmpty()) out << ModemLabel("Port:") + coms;
  }
  out << QString() << QStringLiteral("[Ports]");
  for (const PortMapping& p : f.ports) {
    QString line = QStringLiteral("COM%1=").arg(p.com) + Q(p.path);
    if (!p.configured) line += QStringLiteral("   (default)");
    if (!p.present) line += QStringLiteral("   (no such device)");
    out << line;
  }
  QString modem = QStringLiteral("[Modem on COM%1").arg(f.modem.com);
  if (!f.modem.device.empty()) modem += QStringLiteral(" (") + Q(f.modem.device) + u')';
  out << QString() << modem + u']' << QString();
  for (const std::string& line : f.modem.lines) out << Q(line);
}

void SettingsSections(QStringList& out, const ReportFacts& f) {
  const Settings& s = f.settings;
  out << QStringLiteral("[") + Q(f.settingsPath) + QStringLiteral("]") << QString();
  out << QStringLiteral("{general}");
  out << QStringLiteral("COM Port:             \t") + QString::number(s.comPort + 1);
  out << QStringLiteral("Tone/Pulse:           \t") + DialingName(s.toneOrPulse);
  out << QStringLiteral("Reset String          \t") + Q(s.resetString);
  out << QStringLiteral("Post Reset String:    \t") + Q(s.resetAfterString);
  out << QStringLiteral("{sending}");
  out << QStringLiteral("Fax Class:            \t") + ClassName(s.faxClass);
  out << QStringLiteral("Max BPS:              \t") + QString::number(s.maximumBps);
  out << QStringLiteral("Modem Init:           \t") + Q(s.initString);
  out << QStringLiteral("ECM:                  \t") + YesNo(s.ecm);
  out << QStringLiteral("Dial Prefix:          \t") + Q(s.dialPrefix);
  out << QStringLiteral("Dial Attempts:        \t") + QString::number(s.dialAttempts);
  out << QStringLiteral("Retry Wait:           \t") + QString::number(s.retryWait);
  out << QStringLiteral("Blind Dial:           \t") + YesNo(s.blindDial);
  out << QStringLiteral("Ignore Busy:          \t") + YesNo(s.ignoreBusy);
  out << QStringLiteral("Renegotiate Between:  \t") + YesNo(s.renegotiateBetween);
  out << QStringLiteral("{receiving}");
  out << QStringLiteral("Receive Fax Class:    \t") + ClassName(s.faxClassReceive);
  out << QStringLiteral("Receive Max BPS:      \t") + QString::number(s.maximumBpsReceive);
  out << QStringLiteral("Receive Init String:  \t") + Q(s.initStringReceive);
  out << QStringLiteral("Answer On Ring:       \t") + QString::number(s.answerOnRing);
  out << QStringLiteral("Receive Startup:      \t") + YesNo(s.atStartup);
  out << QStringLiteral("ECM Receive:          \t") + YesNo(s.ecmReceive);
  out << QStringLiteral("WAV File:             \t") + Q(s.wav);
  out << QStringLiteral("Print On Receipt:     \t") + YesNo(s.printOnReceipt);
  out << QStringLiteral("Printer (POR):        \t") + Q(s.printOnReceiptPrinter);
  out << QStringLiteral("{misc}");
  out << QStringLiteral("ShowHint:             \t") + YesNo(s.hintsOn);
  out << QStringLiteral("Disable Prefix:       \t") + YesNo(s.prefixDisable);
  out << QStringLiteral("Program Path          \t") + Q(f.system.dataFolder);
}

void SerialUsersSection(QStringList& out, const ReportFacts& f) {
  QStringList entries;
  for (const SerialUser& u : f.serialUsers) {
    entries << Q(u.program) + QStringLiteral(" [%1]").arg(u.pid) + QStringLiteral("  (") + Q(u.device) +
                   QStringLiteral(")");
  }
  entries.sort(Qt::CaseInsensitive);
  out << QStringLiteral("[Other Programs Using Serial Devices (Program, Device)]") << QString();
  if (entries.isEmpty()) out << QStringLiteral("None found.");
  out << entries;
}

}  // namespace

QString GroupedNumber(long long n) {
  QLocale locale = QLocale::system();
  locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
  return locale.toString(n);
}

long long ColorsOfDepth(int bitsPerPixel) {
  switch (bitsPerPixel) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    case 15: return 32768;
    case 16: return 65536;
    case 24:
    case 32: return 16777216;
    default: return bitsPerPixel;
  }
}

QStringList BuildConfigReport(const ReportFacts& f) {
  QStringList out;
  out << f.locale.today << QString();
  out << QStringLiteral("[Product]") << QStringLiteral("Program:     \tTolmera")
      << QStringLiteral("Version:     \t") + QString::fromLatin1(kVersionText) << QString();
  out << QStringLiteral("[Environment]");
  SystemSection(out, f);
  out << QString();
  ModemSection(out, f);
  out << QString() << QString();
  SettingsSections(out, f);
  out << QString();
  SerialUsersSection(out, f);
  return out;
}

}  // namespace tlm
