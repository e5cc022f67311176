#include "comm/trace_ring.h"

#include <cerrno>
#include <cstdio>

#include "comm/comm_types.h"

namespace tlm {
namespace {

constexpr std::size_t kLineWidth = 78;

const char* const kControlNames[32] = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
    "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
    "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};

}  // namespace

std::string TraceByteText(std::uint8_t byte, bool hex) {
  if (byte >= 0x20 && byte < 0x7F) return std::string(1, static_cast<char>(byte));
  char text[16];
  if (hex) {
    std::snprintf(text, sizeof text, "[%02X]", byte);
  } else if (byte < 0x20) {
    std::snprintf(text, sizeof text, "[%s]", kControlNames[byte]);
  } else if (byte == 0x7F) {
    return "[DEL]";
  } else {
    std::snprintf(text, sizeof text, "[Special-%02X]", byte);
  }
  return text;
}

int WriteTextFile(const std::string& path, const std::string& text, bool append) {
  std::FILE* file = std::fopen(path.c_str(), append ? "ab" : "wb");
  if (!file) return -errno;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const int writeErrno = errno;
  if (std::fclose(file) != 0 || !written) return -(written ? errno : writeErrno);
  return 0;
}

int TraceRing::Start(int entries) {
  if (entries <= 0 || entries > kMaxTraceSize) return -ecBadArgument;
  std::lock_guard lock(mutex_);
  if (ring_.size() != static_cast<std::size_t>(entries)) {
    ring_.assign(static_cast<std::size_t>(entries), {});
    next_ = 0;
    wrapped_ = false;
  }
  paused_ = false;
  return 0;
}

void TraceRing::Stop() {
  std::lock_guard lock(mutex_);
  ring_.clear();
  ring_.shrink_to_fit();
  next_ = 0;
  wrapped_ = false;
}

void TraceRing::Clear() {
  std::lock_guard lock(mutex_);
  next_ = 0;
  wrapped_ = false;
}

void TraceRing::SetPaused(bool paused) {
  std::lock_guard lock(mutex_);
  paused_ = paused;
}

bool TraceRing::Active() const {
  std::lock_guard lock(mutex_);
  return !ring_.empty() && !paused_;
}

bool TraceRing::Allocated() const {
  std::lock_guard lock(mutex_);
  return !ring_.empty();
}

void TraceRing::Add(char direction, const std::uint8_t* bytes, std::size_t count) {
  std::lock_guard lock(mutex_);
  if (ring_.empty() || paused_) return;
  for (std::size_t i = 0; i < count; ++i) {
    ring_[next_] = {direction, bytes[i]};
    if (++next_ == ring_.size()) {
      next_ = 0;
      wrapped_ = true;
    }
  }
}

std::string TraceRing::Format(bool hex) const {
  std::lock_guard lock(mutex_);
  std::string out;
  std::string line;
  char direction = 0;
  auto endLine = [&] {
    if (!line.empty()) out += line + "\n";
    line.clear();
  };
  const std::size_t count = wrapped_ ? ring_.size() : next_;
  const std::size_t first = wrapped_ ? next_ : 0;
  for (std::size_t i = 0; i < count; ++i) {
    const auto& [dir, byte] = ring_[(first + i) % ring_.size()];
    if (dir != direction) {
      endLine();
      direction = dir;
      line = dir == 'T' ? "Transmit: " : "Receive: ";
    }
    const std::string text = TraceByteText(byte, hex);
    if (line.size() + text.size() > kLineWidth) endLine();
    line += text;
  }
  endLine();
  out += "\n";
  return out;
}

int TraceRing::Dump(const std::string& path, bool append, bool hex) const {
  return WriteTextFile(path, Format(hex), append);
}

}  // namespace tlm
