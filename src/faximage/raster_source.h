#pragma once
// Image files read page by page and row by row, as the converter's bitmap
// inputs need them. Each reader parses a whole file held in memory and
// throws EBadGraphicsFormat (8002) for a file it cannot take.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "faximage/mono_bitmap.h"

namespace tlm {

// Files larger than this are not image inputs of a fax page.
inline constexpr std::uint64_t kMaxImageFileBytes = 256ull << 20;
// Pages wider or taller than this are refused (a fax page is 2048 pixels
// wide and a few thousand lines long at most).
inline constexpr int kMaxImageSide = 65535;
// All pages of one file together hold at most this many pixels and rows, so
// that a small file cannot demand unbounded work (strips and pages may all
// point at the same compressed data).
inline constexpr std::uint64_t kMaxImageFilePixels = 1ull << 29;
inline constexpr std::uint64_t kMaxImageFileRows = 1ull << 18;

// Charges each page of a file against the bounds above; throws 8002 when a
// page would pass them.
class ImageBudget {
 public:
  void Charge(int width, int height);

 private:
  std::uint64_t pixels_ = 0;
  std::uint64_t rows_ = 0;
};

class RasterSource {
 public:
  virtual ~RasterSource() = default;
  // Moves to the next page and gives its size; false when there is none.
  virtual bool NextPage(int& width, int& height) = 0;
  // True when another page follows the current one.
  virtual bool MorePages() const = 0;
  // The next row of the current page, most significant bit leftmost,
  // 1 black: its first min((width + 7) / 8, maxBytes) bytes are stored in
  // `row` (the rest is only decoded past). False when the file's data for
  // the page has ended early.
  virtual bool ReadRow(std::uint8_t* row, std::size_t maxBytes) = 0;
  // Progress through the input, in bytes.
  virtual std::uint64_t BytesRead() const = 0;
  virtual std::uint64_t BytesTotal() const = 0;
};

// TIFF files: uncompressed and PackBits pages are read here; files coded
// with CCITT Group 3 or Group 4 go to OpenCcittTiff.
std::unique_ptr<RasterSource> OpenTiff(std::vector<std::uint8_t> file);
// TIFF files of CCITT Group 3 (1-D, 2-D, modified Huffman) or Group 4 pages,
// decoded through libtiff.
std::unique_ptr<RasterSource> OpenCcittTiff(std::vector<std::uint8_t> file);
// True when the first page of a TIFF file is CCITT coded.
bool TiffIsCcittCoded(const std::vector<std::uint8_t>& file);
// The resolution of each page of a TIFF file in dots per inch, across and
// down (0 where the file does not say; a file without a unit taken as
// inches); empty when libtiff cannot open the file.
struct ImageResolution {
  double x = 0;
  double y = 0;
};
std::vector<ImageResolution> TiffPageResolutions(const std::vector<std::uint8_t>& file);
std::unique_ptr<RasterSource> OpenPcx(std::vector<std::uint8_t> file);
std::unique_ptr<RasterSource> OpenDcx(std::vector<std::uint8_t> file);
std::unique_ptr<RasterSource> OpenBmp(std::vector<std::uint8_t> file);
// A monochrome bitmap in memory (1 white) as a one-page source.
std::unique_ptr<RasterSource> OpenMonoBitmap(const MonoBitmap& bitmap);

// Decodes a whole BMP file into a monochrome bitmap (dithered from more bits
// per pixel), as loading it into the platform's bitmap would.
MonoBitmap LoadBmpAsMono(const std::vector<std::uint8_t>& file);

// A colour image dithered to black and white with the threshold below.
MonoBitmap DitherToMono(const RgbImage& image);

// The ordered-dither threshold for column x and row y: a pixel is black when
// R + G + B is below 10 times it.
int DitherThreshold(int x, int y);

// Reads a file for one of the readers above (8002 beyond the size bound);
// throws on failure.
std::vector<std::uint8_t> ReadImageFile(const std::string& path);

}  // namespace tlm
