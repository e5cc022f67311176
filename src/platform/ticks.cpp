#include "platform/ticks.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>

namespace tlm {
namespace {

std::mutex g_clockMutex;
std::function<std::uint64_t()> g_testClock;
std::atomic<bool> g_hasTestClock{false};

std::uint64_t MonotonicMs() {
  if (g_hasTestClock.load(std::memory_order_acquire)) {
    std::lock_guard lock(g_clockMutex);
    if (g_testClock) return g_testClock();
  }
  using namespace std::chrono;
  return static_cast<std::uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

Tick CurrentTick() {
  // Truncating to 32 bits reproduces the wrap of a 32-bit millisecond counter.
  return static_cast<std::uint32_t>(MonotonicMs()) / 55u;
}

void SetMillisecondClockForTesting(std::function<std::uint64_t()> clock) {
  std::lock_guard lock(g_clockMutex);
  g_testClock = std::move(clock);
  g_hasTestClock.store(static_cast<bool>(g_testClock), std::memory_order_release);
}

TickTimer NewTimer(std::int32_t ticks, Tick now) {
  const std::int32_t length = std::clamp(ticks, 0, kMaxTimerTicks);
  TickTimer timer;
  timer.start = now % kTickWrap;
  timer.expire = static_cast<Tick>((static_cast<std::uint64_t>(timer.start) + length) % kTickWrap);
  return timer;
}

bool TimerExpired(const TickTimer& timer, Tick now) {
  return TicksBetween(timer.start, now % kTickWrap) > TicksBetween(timer.start, timer.expire);
}

std::int32_t ElapsedTicks(const TickTimer& timer, Tick now) {
  return static_cast<std::int32_t>(TicksBetween(timer.start, now % kTickWrap));
}

std::int32_t RemainingTicks(const TickTimer& timer, Tick now) {
  const auto length = TicksBetween(timer.start, timer.expire);
  const auto elapsed = TicksBetween(timer.start, now % kTickWrap);
  return elapsed >= length ? 0 : static_cast<std::int32_t>(length - elapsed);
}

}  // namespace tlm
