#include "diagnostics.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "line_config.h"

namespace faxline {

LineConfig config;

int64_t monoNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

namespace {
const int64_t startNs = monoNs();

void spanMessage(int, const char* text) {
  // spandsp's messages carry their own newline.
  std::fprintf(stderr, "[%9.3f] %s", uptime(), text);
}
}  // namespace

double uptime() { return double(monoNs() - startNs) / 1e9; }

void logLine(const char* fmt, ...) {
  char buf[2048];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  std::fprintf(stderr, "[%9.3f] %s\n", uptime(), buf);
}

std::string digitsOnly(const std::string& s) {
  std::string out;
  for (char c : s)
    if (c >= '0' && c <= '9') out += c;
  return out;
}

std::string escaped(const uint8_t* buf, size_t len, size_t max) {
  std::string out;
  for (size_t i = 0; i < len; ++i) {
    if (out.size() >= max) {
      out += "... (" + std::to_string(len) + " bytes)";
      break;
    }
    const uint8_t c = buf[i];
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c >= 0x20 && c < 0x7F) {
      out += char(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

void setUpSpanLog(logging_state_t* log, const std::string& tag) {
  if (log == nullptr || config.logLevel <= 0) return;
  span_log_set_message_handler(log, spanMessage);
  span_log_set_level(log, config.logLevel | SPAN_LOG_SHOW_TAG | SPAN_LOG_SHOW_PROTOCOL);
  span_log_set_tag(log, tag.c_str());
}

}  // namespace faxline
