// The session start against modems played from scripts: replies to the
// class and speed queries with other lines in front of them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <thread>

#include "comm/com_port.h"
#include "fax/send_fax.h"
#include "fax/send_rig.h"
#include "platform/main_thread_bridge.h"
#include "scripted_modem.h"

namespace tlm::testing {
namespace {

using R = ScriptedModem;

const std::string kGarbage = "\r\n\x7f#%&*@!~?\r\n";

// A transmit component on a scripted modem, driven from the test's thread.
struct ScriptedSend {
  PumpedBridge bridge;
  TKvComPort port;
  TKvSendFax fax;
  int finish = INT_MIN;

  explicit ScriptedSend(const std::string& device) {
    port.SetMainThreadBridge(&bridge);
    port.SetPromptForPort(false);
    port.SetDeviceName(device);
    fax.SetComPort(&port);
    fax.OnFaxFinish = [this](TKvCustomAbstractFax&, int e) { finish = e; };
  }
  ~ScriptedSend() {
    fax.CancelFax();
    bridge.Pump(3000, [&] { return !fax.InProgress(); });
    port.SetOpen(false);
  }
  void Pump(int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (finish == INT_MIN && std::chrono::steady_clock::now() < end) bridge.Pump(20, [&] { return finish != INT_MIN; });
  }
};

// Echo, RING, blank lines and line noise before the class list and the
// speed lists are skipped: the session reaches the dial with all speeds.
TEST(SessionStartScript, LinesBeforeTheListsAreSkipped) {
  ScriptedModem modem([](const std::string& cmd) -> std::string {
    if (cmd == "AT+FCLASS=?") return R::Result("RING") + kGarbage + R::Result("0,1") + R::Result("OK");
    if (cmd == "AT+FTM=?")
      return cmd + "\r\r\n\r\n" + R::Result("RING") + kGarbage + R::Result("24,48,72,73,74,96,97,98,121,122,145,146") +
             kGarbage + R::Result("OK");
    if (cmd == "AT+FRM=?") return "\x11" + R::Result("+FCERROR") + R::Result("(24,48,72,96,121,122,145,146)") + R::Result("OK");
    if (cmd.rfind("ATD", 0) == 0) return R::Result("NO CARRIER");
    return R::Result("OK");
  });
  TempDir dir;
  WriteApf(dir.File("p.apf"), {PatternPage(1, 20, false)});
  ScriptedSend s(modem.Path());
  s.fax.SetFaxClass(fcDetect);
  s.fax.DesiredBPS = 14400;
  s.fax.PhoneNumber = "200";
  s.fax.SetFaxFile(dir.File("p.apf"));
  ASSERT_EQ(s.fax.StartTransmit(), 0);
  s.Pump(10);
  EXPECT_EQ(s.finish, -fax_error::kConnectFailed);  // got as far as the dial
  EXPECT_EQ(s.fax.ClassInUse(), fcClass1);
  EXPECT_TRUE(modem.Saw("ATDT200"));

  t30::SpeedMask speeds = 0;
  EXPECT_EQ(s.fax.GetClass1Speeds(speeds), 0);
  EXPECT_EQ(speeds, 0x7E);  // 2400 to 14400
  s.fax.DesiredBPS = 9600;
  EXPECT_EQ(s.fax.GetClass1Speeds(speeds), 0);
  EXPECT_EQ(speeds, 0x1E);
}

// No list before OK, ERROR, or no list at all: a modem error; a modem
// that never stops sending noise ends the query within its time-out.
TEST(SessionStartScript, MissingListsAreModemErrorsAndNothingHangs) {
  std::atomic<int> query{0};
  std::atomic<bool> noisy{false};
  ScriptedModem modem([&](const std::string& cmd) -> std::string {
    if (cmd == "AT+FTM=?") {
      switch (query++) {
        case 0: return kGarbage + R::Result("OK");
        case 1: return R::Result("ERROR");
        default: noisy = true; return "";  // noise only from here on
      }
    }
    return R::Result("OK");
  });
  ScriptedSend s(modem.Path());
  s.port.SetOpen(true);
  t30::SpeedMask speeds = 0xFF;
  EXPECT_EQ(s.fax.GetClass1Speeds(speeds), -fax_error::kBadModemResponse);
  EXPECT_EQ(speeds, 0);
  EXPECT_EQ(s.fax.GetClass1Speeds(speeds), -fax_error::kBadModemResponse);

  std::atomic<bool> stop{false};
  std::thread noise([&] {
    while (!stop) {
      if (noisy) modem.Write(kGarbage + "RING\r\n");
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(s.fax.GetClass1Speeds(speeds), -fax_error::kBadModemResponse);
  const auto took = std::chrono::steady_clock::now() - start;
  stop = true;
  noise.join();
  EXPECT_TRUE(noisy);
  EXPECT_LT(took, std::chrono::seconds(8));
}

}  // namespace
}  // namespace tlm::testing
