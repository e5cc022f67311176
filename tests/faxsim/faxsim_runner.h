#pragma once
// Test support: runs faxsim as a subprocess, reads its event log, drives a
// modem like a DTE and runs efax.
#include <chrono>
#include <string>
#include <vector>

#include "bitmap.h"

namespace faxsim::testing {

class FaxsimProcess {
 public:
  // Starts faxsim with these arguments (plus --events into `dir`) and waits
  // for its "started" event.
  FaxsimProcess(const std::string& dir, std::vector<std::string> args);
  ~FaxsimProcess();
  bool started() const { return started_; }
  // Waits until an event line contains every one of `parts`; returns it.
  std::string waitFor(const std::vector<std::string>& parts, double seconds = 60);
  std::vector<std::string> events() const;
  int stop();  // SIGTERM, then the exit status
  void signal(int sig);

 private:
  std::string eventsFile_;
  int pid_ = -1;
  bool started_ = false;
};

// A program on the modem's port: AT commands and their replies.
class Dte {
 public:
  explicit Dte(const std::string& path);
  ~Dte();
  bool ok() const { return fd_ >= 0; }
  // Sends a command line and collects the reply up to a final result
  // code; returns everything received.
  std::string command(const std::string& cmd, double seconds = 20);
  // Writes bytes as they are (no carriage return).
  void send(const std::string& raw);
  // Reads until `text` arrives.
  std::string waitFor(const std::string& text, double seconds = 20);

 private:
  int fd_ = -1;
};

// Runs a shell command with a time limit; returns its exit status.
int run(const std::string& cmd, int seconds = 180);
// Starts a shell command in the background; returns its pid.
int spawn(const std::string& cmd);
int waitPid(int pid, int seconds = 180);

std::string field(const std::string& event, const std::string& key);
bool tiffToBitmap(const std::string& tiff, Bitmap& out);
// Page `page` (from 0) of a multi-page TIFF file.
bool tiffPageToBitmap(const std::string& tiff, int page, Bitmap& out);
// Rows [from, from + count) of a equal rows [0, count) of b.
bool sameRows(const Bitmap& a, int from, const Bitmap& b, int count);
bool haveEfax();

}  // namespace faxsim::testing
