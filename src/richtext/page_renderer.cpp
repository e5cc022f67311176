#include "richtext/page_renderer.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextLayout>
#include <QTextFrame>
#include <QTextTable>
#include <map>
#include <cmath>

#include "richtext/text_document_model.h"
#include "richtext/picture_raster.h"
#include "richtext/text_document_tables.h"

#include <QGuiApplication>
#include <QScreen>

namespace tlm {

double LayoutDpi() {
  // The resolution Qt lays text documents out at when no paint device is set.
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? std::round(screen->logicalDotsPerInchY()) : 96.0;
}

PageRenderer::PageRenderer(const rtf::Document& doc, double dpi, bool pagedLayout)
    : dpi_(dpi), paged_(pagedLayout) {
  BuildOptions options;
  options.dpi = LayoutDpi();
  options.forPrinting = true;
  Build(doc, options);
  scale_ = dpi / options.dpi;
  const double u = options.dpi / 1440.0;
  marginTop_ = doc.page.marginTop * u;
  if (paged_) {
    pageHeight_ = doc.page.paperHeight * u;
    KeepTableRowsWhole(doc, options);
  }

  QAbstractTextDocumentLayout* layout = doc_.documentLayout();
  std::map<std::pair<const QTextTable*, int>, std::pair<double, double>> rowExtents;  // top, bottom
  std::vector<std::pair<const QTextTable*, int>> rowOfLine;
  for (QTextBlock block = doc_.begin(); block.isValid(); block = block.next()) {
    // The bounding rectangle is in document coordinates; a block in a table
    // cell has its layout positioned within the cell.
    QRectF bounds = layout->blockBoundingRect(block);
    QTextLayout* text = block.layout();
    const double originY = bounds.top() - text->boundingRect().top();
    const QTextTable* table = QTextCursor(block).currentTable();
    const int row = table ? table->cellAt(block.position()).row() : -1;
    for (int i = 0; i < text->lineCount(); ++i) {
      QTextLine line = text->lineAt(i);
      double top = originY + line.y();
      int page = paged_ && pageHeight_ > 0 ? static_cast<int>(std::floor(top / pageHeight_)) : 0;
      lines_.push_back(Line{top, top + line.height(), page});
      rowOfLine.emplace_back(table, row);
      if (table) {
        auto [extent, added] = rowExtents.try_emplace({table, row}, top, top + line.height());
        if (!added) {
          extent->second.first = std::min(extent->second.first, top);
          extent->second.second = std::max(extent->second.second, top + line.height());
        }
      }
    }
  }
  // Without the layout's pages, a table row is cut into pages as a whole:
  // each of its lines spans the row.
  if (!paged_) {
    for (size_t i = 0; i < lines_.size(); ++i) {
      if (!rowOfLine[i].first) continue;
      const auto& [top, bottom] = rowExtents[rowOfLine[i]];
      lines_[i].top = top;
      lines_[i].bottom = bottom;
    }
  }
}

void PageRenderer::Build(const rtf::Document& doc, const BuildOptions& options) {
  BuildTextDocument(doc, options, doc_);
  if (!paged_) doc_.setPageSize(QSizeF(doc.page.paperWidth * options.dpi / 1440.0, -1));
  MakePicturesBilevel(doc_, dpi_);  // black and white at the device's own pixels
  ApplyRowHeights(doc_, options.dpi);
}

// The layout breaks a table row between its lines when the row does not
// fit on the page; a row goes to the next page whole instead: the table is
// split before the first such row, the rest starting a new page, and laid
// out again, as often as rows are moved (a bounded number of times).
void PageRenderer::KeepTableRowsWhole(const rtf::Document& doc, const BuildOptions& options) {
  constexpr int kMostRowsMoved = 200;
  const double u = options.dpi / 1440.0;
  const double textTop = doc.page.marginTop * u;
  const double textBottom = (doc.page.paperHeight - doc.page.marginBottom) * u;
  rtf::Document split = doc;
  for (int moved = 0; moved < kMostRowsMoved; ++moved) {
    QAbstractTextDocumentLayout* layout = doc_.documentLayout();
    int group = -1;
    int cutRow = -1;
    for (QTextFrame* frame : doc_.rootFrame()->childFrames()) {
      auto* table = qobject_cast<QTextTable*>(frame);
      if (!table) continue;
      ++group;
      for (int r = 1; r < table->rows() && cutRow < 0; ++r) {
        double top = 1e18, bottom = 0;
        for (int c = 0; c < table->columns(); ++c) {
          const QTextTableCell cell = table->cellAt(r, c);
          if (cell.row() != r || cell.column() != c) continue;
          for (QTextBlock block = doc_.findBlock(cell.firstPosition());
               block.isValid() && block.position() <= cell.lastPosition(); block = block.next()) {
            const QRectF rect = layout->blockBoundingRect(block);
            top = std::min(top, rect.top());
            bottom = std::max(bottom, rect.bottom());
          }
        }
        if (bottom <= top) continue;
        const double pageStart = std::floor(top / pageHeight_) * pageHeight_;
        const bool crosses = bottom > pageStart + textBottom + 0.5;
        const bool fitsAPage = bottom - top <= textBottom - textTop;
        if (crosses && fitsAPage && top > pageStart + textTop + 0.5) cutRow = r;
      }
      if (cutRow >= 0) break;
    }
    if (cutRow < 0) return;
    SplitTableBeforeRow(split, group, cutRow);
    Build(split, options);
  }
}

int PageRenderer::PaintPage(QPainter* painter, int x, int y, int width, int height, int firstLine, bool paint) {
  if (lines_.empty() || firstLine < 0 || firstLine >= LineCount()) return 0;
  QRectF source;  // the part of the document that forms this page
  int next = 0;
  if (paged_) {
    int page = lines_[firstLine].page;
    for (int i = firstLine; i < LineCount(); ++i) {
      if (lines_[i].page > page) {
        next = i;
        break;
      }
    }
    source = QRectF(0, page * pageHeight_, doc_.pageSize().width(), pageHeight_);
  } else {
    // Whole lines from firstLine on, as many as fit below the top margin.
    double top = lines_[firstLine].top;
    double room = height / scale_ - marginTop_;
    int last = firstLine;
    while (last + 1 < LineCount() && lines_[last + 1].bottom - top <= room) ++last;
    next = last + 1 < LineCount() ? last + 1 : 0;
    double start = firstLine == 0 ? 0 : top - marginTop_;
    source = QRectF(0, start, doc_.pageSize().width(), lines_[last].bottom - start);
  }
  if (!paint || painter == nullptr) return next;

  painter->save();
  painter->setRenderHint(QPainter::Antialiasing, false);
  painter->setRenderHint(QPainter::TextAntialiasing, false);
  painter->setClipRect(QRect(x, y, width, height), Qt::IntersectClip);
  painter->translate(x, y);
  painter->scale(scale_, scale_);
  painter->translate(-source.left(), -source.top());
  painter->setClipRect(source, Qt::IntersectClip);
  QAbstractTextDocumentLayout::PaintContext context;
  context.clip = source;
  context.palette.setColor(QPalette::Text, Qt::black);
  doc_.documentLayout()->draw(painter, context);
  painter->restore();
  return next;
}

}  // namespace tlm
