// The preferences wizard and quick set-up on a data folder's TLM.INI:
// navigation, the first-run rules, Finish and what reaches the file, the
// "Same as SEND" buttons, the wave file, refused input, the modem search
// and class analysis from the wizard; quick set-up on a first start.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "app/main_screen.h"
#include "app/sound_player.h"
#include "app/storage_tables.h"
#include "modal_driver.h"
#include "platform/profile_file.h"
#include "setup/preferences_form.h"
#include "setup/preferences_hooks.h"
#include "setup/quick_setup_form.h"
#include "setup_test_support.h"

namespace tlm {
namespace {

using namespace testing;

// Answers a probing window: "Ok" is clicked once it shows (the window's
// work runs in the same event loop, so the answer must not wait in it).
void ClickOkWhenDone(QWidget* form) {
  auto* timer = new QTimer(form);
  QObject::connect(timer, &QTimer::timeout, form, [form, timer] {
    auto* ok = form->findChild<QPushButton*>(QStringLiteral("OkButton"));
    if (!ok || !ok->isVisible()) return;
    timer->stop();
    QTest::mouseClick(ok, Qt::LeftButton);
  });
  timer->start(20);
}

class PreferencesTest : public ::testing::Test {
 protected:
  PreferencesTest() { App(); }
  std::string Folder() const { return data.dir.Folder(); }
  std::string Ini() const { return data.dir.File("TLM.INI"); }
  ProfileFile File() const { return ProfileFile(Ini()); }

  std::unique_ptr<TPreferences> Open(bool firstRun = false) {
    auto w = std::make_unique<TPreferences>(record, firstRun, Ini());
    w->Ports().findOptions.unmappedDevices = [] { return std::vector<std::string>{}; };
    w->show();
    return w;
  }
  static void Click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
  static void ClickRadio(QRadioButton* b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(5, b->height() / 2)); }

  DataFolderScope data;
  ModalDriver driver;
  Settings record;
};

TEST_F(PreferencesTest, NavigationHelpTopicsAndTheFirstRunRules) {
  auto w = Open();
  EXPECT_EQ(w->windowTitle(), "Preferences Wizard");
  EXPECT_EQ(w->CurrentPage(), 0);
  EXPECT_FALSE(w->BackButton->isEnabled());
  EXPECT_TRUE(w->NextButton->isEnabled());
  EXPECT_TRUE(w->FinishButton->isEnabled());
  EXPECT_FALSE(w->FirstTimeLabel->isVisible());
  for (int page = 1; page < kPreferencesPageCount; ++page) {
    Click(w->NextButton);
    EXPECT_EQ(w->CurrentPage(), page);
    EXPECT_EQ(w->PageCombo->currentIndex(), page);
    EXPECT_EQ(w->PageLabel->text(), w->PageCombo->itemText(page));
    EXPECT_TRUE(w->BackButton->isEnabled());
    EXPECT_TRUE(w->FinishButton->isEnabled());
  }
  EXPECT_FALSE(w->NextButton->isEnabled());
  EXPECT_EQ(w->PageLabel->text(), "Receiving Faxes - Part 3");
  Click(w->BackButton);
  EXPECT_EQ(w->PageLabel->text(), "Receiving Faxes - Part 2");
  w->PageCombo->activated(1);
  EXPECT_EQ(w->CurrentPage(), 1);
  EXPECT_EQ(w->PageLabel->text(), "Modem and Communications Port");
  const std::vector<int> topics = {1022, 3501, 3502, 3502, 3502, 3503, 3503, 3503};
  for (int page = 0; page < kPreferencesPageCount; ++page) EXPECT_EQ(PreferencesHelpTopic(page), topics[page]);

  auto first = Open(true);
  EXPECT_TRUE(first->FirstTimeLabel->isVisible());
  for (int page = 0; page < kPreferencesPageCount; ++page) {
    first->GoToPage(page);
    EXPECT_EQ(first->FinishButton->isEnabled(), page == kPreferencesPageCount - 1) << page;
  }
  driver.Click(QMessageBox::Yes);
  Click(first->FinishButton);  // on the last page
  EXPECT_EQ(first->result(), QDialog::Accepted);
  EXPECT_EQ(File().ReadString("Version", "Version", ""), "2.9q");
  EXPECT_TRUE(driver.unexpected.empty());
}

// Every setting goes out as edited; Finish asks first, No leaves the wizard
// open, Yes saves the file and the record.
TEST_F(PreferencesTest, FinishSavesEveryPageIntoTheRecordAndTheFile) {
  { std::ofstream(Ini()) << "[Modem]\nMaximumBPS=28800\nComPort=2\n[Ports]\nCOM6=/dev/ttyUSB7\n"; }
  record = LoadSettingsFile(Ini());
  record.printOnReceiptPrinter = "Printer That Went Away";
  auto w = Open();
  EXPECT_EQ(w->TransferRate->currentText(), "9600");
  EXPECT_EQ(w->PrintFaxOnReceiptPrinter->currentText(), "Default Windows Printer");
  EXPECT_TRUE(w->ComPort->Button(2)->isChecked());
  EXPECT_EQ(w->ComPort->Button(5)->text(), "Com6  (/dev/ttyUSB7)");
  EXPECT_EQ(w->ComPort->Button(0)->text(), "Com1  (/dev/ttyS0)");

  ClickRadio(w->ComPort->Button(3));
  ClickRadio(w->ToneOrPulse->Button(1));
  w->ResetString->setText("ATZ");
  ClickRadio(w->FaxClass->Button(2));
  w->TransferRate->setCurrentIndex(5);
  w->ModemInit->setText("AT&F");
  w->FaxNumber->setText("+1 555 0100 123456789012345");  // cut at 20
  w->Name->setText("Jo Example");
  w->UseECM->setChecked(true);
  w->DialPrefix->setText("9,");
  w->DialAttempts->setText("5");
  w->RetryWait->setText("30");
  w->CheckBlindDial->setChecked(true);
  ClickRadio(w->AnswerOnRing->Button(2));
  w->ReceiveAtStartup->setChecked(true);
  w->GoToPage(5);
  Click(w->findChild<QPushButton*>(QStringLiteral("SameAsSend0")));
  Click(w->findChild<QPushButton*>(QStringLiteral("SameAsSend1")));
  Click(w->findChild<QPushButton*>(QStringLiteral("SameAsSend2")));
  EXPECT_EQ(w->FaxClassReceive->ItemIndex(), 2);
  EXPECT_EQ(w->TransferRateReceive->currentText(), "14400");
  EXPECT_EQ(w->ModemInitReceive->text(), "AT&F");

  driver.Click(QMessageBox::No);
  Click(w->FinishButton);
  EXPECT_TRUE(w->isVisible());
  EXPECT_FALSE(File().Value("Modem", "FaxClass"));
  driver.Click(QMessageBox::Yes);
  Click(w->FinishButton);
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(w->result(), QDialog::Accepted);
  ASSERT_EQ(driver.boxes.size(), 2u);
  EXPECT_EQ(driver.boxes[1].caption, "Save Preferences");
  EXPECT_EQ(driver.boxes[1].text, "Save changes?");

  const ProfileFile ini = File();
  EXPECT_EQ(ini.ReadInteger("Modem", "ComPort", -9), 3);
  EXPECT_EQ(ini.ReadInteger("Dialing", "ToneOrPulse", -9), 1);
  EXPECT_EQ(ini.ReadString("Resetting", "String", ""), "ATZ");
  EXPECT_EQ(ini.ReadInteger("Modem", "FaxClass", -9), 2);
  EXPECT_EQ(ini.ReadInteger("Modem", "MaximumBPS", -9), 14400);
  EXPECT_EQ(ini.ReadInteger("Modem", "MaximumBPSReceive", -9), 14400);
  EXPECT_EQ(ini.ReadInteger("Modem", "FaxClassReceive", -9), 2);
  EXPECT_EQ(ini.ReadString("Modem", "InitStringReceive", ""), "AT&F");
  EXPECT_EQ(ini.ReadString("User", "Fax", ""), "+1 555 0100 12345678");
  EXPECT_EQ(ini.ReadString("User", "Name", ""), "Jo Example");
  EXPECT_TRUE(ini.ReadBool("Dialing", "ECM", false));
  EXPECT_EQ(ini.ReadString("Dialing", "DialPrefix", ""), "9,");
  EXPECT_EQ(ini.ReadInteger("Dialing", "DialAttempts", -9), 5);
  EXPECT_EQ(ini.ReadInteger("Dialing", "RetryWait", -9), 30);
  EXPECT_TRUE(ini.ReadBool("Dialing", "BlindDial", false));
  EXPECT_EQ(ini.ReadInteger("Receive", "AnswerOnRing", -9), 3);
  EXPECT_TRUE(ini.ReadBool("Receive", "AtStartup", false));
  EXPECT_EQ(ini.ReadString("Receive", "PrintOnReceiptPrinter", ""), "Default Windows Printer");
  EXPECT_EQ(ini.ReadString("Ports", "COM6", ""), "/dev/ttyUSB7");  // other sections kept
  EXPECT_EQ(record.answerOnRing, 3);
  EXPECT_EQ(record.maximumBps, 14400);

  // Opened again, the record shows as saved; Cancel changes nothing.
  auto again = Open();
  EXPECT_TRUE(again->AnswerOnRing->Button(2)->isChecked());
  again->Name->setText("Someone Else");
  Click(again->CancelButton);
  EXPECT_EQ(record.userName, "Jo Example");
  EXPECT_EQ(File().ReadString("User", "Name", ""), "Jo Example");
  EXPECT_TRUE(driver.unexpected.empty());
}

// Numbers and modem strings that cannot be used are refused on Finish with
// a message and the page that holds them; nothing is copied or saved.
TEST_F(PreferencesTest, RefusedFieldsLeaveRecordAndFileAlone) {
  auto w = Open();
  w->Name->setText("Changed");
  w->DialAttempts->setText("three");
  driver.Click(QMessageBox::Yes);
  driver.Click(QMessageBox::Ok);
  Click(w->FinishButton);
  ASSERT_EQ(driver.boxes.size(), 2u);
  EXPECT_EQ(driver.boxes[1].text, "'three' is not a valid integer value");
  EXPECT_EQ(w->CurrentPage(), 4);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(record.userName, "");
  EXPECT_FALSE(std::filesystem::exists(Ini()));

  w->DialAttempts->setText("3");
  w->ModemInit->setText(QString(200, QChar('A')));
  driver.Click(QMessageBox::Yes);
  driver.Click(QMessageBox::Ok);
  Click(w->FinishButton);
  ASSERT_EQ(driver.boxes.size(), 4u);
  EXPECT_EQ(driver.boxes[3].text,
            "The modem initialization string for sending is 200 characters long; the modem takes at most 40.");
  EXPECT_EQ(w->CurrentPage(), 2);

  w->ModemInit->setText("AT&F");
  w->ModemInitReceive->setText(QStringLiteral("AT\tS0=1"));
  driver.Click(QMessageBox::Yes);
  driver.Click(QMessageBox::Ok);
  Click(w->FinishButton);
  ASSERT_EQ(driver.boxes.size(), 6u);
  EXPECT_TRUE(driver.boxes[5].text.startsWith("The modem initialization string for receiving holds a control "
                                              "character (at position 3)"));
  EXPECT_EQ(w->CurrentPage(), 5);
  EXPECT_FALSE(std::filesystem::exists(Ini()));
  EXPECT_TRUE(driver.unexpected.empty());
}

// The wave file: only a name with ".wav" is taken from the dialog; "None"
// empties it; "Play Now" on a file that is not a WAV stays silent.
TEST_F(PreferencesTest, WaveFileRules) {
  const std::string wav = data.dir.File("ring.wav");
  const std::string mp3 = data.dir.File("ring.mp3");
  {
    // A valid, tiny RIFF/WAVE file: 8-bit mono, 100 samples.
    std::ofstream out(wav, std::ios::binary);
    const auto u32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    const auto u16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out << "RIFF";
    u32(36 + 100);
    out << "WAVEfmt ";
    u32(16); u16(1); u16(1); u32(8000); u32(8000); u16(1); u16(8);
    out << "data";
    u32(100);
    out << std::string(100, '\x80');
  }
  { std::ofstream(mp3) << "ID3 not a wave"; }
  EXPECT_TRUE(IsWaveFile(QString::fromStdString(wav)));
  EXPECT_FALSE(IsWaveFile(QString::fromStdString(mp3)));
  EXPECT_FALSE(PlaySoundFile(QString::fromStdString(mp3)));
  EXPECT_FALSE(PlaySoundFile(QString::fromStdString(data.dir.File("missing.wav"))));

  auto w = Open();
  w->GoToPage(7);
  const auto choose = [&](const std::string& file) {
    driver.Then([file](QWidget* dialog) {
      auto* fd = qobject_cast<QFileDialog*>(dialog);
      ASSERT_NE(fd, nullptr);
      EXPECT_EQ(fd->nameFilters().join(";"), "WAVE files (*.wav *.WAV)");
      auto* name = fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      ASSERT_NE(name, nullptr);
      name->setText(QString::fromStdString(file));
      QTest::keyClick(name, Qt::Key_Return);
    });
    Click(w->findChild<QPushButton*>(QStringLiteral("ChooseButton")));
  };
  choose(wav);
  EXPECT_EQ(w->WaveFileEdit->text().toStdString(), wav);
  choose(mp3);
  EXPECT_EQ(w->WaveFileEdit->text().toStdString(), wav);  // unchanged
  Click(w->findChild<QPushButton*>(QStringLiteral("PlayNowButton")));  // silent without sound output
  Settle(200);
  Click(w->findChild<QPushButton*>(QStringLiteral("NoneButton")));
  EXPECT_TRUE(w->WaveFileEdit->text().isEmpty());
  w->WaveFileEdit->setText(QString::fromStdString(mp3));
  Click(w->findChild<QPushButton*>(QStringLiteral("PlayNowButton")));
  Settle(100);
  EXPECT_TRUE(driver.unexpected.empty());
}

// From the wizard: the modem search offers the port it found, a modem on
// an unmapped device becomes a new [Ports] entry at Finish; the class
// analysis offers its recommendation for the page's own class.
TEST_F(PreferencesTest, FindModemPortAndCheckFaxClassFromTheWizard) {
  FaxsimModems sim(Folder(), {{"modem", "class=2,2.0"}});
  ASSERT_TRUE(sim.Started());
  FakeDevice usb(FakeDevice::kOkToEverything);
  const std::filesystem::path dev = data.dir.File("dev");
  std::filesystem::create_directories(dev / "serial" / "by-id");
  std::filesystem::create_symlink(usb.Path(), dev / "ttyUSB0");
  std::filesystem::create_symlink("../../ttyUSB0", dev / "serial" / "by-id" / "usb-Acme-if00");
  MapPorts(Folder(), {{1, data.dir.File("x1")}, {2, data.dir.File("x2")}, {3, data.dir.File("modem")},
                      {4, data.dir.File("x4")}, {5, data.dir.File("x5")}, {6, data.dir.File("x6")}});
  record.comPort = 0;
  auto w = Open();
  w->GoToPage(1);
  driver.Then(ClickOkWhenDone);
  driver.Click(QMessageBox::Yes);
  Click(w->findChild<QPushButton*>(QStringLiteral("FindModemPortButton")));
  ASSERT_EQ(driver.boxes.size(), 1u);
  EXPECT_EQ(driver.boxes[0].caption, "Com Port");
  EXPECT_EQ(driver.boxes[0].text.toStdString(), "Set Com Port to Com 3 (" + data.dir.File("modem") + ")");
  EXPECT_EQ(w->ComPort->ItemIndex(), 2);

  // On the sending page: Class 2 is recommended and set for sending.
  w->GoToPage(2);
  ClickRadio(w->FaxClass->Button(1));
  driver.Then(ClickOkWhenDone);
  driver.Click(QMessageBox::Yes);
  Click(w->findChild<QPushButton*>(QStringLiteral("CheckFaxClassButton")));
  ASSERT_EQ(driver.boxes.size(), 2u);
  EXPECT_EQ(driver.boxes[1].caption, "Fax Class");
  EXPECT_EQ(driver.boxes[1].text, "Set fax class as Class 2 ?");
  EXPECT_EQ(w->FaxClass->ItemIndex(), 2);

  // The modem goes away: the search finds the one on the unmapped device.
  MapPorts(Folder(), {{3, data.dir.File("x3")}});
  w->Ports().findOptions.unmappedDevices = [dev] { return UnmappedSerialDevices(dev.string(), {}); };
  w->GoToPage(1);
  driver.Then(ClickOkWhenDone);
  driver.Click(QMessageBox::Yes);
  Click(w->findChild<QPushButton*>(QStringLiteral("FindModemPortButton")));
  const std::string byId = (dev / "serial" / "by-id" / "usb-Acme-if00").string();
  ASSERT_EQ(driver.boxes.size(), 3u);
  EXPECT_EQ(driver.boxes[2].text.toStdString(), "Set Com Port to Com 1 (" + byId + ")");
  EXPECT_EQ(w->ComPort->ItemIndex(), 0);
  EXPECT_EQ(w->ComPort->Button(0)->text().toStdString(), "Com1  (" + byId + ")");
  EXPECT_EQ(File().ReadString("Ports", "COM1", ""), data.dir.File("x1"));  // not before Finish
  driver.Click(QMessageBox::Yes);
  Click(w->FinishButton);
  EXPECT_EQ(File().ReadString("Ports", "COM1", ""), byId);
  EXPECT_EQ(File().ReadInteger("Modem", "ComPort", -9), 0);
  EXPECT_EQ(File().ReadInteger("Modem", "FaxClass", -9), 2);
  EXPECT_TRUE(driver.unexpected.empty());
}

// The program's first start in an empty data folder shows quick set-up;
// its "Preferences" saves what was entered and opens the wizard, which no
// longer shows the first-run warning.
TEST_F(PreferencesTest, AFirstStartShowsQuickSetupWhichSavesAndOpensTheWizard) {
  MainScreenHooks hooks;
  InstallPreferencesHooks(hooks);
  bool wizardShown = false;
  driver.Then([&](QWidget* w) {
    auto* form = qobject_cast<TQuickSetupForm*>(w);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->windowTitle(), "Quick Setup Form");
    EXPECT_TRUE(form->ComPort->Button(0)->isChecked());
    EXPECT_EQ(form->PreferencesButton->toolTip(), "Load the Preferences screen");
    ClickRadio(form->ComPort->Button(1));
    QTest::keyClicks(form->Name, "Pat Sender");
    QTest::keyClicks(form->FaxNumber, "5550100");
    QTest::mouseClick(form->PreferencesButton, Qt::LeftButton);
  });
  driver.Then([&](QWidget* w) {
    auto* wizard = qobject_cast<TPreferences*>(w);
    ASSERT_NE(wizard, nullptr);
    wizardShown = true;
    EXPECT_FALSE(wizard->FirstTimeLabel->isVisible());
    EXPECT_TRUE(wizard->FinishButton->isEnabled());
    EXPECT_EQ(wizard->Name->text(), "Pat Sender");
    EXPECT_TRUE(wizard->ComPort->Button(1)->isChecked());
    QTest::mouseClick(wizard->CancelButton, Qt::LeftButton);
  });
  driver.Click(QMessageBox::No);  // the reindex question of a first start
  std::unique_ptr<TableProvider> tables = CreateStorageTables();
  auto main = std::make_unique<TMainScreen>(*tables, hooks);
  main->show();
  EXPECT_TRUE(WaitUntil([&] { return driver.Idle(); }, 10000));
  Settle(100);
  EXPECT_TRUE(wizardShown);
  EXPECT_FALSE(main->FirstRun());
  const ProfileFile ini = File();
  EXPECT_EQ(ini.ReadInteger("Modem", "ComPort", -9), 1);
  EXPECT_EQ(ini.ReadString("User", "Name", ""), "Pat Sender");
  EXPECT_EQ(ini.ReadString("User", "Fax", ""), "5550100");
  EXPECT_EQ(main->CurrentSettings().userName, "Pat Sender");

  // The main window's Preferences button opens the wizard on the same record.
  driver.Then([&](QWidget* w) {
    auto* wizard = qobject_cast<TPreferences*>(w);
    ASSERT_NE(wizard, nullptr);
    EXPECT_EQ(wizard->FaxNumber->text(), "5550100");
    wizard->reject();
  });
  QTest::mouseClick(main->findChild<QPushButton*>(QStringLiteral("BitBtn1")), Qt::LeftButton);
  EXPECT_TRUE(driver.Idle());
  main->close();
  EXPECT_TRUE(driver.unexpected.empty()) << driver.unexpected.front();
}

// Quick set-up's own "Find Modem Port" and "Ok": the port found is chosen
// and saved with the name and number; no wizard opens.
TEST_F(PreferencesTest, QuickSetupFindsTheModemAndOkSaves) {
  FaxsimModems sim(Folder(), {{"modem", "class=1"}});
  ASSERT_TRUE(sim.Started());
  MapPorts(Folder(), {{1, data.dir.File("none1")}, {2, data.dir.File("modem")}, {3, data.dir.File("none3")},
                      {4, data.dir.File("none4")}, {5, data.dir.File("none5")}, {6, data.dir.File("none6")}});
  MainScreenHooks hooks;
  InstallPreferencesHooks(hooks);
  driver.Then([&](QWidget* w) {
    auto* form = qobject_cast<TQuickSetupForm*>(w);
    ASSERT_NE(form, nullptr);
    driver.Then(ClickOkWhenDone);
    driver.Click(QMessageBox::Yes);  // "Set Com Port to Com 2 (...)"
    driver.Click(QMessageBox::No);   // then the reindex question of a first start
    QTest::mouseClick(form->FindModemButton, Qt::LeftButton);
    EXPECT_TRUE(form->ComPort->Button(1)->isChecked());
    QTest::keyClicks(form->Name, "Lee");
    QTest::mouseClick(form->OkButton, Qt::LeftButton);
  });
  std::unique_ptr<TableProvider> tables = CreateStorageTables();
  auto main = std::make_unique<TMainScreen>(*tables, hooks);
  main->show();
  EXPECT_TRUE(WaitUntil([&] { return driver.Idle(); }, 20000));
  Settle(100);
  ASSERT_GE(driver.boxes.size(), 1u);
  EXPECT_EQ(driver.boxes[0].caption, "Com Port");
  EXPECT_EQ(driver.boxes[0].text.toStdString(), "Set Com Port to Com 2 (" + data.dir.File("modem") + ")");
  EXPECT_EQ(File().ReadInteger("Modem", "ComPort", -9), 1);
  EXPECT_EQ(File().ReadString("User", "Name", ""), "Lee");
  EXPECT_FALSE(main->FirstRun());
  main->close();
  EXPECT_TRUE(driver.unexpected.empty());
}

// Quick set-up cancelled on a first start: nothing stored, the flag stays,
// and the wizard then warns and holds Finish back to the last page.
TEST_F(PreferencesTest, CancelledQuickSetupLeavesTheFirstRunToTheWizard) {
  MainScreenHooks hooks;
  InstallPreferencesHooks(hooks);
  driver.Then([](QWidget* w) { QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("CancelButton")), Qt::LeftButton); });
  driver.Click(QMessageBox::No);
  std::unique_ptr<TableProvider> tables = CreateStorageTables();
  auto main = std::make_unique<TMainScreen>(*tables, hooks);
  main->show();
  EXPECT_TRUE(WaitUntil([&] { return driver.Idle(); }, 10000));
  EXPECT_TRUE(main->FirstRun());
  EXPECT_FALSE(File().Value("Modem", "ComPort"));
  bool warned = false, finishHeld = false;
  driver.Then([&](QWidget* w) {
    auto* wizard = qobject_cast<TPreferences*>(w);
    ASSERT_NE(wizard, nullptr);
    warned = wizard->FirstTimeLabel->isVisible();
    finishHeld = !wizard->FinishButton->isEnabled();
    wizard->reject();
  });
  main->Preferences();
  EXPECT_TRUE(warned);
  EXPECT_TRUE(finishHeld);
  EXPECT_FALSE(main->FirstRun());
  main->close();
  EXPECT_TRUE(driver.unexpected.empty());
}

}  // namespace
}  // namespace tlm

namespace tlm {
namespace {

// Pictures of quick set-up and the wizard's modem page for the project's
// docs, written only when TOLMERA_SCREENSHOT_DIR names a folder.
TEST_F(PreferencesTest, Screenshots) {
  const char* folder = std::getenv("TOLMERA_SCREENSHOT_DIR");
  if (!folder) GTEST_SKIP() << "TOLMERA_SCREENSHOT_DIR is not set";
  MapPorts(Folder(), {{1, "/dev/serial/by-id/usb-Acme_56K_Fax_Modem-if00"}});
  record.comPort = 0;
  record.userName = "Pat Sender";
  record.userFax = "+1 555 0100";
  TQuickSetupForm quick(record, Ini());
  quick.show();
  Settle(200);
  EXPECT_TRUE(quick.grab().save(QString::fromLatin1(folder) + "/quick-setup.png"));
  auto w = Open();
  w->GoToPage(1);
  w->ResetString->setText("ATZ");
  Settle(200);
  EXPECT_TRUE(w->grab().save(QString::fromLatin1(folder) + "/preferences-modem.png"));
}

}  // namespace
}  // namespace tlm
