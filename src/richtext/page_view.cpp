#include "richtext/page_view.h"

#include <QAbstractTextDocumentLayout>
#include <QClipboard>
#include <QGraphicsSceneContextMenuEvent>
#include <QGraphicsSceneDragDropEvent>
#include <QGraphicsSceneMouseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QTextDocument>
#include <algorithm>

#include "richtext/picture_tools.h"
#include "richtext/text_document_pictures.h"

namespace tlm {

void PageTextItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) {
  QStyleOptionGraphicsItem plain(*option);
  plain.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
  QGraphicsTextItem::paint(painter, &plain, widget);
}

void PageTextItem::mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event) {
  const int position = document()->documentLayout()->hitTest(event->pos(), Qt::ExactHit);
  QTextCursor at(document());
  QTextCursor picture;
  if (position >= 0 && pictureDoubleClicked && (textInteractionFlags() & Qt::TextEditable)) {
    at.setPosition(position);
    if (PictureAtCursor(at, picture)) {
      setTextCursor(picture);
      pictureDoubleClicked();
      event->accept();
      return;
    }
  }
  QGraphicsTextItem::mouseDoubleClickEvent(event);
}

void PageTextItem::contextMenuEvent(QGraphicsSceneContextMenuEvent* event) {
  // The text's own menu has no Paste for a picture on the clipboard.
  const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
  if (!(textInteractionFlags() & Qt::TextEditable) || !clipboard || !MimeHoldsPictures(*clipboard)) {
    QGraphicsTextItem::contextMenuEvent(event);
    AdoptPastedPictures(*document());  // its Paste may have brought some
    return;
  }
  QMenu menu;
  menu.setObjectName(QStringLiteral("PictureContextMenu"));
  QAction* paste = menu.addAction(QStringLiteral("&Paste"));
  paste->setShortcut(QKeySequence::Paste);
  if (menu.exec(event->screenPos()) == paste) {
    QTextCursor cursor = textCursor();
    if (InsertPicturesFromMime(cursor, *QGuiApplication::clipboard()->mimeData())) setTextCursor(cursor);
  }
  event->accept();
}

void PageTextItem::keyPressEvent(QKeyEvent* event) {
  const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
  const bool editable = textInteractionFlags() & Qt::TextEditable;
  if (editable && event == QKeySequence::Paste && clipboard && MimeHoldsPictures(*clipboard)) {
    QTextCursor cursor = textCursor();
    if (InsertPicturesFromMime(cursor, *clipboard)) setTextCursor(cursor);
    event->accept();
    return;
  }
  // A picture copied alone also goes onto the clipboard as an image, for
  // other programs (the copied text only names it).
  QTextCursor picture;
  const bool copying = event == QKeySequence::Copy || event == QKeySequence::Cut;
  const bool onePicture = copying && PictureAtCursor(textCursor(), picture) &&
                          picture.selectionStart() == textCursor().selectionStart() &&
                          picture.selectionEnd() == textCursor().selectionEnd();
  const QImage image = onePicture ? PictureImage(picture) : QImage();
  QGraphicsTextItem::keyPressEvent(event);
  if (event == QKeySequence::Paste) AdoptPastedPictures(*document());
  if (image.isNull()) return;
  const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
  auto* data = new QMimeData;
  if (copied) {
    for (const QString& format : copied->formats()) data->setData(format, copied->data(format));
  }
  data->setImageData(image);
  QGuiApplication::clipboard()->setMimeData(data);
}

void PageTextItem::dragEnterEvent(QGraphicsSceneDragDropEvent* event) {
  if ((textInteractionFlags() & Qt::TextEditable) && MimeHoldsPictures(*event->mimeData())) {
    event->acceptProposedAction();
    return;
  }
  QGraphicsTextItem::dragEnterEvent(event);
}

void PageTextItem::dragMoveEvent(QGraphicsSceneDragDropEvent* event) {
  if ((textInteractionFlags() & Qt::TextEditable) && MimeHoldsPictures(*event->mimeData())) {
    event->acceptProposedAction();
    return;
  }
  QGraphicsTextItem::dragMoveEvent(event);
}

void PageTextItem::dropEvent(QGraphicsSceneDragDropEvent* event) {
  if (!(textInteractionFlags() & Qt::TextEditable) || !MimeHoldsPictures(*event->mimeData())) {
    QGraphicsTextItem::dropEvent(event);
    AdoptPastedPictures(*document());
    return;
  }
  // The pictures go where the mouse let them go.
  QTextCursor cursor = textCursor();
  int position = document()->documentLayout()->hitTest(event->pos(), Qt::FuzzyHit);
  if (position >= 0) cursor.setPosition(position);
  if (InsertPicturesFromMime(cursor, *event->mimeData())) setTextCursor(cursor);
  event->acceptProposedAction();
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
