#include "faximage/t4_page_coding.h"

#include <algorithm>
#include <cstring>

#include "faximage/t4_codes.h"
#include "faximage/t4_encoder.h"
#include "faximage/t4_line_bits.h"

namespace tlm {
namespace {

// A code word written in line order ("0001") as stored bits: the first bit
// in bit 0.
struct StoredBits {
  std::uint32_t bits;
  int length;
};
constexpr StoredBits Stored(const char* code) {
  StoredBits s{0, 0};
  for (const char* p = code; *p; ++p) s.bits |= std::uint32_t(*p == '1') << s.length++;
  return s;
}

constexpr StoredBits kEol = Stored("000000000001");
constexpr StoredBits kPass = Stored("0001");
constexpr StoredBits kHorizontal = Stored("001");
// Vertical modes by a1 - b1 + 3.
constexpr StoredBits kVertical[7] = {Stored("0000010"), Stored("000010"), Stored("010"), Stored("1"),
                                     Stored("011"),     Stored("000011"), Stored("0000011")};
constexpr int kRtcEols = 6;

// Positions where the colour changes along a packed, padded line (the
// first a change to black), closed by three entries at `width`.
void ChangingElements(const std::uint8_t* padded, int width, std::vector<int>& changes) {
  changes.clear();
  int pos = 0;
  bool black = false;
  for (;;) {
    pos = T4FindChange(padded, pos, width, black);
    if (pos >= width) break;
    changes.push_back(pos);
    black = !black;
  }
  changes.insert(changes.end(), 3, width);
}

}  // namespace

// ---- encoder ----

T4PageEncoder::T4PageEncoder(T4Coding coding, int width, int kFactor, int minBitsPerLine)
    : coding_(coding),
      width_(std::clamp(width, 8, kT4MaxWidth)),
      kFactor_(std::max(kFactor, 1)),
      minBits_(coding == T4Coding::MMR ? 0 : std::max(minBitsPerLine, 0)),
      padded_(kT4PaddedLineBytes, 0) {
  reference_.assign(3, width_);
}

void T4PageEncoder::Put(std::uint32_t bits, int length, std::string& out) {
  acc_ |= std::uint64_t(bits) << count_;
  count_ += length;
  lineBits_ += length;
  if (count_ >= 32) {
    const char word[4] = {char(acc_), char(acc_ >> 8), char(acc_ >> 16), char(acc_ >> 24)};
    out.append(word, 4);
    acc_ >>= 32;
    count_ -= 32;
  }
}

void T4PageEncoder::PutRun(bool black, int run, std::string& out) {
  while (run > kT4MaxMakeUp) {
    const T4StoredCode& c = T4MakeUp(black, kT4MaxMakeUp);
    Put(c.bits, c.length, out);
    run -= kT4MaxMakeUp;
  }
  if (run >= 64) {
    const T4StoredCode& c = T4MakeUp(black, run & ~63);
    Put(c.bits, c.length, out);
  }
  const T4StoredCode& c = T4Terminating(black, run & 63);
  Put(c.bits, c.length, out);
}

void T4PageEncoder::PutZeros(int count, std::string& out) {
  for (; count > 0; count -= 24) Put(0, std::min(count, 24), out);
}

// The runs of the line, white first.
void T4PageEncoder::CodeOneD(std::string& out) {
  int start = 0;
  bool black = false;
  for (const int change : current_) {
    PutRun(black, change - start, out);
    if (change >= width_) break;
    start = change;
    black = !black;
  }
}

// The line coded against the reference line.
void T4PageEncoder::CodeTwoD(std::string& out) {
  const int* a = current_.data();
  const int* b = reference_.data();
  int a0 = -1;
  int colour = 0;  // a0's colour: 0 white, 1 black
  std::size_t ia = 0, ib = 0;
  while (a0 < width_) {
    while (a[ia] <= a0) ++ia;
    while (b[ib] <= a0) ++ib;
    // b1 is a change to the colour opposite a0's: even entries turn black.
    const std::size_t b1Index = ib + ((ib & 1) != std::size_t(colour) ? 1 : 0);
    const int a1 = a[ia], b1 = b[b1Index], b2 = b[b1Index + 1];
    if (b2 < a1) {
      Put(kPass.bits, kPass.length, out);
      a0 = b2;
    } else if (a1 - b1 >= -3 && a1 - b1 <= 3) {
      const StoredBits& v = kVertical[a1 - b1 + 3];
      Put(v.bits, v.length, out);
      a0 = a1;
      colour ^= 1;
    } else {
      const int a2 = a[ia + 1];
      Put(kHorizontal.bits, kHorizontal.length, out);
      PutRun(colour != 0, a1 - std::max(a0, 0), out);
      PutRun(colour == 0, a2 - a1, out);
      a0 = a2;
    }
  }
}

void T4PageEncoder::EncodeLine(const std::uint8_t* packedLine, std::string& out) {
  const std::size_t bytes = std::size_t(width_ + 7) / 8;
  std::memcpy(padded_.data(), packedLine, bytes);
  if (width_ & 7) padded_[bytes - 1] &= std::uint8_t(0xFF << (8 - (width_ & 7)));
  ChangingElements(padded_.data(), width_, current_);
  lineBits_ = 0;
  switch (coding_) {
    case T4Coding::MH:
      Put(kEol.bits, kEol.length, out);
      CodeOneD(out);
      break;
    case T4Coding::MR: {
      const bool oneD = sinceOneD_ == 0;
      Put(kEol.bits | std::uint32_t(oneD) << kEol.length, kEol.length + 1, out);
      if (oneD) {
        CodeOneD(out);
      } else {
        CodeTwoD(out);
      }
      sinceOneD_ = (sinceOneD_ + 1) % kFactor_;
      break;
    }
    case T4Coding::MMR: CodeTwoD(out); break;
  }
  if (lineBits_ < minBits_) PutZeros(minBits_ - lineBits_, out);
  current_.swap(reference_);
  ++lines_;
}

void T4PageEncoder::Finish(std::string& out) {
  if (coding_ == T4Coding::MMR) {
    Put(kEol.bits, kEol.length, out);
    Put(kEol.bits, kEol.length, out);
  } else {
    const bool mr = coding_ == T4Coding::MR;
    for (int i = 0; i < kRtcEols; ++i) Put(kEol.bits | std::uint32_t(mr) << kEol.length, kEol.length + mr, out);
  }
  for (; count_ > 0; count_ -= 8) {
    out.push_back(char(acc_));
    acc_ >>= 8;
  }
  acc_ = 0;
  count_ = 0;
  sinceOneD_ = 0;
  reference_.assign(3, width_);
}

// ---- decoder ----

class T4PageDecoder::TwoD {};

T4PageDecoder::T4PageDecoder(T4Coding coding, int, LineSink sink) : coding_(coding) {
  mh_ = std::make_unique<T4Decoder>(std::move(sink));
}
T4PageDecoder::~T4PageDecoder() = default;
void T4PageDecoder::StartPage() { mh_->StartPage(); }
bool T4PageDecoder::Feed(const std::uint8_t* data, std::size_t size) { return mh_->Feed(data, size); }
void T4PageDecoder::Finish() { mh_->Finish(); }
bool T4PageDecoder::PageEnded() const { return mh_->PageEnded(); }
long T4PageDecoder::BadLines() const { return mh_->BadCodes(); }
long T4PageDecoder::Lines() const { return mhLines_; }

// ---- recoders ----

T4ApfPageRecoder::T4ApfPageRecoder(T4PageEncoder& encoder)
    : encoder_(encoder),
      decoder_([this](const std::uint8_t* line, int pixels) {
        const std::size_t bytes = std::size_t(encoder_.Width() + 7) / 8;
        std::fill(line_.begin(), line_.end(), 0);
        std::memcpy(line_.data(), line, std::min(bytes, std::size_t(pixels + 7) / 8));
        encoder_.EncodeLine(line_.data(), *out_);
        return true;
      }),
      line_(kT4PaddedLineBytes, 0) {}

void T4ApfPageRecoder::Feed(const std::uint8_t* mh, std::size_t size, std::string& out) {
  out_ = &out;
  decoder_.Feed(mh, size);
}

void T4ApfPageRecoder::Finish(std::string& out) {
  out_ = &out;
  decoder_.Finish();
  encoder_.Finish(out);
}

T4ReceivedPageRecoder::T4ReceivedPageRecoder(T4Coding coding, int width)
    : coding_(coding),
      width_(width),
      decoder_(coding, width, [this](const std::uint8_t* line, int pixels) {
        if (coding_ == T4Coding::MH) return true;
        std::uint8_t record[kT4MaxLineRecord];
        T4LineGeometry geometry;
        geometry.width = pixels;
        const std::size_t n = T4EncodeLine(line, std::size_t(pixels + 7) / 8, geometry, record);
        out_->append(reinterpret_cast<const char*>(record), n);
        return true;
      }) {}

void T4ReceivedPageRecoder::Feed(const std::uint8_t* data, std::size_t size, std::string& out) {
  out_ = &out;
  if (coding_ == T4Coding::MH) out.append(reinterpret_cast<const char*>(data), size);
  decoder_.Feed(data, size);
}

void T4ReceivedPageRecoder::Finish(std::string& out) {
  out_ = &out;
  decoder_.Finish();
  if (coding_ != T4Coding::MH) out.append(kT4EndOfPageRecord.begin(), kT4EndOfPageRecord.end());
}

}  // namespace tlm
