#pragma once
// Data a fax modem delivers after CONNECT in receive mode (page data and
// the training check): DLE DLE stands for one 0x10 byte, DLE followed by
// any other byte but ETX for that byte, and DLE ETX ends the data.
#include <cstddef>
#include <string>
#include <string_view>

namespace tlm {

// At most this many bytes are taken from the input per notification.
inline constexpr std::size_t kPageDataBatch = 10000;

class DleDataReader {
 public:
  // Appends the data bytes of `in` to `out` and returns how many bytes of
  // `in` were consumed: all of them, or those up to and including DLE ETX.
  std::size_t Feed(std::string_view in, std::string& out);
  bool Ended() const { return ended_; }
  void Reset() {
    pendingDle_ = false;
    ended_ = false;
  }

 private:
  bool pendingDle_ = false;  // the last byte of the previous batch was DLE
  bool ended_ = false;
};

// The Class 1 training check: the sender's TCF should be all zeros; the
// training is good when fewer than 10 % of its bytes are non-zero.
class TrainingCheck {
 public:
  void Reset() {
    total_ = 0;
    nonZero_ = 0;
  }
  void Count(std::string_view data);
  bool Good() const { return total_ > 0 && nonZero_ * 100 / total_ < 10; }
  long Total() const { return total_; }
  long NonZero() const { return nonZero_; }

 private:
  long total_ = 0;
  long nonZero_ = 0;
};

}  // namespace tlm
