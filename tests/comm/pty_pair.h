#pragma once
// A pseudo-terminal pair for port tests: the port opens the slave device;
// the test plays the modem on the master side.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace tlm::testing {

class PtyPair {
 public:
  PtyPair() {
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master_, &slave, name, nullptr, nullptr) == 0) {
      slavePath_ = name;
      termios tio{};
      ::tcgetattr(master_, &tio);
      ::cfmakeraw(&tio);
      ::tcsetattr(master_, TCSANOW, &tio);
      ::close(slave);  // the port opens it by name
      ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
  }
  ~PtyPair() { CloseMaster(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool Ok() const { return master_ >= 0 && !slavePath_.empty(); }
  int Master() const { return master_; }
  const std::string& SlavePath() const { return slavePath_; }
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  // Writes all of `bytes` to the master side.
  bool Write(const std::string& bytes) { return Write(bytes.data(), bytes.size()); }
  bool Write(const void* data, std::size_t count) {
    const char* p = static_cast<const char*>(data);
    while (count > 0) {
      const ssize_t n = ::write(master_, p, count);
      if (n < 0) {
        if (errno != EAGAIN && errno != EINTR) return false;
        pollfd fd{master_, POLLOUT, 0};
        ::poll(&fd, 1, 100);
        continue;
      }
      p += n;
      count -= static_cast<std::size_t>(n);
    }
    return true;
  }

  // Reads until `count` bytes arrived or `timeoutMs` passed.
  std::string Read(std::size_t count, int timeoutMs = 3000) {
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < count && std::chrono::steady_clock::now() < deadline) {
      char buffer[4096];
      const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - out.size()));
      if (n > 0) {
        out.append(buffer, static_cast<std::size_t>(n));
        continue;
      }
      pollfd fd{master_, POLLIN, 0};
      ::poll(&fd, 1, 20);
    }
    return out;
  }

 private:
  int master_ = -1;
  std::string slavePath_;
};

// Polls `condition` every millisecond until it holds or `timeoutMs` passes.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 3000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace tlm::testing
