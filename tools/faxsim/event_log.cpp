#include "event_log.h"

#include "event_loop.h"

namespace faxsim {
namespace {

std::string quoted(const std::string& v) {
  bool plain = !v.empty();
  for (char c : v)
    if (c == ' ' || c == '"' || c == '=' || c == '\\' || c == '\'' || static_cast<unsigned char>(c) < 0x20) plain = false;
  if (plain) return v;
  std::string q = "\"";
  for (char c : v) {
    if (c == '"' || c == '\\') q += '\\';
    q += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
  }
  return q + "\"";
}

}  // namespace

void EventLog::emit(const char* type, std::initializer_list<Field> fields) {
  std::string line = std::string("EVENT ") + type;
  char t[32];
  std::snprintf(t, sizeof t, " t=%.3f", loop_.now());
  line += t;
  for (const auto& [k, v] : fields) line += std::string(" ") + k + "=" + quoted(v);
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
  if (trace_ && out_ != stdout) std::fprintf(stderr, "%s\n", line.c_str());
}

void EventLog::trace(const std::string& text) {
  if (trace_) std::fprintf(stderr, "[%9.3f] %s\n", loop_.now(), text.c_str());
}

std::string hex(const uint8_t* data, size_t n) {
  static const char* d = "0123456789ABCDEF";
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    s += d[data[i] >> 4];
    s += d[data[i] & 15];
  }
  return s;
}

}  // namespace faxsim
