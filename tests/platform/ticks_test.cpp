#include "platform/ticks.h"

#include <gtest/gtest.h>

namespace tlm {
namespace {

TEST(TickConversions, FormulasAtTheirBoundaries) {
  EXPECT_EQ(SecsToTicks(0), 0);
  EXPECT_EQ(SecsToTicks(1), 18);      // 1675 / 92 = 18.2
  EXPECT_EQ(SecsToTicks(60), 1092);
  EXPECT_EQ(SecsToTicks(10), 182);
  EXPECT_EQ(SecsToTicks(30), 546);
  EXPECT_EQ(TicksToSecs(0), 0);
  EXPECT_EQ(TicksToSecs(9), 0);       // (9 + 9) * 92 / 1675 = 0.98
  EXPECT_EQ(TicksToSecs(10), 1);      // 19 * 92 / 1675 = 1.04
  EXPECT_EQ(TicksToSecs(1092), 60);
  // No overflow at the timer cap, which is far past 32-bit products.
  EXPECT_EQ(TicksToSecs(kMaxTimerTicks), static_cast<int>((39045157LL + 9) * 92 / 1675));
  EXPECT_EQ(SecsToTicks(2144448), static_cast<int>(2144448LL * 1675 / 92));
}

TEST(TickTimers, ExpireOnlyOnceTheExpiryLiesBehind) {
  const TickTimer t = NewTimer(18, 1000);
  EXPECT_EQ(t.expire, 1018u);
  EXPECT_FALSE(TimerExpired(t, 1000));
  EXPECT_FALSE(TimerExpired(t, 1018));
  EXPECT_TRUE(TimerExpired(t, 1019));
  EXPECT_EQ(RemainingTicks(t, 1010), 8);
  EXPECT_EQ(RemainingTicks(t, 2000), 0);
  EXPECT_EQ(ElapsedTicks(t, 1010), 10);
}

TEST(TickTimers, WorkAcrossTheCounterWrap) {
  const Tick nearEnd = kTickWrap - 5;
  const TickTimer t = NewTimer(10, nearEnd);
  EXPECT_EQ(t.expire, 5u);
  EXPECT_FALSE(TimerExpired(t, nearEnd + 1));
  EXPECT_FALSE(TimerExpired(t, kTickWrap - 1));
  EXPECT_FALSE(TimerExpired(t, 0));
  EXPECT_FALSE(TimerExpired(t, 5));
  EXPECT_TRUE(TimerExpired(t, 6));
  EXPECT_EQ(RemainingTicks(t, 2), 3);
  EXPECT_EQ(ElapsedTicks(t, 2), 7);
}

TEST(TickTimers, LengthIsCappedAndNeverNegative) {
  const TickTimer capped = NewTimer(kMaxTimerTicks + 1000, 0);
  EXPECT_EQ(capped.expire, static_cast<Tick>(kMaxTimerTicks));
  EXPECT_FALSE(TimerExpired(capped, kMaxTimerTicks));
  EXPECT_TRUE(TimerExpired(capped, kMaxTimerTicks + 1));
  const TickTimer negative = NewTimer(-5, 100);
  EXPECT_EQ(negative.expire, 100u);
  EXPECT_TRUE(TimerExpired(negative, 101));
}

TEST(TickClock, FollowsTheMillisecondClockAndWrapsWithIt) {
  std::uint64_t ms = 0;
  SetMillisecondClockForTesting([&] { return ms; });
  ms = 55 * 100 + 54;
  EXPECT_EQ(CurrentTick(), 100u);
  ms = 0xFFFFFFFFull;  // the last millisecond before the 32-bit wrap
  EXPECT_EQ(CurrentTick(), kTickWrap - 1);
  const TickTimer t = NewTimer(3);
  ms = 0x100000000ull + 55;  // wrapped: tick 1
  EXPECT_EQ(CurrentTick(), 1u);
  EXPECT_FALSE(TimerExpired(t));
  ms = 0x100000000ull + 55 * 3;
  EXPECT_TRUE(TimerExpired(t));
  SetMillisecondClockForTesting(nullptr);
  EXPECT_GT(CurrentTick(), 0u);
}

}  // namespace
}  // namespace tlm
