#pragma once
// One machine-readable line per thing that happens on the line, on stdout:
//   EVENT <type> t=<seconds since start> key=value ...
// Values that are empty or hold spaces, quotes, backslashes, '=' or control
// characters are double-quoted with \" and \\ escapes (shlex reads them).
#include <string>

namespace faxline {

class Event {
 public:
  explicit Event(const char* type);
  Event& num(const char* key, long long value);
  Event& str(const char* key, const std::string& value);
  Event& real(const char* key, double value, int decimals);
  // Writes the line and flushes it at once: tests wait on it.
  void emit();

 private:
  std::string line_;
};

}  // namespace faxline
