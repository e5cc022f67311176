// Triggers and handlers of an open port over a pseudo-terminal.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "comm/com_port.h"
#include "comm/comm_types.h"
#include "platform/main_thread_bridge.h"
#include "comm/pty_pair.h"

namespace tlm {
namespace {

using testing::PtyPair;
using testing::WaitUntil;

struct Note {
  std::uint16_t msg;
  std::uint16_t trigger;
  std::uint32_t data;
};

// Collects the notifications a procedure handler receives.
class Recorder {
 public:
  TTriggerCallback Callback() {
    return [this](std::uint16_t msg, std::uint16_t trigger, std::uint32_t data) {
      std::lock_guard lock(mutex_);
      notes_.push_back({msg, trigger, data});
    };
  }
  std::vector<Note> Notes() {
    std::lock_guard lock(mutex_);
    return notes_;
  }
  std::size_t Count(std::uint16_t msg) {
    std::size_t n = 0;
    for (const auto& note : Notes()) n += note.msg == msg ? 1 : 0;
    return n;
  }

 private:
  std::mutex mutex_;
  std::vector<Note> notes_;
};

class TriggerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.Ok());
    port.SetDeviceName(pty.SlavePath());
    port.SetOpen(true);
  }
  std::uint32_t DispatcherBits() { return static_cast<std::uint32_t>(port.Dispatcher()->Handle()) << 16; }
  PtyPair pty;
  TKvComPort port;
  Recorder recorder;
};

TEST_F(TriggerTest, AvailFiresAtTheThresholdOncePerArrival) {
  port.RegisterProcedureHandler(recorder.Callback());
  port.SetTriggerAvail(10);
  ASSERT_TRUE(pty.Write("12345"));
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(recorder.Count(kMsgTriggerAvail), 0u);
  ASSERT_TRUE(pty.Write("67890"));
  ASSERT_TRUE(WaitUntil([&] { return recorder.Count(kMsgTriggerAvail) == 1; }));
  const Note note = recorder.Notes().front();
  EXPECT_EQ(note.trigger, kAvailTriggerHandle);
  EXPECT_EQ(note.data, DispatcherBits() + 10);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(recorder.Count(kMsgTriggerAvail), 1u);  // nothing new arrived
  ASSERT_TRUE(pty.Write("X"));
  ASSERT_TRUE(WaitUntil([&] { return recorder.Count(kMsgTriggerAvail) == 2; }));
  EXPECT_EQ(recorder.Notes().back().data & 0xFFFF, 11u);
  port.RemoveTrigger(kAvailTriggerHandle);  // threshold 0: off
  ASSERT_TRUE(pty.Write("Y"));
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(recorder.Count(kMsgTriggerAvail), 2u);
}

TEST_F(TriggerTest, DataTriggerMatchesAcrossTheRingsWrapPoint) {
  port.RegisterProcedureHandler(recorder.Callback());
  const int ok = port.AddDataTrigger("OK\r\n", false);
  ASSERT_TRUE(pty.Write(std::string(8190, 'x')));
  ASSERT_TRUE(WaitUntil([&] { return port.InBuffUsed() == 8190; }));
  std::string filler(8190, '\0');
  port.GetBlock(filler.data(), filler.size());
  // "OK\r\n" now occupies ring positions 8190, 8191, 0 and 1.
  ASSERT_TRUE(pty.Write("OK\r\n"));
  ASSERT_TRUE(WaitUntil([&] { return recorder.Count(kMsgTriggerData) == 1; }));
  const Note note = recorder.Notes().back();
  EXPECT_EQ(note.trigger, ok);
  EXPECT_EQ(note.data, DispatcherBits() + 4);  // the match length
  EXPECT_EQ(port.InBuffUsed(), 4u);            // nobody read
  EXPECT_EQ(port.Dispatcher()->Handle(), static_cast<int>(note.data >> 16));
}

TEST_F(TriggerTest, DataBeforeAMatchIsOfferedAsAvailFirst) {
  port.RegisterProcedureHandler(recorder.Callback());
  const int ok = port.AddDataTrigger("ok", true);
  port.SetTriggerAvail(3);
  ASSERT_TRUE(pty.Write("abcdOK"));
  ASSERT_TRUE(WaitUntil([&] { return recorder.Count(kMsgTriggerData) == 1; }));
  const auto notes = recorder.Notes();
  ASSERT_GE(notes.size(), 2u);
  EXPECT_EQ(notes[0].msg, kMsgTriggerAvail);
  EXPECT_EQ(notes[0].data & 0xFFFF, 4u);
  EXPECT_EQ(notes[1].msg, kMsgTriggerData);
  EXPECT_EQ(notes[1].trigger, ok);
}

TEST_F(TriggerTest, OutputFreeUsedAndSentFollowTheOutputRing) {
  port.RegisterProcedureHandler(recorder.Callback());
  const int freeH = port.AddStatusTrigger(stOutBuffFree);
  const int usedH = port.AddStatusTrigger(stOutBuffUsed);
  const int sentH = port.AddStatusTrigger(stOutSent);
  EXPECT_EQ(freeH & 7, stOutBuffFree);
  // Nothing queued: all three hold at once.
  port.SetStatusTrigger(freeH, 4096, true);
  port.SetStatusTrigger(usedH, 0, true);
  port.SetStatusTrigger(sentH, 0, true);
  ASSERT_TRUE(WaitUntil([&] { return recorder.Count(kMsgTriggerStatus) == 3; }));

  // The modem stops reading: the device fills, then the output ring.
  const std::string block(1024, 'z');
  std::size_t put = 0;
  auto ringStaysUsed = [&] {
    return port.OutBuffUsed() > 2048 && !WaitUntil([&] { return port.OutBuffUsed() <= 2048; }, 100);
  };
  while (!ringStaysUsed() && put < (64u << 20)) {
    if (port.OutBuffFree() >= block.size()) {
      port.PutBlock(block.data(), block.size());
      put += block.size();
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  ASSERT_GT(port.OutBuffUsed(), 2048u);
  port.SetStatusTrigger(freeH, 4096, true);
  port.SetStatusTrigger(usedH, 0, true);
  port.SetStatusTrigger(sentH, 0, true);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(recorder.Count(kMsgTriggerStatus), 3u);
  // The modem reads everything: the ring empties and each fires once more.
  std::string drained = pty.Read(put, 20000);
  EXPECT_EQ(drained.size(), put);
  ASSERT_TRUE(WaitUntil([&] { return recorder.Count(kMsgTriggerStatus) == 6; }));
  std::vector<std::uint16_t> last;
  for (const auto& note : recorder.Notes()) last.push_back(note.trigger);
  EXPECT_EQ(std::vector<std::uint16_t>(last.end() - 3, last.end()),
            (std::vector<std::uint16_t>{static_cast<std::uint16_t>(freeH), static_cast<std::uint16_t>(usedH),
                                        static_cast<std::uint16_t>(sentH)}));
}

TEST_F(TriggerTest, TimersFireOnTheTickClockOnlyWhenActive) {
  port.RegisterProcedureHandler(recorder.Callback());
  const int a = port.AddTimerTrigger();
  const int b = port.AddTimerTrigger();
  const auto start = std::chrono::steady_clock::now();
  port.SetTimerTrigger(a, 2, true);
  port.SetTimerTrigger(b, 1, false);
  ASSERT_TRUE(WaitUntil([&] { return recorder.Count(kMsgTriggerTimer) == 1; }));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(55));
  EXPECT_LT(elapsed, std::chrono::milliseconds(1000));
  EXPECT_EQ(recorder.Notes().front().trigger, a);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(recorder.Count(kMsgTriggerTimer), 1u);  // once; b never armed
  port.RemoveTrigger(b);
  EXPECT_THROW(port.SetTimerTrigger(b, 1, true), EBadTriggerHandle);
  try {
    port.RemoveTrigger(b);
  } catch (const EBadTriggerHandle& e) {
    EXPECT_EQ(e.Code(), -5003);
    EXPECT_STREQ(e.what(), "Bad trigger handle");
  }
}

TEST_F(TriggerTest, TwoHandlersReadTentativelyAndTheLargerCountIsConsumed) {
  std::string readByA, readByB;
  std::atomic<bool> done{false};
  port.RegisterProcedureHandler([&](std::uint16_t msg, std::uint16_t, std::uint32_t) {
    if (msg != kMsgTriggerAvail) return;
    readByA.resize(3);
    port.GetBlock(readByA.data(), 3);
  });
  port.RegisterProcedureHandler([&](std::uint16_t msg, std::uint16_t, std::uint32_t) {
    if (msg != kMsgTriggerAvail) return;
    EXPECT_EQ(port.InBuffUsed(), 10u);  // A's read was tentative
    readByB.resize(7);
    port.GetBlock(readByB.data(), 7);
    done = true;
  });
  port.SetTriggerAvail(10);
  ASSERT_TRUE(pty.Write("0123456789"));
  ASSERT_TRUE(WaitUntil([&] { return done && port.InBuffUsed() == 3; }));
  EXPECT_EQ(readByA, "012");
  EXPECT_EQ(readByB, "0123456");
  char rest[3];
  port.GetBlock(rest, 3);
  EXPECT_EQ(std::string(rest, 3), "789");
}

TEST_F(TriggerTest, AHandlerDeregisteredDuringADispatchIsNotCalledAgain) {
  std::atomic<int> callsA{0}, callsB{0};
  int idB = 0;
  const int idA = port.RegisterProcedureHandler([&](std::uint16_t, std::uint16_t, std::uint32_t) {
    if (callsA++ == 0) {
      port.DeregisterTriggerHandler(idB);
      EXPECT_THROW(port.DeregisterTriggerHandler(idB), EComError);  // already gone
    }
  });
  idB = port.RegisterProcedureHandler([&](std::uint16_t, std::uint16_t, std::uint32_t) { ++callsB; });
  const int timer = port.AddTimerTrigger();
  port.SetTimerTrigger(timer, 0, true);
  ASSERT_TRUE(WaitUntil([&] { return callsA == 1; }));
  port.SetTimerTrigger(timer, 0, true);
  ASSERT_TRUE(WaitUntil([&] { return callsA == 2; }));
  EXPECT_EQ(callsB, 0);
  port.DeregisterTriggerHandler(idA);
  EXPECT_THROW(port.DeregisterTriggerHandler(idA), EComError);
}

TEST_F(TriggerTest, AHandlerCanWaitForMoreInputOnTheDispatchThread) {
  std::atomic<int> result{-1};
  port.RegisterProcedureHandler([&](std::uint16_t msg, std::uint16_t, std::uint32_t) {
    if (msg != kMsgTriggerData) return;
    pty.Write("OK\r\n");  // arrives while this handler holds the dispatch thread
    result = port.WaitForString("OK\r\n", 36) ? 1 : 0;
  });
  port.AddDataTrigger("CONNECT", false);
  ASSERT_TRUE(pty.Write("CONNECT\r\n"));
  ASSERT_TRUE(WaitUntil([&] { return result >= 0; }));
  EXPECT_EQ(result, 1);
  ASSERT_TRUE(WaitUntil([&] { return port.InBuffUsed() == 0; }));  // all of it consumed
}

TEST_F(TriggerTest, EventsRunOnTheMainThreadThroughTheBridge) {
  PumpedBridge bridge;  // this thread is the main thread
  std::string got;
  std::thread::id eventThread;
  port.SetOpen(false);
  port.SetMainThreadBridge(&bridge);
  port.OnTriggerAvail = [&](TKvCustomComPort& sender, std::uint16_t count) {
    eventThread = std::this_thread::get_id();
    got.resize(count);
    sender.GetBlock(got.data(), count);
  };
  port.SetOpen(true);
  port.SetTriggerAvail(4);
  ASSERT_TRUE(pty.Write("RING"));
  bridge.Pump(3000, [&] { return !got.empty(); });
  EXPECT_EQ(got, "RING");
  EXPECT_EQ(eventThread, std::this_thread::get_id());
  ASSERT_TRUE(WaitUntil([&] { return port.InBuffUsed() == 0; }));
  port.SetOpen(false);  // before the bridge goes
  bridge.Pump(50);
}

}  // namespace
}  // namespace tlm
