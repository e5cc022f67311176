#pragma once
// The built-in fax font "KVFAX.FNT": 16384 bytes, the small font (256 glyphs
// of 8 rows of 2 bytes, cell 12 pixels wide) followed by the standard font
// (256 glyphs of 16 rows of 3 bytes, cell 20 pixels wide). Rows are packed,
// most significant bit leftmost, 1 black.
#include <array>
#include <cstddef>
#include <cstdint>

namespace tlm {

inline constexpr std::size_t kFaxFontBytes = 16384;
extern const std::array<std::uint8_t, kFaxFontBytes> kFaxFontData;

struct FaxFontMetrics {
  int rows;       // glyph rows
  int rowBytes;   // bytes per glyph row
  int cellWidth;  // pixels from one character to the next
  std::size_t offset;  // of glyph 0 in the table
};

inline constexpr FaxFontMetrics kFaxFontSmall{8, 2, 12, 0};
inline constexpr FaxFontMetrics kFaxFontStandard{16, 3, 20, 4096};

// One row of a glyph.
inline const std::uint8_t* FaxGlyphRow(const FaxFontMetrics& font, std::uint8_t ch, int row) {
  return kFaxFontData.data() + font.offset + std::size_t(ch) * std::size_t(font.rows * font.rowBytes) +
         std::size_t(row * font.rowBytes);
}

}  // namespace tlm
