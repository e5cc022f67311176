#pragma once
// The byte trace: each transmitted byte as ('T', byte), each received one
// as ('R', byte), in a ring of TraceSize pairs.
//
// Dump format: every run of one direction starts a line with "Transmit: "
// or "Receive: "; lines wrap at 78 columns (a byte's text is never split)
// and continue without a heading. Printable ASCII is written as is. Other
// bytes are written in brackets: with hex on as two hex digits ("[0D]"),
// with hex off control characters by their ASCII names ("[CR]", "[DLE]")
// and the rest as "[Special-XX]". A dump ends with an empty line.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace tlm {

class TraceRing {
 public:
  // 0, or -ecBadArgument when `entries` is above the cap or not positive.
  int Start(int entries);
  void Stop();  // frees the ring
  void Clear();
  void SetPaused(bool paused);
  bool Active() const;  // recording
  bool Allocated() const;

  void Add(char direction, const std::uint8_t* bytes, std::size_t count);

  // The dump text of the entries held, oldest first.
  std::string Format(bool hex) const;
  // Writes Format() to `path` (appending when `append`); 0 or -errno.
  int Dump(const std::string& path, bool append, bool hex) const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::pair<char, std::uint8_t>> ring_;
  std::size_t next_ = 0;
  bool wrapped_ = false;
  bool paused_ = false;
};

// The text of one traced byte ("A", "[0D]", "[CR]").
std::string TraceByteText(std::uint8_t byte, bool hex);

// Appends or writes `text` to `path`; 0 or -errno.
int WriteTextFile(const std::string& path, const std::string& text, bool append);

}  // namespace tlm
