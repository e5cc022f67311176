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

bool T4PageEncoder::FlushWithFill(std::string& out) {
  if (coding_ == T4Coding::MMR) return false;
  PutZeros((32 - count_) & 7, out);
  for (; count_ > 0; count_ -= 8) {
    out.push_back(char(acc_));
    acc_ >>= 8;
  }
  acc_ = 0;
  count_ = 0;
  return true;
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

// 2-D mode codes looked up 7 bits at a time (first bit in bit 0).
enum class Mode : std::uint8_t { Bad, Pass, Horizontal, Vertical, Zeros };
struct ModeSlot {
  Mode mode;
  std::uint8_t length;
  std::int8_t offset;  // vertical: a1 - b1
};
constexpr int kModeBits = 7;

struct ModeTable {
  ModeSlot slots[1 << kModeBits];
  ModeTable() {
    for (std::uint32_t w = 0; w < (1u << kModeBits); ++w) {
      ModeSlot slot{w == 0 ? Mode::Zeros : Mode::Bad, kModeBits, 0};
      const auto match = [w](const StoredBits& c) { return (w & ((1u << c.length) - 1)) == c.bits; };
      if (match(kPass)) slot = ModeSlot{Mode::Pass, std::uint8_t(kPass.length), 0};
      if (match(kHorizontal)) slot = ModeSlot{Mode::Horizontal, std::uint8_t(kHorizontal.length), 0};
      for (int v = 0; v < 7; ++v) {
        if (match(kVertical[v])) slot = ModeSlot{Mode::Vertical, std::uint8_t(kVertical[v].length), std::int8_t(v - 3)};
      }
      slots[w] = slot;
    }
  }
};

const ModeTable& Modes() {
  static const ModeTable table;
  return table;
}

// MR and MMR decoding. Fed data is kept until its lines are complete; a
// line is decoded from its first bit once all its bits have arrived (a
// line cut off by the end of the fed data is decoded again when more
// comes), so the decoder holds no state inside a line.
class T4PageDecoder::TwoD {
 public:
  TwoD(bool mmr, int width, LineSink sink)
      : mmr_(mmr), width_(std::clamp(width, 8, kT4MaxWidth)), sink_(std::move(sink)), line_(kT4PaddedLineBytes) {
    Modes();
    T4RunSlots(false);
    StartPage();
  }

  void StartPage() {
    data_.assign(kSlack, 0);
    size_ = 0;
    pos_ = 0;
    ended_ = false;
    synced_ = mmr_;
    damaged_ = false;
    emptyEols_ = 0;
    bad_ = 0;
    lines_ = 0;
    reference_.assign(kMaxChanges, width_);
    current_.assign(kMaxChanges, width_);
  }

  bool Feed(const std::uint8_t* data, std::size_t size) {
    if (ended_) return false;
    // Drop the bytes already decoded, keep the slack of zeros behind the data.
    const std::size_t done = std::min(std::size_t(pos_ >> 3), size_);
    if (done > 0) {
      std::memmove(data_.data(), data_.data() + done, size_ - done);
      size_ -= done;
      pos_ -= done * 8;
    }
    data_.resize(size_ + size + kSlack);
    std::memcpy(data_.data() + size_, data, size);
    std::memset(data_.data() + size_ + size, 0, kSlack);
    size_ += size;
    Decode(false);
    return !ended_;
  }

  void Finish() {
    if (!ended_) Decode(true);
    ended_ = true;
  }

  bool Ended() const { return ended_; }
  long Bad() const { return bad_; }
  long Lines() const { return lines_; }

 private:
  static constexpr std::size_t kSlack = 16;
  // Room for a line's changing elements and the three closing ones.
  static constexpr int kMaxChanges = 2 * kT4MaxWidth + 8;
  enum class Result { Line, Bad, NeedMore, End };

  std::uint64_t End() const { return std::uint64_t(size_) * 8; }
  // The next 32 bits (past the data: 0 bits).
  std::uint32_t Peek() const {
    std::uint64_t w;
    std::memcpy(&w, data_.data() + (pos_ >> 3), 8);
    return std::uint32_t(w >> (pos_ & 7));
  }
  bool Overrun() const { return pos_ > End(); }

  void Decode(bool final) {
    final_ = final;
    while (!ended_) {
      if (!synced_ && !Sync()) {
        if (final) ended_ = true;
        return;
      }
      // A line cut off by the end of the data is taken again from here.
      const std::uint64_t start = pos_;
      const bool synced = synced_, damaged = damaged_;
      const int emptyEols = emptyEols_;
      const Result r = mmr_ ? MmrStep() : MrStep();
      if (r == Result::NeedMore || (Overrun() && r != Result::End)) {
        pos_ = start;
        synced_ = synced;
        damaged_ = damaged;
        emptyEols_ = emptyEols;
        if (final) ended_ = true;
        return;
      }
      switch (r) {
        case Result::Line:
          reference_.swap(current_);
          Deliver();
          break;
        case Result::Bad:
          ++bad_;
          if (mmr_) {
            ended_ = true;
          } else {
            damaged_ = true;
            synced_ = false;  // the rest of the line is skipped
            Deliver();        // the last good line stands in for it
          }
          break;
        default: ended_ = true; break;
      }
    }
  }

  // Hands on the reference line: the line just decoded or the last good one.
  void Deliver() {
    const int* c = reference_.data();
    std::memset(line_.data(), 0, std::size_t(width_ + 7) / 8);
    for (std::size_t i = 0; c[i] < width_; i += 2) T4SetBlack(line_.data(), c[i], std::min(c[i + 1], width_) - c[i]);
    ++lines_;
    if (!sink_(line_.data(), width_)) ended_ = true;
  }

  // True when no 1 bit follows in the data.
  bool RestIsZero() const {
    if (Peek() != 0) return false;
    for (std::size_t i = std::size_t(pos_ >> 3) + 4; i < size_; ++i) {
      if (data_[i]) return false;
    }
    return true;
  }

  // A code that failed here may only lack the bits still to come.
  bool CutShort() const { return pos_ + kT4MaxCodeLength > End(); }

  // Skips fill and an EOL: false (nothing consumed) when the next bits are
  // no EOL.
  bool TakeEol() {
    int zeros = 0;
    for (;;) {
      const std::uint32_t w = Peek();
      if (w == 0) {
        if (pos_ >= End()) {
          pos_ += 32;  // runs past the data: more is needed
          return true;
        }
        zeros += 32;
        pos_ += 32;
        continue;
      }
      const int z = __builtin_ctz(w);
      if (zeros + z < kT4FillBits) {
        pos_ -= std::uint64_t(zeros);
        return false;
      }
      pos_ += std::uint64_t(z + 1);
      return true;
    }
  }

  // MR: moves past the next EOL; false when the data holds none yet, after
  // dropping all but the bits that may begin one (so that data without
  // EOLs is looked at once, however it is fed).
  bool Sync() {
    const std::uint64_t from = pos_;
    SkipToEol();
    if (!Overrun()) {
      synced_ = true;
      return true;
    }
    pos_ = std::max(from, End() > std::uint64_t(kT4FillBits) ? End() - kT4FillBits : 0);
    return false;
  }

  // Moves past the next EOL wherever it is.
  void SkipToEol() {
    int zeros = 0;
    while (pos_ <= End()) {
      const std::uint32_t w = Peek();
      if (w == 0) {
        zeros += 32;
        pos_ += 32;
        continue;
      }
      const int z = __builtin_ctz(w);
      if (zeros + z >= kT4FillBits) {
        pos_ += std::uint64_t(z + 1);
        return;
      }
      zeros = 0;
      pos_ += std::uint64_t(z + 1);
    }
  }

  // One MR item from an EOL on: the line after it, or an end of page.
  Result MrStep() {
    const bool oneD = Peek() & 1;
    ++pos_;
    // An EOL straight after the tag: an empty line, part of RTC.
    if ((Peek() & ((1u << kT4FillBits) - 1)) == 0) {
      TakeEol();
      if (Overrun()) return Result::NeedMore;
      return ++emptyEols_ >= 2 ? Result::End : MrStep();
    }
    emptyEols_ = 0;
    if (damaged_ && !oneD) return Result::Bad;  // skipped up to the next EOL
    damaged_ = false;
    const bool ok = oneD ? OneD() : TwoDLine();
    if (Overrun() || (!ok && CutShort())) return Result::NeedMore;
    // The last line of data that ends without RTC needs no EOL after it.
    if (ok && final_ && RestIsZero()) return Result::Line;
    if (ok && TakeEol()) return Overrun() ? Result::NeedMore : Result::Line;
    return Result::Bad;
  }

  Result MmrStep() {
    if ((Peek() & 0xFFF) == kEol.bits) return Result::End;  // EOFB
    if (RestIsZero()) return Result::NeedMore;  // (no line begins with seven 0 bits)
    const bool ok = TwoDLine();
    if (Overrun() || (!ok && CutShort())) return Result::NeedMore;
    return ok ? Result::Line : Result::Bad;
  }

  // A read position in the held data, kept in registers while a line is
  // decoded.
  struct Cursor {
    const std::uint8_t* data;
    std::uint64_t pos;
    std::uint32_t Peek() const {
      std::uint64_t w;
      std::memcpy(&w, data + (pos >> 3), 8);
      return std::uint32_t(w >> (pos & 7));
    }
  };

  // One run (make-up codes and a terminating code) of a colour; -1 when the
  // bits are no run code.
  static int ReadRun(Cursor& c, bool black, std::uint64_t end) {
    const T4RunSlot* slots = T4RunSlots(black);
    int run = 0;
    for (;;) {
      const T4RunSlot& s = slots[c.Peek() & ((1u << kT4MaxCodeLength) - 1)];
      if (s.kind != kT4SlotRun) return -1;
      c.pos += s.length;
      run += s.run;
      if (s.run < 64) return run;
      if (run > kT4MaxWidth || c.pos > end) return -1;
    }
  }

  // Closes the changing elements of the line just decoded.
  void CloseLine(int n) { std::fill(current_.begin() + n, current_.begin() + n + 3, width_); }

  bool OneD() {
    Cursor c{data_.data(), pos_};
    const std::uint64_t end = End();
    int* changes = current_.data();
    int n = 0;
    int pos = 0;
    bool black = false;
    bool ok = true;
    while (pos < width_) {
      const int run = ReadRun(c, black, end);
      pos += run;
      if (run < 0 || pos > width_ || n >= kMaxChanges - 3) {
        ok = false;
        break;
      }
      if (pos < width_) changes[n++] = pos;
      black = !black;
    }
    pos_ = c.pos;
    if (ok) CloseLine(n);
    return ok;
  }

  bool TwoDLine() {
    Cursor c{data_.data(), pos_};
    const std::uint64_t end = End();
    const int* b = reference_.data();
    int* changes = current_.data();
    int n = 0;
    int a0 = -1;
    int colour = 0;
    std::size_t ib = 0;
    const ModeSlot* modes = Modes().slots;
    bool ok = true;
    while (ok && a0 < width_) {
      while (b[ib] <= a0) ++ib;
      const std::size_t b1Index = ib + ((ib & 1) != std::size_t(colour) ? 1 : 0);
      const int b1 = b[b1Index], b2 = b[b1Index + 1];
      const ModeSlot& m = modes[c.Peek() & ((1u << kModeBits) - 1)];
      c.pos += m.length;
      switch (m.mode) {
        case Mode::Pass:
          ok = b2 < width_;
          a0 = b2;
          break;
        case Mode::Vertical: {
          const int a1 = b1 + m.offset;
          ok = a1 >= 0 && a1 > a0 && a1 <= width_;
          if (ok && a1 < width_) changes[n++] = a1;
          a0 = a1;
          colour ^= 1;
          break;
        }
        case Mode::Horizontal: {
          const int run1 = ReadRun(c, colour != 0, end);
          const int run2 = run1 < 0 ? -1 : ReadRun(c, colour == 0, end);
          const int a1 = std::max(a0, 0) + run1;
          const int a2 = a1 + run2;
          ok = run2 >= 0 && a2 <= width_ && a2 > a0;
          if (ok && a1 < width_) changes[n++] = a1;
          if (ok && a2 < width_) changes[n++] = a2;
          a0 = a2;
          break;
        }
        default:  // no mode: the bits may begin an EOL, which resynchronises
          c.pos -= m.length;
          ok = false;
          break;
      }
      // (a0 moves right with every mode: at most two changes a pixel)
      if (c.pos > end) ok = false;
    }
    pos_ = c.pos;
    if (ok) CloseLine(n);
    return ok;
  }

  const bool mmr_;
  const int width_;
  LineSink sink_;
  std::vector<std::uint8_t> data_;
  std::size_t size_ = 0;
  std::uint64_t pos_ = 0;  // next bit
  bool ended_ = false;
  bool final_ = false;    // all of the page's data is here
  bool synced_ = false;   // MR: the first EOL has been seen
  bool damaged_ = false;  // MR: lines are lost up to the next 1-D line
  int emptyEols_ = 0;
  long bad_ = 0;
  long lines_ = 0;
  std::vector<int> reference_, current_;
  std::vector<std::uint8_t> line_;
};

T4PageDecoder::T4PageDecoder(T4Coding coding, int width, LineSink sink) : coding_(coding) {
  if (coding == T4Coding::MH) {
    mh_ = std::make_unique<T4Decoder>([this, sink = std::move(sink)](const std::uint8_t* line, int pixels) {
      ++mhLines_;
      return sink(line, pixels);
    });
  } else {
    twoD_ = std::make_unique<TwoD>(coding == T4Coding::MMR, width, std::move(sink));
  }
}

T4PageDecoder::~T4PageDecoder() = default;

void T4PageDecoder::StartPage() {
  mhLines_ = 0;
  if (mh_) mh_->StartPage();
  else twoD_->StartPage();
}

bool T4PageDecoder::Feed(const std::uint8_t* data, std::size_t size) {
  return mh_ ? mh_->Feed(data, size) : twoD_->Feed(data, size);
}

void T4PageDecoder::Finish() {
  if (mh_) mh_->Finish();
  else twoD_->Finish();
}

bool T4PageDecoder::PageEnded() const { return mh_ ? mh_->PageEnded() : twoD_->Ended(); }
long T4PageDecoder::BadLines() const { return mh_ ? mh_->BadCodes() : twoD_->Bad(); }
long T4PageDecoder::Lines() const { return mh_ ? mhLines_ : twoD_->Lines(); }

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
