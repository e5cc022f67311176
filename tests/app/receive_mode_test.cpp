// Receive mode in the main window over the real tables and a simulated fax
// line: faxes arrive, are recorded and filed; failures show the error
// window; stopping closes the port.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QDir>
#include <QMessageBox>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

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
std::string Output(const std::string& command) {
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

TEST_F(ReceiveModeTest, TwoFaxesInARowAreRecordedFiledAnnouncedAndPrinted) {
  std::ofstream(File("ring.wav")) << "RIFF";
  WriteSettings("Wav=" + File("ring.wav") + "\nPrintOnReceipt=1\nPrintOnReceiptPrinter=No Such Printer");
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
  EXPECT_TRUE(lines.contains(QStringLiteral("Receiving fax from: XYZ, page 2"))
              || std::any_of(lines.begin(), lines.end(), [](const QString& l) {
                   return l.startsWith(QStringLiteral("Receiving fax from: XYZ, page 2 ("));
                 }))
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
  for (const QString& line : lines) EXPECT_FALSE(line.startsWith(QStringLiteral("Receiving fax,"))) << line.toStdString();
  EXPECT_TRUE(lines.contains(QStringLiteral("Receiving fax"))) << lines.join(QStringLiteral(" / ")).toStdString();
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

}  // namespace
}  // namespace tlm
