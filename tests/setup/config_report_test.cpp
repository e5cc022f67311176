// The configuration report: its sections and labels, the facts read from
// this machine, the modem section when the modem cannot be reached (no
// device, a modem that never answers, a device that goes away), the
// programs holding a serial device, and the window with its copy button,
// also from the main window's menu.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <thread>

#include "app/main_screen.h"
#include "app/storage_tables.h"
#include "gui_test_support.h"
#include "modal_driver.h"
#include "platform/profile_file.h"
#include "setup/config_report.h"
#include "setup/config_report_window.h"
#include "setup/troubleshooter_hooks.h"

namespace tlm {
namespace {

using testing::App;
using testing::DataFolderScope;
using testing::ModalDriver;
using testing::WaitUntil;
using Clock = std::chrono::steady_clock;

// A pseudo-terminal whose slave side stands for a serial device; the test
// plays the modem (or its absence) on the master side.
class FakeLine {
 public:
  FakeLine() {
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master_, &slave, name, nullptr, nullptr) != 0) return;
    path_ = name;
    termios tio{};
    ::tcgetattr(master_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(master_, TCSANOW, &tio);
    ::close(slave);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  }
  ~FakeLine() { CloseMaster(); }
  bool Ok() const { return master_ >= 0; }
  int Master() const { return master_; }
  const std::string& SlavePath() const { return path_; }
  void Write(const std::string& text) { (void)!::write(master_, text.data(), text.size()); }
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string path_;
};

qsizetype IndexOf(const QStringList& lines, const QString& line, qsizetype from = 0) { return lines.indexOf(line, from); }

ReportFacts SampleFacts() {
  ReportFacts f;
  f.locale.today = "Wednesday, 9 December 2026";
  f.locale.userLanguage = "English (United States)";
  f.locale.systemLanguage = "German (Germany)";
  f.locale.userCountry = "US";
  f.locale.systemCountry = "DE";
  f.locale.timeZone = "Europe/Berlin (CET, UTC+01:00)";
  f.locale.shortDate = "M/d/yy";
  f.locale.longDate = "dddd, MMMM d, yyyy";
  f.locale.shortTime = "h:mm AP";
  f.locale.longTime = "h:mm:ss AP t";
  f.system.kernel = "Linux 6.1.0 #1 SMP";
  f.system.machine = "x86_64";
  f.system.distribution = "Debian GNU/Linux 12 (bookworm)";
  f.system.processor = "Example CPU";
  f.system.processors = 4;
  f.system.memTotal = 8000;
  f.system.memAvailable = 2000;
  f.system.swapTotal = 0;
  f.system.swapFree = 0;
  f.system.dataFolder = "/home/u/.local/share/tolmera/";
  f.screen = {1024, 768, 16, 120};
  f.serialDevices = {{"/dev/ttyACM0", "U.S. Robotics", "USB Modem", "cdc_acm"}, {"/dev/ttyS0", "", "", "serial8250"}};
  f.ports = {{1, "/dev/ttyS0", false, true}, {2, "/tmp/line/modem", true, false}, {5, "/dev/ttyACM0", false, true}};
  f.modem.com = 2;
  f.modem.device = "/tmp/line/modem";
  f.modem.lines = {"The port could not be opened: Unable to open the specified communications port ( Com2 )"};
  f.serialUsers = {{"minicom", 812, "/dev/ttyACM0"}, {"ModemManager", 77, "/dev/ttyS0"}};
  f.settings.comPort = 1;
  f.settings.toneOrPulse = 5;
  f.settings.resetString = "ATZ";
  f.settings.faxClass = 3;
  f.settings.faxClassReceive = 7;
  f.settings.maximumBps = 12345;
  f.settings.ecm = true;
  f.settings.answerOnRing = 2;
  f.settingsPath = "/home/u/.local/share/tolmera/TLM.INI";
  return f;
}

TEST(ConfigReport, TheReportHasItsSectionsInOrderWithTheirLabels) {
  const QStringList r = BuildConfigReport(SampleFacts());
  ASSERT_GT(r.size(), 60);
  EXPECT_EQ(r[0], "Wednesday, 9 December 2026");
  EXPECT_EQ(r[1], "");
  EXPECT_EQ(r.mid(2, 4), (QStringList{"[Product]", "Program:     \tTolmera", "Version:     \t2.9q", ""}));
  EXPECT_EQ(r[6], "[Environment]");
  EXPECT_EQ(r[7], "System:      \tLinux 6.1.0 #1 SMP");
  EXPECT_EQ(r[8], "Distribution:\tDebian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(r[9], "CPU:         \tProcessor:  x86_64 Example CPU (4 processors)");
  EXPECT_TRUE(r[10].startsWith("Video:       \t1024 x 768 x 65") && r[10].endsWith("536 colors")) << r[10].toStdString();
  EXPECT_EQ(r[11], "Font:        \tLarge Fonts in use");
  EXPECT_EQ(r[12], "Memory Load: \t75");
  EXPECT_TRUE(r[13].startsWith("Phys Memory: \tTotal: 8"));
  EXPECT_TRUE(r[13].endsWith(";    Available: 2") || r[13].endsWith(";    Available: 2,000") ||
              r[13].contains(";    Available: 2"));
  EXPECT_TRUE(r[14].startsWith("Swap:        \tTotal: 0;    Available: 0"));
  EXPECT_EQ(r[15], "Language:    \tUser: English (United States);    System: German (Germany)");
  EXPECT_EQ(r[16], "Country:     \tUser: US;    System: DE");
  EXPECT_EQ(r[17], "Time Zone:   \tEurope/Berlin (CET, UTC+01:00)");
  EXPECT_EQ(r[18], "Date Format: \tShort: M/d/yy;    Long: dddd, MMMM d, yyyy");
  EXPECT_EQ(r[19], "Time Format: \tShort: h:mm AP;    Long: h:mm:ss AP t");
  EXPECT_EQ(r[20], "Data Folder: \t/home/u/.local/share/tolmera/");
  EXPECT_TRUE(r[21].startsWith("Disk Space:  \tTotal: unknown"));
  EXPECT_EQ(r[22], "");

  const qsizetype serial = IndexOf(r, "[Serial Devices]");
  EXPECT_EQ(serial, 23);
  EXPECT_EQ(r.mid(serial + 1, 7),
            (QStringList{"", "Device:               \t/dev/ttyACM0", "Manufacturer:         \tU.S. Robotics",
                         "Model:                \tUSB Modem", "Driver:               \tcdc_acm",
                         "Port:                 \tCOM5", ""}));
  const qsizetype ports = IndexOf(r, "[Ports]");
  ASSERT_GT(ports, serial);
  EXPECT_EQ(r.mid(ports + 1, 3),
            (QStringList{"COM1=/dev/ttyS0   (default)", "COM2=/tmp/line/modem   (no such device)",
                         "COM5=/dev/ttyACM0   (default)"}));
  const qsizetype modem = IndexOf(r, "[Modem on COM2 (/tmp/line/modem)]");
  ASSERT_GT(modem, ports);
  EXPECT_TRUE(r[modem + 2].startsWith("The port could not be opened: "));
  EXPECT_EQ(r.mid(modem + 3, 2), (QStringList{"", ""}));

  const qsizetype ini = IndexOf(r, "[/home/u/.local/share/tolmera/TLM.INI]");
  EXPECT_EQ(ini, modem + 5);
  const QStringList expected = {
      "",
      "{general}",
      "COM Port:             \t2",
      "Tone/Pulse:           \tunknown",
      "Reset String          \tATZ",
      "Post Reset String:    \t",
      "{sending}",
      "Fax Class:            \tClass 2.0",
      "Max BPS:              \t12345",
      "Modem Init:           \t",
      "ECM:                  \tYes",
      "Dial Prefix:          \t",
      "Dial Attempts:        \t3",
      "Retry Wait:           \t60",
      "Blind Dial:           \tNo",
      "Ignore Busy:          \tNo",
      "Renegotiate Between:  \tNo",
      "{receiving}",
      "Receive Fax Class:    \tunknown",
      "Receive Max BPS:      \t9600",
      "Receive Init String:  \t",
      "Answer On Ring:       \t2",
      "Receive Startup:      \tNo",
      "ECM Receive:          \tNo",
      "WAV File:             \t",
      "Print On Receipt:     \tNo",
      "Printer (POR):        \tDefault Windows Printer",
      "{misc}",
      "ShowHint:             \tYes",
      "Disable Prefix:       \tNo",
      "Program Path          \t/home/u/.local/share/tolmera/",
      "",
      "[Other Programs Using Serial Devices (Program, Device)]",
      "",
      "minicom [812]  (/dev/ttyACM0)",
      "ModemManager [77]  (/dev/ttyS0)",
  };
  EXPECT_EQ(r.mid(ini + 1), expected);
}

TEST(ConfigReport, ScreenDepthsGiveTheirColourCounts) {
  EXPECT_EQ(ColorsOfDepth(1), 2);
  EXPECT_EQ(ColorsOfDepth(4), 16);
  EXPECT_EQ(ColorsOfDepth(8), 256);
  EXPECT_EQ(ColorsOfDepth(15), 32768);
  EXPECT_EQ(ColorsOfDepth(16), 65536);
  EXPECT_EQ(ColorsOfDepth(24), 16777216);
  EXPECT_EQ(ColorsOfDepth(32), 16777216);
  EXPECT_EQ(ColorsOfDepth(12), 12);
  EXPECT_EQ(GroupedNumber(65536).remove(QRegularExpression("[^0-9]")), "65536");
}

TEST(ConfigReport, TheMachinesOwnFactsAreRead) {
  testing::TempDir dir;
  const SystemFacts s = ReadSystemFacts(dir.Folder());
  EXPECT_EQ(s.kernel.rfind("Linux ", 0), 0u) << s.kernel;
  EXPECT_FALSE(s.machine.empty());
  EXPECT_GT(s.processors, 0);
  EXPECT_GT(s.memTotal, 0);
  EXPECT_GE(s.memAvailable, 0);
  EXPECT_GT(s.diskTotal, 0);
  EXPECT_GE(s.diskAvailable, 0);
  // The udev list only holds devices with a driver, each with its node.
  for (const SerialDevice& d : ListSerialDevices()) {
    EXPECT_EQ(d.device.rfind("/dev/", 0), 0u);
    EXPECT_FALSE(d.driver.empty());
  }
}

TEST(ConfigReport, PortMappingsComeFromThePortsSectionAndTheDefaults) {
  testing::TempDir dir;
  const std::string ini = dir.File("TLM.INI");
  {
    ProfileFile file(ini);
    file.WriteString("Ports", "COM2", dir.File("modem"));
    file.WriteString("Ports", "COM20", "/dev/null");
    file.WriteString("Ports", "COMX", "/dev/zero");  // not a port number
    file.Save();
  }
  const std::vector<PortMapping> ports = ListPortMappings(ini);
  ASSERT_EQ(ports.size(), 13u);
  EXPECT_EQ(ports[0].com, 1);
  EXPECT_EQ(ports[0].path, "/dev/ttyS0");
  EXPECT_FALSE(ports[0].configured);
  EXPECT_EQ(ports[1].path, dir.File("modem"));
  EXPECT_TRUE(ports[1].configured);
  EXPECT_FALSE(ports[1].present);
  EXPECT_EQ(ports[11].path, "/dev/ttyUSB3");
  EXPECT_EQ(ports[12].com, 20);
  EXPECT_TRUE(ports[12].present);
}

TEST(ConfigReport, ARunningProgramThatHoldsASerialDeviceIsFound) {
  FakeLine line;
  ASSERT_TRUE(line.Ok());
  const pid_t child = ::fork();
  if (child == 0) {
    ::execl("/bin/sh", "sh", "-c", ("exec sleep 30 < " + line.SlavePath()).c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // This program's own hold on the device is not reported.
  const int own = ::open(line.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(own, 0);
  std::vector<SerialUser> users;
  const auto until = Clock::now() + std::chrono::seconds(5);
  // The shell opens the device before it becomes `sleep`, so wait for the exec too.
  while ((users.empty() || users[0].program != "sleep") && Clock::now() < until) {
    users = FindSerialUsers({line.SlavePath()});
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(child, SIGTERM);
  ::waitpid(child, nullptr, 0);
  ::close(own);
  ASSERT_EQ(users.size(), 1u);
  EXPECT_EQ(users[0].program, "sleep");
  EXPECT_EQ(users[0].pid, child);
  EXPECT_EQ(users[0].device, line.SlavePath());
  EXPECT_TRUE(FindSerialUsers({line.SlavePath()}).empty());
}

// ---- the modem section when there is no answer -------------------------------------

class ModemQueryTest : public ::testing::Test {
 protected:
  ModemQueryTest() { App(); }
  void MapCom1(const std::string& path) {
    ProfileFile ini(data.dir.File("TLM.INI"));
    ini.WriteString("Ports", "COM1", path);
    ini.Save();
  }
  DataFolderScope data;
};

TEST_F(ModemQueryTest, APortThatCannotBeOpenedOrIsOutOfRangeGivesOneClearLine) {
  MapCom1(data.dir.File("no-such-device"));
  ModemFacts f = QueryModem(1, 6000);
  ASSERT_EQ(f.lines.size(), 1u);
  EXPECT_EQ(f.lines[0].rfind("The port could not be opened: Unable to open the specified communications port", 0), 0u)
      << f.lines[0];
  EXPECT_EQ(f.device, data.dir.File("no-such-device"));
  f = QueryModem(-2, 6000);
  ASSERT_EQ(f.lines.size(), 1u);
  EXPECT_EQ(f.lines[0], "COM-2 is not a valid port number; the modem was not asked.");
}

TEST_F(ModemQueryTest, AModemThatNeverAnswersCostsAFewSeconds) {
  FakeLine line;
  ASSERT_TRUE(line.Ok());
  MapCom1(line.SlavePath());
  const auto start = Clock::now();
  const ModemFacts f = QueryModem(1, 6000);
  const auto took = Clock::now() - start;
  EXPECT_LT(took, std::chrono::seconds(4));
  ASSERT_EQ(f.lines.size(), 1u);
  EXPECT_EQ(f.lines[0], "The modem did not answer \"AT\" within 2 seconds: it is switched off, not connected to this "
                        "port, or not a modem.");
}

TEST_F(ModemQueryTest, AModemThatGoesAwayInTheMiddleEndsTheSectionWithinTheBudget) {
  FakeLine line;
  ASSERT_TRUE(line.Ok());
  MapCom1(line.SlavePath());
  // The "modem" answers AT and ATI0, then its device disappears.
  std::thread modem([&] {
    std::string seen;
    int answered = 0;
    const auto until = Clock::now() + std::chrono::seconds(5);
    while (answered < 2 && Clock::now() < until) {
      char buffer[64];
      const ssize_t n = ::read(line.Master(), buffer, sizeof buffer);
      if (n > 0) seen.append(buffer, std::size_t(n));
      if (seen.find('\r') != std::string::npos) {
        line.Write(answered == 0 ? "\r\nOK\r\n" : "\r\n56000\r\n\r\nOK\r\n");
        seen.clear();
        ++answered;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    line.CloseMaster();
  });
  const auto start = Clock::now();
  const ModemFacts f = QueryModem(1, 6000);
  modem.join();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(9));
  ASSERT_GE(f.lines.size(), 2u);
  EXPECT_EQ(f.lines[0], "ATI0:                 \t56000");
  // What follows says that the rest went unanswered, line by line or at once.
  for (std::size_t i = 1; i < f.lines.size(); ++i) {
    const std::string& l = f.lines[i];
    EXPECT_TRUE(l.find("(no reply)") != std::string::npos || l.find("(not asked") != std::string::npos ||
                l.rfind("The connection to the modem failed", 0) == 0)
        << l;
  }
}

// ---- the window -----------------------------------------------------------------------

TEST_F(ModemQueryTest, CopyPutsTheWholeReportOnTheClipboardAndSaysSo) {
  MapCom1(data.dir.File("absent"));
  Settings s;
  s.comPort = 0;
  s.faxClass = 7;
  s.maximumBps = 12345;
  const QStringList report = CollectConfigReport(s);
  for (const char* section : {"[Product]", "[Environment]", "[Serial Devices]", "[Ports]", "{general}", "{sending}",
                              "{receiving}", "{misc}", "[Other Programs Using Serial Devices (Program, Device)]"}) {
    EXPECT_TRUE(report.contains(section)) << section;
  }
  EXPECT_TRUE(report.contains("[" + QString::fromStdString(data.dir.File("TLM.INI")) + "]"));
  EXPECT_TRUE(report.contains("Fax Class:            \tunknown"));
  EXPECT_TRUE(report.contains("Max BPS:              \t12345"));
  EXPECT_TRUE(report.contains("COM1=" + QString::fromStdString(data.dir.File("absent")) + "   (no such device)"));

  TConfigurationInfo w(report);
  w.show();
  testing::Settle();
  EXPECT_EQ(w.windowTitle(), "Configuration Information");
  EXPECT_EQ(w.Memo()->objectName(), "Memo1");
  EXPECT_TRUE(w.Memo()->isReadOnly());
  EXPECT_EQ(w.Memo()->textCursor().position(), 0);
  EXPECT_EQ(w.Memo()->toPlainText(), report.join('\n'));
  ModalDriver driver;
  driver.Click(QMessageBox::Ok);
  QApplication::clipboard()->clear();
  QTest::mouseClick(w.CopyButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }));
  ASSERT_EQ(driver.boxes.size(), 1u);
  EXPECT_EQ(driver.boxes[0].caption, "Configuration Information");
  EXPECT_EQ(driver.boxes[0].text, "Information copied to Windows clipboard");
  EXPECT_EQ(QApplication::clipboard()->text(), report.join('\n') + '\n');
  QTest::mouseClick(w.OkButton(), Qt::LeftButton);
  EXPECT_FALSE(w.isVisible());
}

TEST_F(ModemQueryTest, SettingsOutOfRangeAreReportedAsTheyAreAndTheWindowStillOpens) {
  Settings s;
  s.comPort = -3;
  s.faxClass = 7;
  s.faxClassReceive = 7;
  s.maximumBps = 12345;
  s.toneOrPulse = -1;
  const auto start = Clock::now();
  const QStringList report = CollectConfigReport(s);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
  const qsizetype modem = report.indexOf("[Modem on COM-2]");
  ASSERT_GE(modem, 0) << report.join('\n').toStdString();
  EXPECT_EQ(report[modem + 2], "COM-2 is not a valid port number; the modem was not asked.");
  for (const char* line : {"COM Port:             \t-2", "Tone/Pulse:           \tunknown",
                           "Fax Class:            \tunknown", "Max BPS:              \t12345",
                           "Receive Fax Class:    \tunknown"}) {
    EXPECT_TRUE(report.contains(line)) << line;
  }
  TConfigurationInfo w(report);
  w.show();
  testing::Settle();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.Memo()->toPlainText().count('\n'), report.size() - 1);
}

TEST_F(ModemQueryTest, TheMainWindowsMenuOpensTheReportAndReceiveModeLeavesTheModemAlone) {
  MapCom1(data.dir.File("absent"));
  std::unique_ptr<TableProvider> tables = CreateStorageTables();
  MainScreenHooks hooks;
  InstallHelpHooks(hooks);
  ModalDriver driver;
  driver.Click(QMessageBox::No);  // the reindex question of a first start
  TMainScreen main(*tables, hooks);
  main.show();
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }));
  main.CurrentSettings().dialPrefix = "9,";
  QString seen;
  driver.Then([&](QWidget* w) {
    auto* info = qobject_cast<TConfigurationInfo*>(w);
    ASSERT_NE(info, nullptr) << w->metaObject()->className();
    seen = info->Memo()->toPlainText();
    QTest::mouseClick(info->OkButton(), Qt::LeftButton);
  });
  main.ConfigurationInformation();
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }));
  EXPECT_TRUE(seen.contains("Dial Prefix:          \t9,"));
  EXPECT_TRUE(seen.contains("The port could not be opened"));

  main.SetReceiveMode(true);
  driver.Then([&](QWidget* w) {
    seen = static_cast<TConfigurationInfo*>(w)->Memo()->toPlainText();
    static_cast<QDialog*>(w)->accept();
  });
  main.ConfigurationInformation();
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }));
  EXPECT_TRUE(seen.contains("The modem is in use by receive mode; it was not asked."));
  EXPECT_TRUE(driver.unexpected.empty());
  main.SetReceiveMode(false);
  main.close();
}

}  // namespace
}  // namespace tlm
