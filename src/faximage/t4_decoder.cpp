#include "faximage/t4_decoder.h"

#include <cstring>
#include <vector>

#include "faximage/t4_codes.h"

namespace tlm {
namespace {

enum : std::uint8_t { kRun, kBad, kFill };

struct Slot {
  std::uint16_t run;
  std::uint8_t length;  // bits the slot consumes
  std::uint8_t kind;
};

constexpr int kLookupBits = kT4MaxCodeLength;
constexpr int kFillBits = 11;

// For every 13-bit window (first bit in bit 0), what the code tree yields:
// a run code, the depth at which the path left the tree, or eleven 0 bits.
struct LookupTables {
  std::vector<Slot> slots[2];

  LookupTables() {
    for (int colour = 0; colour < 2; ++colour) {
      // Code words and their prefixes, keyed by (length, bits in file order).
      std::vector<int> codeAt(std::size_t(kLookupBits + 1) << kLookupBits, -2);
      std::vector<bool> prefix(std::size_t(kLookupBits + 1) << kLookupBits, false);
      auto key = [](int length, std::uint32_t bits) { return (std::size_t(length) << kLookupBits) | bits; };
      for (const T4Code& c : T4CodesOf(colour == 1)) {
        std::uint32_t stored = 0;
        for (int i = 0; i < c.length; ++i) stored |= ((c.bits >> (c.length - 1 - i)) & 1u) << i;
        codeAt[key(c.length, stored)] = c.run;
        for (int l = 1; l < c.length; ++l) prefix[key(l, stored & ((1u << l) - 1))] = true;
      }
      slots[colour].resize(std::size_t(1) << kLookupBits);
      for (std::uint32_t w = 0; w < (1u << kLookupBits); ++w) {
        Slot& s = slots[colour][w];
        if ((w & ((1u << kFillBits) - 1)) == 0) {
          s = Slot{0, kFillBits, kFill};
          continue;
        }
        for (int l = 1; l <= kLookupBits; ++l) {
          const std::uint32_t bits = w & ((1u << l) - 1);
          const int run = codeAt[key(l, bits)];
          if (run >= 0) {
            s = Slot{std::uint16_t(run), std::uint8_t(l), kRun};
            break;
          }
          if (!prefix[key(l, bits)]) {
            s = Slot{0, std::uint8_t(l), kBad};
            break;
          }
        }
      }
    }
  }
};

const LookupTables& Tables() {
  static const LookupTables tables;
  return tables;
}

// Sets `length` pixels black from `start`.
void SetBlack(std::uint8_t* line, int start, int length) {
  int end = start + length;
  if (length <= 0) return;
  int first = start >> 3;
  const int last = (end - 1) >> 3;
  const std::uint8_t headMask = std::uint8_t(0xFF >> (start & 7));
  const std::uint8_t tailMask = std::uint8_t(0xFF << (7 - ((end - 1) & 7)));
  if (first == last) {
    line[first] |= headMask & tailMask;
    return;
  }
  line[first] |= headMask;
  if (last > first + 1) std::memset(line + first + 1, 0xFF, std::size_t(last - first - 1));
  line[last] |= tailMask;
}

inline std::uint64_t LowMask(int n) { return n >= 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << n) - 1; }

}  // namespace

T4Decoder::T4Decoder(LineSink sink) : sink_(std::move(sink)) {
  Tables();
  StartPage();
}

void T4Decoder::StartPage() {
  bits_ = 0;
  count_ = 0;
  black_ = false;
  inFill_ = false;
  skipOnes_ = false;
  eolSeen_ = false;
  ended_ = false;
  consecutiveEols_ = 0;
  pos_ = 0;
  badCodes_ = 0;
  line_.fill(0);
}

void T4Decoder::Run(int run) {
  if (eolSeen_ && pos_ + run <= kLineBufferBytes * 8) {
    if (black_) SetBlack(line_.data(), pos_, run);
    pos_ += run;
  }
  if (run < 64) black_ = !black_;
  consecutiveEols_ = 0;
}

void T4Decoder::Eol() {
  if (pos_ == 1728 || pos_ == 2048) {
    if (!sink_(line_.data(), pos_)) ended_ = true;
  }
  std::memset(line_.data(), 0, std::size_t((pos_ + 7) >> 3));
  pos_ = 0;
  eolSeen_ = true;
  black_ = false;
  if (++consecutiveEols_ >= 3) ended_ = true;
}

// Decodes one item from the pending bits; false when more bits are needed.
bool T4Decoder::Step(bool final) {
  if (count_ == 0) return false;
  if (skipOnes_) {
    const std::uint64_t zeros = ~bits_ & LowMask(count_);
    if (zeros == 0) {
      Consume(count_);
      return false;
    }
    Consume(__builtin_ctzll(zeros));
    skipOnes_ = false;
    return true;
  }
  if (inFill_) {
    const std::uint64_t ones = bits_ & LowMask(count_);
    if (ones == 0) {
      Consume(count_);
      return false;
    }
    Consume(__builtin_ctzll(ones) + 1);
    inFill_ = false;
    Eol();
    return true;
  }
  if (count_ < kLookupBits && !final) return false;
  const Slot s = Tables().slots[black_][bits_ & ((1u << kLookupBits) - 1)];
  if (s.length > count_) return false;
  Consume(s.length);
  switch (s.kind) {
    case kRun: Run(s.run); break;
    case kBad:
      ++badCodes_;
      skipOnes_ = true;
      break;
    default: inFill_ = true; break;
  }
  return true;
}

bool T4Decoder::Feed(const std::uint8_t* data, std::size_t size) {
  const std::uint8_t* p = data;
  const std::uint8_t* end = data + size;
  const Slot* const tables[2] = {Tables().slots[0].data(), Tables().slots[1].data()};
  while (!ended_) {
    // Top up the pending bits with whole bytes.
    if (end - p >= 8) {
      std::uint64_t w;
      std::memcpy(&w, p, 8);  // little-endian host: byte 0 in the low bits
      const int take = (64 - count_) >> 3;
      if (take > 0) {
        if (take < 8) w &= (std::uint64_t(1) << (8 * take)) - 1;
        bits_ |= w << count_;
        count_ += 8 * take;
        p += take;
      }
    } else {
      while (count_ <= 56 && p < end) {
        bits_ |= std::uint64_t(*p++) << count_;
        count_ += 8;
      }
    }
    // Runs and EOLs, the common cases, without leaving the loop.
    while (count_ >= kLookupBits && !skipOnes_ && !inFill_ && !ended_) {
      const Slot s = tables[black_][bits_ & ((1u << kLookupBits) - 1)];
      if (s.kind == kRun) {
        Consume(s.length);
        Run(s.run);
        continue;
      }
      if (s.kind != kFill) break;
      Consume(s.length);
      const std::uint64_t ones = bits_ & LowMask(count_);
      if (ones == 0) {
        inFill_ = true;  // more fill than the pending bits hold
        break;
      }
      Consume(__builtin_ctzll(ones) + 1);
      Eol();
    }
    if (ended_) break;
    if (!Step(false) && p == end) break;
  }
  return !ended_;
}

void T4Decoder::Finish() {
  while (!ended_ && Step(true)) {
  }
  count_ = 0;
  bits_ = 0;
}

}  // namespace tlm
