#include "faximage/t4_encoder.h"

#include <algorithm>
#include <cstring>

#include "faximage/t4_codes.h"
#include "faximage/t4_line_bits.h"

namespace tlm {
namespace {

// Collects code bits least significant first, as APF files store them.
class BitSink {
 public:
  explicit BitSink(std::uint8_t* out) : out_(out) {}

  void Put(std::uint32_t bits, int length) {
    acc_ |= std::uint64_t(bits) << count_;
    count_ += length;
    if (count_ >= 32) {
      const std::uint32_t word = static_cast<std::uint32_t>(acc_);
      out_[bytes_] = std::uint8_t(word);
      out_[bytes_ + 1] = std::uint8_t(word >> 8);
      out_[bytes_ + 2] = std::uint8_t(word >> 16);
      out_[bytes_ + 3] = std::uint8_t(word >> 24);
      bytes_ += 4;
      acc_ >>= 32;
      count_ -= 32;
    }
  }

  void PutRun(bool black, int run) {
    while (run > kT4MaxMakeUp) {
      const T4StoredCode& c = T4MakeUp(black, kT4MaxMakeUp);
      Put(c.bits, c.length);
      run -= kT4MaxMakeUp;
    }
    if (run >= 64) {
      const T4StoredCode& c = T4MakeUp(black, run & ~63);
      Put(c.bits, c.length);
    }
    const T4StoredCode& c = T4Terminating(black, run & 63);
    Put(c.bits, c.length);
  }

  // Closes the partial byte and adds one 0 byte (two when the codes end on
  // a byte boundary); returns the record length.
  std::size_t Finish() {
    const std::size_t full = bytes_ + std::size_t(count_ / 8);
    const std::size_t length = full + 2;
    std::uint64_t acc = acc_;
    for (std::size_t i = bytes_; i < length; ++i) {
      out_[i] = std::uint8_t(acc);
      acc >>= 8;
    }
    return length;
  }

 private:
  std::uint8_t* out_;
  std::size_t bytes_ = 0;
  std::uint64_t acc_ = 0;
  int count_ = 0;
};

bool AllWhite(const std::uint8_t* line, std::size_t bytes) {
  std::uint8_t any = 0;
  for (std::size_t i = 0; i < bytes; ++i) any |= line[i];
  return any == 0;
}

}  // namespace

std::size_t T4EncodeLine(const std::uint8_t* line, std::size_t lineBytes, const T4LineGeometry& g,
                         std::uint8_t* out) {
  BitSink sink(out);
  sink.Put(0x8000, 16);  // four fill bits and EOL: eleven 0 bits then a 1
  const int width = std::clamp(g.width, 8, kT4MaxWidth);
  if (AllWhite(line, std::min(lineBytes, std::size_t(width / 8)))) {
    sink.PutRun(false, width);
    return sink.Finish();
  }
  // The coded line is the margin followed by the buffer's pixels; in double
  // width the same is done over half the width and each run doubled.
  const int scale = g.doubleWidth ? 2 : 1;
  const int total = width / scale;
  const int margin = std::clamp(g.leftMargin, 0, total);
  const int end = total - margin;  // buffer pixels used, at most 2048
  std::uint8_t padded[kT4PaddedLineBytes] = {};
  std::memcpy(padded, line, std::min(lineBytes, std::size_t(end + 7) / 8));
  if (end & 7) padded[end >> 3] &= std::uint8_t(0xFF << (8 - (end & 7)));
  int pos = 0;
  int coded = 0;
  bool black = false;
  while (pos < end || coded == 0) {
    const int next = T4FindChange(padded, pos, end, black);
    int run = next - pos;
    if (!black && pos == 0) run += margin;
    run *= scale;
    if (next >= end) run = width - coded;  // the last run completes the width
    sink.PutRun(black, run);
    coded += run;
    pos = next;
    black = !black;
  }
  return sink.Finish();
}

}  // namespace tlm
