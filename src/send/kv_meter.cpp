#include "send/kv_meter.h"

#include <QPainter>
#include <QPalette>

namespace tlm {

namespace {
constexpr int kEdge = 2;  // blocks start this far in from the bevel
}

MeterBlocks ComputeMeterBlocks(int position, int minimum, int maximum, int width, int step) {
  MeterBlocks result;
  if (position <= minimum || maximum <= minimum || step <= 0 || width < 4) return result;
  const long long span = maximum - minimum;
  const long long clamped = std::min<long long>(position, maximum) - minimum;
  result.blocks = int(clamped * ((width - 3) / step) / span + 1);
  const int room = width - 4;
  if (result.blocks * step > room) {
    result.blocks = room / step;
    result.partial = room % step;
  }
  return result;
}

TKvMeter::TKvMeter(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("KvMeter"));
  highlight_ = palette().color(QPalette::Light);
  shadow_ = palette().color(QPalette::Dark);
  block_ = palette().color(QPalette::Highlight);
  setMinimumSize(40, 12);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TKvMeter::SetRange(int minimum, int maximum) {
  min_ = minimum;
  max_ = maximum;
  Recount(false);
}

void TKvMeter::SetPosition(int position) {
  position_ = position;
  Recount(false);
}

void TKvMeter::SetStep(int pixels) {
  step_ = pixels > 0 ? pixels : 1;
  Recount(true);
}

void TKvMeter::SetBevelStyle(BevelStyle style) {
  bevel_ = style;
  update();
}

void TKvMeter::SetBevelColors(const QColor& highlight, const QColor& shadow) {
  highlight_ = highlight;
  shadow_ = shadow;
  update();
}

void TKvMeter::SetBlockColor(const QColor& color) {
  block_ = color;
  update();
}

void TKvMeter::resizeEvent(QResizeEvent*) { Recount(true); }

void TKvMeter::Recount(bool force) {
  const MeterBlocks now = ComputeMeterBlocks(position_, min_, max_, width(), step_);
  if (!force && now == shown_) return;
  shown_ = now;
  ++repaints_;
  update();
}

void TKvMeter::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int w = width();
  const int h = height();
  // The bevel: lowered puts the shadow on the top and left edges.
  const QColor& topLeft = bevel_ == kLowered ? shadow_ : highlight_;
  const QColor& bottomRight = bevel_ == kLowered ? highlight_ : shadow_;
  p.setPen(topLeft);
  p.drawLine(0, 0, w - 1, 0);
  p.drawLine(0, 0, 0, h - 1);
  p.setPen(bottomRight);
  p.drawLine(0, h - 1, w - 1, h - 1);
  p.drawLine(w - 1, 0, w - 1, h - 1);

  const int top = kEdge;
  const int blockHeight = h - 2 * kEdge;
  if (blockHeight <= 0) return;
  for (int i = 0; i < shown_.blocks; ++i) {
    // A one-pixel gap keeps the blocks apart.
    p.fillRect(kEdge + i * step_, top, std::max(1, step_ - 1), blockHeight, block_);
  }
  if (shown_.partial > 0) p.fillRect(kEdge + shown_.blocks * step_, top, shown_.partial, blockHeight, block_);
}

}  // namespace tlm
