// Windows BMP files: uncompressed 1, 4, 8, 16, 24 and 32 bits per pixel
// (16 and 32 also with bit-field masks), bottom-up or top-down.
#include <array>
#include <cstdlib>

#include "faximage/binary_file.h"
#include "faximage/fax_errors.h"
#include "faximage/raster_source.h"

namespace tlm {
namespace {

[[noreturn]] void Refuse() { ThrowFaxError(ecBadGraphicsFormat); }

struct Rgb {
  int r = 0, g = 0, b = 0;
  int Sum() const { return r + g + b; }
};

struct Field {
  std::uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
  explicit Field(std::uint32_t m = 0) : mask(m) {
    if (m == 0) return;
    while (!((m >> shift) & 1)) ++shift;
    while (shift + bits < 32 && ((m >> (shift + bits)) & 1)) ++bits;
  }
  int Value(std::uint32_t pixel) const {
    if (bits == 0) return 0;
    const std::uint32_t v = (pixel & mask) >> shift;
    const std::uint32_t max = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    return int(std::uint64_t(v) * 255 / max);
  }
};

}  // namespace

MonoBitmap LoadBmpAsMono(const std::vector<std::uint8_t>& f) {
  if (f.size() < 26 || f[0] != 'B' || f[1] != 'M') Refuse();
  const std::uint32_t dataOffset = GetLe32(&f[10]);
  const std::uint32_t infoSize = GetLe32(&f[14]);
  if (infoSize < 12 || 14 + std::uint64_t(infoSize) > f.size()) Refuse();
  std::int64_t width, height;
  int bpp;
  std::uint32_t compression = 0, colorsUsed = 0;
  const bool core = infoSize < 40;
  if (core) {
    width = GetLe16(&f[18]);
    height = std::int16_t(GetLe16(&f[20]));
    bpp = GetLe16(&f[24]);
  } else {
    width = std::int32_t(GetLe32(&f[18]));
    height = std::int32_t(GetLe32(&f[22]));
    bpp = GetLe16(&f[28]);
    compression = GetLe32(&f[30]);
    colorsUsed = GetLe32(&f[46]);
  }
  const bool topDown = height < 0;
  height = std::llabs(height);
  if (width <= 0 || width > kMaxImageSide || height > kMaxImageSide) Refuse();
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) Refuse();

  Field red, green, blue;
  if (compression == 3 && (bpp == 16 || bpp == 32)) {
    // Bit-field masks follow a 40-byte header, or are part of a longer one.
    if (14 + 40 + 12 > f.size()) Refuse();
    red = Field(GetLe32(&f[54]));
    green = Field(GetLe32(&f[58]));
    blue = Field(GetLe32(&f[62]));
  } else if (compression == 0) {
    if (bpp == 16) {
      red = Field(0x7C00);
      green = Field(0x03E0);
      blue = Field(0x001F);
    }
  } else {
    Refuse();  // run-length and embedded formats are not read
  }

  std::vector<Rgb> palette;
  if (bpp <= 8) {
    const std::size_t entries = colorsUsed ? std::min<std::size_t>(colorsUsed, 256) : (std::size_t(1) << bpp);
    const std::size_t entrySize = core ? 3 : 4;
    const std::size_t start = 14 + infoSize;
    if (start + entries * entrySize > f.size()) Refuse();
    palette.resize(std::size_t(1) << bpp);
    for (std::size_t i = 0; i < entries && i < palette.size(); ++i) {
      const std::uint8_t* e = &f[start + i * entrySize];
      palette[i] = Rgb{e[2], e[1], e[0]};
    }
  }

  const std::uint64_t stride = ((std::uint64_t(width) * std::uint64_t(bpp) + 31) / 32) * 4;
  // The file must hold every row it declares: the bitmap is then never
  // larger than the file.
  if (dataOffset > f.size() || stride * std::uint64_t(height) > f.size() - dataOffset) Refuse();
  const std::uint64_t rowsPresent = std::uint64_t(height);

  MonoBitmap out(static_cast<int>(width), static_cast<int>(height));
  RgbImage colour;
  if (bpp > 1) colour = RgbImage(static_cast<int>(width), static_cast<int>(height));
  for (std::uint64_t fileRow = 0; fileRow < rowsPresent; ++fileRow) {
    const int y = topDown ? int(fileRow) : int(height - 1 - std::int64_t(fileRow));
    const std::uint8_t* src = &f[dataOffset + fileRow * stride];
    if (bpp == 1) {
      // Bit value 1 is white unless the palette says index 0 is the lighter.
      std::uint8_t* dst = out.Row(y);
      const bool oneIsBlack = palette[1].Sum() < palette[0].Sum();
      for (int i = 0; i < out.stride; ++i) dst[i] = oneIsBlack ? std::uint8_t(~src[i]) : src[i];
      if (width & 7) dst[out.stride - 1] |= std::uint8_t(0xFF >> (width & 7));
      continue;
    }
    for (int x = 0; x < int(width); ++x) {
      Rgb c;
      switch (bpp) {
        case 4: c = palette[(src[x / 2] >> ((x & 1) ? 0 : 4)) & 0x0F]; break;
        case 8: c = palette[src[x]]; break;
        case 16: {
          const std::uint32_t p = GetLe16(src + 2 * x);
          c = Rgb{red.Value(p), green.Value(p), blue.Value(p)};
          break;
        }
        case 24: c = Rgb{src[3 * x + 2], src[3 * x + 1], src[3 * x]}; break;
        default: {
          const std::uint32_t p = GetLe32(src + 4 * x);
          if (compression == 3) c = Rgb{red.Value(p), green.Value(p), blue.Value(p)};
          else c = Rgb{int((p >> 16) & 0xFF), int((p >> 8) & 0xFF), int(p & 0xFF)};
        }
      }
      std::uint8_t* px = colour.Pixel(x, y);
      px[0] = std::uint8_t(c.r);
      px[1] = std::uint8_t(c.g);
      px[2] = std::uint8_t(c.b);
    }
  }
  if (bpp > 1) out = DitherToMono(colour);
  return out;
}

}  // namespace tlm
