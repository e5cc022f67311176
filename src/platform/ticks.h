#pragma once
// Ticks of 55 ms and tick timers: the time base of the serial and fax layers.
//
// The tick counter is the 32-bit millisecond clock divided by 55, so it wraps
// after about 49.7 days, at kTickWrap. Timers are capped at half of that so
// that "has it expired?" is never ambiguous across the wrap.
#include <cstdint>
#include <functional>

namespace tlm {

using Tick = std::uint32_t;

// Number of distinct tick values: the 32-bit millisecond counter / 55.
inline constexpr std::uint32_t kTickWrap = 0xFFFFFFFFu / 55u + 1u;  // 78090315
inline constexpr std::int32_t kMaxTimerTicks = 39045157;
inline constexpr int kMsPerTick = 55;

// The current tick, from the monotonic millisecond clock.
Tick CurrentTick();

// Replaces the millisecond clock (tests only); nullptr restores the real one.
void SetMillisecondClockForTesting(std::function<std::uint64_t()> clock);

// seconds × 1675 / 92 and (ticks + 9) × 92 / 1675, in integer arithmetic.
constexpr std::int32_t SecsToTicks(std::int32_t secs) {
  return static_cast<std::int32_t>(static_cast<std::int64_t>(secs) * 1675 / 92);
}
constexpr std::int32_t TicksToSecs(std::int32_t ticks) {
  return static_cast<std::int32_t>((static_cast<std::int64_t>(ticks) + 9) * 92 / 1675);
}
constexpr std::int32_t MsToTicks(std::int32_t ms) { return (ms + kMsPerTick - 1) / kMsPerTick; }

// A pair (start tick, expiry tick).
struct TickTimer {
  Tick start = 0;
  Tick expire = 0;
};

// Ticks from `from` forward to `to`, across the wrap.
constexpr std::uint32_t TicksBetween(Tick from, Tick to) {
  return to >= from ? to - from : kTickWrap - from + to;
}

// Arms a timer of `ticks` (negative counts as 0, capped at kMaxTimerTicks)
// starting at `now`.
TickTimer NewTimer(std::int32_t ticks, Tick now);
inline TickTimer NewTimer(std::int32_t ticks) { return NewTimer(ticks, CurrentTick()); }

// A timer has expired when its expiry lies before the current tick.
bool TimerExpired(const TickTimer& timer, Tick now);
inline bool TimerExpired(const TickTimer& timer) { return TimerExpired(timer, CurrentTick()); }

// Ticks elapsed since the start, and ticks left until expiry (0 once expired).
std::int32_t ElapsedTicks(const TickTimer& timer, Tick now);
std::int32_t RemainingTicks(const TickTimer& timer, Tick now);
inline std::int32_t RemainingTicks(const TickTimer& timer) { return RemainingTicks(timer, CurrentTick()); }

}  // namespace tlm
