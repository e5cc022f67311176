// The modem search window over COM1 to COM6 mapped through [Ports] to
// faxsim modems, a busy port, a file, a folder, silent and misbehaving
// devices; and the search of the serial devices no port names yet.
#include <gtest/gtest.h>

#include <QLabel>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "comm/com_port.h"
#include "setup/find_modem_form.h"
#include "setup_test_support.h"
#include "platform/profile_file.h"

namespace tlm {
namespace {

using namespace testing;
namespace fs = std::filesystem;

class FindModemTest : public ::testing::Test {
 protected:
  FindModemTest() {
    App();
    port.SetInSize(8192);
    port.SetOutSize(8192);
    port.SetHWFlowOptions(hwfUseRTS | hwfRequireCTS);
  }
  std::string Folder() const { return data.dir.Folder(); }
  std::string Path(const std::string& name) const { return data.dir.File(name); }

  // Runs the search to its end; the time it took in `seconds`.
  std::unique_ptr<TFindModemForm> Search(FindModemOptions options = {}, double* seconds = nullptr) {
    if (!options.unmappedDevices) options.unmappedDevices = [] { return std::vector<std::string>{}; };
    auto form = std::make_unique<TFindModemForm>(port, options);
    const auto start = std::chrono::steady_clock::now();
    form->show();
    EXPECT_TRUE(WaitUntil([&] { return form->isVisible() && !form->Running() &&
                                       form->findChild<QWidget*>(QStringLiteral("OkButton"))->isVisible(); },
                          30000));
    if (seconds) *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return form;
  }
  QString Line(TFindModemForm& form, int n) { return form.PortLabel(n)->text(); }
  QString PathShown(TFindModemForm& form, int n) {
    return form.findChild<QLabel*>(QStringLiteral("PathLabel%1").arg(n))->text();
  }

  DataFolderScope data;
  TKvComPort port;
};

// A busy port, a file and a folder in the mapping, two modems: each line
// says what its port is, and the first modem wins.
TEST_F(FindModemTest, EachPortsLineAndTheFirstModem) {
  FaxsimModems sim(Folder(), {{"modemA", "class=1"}, {"modemB", "class=2"}});
  ASSERT_TRUE(sim.Started());
  FakeDevice busy(FakeDevice::kSilent);
  DeviceHolder holder(busy.Path());
  { std::ofstream(Path("plain.txt")) << "not a tty\n"; }
  fs::create_directory(Path("folder"));
  MapPorts(Folder(), {{1, Path("missing")},
                      {2, busy.Path()},
                      {3, Path("modemA")},
                      {4, Path("plain.txt")},
                      {5, Path("modemB")},
                      {6, Path("folder")}});
  auto form = Search();
  EXPECT_EQ(Line(*form, 1), "Com 1: Port does not exist");
  EXPECT_EQ(Line(*form, 2), "Com 2: Port is already open (could be modem)");
  EXPECT_EQ(Line(*form, 3), "Com 3: MODEM");
  EXPECT_TRUE(Line(*form, 4).startsWith("Com 4: ")) << Line(*form, 4).toStdString();
  EXPECT_TRUE(Line(*form, 4).contains("is not a serial device")) << Line(*form, 4).toStdString();
  EXPECT_EQ(Line(*form, 5), "Com 5: MODEM");
  EXPECT_TRUE(Line(*form, 6).contains("Is a directory")) << Line(*form, 6).toStdString();
  for (int n = 1; n <= 6; ++n) EXPECT_FALSE(PathShown(*form, n).isEmpty()) << n;
  EXPECT_EQ(PathShown(*form, 3), QString::fromStdString(Path("modemA")));
  EXPECT_EQ(form->FoundPort(), 3);
  EXPECT_TRUE(form->NewDevice().empty());
  EXPECT_EQ(form->ResultLabel()->text(),
            "A modem was found on Com Port 3. We suggest setting the Port as Com 3.");
  EXPECT_EQ(form->windowTitle(), "Find Modem");
}

// No modem, one port busy: the longer "No modem found." text. Devices that
// echo, chatter without end, or vanish while probed are no modem; one that
// answers "OK" to everything passes for one. Nothing hangs.
TEST_F(FindModemTest, MisbehavingDevicesAndABusyPort) {
  FakeDevice echo(FakeDevice::kEcho);
  FakeDevice garbage(FakeDevice::kGarbage);
  FakeDevice vanishing(FakeDevice::kSilent);
  FakeDevice busy(FakeDevice::kSilent);
  DeviceHolder holder(busy.Path());
  MapPorts(Folder(), {{1, echo.Path()}, {2, garbage.Path()}, {3, busy.Path()}, {4, vanishing.Path()},
                      {5, Path("none5")}, {6, Path("none6")}});
  std::thread unplug([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    vanishing.Vanish();
  });
  double seconds = 0;
  auto form = Search({}, &seconds);
  unplug.join();
  EXPECT_EQ(Line(*form, 1), "Com 1: Unknown");
  EXPECT_EQ(Line(*form, 2), "Com 2: Unknown");
  EXPECT_EQ(Line(*form, 3), "Com 3: Port is already open (could be modem)");
  EXPECT_TRUE(Line(*form, 4).startsWith("Com 4: Unknown")) << Line(*form, 4).toStdString();
  EXPECT_EQ(form->FoundPort(), -1);
  EXPECT_EQ(form->ResultLabel()->text(),
            "No modem found. Please make sure that all communication programs (internet, AOL, etc) are closed, and "
            "then try again. If you know which Com port your modem uses, you can also just set the Port to that "
            "setting");
  EXPECT_LT(seconds, 10.0);

  FakeDevice yesMan(FakeDevice::kOkToEverything);
  MapPorts(Folder(), {{1, yesMan.Path()}, {2, Path("none2")}, {3, Path("none3")}, {4, Path("none4")}});
  auto second = Search();
  EXPECT_EQ(Line(*second, 1), "Com 1: MODEM");
  EXPECT_EQ(second->FoundPort(), 1);
}

// Six ports, five of them absent or silent: the search's time.
TEST_F(FindModemTest, SixPortsWithFiveAbsentOrSilent) {
  FaxsimModems sim(Folder(), {{"modem", ""}});
  ASSERT_TRUE(sim.Started());
  FakeDevice s2(FakeDevice::kSilent), s3(FakeDevice::kSilent), s4(FakeDevice::kSilent), s5(FakeDevice::kSilent);
  MapPorts(Folder(), {{1, Path("absent")}, {2, s2.Path()}, {3, s3.Path()}, {4, s4.Path()}, {5, s5.Path()},
                      {6, Path("modem")}});
  double seconds = 0;
  auto form = Search({}, &seconds);
  EXPECT_EQ(form->FoundPort(), 6);
  for (int n = 2; n <= 5; ++n) EXPECT_EQ(Line(*form, n), QStringLiteral("Com %1: Unknown").arg(n));
  std::printf("[ measured ] modem search over six ports, five absent or silent: %.2f s\n", seconds);
  EXPECT_LT(seconds, 10.0);
}

// Serial devices no port names: the stable name under serial/by-id is
// preferred over the ttyUSB it leads to; devices already mapped are left
// out.
TEST_F(FindModemTest, UnmappedDevicesPreferStableNames) {
  FakeDevice usb(FakeDevice::kOkToEverything);
  FakeDevice acm(FakeDevice::kSilent);
  FakeDevice mapped(FakeDevice::kSilent);
  const fs::path dev = Path("dev");
  fs::create_directories(dev / "serial" / "by-id");
  fs::create_symlink(usb.Path(), dev / "ttyUSB0");
  fs::create_symlink(acm.Path(), dev / "ttyACM1");
  fs::create_symlink(mapped.Path(), dev / "ttyUSB3");
  fs::create_symlink("../../ttyUSB0", dev / "serial" / "by-id" / "usb-Acme_Fax_Modem-if00");
  { std::ofstream((dev / "ttyS9").string()) << ""; }  // not a USB or ACM name
  const auto list = UnmappedSerialDevices(dev.string(), {mapped.Path()});
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0], (dev / "serial" / "by-id" / "usb-Acme_Fax_Modem-if00").string());
  EXPECT_EQ(list[1], (dev / "ttyACM1").string());
}

// None of COM1..6 answers: the unmapped devices are tried, and a modem on
// one of them is offered under the first free COM number.
TEST_F(FindModemTest, AModemOnAnUnmappedDeviceIsOfferedUnderTheFirstFreeNumber) {
  FakeDevice usb(FakeDevice::kOkToEverything);
  FakeDevice acm(FakeDevice::kSilent);
  const fs::path dev = Path("dev");
  fs::create_directories(dev / "serial" / "by-id");
  fs::create_symlink(usb.Path(), dev / "ttyUSB0");
  fs::create_symlink(acm.Path(), dev / "ttyACM0");
  fs::create_symlink("../../ttyUSB0", dev / "serial" / "by-id" / "usb-Acme_Fax_Modem-if00");
  FakeDevice silent(FakeDevice::kSilent);
  MapPorts(Folder(), {{1, silent.Path()}, {2, Path("gone2")}, {3, Path("gone3")}, {4, Path("gone4")},
                      {5, Path("gone5")}, {6, Path("gone6")}});
  FindModemOptions options;
  options.unmappedDevices = [&] { return UnmappedSerialDevices(dev.string(), {}); };
  auto form = Search(options);
  EXPECT_EQ(form->FoundPort(), 2);  // COM1 is in use, COM2's device is gone
  const std::string byId = (dev / "serial" / "by-id" / "usb-Acme_Fax_Modem-if00").string();
  EXPECT_EQ(form->NewDevice(), byId);
  const QString lines = form->ListedLines();
  EXPECT_TRUE(lines.contains(QString::fromStdString(byId) + ": MODEM")) << lines.toStdString();
  EXPECT_TRUE(lines.contains(QString::fromStdString((dev / "ttyACM0").string()) + ": Unknown")) << lines.toStdString();
  EXPECT_TRUE(form->ResultLabel()->text().contains("We suggest setting the Port as Com 2"));
}

}  // namespace
}  // namespace tlm
