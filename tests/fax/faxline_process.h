#pragma once
// Test support for calls over faxline (tools/faxline, real time): the line
// as a subprocess whose event lines are awaited, and documents for its
// spandsp senders.
#include <signal.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bitmap.h"
#include "faxsim/faxsim_runner.h"

namespace tlm::testing {

// faxline started with `arguments` (shell words), its events in
// `folder`/events and its diagnostics in `folder`/stderr; stopped with
// SIGTERM when it goes out of scope.
class FaxlineProcess {
 public:
  FaxlineProcess(const std::string& folder, const std::string& arguments) : events_(folder + "/events") {
    pid_ = faxsim::testing::spawn("exec " FAXLINE_BINARY " " + arguments + " > " + events_ + " 2>" + folder +
                                  "/stderr");
    started_ = !WaitFor({"EVENT started"}, 15).empty();
  }
  ~FaxlineProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      faxsim::testing::waitPid(pid_, 15);
    }
  }
  FaxlineProcess(const FaxlineProcess&) = delete;
  FaxlineProcess& operator=(const FaxlineProcess&) = delete;

  bool Started() const { return started_; }
  // The first event line holding every one of `parts`, waiting up to
  // `seconds` for it; empty when none came.
  std::string WaitFor(const std::vector<std::string>& parts, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    do {
      std::ifstream in(events_);
      for (std::string line; std::getline(in, line);) {
        bool all = true;
        for (const std::string& part : parts) all = all && line.find(part) != std::string::npos;
        if (all) return line;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < end);
    return {};
  }
  std::string Events() const {
    std::ifstream in(events_);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::string events_;
  int pid_ = -1;
  bool started_ = false;
};

// A spandsp sender's document: the pages as a multi-page Group 3 TIFF made
// with efax's efix and libtiff's tiffcp (see faxsim::testing::haveEfax) in
// `folder`; its path, or empty when a tool failed.
inline std::string WriteSenderTiff(const std::string& folder, const std::vector<faxsim::Bitmap>& pages, bool fine) {
  std::string join = "tiffcp";
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const std::string page = folder + "/p" + std::to_string(i + 1);
    if (!faxsim::writePbm(page + ".pbm", pages[i]).empty()) return {};
    if (faxsim::testing::run(std::string("efix -i pbm -o tiffg3 -r ") + (fine ? "204x196 " : "204x98 ") + page +
                             ".pbm > " + page + ".tif 2>/dev/null") != 0)
      return {};
    join += " " + page + ".tif";
  }
  const std::string tif = folder + "/doc.tif";
  return faxsim::testing::run(join + " " + tif + " 2>/dev/null") == 0 ? tif : std::string();
}

}  // namespace tlm::testing
