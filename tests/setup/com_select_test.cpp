// "Select Port": asked by a port component that has no port; lists the
// ports that open or are busy, each with its device.
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>

#include "app/main_screen.h"
#include "comm/com_port.h"
#include "modal_driver.h"
#include "setup/com_select_form.h"
#include "setup/preferences_hooks.h"
#include "setup_test_support.h"

namespace tlm {
namespace {

using namespace testing;

TEST(ComSelectTest, APortWithoutNumberAsksAndOpensTheChosenOne) {
  App();
  DataFolderScope data;
  ModalDriver driver;
  FakeDevice free1(FakeDevice::kSilent);
  FakeDevice busy(FakeDevice::kSilent);
  DeviceHolder holder(busy.Path());
  MapPorts(data.dir.Folder(), {{1, data.dir.File("absent")}, {2, busy.Path()}, {3, free1.Path()}});
  MainScreenHooks hooks;
  InstallPreferencesHooks(hooks);

  QStringList listed;
  driver.Then([&](QWidget* w) {
    auto* form = qobject_cast<TComSelectForm*>(w);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->windowTitle(), "Select Port");
    QListWidget* list = form->PortList();
    for (int i = 0; i < list->count(); ++i) listed << list->item(i)->text();
    const auto rows = list->findItems(QStringLiteral("COM3 (%1)").arg(QString::fromStdString(free1.Path())),
                                      Qt::MatchExactly);
    ASSERT_EQ(rows.size(), 1);
    list->setCurrentItem(rows.front());
    form->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  TKvComPort port;
  port.SetOpen(true);
  EXPECT_TRUE(port.Open());
  EXPECT_EQ(port.ComNumber(), 3);
  port.SetOpen(false);
  EXPECT_TRUE(listed.contains(QStringLiteral("COM2 (%1) - in use by another program").arg(QString::fromStdString(busy.Path()))))
      << listed.join('|').toStdString();
  for (const QString& line : listed) EXPECT_FALSE(line.startsWith("COM1 ")) << line.toStdString();

  // Cancel: the port stays without a number and says so.
  driver.Then([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
  TKvComPort other;
  EXPECT_THROW(other.SetOpen(true), ENoPortSelected);
  EXPECT_TRUE(driver.unexpected.empty());
  TKvCustomComPort::SetPortPrompt({});
}

// A device the user may not open is listed with the group to join.
TEST(ComSelectTest, ARefusedDeviceNamesTheGroup) {
  UsableComPort refused;
  refused.number = 9;
  refused.device = "/nonexistent/ttyUSB0";
  refused.permitted = false;
  const std::string line = ComSelectLine(refused);
  EXPECT_EQ(line.rfind("COM9 (/nonexistent/ttyUSB0) - ", 0), 0u) << line;
  EXPECT_NE(line.find("group \"dialout\""), std::string::npos) << line;
}

}  // namespace
}  // namespace tlm
