#pragma once
// The send window's test fixture: a data folder with its real tables and
// settings, one outgoing fax, the main window with the send hooks, and a
// driver that answers the send window and the windows over it. The line is
// faxsim (StartLine) or whatever modem the test maps to COM1.
#include <gtest/gtest.h>

#include <QDate>
#include <QPlainTextEdit>
#include <QPushButton>
#include <array>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "app/gui_test_support.h"
#include "app/main_screen.h"
#include "app/modal_driver.h"
#include "app/storage_tables.h"
#include "faxsim/faxsim_runner.h"
#include "platform/profile_file.h"
#include "send/send_fax_form.h"
#include "send/send_hooks.h"
#include "send/show_error_form.h"
#include "send/standard_fax_display.h"
#include "storage/log_tables.h"
#include "storage/xb_components.h"

namespace tlm::testing {

inline constexpr const char* kDocument = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Liberation Sans;}}\\f0\\fs24 "
                                  "Quarterly figures for the fax test.\\par Second line.\\par}";

// What a user saw in the send window and the windows over it.
struct Seen {
  QString memo;
  QString result;
  std::vector<QString> errorCaptions;
  std::vector<QString> errorTexts;
  bool continueOffered = false;
  bool problemSolverEnabled = true;
  std::set<QString> statuses;        // "Status:" of the progress window
  std::set<QString> phoneShown;      // "Phone number:"
  std::set<QString> fileShown;       // "Fax file name:"
  std::set<QString> pagesShown;      // "Total pages:"
  std::set<QString> attemptsShown;   // "Dial attempt:"
  std::set<QString> errorControlShown;  // "Error control:"
  bool stayedOpenOnClose = false;
  bool faxFileExistedWhileOpen = false;
};

class SendWindowTest : public ::testing::Test {
 protected:
  SendWindowTest() { App(); }
  ~SendWindowTest() override { ::unsetenv("TOLMERA_HOME"); }

  std::string Data(const std::string& name) const { return data.dir.File(name); }

  // faxsim with the demo numbers' roles: the modem and a receiving machine.
  void StartLine(std::vector<std::string> extra = {}) {
    std::filesystem::create_directories(line.File("rx"));
    std::vector<std::string> args = {"--modem",  line.File("modem") + "=100", "--remote-receiver",
                                     "5550100:" + line.File("rx"), "--speed", "accelerated", "--accel", "10"};
    args.insert(args.end(), extra.begin(), extra.end());
    sim = std::make_unique<faxsim::testing::FaxsimProcess>(line.Folder(), args);
    ASSERT_TRUE(sim->started());
  }

  // TLM.INI: COM1 mapped to `device`, Class 2, the given extra keys.
  void WriteSettings(const std::string& device, const std::vector<std::array<std::string, 3>>& extra = {}) {
    ProfileFile ini(Data("TLM.INI"));
    ini.WriteString("Ports", "COM1", device);
    ini.WriteString("Modem", "ComPort", "0");
    ini.WriteString("Modem", "FaxClass", "2");
    ini.WriteString("Modem", "MaximumBPS", "14400");
    ini.WriteString("Dialing", "DialAttempts", "1");
    ini.WriteString("Dialing", "RetryWait", "1");
    ini.WriteString("User", "Fax", "555 0001");
    ini.WriteString("User", "Name", "Tester");
    for (const auto& [section, key, value] : extra) ini.WriteString(section, key, value);
    ini.Save();
  }

  // One outgoing fax with a document and the given stored values.
  void AddOutgoing(const std::string& phone, bool withDocument = true, const char* document = kDocument) {
    TXbTable table;
    TXbEngine engine(table);
    ASSERT_TRUE(OpenFaxDBF(table, engine, data.dir.Folder()));
    ASSERT_TRUE(table.Append() && table.SetString("SUBJECT", "Figures") && table.SetString("RECIPIENT", "Ann") &&
                table.SetString("PHONE", phone) && table.SetString("LASTRESULT", "old result") &&
                table.SetString("PAGES", "7") && table.Post());
    if (withDocument) {
      testing::WriteText(Data("doc.rtf"), document);
      ASSERT_TRUE(engine.FileToBlob("RTFDOC", Data("doc.rtf")));
      ASSERT_TRUE(table.Post());
      std::remove(Data("doc.rtf").c_str());
    }
  }

  std::map<std::string, std::string> Record() {
    TXbTable table;
    TXbEngine engine(table);
    std::map<std::string, std::string> out;
    if (!OpenFaxDBF(table, engine, data.dir.Folder()) || !table.First()) return out;
    for (const char* f : {"PAGES", "LASTRESULT", "SENT", "DATESENT", "TIMESENT", "PHONE"}) out[f] = table.AsString(f);
    return out;
  }

  std::unique_ptr<TMainScreen> OpenMain() {
    driver.passThrough.insert("tlm::TRebuildInd");
    MainScreenHooks hooks;
    InstallSendHooks(hooks);
    auto w = std::make_unique<TMainScreen>(*tables, hooks);
    driver.Click(QMessageBox::No);  // the reindex question of fresh index files
    w->show();
    EXPECT_TRUE(WaitUntil([&] { return driver.Idle(); }));
    testing::Settle();
    return w;
  }

  // Answers the send window: `act` runs in it (clicks, waits); the window is
  // then closed with its Close button.
  void AnswerSendWindow(const std::function<void(TSendFaxForm&)>& act) {
    driver.Then([this, act](QWidget* w) {
      auto* form = qobject_cast<TSendFaxForm*>(w);
      if (!form) {
        ADD_FAILURE() << "not the send window: " << w->metaObject()->className();
        return;
      }
      seen.memo = form->findChild<QPlainTextEdit*>("SetupDisplayMemo")->toPlainText();
      seen.faxFileExistedWhileOpen = true;
      act(*form);
      seen.result = form->ResultText();
      form->findChild<QPushButton*>("CloseButton")->click();
    });
  }

  // Answers an error window, noting what it said, with the named button.
  void AnswerErrorWindow(const char* button) {
    driver.Then([this, button](QWidget* w) {
      auto* form = qobject_cast<TShowErrorForm*>(w);
      if (!form) {
        ADD_FAILURE() << "not an error window: " << w->metaObject()->className();
        if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
        return;
      }
      seen.errorCaptions.push_back(form->windowTitle());
      seen.errorTexts.push_back(form->findChild<QPlainTextEdit*>("Memo")->toPlainText());
      seen.continueOffered = form->findChild<QPushButton*>("ContinueButton") != nullptr;
      seen.problemSolverEnabled = form->findChild<QPushButton*>("ProblemSolverButton")->isEnabled();
      form->findChild<QPushButton*>(button)->click();
    });
  }

  // Clicks "Send Fax Now" and waits, watching the progress window, until
  // the transmission has finished and its message has been answered.
  void SendAndWatch(TSendFaxForm& form, int ms = 90000) {
    form.findChild<QPushButton*>("SendFaxButton")->click();
    WaitUntil(
        [&] {
          if (TStandardFaxDisplay* d = form.FaxStatus().Display()) {
            seen.statuses.insert(d->Value("Status:"));
            seen.phoneShown.insert(d->Value("Phone number:"));
            seen.fileShown.insert(d->Value("Fax file name:"));
            seen.pagesShown.insert(d->Value("Total pages:"));
            seen.attemptsShown.insert(d->Value("Dial attempt:"));
            seen.errorControlShown.insert(d->Value("Error control:"));
          }
          return !form.Sending() && QApplication::activeModalWidget() == &form;
        },
        ms);
  }

  DataFolderScope data;
  testing::TempDir line;
  std::unique_ptr<faxsim::testing::FaxsimProcess> sim;
  std::unique_ptr<TableProvider> tables = CreateStorageTables();
  ModalDriver driver;
  Seen seen;
};

inline std::string Today() { return QDate::currentDate().toString("yyyyMMdd").toStdString(); }

}  // namespace tlm::testing
