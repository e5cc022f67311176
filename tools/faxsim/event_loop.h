#pragma once
// One-thread event loop on simulated time. Simulated time runs `factor`
// times faster than the wall clock (1 = real time); every duration in the
// simulator is given in simulated seconds.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace faxsim {

class EventLoop {
 public:
  explicit EventLoop(double factor);

  // Simulated seconds since start. Inside a timer callback this is the
  // timer's due time, so that chains of timed steps keep their exact
  // schedule however late the wall clock lets them run.
  double now() const;
  double factor() const { return factor_; }

  using TimerId = uint64_t;
  TimerId after(double seconds, std::function<void()> fn);
  void cancel(TimerId& id);  // also clears id

  // Called each iteration: fds to poll (POLLIN/POLLOUT wanted) and what to
  // do with their events.
  struct Watch {
    std::function<int()> fd;       // -1: not now
    std::function<short()> events;
    std::function<void(short)> ready;
  };
  void addWatch(Watch w) { watches_.push_back(std::move(w)); }

  void run();
  void stop() { running_ = false; }

 private:
  double factor_;
  std::chrono::steady_clock::time_point start_;
  std::multimap<double, std::pair<TimerId, std::function<void()>>> timers_;
  std::map<TimerId, double> due_;
  TimerId next_ = 1;
  std::vector<Watch> watches_;
  bool running_ = true;
  double current_ = -1;  // due time of the running timer, or -1
};

}  // namespace faxsim
