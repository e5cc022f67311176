#pragma once
// Events and locks for the dispatcher's threads.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace tlm {

// A re-entrant lock: the thread that holds it may take it again.
class CriticalSection {
 public:
  void lock() { mutex_.lock(); }
  void unlock() { mutex_.unlock(); }
  bool try_lock() { return mutex_.try_lock(); }
  void Enter() { lock(); }
  void Leave() { unlock(); }

 private:
  std::recursive_mutex mutex_;
};

inline constexpr std::int64_t kWaitForever = -1;

// An event object. An auto-reset event releases one waiter and clears itself;
// a manual-reset event stays set until Reset.
class Event {
 public:
  enum class Reset { kAuto, kManual };
  explicit Event(Reset mode = Reset::kAuto, bool initiallySet = false);
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void ResetEvent();
  bool IsSet() const;

  // Waits until set or until `timeoutMs` passes (kWaitForever: no limit).
  // Returns true when the event was set; an auto-reset event is cleared.
  bool Wait(std::int64_t timeoutMs = kWaitForever);

  // Waits for any of `events`; returns the index of the first one set (in
  // list order, consuming it if auto-reset) or -1 on time-out.
  static int WaitAny(const std::vector<Event*>& events, std::int64_t timeoutMs = kWaitForever);

 private:
  struct Waiter;
  bool TryConsumeLocked();

  const bool manual_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool set_;
  std::vector<Waiter*> waiters_;
};

}  // namespace tlm
