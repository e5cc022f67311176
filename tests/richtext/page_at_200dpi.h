#pragma once
// Test support: the first page of a document as the fax paints it, a
// letter page at 200 dpi in grey.
#include <QImage>
#include <QPainter>

#include "richtext/page_renderer.h"
#include "richtext/rtf/rtf_document.h"

namespace tlm::testing {

inline QImage RenderAt200(const rtf::Document& doc) {
  PageRenderer renderer(doc, 200, true);
  QImage page(1700, 2200, QImage::Format_Grayscale8);
  page.fill(Qt::white);
  QPainter painter(&page);
  renderer.PaintPage(&painter, 0, 0, page.width(), page.height(), 0, true);
  return page;
}

}  // namespace tlm::testing
