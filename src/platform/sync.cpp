#include "platform/sync.h"

#include <algorithm>

namespace tlm {

// A multi-event wait registers one of these with every event it waits on;
// Set() wakes it, and the waiter then tries the events in order.
struct Event::Waiter {
  std::mutex mutex;
  std::condition_variable cv;
  bool woken = false;
};

Event::Event(Reset mode, bool initiallySet) : manual_(mode == Reset::kManual), set_(initiallySet) {}

Event::~Event() = default;

void Event::Set() {
  std::lock_guard lock(mutex_);
  set_ = true;
  if (manual_) {
    cv_.notify_all();
  } else {
    cv_.notify_one();
  }
  // Waiters are woken under our lock, so a multi-event wait that has already
  // unregistered (and gone) is never touched.
  for (Waiter* w : waiters_) {
    std::lock_guard waiterLock(w->mutex);
    w->woken = true;
    w->cv.notify_one();
  }
}

void Event::ResetEvent() {
  std::lock_guard lock(mutex_);
  set_ = false;
}

bool Event::IsSet() const {
  std::lock_guard lock(mutex_);
  return set_;
}

bool Event::TryConsumeLocked() {
  if (!set_) return false;
  if (!manual_) set_ = false;
  return true;
}

bool Event::Wait(std::int64_t timeoutMs) {
  std::unique_lock lock(mutex_);
  if (timeoutMs < 0) {
    cv_.wait(lock, [this] { return set_; });
  } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return set_; })) {
    return false;
  }
  TryConsumeLocked();
  return true;
}

int Event::WaitAny(const std::vector<Event*>& events, std::int64_t timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max<std::int64_t>(timeoutMs, 0));
  Waiter waiter;
  auto tryAll = [&]() -> int {
    for (std::size_t i = 0; i < events.size(); ++i) {
      std::lock_guard lock(events[i]->mutex_);
      if (events[i]->TryConsumeLocked()) return static_cast<int>(i);
    }
    return -1;
  };
  for (Event* e : events) {
    std::lock_guard lock(e->mutex_);
    e->waiters_.push_back(&waiter);
  }
  int result = -1;
  for (;;) {
    {
      std::lock_guard lock(waiter.mutex);
      waiter.woken = false;
    }
    result = tryAll();
    if (result >= 0) break;
    std::unique_lock lock(waiter.mutex);
    if (timeoutMs < 0) {
      waiter.cv.wait(lock, [&] { return waiter.woken; });
    } else if (!waiter.cv.wait_until(lock, deadline, [&] { return waiter.woken; })) {
      lock.unlock();
      result = tryAll();  // a last look: a Set may have raced the time-out
      break;
    }
  }
  for (Event* e : events) {
    std::lock_guard lock(e->mutex_);
    auto& w = e->waiters_;
    w.erase(std::remove(w.begin(), w.end(), &waiter), w.end());
  }
  return result;
}

}  // namespace tlm
