// The send window without a line: the configuration memo line by line, the
// Preferences hook reloading the dial edits, the keyboard (Escape closes an
// idle window) and its controls' order.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "app/gui_test_support.h"
#include "send/send_fax_form.h"
#include "send/show_error_form.h"

namespace tlm {
namespace {

TSendFaxForm::Job SampleJob() {
  TSendFaxForm::Job job;
  job.faxFile = "/tmp/TLM_1.APF";
  job.recipient = "Ann";
  job.subject = "Figures";
  job.phoneNumber = "5550100";
  job.portNumber = 3;
  job.dialPrefix = "9,";
  job.dialSuffix = "#";
  job.suffixDisabled = true;
  return job;
}

TEST(SendForm, TheConfigurationMemoShowsEverySettingAndTheOptionalLines) {
  testing::App();
  testing::DataFolderScope data;
  Settings s;
  s.comPort = 2;
  s.faxClass = 3;
  s.maximumBps = 14400;
  s.toneOrPulse = 1;
  s.initString = "ATS7=90";
  s.resetString = "ATZ";
  s.resetAfterString = "AT&F";
  s.userFax = "555 0001";
  s.dialAttempts = 4;
  s.retryWait = 45;
  QStringList lines = TSendFaxForm::SetupLines(s, 3);
  EXPECT_EQ(lines, (QStringList{"Communications Port: COM3 (/dev/ttyS2)", "Fax Class: Class 2.0",
                                "Transfer Rate: 14400", "Dialing with: Pulse", "Modem Init String :ATS7=90",
                                "Modem Reset String :ATZ", "Post Reset String :AT&F", "Station ID (Fax #) :555 0001",
                                "Dial Attempts :4", "Retry in :45 seconds"}));
  s.blindDial = s.ignoreBusy = s.ecm = true;
  s.faxClass = 0;
  lines = TSendFaxForm::SetupLines(s, 3);
  EXPECT_EQ(lines[1], "Fax Class: Autodetect");
  EXPECT_EQ(lines.mid(10), (QStringList{"Blind Dial is ACTIVE", "Ignore Busy is ACTIVE", "Using Error Correction"}));
}

TEST(SendForm, PreferencesReloadTheDialEditsAndEscapeClosesAnIdleWindow) {
  testing::App();
  testing::DataFolderScope data;
  Settings settings;
  settings.comPort = 2;
  TSendFaxForm form(SampleJob(), settings);
  form.show();
  QApplication::processEvents();
  EXPECT_EQ(form.windowTitle(), "Send Fax");
  EXPECT_EQ(form.findChild<QLineEdit*>("sfPhoneNumber")->text(), "5550100");
  EXPECT_EQ(form.findChild<QLineEdit*>("sfPhoneNumber")->maxLength(), 25);
  EXPECT_EQ(form.findChild<QLineEdit*>("sfDialPrefix")->text(), "9,");
  EXPECT_TRUE(form.findChild<QCheckBox*>("DisableSuffix")->isChecked());
  EXPECT_TRUE(form.findChild<QPushButton*>("SendFaxButton")->isDefault());
  EXPECT_FALSE(form.findChild<QPushButton*>("ProblemSolverButton")->isEnabled());
  EXPECT_TRUE(form.findChild<QPlainTextEdit*>("SetupDisplayMemo")->toPlainText().startsWith("Communications Port: COM3"));

  // The set-up windows' preferences: OK reloads the edits, the memo follows.
  int opened = 0;
  TSendFaxForm::SetPreferencesWindow([&](QWidget*, Settings& s) {
    ++opened;
    s.dialPrefix = "8";
    s.dialSuffix = "";
    s.prefixDisable = true;
    s.suffixDisable = false;
    s.faxClass = 2;
    return true;
  });
  form.findChild<QPushButton*>("PreferencesButton")->click();
  TSendFaxForm::SetPreferencesWindow({});
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(form.DialPrefixText(), "8");
  EXPECT_EQ(form.DialSuffixText(), "");
  EXPECT_TRUE(form.PrefixDisabled());
  EXPECT_FALSE(form.SuffixDisabled());
  EXPECT_TRUE(form.findChild<QPlainTextEdit*>("SetupDisplayMemo")->toPlainText().contains("Fax Class: Class 2"));

  // Keyboard order through the edits, then Escape closes the idle window.
  QWidget* w = form.findChild<QLineEdit*>("sfPhoneNumber");
  std::vector<QString> order;
  for (int i = 0; i < 6; ++i) {
    order.push_back(w->objectName());
    w = w->nextInFocusChain();
    while (w && w->focusPolicy() == Qt::NoFocus) w = w->nextInFocusChain();
  }
  EXPECT_EQ(order, (std::vector<QString>{"sfPhoneNumber", "sfDialPrefix", "DisablePrefix", "sfDialsuffix",
                                         "DisableSuffix", "SetupDisplayMemo"}));
  QTest::keyClick(&form, Qt::Key_Escape);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.result(), QDialog::Rejected);
  EXPECT_TRUE(form.ResultText().isEmpty());  // nothing was sent
}

}  // namespace
}  // namespace tlm
