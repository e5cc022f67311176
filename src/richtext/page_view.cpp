#include "richtext/page_view.h"

#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QTextDocument>
#include <algorithm>

namespace tlm {

void PageTextItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) {
  QStyleOptionGraphicsItem plain(*option);
  plain.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
  QGraphicsTextItem::paint(painter, &plain, widget);
}

PageView::PageView(QGraphicsScene* scene, QWidget* parent) : QGraphicsView(scene, parent) {
  setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  setBackgroundBrush(QColor(160, 160, 160));
  setViewportUpdateMode(QGraphicsView::BoundingRectViewportUpdate);
}

void PageView::UpdatePages() {
  if (!text_) return;
  QTextDocument* doc = text_->document();
  QSizeF page = doc->pageSize();
  double height = std::max(1, doc->pageCount()) * page.height();
  if (page.height() <= 0) height = doc->size().height();
  double width = std::max(page.width(), doc->size().width());
  scene()->setSceneRect(-20, -20, width + 40, height + 40);
  viewport()->update();
}

void PageView::drawBackground(QPainter* painter, const QRectF& rect) {
  QGraphicsView::drawBackground(painter, rect);
  if (!text_) return;
  QTextDocument* doc = text_->document();
  QSizeF page = doc->pageSize();
  if (page.height() <= 0) return;
  int pages = std::max(1, doc->pageCount());
  painter->save();
  for (int i = 0; i < pages; ++i) {
    QRectF sheet(0, i * page.height(), std::max(page.width(), doc->size().width()), page.height());
    if (!sheet.intersects(rect)) continue;
    painter->fillRect(sheet, Qt::white);
    painter->setPen(QPen(QColor(120, 120, 120), 0));
    painter->drawRect(sheet);
  }
  painter->restore();
}

}  // namespace tlm
