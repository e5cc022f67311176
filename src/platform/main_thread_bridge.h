#pragma once
// How the serial and fax threads reach the application's main thread.
//
// Engine events (status, log, finish, port notifications) must run on the
// main thread while the engine's own thread waits. A bridge offers *post*
// (run later, do not wait) and *send* (run and wait, with a time-out). The
// program installs a Qt implementation; tests and command-line tools use
// PumpedBridge, whose queue the main thread drains.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace tlm {

class MainThreadBridge {
 public:
  virtual ~MainThreadBridge() = default;
  // Queues `fn` to run on the main thread.
  virtual void Post(std::function<void()> fn) = 0;
  // Runs `fn` on the main thread and waits for it; false when it did not run
  // within `timeoutMs` (it is then dropped unless already running).
  // Called on the main thread itself, it runs `fn` at once.
  virtual bool Send(std::function<void()> fn, std::int64_t timeoutMs) = 0;
};

// A bridge whose main thread is whichever thread calls Pump().
class PumpedBridge final : public MainThreadBridge {
 public:
  PumpedBridge();  // the constructing thread is the main thread
  void Post(std::function<void()> fn) override;
  bool Send(std::function<void()> fn, std::int64_t timeoutMs) override;

  // Runs queued work until the queue is empty and `timeoutMs` has passed
  // with nothing new, or until `until` returns true. Returns the number of
  // functions run.
  int Pump(std::int64_t timeoutMs, const std::function<bool()>& until = {});

 private:
  struct Item;
  std::thread::id mainThread_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::shared_ptr<Item>> queue_;
};

}  // namespace tlm
