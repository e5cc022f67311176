#pragma once
// The fax viewer control: one page of an APF file at a time in a scrolling
// window, with zoom by multiplier and divider, quarter-turn rotation,
// marking a block and copying it, keyboard paging and dropped files.
//
// TViewer is the window that owns the decoded pages and does the painting,
// scrolling and input; TKvFaxViewer is the control around it that keeps the
// properties and passes every change on. Pages are decoded by the fax
// unpacker into 1-bit bitmaps.
#include <QAbstractScrollArea>
#include <QColor>
#include <QCursor>
#include <QFrame>
#include <QImage>
#include <QRect>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "faximage/fax_unpacker.h"
#include "faximage/mono_bitmap.h"

namespace tlm {

// Result codes the viewer reports besides those of the unpacker.
inline constexpr int ecNoImageLoaded = 8050;  // "No image loaded into viewer"
inline constexpr int ecNoBlockMarked = 8051;  // "No block of image marked"

class TViewer : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit TViewer(QWidget* parent = nullptr);

  // Loads a fax (an empty name closes it). 0, -2 for a missing file, -8001
  // for a file that is not an APF file, or the decoding error of page 1.
  int SetFile(const std::string& fileName);
  const std::string& FileName() const { return fileName_; }
  bool Loaded() const { return pageCount_ > 0; }

  int PageCount() const { return pageCount_; }
  int CurrentPage() const { return currentPage_; }
  // 0, or -1002 for a page outside 1..page count.
  int GotoPage(int page);

  void SetColors(QColor foreground, QColor background);
  // A pair with equal members is kept as 1:1.
  void SetScale(int hmult, int hdiv, int vmult, int vdiv);
  int HorizMult() const { return hmult_; }
  int HorizDiv() const { return hdiv_; }
  int VertMult() const { return vmult_; }
  int VertDiv() const { return vdiv_; }
  // 0, or -8 when memory runs out.
  int SetRotation(int quarters);
  int Rotation() const { return rotation_; }
  void SetScrollSteps(int horizontal, int vertical);  // 0 keeps a step
  void SetWhitespace(bool on, int from, int to);
  void SetAutoScale(TAutoScaleMode mode);
  void SetLoadWholeFax(bool on);
  bool LoadWholeFax() const { return loadWholeFax_; }
  bool PageDecoded(int page) const;
  void SetBusyCursor(const QCursor& cursor) { busyCursor_ = cursor; }

  // The current page's size in pixels after rotation (0 × 0 without a fax),
  // and as shown.
  QSize PageSize() const;
  QSize DisplayedSize() const { return displayed_; }
  QPoint ScrollPosition() const;
  QPoint ScrollMaximum() const;

  // Marking: 0 or -8050 / -8051 as for the menu commands.
  int SelectAll();
  int Select(const QRect& block);  // in displayed page coordinates
  std::optional<QRect> MarkedBlock() const;
  int Copy();

  // The unpacking engine, for its whitespace and scaling settings.
  const TKvFaxUnpacker& Engine() const { return engine_; }

  std::function<void(int page)> pageChanged;
  std::function<void(int code)> errorRaised;
  std::function<void(const std::string& name)> fileDropped;
  bool acceptDragged = true;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  struct PageEntry {
    int width = 0;
    int height = 0;
    std::optional<MonoBitmap> bitmap;
  };

  void CloseFax();
  // Decodes (when needed) and shows a page; false after an error, which has
  // been reported and has closed the fax.
  bool ShowPage(int page);
  int Decode(int page);
  void Rescale();
  void SetScrollRanges();
  void ScrollBy(int dx, int dy);
  void ScrollTo(int x, int y);
  void Fail(int code);
  void AutoScrollTick();
  void ExtendBlockTo(QPoint viewportPoint);
  QPoint PagePoint(QPoint viewportPoint) const;

  std::string fileName_;
  std::vector<PageEntry> pages_;
  int pageCount_ = 0;
  int currentPage_ = 0;
  int rotation_ = 0;
  int hmult_ = 1, hdiv_ = 1, vmult_ = 1, vdiv_ = 1;
  QSize displayed_;
  QImage shown_;  // the current page at the displayed size
  int hstep_ = 8, vstep_ = 8;
  QColor fg_ = Qt::black, bg_ = Qt::white;
  QPoint anchor_, corner_;
  bool marked_ = false;
  bool captured_ = false;
  QPoint lastPointer_;
  QTimer autoScroll_;
  bool loadWholeFax_ = false;
  QCursor busyCursor_;
  bool showing_ = false;  // a page change during a page change does nothing
  TKvFaxUnpacker engine_;
};

enum class TBorderStyle { bsNone, bsSingle };

class TKvFaxViewer : public QFrame {
  Q_OBJECT
 public:
  explicit TKvFaxViewer(QWidget* parent = nullptr);

  // Properties. Setters that fail throw the unpacker's exceptions.
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle style);
  QColor FGColor() const { return fg_; }
  void SetFGColor(QColor color);
  QColor BGColor() const { return bg_; }
  void SetBGColor(QColor color);
  bool Scaling() const { return scaling_; }
  void SetScaling(bool on);
  int HorizMult() const { return hmult_; }
  int HorizDiv() const { return hdiv_; }
  int VertMult() const { return vmult_; }
  int VertDiv() const { return vdiv_; }
  void SetHorizMult(int v);  // 0 is ignored, as for the other three
  void SetHorizDiv(int v);
  void SetVertMult(int v);
  void SetVertDiv(int v);
  TAutoScaleMode AutoScaleMode() const { return autoScale_; }
  void SetAutoScaleMode(TAutoScaleMode mode);
  bool WhitespaceCompression() const { return wsOn_; }
  int WhitespaceFrom() const { return wsFrom_; }
  int WhitespaceTo() const { return wsTo_; }
  void SetWhitespaceCompression(bool on);
  void SetWhitespaceFrom(int lines);
  void SetWhitespaceTo(int lines);
  int HorizScroll() const { return hscroll_; }
  int VertScroll() const { return vscroll_; }
  void SetHorizScroll(int pixels);
  void SetVertScroll(int pixels);
  bool AcceptDragged() const { return viewer_->acceptDragged; }
  void SetAcceptDragged(bool on);
  bool LoadWholeFax() const { return viewer_->LoadWholeFax(); }
  void SetLoadWholeFax(bool on) { viewer_->SetLoadWholeFax(on); }
  const QCursor& BusyCursor() const { return busyCursor_; }
  void SetBusyCursor(const QCursor& cursor);
  const std::string& FileName() const { return fileName_; }
  // Loads the fax and resets the four scale factors to 1.
  void SetFileName(const std::string& name);

  int PageCount() const { return viewer_->PageCount(); }
  int CurrentPage() const { return viewer_->CurrentPage(); }
  void SetCurrentPage(int page);
  int Rotation() const { return viewer_->Rotation(); }
  void SetRotation(int quarters);
  QSize PageDimensions() const { return viewer_->PageSize(); }
  void SelectAll();
  void CopyToClipboard();

  // Scale changes between these two are passed on once, at the end.
  void BeginUpdate() { ++updating_; }
  void EndUpdate();

  TViewer& Window() { return *viewer_; }

  std::function<void(TKvFaxViewer& sender, const std::string& fileName)> OnDropFile;
  std::function<void(TKvFaxViewer& sender)> OnPageChange;
  std::function<void(TKvFaxViewer& sender, int errorCode)> OnViewerError;

 private:
  void PassScale();

  TViewer* viewer_;
  TBorderStyle borderStyle_ = TBorderStyle::bsSingle;
  QColor fg_ = Qt::black, bg_ = Qt::white;
  bool scaling_ = false;
  int hmult_ = 1, hdiv_ = 1, vmult_ = 1, vdiv_ = 1;
  TAutoScaleMode autoScale_ = asDoubleHeight;
  bool wsOn_ = false;
  int wsFrom_ = 0, wsTo_ = 0;
  int hscroll_ = 8, vscroll_ = 8;
  QCursor busyCursor_;
  std::string fileName_;
  int updating_ = 0;
};

}  // namespace tlm
