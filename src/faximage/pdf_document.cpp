#include "faximage/pdf_document.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>

#include "faximage/fax_errors.h"

namespace tlm {

namespace {

// A page at most this much wider than the line keeps its resolution and is
// cut at both edges (US Letter is 1734 pixels wide at 204 dpi).
constexpr double kCropTolerance = 0.01;

[[noreturn]] void Refuse(const std::string& text) { ThrowFaxError(ecBadGraphicsFormat, text); }

// Poppler reports every oddity of a file on stderr; the caller gets one
// clear message instead.
void SilencePoppler() {
  static std::once_flag once;
  std::call_once(once, [] { poppler::set_debug_error_function([](const std::string&, void*) {}, nullptr); });
}

// A PDF file ends with "%%EOF" (a few bytes of line ends or padding may
// follow); one cut short does not, and poppler would make up pages from
// what is left without a word.
bool EndsAsPdf(const std::vector<std::uint8_t>& file) {
  static constexpr char kEof[] = "%%EOF";
  const std::size_t tail = std::min<std::size_t>(file.size(), 1024);
  const auto begin = file.end() - std::ptrdiff_t(tail);
  return std::search(begin, file.end(), kEof, kEof + 5) != file.end();
}

int RoundUp(double pixels) { return int(std::ceil(pixels - 1e-6)); }

std::string PageName(int index) { return "Page " + std::to_string(index + 1) + " of the PDF file"; }

std::unique_ptr<poppler::page> OpenPage(const poppler::document& document, int pages, int index) {
  std::unique_ptr<poppler::page> page(index >= 0 && index < pages ? document.create_page(index) : nullptr);
  if (!page) Refuse(PageName(index) + " cannot be read");
  return page;
}

// The page as shown: a page turned by a quarter has its sides swapped.
PdfPageSize SizeOf(const poppler::page& page, int index) {
  const poppler::rectf box = page.page_rect(poppler::crop_box);
  PdfPageSize size{box.width() / 72.0, box.height() / 72.0};
  const auto orientation = page.orientation();
  if (orientation == poppler::page::landscape || orientation == poppler::page::seascape) {
    std::swap(size.width, size.height);
  }
  if (!std::isfinite(size.width) || !std::isfinite(size.height) || size.width <= 0 || size.height <= 0) {
    Refuse(PageName(index) + " has no size");
  }
  return size;
}

}  // namespace

bool LooksLikePdf(const std::vector<std::uint8_t>& file) {
  static constexpr char kMagic[] = "%PDF-";
  const auto head = file.begin() + std::ptrdiff_t(std::min<std::size_t>(file.size(), 1024));
  return std::search(file.begin(), head, kMagic, kMagic + 5) != head;
}

struct PdfDocument::Impl {
  std::vector<std::uint8_t> file;  // poppler reads it in place
  std::unique_ptr<poppler::document> document;
  int pages = 0;
};

PdfDocument::PdfDocument(std::vector<std::uint8_t> file) : impl_(std::make_unique<Impl>()) {
  SilencePoppler();
  impl_->file = std::move(file);
  const std::vector<std::uint8_t>& bytes = impl_->file;
  if (!LooksLikePdf(bytes)) Refuse("The file is not a PDF file");
  if (!EndsAsPdf(bytes)) Refuse("The PDF file is damaged: it ends early");
  if (bytes.size() > std::size_t(std::numeric_limits<int>::max())) Refuse("The PDF file is too large");
  impl_->document.reset(
      poppler::document::load_from_raw_data(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())));
  if (!impl_->document) {
    // Poppler gives no reason; a file it cannot open is either encrypted in a
    // way it refuses without the password or broken.
    Refuse("The PDF file is damaged or cannot be read");
  }
  if (impl_->document->is_locked()) Refuse("The PDF file is protected by a password");
  impl_->pages = impl_->document->pages();
  if (impl_->pages <= 0) Refuse("The PDF file has no pages");
}

PdfDocument::~PdfDocument() = default;

int PdfDocument::PageCount() const { return impl_->pages; }

PdfPageSize PdfDocument::PageSize(int index) const {
  return SizeOf(*OpenPage(*impl_->document, impl_->pages, index), index);
}

MonoBitmap PdfDocument::RenderPage(int index, const FaxRaster& raster) const {
  const std::unique_ptr<poppler::page> page = OpenPage(*impl_->document, impl_->pages, index);
  const PdfPageSize size = SizeOf(*page, index);
  const double widthIn = size.width, heightIn = size.height;
  const double maxLines = raster.maxLines > 0 ? raster.maxLines : kMaxPdfPageInches * raster.ydpi;

  double scale = 1;
  const double fullWidth = widthIn * raster.xdpi;
  if (fullWidth > raster.lineWidth * (1 + kCropTolerance)) scale = raster.lineWidth / fullWidth;
  if (heightIn * raster.ydpi * scale > maxLines) scale = maxLines / (heightIn * raster.ydpi);
  const double xres = raster.xdpi * scale;
  const double yres = raster.ydpi * scale;
  const int width = std::max(1, RoundUp(widthIn * xres));
  const int height = std::max(1, RoundUp(heightIn * yres));
  const int shown = std::min(width, raster.lineWidth);
  const int left = (width - shown) / 2;

  // Splash pads its rows to 4 bytes, but poppler hands the rows on packed:
  // a slice a multiple of 32 pixels wide has rows of the same size both
  // ways (what lies right of the page stays paper white).
  const int sliceWidth = (shown + 31) / 32 * 32;
  poppler::page_renderer renderer;
  renderer.set_image_format(poppler::image::format_mono);
  renderer.set_render_hints(0);
  const poppler::image image = renderer.render_page(page.get(), xres, yres, left, 0, sliceWidth, height);
  if (!image.is_valid() || image.format() != poppler::image::format_mono || image.width() != sliceWidth ||
      image.height() != height || image.bytes_per_row() != sliceWidth / 8) {
    Refuse(PageName(index) + " cannot be rendered");
  }
  // Splash's one-bit rows are ours already: leftmost pixel in the top bit,
  // 1 white.
  MonoBitmap bitmap(shown, height);
  const std::size_t rowBytes = std::size_t(bitmap.stride);
  for (int y = 0; y < height; ++y) {
    std::memcpy(bitmap.Row(y), image.const_data() + std::size_t(y) * std::size_t(image.bytes_per_row()), rowBytes);
  }
  return bitmap;
}

namespace {

// The pages of a range, rendered one at a time as the converter asks.
class PdfSource final : public RasterSource {
 public:
  PdfSource(std::vector<std::uint8_t> file, const FaxRaster& raster, const PdfPageRange& range)
      : total_(file.size()), document_(std::move(file)), raster_(raster) {
    const int count = document_.PageCount();
    first_ = range.first;
    last_ = range.last == 0 ? count : range.last;
    if (first_ < 1 || last_ < first_ || last_ > count) {
      Refuse("The PDF file has " + std::to_string(count) + (count == 1 ? " page" : " pages") + ", not pages " +
             std::to_string(first_) + "-" + std::to_string(last_));
    }
    if (last_ - first_ + 1 > kMaxPdfPages) {
      Refuse("The PDF file has " + std::to_string(count) + " pages; a fax can take at most " +
             std::to_string(kMaxPdfPages) + " of them");
    }
    next_ = first_;
  }

  bool NextPage(int& width, int& height) override {
    if (next_ > last_) return false;
    page_ = document_.RenderPage(next_ - 1, raster_);
    ++next_;
    rows_ = OpenMonoBitmap(page_);
    return rows_->NextPage(width, height);
  }
  bool MorePages() const override { return next_ <= last_; }
  bool ReadRow(std::uint8_t* row, std::size_t maxBytes) override { return rows_ && rows_->ReadRow(row, maxBytes); }
  std::uint64_t BytesRead() const override {
    return total_ * std::uint64_t(next_ - first_) / std::uint64_t(last_ - first_ + 1);
  }
  std::uint64_t BytesTotal() const override { return total_; }

 private:
  std::uint64_t total_;
  PdfDocument document_;
  FaxRaster raster_;
  int first_ = 1, last_ = 0, next_ = 1;
  MonoBitmap page_;
  std::unique_ptr<RasterSource> rows_;
};

}  // namespace

std::unique_ptr<RasterSource> OpenPdf(std::vector<std::uint8_t> file, const FaxRaster& raster,
                                      const PdfPageRange& range) {
  return std::make_unique<PdfSource>(std::move(file), raster, range);
}

}  // namespace tlm
