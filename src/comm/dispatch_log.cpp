#include "comm/dispatch_log.h"

#include <sys/utsname.h>

#include <cstdio>

#include "comm/comm_types.h"
#include "comm/trace_ring.h"
#include "platform/strings/messages.h"

namespace tlm {
namespace {

constexpr int kTypeNames = 15001;
constexpr int kSubtypeNames = 15101;
constexpr int kColumnHeads = 15501;
constexpr int kModemBitNames = 15601;

std::string OperatingSystem() {
  utsname name{};
  if (::uname(&name) != 0) return "Linux";
  return std::string(name.sysname) + " " + name.release + " (" + name.machine + ")";
}

std::string Compiler() {
#if defined(__clang__)
  return "Clang " __clang_version__;
#elif defined(__GNUC__)
  return "GNU C++ " __VERSION__;
#else
  return "C++";
#endif
}

std::string DetailText(const DispatchLogEntry& entry) {
  switch (entry.detail) {
    case ldModemStatus: {
      std::string text = "(Modem status) ";
      // Bit 0 (DCTS) to bit 7 (DCD), names from the table.
      for (int bit = 0; bit < 8; ++bit) {
        if (entry.data & (1u << bit)) text += LogNameText(kModemBitNames + bit);
      }
      return text;
    }
    case ldLineStatus: return "(Line status)";
    case ldOutBuffFree: return "(Output buffer free)";
    case ldOutBuffUsed: return "(Output buffer used)";
    case ldOutSent: return "(Output sent)";
    case ldNotActive: return "(Not active)";
    default: {
      char hex[16];
      std::snprintf(hex, sizeof hex, "%08x", entry.other);
      return hex;
    }
  }
}

}  // namespace

int DispatchLog::Start(int entries) {
  if (entries <= 0 || entries > kMaxLogSize) return -ecBadArgument;
  std::lock_guard lock(mutex_);
  if (ring_.size() != static_cast<std::size_t>(entries)) {
    ring_.assign(static_cast<std::size_t>(entries), {});
    next_ = 0;
    wrapped_ = false;
    start_ = std::chrono::steady_clock::now();
  }
  paused_ = false;
  return 0;
}

void DispatchLog::Stop() {
  std::lock_guard lock(mutex_);
  ring_.clear();
  ring_.shrink_to_fit();
  next_ = 0;
  wrapped_ = false;
}

void DispatchLog::Clear() {
  std::lock_guard lock(mutex_);
  next_ = 0;
  wrapped_ = false;
  start_ = std::chrono::steady_clock::now();
}

void DispatchLog::SetPaused(bool paused) {
  std::lock_guard lock(mutex_);
  paused_ = paused;
}

bool DispatchLog::Active() const {
  std::lock_guard lock(mutex_);
  return !ring_.empty() && !paused_;
}

bool DispatchLog::Allocated() const {
  std::lock_guard lock(mutex_);
  return !ring_.empty();
}

void DispatchLog::Add(std::uint16_t type, std::uint16_t subtype, std::uint32_t data, std::uint32_t other,
                      std::uint8_t detail) {
  std::lock_guard lock(mutex_);
  if (ring_.empty() || paused_) return;
  const auto elapsed = std::chrono::steady_clock::now() - start_;
  DispatchLogEntry& entry = ring_[next_];
  entry.timeMs = static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
  entry.type = type;
  entry.subtype = subtype;
  entry.data = data;
  entry.other = other;
  entry.detail = detail;
  if (++next_ == ring_.size()) {
    next_ = 0;
    wrapped_ = true;
  }
}

std::string DispatchLog::FormatEntry(const DispatchLogEntry& entry) {
  char time[32];
  std::snprintf(time, sizeof time, "%u.%03u", entry.timeMs / 1000, entry.timeMs % 1000);
  const std::string type = LogNameText(kTypeNames + entry.type);
  const std::string subtype = LogNameText(kSubtypeNames + entry.subtype);
  char line[128];
  std::snprintf(line, sizeof line, "%8s  %-8s  %-12s  %8.8x  ", time, type.c_str(), subtype.c_str(), entry.data);
  return line + DetailText(entry);
}

std::string DispatchLog::Header() {
  return "KOVA v2.56\nCompiler : " + Compiler() + "\nOperating System : " + OperatingSystem() + "\n\n" +
         LogNameText(kColumnHeads) + "\n" + LogNameText(kColumnHeads + 1) + "\n";
}

std::string DispatchLog::Format() const {
  std::lock_guard lock(mutex_);
  std::string out = Header();
  const std::size_t count = wrapped_ ? ring_.size() : next_;
  const std::size_t first = wrapped_ ? next_ : 0;
  for (std::size_t i = 0; i < count; ++i) out += FormatEntry(ring_[(first + i) % ring_.size()]) + "\n";
  out += "\n";
  return out;
}

int DispatchLog::Dump(const std::string& path, bool append) const { return WriteTextFile(path, Format(), append); }

}  // namespace tlm
