#include "app/qt_main_thread_bridge.h"

#include <QMetaObject>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tlm {

QtMainThreadBridge::QtMainThreadBridge(QObject* parent)
    : QObject(parent), mainThread_(std::this_thread::get_id()) {}

void QtMainThreadBridge::Post(std::function<void()> fn) {
  QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

bool QtMainThreadBridge::Send(std::function<void()> fn, std::int64_t timeoutMs) {
  if (std::this_thread::get_id() == mainThread_) {
    fn();
    return true;
  }
  // The state is shared with the queued call, which may outlive this wait.
  struct State {
    std::mutex mutex;
    std::condition_variable cv;
    bool started = false;
    bool cancelled = false;
    bool done = false;
  };
  auto state = std::make_shared<State>();
  QMetaObject::invokeMethod(
      this,
      [state, fn = std::move(fn)] {
        {
          std::lock_guard lock(state->mutex);
          if (state->cancelled) return;
          state->started = true;
        }
        fn();
        {
          std::lock_guard lock(state->mutex);
          state->done = true;
        }
        state->cv.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock lock(state->mutex);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  const auto finished = [&] { return state->done; };
  if (timeoutMs < 0) {
    state->cv.wait(lock, finished);
    return true;
  }
  if (state->cv.wait_until(lock, deadline, finished)) return true;
  if (!state->started) {
    state->cancelled = true;
    return false;
  }
  // Already running: a call that has begun is allowed to finish, but the
  // caller is told that it did not run in time.
  return false;
}

}  // namespace tlm
