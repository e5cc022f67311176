// Receive mode in the main window over the real tables and a simulated fax
// line: faxes arrive, are recorded and filed; failures show the error
// window; stopping closes the port.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

#include "app/main_screen.h"
#include "app/receive/receive_hooks.h"
#include "app/receive/starting_fax_form.h"
#include "app/storage_tables.h"
#include "bitmap.h"
#include "faxsim_runner.h"
#include "gui_test_support.h"
#include "modal_driver.h"
#include "send/show_error_form.h"
#include "viewer/viewer_hooks.h"

namespace tlm {
namespace {

using faxsim::testing::FaxsimProcess;
using testing::App;
using testing::DataFolderScope;
using testing::ModalDriver;
using testing::WaitUntil;

struct Printed {
  QString file, printer, pdf;
};

// A command's standard output.
[[maybe_unused]] std::string Output(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, p)) out.append(buffer, n);
    ::pclose(p);
  }
  return out;
}

class ReceiveModeTest : public ::testing::Test {
 protected:
  ReceiveModeTest() { App(); }
  ~ReceiveModeTest() override {
    window.reset();
    sim.reset();
  }

  std::string File(const std::string& name) const { return data.dir.File(name); }

  void WriteSettings(const std::string& extra) {
    std::ofstream ini(File("TLM.INI"));
    ini << "[Modem]\nComPort=0\nFaxClassReceive=0\n[Receive]\nAnswerOnRing=1\n" << extra << "\n[Ports]\nCOM1="
        << File("modem") << "\n";
  }

  // A page the simulator sends: its number drawn into it as a block.
  std::string Page(int number) {
    faxsim::Bitmap b;
    b.resize(1728, 400);
    for (int y = 40; y < 120; ++y)
      for (int x = 100 + 60 * number; x < 140 + 60 * number; ++x) b.set(x, y);
    const std::string path = File("page" + std::to_string(number) + ".pbm");
    faxsim::writePbm(path, b);
    return path;
  }

  void StartLine(std::vector<std::string> extra) {
    std::vector<std::string> args = {"--modem", File("modem") + "=100", "--speed", "accelerated", "--accel", "10",
                                     "--ring-interval", "1"};
    args.insert(args.end(), extra.begin(), extra.end());
    sim = std::make_unique<FaxsimProcess>(data.dir.Folder(), args);
    ASSERT_TRUE(sim->started());
  }

  void OpenWindow() {
    MainScreenHooks hooks;
    InstallReceiveHooks(hooks, {[this](QWidget*, const QString& file, const QString& printer) {
                                  // Printed as the program prints, into a PDF file.
                                  const QString pdf =
                                      QString::fromStdString(File("printed" + std::to_string(printed.size()) + ".pdf"));
                                  QString error;
                                  if (!PrintReceivedFax(file, printer, pdf, &error)) printError = error;
                                  printed.push_back({file, printer, pdf});
                                },
                                [this](const QString& wav) { sounds.push_back(wav); }});
    window = std::make_unique<TMainScreen>(*tables, hooks);
    window->show();
    testing::Settle();
  }

  QPushButton* ReceiveButton() { return window->findChild<QPushButton*>(QStringLiteral("ReceiveButton")); }

  // The received log's records as "FROM|PAGES|FAXFILE".
  std::vector<std::string> Records() {
    std::vector<std::string> out;
    TableAccess* log = window->RecTable();
    const int keep = log->RecNo();
    for (bool ok = log->First(); ok && !log->Eof(); ok = log->Next()) {
      out.push_back(log->Field("FROM") + "|" + log->Field("PAGES") + "|" + log->Field("FAXFILE"));
    }
    log->Go(keep);
    return out;
  }

  DataFolderScope data;
  std::unique_ptr<TableProvider> tables = CreateStorageTables();
  ModalDriver driver;
  std::unique_ptr<FaxsimProcess> sim;
  std::unique_ptr<TMainScreen> window;
  std::vector<Printed> printed;
  std::vector<QString> sounds;
  QString printError;
};

// The soak target (TOLMERA_RECEIVE_SOAK) builds only the long series below.
#ifndef TOLMERA_RECEIVE_SOAK
TEST(ReceiveStatusLine, TextsOfTheStatusLine) {
  EXPECT_EQ(ReceiveStatusLine(24, 2, 10240, QStringLiteral(" XYZ ")),
            QStringLiteral("Receiving fax from: XYZ, page 2 (10240 bytes)"));
  EXPECT_EQ(ReceiveStatusLine(24, 1, 0, QStringLiteral("XYZ")), QStringLiteral("Receiving fax from: XYZ, page 1"));
  EXPECT_EQ(ReceiveStatusLine(24, 0, 0, QStringLiteral("XYZ")), QStringLiteral("Receiving fax from: XYZ"));
  // Without a station identifier neither page nor bytes are shown.
  EXPECT_EQ(ReceiveStatusLine(24, 2, 10240, QString()), QStringLiteral("Receiving fax"));
  EXPECT_EQ(ReceiveStatusLine(28, 0, 0, QString()), QStringLiteral("Hangup successful"));
  EXPECT_EQ(ReceiveStatusLine(42, 0, 0, QStringLiteral("XYZ")), QString());  // "User abort"
}

TEST(ReceiveModeTexts, ErrorWindowMessages) {
  EXPECT_EQ(OpenPortFailedMessage(QStringLiteral("No such device"), 3),
            QStringLiteral("No such device\r\n\r\nIs the Communications Port (COM3) correct? Please\r\n"
                           "click on the Find Modem button in Preferences to be sure."));
  EXPECT_EQ(ReceiveFailedMessage(0),
            QStringLiteral("Tolmera failed to receive an incoming fax.\r\n\r\nThe error message was:   Unknown error"));
  EXPECT_TRUE(ReceiveFailedMessage(-6014).endsWith(QStringLiteral("Aborting due to carrier loss")));
}

TEST_F(ReceiveModeTest, TwoFaxesInARowAreRecordedFiledAnnouncedAndPrinted) {
  std::ofstream(File("ring.wav")) << "RIFF";
  WriteSettings("Wav=" + File("ring.wav") + "\nPrintOnReceipt=1\nPrintOnReceiptPrinter=No Such Printer\n" +
                "[Resetting]\nAfterString=S7=55");
  StartLine({"--remote-sender", "777:" + Page(1) + "," + Page(2) + ":100:delay=1:ident=XYZ:calls=2:interval=30"});
  driver.Click(QMessageBox::No);  // the first start's reindex question
  OpenWindow();
  ReceiveButton()->click();
  ASSERT_TRUE(window->ReceiveMode());
  EXPECT_EQ(ReceiveButton()->text(), QStringLiteral("STOP"));
  EXPECT_EQ(ReceiveButton()->toolTip(), QStringLiteral("Stop receiving faxes"));

  // The status line follows the call; both faxes end up in the log.
  QStringList lines;
  ASSERT_TRUE(WaitUntil(
      [&] {
        const QString line = window->StatusText();
        if (lines.isEmpty() || lines.back() != line) lines << line;
        return Records().size() == 2;
      },
      120000))
      << lines.join(QStringLiteral(" / ")).toStdString();
  std::vector<std::string> records = Records();
  std::sort(records.begin(), records.end(), [](const std::string& a, const std::string& b) {
    return a.substr(a.rfind('|')) < b.substr(b.rfind('|'));
  });
  EXPECT_EQ(records, (std::vector<std::string>{"XYZ|2|FAX0001.APF", "XYZ|2|FAX0002.APF"}));
  // The line names the station (status events come as the state changes,
  // so which page and byte counts are seen depends on timing).
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                          [](const QString& l) { return l.startsWith(QStringLiteral("Receiving fax from: XYZ")); }))
      << lines.join(QStringLiteral(" / ")).toStdString();
  EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(File("receive/FAX0001.APF"))));
  EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(File("receive/FAX0002.APF"))));
  ASSERT_TRUE(WaitUntil([&] { return sounds.size() == 2; }));
  EXPECT_EQ(sounds[0], QString::fromStdString(File("ring.wav")));
  ASSERT_EQ(printed.size(), 2u);
  EXPECT_TRUE(printed[0].file.endsWith(QStringLiteral("FAX0001.APF")));
  EXPECT_EQ(printed[0].printer, QStringLiteral("No Such Printer"));
  EXPECT_TRUE(printError.isEmpty()) << printError.toStdString();
  // Each fax printed whole, one page a sheet, without header and footer.
  const std::string info = Output("pdfinfo " + printed[0].pdf.toStdString());
  const std::size_t pagesAt = info.find("Pages:");
  ASSERT_NE(pagesAt, std::string::npos) << info;
  EXPECT_EQ(std::atoi(info.c_str() + pagesAt + 6), 2) << info;
  const std::string text = Output("pdftotext " + printed[0].pdf.toStdString() + " -");
  EXPECT_EQ(text.find("Page:"), std::string::npos) << text;
  EXPECT_EQ(text.find("FILE:"), std::string::npos) << text;
  EXPECT_FALSE(window->FaxInProgress());

  // STOP: the after-string goes out and the port closes.
  ReceiveButton()->click();
  EXPECT_FALSE(window->ReceiveMode());
  EXPECT_NE(sim->waitFor({"EVENT command", "ATS7=55"}, 10), "");
  EXPECT_NE(sim->waitFor({"EVENT port", "state=closed"}, 10), "");
  EXPECT_EQ(ReceiveButton()->text(), QStringLiteral("&Receive"));
  EXPECT_EQ(window->StatusText(), QString());
  EXPECT_FALSE(window->findChild<TReceiveMode*>()->ComPort().Open());
}

TEST_F(ReceiveModeTest, AStationWithoutIdentifierIsRecordedWithAnEmptyFrom) {
  WriteSettings("");
  StartLine({"--remote-sender", "777:" + Page(1) + ":100:delay=1:ident=none"});
  driver.Click(QMessageBox::No);  // the first start's reindex question
  OpenWindow();
  ReceiveButton()->click();
  QStringList lines;
  ASSERT_TRUE(WaitUntil(
      [&] {
        const QString line = window->StatusText();
        if (lines.isEmpty() || lines.back() != line) lines << line;
        return Records().size() == 1;
      },
      90000));
  EXPECT_EQ(Records(), (std::vector<std::string>{"|1|FAX0001.APF"}));
  // Without an identifier the line never shows page or byte counts.
  for (const QString& line : lines) EXPECT_FALSE(line.startsWith(QStringLiteral("Receiving fax,"))) << line.toStdString();
}

TEST_F(ReceiveModeTest, AFivePageFaxArrivesWhole) {
  WriteSettings("");
  StartLine({"--remote-sender",
             "777:" + Page(1) + "," + Page(2) + "," + Page(3) + "," + Page(4) + "," + Page(5) + ":100:delay=1:ident=FIVE"});
  driver.Click(QMessageBox::No);  // the first start's reindex question
  OpenWindow();
  ReceiveButton()->click();
  const bool arrived = WaitUntil([&] { return Records().size() == 1; }, 90000);
  std::string tail;
  if (!arrived) {
    for (const std::string& e : sim->events()) tail += e + "\n";
  }
  ASSERT_TRUE(arrived) << tail;
  EXPECT_EQ(Records(), (std::vector<std::string>{"FIVE|5|FAX0001.APF"}));
}

TEST_F(ReceiveModeTest, ClosingTheProgramDuringACallAsksFirst) {
  WriteSettings("");
  StartLine({"--remote-sender", "777:" + Page(1) + "," + Page(2) + "," + Page(3) + ":100:delay=1:ident=LONG"});
  driver.Click(QMessageBox::No);  // the first start's reindex question
  OpenWindow();
  ReceiveButton()->click();
  ASSERT_TRUE(WaitUntil([&] { return window->FaxInProgress(); }, 60000));
  driver.Click(QMessageBox::No);
  window->close();
  ASSERT_FALSE(driver.boxes.empty());
  EXPECT_EQ(driver.boxes.back().caption, QStringLiteral("Exit"));
  EXPECT_EQ(driver.boxes.back().text, QStringLiteral("You are receiving a fax. Exit the program?"));
  EXPECT_TRUE(window->isVisible());
  // The call goes on and is recorded; then the program closes without a
  // question, leaving receive mode first.
  ASSERT_TRUE(WaitUntil([&] { return Records().size() == 1; }, 90000));
  EXPECT_EQ(Records(), (std::vector<std::string>{"LONG|3|FAX0001.APF"}));
  const std::size_t questions = driver.boxes.size();
  window->close();
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(driver.boxes.size(), questions);
  EXPECT_NE(sim->waitFor({"EVENT port", "state=closed"}, 10), "");
}

TEST_F(ReceiveModeTest, AFailedCallLeavesNoRecordNoFileAndShowsTheErrorWindow) {
  WriteSettings("");
  StartLine({"--remote-sender", "777:" + Page(1) + "," + Page(2) + ":100:delay=1:ident=BAD", "--fault",
             "777:carrier-loss=2"});
  driver.Click(QMessageBox::No);  // the first start's reindex question
  OpenWindow();
  QString caption;
  driver.Then([&](QWidget* w) {
    caption = w->windowTitle();
    w->close();
  });
  ReceiveButton()->click();
  ASSERT_TRUE(WaitUntil([&] { return !caption.isEmpty(); }, 120000));
  EXPECT_EQ(caption, QStringLiteral("Failed To Receive Incoming Fax"));
  EXPECT_TRUE(Records().empty());
  EXPECT_TRUE(QDir(QString::fromStdString(File("receive"))).entryList(QDir::Files).isEmpty());
  EXPECT_TRUE(window->ReceiveMode());  // still waiting for the next call
  EXPECT_FALSE(window->FaxInProgress());
}

TEST_F(ReceiveModeTest, APortThatCannotBeOpenedAtStartupLeavesReceiveModeOff) {
  WriteSettings("AtStartup=1");  // COM1 names a modem that does not exist
  driver.Click(QMessageBox::No);  // the first start's reindex question
  QString caption;
  driver.Then([&](QWidget* w) {
    caption = w->windowTitle();
    w->close();
  });
  OpenWindow();
  ASSERT_TRUE(WaitUntil([&] { return !caption.isEmpty(); }, 10000));
  EXPECT_EQ(caption, QStringLiteral("Error Opening Communications Port"));
  EXPECT_FALSE(window->ReceiveMode());
  EXPECT_EQ(ReceiveButton()->text(), QStringLiteral("&Receive"));
}

#endif  // TOLMERA_RECEIVE_SOAK


#ifdef TOLMERA_RECEIVE_SOAK
// The resident memory of this process in kilobytes.
long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

int OpenDescriptors() { return static_cast<int>(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size()); }

// One receive-mode run answering a long series of calls, good and bad, from
// several stations: every fax the sender completed is recorded once with a
// file holding exactly its pages, no failed call leaves a record or a file,
// memory stays flat and no descriptor is lost.
TEST_F(ReceiveModeTest, SoakOfSixtyCallsGoodAndBad) {
  WriteSettings("");
  struct Station {
    std::string ident;
    int pages;
    bool fine;
    std::string fault;  // "" for a good fax
  };
  const std::vector<Station> stations = {
      {"GOOD1", 1, false, ""},           {"GOOD3FINE", 3, true, ""},   {"GOOD5", 5, false, ""},
      {"CARRIER", 2, false, "carrier-loss=2"}, {"DCN", 2, false, "dcn=EOP"}, {"BITS", 1, false, "bit-errors=0.002"},
      {"TRAINING", 1, false, "hangup=DCS"}};
  constexpr int kCallsEach = 9;          // 63 calls in all
  constexpr int kSlotSeconds = 50;       // simulated seconds between two calls (a 5-page call takes about 45)
  const int kinds = static_cast<int>(stations.size());
  std::vector<std::string> args;
  std::map<std::string, std::vector<faxsim::Bitmap>> sent;
  for (int k = 0; k < kinds; ++k) {
    const Station& s = stations[k];
    std::string files;
    for (int p = 1; p <= s.pages; ++p) {
      faxsim::Bitmap b;
      b.resize(1728, s.fine ? 1400 : 500);
      b.fine = s.fine;
      for (int y = 40; y < 120; ++y)
        for (int x = 60 * k + 100; x < 60 * k + 140 + 10 * p; ++x) b.set(x, y);
      const std::string path = File(s.ident + "-" + std::to_string(p) + ".pbm");
      faxsim::writePbm(path, b);
      sent[s.ident].push_back(b);
      files += (files.empty() ? "" : ",") + path;
    }
    const std::string number = std::to_string(700 + k);
    args.insert(args.end(), {"--remote-sender", number + ":" + files + ":100:ident=" + s.ident + ":delay=" +
                                                    std::to_string(2 + k * kSlotSeconds) + ":calls=" +
                                                    std::to_string(kCallsEach) + ":interval=" +
                                                    std::to_string(kinds * kSlotSeconds)});
    if (!s.fault.empty()) args.insert(args.end(), {"--fault", number + ":" + s.fault});
  }
  StartLine(args);
  driver.Click(QMessageBox::No);  // the first start's reindex question
  OpenWindow();
  // Error windows of failed calls are answered as they come (the windows
  // themselves are the failed-call test's case).
  int errorWindows = 0;
  QString lastError;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (auto* w = qobject_cast<TShowErrorForm*>(QApplication::activeModalWidget())) {
      ++errorWindows;
      if (auto* memo = w->findChild<QPlainTextEdit*>()) lastError = memo->toPlainText();
      w->close();
    }
  });
  closer.start(50);

  const int descriptorsBefore = OpenDescriptors();
  ReceiveButton()->click();
  ASSERT_TRUE(window->ReceiveMode());
  ASSERT_TRUE(WaitUntil([&] { return !Records().empty(); }, 60000));
  const long memoryAfterFirst = ResidentKb();

  // Until every station has made all its calls, and the last one is over.
  const int totalCalls = kinds * kCallsEach;
  // The simulator's event log is read at most once a second, so the test
  // leaves the program's main thread to the program.
  std::vector<std::string> events;
  QElapsedTimer sinceRead;
  auto count = [&](const char* type) {
    if (!sinceRead.isValid() || sinceRead.elapsed() > 1000) {
      events = sim->events();
      sinceRead.restart();
    }
    int n = 0;
    for (const std::string& e : events)
      if (e.rfind(std::string("EVENT ") + type + " ", 0) == 0) ++n;
    return n;
  };
  ASSERT_TRUE(WaitUntil([&] { return count("call") >= totalCalls || !window->ReceiveMode(); },
                        (totalCalls * kSlotSeconds / 10 + 120) * 1000))
      << count("call") << " calls made";
  if (!window->ReceiveMode()) {
    // Receive mode ended by itself: show how the modem dialogue went.
    std::string tail;
    const std::vector<std::string> events = sim->events();
    for (std::size_t i = events.size() > 60 ? events.size() - 60 : 0; i < events.size(); ++i) tail += events[i] + "\n";
    FAIL() << "receive mode ended after " << count("call") << " calls: " << lastError.toStdString() << "\n" << tail;
  }
  ASSERT_TRUE(WaitUntil([&] { return !window->FaxInProgress() && count("hangup") >= totalCalls; }, 60000));
  testing::Settle(3000);  // the last call's events
  ASSERT_TRUE(window->ReceiveMode()) << lastError.toStdString();
  ReceiveButton()->click();  // STOP
  ASSERT_FALSE(window->ReceiveMode());

  // What each station got through, by the simulator's account.
  std::map<std::string, int> completed;
  for (const std::string& e : sim->events()) {
    if (e.find("EVENT fax_done") == std::string::npos || faxsim::testing::field(e, "role") != "sender") continue;
    if (faxsim::testing::field(e, "status") == "0") ++completed[stations[std::stoi(faxsim::testing::field(e, "fax")) - 700].ident];
  }
  std::map<std::string, int> recorded;
  TableAccess* log = window->RecTable();
  std::set<std::string> files;
  for (bool ok = log->First(); ok && !log->Eof(); ok = log->Next()) {
    const std::string from = log->Field("FROM");
    const std::string file = log->Field("FAXFILE");
    ++recorded[from];
    EXPECT_TRUE(files.insert(file).second) << "two records name " << file;
    std::vector<faxsim::Bitmap> pages;
    EXPECT_EQ(faxsim::readApf(File("receive/" + file), pages), "") << file;
    if (from == "BITS") continue;  // damaged pages may be taken as they came
    ASSERT_EQ(pages.size(), sent[from].size()) << from << " " << file;
    for (std::size_t p = 0; p < pages.size(); ++p) EXPECT_TRUE(pages[p].bits == sent[from][p].bits) << file << " p" << p + 1;
  }
  for (const Station& s : stations) {
    if (s.fault.empty()) {
      std::string outcomes;
      for (const std::string& e : sim->events())
        if (e.rfind("EVENT fax_done", 0) == 0 && faxsim::testing::field(e, "role") == "sender" &&
            stations[std::stoi(faxsim::testing::field(e, "fax")) - 700].ident == s.ident)
          outcomes += faxsim::testing::field(e, "status") + " ";
      EXPECT_GT(completed[s.ident], 0) << s.ident << ": " << outcomes;
      EXPECT_EQ(recorded[s.ident], completed[s.ident]) << s.ident;
    } else if (s.ident != "BITS") {
      EXPECT_EQ(recorded[s.ident], 0) << s.ident;
    }
  }
  // No file without its record.
  const QStringList left = QDir(QString::fromStdString(File("receive"))).entryList(QDir::Files);
  EXPECT_EQ(static_cast<std::size_t>(left.size()), files.size()) << left.join(' ').toStdString();
  EXPECT_LT(ResidentKb() - memoryAfterFirst, 5 * 1024);
  EXPECT_EQ(OpenDescriptors(), descriptorsBefore);
}
#endif  // TOLMERA_RECEIVE_SOAK

}  // namespace
}  // namespace tlm
