#pragma once
// faxline's command line. Errors end the program with status 2 (a start-up
// error); --help prints the usage and exits 0.
#include <string>
#include <utility>
#include <vector>

namespace faxline {

struct Options {
  std::vector<std::pair<std::string, std::string>> modems;  // link, number
  std::vector<std::string> receivers, senders;               // as given
  std::vector<std::string> busy;
  double durationS = 0;
  int exitAfterCalls = 0;
};

// Also sets the line-wide settings (rings, noise, delay, logging).
Options parseCommandLine(int argc, char** argv);

// Reports a start-up error on stderr and exits with status 2.
[[noreturn]] void startupError(const std::string& message);
// Parses a number in [lo, hi] given to `what`, or fails.
double checkedValue(const char* what, const std::string& v, double lo, double hi);
// A phone number: digits only, or fails.
std::string checkedNumber(const std::string& n, const char* what);

}  // namespace faxline
