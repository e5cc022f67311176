#pragma once
// The event log: one line per event, "EVENT <type> t=<seconds> key=value ...",
// flushed at once. Values with spaces, quotes or '=' are double-quoted.
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>

namespace faxsim {

class EventLoop;

class EventLog {
 public:
  EventLog(EventLoop& loop, FILE* out, bool trace) : loop_(loop), out_(out), trace_(trace) {}
  using Field = std::pair<const char*, std::string>;
  void emit(const char* type, std::initializer_list<Field> fields);
  // Diagnostic text on stderr when --trace is on.
  void trace(const std::string& text);
  bool tracing() const { return trace_; }

 private:
  EventLoop& loop_;
  FILE* out_;
  bool trace_;
};

std::string hex(const uint8_t* data, size_t n);

}  // namespace faxsim
