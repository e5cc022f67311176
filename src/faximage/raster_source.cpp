#include "faximage/raster_source.h"

#include <algorithm>
#include <cstring>

#include "faximage/binary_file.h"
#include "faximage/fax_errors.h"

namespace tlm {

int DitherThreshold(int x, int y) {
  int a = x & 31;
  int b = y & 31;
  int d = 0;
  for (int round = 0; round < 4; ++round) {
    d = (2 * d) | (2 * ((a ^ b) & 1)) | (b & 1);
    a >>= 1;
    b >>= 1;
  }
  return d;
}

void ImageBudget::Charge(int width, int height) {
  pixels_ += std::uint64_t(width) * std::uint64_t(height);
  rows_ += std::uint64_t(height);
  if (pixels_ > kMaxImageFilePixels || rows_ > kMaxImageFileRows) ThrowFaxError(ecBadGraphicsFormat);
}

MonoBitmap DitherToMono(const RgbImage& image) {
  if (image.width < 0 || image.height < 0 || image.width > kMaxImageSide || image.height > kMaxImageSide ||
      image.rgb.size() < std::size_t(image.width) * std::size_t(image.height) * 3) {
    ThrowFaxError(ecBadGraphicsFormat);
  }
  MonoBitmap out(image.width, image.height);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const std::uint8_t* p = image.Pixel(x, y);
      if (p[0] + p[1] + p[2] < 10 * DitherThreshold(x, y)) out.SetBlack(x, y, true);
    }
  }
  return out;
}

std::vector<std::uint8_t> ReadImageFile(const std::string& path) {
  std::vector<std::uint8_t> data;
  CheckFaxResult(ReadFileBytes(path, data, kMaxImageFileBytes, -ecBadGraphicsFormat));
  return data;
}

namespace {

class MonoBitmapSource final : public RasterSource {
 public:
  explicit MonoBitmapSource(const MonoBitmap& bitmap) : bitmap_(bitmap) {}
  bool NextPage(int& width, int& height) override {
    if (done_) return false;
    done_ = true;
    width = bitmap_.width;
    height = bitmap_.height;
    return true;
  }
  bool MorePages() const override { return false; }
  bool ReadRow(std::uint8_t* row, std::size_t maxBytes) override {
    if (y_ >= bitmap_.height) return false;
    const std::size_t bytes = std::size_t(bitmap_.width + 7) / 8;
    const std::uint8_t* src = bitmap_.Row(y_++);
    const std::size_t n = std::min(bytes, maxBytes);
    for (std::size_t i = 0; i < n; ++i) row[i] = std::uint8_t(~src[i]);
    if ((bitmap_.width & 7) && n == bytes) row[bytes - 1] &= std::uint8_t(0xFF << (8 - (bitmap_.width & 7)));
    return true;
  }
  std::uint64_t BytesRead() const override { return std::uint64_t(y_) * std::uint64_t(bitmap_.stride); }
  std::uint64_t BytesTotal() const override { return bitmap_.bits.size(); }

 private:
  const MonoBitmap& bitmap_;
  bool done_ = false;
  int y_ = 0;
};

}  // namespace

std::unique_ptr<RasterSource> OpenMonoBitmap(const MonoBitmap& bitmap) {
  if (bitmap.width < 0 || bitmap.height < 0 || bitmap.width > kMaxImageSide || bitmap.height > kMaxImageSide ||
      bitmap.stride < (bitmap.width + 7) / 8 ||
      bitmap.bits.size() < std::size_t(bitmap.stride) * std::size_t(bitmap.height)) {
    ThrowFaxError(ecBadGraphicsFormat);
  }
  return std::make_unique<MonoBitmapSource>(bitmap);
}

std::unique_ptr<RasterSource> OpenBmp(std::vector<std::uint8_t> file) {
  struct BmpSource final : RasterSource {
    MonoBitmap bitmap;
    std::unique_ptr<RasterSource> inner;
    std::uint64_t total = 0;
    bool NextPage(int& w, int& h) override { return inner->NextPage(w, h); }
    bool MorePages() const override { return false; }
    bool ReadRow(std::uint8_t* row, std::size_t maxBytes) override { return inner->ReadRow(row, maxBytes); }
    std::uint64_t BytesRead() const override {
      return bitmap.bits.empty() ? total : inner->BytesRead() * total / bitmap.bits.size();
    }
    std::uint64_t BytesTotal() const override { return total; }
  };
  auto source = std::make_unique<BmpSource>();
  source->total = file.size();
  source->bitmap = LoadBmpAsMono(file);
  source->inner = OpenMonoBitmap(source->bitmap);
  return source;
}

}  // namespace tlm
