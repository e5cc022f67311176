// Bitmap inputs: one raster line per image row, centred and doubled in width
// (or halved in height) as the options and the page geometry allow.
#include <algorithm>
#include <cstring>
#include <vector>

#include "faximage/fax_errors.h"
#include "faximage/fax_line_reader.h"

namespace tlm {
namespace {

class ImageLineReader final : public FaxLineReader {
 public:
  ImageLineReader(std::unique_ptr<RasterSource> source, const FaxPageSetup& setup)
      : source_(std::move(source)), setup_(setup) {}

  FaxPageMode StartPage() override {
    FaxPageMode mode;
    mode.fullLine = setup_.fullLine;
    row_ = 0;
    offset_ = 0;
    if (!source_->NextPage(width_, height_)) {
      width_ = height_ = 0;
      return mode;
    }
    const int w = setup_.width;
    const TFaxCvtOptions o = setup_.options;
    mode.doubleWidth = (o & coDoubleWidth) && !setup_.fine && 2 * width_ <= w - setup_.leftMargin;
    mode.halfHeight = (o & coHalfHeight) && !setup_.fine && !mode.doubleWidth;
    if ((o & coCenterImage) && w - width_ > 15) {
      offset_ = mode.doubleWidth ? (w - 2 * width_) / 32 : (w - width_) / 16;
    }
    rowBuffer_.assign(std::min<std::size_t>(std::size_t(width_ + 7) / 8, std::size_t(w / 8)), 0);
    return mode;
  }

  void ReadLine(std::uint8_t* line, bool& endOfPage, bool& morePages) override {
    // Only what fits in the line after the offset is kept.
    const int room = std::max(0, setup_.width / 8 - offset_);
    const int n = std::min<int>(int(rowBuffer_.size()), room);
    // A page of no rows gives one blank line; a row the file does not hold
    // is a damaged file, not a short page.
    const bool ok = row_ < height_ && source_->ReadRow(rowBuffer_.data(), std::size_t(n));
    if (row_ < height_ && !ok) ThrowFaxError(ecBadGraphicsFormat);
    ++row_;
    if (ok && n > 0) std::memcpy(line + offset_, rowBuffer_.data(), std::size_t(n));
    endOfPage = row_ >= height_;
    morePages = endOfPage && source_->MorePages();
  }

  long BytesRead() const override { return long(source_->BytesRead()); }
  long BytesTotal() const override { return long(source_->BytesTotal()); }

 private:
  std::unique_ptr<RasterSource> source_;
  FaxPageSetup setup_;
  int width_ = 0, height_ = 0, row_ = 0, offset_ = 0;
  std::vector<std::uint8_t> rowBuffer_;
};

}  // namespace

std::unique_ptr<FaxLineReader> MakeImageLineReader(std::unique_ptr<RasterSource> source,
                                                   const FaxPageSetup& setup) {
  return std::make_unique<ImageLineReader>(std::move(source), setup);
}

}  // namespace tlm
