// PCX files of one plane at 1 bit per pixel, and DCX files holding several.
#include <algorithm>

#include "faximage/binary_file.h"
#include "faximage/fax_errors.h"
#include "faximage/raster_source.h"

namespace tlm {
namespace {

[[noreturn]] void Refuse() { ThrowFaxError(ecBadGraphicsFormat); }

constexpr std::uint32_t kDcxMagic = 987654321;
constexpr std::size_t kDcxMaxPages = 1024;
constexpr std::size_t kPcxHeader = 128;

class PcxSource final : public RasterSource {
 public:
  // `pageOffsets` lists where each PCX page starts within `file`.
  PcxSource(std::vector<std::uint8_t> file, std::vector<std::uint64_t> pageOffsets)
      : f_(std::move(file)), pages_(std::move(pageOffsets)) {}

  bool NextPage(int& width, int& height) override {
    if (next_ >= pages_.size()) return false;
    const std::uint64_t at = pages_[next_++];
    if (at + kPcxHeader > f_.size()) Refuse();
    const std::uint8_t* h = &f_[at];
    if (h[0] != 10 || h[2] != 1 || h[3] != 1) Refuse();
    const int planes = h[65];
    if (planes != 1) Refuse();
    width_ = int(GetLe16(h + 8)) - int(GetLe16(h + 4)) + 1;
    height_ = int(GetLe16(h + 10)) - int(GetLe16(h + 6)) + 1;
    bytesPerLine_ = GetLe16(h + 66);
    if (width_ <= 0 || height_ <= 0 || width_ > kMaxImageSide || height_ > kMaxImageSide) Refuse();
    if (bytesPerLine_ < std::size_t(width_ + 7) / 8) Refuse();
    budget_.Charge(width_, height_);
    // A 1 bit is white unless the header palette makes entry 1 the darker.
    const int sum0 = h[16] + h[17] + h[18];
    const int sum1 = h[19] + h[20] + h[21];
    oneIsBlack_ = sum1 < sum0;
    pos_ = at + kPcxHeader;
    end_ = next_ < pages_.size() && pages_[next_] > at ? std::min<std::uint64_t>(pages_[next_], f_.size())
                                                       : f_.size();
    run_ = 0;
    scan_.assign(bytesPerLine_, 0);
    width = width_;
    height = height_;
    row_ = 0;
    return true;
  }
  bool MorePages() const override { return next_ < pages_.size(); }

  bool ReadRow(std::uint8_t* row, std::size_t maxBytes) override {
    if (row_ >= height_) return false;
    ++row_;
    const std::size_t rowBytes = std::size_t(width_ + 7) / 8;
    const std::size_t kept = std::min(rowBytes, maxBytes);
    for (std::size_t i = 0; i < bytesPerLine_;) {
      if (run_ > 0 && i >= kept) {
        // Past the stored part a run is skipped whole.
        const std::size_t skip = std::min<std::size_t>(std::size_t(run_), bytesPerLine_ - i);
        i += skip;
        run_ -= int(skip);
        continue;
      }
      if (run_ == 0) {
        if (pos_ >= end_) return false;
        const std::uint8_t b = f_[pos_++];
        if (b >= 0xC0) {
          if (pos_ >= end_) return false;
          run_ = b & 0x3F;
          runByte_ = f_[pos_++];
          if (run_ == 0) continue;
        } else {
          run_ = 1;
          runByte_ = b;
        }
      }
      scan_[i++] = runByte_;
      --run_;
    }
    for (std::size_t i = 0; i < kept; ++i) row[i] = oneIsBlack_ ? scan_[i] : std::uint8_t(~scan_[i]);
    if ((width_ & 7) && kept == rowBytes) row[rowBytes - 1] &= std::uint8_t(0xFF << (8 - (width_ & 7)));
    consumed_ = std::max(consumed_, pos_);
    return true;
  }
  std::uint64_t BytesRead() const override { return consumed_; }
  std::uint64_t BytesTotal() const override { return f_.size(); }

 private:
  std::vector<std::uint8_t> f_;
  std::vector<std::uint64_t> pages_;
  std::size_t next_ = 0;
  int width_ = 0, height_ = 0, row_ = 0;
  std::size_t bytesPerLine_ = 0;
  bool oneIsBlack_ = false;
  std::uint64_t pos_ = 0, end_ = 0, consumed_ = 0;
  int run_ = 0;
  std::uint8_t runByte_ = 0;
  std::vector<std::uint8_t> scan_;
  ImageBudget budget_;
};

}  // namespace

std::unique_ptr<RasterSource> OpenPcx(std::vector<std::uint8_t> file) {
  if (file.size() < kPcxHeader || file[0] != 10) Refuse();
  return std::make_unique<PcxSource>(std::move(file), std::vector<std::uint64_t>{0});
}

std::unique_ptr<RasterSource> OpenDcx(std::vector<std::uint8_t> file) {
  if (file.size() < 8 || GetLe32(file.data()) != kDcxMagic) Refuse();
  std::vector<std::uint64_t> pages;
  for (std::size_t i = 0; i < kDcxMaxPages; ++i) {
    const std::size_t at = 4 + 4 * i;
    if (at + 4 > file.size()) break;
    const std::uint32_t offset = GetLe32(&file[at]);
    if (offset == 0) break;
    if (offset >= file.size()) Refuse();
    pages.push_back(offset);
  }
  if (pages.empty()) Refuse();
  return std::make_unique<PcxSource>(std::move(file), std::move(pages));
}

}  // namespace tlm
