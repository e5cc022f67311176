// The main window driven as a user drives it, over in-memory tables.
#include "app/main_screen.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <QToolTip>

#include "app/maintenance/receive_notes.h"
#include "fake_tables.h"
#include "gui_test_support.h"
#include "modal_driver.h"
#include "platform/profile_file.h"

namespace tlm {
namespace {

using testing::App;
using testing::DataFolderScope;
using testing::FakeTables;
using testing::ModalDriver;
using testing::WaitUntil;

const QString kReceiveModeText = QStringLiteral(
    "You are in Fax Receive mode. This operation cannot be done\nwhile in Fax Receive mode. Click the Stop "
    "button to end\nFax Receive mode");

// Counts what each installed hook was asked to do.
struct HookLog {
  std::map<std::string, int> calls;
  std::vector<std::string> order;
  MainScreenHooks Hooks() {
    MainScreenHooks h;
    auto count = [this](const char* name) {
      return [this, name](TMainScreen&) {
        ++calls[name];
        order.push_back(name);
      };
    };
    h.quickSetup = count("quickSetup");
    h.newFax = [this](TMainScreen&, bool clone) { ++calls[clone ? "clone" : "new"]; };
    h.editFax = count("editFax");
    h.sendFax = count("sendFax");
    h.receiveButton = [this](TMainScreen& w) {
      ++calls["receive"];
      order.push_back("receive");
      w.SetReceiveMode(!w.ReceiveMode());
    };
    h.preferences = count("preferences");
    h.phoneBook = count("phoneBook");
    h.coverSheets = count("coverSheets");
    h.faxLogCleanup = count("cleanup");
    h.problemSolver = count("problemSolver");
    h.configurationInformation = count("configuration");
    h.viewFax = [this](TMainScreen&, const QString&, const QString& description) {
      ++calls["view"];
      lastDescription = description;
    };
    return h;
  }
  QString lastDescription;
};

class MainScreenTest : public ::testing::Test {
 protected:
  MainScreenTest() : tables(data.dir.Folder()) { App(); }

  void AddOutgoing(const std::string& subject, const std::string& date, const std::string& time, bool sent) {
    tables.fax->Append({{"SUBJECT", subject},
                        {"SENT", sent ? "T" : "F"},
                        {"DATESENT", date},
                        {"TIMESENT", time},
                        {"RECIPIENT", "Ann " + subject},
                        {"PHONE", "555-0100"},
                        {"PAGES", "2"}});
  }
  void AddReceived(const std::string& from, const std::string& date, const std::string& file) {
    tables.rec->Append(
        {{"DATEREC", date}, {"TIMEREC", "10:15"}, {"FROM", from}, {"PAGES", "1"}, {"FAXFILE", file}, {"NOTES", ""}});
  }

  // Opens the main window; `reindexAnswer` answers the reindex question
  // when the tables lack "DATEND".
  std::unique_ptr<TMainScreen> Open(QMessageBox::StandardButton reindexAnswer = QMessageBox::NoButton) {
    if (reindexAnswer != QMessageBox::NoButton) driver.Click(reindexAnswer);
    auto w = std::make_unique<TMainScreen>(tables, hooks.Hooks());
    w->show();
    EXPECT_TRUE(WaitUntil([&] { return driver.Idle(); }));
    testing::Settle();
    return w;
  }

  QPushButton* Button(TMainScreen& w, const char* name) { return w.findChild<QPushButton*>(QString::fromLatin1(name)); }
  QAction* Item(TMainScreen& w, const char* name) { return w.findChild<QAction*>(QString::fromLatin1(name)); }
  QTableView* Grid(TMainScreen& w, const char* name) { return w.findChild<QTableView*>(QString::fromLatin1(name)); }
  void ClickTab(TMainScreen& w, int index) {
    auto* tabs = w.findChild<QTabBar*>(QStringLiteral("TabSet1"));
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
  }

  DataFolderScope data;
  FakeTables tables;
  HookLog hooks;
  ModalDriver driver;
};

TEST_F(MainScreenTest, FirstStartShowsTwoEmptyListsWithOnlyNewReceiveHelpAndPreferencesUsable) {
  auto w = Open(QMessageBox::No);
  ASSERT_EQ(driver.boxes.size(), 1u);
  EXPECT_EQ(driver.boxes[0].caption, "REINDEX");
  EXPECT_EQ(driver.boxes[0].text, "The log files need to be reindexed.\nDo this now?");
  EXPECT_EQ(driver.boxes[0].defaultButton, QMessageBox::Yes);
  EXPECT_TRUE(driver.unexpected.empty());

  EXPECT_EQ(w->windowTitle(), "Tolmera ");
  EXPECT_TRUE(w->FirstRun());
  EXPECT_EQ(w->CurrentSettings().comPort, 0);
  EXPECT_EQ(hooks.calls["quickSetup"], 1);
  EXPECT_EQ(tables.engineProperties[1009], 0);
  EXPECT_TRUE(QFileInfo(w->DestinationDir()).isDir());
  EXPECT_TRUE(w->DestinationDir().endsWith("/receive/"));

  for (const char* name : {"Newbutton", "ReceiveButton", "BitBtn1", "Exitbutton", "ProblemSolverButton"}) {
    EXPECT_TRUE(Button(*w, name)->isEnabled()) << name;
  }
  for (const char* name : {"EditButton", "DeleteButton", "SendButton", "ViewFaxButton"}) {
    EXPECT_FALSE(Button(*w, name)->isEnabled()) << name;
  }
  for (const char* name : {"Edit Fax", "Delete Fax", "Clone Fax", "Send Fax", "View/Print Fax"}) {
    EXPECT_FALSE(Item(*w, name)->isEnabled()) << name;
  }
  for (const char* name : {"New Fax", "Receive Faxes", "Contents", "Frequently Asked Questions (FAQ)",
                           "Technical Support", "About", "Preferences"}) {
    EXPECT_TRUE(Item(*w, name)->isEnabled()) << name;
  }
  EXPECT_FALSE(Grid(*w, "FaxGrid")->isEnabled());
  EXPECT_FALSE(Grid(*w, "RecFaxGrid")->isEnabled());
  EXPECT_EQ(Grid(*w, "FaxGrid")->model()->rowCount(), 0);
}

TEST_F(MainScreenTest, LayoutCarriesTheCaptionsHintsMenusAndColumns) {
  tables.MarkRebuilt();
  auto w = Open();
  auto* tabs = w->findChild<QTabBar*>(QStringLiteral("TabSet1"));
  ASSERT_EQ(tabs->count(), 2);
  EXPECT_EQ(tabs->tabText(0), "Outgoing");
  EXPECT_EQ(tabs->tabText(1), "Incoming");

  const std::vector<std::tuple<const char*, const char*, const char*>> buttons = {
      {"Newbutton", "&New", "Create a new fax"},
      {"EditButton", "&Edit", "Edit the currently selected fax"},
      {"DeleteButton", "&Delete", "Delete  the currently selected fax"},
      {"SendButton", "&Send", "Send the currently selected fax"},
      {"ViewFaxButton", "&View", "See a preview of and optionally  print the fax"},
      {"ReceiveButton", "&Receive", "Start receiving faxes"},
      {"ProblemSolverButton", "Problem Solver", ""},
      {"BitBtn1", "Preferences", ""},
      {"Exitbutton", "E&xit", "Exit the program"}};
  for (const auto& [name, caption, hint] : buttons) {
    EXPECT_EQ(Button(*w, name)->text(), caption);
    EXPECT_EQ(Button(*w, name)->toolTip(), hint);
  }

  QStringList menus;
  for (QAction* top : w->menuBar()->actions()) {
    menus << top->text() + ":";
    for (QAction* a : top->menu()->actions()) {
      menus << (a->isSeparator() ? QStringLiteral("-") : a->text() + "|" + a->shortcut().toString() + "|" + a->toolTip());
    }
  }
  EXPECT_EQ(menus.join("\n").toStdString(),
            "File:\n&New Fax||Create a new fax\n&Edit Fax||Edit Fax\n"
            "Clone Fax||Clone the currently selected fax\nDelete Fax||Delete Fax\n"
            "Fax Log Cleanup||Fax Log Cleanup\n-\nSend Fax|Ctrl+S|Send Fax\nReceive Faxes|Ctrl+R|Receive Faxes\n"
            "View/Print Fax|Ctrl+V|See a preview of and optionally  print the fax\n-\n"
            "C&over Sheets||Create or modify cover page templates\n"
            "&Phone Book||Create or modify phone book entries\nRebuild &Indexes||Do this every 2 weeks \n"
            "P&references||Set Tolmera preferences\n-\nE&xit|Ctrl+X|Exit to Windows\n"
            "Help:\nContents||Contents\nFrequently Asked Questions (FAQ)||Frequently Asked Questions (FAQ)\n"
            "Configuration Information||Configuration Information\nTechnical Support||Technical Support\n"
            "About||About\n-\nProblem Solver||Problem Solver\nVisit Our Internet Website||Visit Our Internet Website\n-\n"
            "Show Hints||Show Hints");
  EXPECT_TRUE(Item(*w, "Show Hints")->isChecked());

  auto titles = [](QTableView* grid) {
    QStringList t;
    for (int i = 0; i < grid->model()->columnCount(); ++i) t << grid->model()->headerData(i, Qt::Horizontal).toString();
    return t.join(",").toStdString();
  };
  EXPECT_EQ(titles(Grid(*w, "FaxGrid")), "Sent,Date Sent,Time Sent,Recipient,Phone,Pages,Subject,Last Attempt");
  EXPECT_EQ(titles(Grid(*w, "RecFaxGrid")), "Date Rec'd,Time Rec'd,From,Pages,Notes,Fax File");
  EXPECT_TRUE(Grid(*w, "FaxGrid")->verticalHeader()->isVisible());  // the row indicator
  EXPECT_EQ(Grid(*w, "FaxGrid")->editTriggers(), QAbstractItemView::NoEditTriggers);
  QStringList panels;
  for (QLabel* l : w->findChildren<QLabel*>(QStringLiteral("PanelTitle"))) panels << l->text();
  panels.sort();
  EXPECT_EQ(panels.join(",").toStdString(), "Incoming Faxes,Outgoing Faxes");
}

TEST_F(MainScreenTest, SetButtonsFollowsTheShownTabAndTheRecordsOfEachLog) {
  tables.MarkRebuilt();
  AddOutgoing("Older", "20240102", "09:00", true);
  AddOutgoing("Newer", "20240305", "11:30", false);
  auto w = Open();
  QTableView* faxGrid = Grid(*w, "FaxGrid");
  // With records the default tag is taken: newest first, the first row current.
  EXPECT_EQ(w->FaxTable()->Order(), w->FaxTable()->TagNumber("DATESENT"));
  ASSERT_EQ(faxGrid->model()->rowCount(), 2);
  EXPECT_EQ(faxGrid->model()->index(0, 6).data().toString(), "Newer");
  EXPECT_EQ(faxGrid->model()->index(0, 0).data().toString(), "No ");
  EXPECT_EQ(faxGrid->model()->index(1, 0).data().toString(), "Yes");
  EXPECT_EQ(faxGrid->model()->headerData(0, Qt::Vertical).toString(), QString::fromUtf8("\u25B6"));
  for (const char* name : {"Newbutton", "EditButton", "DeleteButton", "SendButton", "ViewFaxButton"}) {
    EXPECT_TRUE(Button(*w, name)->isEnabled()) << name;
  }
  EXPECT_TRUE(Item(*w, "Clone Fax")->isEnabled());
  EXPECT_TRUE(faxGrid->isEnabled());
  EXPECT_FALSE(Grid(*w, "RecFaxGrid")->isEnabled());

  // The incoming tab is empty: New, Edit, Delete and View go; Send stays.
  ClickTab(*w, 1);
  EXPECT_FALSE(w->OutgoingTabShown());
  for (const char* name : {"Newbutton", "EditButton", "DeleteButton", "ViewFaxButton"}) {
    EXPECT_FALSE(Button(*w, name)->isEnabled()) << name;
  }
  EXPECT_FALSE(Item(*w, "Clone Fax")->isEnabled());
  EXPECT_TRUE(Button(*w, "SendButton")->isEnabled());
  EXPECT_TRUE(Item(*w, "Send Fax")->isEnabled());

  // The keyboard switches tabs too.
  auto* tabs = w->findChild<QTabBar*>(QStringLiteral("TabSet1"));
  tabs->setFocus();
  QTest::keyClick(tabs, Qt::Key_Left);
  EXPECT_TRUE(w->OutgoingTabShown());
  EXPECT_TRUE(Button(*w, "EditButton")->isEnabled());
  ClickTab(*w, 1);

  // Receive mode takes "Receive Faxes" away.
  w->SetReceiveMode(true);
  EXPECT_FALSE(Item(*w, "Receive Faxes")->isEnabled());
  w->SetReceiveMode(false);
  EXPECT_TRUE(Item(*w, "Receive Faxes")->isEnabled());
}

TEST_F(MainScreenTest, AnEmptiedLogDropsItsOrderAndARefilledOneTakesItsDefaultTagAgain) {
  tables.MarkRebuilt();
  AddOutgoing("Only", "20240102", "09:00", false);
  auto w = Open();
  EXPECT_NE(w->FaxTable()->Order(), 0);
  driver.Click(QMessageBox::Yes);
  Button(*w, "DeleteButton")->click();
  EXPECT_EQ(w->FaxTable()->Order(), 0);
  EXPECT_FALSE(Button(*w, "SendButton")->isEnabled());

  tables.fax->Append({{"SUBJECT", "Again"}, {"DATESENT", "20240201"}});
  w->ReopenFaxLog();
  w->SetButtons();
  EXPECT_EQ(w->FaxTable()->Order(), w->FaxTable()->TagNumber("DATESENT"));
  EXPECT_EQ(w->FaxTable()->Field("SUBJECT"), "Again");
  EXPECT_TRUE(Button(*w, "SendButton")->isEnabled());
}

TEST_F(MainScreenTest, DeleteOnTheOutgoingTabAsksWithNoAsDefaultAndDropsTheRecord) {
  tables.MarkRebuilt();
  AddOutgoing("Quarterly report", "20240102", "09:00", true);
  AddOutgoing("Invoice", "20240305", "11:30", false);
  auto w = Open();
  QTableView* grid = Grid(*w, "FaxGrid");
  grid->setCurrentIndex(grid->model()->index(1, 0));  // the older one

  driver.Click(QMessageBox::No);
  Button(*w, "DeleteButton")->click();
  ASSERT_EQ(driver.boxes.size(), 1u);
  EXPECT_EQ(driver.boxes[0].caption, "Delete");
  EXPECT_EQ(driver.boxes[0].text, "Delete the current fax?\n(subject: \"Quarterly report\")");
  EXPECT_EQ(driver.boxes[0].icon, QMessageBox::Question);
  EXPECT_EQ(driver.boxes[0].defaultButton, QMessageBox::No);
  EXPECT_EQ(grid->model()->rowCount(), 2);

  driver.Click(QMessageBox::Yes);
  Button(*w, "DeleteButton")->click();
  ASSERT_EQ(grid->model()->rowCount(), 1);
  EXPECT_EQ(grid->model()->index(0, 6).data().toString(), "Invoice");
  EXPECT_TRUE(tables.fax->deleted[0]);
  // Not guarded by receive mode.
  w->SetReceiveMode(true);
  driver.Click(QMessageBox::No);
  Button(*w, "DeleteButton")->click();
  ASSERT_EQ(driver.boxes.size(), 3u);
  EXPECT_EQ(driver.boxes[2].caption, "Delete");
  EXPECT_TRUE(driver.unexpected.empty());
}

TEST_F(MainScreenTest, DeleteOnTheIncomingTabRemovesTheRecordAndItsFaxFile) {
  tables.MarkRebuilt();
  AddReceived("ACME SALES", "20240110", "FAX0001.APF");
  AddReceived("Other", "20240111", "FAX0002.APF");
  auto w = Open();
  const QString file1 = w->DestinationDir() + "FAX0001.APF";
  const QString file2 = w->DestinationDir() + "FAX0002.APF";
  for (const QString& f : {file1, file2}) {
    QFile out(f);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("APF");
  }
  ClickTab(*w, 1);
  QTableView* grid = Grid(*w, "RecFaxGrid");
  ASSERT_EQ(grid->model()->rowCount(), 2);
  grid->setCurrentIndex(grid->model()->index(1, 0));  // ACME, the older

  driver.Click(QMessageBox::Yes);
  Item(*w, "Delete Fax")->trigger();
  ASSERT_EQ(driver.boxes.size(), 1u);
  EXPECT_EQ(driver.boxes[0].text, "Delete the current fax?\n(from: \"ACME SALES\")");
  EXPECT_EQ(driver.boxes[0].defaultButton, QMessageBox::No);
  EXPECT_EQ(grid->model()->rowCount(), 1);
  EXPECT_FALSE(QFile::exists(file1));
  EXPECT_TRUE(QFile::exists(file2));
}

TEST_F(MainScreenTest, AFaxFileNameReachingOutOfTheReceiveFolderIsNeverRemoved) {
  tables.MarkRebuilt();
  AddReceived("Tampered", "20240110", "../TLM.INI");
  testing::WriteText(data.dir.File("TLM.INI"), "[Modem]\nComPort=0\n");
  auto w = Open();
  ClickTab(*w, 1);
  driver.Click(QMessageBox::Yes);
  Button(*w, "DeleteButton")->click();
  EXPECT_TRUE(tables.rec->deleted[0]);
  EXPECT_TRUE(QFile::exists(QString::fromStdString(data.dir.File("TLM.INI"))));
}

TEST_F(MainScreenTest, EveryGuardedOperationShowsTheReceiveModeMessageAndDoesNothingElse) {
  tables.MarkRebuilt();
  AddOutgoing("Invoice", "20240305", "11:30", false);
  AddReceived("ACME", "20240110", "FAX0001.APF");
  auto w = Open();
  w->SetReceiveMode(true);
  const std::vector<std::pair<const char*, std::function<void()>>> guarded = {
      {"New", [&] { Button(*w, "Newbutton")->click(); }},
      {"Clone", [&] { Item(*w, "Clone Fax")->trigger(); }},
      {"Edit", [&] { Button(*w, "EditButton")->click(); }},
      {"View", [&] { Button(*w, "ViewFaxButton")->click(); }},
      {"Preferences", [&] { Button(*w, "BitBtn1")->click(); }},
      {"Phone Book", [&] { Item(*w, "Phone Book")->trigger(); }},
      {"Cover Sheets", [&] { Item(*w, "Cover Sheets")->trigger(); }},
      {"Rebuild Indexes", [&] { Item(*w, "Rebuild Indexes")->trigger(); }},
      {"Fax Log Cleanup", [&] { Item(*w, "Fax Log Cleanup")->trigger(); }},
      {"Website", [&] { Item(*w, "Visit Our Internet Website")->trigger(); }},
      {"Delete incoming",
       [&] {
         ClickTab(*w, 1);
         Button(*w, "DeleteButton")->click();
         ClickTab(*w, 0);
       }},
      {"Edit incoming",
       [&] {
         ClickTab(*w, 1);
         Button(*w, "EditButton")->click();
         ClickTab(*w, 0);
       }},
  };
  for (const auto& [name, run] : guarded) {
    driver.boxes.clear();
    driver.Click(QMessageBox::Ok);
    run();
    ASSERT_EQ(driver.boxes.size(), 1u) << name;
    EXPECT_EQ(driver.boxes[0].caption, "Information") << name;
    EXPECT_EQ(driver.boxes[0].text, kReceiveModeText) << name;
  }
  EXPECT_TRUE(driver.unexpected.empty());
  for (const char* hook : {"new", "clone", "editFax", "view", "preferences", "phoneBook", "coverSheets", "cleanup"}) {
    EXPECT_EQ(hooks.calls[hook], 0) << hook;
  }
  EXPECT_EQ(tables.rec->deleted[0], false);
  // Help, Problem Solver and Send's own path are not refused here.
  Button(*w, "ProblemSolverButton")->click();
  EXPECT_EQ(hooks.calls["problemSolver"], 1);
  w->SetReceiveMode(false);
  Button(*w, "Newbutton")->click();
  EXPECT_EQ(hooks.calls["new"], 1);
  Item(*w, "Clone Fax")->trigger();
  EXPECT_EQ(hooks.calls["clone"], 1);
  EXPECT_FALSE(w->CloneRequest());
}

TEST_F(MainScreenTest, YesToTheReindexQuestionRebuildsEveryTagOfAllFourTables) {
  AddOutgoing("Gone", "20240101", "08:00", false);
  AddOutgoing("Kept", "20240102", "09:00", false);
  tables.fax->deleted[0] = true;
  tables.phone->Append({{"NAME", "Ann"}});
  driver.passThrough.insert("tlm::TRebuildInd");  // closes itself
  auto w = Open(QMessageBox::Yes);
  ASSERT_EQ(driver.boxes.size(), 1u);
  EXPECT_TRUE(driver.unexpected.empty());
  auto names = [](const testing::FakeTableData& d) {
    std::string n;
    for (const auto& t : d.tags) n += t.name + ",";
    return n;
  };
  EXPECT_EQ(names(*tables.fax), "DATESENT,DATEND,SUBJECT,RECIPIENT,");
  EXPECT_EQ(names(*tables.rec), "DATETIME,DATEND,FROM,");
  EXPECT_EQ(names(*tables.phone), "NAME,");
  EXPECT_EQ(names(*tables.cover), "DESCRIPT,");
  EXPECT_EQ(tables.fax->records.size(), 1u);  // packed
  EXPECT_EQ(Grid(*w, "FaxGrid")->model()->rowCount(), 1);
  EXPECT_TRUE(Button(*w, "SendButton")->isEnabled());

  // Asked only once: the tags are there now.
  driver.boxes.clear();
  w->close();
  auto again = Open();
  EXPECT_TRUE(driver.boxes.empty());
}

TEST_F(MainScreenTest, ClosingWritesPlacementAndSettings) {
  tables.MarkRebuilt();
  auto w = Open();
  w->CurrentSettings().userName = "Front Desk";
  EXPECT_TRUE(w->close());
  const ProfileFile ini(data.dir.File("TLM.INI"));
  EXPECT_TRUE(ini.HasSection("TMainScreen_Placement"));
  EXPECT_NE(ini.ReadInteger("TMainScreen_Placement", "Bottom", 0), 0);
  EXPECT_EQ(ini.ReadString("Version", "Version", ""), "2.9q");
  EXPECT_EQ(ini.ReadInteger("Modem", "ComPort", -1), 0);
  EXPECT_EQ(ini.ReadString("User", "Name", ""), "Front Desk");
  EXPECT_EQ(w->FaxTable(), nullptr);  // the logs are closed

  // The next start is no first start and takes the stored rectangle back.
  ProfileFile edit(data.dir.File("TLM.INI"));
  edit.WriteInteger("TMainScreen_Placement", "Left", 40);
  edit.WriteInteger("TMainScreen_Placement", "Top", 30);
  edit.WriteInteger("TMainScreen_Placement", "Right", 740);
  edit.WriteInteger("TMainScreen_Placement", "Bottom", 530);
  edit.Save();
  auto next = Open();
  EXPECT_FALSE(next->FirstRun());
  EXPECT_EQ(next->geometry().size(), QSize(700, 500));
  EXPECT_EQ(hooks.calls["quickSetup"], 1);  // the first start's only
}

TEST_F(MainScreenTest, TheFirstActivationRunsQuickSetupThenTheReindexQuestionThenReceiveMode) {
  ProfileFile ini(data.dir.File("TLM.INI"));
  ini.WriteBool("Receive", "AtStartup", true);
  ini.Save();
  driver.Then([this](QWidget* modal) {
    hooks.order.push_back("reindex question");
    qobject_cast<QMessageBox*>(modal)->button(QMessageBox::No)->click();
  });
  auto w = Open();
  EXPECT_EQ(hooks.order, (std::vector<std::string>{"quickSetup", "reindex question", "receive"}));
  EXPECT_TRUE(w->ReceiveMode());
  EXPECT_FALSE(Item(*w, "Receive Faxes")->isEnabled());
}

TEST_F(MainScreenTest, AMinimisedStartMinimisesTheWindow) {
  tables.MarkRebuilt();
  ::setenv("TOLMERA_START_MINIMIZED", "1", 1);
  auto w = Open();
  ::unsetenv("TOLMERA_START_MINIMIZED");
  EXPECT_TRUE(w->isMinimized());
}

TEST_F(MainScreenTest, ShowHintsIsStoredAndSwitchesHintsOff) {
  tables.MarkRebuilt();
  auto w = Open();
  QAction* hints = Item(*w, "Show Hints");
  ASSERT_TRUE(hints->isChecked());
  hints->trigger();
  EXPECT_FALSE(hints->isChecked());
  EXPECT_FALSE(ProfileFile(data.dir.File("TLM.INI")).ReadBool("Hints", "On", true));
  // A hint request on a button is swallowed now, and shown again after.
  QPushButton* button = Button(*w, "Newbutton");
  auto askForHint = [&] {
    QToolTip::hideText();
    QHelpEvent request(QEvent::ToolTip, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(button, &request);
    return QToolTip::isVisible() && QToolTip::text() == "Create a new fax";
  };
  EXPECT_FALSE(askForHint());
  hints->trigger();
  EXPECT_TRUE(askForHint());
  QToolTip::hideText();
  EXPECT_TRUE(ProfileFile(data.dir.File("TLM.INI")).ReadBool("Hints", "On", false));
  EXPECT_TRUE(w->CurrentSettings().hintsOn);
}

TEST_F(MainScreenTest, ClosingWhileAFaxArrivesAsksFirst) {
  tables.MarkRebuilt();
  auto w = Open();
  w->SetFaxInProgress(true);
  driver.Click(QMessageBox::No);
  EXPECT_FALSE(w->close());
  ASSERT_EQ(driver.boxes.size(), 1u);
  EXPECT_EQ(driver.boxes[0].caption, "Exit");
  EXPECT_EQ(driver.boxes[0].text, "You are receiving a fax. Exit the program?");
  EXPECT_NE(w->FaxTable(), nullptr);
  // Yes closes, and receive mode is stopped through the receive button first.
  w->SetReceiveMode(true);
  driver.Click(QMessageBox::Yes);
  EXPECT_TRUE(w->close());
  EXPECT_EQ(hooks.calls["receive"], 1);
  EXPECT_FALSE(w->ReceiveMode());
}

TEST_F(MainScreenTest, ALogThatCannotBeOpenedClosesTheProgramAfterItsMessage) {
  tables.rec->failOpen = true;
  driver.Click(QMessageBox::Ok);
  auto w = std::make_unique<TMainScreen>(tables, hooks.Hooks());
  w->show();
  ASSERT_TRUE(WaitUntil([&] { return !w->isVisible(); }));
  ASSERT_EQ(driver.boxes.size(), 1u);
  EXPECT_EQ(driver.boxes[0].text, "Unable to open/create the FAX RECEIVE datafile - closing program");
  EXPECT_EQ(hooks.calls["quickSetup"], 0);  // nothing of the first activation ran
  EXPECT_TRUE(driver.unexpected.empty());
  EXPECT_FALSE(QFile::exists(QString::fromStdString(data.dir.File("TLM.INI"))));  // still a first start
}

TEST_F(MainScreenTest, TheNotesWindowStoresItsTextInNotes) {
  tables.MarkRebuilt();
  AddReceived("ACME", "20240110", "FAX0001.APF");
  auto w = Open();
  ClickTab(*w, 1);
  QString title;
  int maxLength = 0;
  driver.Then([&](QWidget* modal) {
    auto* notes = qobject_cast<TEditReceiveNotes*>(modal);
    ASSERT_NE(notes, nullptr);
    title = notes->windowTitle();
    maxLength = notes->NotesEdit()->maxLength();
    QTest::keyClicks(notes->NotesEdit(), "Call back on Monday");
    QTest::keyClick(notes->NotesEdit(), Qt::Key_Return);  // "&Accept" is the default
  });
  Button(*w, "EditButton")->click();
  EXPECT_EQ(title, "Received Fax Notes");
  EXPECT_EQ(maxLength, 60);
  EXPECT_EQ(tables.rec->records[0]["NOTES"], "Call back on Monday");
  EXPECT_EQ(Grid(*w, "RecFaxGrid")->model()->index(0, 4).data().toString(), "Call back on Monday");

  // Cancel keeps the old text.
  driver.Then([](QWidget* modal) {
    auto* notes = qobject_cast<TEditReceiveNotes*>(modal);
    notes->NotesEdit()->setText("changed");
    QTest::keyClick(notes, Qt::Key_Escape);
  });
  Button(*w, "EditButton")->click();
  EXPECT_EQ(tables.rec->records[0]["NOTES"], "Call back on Monday");
}

TEST_F(MainScreenTest, ViewShowsAMissingFileAndDescribesAReceivedFax) {
  tables.MarkRebuilt();
  AddReceived("  ACME  ", "20240110", "FAX0001.APF");
  auto w = Open();
  ClickTab(*w, 1);
  driver.Click(QMessageBox::Ok);
  Button(*w, "ViewFaxButton")->click();
  ASSERT_EQ(driver.boxes.size(), 1u);
  EXPECT_EQ(driver.boxes[0].text, "Fax file is missing");
  EXPECT_EQ(hooks.calls["view"], 0);

  QFile out(w->DestinationDir() + "FAX0001.APF");
  ASSERT_TRUE(out.open(QIODevice::WriteOnly));
  out.close();
  Button(*w, "ViewFaxButton")->click();
  EXPECT_EQ(hooks.calls["view"], 1);
  EXPECT_TRUE(hooks.lastDescription.startsWith("From: ACME             Received: "));
  EXPECT_TRUE(hooks.lastDescription.endsWith("             Fax File: " + (w->DestinationDir() + "FAX0001.APF").toLower()));
  EXPECT_TRUE(w->StatusText().isEmpty());
}

}  // namespace
}  // namespace tlm
