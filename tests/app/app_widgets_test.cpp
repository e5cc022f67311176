// The main window's helpers: help, About, message boxes, placement, date
// texts and the on-demand grid model.
#include <gtest/gtest.h>

#include <QDate>
#include <QLabel>
#include <QLocale>
#include <QTextBrowser>
#include <QTime>
#include <atomic>
#include <thread>

#include "app/date_text.h"
#include "app/help_window.h"
#include "app/log_table_model.h"
#include "app/maintenance/rebuild_indexes.h"
#include "app/message_boxes.h"
#include "app/qt_main_thread_bridge.h"
#include "app/splash_form.h"
#include "app/window_placement.h"
#include "fake_tables.h"
#include "gui_test_support.h"
#include "modal_driver.h"
#include "platform/profile_file.h"

namespace tlm {
namespace {

using testing::App;

TEST(HelpWindow, OpensTheMainWindowsTopicsByNumber) {
  App();
  for (int topic : {1009, 911, 1025}) {
    ASSERT_FALSE(HelpTopicPath(topic).isEmpty()) << topic;
    THelpWindow* w = ShowHelpTopic(nullptr, topic);
    EXPECT_EQ(w->Topic(), topic);
    EXPECT_TRUE(w->isVisible());
    EXPECT_GT(w->Browser()->toPlainText().size(), 200) << topic;
  }
  THelpWindow* w = ShowHelpTopic(nullptr, 1009);
  EXPECT_EQ(ShowHelpTopic(nullptr, 911), w);  // one window, reused
  EXPECT_TRUE(w->Browser()->toPlainText().contains("Frequently Asked Questions"));
  EXPECT_FALSE(w->ShowTopic(4242));
  EXPECT_TRUE(w->Browser()->toPlainText().contains("4242"));
  w->close();
}

TEST(SplashForm, ShowsTheVersionAndEdition) {
  App();
  TSplashform about;
  EXPECT_EQ(about.windowTitle(), "About Tolmera");
  EXPECT_EQ(about.VersionLabel()->text(), "Version 2.9q");
  EXPECT_EQ(about.EditionLabel()->text(), "32-bit version");
}

TEST(MessageBoxes, CarriageReturnsBreakLinesAndDeleteQuestionsDefaultToNo) {
  App();
  EXPECT_EQ(WithLineBreaks("a\rb\r\nc\nd"), "a\nb\nc\nd");
  testing::ModalDriver driver;
  driver.Click(QMessageBox::Ok);
  ShowInformation(nullptr, "one\rtwo");
  driver.Click(QMessageBox::Yes);
  EXPECT_TRUE(AskYesNo(nullptr, "Sure?", "VERIFY"));
  driver.Click(QMessageBox::No);
  EXPECT_FALSE(AskYesNoDefaultNo(nullptr, "Gone?", "Delete"));
  ASSERT_EQ(driver.boxes.size(), 3u);
  EXPECT_EQ(driver.boxes[0].caption, "Information");
  EXPECT_EQ(driver.boxes[0].text, "one\ntwo");
  EXPECT_EQ(driver.boxes[0].icon, QMessageBox::Information);
  EXPECT_EQ(driver.boxes[1].defaultButton, QMessageBox::Yes);
  EXPECT_EQ(driver.boxes[2].defaultButton, QMessageBox::No);
  EXPECT_EQ(driver.boxes[2].icon, QMessageBox::Question);
}

TEST(WindowPlacement, DialogsAreCentredOverTheMainWindow) {
  App();
  testing::DataFolderScope data;
  QWidget main;
  main.setGeometry(100, 100, 600, 400);
  main.show();
  SetMainWindow(&main);
  QWidget dialog;
  dialog.resize(200, 100);
  CenterWindow(&dialog);
  const QRect frame = main.frameGeometry();
  EXPECT_EQ(dialog.pos(), QPoint(frame.left() + (frame.width() - 200) / 2, frame.top() + (frame.height() - 100) / 2));

  // A stored rectangle comes back; saving writes the window's class section.
  ProfileFile ini(data.dir.File("TLM.INI"));
  ini.WriteInteger("TFaxViewer_Placement", "Left", 10);
  ini.WriteInteger("TFaxViewer_Placement", "Top", 20);
  ini.WriteInteger("TFaxViewer_Placement", "Right", 310);
  ini.WriteInteger("TFaxViewer_Placement", "Bottom", 220);
  ini.Save();
  QWidget viewer;
  RestorePlacement(&viewer, "TFaxViewer");
  EXPECT_EQ(viewer.geometry(), QRect(10, 20, 300, 200));
  viewer.setGeometry(50, 60, 400, 300);
  SavePlacement(&viewer, "TFaxViewer");
  const ProfileFile saved(data.dir.File("TLM.INI"));
  EXPECT_EQ(saved.ReadInteger("TFaxViewer_Placement", "Right", 0), 450);
  EXPECT_EQ(saved.ReadInteger("TFaxViewer_Placement", "Bottom", 0), 360);
  EXPECT_FALSE(saved.ReadBool("TFaxViewer_Placement", "Maximized", true));
  SetMainWindow(nullptr);
}

TEST(DateText, FormatsSentAndReceivedRecords) {
  App();
  const QLocale locale = QLocale::system();
  const QString date = locale.toString(QDate(2024, 3, 5), QLocale::ShortFormat);
  const QString time = locale.toString(QTime(11, 30), QLocale::ShortFormat);
  EXPECT_EQ(DateAtTimeText("20240305", "11:30"), date + " at " + time);
  EXPECT_EQ(DateAtTimeText("", "11:30"), "unknown at " + time);
  EXPECT_EQ(DateAtTimeText("20240305", "late"), date + " at late");

  testing::FakeTables tables("/tmp/");
  tables.fax->Append({{"SENT", "F"}, {"DATESENT", "20240305"}, {"TIMESENT", "11:30"}});
  tables.fax->Append({{"SENT", "T"}, {"DATESENT", "20240305"}, {"TIMESENT", "11:30"}});
  auto fax = tables.OpenFaxLog();
  EXPECT_EQ(SentDateText(*fax), "not sent");
  fax->Go(2);
  EXPECT_EQ(SentDateText(*fax), date + " at " + time);
  tables.rec->Append({{"DATEREC", "20240305"}, {"TIMEREC", "11:30"}});
  auto rec = tables.OpenRecFaxLog();
  EXPECT_EQ(ReceivedDateText(*rec), date + " at " + time);
}

TEST(LogTableModel, ReadsRowsOnDemandAndKeepsTheTablesCurrentRecord) {
  App();
  testing::FakeTables tables("/tmp/");
  for (int i = 1; i <= 50; ++i) {
    tables.rec->Append({{"DATEREC", "202401" + QString::number(10 + i % 20).toStdString()},
                        {"FROM", "Station " + std::to_string(i) + "   "},
                        {"PAGES", " 3"}});
  }
  tables.rec->deleted[4] = true;
  auto rec = tables.OpenRecFaxLog();
  LogTableModel model({{"Deleted?", "", LogColumn::Kind::kIsDeleted, 3},
                       {"From", "FROM", LogColumn::Kind::kText, 20},
                       {"Pages", "PAGES", LogColumn::Kind::kNumber, 2},
                       {"Date", "DATEREC", LogColumn::Kind::kDate, 10}});
  model.SetTable(rec.get());
  EXPECT_EQ(model.rowCount(), 49);  // the marked record stays hidden
  model.SetCurrentRow(10);
  const int current = rec->RecNo();
  EXPECT_EQ(model.index(40, 1).data().toString(), "Station 42");
  EXPECT_EQ(model.index(40, 2).data().toString(), "3");
  EXPECT_EQ(model.index(40, 0).data().toString(), "No ");
  EXPECT_EQ(model.index(0, 3).data().toString(),
            QLocale::system().toString(QDate(2024, 1, 11), QLocale::ShortFormat));
  EXPECT_EQ(rec->RecNo(), current);
  EXPECT_EQ(model.headerData(10, Qt::Vertical, Qt::DisplayRole).toString(), QString::fromUtf8("\u25B6"));
  EXPECT_EQ(model.headerData(11, Qt::Vertical, Qt::DisplayRole).toString(), "");
  EXPECT_EQ(model.RowOfRecord(rec->RecNo()), 10);
}

TEST(QtMainThreadBridge, RunsPostedAndSentWorkOnTheMainThreadAndDropsWhatTimedOut) {
  App();
  QtMainThreadBridge bridge;
  const std::thread::id mainThread = std::this_thread::get_id();
  std::atomic<bool> sentOnMain{false}, sendResult{false}, postedOnMain{false};
  std::thread worker([&] {
    sendResult = bridge.Send([&] { sentOnMain = std::this_thread::get_id() == mainThread; }, 5000);
    bridge.Post([&] { postedOnMain = std::this_thread::get_id() == mainThread; });
  });
  EXPECT_TRUE(testing::WaitUntil([&] { return postedOnMain.load(); }));
  worker.join();
  EXPECT_TRUE(sendResult);
  EXPECT_TRUE(sentOnMain);

  // The main thread is busy: the send times out and never runs later.
  std::atomic<bool> lateRun{false};
  bool timedOutResult = true;
  std::thread impatient([&] { timedOutResult = bridge.Send([&] { lateRun = true; }, 30); });
  impatient.join();
  EXPECT_FALSE(timedOutResult);
  testing::Settle(30);
  EXPECT_FALSE(lateRun);

  // On the main thread itself a send runs at once.
  bool direct = false;
  EXPECT_TRUE(bridge.Send([&] { direct = true; }, 0));
  EXPECT_TRUE(direct);
}

TEST(LogTableModel, WalksOnlyAsFarAsTheGridHasLooked) {
  App();
  testing::FakeTables tables("/tmp/");
  for (int i = 0; i < 5000; ++i) tables.fax->Append({{"SUBJECT", "Fax " + std::to_string(i)}});
  auto fax = tables.OpenFaxLog();
  auto* table = static_cast<testing::FakeTable*>(fax.get());
  LogTableModel model({{"Subject", "SUBJECT", LogColumn::Kind::kText, 20}});
  model.SetTable(fax.get());
  EXPECT_EQ(model.rowCount(), 5000);
  EXPECT_LT(model.KnownRows(), 500);
  EXPECT_LT(table->moves, 500);
  EXPECT_EQ(model.index(4999, 0).data().toString(), "Fax 4999");  // a jump to the end walks there
  EXPECT_EQ(model.KnownRows(), 5000);
  EXPECT_EQ(model.index(2500, 0).data().toString(), "Fax 2500");
  EXPECT_EQ(fax->RecNo(), 1);  // the grid's record stays current

  // A record that drops out unseen leaves the list one short of its count;
  // the walk finds the end and the list is cut afterwards.
  model.Refresh();
  tables.fax->deleted[4000] = true;
  EXPECT_EQ(model.index(4998, 0).data().toString(), "Fax 4999");
  EXPECT_EQ(model.index(4999, 0).data().toString(), "");
  EXPECT_EQ(model.rowCount(), 5000);
  testing::Settle();
  EXPECT_EQ(model.rowCount(), 4999);
}

TEST(RebuildIndexes, NamesEachStepPacksRebuildsAndClosesItself) {
  App();
  testing::FakeTables tables("/tmp/");
  tables.fax->Append({{"SUBJECT", "a"}});
  tables.fax->Append({{"SUBJECT", "b"}});
  tables.fax->deleted[0] = true;
  tables.rec->Append({{"FROM", "x"}});
  tables.rec->deleted[0] = true;
  tables.cover->failOpen = true;  // the rebuild ends after the phone book
  auto fax = tables.OpenFaxLog();
  auto rec = tables.OpenRecFaxLog();
  TRebuildInd rebuild(*fax, *rec, tables);
  EXPECT_EQ(rebuild.exec(), QDialog::Accepted);
  EXPECT_EQ(rebuild.windowTitle(), "Rebuild Indexes");
  EXPECT_EQ(rebuild.StepsShown().join("|").toStdString(),
            "Removing FAX file records marked for deletion|Rebuilding FAX file indexes|"
            "Removing Received FAX records marked for deletion|Rebuilding Received FAX indexes|"
            "Removing PHONE file records marked for deletion|Rebuilding PHONE file indexes");
  EXPECT_EQ(tables.fax->records.size(), 1u);
  EXPECT_EQ(tables.rec->records.size(), 0u);
  EXPECT_EQ(tables.phone->tags.size(), 1u);
  EXPECT_EQ(fax->Order(), fax->TagNumber("DATESENT"));
  EXPECT_EQ(rec->Order(), rec->TagNumber("DATETIME"));
}

}  // namespace
}  // namespace tlm
