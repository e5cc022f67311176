// The session start against modems played from scripts: replies to the
// class and speed queries with other lines in front of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
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

// A command succeeds only when a final "OK" follows its information
// lines: a stray line and then silence, or a stray line and then CONNECT,
// is a modem error, and an init string answered that way fails the start.
TEST(SessionStartScript, AnInformationLineWithoutAFinalResultIsAModemError) {
  ScriptedModem modem([](const std::string& cmd) -> std::string {
    if (cmd == "ATI3") return R::Result("Model 56K") + R::Result("Rev 2") + R::Result("OK");
    if (cmd == "ATSTRAY" || cmd == "ATX9") return R::Result("garbled");  // and then nothing
    if (cmd == "ATCON") return R::Result("info") + R::Result("CONNECT 9600");
    return R::Result("OK");
  });
  ScriptedSend s(modem.Path());
  s.port.SetOpen(true);
  std::string reply;
  EXPECT_EQ(s.fax.SyncCommand("ATI3", &reply), 0);
  EXPECT_EQ(reply, "Model 56K");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(s.fax.SyncCommand("ATSTRAY"), -fax_error::kBadModemResponse);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(s.fax.SyncCommand("ATCON"), -fax_error::kBadModemResponse);
  EXPECT_EQ(s.fax.SyncCommand("AT"), 0);
  s.port.SetOpen(false);

  TempDir dir;
  WriteApf(dir.File("p.apf"), {PatternPage(1, 20, false)});
  s.fax.SetFaxClass(fcClass1);
  s.fax.SetModemInit("ATX9");
  s.fax.PhoneNumber = "200";
  s.fax.SetFaxFile(dir.File("p.apf"));
  EXPECT_EQ(s.fax.StartTransmit(), -fax_error::kBadModemResponse);
  EXPECT_FALSE(modem.Saw("ATDT200"));
}

// A bridge like the program's Qt one: a main thread of its own, and a send
// that stops waiting for a call still running at its time-out (returning
// false while the call goes on).
class LaggingBridge final : public MainThreadBridge {
 public:
  LaggingBridge() : thread_([this] { Run(); }) {}
  ~LaggingBridge() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
  void Post(std::function<void()> fn) override { Queue(std::make_shared<Item>(Item{std::move(fn)})); }
  bool Send(std::function<void()> fn, std::int64_t timeoutMs) override {
    auto item = std::make_shared<Item>(Item{std::move(fn)});
    Queue(item);
    std::unique_lock<std::mutex> lock(mutex_);
    if (cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return item->done; })) return true;
    if (!item->started) item->cancelled = true;
    return false;
  }

 private:
  struct Item {
    std::function<void()> fn;
    bool started = false;
    bool cancelled = false;
    bool done = false;
  };
  void Queue(std::shared_ptr<Item> item) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.push_back(std::move(item));
    }
    cv_.notify_all();
  }
  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
      cv_.wait(lock, [&] { return stop_ || !queue_.empty(); });
      if (queue_.empty()) return;
      auto item = queue_.front();
      queue_.pop_front();
      if (item->cancelled) continue;
      item->started = true;
      lock.unlock();
      item->fn();
      lock.lock();
      item->done = true;
      cv_.notify_all();
    }
  }
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::shared_ptr<Item>> queue_;
  bool stop_ = false;
  std::thread thread_;
};

// Event handlers slower than the engine's wait slices run once each.
TEST(SessionEvents, SlowHandlersRunOnceEach) {
  ScriptedModem modem([](const std::string& cmd) -> std::string {
    if (cmd == "AT+FTM=?" || cmd == "AT+FRM=?") return R::Result("24,48,72,96") + R::Result("OK");
    if (cmd.rfind("ATD", 0) == 0) return R::Result("NO CARRIER");
    return R::Result("OK");
  });
  TempDir dir;
  WriteApf(dir.File("p.apf"), {PatternPage(1, 20, false)});
  std::mutex lock;
  std::vector<int> statuses;
  std::atomic<int> finish{INT_MIN};
  std::atomic<int> finishes{0};
  {
    LaggingBridge bridge;
    TKvComPort port;
    port.SetMainThreadBridge(&bridge);
    port.SetPromptForPort(false);
    port.SetDeviceName(modem.Path());
    TKvSendFax fax;
    fax.SetComPort(&port);
    fax.SetFaxClass(fcClass1);
    fax.StatusInterval = 0;
    fax.PhoneNumber = "200";
    fax.SetFaxFile(dir.File("p.apf"));
    fax.OnFaxStatus = [&](TKvCustomAbstractFax& f, bool, bool) {
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
      std::lock_guard<std::mutex> hold(lock);
      statuses.push_back(f.FaxStatus());
    };
    fax.OnFaxFinish = [&](TKvCustomAbstractFax&, int e) {
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
      finish = e;
      ++finishes;
    };
    ASSERT_EQ(fax.StartTransmit(), 0);
    for (int i = 0; i < 500 && finish == INT_MIN; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    port.SetOpen(false);
  }
  EXPECT_EQ(finish, -fax_error::kConnectFailed);
  EXPECT_EQ(finishes, 1);
  std::lock_guard<std::mutex> hold(lock);
  EXPECT_EQ(std::count(statuses.begin(), statuses.end(), fax_status::kInitializing), 1);
  EXPECT_EQ(std::count(statuses.begin(), statuses.end(), fax_status::kDialing), 1);
}

}  // namespace
}  // namespace tlm::testing
