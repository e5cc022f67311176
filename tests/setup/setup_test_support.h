#pragma once
// Shared set-up of the set-up windows' tests: a data folder whose TLM.INI
// maps COM numbers to test devices, faxsim modems of given class lists,
// and small stand-ins for devices that are not modems.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <chrono>
#include <thread>

#include "faxsim_runner.h"
#include "gui_test_support.h"
#include "platform/profile_file.h"

namespace tlm::testing {

// Writes `[Ports]` entries (and keeps the rest of TLM.INI).
inline void MapPorts(const std::string& dataFolder, const std::map<int, std::string>& ports) {
  ProfileFile ini(dataFolder + "TLM.INI");
  for (const auto& [n, path] : ports) ini.WriteString("Ports", "COM" + std::to_string(n), path);
  ini.Save();
}

// faxsim with one modem per entry: link name -> options ("class=1").
class FaxsimModems {
 public:
  FaxsimModems(const std::string& dir, const std::map<std::string, std::string>& modems) {
    std::vector<std::string> args;
    int number = 100;
    for (const auto& [name, options] : modems) {
      args.push_back("--modem");
      std::string modemArg = dir + "/" + name + "=" + std::to_string(number++);
      if (!options.empty()) modemArg += ":" + options;
      args.push_back(modemArg);
    }
    sim_ = std::make_unique<faxsim::testing::FaxsimProcess>(dir, args);
  }
  bool Started() const { return sim_->started(); }

 private:
  std::unique_ptr<faxsim::testing::FaxsimProcess> sim_;
};

// A pseudo-terminal: the program opens the slave by name, the test plays
// the device on the master side.
class Pty {
 public:
  Pty() {
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master_, &slave, name, nullptr, nullptr) != 0) return;
    path_ = name;
    termios tio{};
    ::tcgetattr(master_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(master_, TCSANOW, &tio);
    ::close(slave);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  }
  ~Pty() { Close(); }
  const std::string& Path() const { return path_; }
  void Close() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }
  void Write(const std::string& bytes) {
    std::size_t done = 0;
    for (int tries = 0; done < bytes.size() && tries < 100; ++tries) {
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n > 0) done += static_cast<std::size_t>(n);
      else std::this_thread::sleep_for(std::chrono::milliseconds(2));  // full: the reader is slow or gone
    }
  }
  // One byte, or "" after `ms`.
  std::string Read(int ms) {
    pollfd fd{master_, POLLIN, 0};
    char c = 0;
    if (::poll(&fd, 1, ms) > 0 && ::read(master_, &c, 1) == 1) return std::string(1, c);
    return {};
  }

 private:
  int master_ = -1;
  std::string path_;
};

// A pseudo-terminal whose far end behaves as asked: silent, echoing every
// byte, answering "OK" to every line, or sending garbage without end.
class FakeDevice {
 public:
  enum Kind { kSilent, kEcho, kOkToEverything, kGarbage };
  explicit FakeDevice(Kind kind) : kind_(kind) {
    if (kind_ != kSilent) thread_ = std::thread([this] { Run(); });
  }
  ~FakeDevice() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  const std::string& Path() const { return pty_.Path(); }
  // The device goes away, as an unplugged USB modem does.
  void Vanish() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    pty_.Close();
  }

 private:
  void Run() {
    std::string line;
    while (!stop_) {
      if (kind_ == kGarbage) {
        pty_.Write(std::string("\x7f#%&*@!~?\r\nRING\r\n\x01\x02zz\r\n"));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        continue;
      }
      const std::string got = pty_.Read(20);
      if (got.empty()) continue;
      if (kind_ == kEcho) {
        pty_.Write(got);
        continue;
      }
      if (got[0] == '\r') {
        pty_.Write("\r\nOK\r\n");
        line.clear();
      } else {
        line += got;
      }
    }
  }

  Kind kind_;
  Pty pty_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Another process holding a device open and locked, as a running
// communication program does.
class DeviceHolder {
 public:
  explicit DeviceHolder(const std::string& path) {
    pid_ = ::fork();
    if (pid_ == 0) {
      const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
      if (fd < 0 || ::flock(fd, LOCK_EX) != 0) ::_exit(1);
      while (true) ::pause();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // until the lock is taken
  }
  ~DeviceHolder() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }

 private:
  pid_t pid_ = -1;
};

}  // namespace tlm::testing
