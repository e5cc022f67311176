#include "comm/triggers.h"

#include <algorithm>
#include <cctype>

#include "comm/comm_types.h"

namespace tlm {
namespace {

constexpr int kHandleStep = 8;
constexpr int kCountedHandles = 4095;  // after these, the lowest free handle is reused
constexpr int kMaxHandle = 0xFFF8;

std::uint8_t Upper(std::uint8_t byte) { return static_cast<std::uint8_t>(std::toupper(byte)); }

}  // namespace

void TriggerSet::Clear() {
  timers_.clear();
  data_.clear();
  status_.clear();
  availThreshold_ = 0;
  handleCounter_ = 1;
}

int TriggerSet::NewHandle() const {
  if (handleCounter_ <= kCountedHandles) return handleCounter_ * kHandleStep;
  std::vector<std::uint8_t> used(kMaxHandle / kHandleStep + 1, 0);
  for (const auto& t : timers_) used[t.handle / kHandleStep] = 1;
  for (const auto& t : data_) used[t.handle / kHandleStep] = 1;
  for (const auto& t : status_) used[t.handle / kHandleStep] = 1;
  for (std::size_t slot = 1; slot < used.size(); ++slot) {
    if (!used[slot]) return static_cast<int>(slot) * kHandleStep;
  }
  return -ecNoMoreTriggers;
}

void TriggerSet::Commit(int) { ++handleCounter_; }

int TriggerSet::AddTimer() {
  const int handle = NewHandle();
  if (handle < 0) return handle;
  Commit(handle);
  TimerTrigger t;
  t.handle = static_cast<std::uint16_t>(handle);
  timers_.push_back(t);
  return handle;
}

int TriggerSet::AddData(const std::string& match, bool ignoreCase) {
  if (match.empty()) return -ecBadArgument;
  if (match.size() > kMaxDataTriggerLength) return -ecTriggerTooLong;
  const int handle = NewHandle();
  if (handle < 0) return handle;
  Commit(handle);
  DataTrigger t;
  t.handle = static_cast<std::uint16_t>(handle);
  t.match = match;
  if (ignoreCase) {
    for (char& c : t.match) c = static_cast<char>(Upper(static_cast<std::uint8_t>(c)));
  }
  t.ignoreCase = ignoreCase;
  data_.push_back(std::move(t));
  return handle;
}

int TriggerSet::AddStatus(int type) {
  if (type < stModem || type > stOutSent) return -ecBadArgument;
  const int handle = NewHandle();
  if (handle < 0) return handle;
  Commit(handle);
  StatusTrigger t;
  t.handle = static_cast<std::uint16_t>(handle | type);
  t.type = static_cast<std::uint16_t>(type);
  status_.push_back(t);
  return t.handle;
}

int TriggerSet::SetTimer(int handle, std::int32_t ticks, bool activate, Tick now) {
  for (auto& t : timers_) {
    if (t.handle != handle) continue;
    t.duration = ticks;
    t.timer = NewTimer(ticks, now);
    t.active = activate;
    return 0;
  }
  return -ecBadTriggerHandle;
}

int TriggerSet::SetStatus(int handle, std::uint16_t param, bool activate, const PortState& state) {
  for (auto& t : status_) {
    if (t.handle != handle) continue;
    t.param = param;
    t.savedModemStatus = state.modemStatus;
    t.armed = activate;
    t.fired = false;
    return 0;
  }
  return -ecBadTriggerHandle;
}

int TriggerSet::Remove(int handle) {
  if (handle == kAvailTriggerHandle) {
    availThreshold_ = 0;
    return 0;
  }
  auto drop = [handle](auto& list) {
    const auto it = std::find_if(list.begin(), list.end(), [handle](const auto& t) { return t.handle == handle; });
    if (it == list.end()) return false;
    list.erase(it);
    return true;
  };
  if (handle > 1 && (drop(timers_) || drop(data_) || drop(status_))) return 0;
  return -ecBadTriggerHandle;
}

std::optional<FiredTrigger> TriggerSet::CheckStatus(const PortState& state) {
  for (auto& t : status_) {
    if (!t.armed) continue;
    bool fires = false;
    std::uint32_t value = t.param;
    switch (t.type) {
      case stModem: {
        // A delta bit in the mask stands for its line.
        const std::uint8_t mask = static_cast<std::uint8_t>((t.param & 0xF0) | ((t.param & 0x0F) << 4));
        fires = ((state.modemStatus ^ t.savedModemStatus) & mask) != 0;
        value = state.modemStatus;
        break;
      }
      case stLine:
        fires = (state.lineErrors & t.param) != 0;
        if (fires) t.param = state.lineErrors;
        value = state.lineErrors;
        break;
      case stOutBuffFree: fires = state.outFree >= t.param; break;
      case stOutBuffUsed: fires = state.outUsed <= t.param; break;
      case stOutSent: fires = state.outUsed == 0; break;
      default: break;
    }
    if (!fires) continue;
    t.armed = false;
    t.fired = true;
    return FiredTrigger{t.handle, t.type, value};
  }
  return std::nullopt;
}

void TriggerSet::ClearFiredMarks() {
  for (auto& t : status_) t.fired = false;
}

bool TriggerSet::AnyOutputTriggerArmed() const {
  return std::any_of(status_.begin(), status_.end(), [](const StatusTrigger& t) {
    return t.armed && (t.type == stOutBuffFree || t.type == stOutBuffUsed || t.type == stOutSent);
  });
}

std::optional<FiredTrigger> TriggerSet::CheckTimers(Tick now) {
  for (auto& t : timers_) {
    if (!t.active || !TimerExpired(t.timer, now)) continue;
    t.active = false;
    return FiredTrigger{t.handle, 0, 0};
  }
  return std::nullopt;
}

std::int32_t TriggerSet::TicksToNextTimer(Tick now) const {
  std::int32_t best = -1;
  for (const auto& t : timers_) {
    if (!t.active) continue;
    const std::int32_t left = RemainingTicks(t.timer, now);
    if (best < 0 || left < best) best = left;
  }
  return best;
}

std::vector<FiredTrigger> TriggerSet::FeedByte(std::uint8_t byte) {
  std::vector<FiredTrigger> fired;
  for (auto& t : data_) {
    const std::uint8_t c = t.ignoreCase ? Upper(byte) : byte;
    const auto& m = t.match;
    const std::size_t length = m.size();
    bool complete = false;
    // Advance each partial match; a byte equal to the first character also
    // starts a new one.
    std::size_t kept = 0;
    for (std::uint16_t& p : t.partial) {
      if (static_cast<std::uint8_t>(m[p]) == c) {
        ++p;
        if (p == length) complete = true;
        t.partial[kept++] = p;
      }
    }
    t.partial.resize(kept);
    if (static_cast<std::uint8_t>(m[0]) == c) {
      if (length == 1) complete = true;
      else t.partial.push_back(1);
    }
    t.matched = complete;
    if (complete) {
      t.partial.clear();
      fired.push_back(FiredTrigger{t.handle, 0, static_cast<std::uint32_t>(length)});
    }
  }
  std::reverse(fired.begin(), fired.end());
  return fired;
}

}  // namespace tlm
