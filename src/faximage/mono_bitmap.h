#pragma once
// A monochrome bitmap in memory, in the form the platform's monochrome
// bitmaps and the image file formats use: rows of packed pixels, most
// significant bit leftmost, bit value 1 WHITE (0 black). Rows are `stride`
// bytes apart, top row first.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tlm {

struct MonoBitmap {
  int width = 0;   // pixels
  int height = 0;  // rows
  int stride = 0;  // bytes per row, at least (width + 7) / 8
  std::vector<std::uint8_t> bits;

  MonoBitmap() = default;
  // A white bitmap; stride defaults to the packed row size.
  MonoBitmap(int width, int height, int stride = 0);

  std::uint8_t* Row(int y) { return bits.data() + std::size_t(y) * std::size_t(stride); }
  const std::uint8_t* Row(int y) const { return bits.data() + std::size_t(y) * std::size_t(stride); }
  bool IsBlack(int x, int y) const { return !((Row(y)[x >> 3] >> (7 - (x & 7))) & 1); }
  void SetBlack(int x, int y, bool black);
  bool Empty() const { return width == 0 || height == 0; }
};

// A colour image: rows of red, green, blue bytes, top row first.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // 3 * width * height bytes

  RgbImage() = default;
  RgbImage(int w, int h) : width(w), height(h), rgb(std::size_t(w) * std::size_t(h) * 3, 0) {}
  std::uint8_t* Pixel(int x, int y) { return rgb.data() + (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3; }
  const std::uint8_t* Pixel(int x, int y) const {
    return rgb.data() + (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3;
  }
};

// Stretches by plain copying of pixels (nearest neighbour) to the new size.
MonoBitmap StretchBitmap(const MonoBitmap& source, int width, int height);

}  // namespace tlm
