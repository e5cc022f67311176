#include "richtext/page_renderer.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextLayout>
#include <cmath>

#include "richtext/text_document_model.h"
#include "richtext/picture_raster.h"

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
  BuildTextDocument(doc, options, doc_);
  MakePicturesBilevel(doc_, dpi);  // black and white at the device's own pixels
  scale_ = dpi / options.dpi;
  const double u = options.dpi / 1440.0;
  marginTop_ = doc.page.marginTop * u;
  if (paged_) {
    pageHeight_ = doc.page.paperHeight * u;
  } else {
    doc_.setPageSize(QSizeF(doc.page.paperWidth * u, -1));
  }

  QAbstractTextDocumentLayout* layout = doc_.documentLayout();
  for (QTextBlock block = doc_.begin(); block.isValid(); block = block.next()) {
    layout->blockBoundingRect(block);  // makes sure the block is laid out
    QTextLayout* text = block.layout();
    QPointF origin = text->position();
    for (int i = 0; i < text->lineCount(); ++i) {
      QTextLine line = text->lineAt(i);
      double top = origin.y() + line.y();
      int page = paged_ && pageHeight_ > 0 ? static_cast<int>(std::floor(top / pageHeight_)) : 0;
      lines_.push_back(Line{top, top + line.height(), page});
    }
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
