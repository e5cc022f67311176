// Sending from the main window as a user does, over the real tables of a
// data folder and a simulated line (faxsim, accelerated): the record written
// after a send, the error windows of each failure before the transmission,
// the send window's refusals while a fax goes out, and the progress window.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <csignal>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <map>
#include <set>

#include "app/gui_test_support.h"
#include "app/main_screen.h"
#include "app/modal_driver.h"
#include "app/storage_tables.h"
#include "comm/com_port.h"
#include "faxsim/faxsim_runner.h"
#include "platform/file_util.h"
#include "platform/profile_file.h"
#include "send/send_fax_form.h"
#include "send/send_hooks.h"
#include "send/send_window_fixture.h"
#include "send/show_error_form.h"
#include "send/standard_fax_display.h"
#include "storage/log_tables.h"
#include "storage/xb_components.h"

namespace tlm {
namespace {

using testing::ModalDriver;
using testing::SendWindowTest;
using testing::Today;
using testing::WaitUntil;

TEST_F(SendWindowTest, ASentFaxArrivesAndItsRecordIsUpdated) {
  StartLine();
  WriteSettings(line.File("modem"), {{{"Dialing", "DialSuffix", "#"},
                                      {"User", "SuffixDisable", "1"},
                                      {"Modem", "InitString", "&F"},
                                      {"Resetting", "AfterString", "ATZ"}}});
  AddOutgoing("5550100");
  auto w = OpenMain();
  AnswerSendWindow([&](TSendFaxForm& form) {
    auto* phone = form.findChild<QLineEdit*>("sfPhoneNumber");
    EXPECT_EQ(phone->text(), "5550100");
    EXPECT_TRUE(form.findChild<QCheckBox*>("DisableSuffix")->isChecked());
    // The suffix edited but disabled: saved, not dialled.
    auto* suffix = form.findChild<QLineEdit*>("sfDialsuffix");
    EXPECT_EQ(suffix->text(), "#");
    suffix->setText("#9");
    form.findChild<QPushButton*>("SendFaxButton")->click();
    // A second click while the fax goes out only beeps; so does Close.
    form.findChild<QPushButton*>("SendFaxButton")->click();
    form.findChild<QPushButton*>("CloseButton")->click();
    seen.stayedOpenOnClose = form.isVisible() && form.Sending();
    QTest::keyClick(&form, Qt::Key_Escape);
    seen.stayedOpenOnClose = seen.stayedOpenOnClose && form.isVisible();
    WaitUntil(
        [&] {
          if (TStandardFaxDisplay* d = form.FaxStatus().Display()) {
            seen.statuses.insert(d->Value("Status:"));
            seen.phoneShown.insert(d->Value("Phone number:"));
            seen.fileShown.insert(d->Value("Fax file name:"));
            seen.pagesShown.insert(d->Value("Total pages:"));
          }
          return !form.Sending() && QApplication::activeModalWidget() == &form;
        },
        90000);
  });
  driver.Click(QMessageBox::Ok);  // "Fax sent successfully"
  QTest::mouseClick(w->findChild<QPushButton*>("SendButton"), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }, 1000));
  EXPECT_TRUE(driver.unexpected.empty()) << driver.unexpected.front();
  ASSERT_EQ(driver.boxes.size(), 2u);
  EXPECT_EQ(driver.boxes[1].text, "Fax sent successfully");
  EXPECT_EQ(seen.result, "Sent");
  EXPECT_TRUE(seen.stayedOpenOnClose);

  // The configuration memo names the port with its device.
  EXPECT_TRUE(seen.memo.contains(QString::fromStdString("Communications Port: COM1 (" + line.File("modem") + ")")))
      << seen.memo.toStdString();
  EXPECT_TRUE(seen.memo.contains("Fax Class: Class 2"));
  EXPECT_TRUE(seen.memo.contains("Retry in :1 seconds"));

  // The progress window showed the number, the file and the stages.
  EXPECT_TRUE(seen.phoneShown.count("5550100"));
  EXPECT_TRUE(seen.pagesShown.count("1"));
  EXPECT_TRUE(std::any_of(seen.fileShown.begin(), seen.fileShown.end(),
                          [](const QString& f) { return f.startsWith("TLM_") && f.endsWith(".APF"); }));
  EXPECT_TRUE(seen.statuses.count("Sending page data") || seen.statuses.count("Dialing")) << seen.statuses.size();

  // One call, dialled without the (disabled) suffix; the page arrived.
  const auto events = sim->events();
  int dials = 0;
  for (const std::string& e : events)
    if (e.find("EVENT command") != std::string::npos && e.find("ATD") != std::string::npos) {
      ++dials;
      EXPECT_EQ(faxsim::testing::field(e, "text"), "ATDT5550100") << e;
    }
  EXPECT_EQ(dials, 1);
  // The init string "&F" went to the modem as "AT&F".
  EXPECT_FALSE(sim->waitFor({"EVENT command", "text=AT&F"}, 1).empty());
  EXPECT_FALSE(sim->waitFor({"fax_done", "status=0"}, 10).empty());
  EXPECT_TRUE(std::filesystem::exists(line.File("rx") + "/rx-5550100-1-p1.pbm"));
  // After the call: the post-reset string, then the port closed.
  const std::string afterReset = sim->waitFor({"EVENT command", "text=ATZ"}, 5);
  EXPECT_FALSE(afterReset.empty());
  const std::string closed = sim->waitFor({"EVENT port", "state=closed"}, 5);
  ASSERT_FALSE(closed.empty());
  EXPECT_LE(std::stod(faxsim::testing::field(afterReset, "t")), std::stod(faxsim::testing::field(closed, "t")));

  // The record, read back by the table engine and by python3-dbf.
  w->close();
  const auto rec = Record();
  EXPECT_EQ(rec.at("PAGES"), "1");
  EXPECT_EQ(rec.at("LASTRESULT"), "Sent");
  EXPECT_EQ(rec.at("SENT"), "T");
  EXPECT_EQ(rec.at("DATESENT"), Today());
  EXPECT_EQ(rec.at("TIMESENT").size(), 5u);
  EXPECT_EQ(rec.at("TIMESENT")[2], ':');
  EXPECT_EQ(rec.at("PHONE"), "5550100");
  const std::string script = "import dbf\n"
                             "t = dbf.Table('" + Data("TLM.DBF") + "')\n"
                             "t.open()\n"
                             "r = t[0]\n"
                             "print(r.pages, r.lastresult.strip(), r.sent, r.datesent.strftime('%Y%m%d'), "
                             "r.phone.strip(), sep='|')\n";
  testing::WriteText(line.File("check.py"), script);
  const std::string out = line.File("check.out");
  ASSERT_EQ(faxsim::testing::run("/usr/bin/python3 " + line.File("check.py") + " > " + out, 60), 0);
  EXPECT_EQ(testing::ReadText(out), "1|Sent|True|" + Today() + "|5550100\n");

  // The temporary fax file is gone; the settings kept the suffix.
  for (const auto& entry : std::filesystem::directory_iterator(data.dir.Folder()))
    EXPECT_NE(entry.path().extension(), ".APF") << entry.path();
  ProfileFile ini(Data("TLM.INI"));
  EXPECT_EQ(ini.ReadString("Dialing", "DialSuffix", ""), "#9");
  EXPECT_TRUE(ini.ReadBool("User", "SuffixDisable", false));
}

// The run command's demo line: faxsim's demo modem as COM1 with the class
// detected, and the first fax run.sh queues; its page lands in received/.
TEST_F(SendWindowTest, TheDemoLineTakesTheFirstFax) {
  const std::string demo = line.File("demo");
  sim = std::make_unique<faxsim::testing::FaxsimProcess>(line.Folder(),
                                                         std::vector<std::string>{"--demo", demo, "--speed", "accelerated", "--accel", "10"});
  ASSERT_TRUE(sim->started());
  WriteSettings(demo + "/modem", {{{"Modem", "FaxClass", "0"}, {"Dialing", "DialAttempts", "3"}}});
  {
    TXbTable table;
    TXbEngine engine(table);
    ASSERT_TRUE(OpenFaxDBF(table, engine, data.dir.Folder()));
    ASSERT_TRUE(table.Append() && table.SetString("PHONE", "5550100") && table.Post());
    ASSERT_TRUE(engine.FileToBlob("RTFDOC", std::string(TOLMERA_SOURCE_DIR) + "/scripts/demo/first-fax.rtf") &&
                table.Post());
  }
  auto w = OpenMain();
  AnswerSendWindow([&](TSendFaxForm& form) { SendAndWatch(form); });
  driver.Click(QMessageBox::Ok);  // "Fax sent successfully"
  QTest::mouseClick(w->findChild<QPushButton*>("SendButton"), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }, 1000));
  EXPECT_TRUE(driver.unexpected.empty());
  EXPECT_EQ(seen.result, "Sent");
  EXPECT_FALSE(sim->waitFor({"EVENT page", "fax=5550100", "response=MCF"}, 10).empty());
  bool stored = false;
  for (const auto& entry : std::filesystem::directory_iterator(demo + "/received"))
    stored = stored || entry.path().extension() == ".pbm";
  EXPECT_TRUE(stored);
  EXPECT_FALSE(sim->waitFor({"EVENT command", "text=\"AT+FCLASS=2.0\""}, 1).empty());  // detected
}

// Busy on the first attempt: the progress window counts down the retry wait
// after the status, then shows the second attempt, which gets through.
TEST_F(SendWindowTest, ABusyLineIsRedialledWithTheCountdownShown) {
  StartLine({"--fault", "5550100:busy=1"});
  WriteSettings(line.File("modem"), {{{"Dialing", "DialAttempts", "2"}, {"Dialing", "RetryWait", "3"}}});
  AddOutgoing("5550100");
  auto w = OpenMain();
  AnswerSendWindow([&](TSendFaxForm& form) { SendAndWatch(form); });
  driver.Click(QMessageBox::Ok);  // "Fax sent successfully"
  QTest::mouseClick(w->findChild<QPushButton*>("SendButton"), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }, 1000));
  EXPECT_EQ(seen.result, "Sent");
  EXPECT_TRUE(seen.statuses.count("Busy, waiting until redial...  0:03")) << seen.statuses.size();
  EXPECT_TRUE(seen.statuses.count("Busy, waiting until redial...  0:02"));
  EXPECT_TRUE(seen.attemptsShown.count("1"));
  EXPECT_TRUE(seen.attemptsShown.count("2"));
  w->close();
  EXPECT_EQ(Record().at("LASTRESULT"), "Sent");
}

TEST_F(SendWindowTest, BusyOnTheLastAttemptRecordsTheErrorAndLeavesSentAlone) {
  StartLine({"--fault", "5550100:busy"});
  WriteSettings(line.File("modem"));
  AddOutgoing("5550100");
  auto w = OpenMain();
  AnswerSendWindow([&](TSendFaxForm& form) {
    // The number edited in the window is the one dialled and recorded.
    form.findChild<QLineEdit*>("sfPhoneNumber")->setText("5550100");
    SendAndWatch(form);
  });
  AnswerErrorWindow("OkButton");
  QTest::mouseClick(w->findChild<QPushButton*>("SendButton"), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }, 1000));
  EXPECT_TRUE(driver.unexpected.empty());
  ASSERT_EQ(seen.errorCaptions.size(), 1u);
  EXPECT_EQ(seen.errorCaptions[0], "Fax Failure");
  EXPECT_EQ(seen.errorTexts[0],
            "We have received an error message while trying to send the fax\n\nError message: Called fax number "
            "was busy\n\n");
  EXPECT_FALSE(seen.continueOffered);
  EXPECT_FALSE(seen.problemSolverEnabled);  // no troubleshooter installed
  w->close();
  const auto rec = Record();
  EXPECT_EQ(rec.at("LASTRESULT"), "Called fax number was busy");
  EXPECT_FALSE(IsTrueLogical(rec.at("SENT")));
  EXPECT_EQ(rec.at("DATESENT"), "");
  EXPECT_EQ(rec.at("PAGES"), "1");
}

TEST_F(SendWindowTest, APortInUseOrMissingShowsTheOpeningErrorAndKeepsTheResult) {
  StartLine();
  WriteSettings(line.File("modem"));
  AddOutgoing("5550100");
  TKvComPort holder;  // another program holds the modem
  holder.SetPromptForPort(false);
  holder.SetDeviceName(line.File("modem"));
  holder.SetOpen(true);
  auto w = OpenMain();
  AnswerSendWindow([&](TSendFaxForm& form) {
    form.findChild<QPushButton*>("SendFaxButton")->click();
    seen.stayedOpenOnClose = !form.Sending();
  });
  AnswerErrorWindow("OkButton");
  QTest::mouseClick(w->findChild<QPushButton*>("SendButton"), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }, 1000));
  ASSERT_EQ(seen.errorCaptions.size(), 1u);
  EXPECT_EQ(seen.errorCaptions[0], "Error Opening Communications Port");
  EXPECT_EQ(seen.errorTexts[0],
            "The communications port is in use ( Com 1 )\n\nPlease make sure that all communication programs "
            "(internet, AOL, etc) are closed, and then try again.\n\nIs the Communications Port (COM1) correct? "
            "Please\nclick on the Find Modem button on the Preferences screen to be sure.");
  EXPECT_TRUE(seen.stayedOpenOnClose);  // the attempt was abandoned
  w->close();
  w.reset();
  auto rec = Record();
  EXPECT_EQ(rec.at("LASTRESULT"), "old result");
  EXPECT_EQ(rec.at("PAGES"), "1");  // written even without a transmission
  holder.SetOpen(false);

  // A device that does not exist.
  WriteSettings(line.File("no-such-modem"));
  seen = {};
  w = OpenMain();
  AnswerSendWindow([&](TSendFaxForm& form) { form.findChild<QPushButton*>("SendFaxButton")->click(); });
  AnswerErrorWindow("OkButton");
  // File, "Send Fax" (Ctrl+S).
  QAction* sendItem = nullptr;
  for (QAction* a : w->findChildren<QAction*>())
    if (a->text() == "Send Fax") sendItem = a;
  ASSERT_NE(sendItem, nullptr);
  EXPECT_EQ(sendItem->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
  sendItem->trigger();
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }, 1000));
  ASSERT_EQ(seen.errorCaptions.size(), 1u);
  EXPECT_TRUE(seen.errorTexts[0].startsWith("Unable to open the specified communications port ( Com1 )"))
      << seen.errorTexts[0].toStdString();

  // A device that is not a serial line.
  w->close();
  w.reset();
  testing::WriteText(Data("not-a-tty"), "plain file");
  WriteSettings(Data("not-a-tty"));
  seen = {};
  w = OpenMain();
  AnswerSendWindow([&](TSendFaxForm& form) { form.findChild<QPushButton*>("SendFaxButton")->click(); });
  AnswerErrorWindow("OkButton");
  QTest::mouseClick(w->findChild<QPushButton*>("SendButton"), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }, 1000));
  ASSERT_EQ(seen.errorCaptions.size(), 1u);
  EXPECT_EQ(seen.errorCaptions[0], "Error Opening Communications Port");
  EXPECT_TRUE(seen.errorTexts[0].startsWith("Unable to open the specified communications port")) << seen.errorTexts[0].toStdString();
  w->close();
  EXPECT_EQ(Record().at("LASTRESULT"), "old result");
}

// A pseudo-terminal whose far end nobody reads: a port with no modem.
class SilentLine {
 public:
  SilentLine() {
    char name[128];
    ok_ = ::openpty(&master_, &slave_, name, nullptr, nullptr) == 0;
    if (ok_) path_ = name;
  }
  ~SilentLine() {
    if (ok_) {
      ::close(master_);
      ::close(slave_);
    }
  }
  const std::string& Path() const { return path_; }
  // Throws away what the program wrote.
  void Drain() {
    char buf[256];
    ::fcntl(master_, F_SETFL, O_NONBLOCK);
    while (::read(master_, buf, sizeof buf) > 0) {
    }
  }

 private:
  bool ok_ = false;
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

TEST_F(SendWindowTest, NoResponseOffersContinueAndOkStopsTheSession) {
  SilentLine silent;
  WriteSettings(silent.Path());
  AddOutgoing("5550100");
  auto w = OpenMain();
  AnswerSendWindow([&](TSendFaxForm& form) {
    form.findChild<QPushButton*>("SendFaxButton")->click();
    seen.stayedOpenOnClose = !form.Sending();
  });
  AnswerErrorWindow("OkButton");
  QTest::mouseClick(w->findChild<QPushButton*>("SendButton"), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }, 1000));
  ASSERT_EQ(seen.errorCaptions.size(), 1u);
  EXPECT_EQ(seen.errorCaptions[0], "No Response From Modem");
  EXPECT_TRUE(seen.continueOffered);
  EXPECT_EQ(seen.errorTexts[0],
            "We did not receive a modem response from COM1.\n\nTo verify the communications port, please click on "
            "the Find Modem button on the Preferences screen.\n\nIf you are sure there is a modem on COM1, press "
            "CONTINUE\nto continue, otherwise press OK to stop the fax session.");
  EXPECT_TRUE(seen.stayedOpenOnClose);
  w->close();
  EXPECT_EQ(Record().at("LASTRESULT"), "old result");
}

TEST_F(SendWindowTest, NoResponseAndContinueGoesOnToTheSessionWhichFails) {
  SilentLine silent;
  WriteSettings(silent.Path());
  AddOutgoing("5550100");
  auto w = OpenMain();
  AnswerSendWindow([&](TSendFaxForm& form) { SendAndWatch(form, 120000); });
  AnswerErrorWindow("ContinueButton");
  AnswerErrorWindow("OkButton");  // the session's own failure
  QTest::mouseClick(w->findChild<QPushButton*>("SendButton"), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }, 1000));
  ASSERT_EQ(seen.errorCaptions.size(), 2u);
  EXPECT_EQ(seen.errorCaptions[0], "No Response From Modem");
  EXPECT_EQ(seen.errorCaptions[1], "Fax Failure");
  EXPECT_TRUE(seen.errorTexts[1].contains("Error message: Bad response from modem")) << seen.errorTexts[1].toStdString();
  w->close();
  EXPECT_EQ(Record().at("LASTRESULT"), "Bad response from modem");
  EXPECT_FALSE(IsTrueLogical(Record().at("SENT")));
}

// A modem that writes a garbage line before each result: the send either
// goes through or ends with the failure window; the window can be closed,
// the port is closed and the record tells what happened.
TEST_F(SendWindowTest, AModemThatAnswersGarbageEndsInAResult) {
  StartLine({"--fault", "100:garbage"});
  WriteSettings(line.File("modem"));
  AddOutgoing("5550100");
  auto w = OpenMain();
  AnswerSendWindow([&](TSendFaxForm& form) { SendAndWatch(form, 120000); });
  driver.Then([&](QWidget* modal) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      seen.errorCaptions.push_back("box: " + box->text());
      box->accept();
    } else if (auto* error = qobject_cast<TShowErrorForm*>(modal)) {
      seen.errorCaptions.push_back(error->windowTitle());
      error->findChild<QPushButton*>("OkButton")->click();
    }
  });
  QTest::mouseClick(w->findChild<QPushButton*>("SendButton"), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }, 1000));
  EXPECT_TRUE(driver.unexpected.empty());
  ASSERT_EQ(seen.errorCaptions.size(), 1u);
  EXPECT_TRUE(seen.errorCaptions[0] == "box: Fax sent successfully" || seen.errorCaptions[0] == "Fax Failure")
      << seen.errorCaptions[0].toStdString();
  EXPECT_FALSE(sim->waitFor({"EVENT port", "state=closed"}, 5).empty());
  w->close();
  EXPECT_EQ(Record().at("LASTRESULT"), seen.result.toStdString());
}

TEST_F(SendWindowTest, AResetStringTheModemRefusesEndsTheAttempt) {
  StartLine();
  WriteSettings(line.File("modem"), {{{"Resetting", "String", "AT+NOSUCH"}}});
  AddOutgoing("5550100");
  auto w = OpenMain();
  AnswerSendWindow([&](TSendFaxForm& form) {
    form.findChild<QPushButton*>("SendFaxButton")->click();
    seen.stayedOpenOnClose = !form.Sending();
  });
  AnswerErrorWindow("OkButton");
  QTest::mouseClick(w->findChild<QPushButton*>("SendButton"), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }, 1000));
  ASSERT_EQ(seen.errorCaptions.size(), 1u);
  EXPECT_EQ(seen.errorCaptions[0], "Unable to Continue");
  EXPECT_EQ(seen.errorTexts[0],
            "We are unable to continue the fax session. \n\nThe modem did not respond to the reset string:   "
            "(AT+NOSUCH)\n\nIs the Communications Port (COM1) correct? Please\nclick on the Find Modem button on "
            "the Preferences screen to be sure.");
  EXPECT_TRUE(seen.stayedOpenOnClose);
  EXPECT_TRUE(sim->waitFor({"port", "state=closed"}, 10).size() > 0);  // the port was closed
}

TEST_F(SendWindowTest, AnEmptyRecordGivesTheMessagesAndLeavesNoFile) {
  WriteSettings("/dev/null");
  AddOutgoing("5550100", false);
  auto w = OpenMain();
  driver.Click(QMessageBox::Ok);  // "Fax has no contents or cover sheet"
  driver.Click(QMessageBox::Ok);  // "Error creating fax file"
  QTest::mouseClick(w->findChild<QPushButton*>("SendButton"), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }, 1000));
  ASSERT_EQ(driver.boxes.size(), 3u);
  EXPECT_EQ(driver.boxes[1].text, "Fax has no contents or cover sheet");
  EXPECT_EQ(driver.boxes[2].text, "Error creating fax file");
  w->close();
  const auto rec = Record();
  EXPECT_EQ(rec.at("LASTRESULT"), "old result");
  EXPECT_EQ(rec.at("PAGES"), "7");
  for (const auto& entry : std::filesystem::directory_iterator(data.dir.Folder()))
    EXPECT_NE(entry.path().extension(), ".APF") << entry.path();
}

// A disk that fills up while the pages are rendered: a clear message, the
// record as it was, and no page or fax file left behind.
TEST_F(SendWindowTest, ADiskFullWhileRenderingLeavesTheRecordAndNoFiles) {
  WriteSettings("/dev/null");
  AddOutgoing("5550100");
  auto w = OpenMain();
  driver.Click(QMessageBox::Ok);
  // Files may grow to 64 KB: the tables and the memo copy fit, a page bitmap
  // (450 KB) does not.
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 64 * 1024;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  QTest::mouseClick(w->findChild<QPushButton*>("SendButton"), Qt::LeftButton);
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }, 1000));
  ASSERT_EQ(driver.boxes.size(), 2u);
  EXPECT_TRUE(driver.boxes[1].text.startsWith("Error creating fax file")) << driver.boxes[1].text.toStdString();
  EXPECT_GT(driver.boxes[1].text.size(), QString("Error creating fax file").size());  // says why
  EXPECT_TRUE(driver.unexpected.empty());
  w->close();
  const auto rec = Record();
  EXPECT_EQ(rec.at("LASTRESULT"), "old result");
  EXPECT_EQ(rec.at("PAGES"), "7");
  for (const auto& entry : std::filesystem::directory_iterator(data.dir.Folder())) {
    EXPECT_NE(entry.path().extension(), ".APF") << entry.path();
    EXPECT_NE(entry.path().extension(), ".BMP") << entry.path();
  }
}

// A document memo that is not RTF at all (binary junk) is sent as whatever
// text it holds or refused with a message; never a crash, and the record
// keeps its values when nothing was sent.
TEST_F(SendWindowTest, ADamagedMemoIsHandledWithoutLosingTheRecord) {
  WriteSettings("/dev/null");
  {
    TXbTable table;
    TXbEngine engine(table);
    ASSERT_TRUE(OpenFaxDBF(table, engine, data.dir.Folder()));
    ASSERT_TRUE(table.Append() && table.SetString("PHONE", "5550100") && table.SetString("LASTRESULT", "old result") &&
                table.Post());
    std::string junk = "{\\rtf1{\\fonttbl{";
    for (int i = 0; i < 3000; ++i) junk += char(i * 37 % 256);
    testing::WriteText(Data("junk.rtf"), junk);
    ASSERT_TRUE(engine.FileToBlob("RTFDOC", Data("junk.rtf")) && table.Post());
    std::remove(Data("junk.rtf").c_str());
  }
  auto w = OpenMain();
  bool windowOpened = false;
  driver.Then([&](QWidget* modal) {
    if (auto* form = qobject_cast<TSendFaxForm*>(modal)) {
      windowOpened = true;
      form->findChild<QPushButton*>("CloseButton")->click();
    } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      box->accept();
    }
  });
  driver.Click(QMessageBox::Ok);  // a second box, when the fax could not be made
  QTest::mouseClick(w->findChild<QPushButton*>("SendButton"), Qt::LeftButton);
  WaitUntil([&] { return driver.Idle(); }, 1000);
  w->close();
  const auto rec = Record();
  EXPECT_EQ(rec.at("LASTRESULT"), "old result");
  EXPECT_FALSE(IsTrueLogical(rec.at("SENT")));
  for (const auto& entry : std::filesystem::directory_iterator(data.dir.Folder()))
    EXPECT_NE(entry.path().extension(), ".APF") << entry.path();
  if (windowOpened) {
    EXPECT_EQ(rec.at("PHONE"), "5550100");
  }
}

// PAGES holds two digits: a longer fax is still recorded, as 99 pages.
TEST_F(SendWindowTest, AFaxOfMoreThan99PagesIsStillRecorded) {
  AddOutgoing("5550100", false);
  std::unique_ptr<TableAccess> log = tables->OpenFaxLog();
  ASSERT_TRUE(log && log->First());
  const QDateTime when(QDate(2026, 3, 4), QTime(7, 5));
  ASSERT_TRUE(RecordSendResult(*log, 120, "Sent", "5550100", when));
  EXPECT_EQ(log->Field("PAGES"), "99");
  EXPECT_EQ(log->Field("DATESENT"), "20260304");
  EXPECT_EQ(log->Field("TIMESENT"), "07:05");
  EXPECT_TRUE(IsTrueLogical(log->Field("SENT")));
  // A blank result leaves LASTRESULT and the sent fields alone.
  ASSERT_TRUE(RecordSendResult(*log, 3, "  ", "5550111", when.addDays(1)));
  EXPECT_EQ(log->Field("PAGES"), "3");
  EXPECT_EQ(log->Field("LASTRESULT"), "Sent");
  EXPECT_EQ(log->Field("PHONE"), "5550111");
  EXPECT_EQ(log->Field("DATESENT"), "20260304");
}

TEST_F(SendWindowTest, TheErrorWindowIsOneAtATimeAndClosesItselfWhenAsked) {
  bool secondReturnedAtOnce = false;
  driver.Then([&](QWidget* w) {
    auto* form = qobject_cast<TShowErrorForm*>(w);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(TShowErrorForm::Show(nullptr, "Second", "text", 0, {}), TShowErrorForm::Outcome::kNotShown);
    secondReturnedAtOnce = true;
    // Taller for a longer message: (lines + 3) text lines.
    auto* memo = form->findChild<QPlainTextEdit*>("Memo");
    EXPECT_EQ(memo->minimumHeight(), (3 + 3) * memo->fontMetrics().lineSpacing());
    EXPECT_FALSE(form->findChild<QPushButton*>("ProblemSolverButton")->isEnabled());
    EXPECT_EQ(form->findChild<QPushButton*>("ProblemSolverButton")->toolTip(),
              "Start the Fax Problem Solver to read about solutions to this error");
    form->findChild<QPushButton*>("OkButton")->click();
  });
  TShowErrorForm::ShowError(nullptr, "First", "one\r\ntwo\r\nthree", 8064);
  EXPECT_TRUE(secondReturnedAtOnce);
  EXPECT_FALSE(TShowErrorForm::IsOpen());

  // With a troubleshooter: Continue's window stays open when it is opened.
  std::vector<int> solverCodes;
  TShowErrorForm::SetProblemSolver([&](QWidget*, int code) { solverCodes.push_back(code); });
  driver.Then([&](QWidget* w) {
    w->findChild<QPushButton*>("ProblemSolverButton")->click();
    EXPECT_TRUE(w->isVisible());
    w->findChild<QPushButton*>("ContinueButton")->click();
  });
  EXPECT_TRUE(TShowErrorForm::ShowContinue(nullptr, "Q", "go on?", 8061));
  EXPECT_EQ(solverCodes, std::vector<int>{8061});
  TShowErrorForm::SetProblemSolver({});

  // The self-closing form needs no answer.
  driver.passThrough.insert("tlm::TShowErrorForm");
  TShowErrorForm form(nullptr, "Auto", "closes", 0, {false, true});
  auto* timer = form.findChild<QTimer*>("CloseTimer");
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->interval(), 30000);
  timer->setInterval(50);
  timer->start();
  EXPECT_EQ(form.exec(), QDialog::Rejected);
}

}  // namespace
}  // namespace tlm
