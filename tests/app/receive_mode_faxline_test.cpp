// Receive mode from start-up with no clicks, over faxline's emulated Class 1
// modem (real modem audio, real time): a spandsp fax machine calls with two
// fine pages; the fax is recorded in the received log (read back with
// python3-dbf) and its file holds exactly the pages that were sent.
#include <gtest/gtest.h>

#include <QDate>
#include <QMessageBox>
#include <fstream>
#include <regex>

#include "app/main_screen.h"
#include "app/maintenance/maintenance_hooks.h"
#include "app/receive/receive_hooks.h"
#include "app/storage_tables.h"
#include "bitmap.h"
#include "compose/compose_hooks.h"
#include "fax/faxline_process.h"
#include "gui_test_support.h"
#include "modal_driver.h"
#include "send/send_hooks.h"
#include "setup/preferences_hooks.h"
#include "setup/troubleshooter_hooks.h"
#include "storage/log_tables.h"
#include "storage/xb_components.h"
#include "support/peer.h"
#include "viewer/viewer_hooks.h"

namespace tlm {
namespace {

using faxsim::Bitmap;
using testing::WaitUntil;

// A fine page with its number drawn as blocks and a few ruled lines, so that
// every page differs and has runs of many lengths.
Bitmap FinePage(int number) {
  Bitmap page;
  page.resize(1728, 900);
  page.fine = true;
  for (int y = 60; y < 200; ++y)
    for (int x = 100 + 90 * number; x < 160 + 90 * number; ++x) page.set(x, y);
  for (int y = 300; y < 800; y += 37 + number)
    for (int x = 50 + 7 * (y % 11); x < 1650 - 13 * (y % 5); ++x) page.set(x, y);
  return page;
}

int RecordCount(TableAccess& log) {
  int n = 0;
  const int keep = log.RecNo();
  for (bool ok = log.First(); ok && !log.Eof(); ok = log.Next()) ++n;
  log.Go(keep);
  return n;
}

TEST(ReceiveModeFaxline, AFaxArrivesInReceiveModeFromStartUpWithNoClicks) {
  REQUIRE_PEER(faxsim::testing::haveEfax(), "efax and libtiff's tools");
  testing::App();
  testing::DataFolderScope data;
  testing::TempDir line;

  // The program as its user left it: receive mode at start-up, COM1 mapped to
  // the modem, the log files indexed (no reindex question).
  {
    std::ofstream ini(data.dir.File("TLM.INI"));
    ini << "[Modem]\nComPort=0\nFaxClassReceive=1\n[Receive]\nAtStartup=1\nAnswerOnRing=1\n[Ports]\nCOM1="
        << line.File("modem") << "\n";
  }
  for (LogTable kind : {LogTable::kOutgoing, LogTable::kReceived}) {
    TXbTable table;
    TXbEngine engine(table);
    ASSERT_TRUE(kind == LogTable::kOutgoing ? OpenFaxDBF(table, engine, data.dir.Folder())
                                            : OpenRecFaxDBF(table, engine, data.dir.Folder()));
    ASSERT_TRUE(RebuildLogIndexes(kind, engine));
  }

  // spandsp calls the modem 5 s after the line is up; the caller rings for a
  // minute, so the program may open the port at any time before that.
  const std::string sent = testing::WriteSenderTiff(line.Folder(), {FinePage(1), FinePage(2)}, true);
  ASSERT_FALSE(sent.empty());
  testing::FaxlineProcess faxline(line.Folder(), "--modem " + line.File("modem") + "=100 --sender 777:" + sent +
                                                     ":100:5:ident=SPANDSP:ecm=0");
  ASSERT_TRUE(faxline.Started()) << testing::ReadText(line.File("stderr"));

  // The main window with the program's hooks; anything modal is unexpected.
  testing::ModalDriver driver;
  std::vector<QString> printed, sounds;
  MainScreenHooks hooks;
  InstallMaintenanceHooks(hooks);
  InstallViewerHooks(hooks);
  InstallSendHooks(hooks);
  InstallComposeHooks(hooks);
  InstallPreferencesHooks(hooks);
  InstallHelpHooks(hooks);
  InstallReceiveHooks(hooks, {[&](QWidget*, const QString& file, const QString&) { printed.push_back(file); },
                              [&](const QString& wav) { sounds.push_back(wav); }});
  std::unique_ptr<TableProvider> tables = CreateStorageTables();
  auto window = std::make_unique<TMainScreen>(*tables, hooks);
  window->show();
  ASSERT_TRUE(WaitUntil([&] { return window->ReceiveMode(); }, 10000));
  EXPECT_FALSE(faxline.WaitFor({"EVENT port", "state=open"}, 10).empty());

  // The call: answered, two pages, recorded.
  ASSERT_TRUE(WaitUntil([&] { return RecordCount(*window->RecTable()) == 1 && !window->FaxInProgress(); }, 240000))
      << faxline.Events();
  const std::string done = faxline.WaitFor({"EVENT phase_e", "fax=777"}, 30);
  EXPECT_EQ(faxsim::testing::field(done, "status"), "0") << done;
  EXPECT_EQ(faxsim::testing::field(done, "pages"), "2") << done;
  EXPECT_TRUE(window->ReceiveMode());  // waiting for the next call
  EXPECT_TRUE(driver.unexpected.empty()) << driver.unexpected.front();
  EXPECT_TRUE(driver.boxes.empty());
  EXPECT_TRUE(printed.empty());  // print on receipt is off
  EXPECT_TRUE(sounds.empty());   // and there is no sound file
  window->close();
  window.reset();
  tables.reset();

  // The record, read by python3-dbf.
  const std::string script = "import dbf\n"
                             "t = dbf.Table('" + data.dir.File("TLMREC.DBF") + "')\n"
                             "t.open()\n"
                             "for r in t:\n"
                             "    print(r['from'].strip(), str(r['pages']).strip(), r['faxfile'].strip(),\n"
                             "          r['daterec'].strftime('%Y%m%d'), r['timerec'].strip(), sep='|')\n";
  testing::WriteText(line.File("check.py"), script);
  ASSERT_EQ(faxsim::testing::run("/usr/bin/python3 " + line.File("check.py") + " > " + line.File("check.out") +
                                     " 2>&1", 60),
            0)
      << testing::ReadText(line.File("check.out"));
  const std::string record = testing::ReadText(line.File("check.out"));
  const std::string today = QDate::currentDate().toString(QStringLiteral("yyyyMMdd")).toStdString();
  EXPECT_TRUE(std::regex_match(record, std::regex("SPANDSP\\|2\\|FAX0001\\.APF\\|" + today +
                                                  "\\|([01][0-9]|2[0-3]):[0-5][0-9]\n")))
      << record;

  // The file's pages are the sent pages, at fine resolution.
  std::vector<Bitmap> got;
  ASSERT_EQ(faxsim::readApf(data.dir.File("receive/FAX0001.APF"), got), "");
  ASSERT_EQ(got.size(), 2u);
  for (int i = 0; i < 2; ++i) {
    Bitmap expected;
    ASSERT_TRUE(faxsim::testing::tiffPageToBitmap(sent, i, expected)) << "page " << i + 1;
    EXPECT_TRUE(got[std::size_t(i)].fine) << "page " << i + 1;
    ASSERT_EQ(got[std::size_t(i)].width, expected.width) << "page " << i + 1;
    ASSERT_EQ(got[std::size_t(i)].height, expected.height) << "page " << i + 1;
    EXPECT_TRUE(got[std::size_t(i)].bits == expected.bits) << "page " << i + 1;
  }
}

}  // namespace
}  // namespace tlm
