#include "faximage/t4_decoder.h"

#include <cstring>
#include <vector>

#include "faximage/t4_codes.h"
#include "faximage/t4_line_bits.h"

namespace tlm {
namespace {

enum : std::uint8_t { kRun = kT4SlotRun, kBad = kT4SlotBad, kFill = kT4SlotFill };
using Slot = T4RunSlot;
constexpr int kLookupBits = kT4MaxCodeLength;

struct LookupTables {
  const T4RunSlot* slots[2] = {T4RunSlots(false), T4RunSlots(true)};
};

const LookupTables& Tables() {
  static const LookupTables tables;
  return tables;
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
    if (black_) T4SetBlack(line_.data(), pos_, run);
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
  const Slot* const tables[2] = {Tables().slots[0], Tables().slots[1]};
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
