#include "viewer/fax_viewer.h"

#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QUrl>
#include <algorithm>
#include <cstdlib>
#include <new>

#include "faximage/apf_file.h"
#include "faximage/fax_errors.h"
#include "platform/file_util.h"
#include "viewer/page_raster.h"

namespace tlm {

namespace {

// Pages shown larger than this many pixels are refused as out of memory.
constexpr std::int64_t kMaxShownPixels = std::int64_t(1) << 28;

// Runs a decoding or drawing step; 0 or the negative result of its failure.
template <typename F>
int Attempt(F&& f) {
  try {
    f();
    return 0;
  } catch (const EFaxImageError& e) {
    return e.Result();
  } catch (const std::bad_alloc&) {
    return -ecOutOfMemory;
  }
}

class BusyCursorScope {
 public:
  explicit BusyCursorScope(const QCursor& cursor) { QApplication::setOverrideCursor(cursor); }
  ~BusyCursorScope() { QApplication::restoreOverrideCursor(); }
};

}  // namespace

TViewer::TViewer(QWidget* parent) : QAbstractScrollArea(parent) {
  setFrameShape(QFrame::NoFrame);
  setFocusPolicy(Qt::StrongFocus);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  engine_.Options = 0;  // the viewer decodes a page in one go
  autoScroll_.setInterval(50);
  connect(&autoScroll_, &QTimer::timeout, this, [this] { AutoScrollTick(); });
}

int TViewer::SetFile(const std::string& fileName) {
  if (fileName.empty()) {
    CloseFax();
    return 0;
  }
  if (!FileExists(fileName)) return -ecFileNotFound;
  int count = 0;
  if (const int rc = ApfCountPages(fileName, count); rc != 0) return rc;
  if (count < 1) return -ecFaxBadFormat;
  CloseFax();
  fileName_ = fileName;
  engine_.SetInFileName(fileName);
  pages_.assign(std::size_t(count), PageEntry{});
  pageCount_ = count;
  rotation_ = 0;
  hmult_ = hdiv_ = vmult_ = vdiv_ = 1;
  {
    BusyCursorScope busy(busyCursor_);
    for (int page = 1; page <= (loadWholeFax_ ? count : 1); ++page) {
      if (const int rc = Decode(page); rc != 0) {
        CloseFax();
        return rc;
      }
    }
  }
  return ShowPage(1) ? 0 : -ecFaxBadFormat;
}

void TViewer::CloseFax() {
  fileName_.clear();
  pages_.clear();
  pageCount_ = 0;
  currentPage_ = 0;
  shown_ = QImage();
  displayed_ = QSize();
  marked_ = false;
  captured_ = false;
  autoScroll_.stop();
  SetScrollRanges();
  viewport()->update();
}

int TViewer::Decode(int page) {
  PageEntry& entry = pages_[std::size_t(page - 1)];
  return Attempt([&] {
    // As wide as the page's lines (halved with half-width correction).
    ApfPageHeader header;
    std::uint64_t offset = 0;
    CheckFaxResult(ApfLocatePage(fileName_, page, header, offset));
    const bool halved = !header.Fine() && engine_.AutoScaleMode == asHalfWidth;
    MonoBitmap b = engine_.UnpackPageToBitmap(page);
    if (b.height > 0) b = PadToWidth(b, halved ? header.Width() / 2 : header.Width());
    b = RotateQuarters(b, rotation_);
    entry.width = b.width;
    entry.height = b.height;
    entry.bitmap = std::move(b);
  });
}

bool TViewer::PageDecoded(int page) const {
  return page >= 1 && page <= pageCount_ && pages_[std::size_t(page - 1)].bitmap.has_value();
}

bool TViewer::ShowPage(int page) {
  if (showing_) return true;
  showing_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{showing_};

  if (!(loadWholeFax_ && PageDecoded(page))) {
    if (!loadWholeFax_) {
      for (int p = 1; p <= pageCount_; ++p) {
        if (p != page) pages_[std::size_t(p - 1)].bitmap.reset();
      }
    }
    if (!PageDecoded(page)) {
      int rc = 0;
      {
        BusyCursorScope busy(busyCursor_);
        rc = Decode(page);
      }
      if (rc != 0) {
        Fail(rc);
        return false;
      }
    }
  }
  currentPage_ = page;
  marked_ = false;
  captured_ = false;
  autoScroll_.stop();
  if (const int rc = Attempt([&] { Rescale(); }); rc != 0) {
    Fail(rc);
    return false;
  }
  horizontalScrollBar()->setValue(0);
  verticalScrollBar()->setValue(0);
  viewport()->update();
  if (pageChanged) pageChanged(page);
  return true;
}

void TViewer::Rescale() {
  const PageEntry& entry = pages_[std::size_t(currentPage_ - 1)];
  const std::int64_t w = std::int64_t(entry.width) * hmult_ / hdiv_;
  const std::int64_t h = std::int64_t(entry.height) * vmult_ / vdiv_;
  if (w * h > kMaxShownPixels || w > 65535 || h > 1000000) ThrowFaxError(-ecOutOfMemory);
  displayed_ = QSize(int(w), int(h));
  shown_ = ScaledPageImage(*entry.bitmap, int(w), int(h), fg_, bg_);
  SetScrollRanges();
}

void TViewer::Fail(int code) {
  CloseFax();
  if (errorRaised) errorRaised(std::abs(code));
}

int TViewer::GotoPage(int page) {
  if (page < 1 || page > pageCount_) return -ecBadArgument;
  ShowPage(page);
  return 0;
}

void TViewer::SetColors(QColor foreground, QColor background) {
  fg_ = foreground;
  bg_ = background;
  if (Loaded()) {
    if (const int rc = Attempt([&] { Rescale(); }); rc != 0) Fail(rc);
  }
  viewport()->update();
}

void TViewer::SetScale(int hmult, int hdiv, int vmult, int vdiv) {
  if (hmult <= 0 || hdiv <= 0 || hmult == hdiv) hmult = hdiv = 1;
  if (vmult <= 0 || vdiv <= 0 || vmult == vdiv) vmult = vdiv = 1;
  if (hmult == hmult_ && hdiv == hdiv_ && vmult == vmult_ && vdiv == vdiv_) return;
  hmult_ = hmult;
  hdiv_ = hdiv;
  vmult_ = vmult;
  vdiv_ = vdiv;
  if (Loaded()) ShowPage(currentPage_);
}

int TViewer::SetRotation(int quarters) {
  quarters = ((quarters % 4) + 4) % 4;
  if (quarters == rotation_) return 0;
  const int turn = (quarters - rotation_ + 4) % 4;
  rotation_ = quarters;
  if (!Loaded()) return 0;
  const int rc = Attempt([&] {
    for (int p = 1; p <= pageCount_; ++p) {
      PageEntry& entry = pages_[std::size_t(p - 1)];
      if (!entry.bitmap || (!loadWholeFax_ && p != currentPage_)) continue;
      entry.bitmap = RotateQuarters(*entry.bitmap, turn);
      entry.width = entry.bitmap->width;
      entry.height = entry.bitmap->height;
    }
  });
  if (rc != 0) {
    Fail(-ecOutOfMemory);
    return -ecOutOfMemory;
  }
  ShowPage(currentPage_);
  return 0;
}

void TViewer::SetScrollSteps(int horizontal, int vertical) {
  if (horizontal > 0) hstep_ = horizontal;
  if (vertical > 0) vstep_ = vertical;
  SetScrollRanges();
}

void TViewer::SetWhitespace(bool on, int from, int to) {
  if (on && to > from) ThrowFaxError(-ecBadArgument);
  engine_.WhitespaceCompression = on;
  engine_.WhitespaceFrom = from;
  engine_.WhitespaceTo = to;
}

void TViewer::SetAutoScale(TAutoScaleMode mode) { engine_.AutoScaleMode = mode; }

void TViewer::SetLoadWholeFax(bool on) {
  loadWholeFax_ = on;
  if (!Loaded()) return;
  if (on) {
    BusyCursorScope busy(busyCursor_);
    for (int p = 1; p <= pageCount_; ++p) {
      if (PageDecoded(p)) continue;
      if (const int rc = Decode(p); rc != 0) {
        Fail(rc);
        return;
      }
    }
  } else {
    for (int p = 1; p <= pageCount_; ++p) {
      if (p != currentPage_) pages_[std::size_t(p - 1)].bitmap.reset();
    }
  }
}

QSize TViewer::PageSize() const {
  if (!Loaded()) return {};
  const PageEntry& entry = pages_[std::size_t(currentPage_ - 1)];
  return {entry.width, entry.height};
}

QPoint TViewer::ScrollPosition() const { return {horizontalScrollBar()->value(), verticalScrollBar()->value()}; }
QPoint TViewer::ScrollMaximum() const { return {horizontalScrollBar()->maximum(), verticalScrollBar()->maximum()}; }

void TViewer::SetScrollRanges() {
  const QSize client = viewport()->size();
  horizontalScrollBar()->setRange(0, std::max(0, displayed_.width() - client.width()));
  verticalScrollBar()->setRange(0, std::max(0, displayed_.height() - client.height()));
  horizontalScrollBar()->setSingleStep(hstep_);
  verticalScrollBar()->setSingleStep(vstep_);
  horizontalScrollBar()->setPageStep(std::max(1, client.width()));
  verticalScrollBar()->setPageStep(std::max(1, client.height()));
}

void TViewer::ScrollBy(int dx, int dy) { ScrollTo(ScrollPosition().x() + dx, ScrollPosition().y() + dy); }

void TViewer::ScrollTo(int x, int y) {
  // The scroll bars clip to 0..maximum and move the contents.
  horizontalScrollBar()->setValue(x);
  verticalScrollBar()->setValue(y);
}

void TViewer::scrollContentsBy(int dx, int dy) {
  // Moves what is shown and repaints only the uncovered strip (the whole
  // area when the move is wider than it).
  if (std::abs(dx) >= viewport()->width() || std::abs(dy) >= viewport()->height()) {
    viewport()->update();
  } else {
    viewport()->scroll(dx, dy);
  }
}

void TViewer::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  SetScrollRanges();
}

void TViewer::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const QRect area = event->rect();
  painter.fillRect(area, bg_);
  if (!Loaded()) return;
  const QPoint scroll = ScrollPosition();
  const QRect source = area.translated(scroll).intersected(shown_.rect());
  if (!source.isEmpty()) painter.drawImage(source.topLeft() - scroll, shown_, source);
  if (const auto block = MarkedBlock()) {
    painter.setCompositionMode(QPainter::CompositionMode_Difference);
    painter.fillRect(block->translated(-scroll).intersected(area), Qt::white);
  }
}

void TViewer::keyPressEvent(QKeyEvent* event) {
  if (!Loaded()) {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  const QPoint pos = ScrollPosition();
  const QPoint max = ScrollMaximum();
  switch (event->key()) {
    case Qt::Key_PageUp:
      if (ctrl) ScrollTo(pos.x(), 0);
      else if (currentPage_ > 1) ShowPage(currentPage_ - 1);
      break;
    case Qt::Key_PageDown:
      if (ctrl) ScrollTo(pos.x(), max.y());
      else if (currentPage_ < pageCount_) ShowPage(currentPage_ + 1);
      break;
    case Qt::Key_Home:
      if (!ctrl) ScrollTo(0, pos.y());
      else if (currentPage_ == 1) ScrollTo(0, 0);
      else ShowPage(1);
      break;
    case Qt::Key_End:
      if (!ctrl) ScrollTo(max.x(), pos.y());
      else if (currentPage_ == pageCount_) ScrollTo(0, 0);
      else ShowPage(pageCount_);
      break;
    case Qt::Key_Left: ScrollBy(-hstep_ * (ctrl ? 10 : 1), 0); break;
    case Qt::Key_Right: ScrollBy(hstep_ * (ctrl ? 10 : 1), 0); break;
    case Qt::Key_Up: ScrollBy(0, -vstep_ * (ctrl ? 10 : 1)); break;
    case Qt::Key_Down: ScrollBy(0, vstep_ * (ctrl ? 10 : 1)); break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
  }
  event->accept();
}

QPoint TViewer::PagePoint(QPoint viewportPoint) const {
  const QPoint p = viewportPoint + ScrollPosition();
  return {std::clamp(p.x(), 0, displayed_.width()), std::clamp(p.y(), 0, displayed_.height())};
}

std::optional<QRect> TViewer::MarkedBlock() const {
  if (!marked_ || !Loaded()) return std::nullopt;
  // Between the two corners, so a click without a drag marks nothing.
  const QRect block(std::min(anchor_.x(), corner_.x()), std::min(anchor_.y(), corner_.y()),
                    std::abs(corner_.x() - anchor_.x()), std::abs(corner_.y() - anchor_.y()));
  return block.intersected(QRect(QPoint(0, 0), displayed_));
}

void TViewer::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !Loaded()) return;
  setFocus();
  anchor_ = corner_ = PagePoint(event->position().toPoint());
  marked_ = true;
  captured_ = true;
  lastPointer_ = event->position().toPoint();
  viewport()->update();
}

void TViewer::ExtendBlockTo(QPoint viewportPoint) {
  const QPoint inside(std::clamp(viewportPoint.x(), 0, viewport()->width()),
                      std::clamp(viewportPoint.y(), 0, viewport()->height()));
  corner_ = PagePoint(inside);
  viewport()->update();
}

void TViewer::mouseMoveEvent(QMouseEvent* event) {
  if (!captured_) return;
  lastPointer_ = event->position().toPoint();
  ExtendBlockTo(lastPointer_);
  if (viewport()->rect().contains(lastPointer_)) {
    autoScroll_.stop();
  } else if (!autoScroll_.isActive()) {
    autoScroll_.start();
  }
}

void TViewer::AutoScrollTick() {
  if (!captured_) {
    autoScroll_.stop();
    return;
  }
  // Towards the pointer: one step, two when it is far outside.
  auto steps = [](int p, int size, int step) {
    if (p < 0) return -step * (p < -20 ? 2 : 1);
    if (p > size) return step * (p > size + 20 ? 2 : 1);
    return 0;
  };
  ScrollBy(steps(lastPointer_.x(), viewport()->width(), hstep_), steps(lastPointer_.y(), viewport()->height(), vstep_));
  ExtendBlockTo(lastPointer_);
}

void TViewer::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !captured_) return;
  captured_ = false;
  autoScroll_.stop();
  const auto block = MarkedBlock();
  if (!block || block->isEmpty()) marked_ = false;
  viewport()->update();
}

int TViewer::SelectAll() { return Select(QRect(QPoint(0, 0), displayed_)); }

int TViewer::Select(const QRect& block) {
  if (!Loaded()) return -ecNoImageLoaded;
  anchor_ = block.topLeft();
  corner_ = block.topLeft() + QPoint(block.width(), block.height());
  marked_ = true;
  viewport()->update();
  return 0;
}

int TViewer::Copy() {
  if (!Loaded()) return -ecNoImageLoaded;
  const auto block = MarkedBlock();
  if (!block || block->isEmpty()) return -ecNoBlockMarked;
  // The block in the page's own pixels, at full resolution.
  const MonoBitmap& page = *pages_[std::size_t(currentPage_ - 1)].bitmap;
  const QRect pixels(block->x() * hdiv_ / hmult_, block->y() * vdiv_ / vmult_,
                     std::max(1, block->width() * hdiv_ / hmult_), std::max(1, block->height() * vdiv_ / vmult_));
  QImage image = MonoImage(page).copy(pixels);
  QApplication::clipboard()->setImage(image);
  return 0;
}

void TViewer::dragEnterEvent(QDragEnterEvent* event) {
  if (acceptDragged && event->mimeData()->hasUrls() && event->mimeData()->urls().first().isLocalFile()) {
    event->acceptProposedAction();
  }
}

void TViewer::dragMoveEvent(QDragMoveEvent* event) {
  if (acceptDragged) event->acceptProposedAction();
}

void TViewer::dropEvent(QDropEvent* event) {
  if (!acceptDragged || !event->mimeData()->hasUrls()) return;
  const QUrl first = event->mimeData()->urls().first();
  if (!first.isLocalFile()) return;
  event->acceptProposedAction();
  const std::string name = first.toLocalFile().toStdString();
  const int rc = SetFile(name);
  if (rc != 0) {
    Fail(rc);
    return;
  }
  if (fileDropped) fileDropped(name);
}

// ---------------------------------------------------------------------------

TKvFaxViewer::TKvFaxViewer(QWidget* parent) : QFrame(parent), viewer_(new TViewer(this)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(viewer_);
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setFocusPolicy(Qt::StrongFocus);
  setFocusProxy(viewer_);
  resize(100, 50);
  viewer_->pageChanged = [this](int) {
    if (OnPageChange) OnPageChange(*this);
  };
  viewer_->errorRaised = [this](int code) {
    fileName_ = viewer_->FileName();
    if (OnViewerError) OnViewerError(*this, code);
  };
  viewer_->fileDropped = [this](const std::string& name) {
    fileName_ = name;
    hmult_ = hdiv_ = vmult_ = vdiv_ = 1;
    if (OnDropFile) OnDropFile(*this, name);
  };
}

void TKvFaxViewer::SetBorderStyle(TBorderStyle style) {
  borderStyle_ = style;
  setFrameStyle(style == TBorderStyle::bsSingle ? QFrame::Box | QFrame::Plain : QFrame::NoFrame);
}

void TKvFaxViewer::SetFGColor(QColor color) {
  fg_ = color;
  viewer_->SetColors(fg_, bg_);
}

void TKvFaxViewer::SetBGColor(QColor color) {
  bg_ = color;
  viewer_->SetColors(fg_, bg_);
}

void TKvFaxViewer::SetScaling(bool on) {
  scaling_ = on;
  PassScale();
}

void TKvFaxViewer::SetHorizMult(int v) {
  if (v <= 0) return;
  hmult_ = v;
  PassScale();
}

void TKvFaxViewer::SetHorizDiv(int v) {
  if (v <= 0) return;
  hdiv_ = v;
  PassScale();
}

void TKvFaxViewer::SetVertMult(int v) {
  if (v <= 0) return;
  vmult_ = v;
  PassScale();
}

void TKvFaxViewer::SetVertDiv(int v) {
  if (v <= 0) return;
  vdiv_ = v;
  PassScale();
}

void TKvFaxViewer::PassScale() {
  if (updating_ > 0) return;
  if (scaling_) {
    viewer_->SetScale(hmult_, hdiv_, vmult_, vdiv_);
  } else {
    viewer_->SetScale(1, 1, 1, 1);
  }
}

void TKvFaxViewer::EndUpdate() {
  if (updating_ > 0 && --updating_ == 0) PassScale();
}

void TKvFaxViewer::SetAutoScaleMode(TAutoScaleMode mode) {
  autoScale_ = mode;
  viewer_->SetAutoScale(mode);
}

void TKvFaxViewer::SetWhitespaceCompression(bool on) {
  viewer_->SetWhitespace(on, wsFrom_, wsTo_);
  wsOn_ = on;
}

void TKvFaxViewer::SetWhitespaceFrom(int lines) {
  viewer_->SetWhitespace(wsOn_, lines, wsTo_);
  wsFrom_ = lines;
}

void TKvFaxViewer::SetWhitespaceTo(int lines) {
  viewer_->SetWhitespace(wsOn_, wsFrom_, lines);
  wsTo_ = lines;
}

void TKvFaxViewer::SetHorizScroll(int pixels) {
  if (pixels > 0) hscroll_ = pixels;
  viewer_->SetScrollSteps(pixels, 0);
}

void TKvFaxViewer::SetVertScroll(int pixels) {
  if (pixels > 0) vscroll_ = pixels;
  viewer_->SetScrollSteps(0, pixels);
}

void TKvFaxViewer::SetAcceptDragged(bool on) { viewer_->acceptDragged = on; }

void TKvFaxViewer::SetBusyCursor(const QCursor& cursor) {
  busyCursor_ = cursor;
  viewer_->SetBusyCursor(cursor);
}

void TKvFaxViewer::SetFileName(const std::string& name) {
  hmult_ = hdiv_ = vmult_ = vdiv_ = 1;
  const int rc = viewer_->SetFile(name);
  if (rc != 0) {
    viewer_->SetFile({});
    fileName_.clear();
    ThrowFaxError(rc);
  }
  fileName_ = name;
}

void TKvFaxViewer::SetCurrentPage(int page) { CheckFaxResult(viewer_->GotoPage(page)); }

void TKvFaxViewer::SetRotation(int quarters) { CheckFaxResult(viewer_->SetRotation(quarters)); }

void TKvFaxViewer::SelectAll() { CheckFaxResult(viewer_->SelectAll()); }

void TKvFaxViewer::CopyToClipboard() { CheckFaxResult(viewer_->Copy()); }

}  // namespace tlm
