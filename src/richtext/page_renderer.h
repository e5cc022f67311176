#pragma once
// Lays a document out exactly as the editor shows it (at the screen's
// resolution, with resolution-independent font metrics) and paints it page by
// page, scaled to any resolution. Lines are numbered from 0 over the whole
// document in layout order; a page is identified by its first line.
#include <QPainter>
#include <QTextDocument>
#include <vector>

#include "richtext/rtf/rtf_document.h"

namespace tlm {

struct BuildOptions;

// The resolution of the editor's and the renderer's layout: the screen's.
double LayoutDpi();

class PageRenderer {
 public:
  // `pagedLayout`: pages end where the page set-up and hard page breaks end
  // them; otherwise a page ends where the height given to PaintPage ends.
  PageRenderer(const rtf::Document& doc, double dpi, bool pagedLayout);

  int LineCount() const { return static_cast<int>(lines_.size()); }
  double Dpi() const { return dpi_; }

  // Paints the page that starts at `firstLine` with the paper's top left
  // corner at (x, y), clipped to width x height pixels, in black without
  // anti-aliasing. Returns the first line of the next page, or 0 when no text
  // follows. With `paint` false only the next page's line is computed.
  int PaintPage(QPainter* painter, int x, int y, int width, int height, int firstLine, bool paint);

 private:
  // The page's document from the model: pictures black and white, rows as
  // high as the model asks.
  void Build(const rtf::Document& doc, const BuildOptions& options);
  void KeepTableRowsWhole(const rtf::Document& doc, const BuildOptions& options);

  struct Line {
    double top;
    double bottom;
    int page;
  };

  double dpi_;
  double scale_;  // painted pixels per layout unit
  bool paged_;
  double pageHeight_ = 0;
  double marginTop_ = 0;
  QTextDocument doc_;
  std::vector<Line> lines_;
};

}  // namespace tlm
