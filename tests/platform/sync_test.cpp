#include "platform/sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/main_thread_bridge.h"

namespace tlm {
namespace {

TEST(Events, AutoResetReleasesOneWaitAndClears) {
  Event e(Event::Reset::kAuto);
  EXPECT_FALSE(e.Wait(0));
  e.Set();
  EXPECT_TRUE(e.Wait(0));
  EXPECT_FALSE(e.Wait(10));
}

TEST(Events, ManualResetStaysSetUntilReset) {
  Event e(Event::Reset::kManual);
  e.Set();
  EXPECT_TRUE(e.Wait(0));
  EXPECT_TRUE(e.Wait(0));
  e.ResetEvent();
  EXPECT_FALSE(e.Wait(0));
}

TEST(Events, WaitAnyReturnsTheSignalledOneAcrossThreads) {
  Event a, b, c(Event::Reset::kManual);
  EXPECT_EQ(Event::WaitAny({&a, &b, &c}, 20), -1);
  std::thread t([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    b.Set();
  });
  EXPECT_EQ(Event::WaitAny({&a, &b, &c}, 5000), 1);
  t.join();
  EXPECT_FALSE(b.IsSet());  // auto-reset consumed
  c.Set();
  a.Set();
  EXPECT_EQ(Event::WaitAny({&a, &b, &c}, 0), 0);  // list order decides
  EXPECT_EQ(Event::WaitAny({&a, &b, &c}, 0), 2);
  EXPECT_TRUE(c.IsSet());
}

TEST(Events, ManySettersNeverLoseAWakeUp) {
  Event e;
  std::atomic<int> received{0};
  constexpr int kRounds = 2000;
  std::thread consumer([&] {
    for (int i = 0; i < kRounds; ++i) {
      Event* list[] = {&e};
      if (Event::WaitAny({list[0]}, 5000) == 0) ++received;
    }
  });
  for (int i = 0; i < kRounds; ++i) {
    while (e.IsSet()) std::this_thread::yield();
    e.Set();
  }
  consumer.join();
  EXPECT_EQ(received.load(), kRounds);
}

TEST(CriticalSections, AreReentrant) {
  CriticalSection cs;
  cs.Enter();
  cs.Enter();
  cs.Leave();
  cs.Leave();
  std::thread t([&] { std::lock_guard lock(cs); });
  t.join();
}

TEST(PumpedBridge, SendRunsOnThePumpingThreadAndWaits) {
  PumpedBridge bridge;
  const auto mainId = std::this_thread::get_id();
  std::thread::id ranOn;
  bool sent = false;
  std::thread worker([&] { sent = bridge.Send([&] { ranOn = std::this_thread::get_id(); }, 5000); });
  bridge.Pump(5000, [&] { return ranOn != std::thread::id(); });
  worker.join();
  EXPECT_TRUE(sent);
  EXPECT_EQ(ranOn, mainId);
}

TEST(PumpedBridge, SendTimesOutWhenNobodyPumpsAndIsDropped) {
  PumpedBridge bridge;
  bool ran = false;
  std::thread worker([&] { EXPECT_FALSE(bridge.Send([&] { ran = true; }, 30)); });
  worker.join();
  EXPECT_EQ(bridge.Pump(20), 0);
  EXPECT_FALSE(ran);
}

TEST(PumpedBridge, PostedWorkRunsInOrder) {
  PumpedBridge bridge;
  std::vector<int> order;
  std::thread worker([&] {
    for (int i = 0; i < 5; ++i) bridge.Post([&, i] { order.push_back(i); });
  });
  worker.join();
  EXPECT_EQ(bridge.Pump(20), 5);
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
}

}  // namespace
}  // namespace tlm
