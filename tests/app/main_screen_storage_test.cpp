// The main window over the real tables of a data folder: files created at a
// first start, the reindex question after an index file is lost, deletion
// and notes as they reach the files.
#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTest>

#include "app/main_screen.h"
#include "app/maintenance/receive_notes.h"
#include "app/storage_tables.h"
#include "gui_test_support.h"
#include "modal_driver.h"
#include "platform/file_util.h"
#include "storage/log_tables.h"
#include "storage/xb_components.h"

namespace tlm {
namespace {

using testing::App;
using testing::DataFolderScope;
using testing::ModalDriver;
using testing::WaitUntil;

class MainScreenStorageTest : public ::testing::Test {
 protected:
  MainScreenStorageTest() {
    App();
    driver.passThrough.insert("tlm::TRebuildInd");  // closes itself
  }

  std::string File(const std::string& name) const { return data.dir.File(name); }

  std::unique_ptr<TMainScreen> Open(QMessageBox::StandardButton reindexAnswer = QMessageBox::NoButton) {
    if (reindexAnswer != QMessageBox::NoButton) driver.Click(reindexAnswer);
    auto w = std::make_unique<TMainScreen>(*tables, MainScreenHooks{});
    w->show();
    EXPECT_TRUE(WaitUntil([&] { return driver.Idle(); }));
    testing::Settle();
    return w;
  }

  // Adds records through the storage layer, as other windows would.
  void AddOutgoing(const std::string& subject) {
    TXbTable table;
    TXbEngine engine(table);
    ASSERT_TRUE(OpenFaxDBF(table, engine, data.dir.Folder()));
    ASSERT_TRUE(table.Append() && table.SetString("SUBJECT", subject) && table.SetDate("DATESENT", "20240301") &&
                table.Post());
  }
  void AddReceived(const std::string& from, const std::string& file) {
    TXbTable table;
    TXbEngine engine(table);
    ASSERT_TRUE(OpenRecFaxDBF(table, engine, data.dir.Folder()));
    ASSERT_TRUE(table.Append() && table.SetDate("DATEREC", "20240302") && table.SetString("TIMEREC", "09:10") &&
                table.SetString("FROM", from) && table.SetString("FAXFILE", file) && table.Post());
  }

  std::vector<std::string> Tags(LogTable kind) {
    TXbTable table;
    TXbEngine engine(table);
    EXPECT_TRUE(OpenLogDBF(kind, table, engine, data.dir.Folder()));
    std::vector<std::string> present;
    for (const char* tag : {"DATESENT", "DATEND", "SUBJECT", "RECIPIENT", "DATETIME", "FROM", "NAME", "DESCRIPT"}) {
      if (engine.TagArea(tag) != 0) present.push_back(tag);
    }
    return present;
  }

  QPushButton* Button(TMainScreen& w, const char* name) { return w.findChild<QPushButton*>(QString::fromLatin1(name)); }
  QTableView* Grid(TMainScreen& w, const char* name) { return w.findChild<QTableView*>(QString::fromLatin1(name)); }
  void ClickTab(TMainScreen& w, int index) {
    auto* tabs = w.findChild<QTabBar*>(QStringLiteral("TabSet1"));
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
  }

  DataFolderScope data;
  std::unique_ptr<TableProvider> tables = CreateStorageTables();
  ModalDriver driver;
};

TEST_F(MainScreenStorageTest, AFirstStartCreatesBothLogsWithTheirIndexFilesAndShowsTwoEmptyLists) {
  auto w = Open(QMessageBox::No);
  for (const char* file : {"TLM.DBF", "TLM.CDX", "TLMREC.DBF", "TLMREC.CDX"}) {
    EXPECT_TRUE(FileExists(File(file))) << file;
  }
  EXPECT_TRUE(DirectoryExists(File("receive")));
  ASSERT_EQ(driver.boxes.size(), 1u);
  EXPECT_EQ(driver.boxes[0].caption, "REINDEX");
  EXPECT_TRUE(driver.unexpected.empty());
  EXPECT_EQ(Grid(*w, "FaxGrid")->model()->rowCount(), 0);
  EXPECT_EQ(Grid(*w, "RecFaxGrid")->model()->rowCount(), 0);
  EXPECT_TRUE(Button(*w, "Newbutton")->isEnabled());
  EXPECT_TRUE(Button(*w, "ReceiveButton")->isEnabled());
  EXPECT_TRUE(Button(*w, "BitBtn1")->isEnabled());
  for (const char* name : {"EditButton", "DeleteButton", "SendButton", "ViewFaxButton"}) {
    EXPECT_FALSE(Button(*w, name)->isEnabled()) << name;
  }
  EXPECT_TRUE(w->FirstRun());
  w->close();
  EXPECT_EQ(Tags(LogTable::kOutgoing), std::vector<std::string>{"DATESENT"});
  EXPECT_EQ(Tags(LogTable::kReceived), std::vector<std::string>{"DATETIME"});
}

TEST_F(MainScreenStorageTest, ALostIndexFileBringsTheReindexQuestionAndYesRebuildsAllFourTables) {
  AddOutgoing("Kept");
  AddOutgoing("Deleted");
  {
    auto w = Open(QMessageBox::Yes);  // the first start rebuilds at once
    ASSERT_EQ(driver.boxes.size(), 1u);
    w->close();
  }
  EXPECT_EQ(Tags(LogTable::kOutgoing), (std::vector<std::string>{"DATESENT", "DATEND", "SUBJECT", "RECIPIENT"}));
  EXPECT_EQ(Tags(LogTable::kReceived), (std::vector<std::string>{"DATEND", "DATETIME", "FROM"}));
  EXPECT_EQ(Tags(LogTable::kPhone), std::vector<std::string>{"NAME"});
  EXPECT_EQ(Tags(LogTable::kCover), std::vector<std::string>{"DESCRIPT"});

  // A start with all tags asks nothing.
  driver.boxes.clear();
  {
    auto w = Open();
    EXPECT_TRUE(driver.boxes.empty());
    // Mark one record deleted, so the next rebuild has something to pack.
    QTableView* grid = Grid(*w, "FaxGrid");
    ASSERT_EQ(grid->model()->rowCount(), 2);
    for (int row = 0; row < 2; ++row) {
      if (grid->model()->index(row, 6).data().toString() == "Deleted") grid->setCurrentIndex(grid->model()->index(row, 0));
    }
    driver.Click(QMessageBox::Yes);
    Button(*w, "DeleteButton")->click();
    EXPECT_EQ(grid->model()->rowCount(), 1);
    w->close();
  }

  ASSERT_TRUE(std::remove(File("TLM.CDX").c_str()) == 0);
  driver.boxes.clear();
  auto w = Open(QMessageBox::Yes);
  ASSERT_EQ(driver.boxes.size(), 1u);
  EXPECT_EQ(driver.boxes[0].text, "The log files need to be reindexed.\nDo this now?");
  EXPECT_TRUE(driver.unexpected.empty());
  EXPECT_EQ(Grid(*w, "FaxGrid")->model()->rowCount(), 1);
  w->close();
  EXPECT_EQ(Tags(LogTable::kOutgoing), (std::vector<std::string>{"DATESENT", "DATEND", "SUBJECT", "RECIPIENT"}));
  TXbTable table;
  TXbEngine engine(table);
  ASSERT_TRUE(OpenFaxDBF(table, engine, data.dir.Folder()));
  EXPECT_EQ(engine.RecCount(), 1);  // the deleted record was packed away
}

TEST_F(MainScreenStorageTest, DeletingAReceivedFaxRemovesRecordAndFileAndTheNotesReachTheTable) {
  AddReceived("ACME", "FAX0001.APF");
  AddReceived("NORTHWIND", "FAX0002.APF");
  MakeFolders(File("receive"));
  for (const char* name : {"receive/FAX0001.APF", "receive/FAX0002.APF"}) testing::WriteText(File(name), "APF");
  auto w = Open(QMessageBox::No);
  ClickTab(*w, 1);
  QTableView* grid = Grid(*w, "RecFaxGrid");
  ASSERT_EQ(grid->model()->rowCount(), 2);
  int acme = grid->model()->index(0, 2).data().toString() == "ACME" ? 0 : 1;
  grid->setCurrentIndex(grid->model()->index(acme, 0));

  driver.Then([](QWidget* modal) {
    auto* notes = qobject_cast<TEditReceiveNotes*>(modal);
    ASSERT_NE(notes, nullptr);
    // Kept in the table's code page 1252, where the dash and the accent fit.
    QTest::keyClicks(notes->NotesEdit(), "Passed on to sales ");
    notes->NotesEdit()->insert(QString::fromUtf8("\u2013 Caf\u00e9"));  // as pasted
    QTest::keyClick(notes->NotesEdit(), Qt::Key_Return);
  });
  Button(*w, "EditButton")->click();
  EXPECT_TRUE(driver.unexpected.empty());

  acme = grid->model()->index(0, 2).data().toString() == "ACME" ? 0 : 1;
  EXPECT_EQ(grid->model()->index(acme, 4).data().toString(), QString::fromUtf8("Passed on to sales \u2013 Caf\u00e9"));
  grid->setCurrentIndex(grid->model()->index(1 - acme, 0));
  driver.Click(QMessageBox::Yes);
  Button(*w, "DeleteButton")->click();
  ASSERT_EQ(grid->model()->rowCount(), 1);
  EXPECT_FALSE(FileExists(File("receive/FAX0002.APF")));
  EXPECT_TRUE(FileExists(File("receive/FAX0001.APF")));
  w->close();

  TXbTable table;
  TXbEngine engine(table);
  ASSERT_TRUE(OpenRecFaxDBF(table, engine, data.dir.Folder()));
  ASSERT_TRUE(table.First());
  EXPECT_EQ(table.AsString("FROM"), "ACME");
  EXPECT_EQ(table.AsString("NOTES"), "Passed on to sales \x96 Caf\xE9");
  table.Next();
  EXPECT_TRUE(table.Eof());  // the deleted one stays hidden
}

}  // namespace
}  // namespace tlm
