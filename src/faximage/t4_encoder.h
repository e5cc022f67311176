#pragma once
// Codes raster lines with the T.4 modified Huffman code as APF line records.
#include <array>
#include <cstddef>
#include <cstdint>

namespace tlm {

// Record data of a blank 1728-pixel line (fill, EOL, white 1728, white 0,
// padding), written for the top-margin lines.
inline constexpr std::array<std::uint8_t, 6> kT4BlankLineRecord = {0x00, 0x80, 0xB2, 0x59, 0x01, 0x00};

// Record data that ends a page: four fill bits, seven EOLs, eight 0 bits.
inline constexpr std::array<std::uint8_t, 12> kT4EndOfPageRecord = {
    0x00, 0x80, 0x00, 0x08, 0x80, 0x00, 0x08, 0x80, 0x00, 0x08, 0x80, 0x00};

// Room a line record's data can need: a 2048-pixel line of single-pixel runs
// stays far below it.
inline constexpr std::size_t kT4MaxLineRecord = 4096;

struct T4LineGeometry {
  int width = 1728;          // pixels of the coded line: 1728 or 2048 (at most 4096)
  int leftMargin = 0;        // white pixels before the buffer's pixels
  bool doubleWidth = false;  // every run doubled (the buffer holds half a line)
};

// Codes one line: four 0 fill bits, EOL, the runs (white first), then 0 bits
// to the end of the byte and one more 0 byte. `line` is a packed line, most
// significant bit leftmost, 1 black, of `lineBytes` bytes (pixels past it
// count as white). Writes at most kT4MaxLineRecord bytes to `out` and
// returns the count.
std::size_t T4EncodeLine(const std::uint8_t* line, std::size_t lineBytes, const T4LineGeometry& geometry,
                         std::uint8_t* out);

}  // namespace tlm
