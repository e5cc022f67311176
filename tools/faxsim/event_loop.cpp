#include "event_loop.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace faxsim {

EventLoop::EventLoop(double factor) : factor_(factor), start_(std::chrono::steady_clock::now()) {}

double EventLoop::now() const {
  if (current_ >= 0) return current_;
  std::chrono::duration<double> d = std::chrono::steady_clock::now() - start_;
  return d.count() * factor_;
}

EventLoop::TimerId EventLoop::after(double seconds, std::function<void()> fn) {
  TimerId id = next_++;
  double at = now() + std::max(0.0, seconds);
  timers_.emplace(at, std::make_pair(id, std::move(fn)));
  due_[id] = at;
  return id;
}

void EventLoop::cancel(TimerId& id) {
  auto it = due_.find(id);
  if (it != due_.end()) {
    auto range = timers_.equal_range(it->second);
    for (auto t = range.first; t != range.second; ++t)
      if (t->second.first == id) {
        timers_.erase(t);
        break;
      }
    due_.erase(it);
  }
  id = 0;
}

void EventLoop::run() {
  while (running_) {
    // Fire due timers (in order; a timer may add or cancel others).
    while (!timers_.empty() && timers_.begin()->first <= now() && running_) {
      auto fn = std::move(timers_.begin()->second.second);
      double due = timers_.begin()->first;
      due_.erase(timers_.begin()->second.first);
      timers_.erase(timers_.begin());
      current_ = due;
      fn();
      current_ = -1;
    }
    if (!running_) break;
    std::vector<pollfd> fds;
    std::vector<size_t> owner;
    for (size_t i = 0; i < watches_.size(); ++i) {
      int fd = watches_[i].fd();
      if (fd < 0) continue;
      fds.push_back({fd, watches_[i].events(), 0});
      owner.push_back(i);
    }
    int timeoutMs = 50;  // also the period of the port open/close check
    if (!timers_.empty()) {
      double wait = (timers_.begin()->first - now()) / factor_ * 1000.0;
      timeoutMs = std::clamp(int(std::ceil(wait)), 0, 50);
    }
    int n = ::poll(fds.data(), fds.size(), timeoutMs);
    if (n < 0 && errno != EINTR) break;
    for (size_t i = 0; n > 0 && i < fds.size(); ++i)
      if (fds[i].revents) watches_[owner[i]].ready(fds[i].revents);
  }
}

}  // namespace faxsim
