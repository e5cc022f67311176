#include "faximage/mono_bitmap.h"

#include <algorithm>

namespace tlm {

MonoBitmap::MonoBitmap(int w, int h, int s)
    : width(std::max(w, 0)), height(std::max(h, 0)), stride(s > 0 ? s : (std::max(w, 0) + 7) / 8) {
  bits.assign(std::size_t(stride) * std::size_t(height), 0xFF);
}

void MonoBitmap::SetBlack(int x, int y, bool black) {
  std::uint8_t& b = Row(y)[x >> 3];
  const std::uint8_t mask = std::uint8_t(0x80 >> (x & 7));
  b = black ? std::uint8_t(b & ~mask) : std::uint8_t(b | mask);
}

MonoBitmap StretchBitmap(const MonoBitmap& source, int width, int height) {
  MonoBitmap out(width, height, ((std::max(width, 0) + 15) / 16) * 2);
  if (source.Empty() || out.Empty()) return out;
  std::vector<int> column(std::size_t(out.width));
  for (int x = 0; x < out.width; ++x) column[std::size_t(x)] = int(std::int64_t(x) * source.width / out.width);
  for (int y = 0; y < out.height; ++y) {
    const int sy = int(std::int64_t(y) * source.height / out.height);
    for (int x = 0; x < out.width; ++x) {
      if (source.IsBlack(column[std::size_t(x)], sy)) out.SetBlack(x, y, true);
    }
  }
  return out;
}

}  // namespace tlm
