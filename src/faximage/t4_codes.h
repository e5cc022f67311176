#pragma once
// The modified Huffman code words of T.4: terminating codes (runs 0..63),
// make-up codes (64..1728) per colour, the extended make-up codes shared by
// both colours (1792..2560) and EOL.
#include <cstdint>
#include <vector>

namespace tlm {

struct T4Code {
  int run;              // run length; -1 for EOL
  std::uint16_t bits;   // the code word, first bit in the most significant place
  std::uint8_t length;  // number of bits
};

// Every code word of one colour (white = false), EOL included.
const std::vector<T4Code>& T4CodesOf(bool black);

// The code for a terminating (0..63) or make-up (multiple of 64 up to 2560)
// run, with its bits reversed so that the first bit is bit 0, as the files
// store them.
struct T4StoredCode {
  std::uint16_t bits;
  std::uint8_t length;
};
const T4StoredCode& T4Terminating(bool black, int run);
const T4StoredCode& T4MakeUp(bool black, int run);

inline constexpr int kT4MaxCodeLength = 13;
inline constexpr int kT4MaxMakeUp = 2560;
inline constexpr int kT4FillBits = 11;  // the 0 bits of an EOL

// What the next 13 bits of coded data (first bit in bit 0) start with, for
// one colour: a run code, a bit pattern that is no code (`length` is where
// it left the code tree), or eleven 0 bits (fill or an EOL).
enum : std::uint8_t { kT4SlotRun, kT4SlotBad, kT4SlotFill };
struct T4RunSlot {
  std::uint16_t run;
  std::uint8_t length;  // bits the slot consumes
  std::uint8_t kind;
};
// The table of 2^13 slots of one colour.
const T4RunSlot* T4RunSlots(bool black);

}  // namespace tlm
