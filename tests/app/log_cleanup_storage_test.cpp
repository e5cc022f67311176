// The fax log cleanup over the real tables of a data folder, reached from the
// main window's menu as a user reaches it: every kind of deletion with the
// counts it reports, received fax files, the rebuild after closing; and the
// log faults found in review (deleted records left current, notes cut in
// their code page, an unwritable TLM.INI at the first activation). Files are
// checked with python3-dbf.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTableView>
#include <QTest>
#include <filesystem>
#include <map>

#include "app/help_window.h"
#include "app/main_screen.h"
#include "app/maintenance/delete_before_date.h"
#include "app/maintenance/delete_conditions.h"
#include "app/maintenance/log_cleanup_form.h"
#include "app/maintenance/maintenance_hooks.h"
#include "app/maintenance/receive_notes.h"
#include "app/storage_tables.h"
#include "gui_test_support.h"
#include "modal_driver.h"
#include "platform/file_util.h"
#include "storage/log_tables.h"
#include "storage/xb_components.h"

// Readable failure messages.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& list, std::ostream* os) { *os << '{' << list.join("; ").toStdString() << '}'; }

namespace tlm {
namespace {

using testing::App;
using testing::DataFolderScope;
using testing::ModalDriver;
using testing::WaitUntil;
using Fields = std::map<std::string, std::string>;

// One record as python3-dbf reads it: the deletion mark and the fields.
struct DumpedRecord {
  bool deleted = false;
  QStringList values;
};

std::string Today(int daysFromToday = 0) {
  return QDate::currentDate().addDays(daysFromToday).toString("yyyyMMdd").toStdString();
}

class LogCleanupTest : public ::testing::Test {
 protected:
  LogCleanupTest() {
    App();
    InstallMaintenanceHooks(hooks);
    driver.passThrough.insert("tlm::TRebuildInd");  // closes itself
  }

  std::string File(const std::string& name) const { return data.dir.File(name); }

  // Adds a record through the storage layer, as the other windows would;
  // `marked` gives it a deletion mark at once.
  void Add(LogTable kind, const Fields& fields, bool marked = false) {
    TXbTable table;
    TXbEngine engine(table);
    ASSERT_TRUE(OpenLogDBF(kind, table, engine, data.dir.Folder()));
    ASSERT_TRUE(table.Append());
    for (const auto& [field, value] : fields) ASSERT_TRUE(table.SetString(field, value)) << field;
    ASSERT_TRUE(table.Post());
    if (marked) {
      ASSERT_TRUE(table.Delete());
    }
  }
  void AddReceived(const std::string& from, const std::string& file, bool marked = false) {
    Add(LogTable::kReceived, {{"DATEREC", "20240302"}, {"TIMEREC", "09:10"}, {"FROM", from}, {"PAGES", "1"},
                              {"FAXFILE", file}},
        marked);
    if (file.find('/') == std::string::npos) {
      MakeFolders(File("receive"));
      testing::WriteText(File("receive/" + file), "APF");
    }
  }
  void AddOutgoing(const std::string& recipient, const std::string& date) {
    Add(LogTable::kOutgoing, {{"SUBJECT", "About " + recipient}, {"RECIPIENT", recipient}, {"PHONE", "5550100"},
                              {"DATESENT", date}, {"SENT", date.empty() ? "F" : "T"}});
  }

  std::unique_ptr<TMainScreen> Open() {
    driver.Click(QMessageBox::No);  // the logs lack the rebuild's tags: not now
    auto w = std::make_unique<TMainScreen>(*tables, hooks);
    w->show();
    EXPECT_TRUE(WaitUntil([&] { return driver.Idle(); }));
    testing::Settle();
    driver.boxes.clear();
    return w;
  }

  // Opens "Fax Log Cleanup" from the menu and runs `work` in the window,
  // then closes it with its Close button.
  void Cleanup(TMainScreen& w, const std::function<void(TDMForm&)>& work) {
    bool ran = false;
    driver.Then([&](QWidget* modal) {
      auto* form = qobject_cast<TDMForm*>(modal);
      if (!form) {
        ADD_FAILURE() << "not the cleanup window: " << modal->metaObject()->className();
        if (auto* d = qobject_cast<QDialog*>(modal)) d->reject();
        return;
      }
      ran = true;
      work(*form);
      Button(*form, "&Close")->click();
    });
    MenuAction(w, "Fax Log Cleanup")->trigger();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(WaitUntil([&] { return driver.Idle(); }));
  }

  static QAction* MenuAction(QWidget& w, const QString& text) {
    for (QAction* a : w.findChildren<QAction*>()) {
      if (a->text() == text) return a;
    }
    ADD_FAILURE() << "no menu item " << text.toStdString();
    static QAction none;
    return &none;
  }
  static QPushButton* Button(QWidget& w, const QString& text) {
    for (QPushButton* b : w.findChildren<QPushButton*>()) {
      if (b->text() == text || b->objectName() == text) return b;
    }
    ADD_FAILURE() << "no button " << text.toStdString();
    static QPushButton none;
    return &none;
  }
  static QTableView* Grid(QWidget& w, const char* name) { return w.findChild<QTableView*>(QString::fromLatin1(name)); }
  static QTabWidget* Tabs(TDMForm& form) { return form.findChild<QTabWidget*>(QStringLiteral("PageControl")); }
  static void ClickTab(QTabBar* tabs, int index) {
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
  }
  static QStringList Column(QTableView* grid, int column) {
    QStringList out;
    for (int row = 0; row < grid->model()->rowCount(); ++row) out << grid->model()->index(row, column).data().toString();
    return out;
  }

  // Runs a menu item of the cleanup window, answering its question with Yes
  // and the count box with OK; the count box's text.
  QString RunAndCount(TDMForm& form, const QString& item) {
    const std::size_t before = driver.boxes.size();
    driver.Click(QMessageBox::Yes);
    driver.Click(QMessageBox::Ok);
    MenuAction(form, item)->trigger();
    EXPECT_TRUE(driver.Idle());
    return driver.boxes.size() == before + 2 ? driver.boxes.back().text : QString("(no count box)");
  }

  // Answers the conditions window: `text` in the chosen box, exact or not,
  // then Enter.
  void AnswerConditions(const QString& text, bool exact) {
    driver.Then([text, exact](QWidget* modal) {
      auto* window = qobject_cast<TDeleteForConditions*>(modal);
      ASSERT_NE(window, nullptr);
      QLineEdit* box = window->FromChoice->isChecked() ? window->FaxFROM : window->FaxRECIPIENT;
      EXPECT_TRUE(window->FromChoice->isChecked() ? !window->FaxRECIPIENT->isEnabled() && !window->PhoneChoice->isEnabled()
                                                  : window->RecipientChoice->isChecked() && !window->FaxFROM->isEnabled());
      box->selectAll();
      QTest::keyClicks(box, text);
      if (window->ExactMatch->isChecked() != exact) QTest::mouseClick(window->ExactMatch, Qt::LeftButton);
      QTest::keyClick(box, Qt::Key_Return);
    });
  }

  // The records of a table file as python3-dbf reads them.
  std::vector<DumpedRecord> Dump(const std::string& table) {
    QProcess p;
    p.start("/usr/bin/python3", {QStringLiteral(TOLMERA_STORAGE_SCRIPTS "/dbf_dump.py"), QString::fromStdString(File(table))});
    EXPECT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    std::vector<DumpedRecord> out;
    const QList<QByteArray> lines = p.readAllStandardOutput().split('\n');
    for (int i = 1; i < lines.size(); ++i) {  // the first line names the fields
      if (lines[i].isEmpty()) continue;
      const QJsonObject o = QJsonDocument::fromJson(lines[i]).object();
      DumpedRecord r;
      r.deleted = o["deleted"].toBool();
      for (const QJsonValue& v : o["values"].toArray()) r.values << v.toString();
      out.push_back(r);
    }
    return out;
  }

  DataFolderScope data;
  std::unique_ptr<TableProvider> tables = CreateStorageTables();
  MainScreenHooks hooks;
  ModalDriver driver;
};

TEST_F(LogCleanupTest, DeleteAllWithOneAlreadyMarkedReportsFourRemovesTheFilesAndTheRebuildPacksThemAway) {
  AddReceived("ACME", "FAX0001.APF");
  AddReceived("NORTHWIND", "FAX0002.APF", /*marked=*/true);
  AddReceived("CONTOSO", "FAX0003.APF");
  AddReceived("FABRIKAM", "FAX0004.APF");
  AddReceived("LITWARE", "FAX0005.APF");
  auto w = Open();
  Cleanup(*w, [&](TDMForm& form) {
    EXPECT_EQ(form.windowTitle(), "Fax Log Cleanup Utility");
    QTabWidget* tabs = Tabs(form);
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_EQ(tabs->tabText(0), "OutGoing Faxes (none)");
    EXPECT_FALSE(Grid(form, "SendGrid")->isEnabled());
    ClickTab(tabs->tabBar(), 1);
    QTableView* grid = Grid(form, "RecGrid");
    ASSERT_EQ(grid->model()->rowCount(), 4);  // the marked one is not listed
    EXPECT_EQ(Column(grid, 0), QStringList({"No ", "No ", "No ", "No "}));
    EXPECT_FALSE(MenuAction(form, "Delete All that Have Been Sent")->isVisible());

    EXPECT_EQ(RunAndCount(form, "Delete All Faxes"), "4 deleted.");
    const testing::SeenBox& question = driver.boxes[driver.boxes.size() - 2];
    EXPECT_EQ(question.caption, "DELETE ALL");
    EXPECT_EQ(question.text, "Delete all received faxes ? (action is permanent)");
    EXPECT_EQ(grid->model()->rowCount(), 0);
    EXPECT_EQ(tabs->tabText(1), "Incoming Faxes (none)");
    EXPECT_FALSE(grid->isEnabled());
    EXPECT_EQ(form.LastResult(), "Delete All Faxes: 4 deleted.");
    for (const char* file : {"FAX0001.APF", "FAX0003.APF", "FAX0004.APF", "FAX0005.APF"}) {
      EXPECT_FALSE(FileExists(File(std::string("receive/") + file))) << file;
    }
    EXPECT_TRUE(form.RebuildNeeded());
  });
  EXPECT_TRUE(driver.unexpected.empty());
  EXPECT_EQ(Grid(*w, "RecFaxGrid")->model()->rowCount(), 0);
  EXPECT_EQ(w->RecTable()->Filter(), ".not. deleted()");
  w->close();
  EXPECT_TRUE(Dump("TLMREC.DBF").empty());  // packed away by the rebuild
}

TEST_F(LogCleanupTest, BeforeTodayDeletesOlderFaxesAndKeepsTodaysAndThoseWithoutADate) {
  AddOutgoing("Yesterday", Today(-1));
  AddOutgoing("Long ago", "19490501");
  AddOutgoing("Today", Today());
  AddOutgoing("Never sent", "");
  AddOutgoing("Tomorrow", Today(1));
  auto w = Open();
  Cleanup(*w, [&](TDMForm& form) {
    driver.Then([](QWidget* modal) {
      auto* window = qobject_cast<TDeleteBeforeDate*>(modal);
      ASSERT_NE(window, nullptr);
      EXPECT_EQ(window->windowTitle(), "Delete all before...");
      EXPECT_EQ(window->DateEdit()->text(), QDate::currentDate().toString("MM/dd/yyyy"));
      QTest::keyClick(window->DateEdit(), Qt::Key_Return);  // today, as preset
    });
    EXPECT_EQ(RunAndCount(form, "Delete All Before A Particular Date"), "2 deleted.");
    const testing::SeenBox& question = driver.boxes[driver.boxes.size() - 2];
    EXPECT_EQ(question.caption, "DELETE");
    EXPECT_EQ(question.text, "Delete all outgoing faxes prior to " +
                                 QLocale::system().toString(QDate::currentDate(), QLocale::LongFormat) +
                                 " (action is permanent)?");
    QStringList left = Column(Grid(form, "SendGrid"), 3);
    left.sort();
    EXPECT_EQ(left, QStringList({"Never sent", "Today", "Tomorrow"}));
  });
  EXPECT_TRUE(driver.unexpected.empty());
  EXPECT_EQ(Grid(*w, "FaxGrid")->model()->rowCount(), 3);
}

TEST_F(LogCleanupTest, TypedDatesTakeFourDigitYearsAndTwoDigitYearsFollowTheStatedCenturyWindow) {
  AddOutgoing("In 1949", "19490115");
  AddOutgoing("In 1999", "19991231");
  AddOutgoing("In 2020", "20200101");
  auto w = Open();
  const auto typeDate = [this](const QString& typed, const QDate& understood) {
    driver.Then([typed, understood](QWidget* modal) {
      auto* window = qobject_cast<TDeleteBeforeDate*>(modal);
      ASSERT_NE(window, nullptr);
      EXPECT_EQ(window->findChild<QLabel*>("CenturyRule")->text(),
                "Two-digit years: 00-49 are 2000-2049, 50-99 are 1950-1999.");
      window->DateEdit()->selectAll();
      QTest::keyClicks(window->DateEdit(), typed);
      EXPECT_EQ(window->MeaningLabel()->text(), QLocale::system().toString(understood, QLocale::LongFormat));
      EXPECT_EQ(window->Calendar()->selectedDate(), understood);
      QTest::keyClick(window->DateEdit(), Qt::Key_Return);
    });
  };
  Cleanup(*w, [&](TDMForm& form) {
    // Read with a two-digit year, 06/01/49 would be in 2049 and take all three.
    typeDate("06/01/1949", QDate(1949, 6, 1));
    EXPECT_EQ(RunAndCount(form, "Delete All Before A Particular Date"), "1 deleted.");
    typeDate("1/1/00", QDate(2000, 1, 1));
    EXPECT_EQ(RunAndCount(form, "Delete All Before A Particular Date"), "1 deleted.");
    EXPECT_EQ(Column(Grid(form, "SendGrid"), 3), QStringList({"In 2020"}));

    // Not a date: OK cannot be pressed; Escape ends the operation.
    const std::size_t boxes = driver.boxes.size();
    driver.Then([](QWidget* modal) {
      auto* window = qobject_cast<TDeleteBeforeDate*>(modal);
      ASSERT_NE(window, nullptr);
      window->DateEdit()->selectAll();
      QTest::keyClicks(window->DateEdit(), "13/45/2020");
      EXPECT_TRUE(window->MeaningLabel()->text().startsWith("Not a date"));
      QTest::keyClick(window->DateEdit(), Qt::Key_Return);
      EXPECT_TRUE(window->isVisible());
      QTest::keyClick(window->DateEdit(), Qt::Key_Escape);
    });
    MenuAction(form, "Delete All Before A Particular Date")->trigger();
    EXPECT_EQ(driver.boxes.size(), boxes);
  });
  EXPECT_TRUE(driver.unexpected.empty());
}

TEST_F(LogCleanupTest, ExactMatchIgnoresCaseAndSurroundingBlanksAndPartialAcmeMatchesAnyCase) {
  AddReceived("ACME Corp", "FAX0001.APF");
  AddReceived("acme", "FAX0002.APF");
  AddReceived("   Acme", "FAX0003.APF");
  AddReceived("Big aCmE Ltd", "FAX0004.APF");
  AddReceived("Other", "FAX0005.APF");
  auto w = Open();
  Cleanup(*w, [&](TDMForm& form) {
    ClickTab(Tabs(form)->tabBar(), 1);
    // A blank text is asked for again.
    const std::size_t before = driver.boxes.size();
    driver.Then([this](QWidget* modal) {
      auto* window = qobject_cast<TDeleteForConditions*>(modal);
      ASSERT_NE(window, nullptr);
      window->FaxFROM->selectAll();
      QTest::keyClicks(window->FaxFROM, "   ");
      driver.Click(QMessageBox::Ok);
      QTest::keyClick(window->FaxFROM, Qt::Key_Return);
      EXPECT_TRUE(window->isVisible());
      window->reject();
    });
    MenuAction(form, "Delete All Faxes Meeting Certain Conditions...")->trigger();
    ASSERT_EQ(driver.boxes.size(), before + 1);
    EXPECT_EQ(driver.boxes.back().text, "Please enter a value");

    AnswerConditions("  acme  ", true);
    EXPECT_EQ(RunAndCount(form, "Delete All Faxes Meeting Certain Conditions..."), "2 deleted.");
    EXPECT_EQ(driver.boxes[driver.boxes.size() - 2].caption, "VERIFY DELETE");
    EXPECT_EQ(driver.boxes[driver.boxes.size() - 2].text,
              "Are you sure you wish to delete all faxes matching this criteria?");
    AnswerConditions("acme", false);
    EXPECT_EQ(RunAndCount(form, "Delete All Faxes Meeting Certain Conditions..."), "2 deleted.");
    EXPECT_EQ(Column(Grid(form, "RecGrid"), 3), QStringList({"Other"}));
  });
  EXPECT_TRUE(driver.unexpected.empty());
  EXPECT_TRUE(FileExists(File("receive/FAX0005.APF")));
  EXPECT_FALSE(FileExists(File("receive/FAX0003.APF")));
}

TEST_F(LogCleanupTest, AConditionTextIsMatchedLiterallyNeverEvaluated) {
  AddOutgoing("X\") .OR. .T. .OR. (\"", "20240101");
  AddOutgoing("A\"B'C", "20240101");
  AddOutgoing("[Q] + 'Z' $ DELETED()", "20240101");
  AddOutgoing("Plain", "20240101");
  auto w = Open();
  Cleanup(*w, [&](TDMForm& form) {
    AnswerConditions("x\") .or. .t. .or. (\"", true);
    EXPECT_EQ(RunAndCount(form, "Delete All Faxes Meeting Certain Conditions..."), "1 deleted.");
    AnswerConditions("\"b'", false);
    EXPECT_EQ(RunAndCount(form, "Delete All Faxes Meeting Certain Conditions..."), "1 deleted.");
    AnswerConditions("[q] + 'z' $ deleted()", true);
    EXPECT_EQ(RunAndCount(form, "Delete All Faxes Meeting Certain Conditions..."), "1 deleted.");
    AnswerConditions("') .or. .t. .or. ('", false);
    EXPECT_EQ(RunAndCount(form, "Delete All Faxes Meeting Certain Conditions..."), "0 deleted.");
    EXPECT_EQ(Column(Grid(form, "SendGrid"), 3), QStringList({"Plain"}));
  });
  EXPECT_TRUE(driver.unexpected.empty());
}

TEST_F(LogCleanupTest, FaxFilesNamedOutsideTheReceiveFolderAreNeverDeleted) {
  testing::TempDir elsewhere;
  const std::string target = elsewhere.File("precious.APF");
  testing::WriteText(target, "keep");
  char outside[] = "/tmp/tXXXXXX";  // fits the 12 characters of FAXFILE
  const int fd = ::mkstemp(outside);
  ASSERT_GE(fd, 0);
  ::close(fd);
  AddReceived("DOTDOT", "../TLM.DBF");
  AddReceived("ABSOLUTE", outside);
  AddReceived("LINK", "LINK.APF");
  std::filesystem::remove(File("receive/LINK.APF"));
  std::filesystem::create_symlink(target, File("receive/LINK.APF"));
  AddReceived("FOLDER", "SUB");
  std::filesystem::remove(File("receive/SUB"));
  MakeFolders(File("receive/SUB"));
  AddReceived("NORMAL", "FAX0001.APF");
  auto w = Open();
  Cleanup(*w, [&](TDMForm& form) {
    ClickTab(Tabs(form)->tabBar(), 1);
    EXPECT_EQ(RunAndCount(form, "Delete All Faxes"), "5 deleted.");
  });
  EXPECT_TRUE(driver.unexpected.empty());
  EXPECT_TRUE(FileExists(File("TLM.DBF")));
  EXPECT_TRUE(FileExists(outside));
  EXPECT_TRUE(FileExists(target));
  EXPECT_TRUE(std::filesystem::is_symlink(File("receive/LINK.APF")));
  EXPECT_TRUE(DirectoryExists(File("receive/SUB")));
  EXPECT_FALSE(FileExists(File("receive/FAX0001.APF")));
  std::filesystem::remove(outside);
}

TEST_F(LogCleanupTest, DeleteCurrentHidesTheFaxAtOnceAndTheMainListsHideItAfterClosing) {
  AddOutgoing("First", "20240101");
  AddOutgoing("Second", "20240102");
  AddOutgoing("Third", "20240103");
  auto w = Open();
  Cleanup(*w, [&](TDMForm& form) {
    QTableView* grid = Grid(form, "SendGrid");
    ASSERT_EQ(grid->model()->rowCount(), 3);
    const int second = static_cast<int>(Column(grid, 3).indexOf("Second"));
    ASSERT_GE(second, 0);
    grid->setCurrentIndex(grid->model()->index(second, 1));
    driver.Click(QMessageBox::Yes);
    QTest::keyClick(grid, Qt::Key_X, Qt::ControlModifier);
    ASSERT_TRUE(driver.Idle());
    ASSERT_FALSE(driver.boxes.empty());
    EXPECT_EQ(driver.boxes.back().caption, "DELETE");
    EXPECT_EQ(driver.boxes.back().text, "Delete this fax? (action is permanent)");
    EXPECT_EQ(grid->model()->rowCount(), 2);
    EXPECT_FALSE(Column(grid, 3).contains("Second"));
    EXPECT_EQ(form.LastResult(), "Delete Current Fax: 1 deleted.");

    // A double click in the "Deleted?" column deletes the current fax too.
    driver.Click(QMessageBox::No);
    const QModelIndex first = grid->model()->index(0, 0);
    const QPoint at = grid->visualRect(first).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);  // a double click begins with a click
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
    EXPECT_TRUE(driver.Idle());
    EXPECT_EQ(grid->model()->rowCount(), 2);  // answered No

    Button(form, "&Help")->click();
    auto* help = form.findChild<THelpWindow*>();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->Topic(), kHelpFaxLogCleanup);
    EXPECT_TRUE(help->Browser()->toPlainText().contains("Delete All Before A Particular Date"));
  });
  EXPECT_TRUE(driver.unexpected.empty());
  QTableView* grid = Grid(*w, "FaxGrid");
  EXPECT_EQ(grid->model()->rowCount(), 2);
  EXPECT_FALSE(Column(grid, 3).contains("Second"));
  EXPECT_EQ(w->FaxTable()->Filter(), ".not. deleted()");
  w->close();
  const auto records = Dump("TLM.DBF");
  ASSERT_EQ(records.size(), 2u);  // the rebuild packed it away
}

// ---- the faults found in review ---------------------------------------------

TEST_F(LogCleanupTest, DeletingTheLastVisibleFaxLeavesNoCurrentRecordOnEitherTab) {
  AddOutgoing("Only one", "20240101");
  AddReceived("ONLY SENDER", "FAX0001.APF");
  auto w = Open();
  driver.Click(QMessageBox::Yes);
  Button(*w, "DeleteButton")->click();
  EXPECT_EQ(Grid(*w, "FaxGrid")->model()->rowCount(), 0);
  EXPECT_FALSE(Grid(*w, "FaxGrid")->isEnabled());
  for (const char* name : {"EditButton", "DeleteButton", "SendButton", "ViewFaxButton"}) {
    EXPECT_FALSE(Button(*w, name)->isEnabled()) << name;
  }
  w->DeleteFax();  // nothing to ask about: a beep
  EXPECT_EQ(driver.boxes.size(), 1u);

  auto* tabs = w->findChild<QTabBar*>(QStringLiteral("TabSet1"));
  ClickTab(tabs, 1);
  driver.Click(QMessageBox::Yes);
  Button(*w, "DeleteButton")->click();
  EXPECT_EQ(Grid(*w, "RecFaxGrid")->model()->rowCount(), 0);
  EXPECT_FALSE(Button(*w, "EditButton")->isEnabled());
  w->EditFax();  // no notes window over the hidden fax
  testing::Settle();
  EXPECT_TRUE(driver.unexpected.empty());
  EXPECT_EQ(driver.boxes.size(), 2u);
  w->close();
  const auto received = Dump("TLMREC.DBF");
  ASSERT_EQ(received.size(), 1u);
  EXPECT_TRUE(received[0].deleted);
  EXPECT_EQ(received[0].values.value(5), "");  // NOTES untouched
}

TEST_F(LogCleanupTest, NotesKeepEveryCharacterOfTheTablesCodePageAndRefuseOthersWithAMessage) {
  AddReceived("ACME", "FAX0001.APF");
  auto w = Open();
  ClickTab(w->findChild<QTabBar*>(QStringLiteral("TabSet1")), 1);
  // 60 characters, several of them outside ASCII: all fit the field.
  const QString note = QString::fromUtf8("Café crème für Zoë – €5 ½ price, naïve Œuvre «ok» ÿ done.");
  const QString full = note + "!!!";
  ASSERT_EQ(full.size(), 60);
  driver.Then([&](QWidget* modal) {
    auto* notes = qobject_cast<TEditReceiveNotes*>(modal);
    ASSERT_NE(notes, nullptr);
    notes->NotesEdit()->setText(full);
    QTest::keyClick(notes->NotesEdit(), Qt::Key_Return);
  });
  Button(*w, "EditButton")->click();
  EXPECT_TRUE(driver.Idle());
  EXPECT_EQ(Grid(*w, "RecFaxGrid")->model()->index(0, 4).data().toString(), full);

  // A character the code page lacks: told, the window stays, nothing stored.
  driver.Then([&](QWidget* modal) {
    auto* notes = qobject_cast<TEditReceiveNotes*>(modal);
    ASSERT_NE(notes, nullptr);
    EXPECT_EQ(notes->NotesEdit()->text(), full);
    notes->NotesEdit()->setText(QString::fromUtf8("Tokyo 東京"));
    driver.Click(QMessageBox::Ok);
    QTest::keyClick(notes->NotesEdit(), Qt::Key_Return);
    EXPECT_TRUE(notes->isVisible());
    notes->reject();
  });
  Button(*w, "EditButton")->click();
  EXPECT_TRUE(driver.Idle());
  ASSERT_EQ(driver.boxes.size(), 1u);
  EXPECT_TRUE(driver.boxes[0].text.contains(QString::fromUtf8("\"東\""))) << driver.boxes[0].text.toStdString();
  w->close();
  const auto records = Dump("TLMREC.DBF");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].values.value(5), full);  // python3-dbf decodes code page 1252
}

TEST_F(LogCleanupTest, AnUnwritableSettingsFileAtTheFirstActivationIsReportedAndTheProgramGoesOn) {
  // TLM.INI is a folder with something in it: no save can replace it, not
  // even as root.
  MakeFolders(File("TLM.INI/keep"));
  AddOutgoing("Still listed", "20240101");
  driver.Click(QMessageBox::Ok);  // the placement cannot be saved
  driver.Click(QMessageBox::No);  // the reindex question still comes
  auto w = std::make_unique<TMainScreen>(*tables, hooks);
  w->show();
  EXPECT_TRUE(WaitUntil([&] { return driver.Idle(); }));
  testing::Settle();
  ASSERT_EQ(driver.boxes.size(), 2u);
  EXPECT_EQ(driver.boxes[0].text, QString::fromStdString("Unable to write to " + File("TLM.INI")));
  EXPECT_EQ(driver.boxes[1].caption, "REINDEX");
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(Grid(*w, "FaxGrid")->model()->rowCount(), 1);
  EXPECT_TRUE(Button(*w, "EditButton")->isEnabled());
  driver.Click(QMessageBox::Ok);  // closing cannot save either
  w->close();
  EXPECT_TRUE(driver.Idle());
  EXPECT_TRUE(driver.unexpected.empty());
}

}  // namespace
}  // namespace tlm
