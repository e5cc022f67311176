#pragma once
// Pixel work on packed raster lines (most significant bit leftmost, 1
// black) shared by the T.4 and T.6 coders.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tlm {

// Widest line the coders take, and a line buffer's size with the white
// padding behind it that lets words be read past the line's end.
inline constexpr int kT4MaxWidth = 4096;
inline constexpr std::size_t kT4PaddedLineBytes = kT4MaxWidth / 8 + 16;

// Eight bytes from byte `index` as a big-endian word.
inline std::uint64_t T4LoadWord(const std::uint8_t* padded, std::size_t index) {
  std::uint64_t w;
  std::memcpy(&w, padded + index, 8);
  return __builtin_bswap64(w);
}

// The first pixel at or after `pos` (below `end`) whose colour differs from
// `black`; `end` when there is none. `line` must be padded (see above).
inline int T4FindChange(const std::uint8_t* line, int pos, int end, bool black) {
  while (pos < end) {
    const int shift = pos & 7;
    std::uint64_t w = T4LoadWord(line, std::size_t(pos >> 3));
    if (black) w = ~w;
    w <<= shift;
    if (w != 0) {
      const int n = __builtin_clzll(w);
      if (n < 64 - shift) return std::min(pos + n, end);
    }
    pos += 64 - shift;
  }
  return end;
}

// Sets `length` pixels black from `start`.
inline void T4SetBlack(std::uint8_t* line, int start, int length) {
  if (length <= 0) return;
  const int end = start + length;
  const int first = start >> 3;
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

}  // namespace tlm
