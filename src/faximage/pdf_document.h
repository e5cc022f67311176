#pragma once
// PDF files as fax pages. Each page is rendered by poppler (its Splash
// engine, as pdftoppm renders) straight into 1-bit rows at the fax
// resolution and fitted to the fax line, so text stays as crisp as the fax
// allows. A file that cannot be faxed throws EBadGraphicsFormat (8002) with
// a message that says why: protected by a password, damaged, no pages, too
// many pages to convert.
#include <cstdint>
#include <memory>
#include <vector>

#include "faximage/mono_bitmap.h"
#include "faximage/raster_source.h"

namespace tlm {

// More pages of a PDF than this are not converted into one fax (a time
// bound; a range of a longer file may be).
inline constexpr int kMaxPdfPages = 1000;
// Pages longer than this (inches, about a metre) are scaled down to it.
inline constexpr double kMaxPdfPageInches = 40.0;

// The raster a page is rendered into: the fax resolution and line width.
struct FaxRaster {
  double xdpi = 204;
  double ydpi = 98;  // 196 at fine resolution
  int lineWidth = 1728;
  int maxLines = 0;  // 0: kMaxPdfPageInches at ydpi
};

// A page's size as shown (turned as the page says), in inches.
struct PdfPageSize {
  double width = 0;
  double height = 0;
};
inline FaxRaster FaxRasterFor(bool fine, int lineWidth = 1728) { return {204, fine ? 196.0 : 98.0, lineWidth}; }

// The pages to convert, from 1; last 0 means to the end.
struct PdfPageRange {
  int first = 1;
  int last = 0;
};

// True when "%PDF-" starts the file (within its first kilobyte, as readers
// allow).
bool LooksLikePdf(const std::vector<std::uint8_t>& file);

class PdfDocument {
 public:
  // Parses the whole file (kept in memory while the document lives).
  explicit PdfDocument(std::vector<std::uint8_t> file);
  ~PdfDocument();
  PdfDocument(const PdfDocument&) = delete;
  PdfDocument& operator=(const PdfDocument&) = delete;

  int PageCount() const;
  // The size of page `index` (from 0); 8002 for a page of no size.
  PdfPageSize PageSize(int index) const;
  // Page `index` at the raster's resolution. A page wider than the line is
  // scaled down to it, except that one at most 1% wider (US Letter on a
  // 1728-pixel line) keeps the resolution and loses the edges of its
  // margins; a page of more than maxLines lines is scaled down to that
  // length. The bitmap is at most lineWidth pixels wide (1 white).
  MonoBitmap RenderPage(int index, const FaxRaster& raster) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The pages of `range` as a raster source (one rendered page in memory at a
// time); throws 8002 for a range outside the document.
std::unique_ptr<RasterSource> OpenPdf(std::vector<std::uint8_t> file, const FaxRaster& raster,
                                      const PdfPageRange& range = {});

}  // namespace tlm
