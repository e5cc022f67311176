// TIFF files of CCITT Group 3 (one- and two-dimensional, and the modified
// Huffman "RLE" of compression 2) and Group 4, as scanners and other fax
// programs write them, decoded through libtiff row by row. Pages must be
// 1 bit per pixel; every image file directory is a page.
#include <tiffio.h>

#include <algorithm>
#include <cstring>

#include "faximage/binary_file.h"
#include "faximage/fax_errors.h"
#include "faximage/raster_source.h"

namespace tlm {
namespace {

[[noreturn]] void Refuse() { ThrowFaxError(ecBadGraphicsFormat); }

constexpr int kMaxPages = 1000;

// libtiff reads the file held in memory through these.
struct MemoryFile {
  const std::vector<std::uint8_t>* bytes = nullptr;
  toff_t position = 0;
};

tmsize_t MemRead(thandle_t h, void* out, tmsize_t n) {
  auto* m = static_cast<MemoryFile*>(h);
  const toff_t size = m->bytes->size();
  if (n <= 0 || m->position >= size) return 0;
  const tmsize_t got = static_cast<tmsize_t>(std::min<toff_t>(toff_t(n), size - m->position));
  std::memcpy(out, m->bytes->data() + m->position, std::size_t(got));
  m->position += toff_t(got);
  return got;
}
tmsize_t MemWrite(thandle_t, void*, tmsize_t) { return -1; }
toff_t MemSeek(thandle_t h, toff_t offset, int whence) {
  auto* m = static_cast<MemoryFile*>(h);
  const toff_t base = whence == SEEK_CUR ? m->position : whence == SEEK_END ? m->bytes->size() : 0;
  m->position = base + offset;
  return m->position;
}
int MemClose(thandle_t) { return 0; }
toff_t MemSize(thandle_t h) { return static_cast<MemoryFile*>(h)->bytes->size(); }
int MemMap(thandle_t, void**, toff_t*) { return 0; }
void MemUnmap(thandle_t, void*, toff_t) {}

// libtiff reports a damaged file (a bad code word, data that ends early)
// through its error and warning handlers rather than through the result of
// the read; the source counts them.
struct Complaints {
  int errors = 0;
  int warnings = 0;
};

int OnError(TIFF*, void* user, const char*, const char*, va_list) {
  ++static_cast<Complaints*>(user)->errors;
  return 1;
}
int OnWarning(TIFF*, void* user, const char*, const char*, va_list) {
  ++static_cast<Complaints*>(user)->warnings;
  return 1;
}

// No single allocation of libtiff beyond this for a fax page file.
constexpr tmsize_t kMaxLibTiffAlloc = 64 << 20;

bool IsCcitt(std::uint16_t compression) {
  return compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTFAX3 ||
         compression == COMPRESSION_CCITTFAX4;
}

class CcittTiffSource final : public RasterSource {
 public:
  explicit CcittTiffSource(std::vector<std::uint8_t> file) : bytes_(std::move(file)) {
    memory_.bytes = &bytes_;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) ThrowFaxError(ecOutOfMemory);
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, &complaints_);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, &complaints_);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxLibTiffAlloc);
    tif_ = TIFFClientOpenExt("fax page", "rm", &memory_, MemRead, MemWrite, MemSeek, MemClose, MemSize, MemMap,
                             MemUnmap, options);
    TIFFOpenOptionsFree(options);
    if (!tif_) Refuse();
  }
  ~CcittTiffSource() override {
    if (tif_) TIFFClose(tif_);
  }

  bool NextPage(int& width, int& height) override {
    if (pages_ > 0 && !TIFFReadDirectory(tif_)) return false;
    if (++pages_ > kMaxPages) Refuse();
    std::uint32_t w = 0, h = 0;
    std::uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISWHITE;
    if (!TIFFGetField(tif_, TIFFTAG_IMAGEWIDTH, &w) || !TIFFGetField(tif_, TIFFTAG_IMAGELENGTH, &h)) Refuse();
    TIFFGetFieldDefaulted(tif_, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif_, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif_, TIFFTAG_PHOTOMETRIC, &photometric);
    if (w == 0 || w > std::uint32_t(kMaxImageSide) || h > std::uint32_t(kMaxImageSide)) Refuse();
    if (bits != 1 || samples != 1 || TIFFIsTiled(tif_)) Refuse();
    if (photometric != PHOTOMETRIC_MINISWHITE && photometric != PHOTOMETRIC_MINISBLACK) Refuse();
    if (TIFFScanlineSize(tif_) < tmsize_t((w + 7) / 8)) Refuse();
    width_ = int(w);
    height_ = int(h);
    budget_.Charge(width_, height_);
    invert_ = photometric == PHOTOMETRIC_MINISBLACK;
    scan_.assign(std::size_t(TIFFScanlineSize(tif_)), 0);
    row_ = 0;
    width = width_;
    height = height_;
    return true;
  }

  bool MorePages() const override { return !TIFFLastDirectory(tif_); }

  bool ReadRow(std::uint8_t* row, std::size_t maxBytes) override {
    if (row_ >= height_) return false;
    // Any complaint while decoding the row means the page is damaged.
    const Complaints before = complaints_;
    if (TIFFReadScanline(tif_, scan_.data(), std::uint32_t(row_), 0) < 0) return false;
    if (complaints_.errors != before.errors || complaints_.warnings != before.warnings) return false;
    ++row_;
    const std::size_t rowBytes = (std::size_t(width_) + 7) / 8;
    const std::size_t kept = std::min(rowBytes, maxBytes);
    for (std::size_t i = 0; i < kept; ++i) row[i] = invert_ ? std::uint8_t(~scan_[i]) : scan_[i];
    if ((width_ & 7) && kept == rowBytes) row[rowBytes - 1] &= std::uint8_t(0xFF << (8 - (width_ & 7)));
    return true;
  }

  // Progress in rows, scaled to the file's size.
  std::uint64_t BytesRead() const override {
    return height_ > 0 ? bytes_.size() * std::uint64_t(row_) / std::uint64_t(height_) : 0;
  }
  std::uint64_t BytesTotal() const override { return bytes_.size(); }

 private:
  std::vector<std::uint8_t> bytes_;
  MemoryFile memory_;
  Complaints complaints_;
  TIFF* tif_ = nullptr;
  int pages_ = 0;
  int width_ = 0, height_ = 0, row_ = 0;
  bool invert_ = false;
  std::vector<std::uint8_t> scan_;
  ImageBudget budget_;
};

}  // namespace

bool TiffIsCcittCoded(const std::vector<std::uint8_t>& file) {
  // The compression of the first directory decides: the tag is read here
  // without libtiff, from the header and the first directory only.
  if (file.size() < 8) return false;
  const bool big = file[0] == 'M';
  if (!big && file[0] != 'I') return false;
  auto u16 = [&](std::uint64_t at) -> std::uint32_t {
    if (at + 2 > file.size()) return 0;
    return big ? (std::uint32_t(file[at]) << 8) | file[at + 1] : (std::uint32_t(file[at + 1]) << 8) | file[at];
  };
  auto u32 = [&](std::uint64_t at) -> std::uint32_t { return big ? (u16(at) << 16) | u16(at + 2) : u16(at) | (u16(at + 2) << 16); };
  if (u16(2) != 42) return false;
  const std::uint64_t ifd = u32(4);
  const std::uint32_t entries = u16(ifd);
  for (std::uint32_t i = 0; i < entries; ++i) {
    const std::uint64_t e = ifd + 2 + std::uint64_t(i) * 12;
    if (e + 12 > file.size()) return false;
    if (u16(e) == TIFFTAG_COMPRESSION) return IsCcitt(std::uint16_t(u16(e + 8)));
  }
  return false;
}

std::vector<ImageResolution> TiffPageResolutions(const std::vector<std::uint8_t>& file) {
  std::vector<ImageResolution> pages;
  MemoryFile memory;
  memory.bytes = &file;
  Complaints complaints;
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (!options) return pages;
  TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, &complaints);
  TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, &complaints);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxLibTiffAlloc);
  TIFF* tif = TIFFClientOpenExt("fax page", "rm", &memory, MemRead, MemWrite, MemSeek, MemClose, MemSize, MemMap,
                                MemUnmap, options);
  TIFFOpenOptionsFree(options);
  if (!tif) return pages;
  do {
    float x = 0, y = 0;
    std::uint16_t unit = RESUNIT_INCH;
    ImageResolution page;
    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) && TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y) && x > 0 && y > 0 &&
        x < 100000 && y < 100000) {
      TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
      const double perInch = unit == RESUNIT_CENTIMETER ? 2.54 : 1;
      page = {x * perInch, y * perInch};
    }
    pages.push_back(page);
  } while (int(pages.size()) < kMaxPages && TIFFReadDirectory(tif));
  TIFFClose(tif);
  return pages;
}

std::unique_ptr<RasterSource> OpenCcittTiff(std::vector<std::uint8_t> file) {
  return std::make_unique<CcittTiffSource>(std::move(file));
}

}  // namespace tlm
