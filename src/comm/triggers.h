#pragma once
// The trigger lists of one port: timer, data and status triggers, their
// handles and the checks that decide which trigger fires. Pure logic; the
// dispatcher calls it under its lock and sends the notifications.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/ticks.h"

namespace tlm {

struct TimerTrigger {
  std::uint16_t handle = 0;
  TickTimer timer;
  std::int32_t duration = 0;
  bool active = false;
};

struct DataTrigger {
  std::uint16_t handle = 0;
  std::string match;                 // upper-cased when ignoreCase
  std::vector<std::uint16_t> partial;  // lengths matched so far, one per start offset
  bool matched = false;
  bool ignoreCase = false;
};

struct StatusTrigger {
  std::uint16_t handle = 0;  // base handle | type
  std::uint16_t type = 0;    // TStatusTriggerType
  std::uint16_t param = 0;
  std::uint8_t savedModemStatus = 0;
  bool armed = false;
  bool fired = false;
};

// What the status checks look at.
struct PortState {
  std::uint8_t modemStatus = 0;  // lines in the upper nibble
  std::uint16_t lineErrors = 0;
  std::size_t outFree = 0;
  std::size_t outUsed = 0;
};

// A trigger that fired: its handle and the notification's value.
struct FiredTrigger {
  std::uint16_t handle = 0;
  std::uint16_t type = 0;  // status triggers only
  std::uint32_t value = 0;
};

inline constexpr std::uint16_t kAvailTriggerHandle = 1;
inline constexpr std::size_t kMaxDataTriggerLength = 255;

class TriggerSet {
 public:
  // Empties every list and restarts the handle counter at 1.
  void Clear();

  // Adders return the new handle or a negative error code.
  int AddTimer();
  int AddData(const std::string& match, bool ignoreCase);
  int AddStatus(int type);

  // 0 or a negative error code (ecBadTriggerHandle, ecBadArgument).
  int SetTimer(int handle, std::int32_t ticks, bool activate, Tick now);
  int SetStatus(int handle, std::uint16_t param, bool activate, const PortState& state);
  int Remove(int handle);

  void SetAvailThreshold(std::uint32_t bytes) { availThreshold_ = bytes; }
  std::uint32_t AvailThreshold() const { return availThreshold_; }

  // The first armed status trigger (list order) whose condition holds; it is
  // disarmed and marked fired.
  std::optional<FiredTrigger> CheckStatus(const PortState& state);
  void ClearFiredMarks();
  bool AnyOutputTriggerArmed() const;

  // The first active timer trigger (list order) that has expired; it is
  // deactivated.
  std::optional<FiredTrigger> CheckTimers(Tick now);
  // Ticks until the nearest active deadline (for sleeping), or -1.
  std::int32_t TicksToNextTimer(Tick now) const;

  // Feeds one received byte to every data trigger. Returns the triggers that
  // completed a match at this byte, last in the list first (value = match
  // length).
  std::vector<FiredTrigger> FeedByte(std::uint8_t byte);
  bool HasDataTriggers() const { return !data_.empty(); }

  const std::vector<TimerTrigger>& Timers() const { return timers_; }
  const std::vector<DataTrigger>& DataTriggers() const { return data_; }
  const std::vector<StatusTrigger>& StatusTriggers() const { return status_; }

 private:
  int NewHandle() const;
  void Commit(int handle);

  std::vector<TimerTrigger> timers_;
  std::vector<DataTrigger> data_;
  std::vector<StatusTrigger> status_;
  std::uint32_t availThreshold_ = 0;
  int handleCounter_ = 1;
};

}  // namespace tlm
