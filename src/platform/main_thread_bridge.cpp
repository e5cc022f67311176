#include "platform/main_thread_bridge.h"

#include <algorithm>
#include <chrono>

namespace tlm {

struct PumpedBridge::Item {
  std::function<void()> fn;
  bool started = false;
  bool done = false;
  bool cancelled = false;
};

PumpedBridge::PumpedBridge() : mainThread_(std::this_thread::get_id()) {}

void PumpedBridge::Post(std::function<void()> fn) {
  auto item = std::make_shared<Item>();
  item->fn = std::move(fn);
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(item));
  }
  cv_.notify_all();
}

bool PumpedBridge::Send(std::function<void()> fn, std::int64_t timeoutMs) {
  if (std::this_thread::get_id() == mainThread_) {
    fn();
    return true;
  }
  auto item = std::make_shared<Item>();
  item->fn = std::move(fn);
  std::unique_lock lock(mutex_);
  queue_.push_back(item);
  cv_.notify_all();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  if (cv_.wait_until(lock, deadline, [&] { return item->done; })) return true;
  if (item->started) {  // already running: it must finish before we go on
    cv_.wait(lock, [&] { return item->done; });
    return true;
  }
  item->cancelled = true;
  return false;
}

int PumpedBridge::Pump(std::int64_t timeoutMs, const std::function<bool()>& until) {
  using Clock = std::chrono::steady_clock;
  int count = 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (until && until()) return count;
    std::shared_ptr<Item> item;
    {
      std::unique_lock lock(mutex_);
      // Short slices, so that a condition changed by another thread is seen.
      const auto slice = std::min(deadline, Clock::now() + std::chrono::milliseconds(10));
      if (!cv_.wait_until(lock, slice, [&] { return !queue_.empty(); })) {
        if (Clock::now() >= deadline) return count;
        continue;
      }
      item = queue_.front();
      queue_.pop_front();
      if (item->cancelled) continue;
      item->started = true;
    }
    item->fn();
    ++count;
    {
      std::lock_guard lock(mutex_);
      item->done = true;
    }
    cv_.notify_all();
  }
}

}  // namespace tlm
