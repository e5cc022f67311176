#pragma once
// The editor's view: the text laid out on sheets of paper, zoomable.
#include <QGraphicsTextItem>
#include <QGraphicsView>
#include <functional>

namespace tlm {

// A text item that draws no focus frame around the page. A paste of an
// image and a drop of picture files insert pictures.
class PageTextItem : public QGraphicsTextItem {
 public:
  using QGraphicsTextItem::QGraphicsTextItem;
  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

  // Called when a picture is double-clicked, the caret beside it.
  std::function<void()> pictureDoubleClicked;

 protected:
  void mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event) override;
  void contextMenuEvent(QGraphicsSceneContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QGraphicsSceneDragDropEvent* event) override;
  void dragMoveEvent(QGraphicsSceneDragDropEvent* event) override;
  void dropEvent(QGraphicsSceneDragDropEvent* event) override;
};

class PageView : public QGraphicsView {
 public:
  PageView(QGraphicsScene* scene, QWidget* parent);
  void SetText(PageTextItem* text) { text_ = text; }
  // Fits the scene to the document's pages; called when its size changes.
  void UpdatePages();

 protected:
  void drawBackground(QPainter* painter, const QRectF& rect) override;

 private:
  PageTextItem* text_ = nullptr;
};

}  // namespace tlm
