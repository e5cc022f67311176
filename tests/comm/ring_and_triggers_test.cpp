// The byte ring and the trigger lists, without threads or devices.
#include <gtest/gtest.h>

#include <string>

#include "comm/byte_ring.h"
#include "comm/comm_types.h"
#include "comm/triggers.h"

namespace tlm {
namespace {

TEST(ByteRing, TellsEmptyFromFullAndWraps) {
  ByteRing ring(8);
  EXPECT_TRUE(ring.Empty());
  EXPECT_EQ(ring.Used(), 0u);
  const std::uint8_t bytes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  EXPECT_EQ(ring.Write(bytes, 9), 8u);  // only what fits
  EXPECT_TRUE(ring.Full());
  EXPECT_EQ(ring.Head(), ring.Tail());
  EXPECT_EQ(ring.Used(), 8u);
  ring.Advance(5);
  EXPECT_EQ(ring.Write(bytes, 4), 4u);  // wraps round the end
  std::uint8_t out[7] = {};
  ASSERT_TRUE(ring.Peek(0, out, 7));
  const std::uint8_t expected[] = {6, 7, 8, 1, 2, 3, 4};
  EXPECT_EQ(std::string(out, out + 7), std::string(expected, expected + 7));
  EXPECT_FALSE(ring.Peek(1, out, 7));  // past the bytes held
  EXPECT_EQ(ring.At(3), 1);
  ring.Advance(100);
  EXPECT_TRUE(ring.Empty());
  EXPECT_EQ(ring.Free(), 8u);
}

TEST(TriggerSet, HandlesFollowTheCounterAndStatusTypes) {
  TriggerSet set;
  set.Clear();
  EXPECT_EQ(set.AddTimer(), 8);
  EXPECT_EQ(set.AddData("OK", false), 16);
  EXPECT_EQ(set.AddStatus(stOutBuffFree), 24 | stOutBuffFree);
  EXPECT_EQ(set.AddStatus(6), -ecBadArgument);
  EXPECT_EQ(set.AddStatus(0), -ecBadArgument);
  EXPECT_EQ(set.Remove(16), 0);
  EXPECT_EQ(set.Remove(16), -ecBadTriggerHandle);
  EXPECT_EQ(set.Remove(0), -ecBadTriggerHandle);
  EXPECT_EQ(set.SetTimer(24 | stOutBuffFree, 1, true, 0), -ecBadTriggerHandle);  // not a timer
  EXPECT_EQ(set.SetStatus(24, 1, true, {}), -ecBadTriggerHandle);                 // lacks its type
  set.SetAvailThreshold(10);
  EXPECT_EQ(set.Remove(kAvailTriggerHandle), 0);
  EXPECT_EQ(set.AvailThreshold(), 0u);
  EXPECT_EQ(set.AddData(std::string(256, 'x'), false), -ecTriggerTooLong);
  EXPECT_EQ(set.AddData("", false), -ecBadArgument);
}

TEST(TriggerSet, ReusesTheLowestFreeHandleAfterTheCountedOnes) {
  TriggerSet set;
  set.Clear();
  for (int i = 1; i <= 4095; ++i) ASSERT_EQ(set.AddTimer(), i * 8);
  ASSERT_EQ(set.Remove(40), 0);
  ASSERT_EQ(set.Remove(16), 0);
  EXPECT_EQ(set.AddTimer(), 16);
  EXPECT_EQ(set.AddStatus(stModem), 40 | stModem);
  EXPECT_EQ(set.AddTimer(), 4096 * 8);
  while (set.AddTimer() > 0) {
  }
  EXPECT_EQ(set.AddTimer(), -ecNoMoreTriggers);
}

TEST(TriggerSet, DataMatchesOverlapRestartAndIgnoreCase) {
  TriggerSet set;
  set.Clear();
  const int aab = set.AddData("AAB", false);
  const int ok = set.AddData("ok\r", true);
  auto feed = [&](const std::string& text) {
    std::vector<std::pair<int, std::size_t>> hits;
    for (std::size_t i = 0; i < text.size(); ++i) {
      for (const auto& f : set.FeedByte(static_cast<std::uint8_t>(text[i]))) hits.emplace_back(f.handle, i);
    }
    return hits;
  };
  // "AAAB": the match starting at the second A completes.
  EXPECT_EQ(feed("AAAB"), (std::vector<std::pair<int, std::size_t>>{{aab, 3}}));
  EXPECT_EQ(feed("xOK\rAB"), (std::vector<std::pair<int, std::size_t>>{{ok, 3}}));
  EXPECT_TRUE(feed("AxAB").empty());
  // Both complete on one byte: the later trigger is reported first.
  const int b = set.AddData("B", false);
  EXPECT_EQ(feed("AAB"), (std::vector<std::pair<int, std::size_t>>{{b, 2}, {aab, 2}}));
}

TEST(TriggerSet, StatusConditionsFireOnceWhenArmed) {
  TriggerSet set;
  set.Clear();
  PortState state;
  state.outFree = 100;
  state.outUsed = 50;
  state.modemStatus = msCTS;
  const int freeH = set.AddStatus(stOutBuffFree);
  const int usedH = set.AddStatus(stOutBuffUsed);
  const int modemH = set.AddStatus(stModem);
  const int lineH = set.AddStatus(stLine);
  const int sentH = set.AddStatus(stOutSent);
  ASSERT_EQ(set.SetStatus(freeH, 120, true, state), 0);
  ASSERT_EQ(set.SetStatus(usedH, 10, true, state), 0);
  ASSERT_EQ(set.SetStatus(modemH, msDeltaDCD, true, state), 0);  // a delta bit stands for its line
  ASSERT_EQ(set.SetStatus(lineH, leFraming | leParity, true, state), 0);
  ASSERT_EQ(set.SetStatus(sentH, 0, true, state), 0);
  EXPECT_FALSE(set.CheckStatus(state));
  state.modemStatus = msCTS | msDSR;  // DSR is not watched
  EXPECT_FALSE(set.CheckStatus(state));
  state.modemStatus = msCTS | msDCD;
  auto fired = set.CheckStatus(state);
  ASSERT_TRUE(fired);
  EXPECT_EQ(fired->handle, modemH);
  state.lineErrors = leOverrun | leFraming;
  fired = set.CheckStatus(state);
  ASSERT_TRUE(fired);
  EXPECT_EQ(fired->value, static_cast<std::uint32_t>(leOverrun | leFraming));
  state.outFree = 120;
  state.outUsed = 0;
  std::vector<int> order;
  while (auto f = set.CheckStatus(state)) order.push_back(f->handle);
  EXPECT_EQ(order, (std::vector<int>{freeH, usedH, sentH}));  // list order, each once
  EXPECT_FALSE(set.AnyOutputTriggerArmed());
}

TEST(TriggerSet, TimersExpireInListOrderAcrossTheTickWrap) {
  TriggerSet set;
  set.Clear();
  const int a = set.AddTimer();
  const int b = set.AddTimer();
  const Tick start = kTickWrap - 2;
  ASSERT_EQ(set.SetTimer(a, 5, true, start), 0);
  ASSERT_EQ(set.SetTimer(b, 1, true, start), 0);
  EXPECT_FALSE(set.CheckTimers(start));
  EXPECT_EQ(set.TicksToNextTimer(start), 1);
  auto fired = set.CheckTimers(1);  // wrapped: 3 ticks later
  ASSERT_TRUE(fired);
  EXPECT_EQ(fired->handle, b);
  EXPECT_FALSE(set.CheckTimers(1));
  fired = set.CheckTimers(4);
  ASSERT_TRUE(fired);
  EXPECT_EQ(fired->handle, a);
  EXPECT_EQ(set.TicksToNextTimer(4), -1);
}

}  // namespace
}  // namespace tlm
