#include "event.h"

#include <cctype>
#include <cstdio>

#include "diagnostics.h"

namespace faxline {

Event::Event(const char* type) : line_(std::string("EVENT ") + type) { real("t", uptime(), 3); }

Event& Event::num(const char* key, long long value) {
  line_ += std::string(" ") + key + "=" + std::to_string(value);
  return *this;
}

Event& Event::real(const char* key, double value, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, " %s=%.*f", key, decimals, value);
  line_ += buf;
  return *this;
}

Event& Event::str(const char* key, const std::string& value) {
  bool quote = value.empty();
  for (unsigned char c : value)
    if (std::isspace(c) || c == '"' || c == '\\' || c == '=' || c < 0x20 || c >= 0x7F) quote = true;
  line_ += std::string(" ") + key + "=";
  if (!quote) {
    line_ += value;
    return *this;
  }
  line_ += '"';
  for (unsigned char c : value) {
    if (c == '"' || c == '\\') line_ += '\\';
    line_ += (c < 0x20 || c >= 0x7F) ? '?' : char(c);
  }
  line_ += '"';
  return *this;
}

void Event::emit() {
  std::fputs((line_ + "\n").c_str(), stdout);
  std::fflush(stdout);
}

}  // namespace faxline
