#include "viewer/page_raster.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace tlm {

namespace {

MonoBitmap QuarterTurn(const MonoBitmap& in) {
  const int rowBits = (in.width + 7) / 8 * 8;
  MonoBitmap out(in.height, rowBits);
  for (int y = 0; y < in.height; ++y) {
    const std::uint8_t* row = in.Row(y);
    const int column = in.height - 1 - y;
    for (int x = 0; x < in.width; ++x) {
      if (!((row[x >> 3] >> (7 - (x & 7))) & 1)) out.SetBlack(column, x, true);
    }
  }
  return out;
}

MonoBitmap HalfTurn(const MonoBitmap& in) {
  MonoBitmap out(in.width, in.height);
  for (int y = 0; y < in.height; ++y) {
    const std::uint8_t* row = in.Row(y);
    for (int x = 0; x < in.width; ++x) {
      if (!((row[x >> 3] >> (7 - (x & 7))) & 1)) out.SetBlack(in.width - 1 - x, in.height - 1 - y, true);
    }
  }
  return out;
}

// One byte per pixel, 1 for black, for a row of the bitmap.
void ExpandRow(const MonoBitmap& b, int y, std::vector<std::uint8_t>& out) {
  static const auto table = [] {
    std::array<std::array<std::uint8_t, 8>, 256> t{};
    for (int v = 0; v < 256; ++v) {
      for (int i = 0; i < 8; ++i) t[std::size_t(v)][std::size_t(i)] = ((v >> (7 - i)) & 1) ? 0 : 1;
    }
    return t;
  }();
  const std::uint8_t* row = b.Row(y);
  const int bytes = (b.width + 7) / 8;
  out.resize(std::size_t(bytes) * 8);
  for (int i = 0; i < bytes; ++i) std::memcpy(&out[std::size_t(i) * 8], table[row[i]].data(), 8);
}

}  // namespace

MonoBitmap RotateQuarters(const MonoBitmap& bitmap, int quarters) {
  switch (((quarters % 4) + 4) % 4) {
    case 1: return QuarterTurn(bitmap);
    case 2: return HalfTurn(bitmap);
    case 3: return HalfTurn(QuarterTurn(bitmap));
    default: return bitmap;
  }
}

QImage ScaledPageImage(const MonoBitmap& bitmap, int width, int height, QColor foreground, QColor background) {
  QImage image(std::max(width, 1), std::max(height, 1), QImage::Format_Indexed8);
  QList<QRgb> palette(256);
  for (int i = 0; i < 256; ++i) {
    auto mix = [i](int bg, int fg) { return bg + (fg - bg) * i / 255; };
    palette[i] = qRgb(mix(background.red(), foreground.red()), mix(background.green(), foreground.green()),
                      mix(background.blue(), foreground.blue()));
  }
  image.setColorTable(palette);
  image.fill(0);
  if (bitmap.Empty() || width <= 0 || height <= 0) return image;

  if (width == bitmap.width && height == bitmap.height) {
    // 1:1, the common case: each bit becomes a byte, 0 or 255.
    static const auto levels = [] {
      std::array<std::array<std::uint8_t, 8>, 256> t{};
      for (int v = 0; v < 256; ++v) {
        for (int i = 0; i < 8; ++i) t[std::size_t(v)][std::size_t(i)] = ((v >> (7 - i)) & 1) ? 0 : 255;
      }
      return t;
    }();
    const int whole = width / 8;
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* row = bitmap.Row(y);
      uchar* out = image.scanLine(y);
      for (int i = 0; i < whole; ++i) std::memcpy(out + i * 8, levels[row[i]].data(), 8);
      if (width % 8) std::memcpy(out + whole * 8, levels[row[whole]].data(), std::size_t(width % 8));
    }
    return image;
  }

  // The source columns [x0, x1) behind each output column, at least one.
  std::vector<int> x0(std::size_t(width) + 1);
  for (int x = 0; x <= width; ++x) x0[std::size_t(x)] = int(std::int64_t(x) * bitmap.width / width);
  std::vector<int> sums(static_cast<std::size_t>(width));
  std::vector<std::uint8_t> pixels;
  int lastSource = -1;  // enlarged pages repeat the previous output row
  for (int y = 0; y < height; ++y) {
    const int y0 = int(std::int64_t(y) * bitmap.height / height);
    const int y1 = std::max(y0 + 1, int(std::int64_t(y + 1) * bitmap.height / height));
    uchar* out = image.scanLine(y);
    if (y1 - y0 == 1 && y0 == lastSource) {
      std::memcpy(out, image.constScanLine(y - 1), std::size_t(width));
      continue;
    }
    lastSource = y1 - y0 == 1 ? y0 : -1;
    std::fill(sums.begin(), sums.end(), 0);
    for (int sy = y0; sy < y1; ++sy) {
      ExpandRow(bitmap, sy, pixels);
      for (int x = 0; x < width; ++x) {
        const int a = x0[std::size_t(x)];
        const int b = std::max(a + 1, x0[std::size_t(x) + 1]);
        int n = 0;
        for (int sx = a; sx < b; ++sx) n += pixels[std::size_t(sx)];
        sums[std::size_t(x)] += n;
      }
    }
    for (int x = 0; x < width; ++x) {
      const int a = x0[std::size_t(x)];
      const int area = std::max(1, x0[std::size_t(x) + 1] - a) * (y1 - y0);
      out[x] = uchar(std::min(255, sums[std::size_t(x)] * 765 / area));
    }
  }
  return image;
}

MonoBitmap PadToWidth(const MonoBitmap& bitmap, int width) {
  if (bitmap.width >= width) return bitmap;
  MonoBitmap out(width, bitmap.height);
  const std::size_t bytes = std::size_t(bitmap.width + 7) / 8;
  for (int y = 0; y < bitmap.height; ++y) std::memcpy(out.Row(y), bitmap.Row(y), bytes);
  return out;
}

QImage MonoImage(const MonoBitmap& bitmap) {
  QImage image(std::max(bitmap.width, 1), std::max(bitmap.height, 1), QImage::Format_Mono);
  image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
  image.fill(1);
  const int bytes = (bitmap.width + 7) / 8;
  for (int y = 0; y < bitmap.height; ++y) std::memcpy(image.scanLine(y), bitmap.Row(y), std::size_t(bytes));
  // Bits past the width of the last byte stay as decoded: white.
  return image;
}

}  // namespace tlm
