#pragma once
// Time since start, diagnostics on stderr and the small text helpers the
// line needs.
#include <cstddef>
#include <cstdint>
#include <string>

#include "spandsp_internals.h"

namespace faxline {

// Seconds since the program started (monotonic).
double uptime();
// Monotonic clock in nanoseconds, for the real-time tick.
int64_t monoNs();
// One diagnostic line on stderr, prefixed with the uptime.
void logLine(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// The decimal digits of a dial string.
std::string digitsOnly(const std::string& s);
// Bytes for a trace line: printable ASCII as is, the rest escaped, cut after
// about `max` characters.
std::string escaped(const uint8_t* buf, size_t len, size_t max);
// Routes a spandsp context's log to stderr when --log is on. spandsp keeps
// the tag pointer: the string must outlive the context.
void setUpSpanLog(logging_state_t* log, const std::string& tag);

}  // namespace faxline
