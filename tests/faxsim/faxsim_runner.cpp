#include "faxsim_runner.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace faxsim::testing {
namespace {

double seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

FaxsimProcess::FaxsimProcess(const std::string& dir, std::vector<std::string> args) {
  eventsFile_ = dir + "/events.log";
  args.insert(args.begin(), FAXSIM_BINARY);
  args.push_back("--events");
  args.push_back(eventsFile_);
  pid_ = ::fork();
  if (pid_ == 0) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int devnull = ::open("/dev/null", O_WRONLY);
    ::dup2(devnull, 1);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  started_ = !waitFor({"EVENT started"}, 10).empty();
}

// faxsim must end cleanly (sanitizer reports make it exit non-zero).
FaxsimProcess::~FaxsimProcess() {
  if (pid_ <= 0) return;
  int status = stop();
  if (status != 0) ADD_FAILURE() << "faxsim exited with status " << status;
}

void FaxsimProcess::signal(int sig) {
  if (pid_ > 0) ::kill(pid_, sig);
}

int FaxsimProcess::stop() {
  if (pid_ <= 0) return -1;
  ::kill(pid_, SIGTERM);
  int status = waitPid(pid_, 10);
  pid_ = -1;
  return status;
}

std::vector<std::string> FaxsimProcess::events() const {
  std::ifstream in(eventsFile_);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::string FaxsimProcess::waitFor(const std::vector<std::string>& parts, double limit) {
  double end = seconds() + limit;
  do {
    for (const auto& line : events()) {
      bool all = true;
      for (const auto& p : parts) all = all && line.find(p) != std::string::npos;
      if (all) return line;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (seconds() < end);
  return "";
}

Dte::Dte(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY);
  if (fd_ < 0) return;
  termios t{};
  ::tcgetattr(fd_, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(fd_, TCSANOW, &t);
}

Dte::~Dte() {
  if (fd_ >= 0) ::close(fd_);
}

void Dte::send(const std::string& raw) {
  if (::write(fd_, raw.data(), raw.size()) != ssize_t(raw.size())) return;
}

std::string Dte::waitFor(const std::string& text, double limit) {
  std::string got;
  double end = seconds() + limit;
  while (seconds() < end && got.find(text) == std::string::npos) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 50) > 0 && (p.revents & POLLIN)) {
      char buf[512];
      ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n > 0) got.append(buf, size_t(n));
    }
  }
  return got;
}

std::string Dte::command(const std::string& cmd, double limit) {
  std::string line = cmd + "\r";
  if (::write(fd_, line.data(), line.size()) != ssize_t(line.size())) return "";
  std::string got;
  double end = seconds() + limit;
  static const char* finals[] = {"\r\nOK\r\n", "\r\nERROR\r\n", "\r\nCONNECT\r\n", "\r\nNO CARRIER\r\n",
                                 "\r\nBUSY\r\n", "\r\nNO DIALTONE\r\n", "\r\nNO ANSWER\r\n", "\r\nVOICE\r\n",
                                 "\r\n+FCERROR\r\n"};
  while (seconds() < end) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 50) > 0 && (p.revents & POLLIN)) {
      char buf[512];
      ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n > 0) got.append(buf, size_t(n));
    }
    for (const char* f : finals)
      if (got.find(f) != std::string::npos) return got;
  }
  return got;
}

int run(const std::string& cmd, int limit) {
  return std::system(("timeout " + std::to_string(limit) + " sh -c '" + cmd + "'").c_str());
}

int spawn(const std::string& cmd) {
  int pid = ::fork();
  if (pid == 0) {
    ::execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return pid;
}

int waitPid(int pid, int limit) {
  double end = seconds() + limit;
  int status = 0;
  while (seconds() < end) {
    if (::waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, &status, 0);
  return -2;
}

std::string field(const std::string& event, const std::string& key) {
  std::string k = " " + key + "=";
  auto at = event.find(k);
  if (at == std::string::npos) return "";
  at += k.size();
  if (at < event.size() && event[at] == '"') {
    auto end = event.find('"', at + 1);
    return event.substr(at + 1, end - at - 1);
  }
  return event.substr(at, event.find(' ', at) - at);
}

bool tiffToBitmap(const std::string& tiff, Bitmap& out) {
  std::string pbm = tiff + ".pbm";
  if (std::system(("tifftopnm " + tiff + " > " + pbm + " 2>/dev/null").c_str()) != 0) return false;
  return readPbm(pbm, out).empty();
}

bool tiffPageToBitmap(const std::string& tiff, int page, Bitmap& out) {
  const std::string one = tiff + "." + std::to_string(page) + ".tif";
  if (std::system(("tiffcp " + tiff + "," + std::to_string(page) + " " + one + " 2>/dev/null").c_str()) != 0)
    return false;
  return tiffToBitmap(one, out);
}

bool sameRows(const Bitmap& a, int from, const Bitmap& b, int count) {
  if (a.width != b.width || from + count > a.height || count > b.height) return false;
  size_t stride = size_t(a.stride());
  return std::memcmp(a.bits.data() + size_t(from) * stride, b.bits.data(), size_t(count) * stride) == 0;
}

bool haveEfax() {
  return std::system("command -v efax >/dev/null && command -v tifftopnm >/dev/null && command -v efix >/dev/null") == 0;
}

}  // namespace faxsim::testing
