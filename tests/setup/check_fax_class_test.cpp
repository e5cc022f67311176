// The fax class analysis against faxsim modems offering different class
// lists, a device that is no modem and one that answers "OK" to anything.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include "comm/com_port.h"
#include "fax/send_fax.h"
#include "modal_driver.h"
#include "setup/check_fax_class_form.h"
#include "setup_test_support.h"

namespace tlm {
namespace {

using namespace testing;

class CheckFaxClassTest : public ::testing::Test {
 protected:
  CheckFaxClassTest() {
    App();
    port.SetAutoOpen(false);
    port.SetPromptForPort(false);
    fax.SetComPort(&port);
  }
  std::string Path(const std::string& name) const { return data.dir.File(name); }

  std::unique_ptr<TCheckFaxClassForm> Analyse(int comNumber) {
    auto form = std::make_unique<TCheckFaxClassForm>(port, fax, comNumber, "");
    form->show();
    EXPECT_TRUE(WaitUntil([&] { return form->findChild<QPushButton*>(QStringLiteral("OkButton"))->isVisible(); },
                          40000));
    EXPECT_FALSE(port.Open());  // closed again at the end
    return form;
  }
  static std::vector<QString> Labels(TCheckFaxClassForm& form) {
    return {form.ClassLabel(0)->text(), form.ClassLabel(1)->text(), form.ClassLabel(2)->text()};
  }

  DataFolderScope data;
  ModalDriver driver;
  TKvComPort port;
  TKvSendFax fax;
};

TEST_F(CheckFaxClassTest, RecommendsClassOneThenTwoThenTwoPointO) {
  FaxsimModems sim(data.dir.Folder(),
                   {{"one", "class=1"}, {"two", "class=2"}, {"all", "class=1,2,2.0"}, {"twozero", "class=2.0"},
                    {"twoboth", "class=2,2.0"}});
  ASSERT_TRUE(sim.Started());
  MapPorts(data.dir.Folder(), {{1, Path("one")}, {2, Path("two")}, {3, Path("all")}, {4, Path("twozero")},
                               {5, Path("twoboth")}});
  struct Case {
    int com;
    std::vector<QString> labels;
    int index;
    std::string name;
  };
  const std::vector<Case> cases = {
      {1, {"Class 1   : Supported (recommended)", "Class 2   : Not Supported", "Class 2.0 : Not Supported"}, 0, "Class 1"},
      {2, {"Class 1   : Not Supported", "Class 2   : Supported (recommended)", "Class 2.0 : Not Supported"}, 1, "Class 2"},
      {3, {"Class 1   : Supported (recommended)", "Class 2   : Supported", "Class 2.0 : Supported"}, 0, "Class 1"},
      {4, {"Class 1   : Not Supported", "Class 2   : Not Supported", "Class 2.0 : Supported"}, 2, "Class 2.0"},
      {5, {"Class 1   : Not Supported", "Class 2   : Supported (recommended)", "Class 2.0 : Supported"}, 1, "Class 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.com);
    auto form = Analyse(c.com);
    EXPECT_EQ(Labels(*form), c.labels);
    EXPECT_EQ(form->ResultIndex(), c.index);
    EXPECT_EQ(form->ResultName(), c.name);
    EXPECT_EQ(form->ClassLabel(2)->font().bold(), c.index == 2);
    EXPECT_TRUE(form->StatusLabel()->text().startsWith(
        QStringLiteral("Try using the recommended Fax Class (%1) or auto detect.").arg(QString::fromStdString(c.name))));
    EXPECT_EQ(form->windowTitle(), "Check Fax Class");
    EXPECT_EQ(form->PortLabel()->text().toStdString(),
              "COM" + std::to_string(c.com) + " (" + Path(std::vector<std::string>{"one", "two", "all", "twozero", "twoboth"}[c.com - 1]) + ")");
  }
  EXPECT_TRUE(driver.unexpected.empty());
}

// A silent device: the question, and No ends without results. A device
// answering "OK" to anything gives no class list. A folder in the mapping
// shows why the port did not open.
TEST_F(CheckFaxClassTest, DevicesThatAreNoModem) {
  FakeDevice silent(FakeDevice::kSilent);
  FakeDevice yesMan(FakeDevice::kOkToEverything);
  std::filesystem::create_directory(Path("folder"));
  MapPorts(data.dir.Folder(), {{1, silent.Path()}, {2, yesMan.Path()}, {3, Path("folder")}});
  const std::vector<QString> unknown = {"Class 1   : unknown", "Class 2   : unknown", "Class 2.0 : unknown"};

  driver.Click(QMessageBox::No);
  auto first = Analyse(1);
  ASSERT_EQ(driver.boxes.size(), 1u);
  EXPECT_EQ(driver.boxes[0].caption, "NO MODEM RESPONSE");
  EXPECT_EQ(driver.boxes[0].text, "The device on COM1 is not responding and may\nnot be a modem. Continue with Fax "
                                  "Class Analysis?");
  EXPECT_EQ(Labels(*first), unknown);
  EXPECT_EQ(first->ResultIndex(), -1);
  EXPECT_EQ(first->StatusLabel()->text(), "No response from device on COM1. May not be a modem.");

  auto second = Analyse(2);
  EXPECT_EQ(Labels(*second), unknown);
  EXPECT_EQ(second->StatusLabel()->text(), "Unable to determine Fax Class support from modem on Com 2");

  auto third = Analyse(3);
  EXPECT_EQ(Labels(*third), unknown);
  EXPECT_TRUE(third->StatusLabel()->text().startsWith("Unable to open the specified communications port")) <<
      third->StatusLabel()->text().toStdString();
  EXPECT_TRUE(third->StatusLabel()->text().contains("Is a directory")) << third->StatusLabel()->text().toStdString();
  EXPECT_TRUE(driver.unexpected.empty());
}

}  // namespace
}  // namespace tlm
