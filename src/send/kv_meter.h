#pragma once
// A bar meter drawn as a bevelled strip of blocks, as the progress window
// shows page progress.
#include <QColor>
#include <QWidget>

namespace tlm {

// How many whole blocks a meter of `width` pixels shows for `position`, and
// the width of the partial block after them (0 when none).
struct MeterBlocks {
  int blocks = 0;
  int partial = 0;
  bool operator==(const MeterBlocks&) const = default;
};
MeterBlocks ComputeMeterBlocks(int position, int minimum, int maximum, int width, int step);

class TKvMeter : public QWidget {
  Q_OBJECT
 public:
  enum BevelStyle { kLowered = 0, kRaised = 1 };

  explicit TKvMeter(QWidget* parent = nullptr);

  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position() const { return position_; }
  int Step() const { return step_; }
  void SetRange(int minimum, int maximum);
  void SetPosition(int position);
  void SetStep(int pixels);
  void SetBevelStyle(BevelStyle style);
  void SetBevelColors(const QColor& highlight, const QColor& shadow);
  void SetBlockColor(const QColor& color);

  // The blocks now shown; repaints happen only when these change.
  MeterBlocks Blocks() const { return shown_; }
  int RepaintCount() const { return repaints_; }

  QSize sizeHint() const override { return {406, 20}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Recount(bool force);

  int min_ = 0;
  int max_ = 100;
  int position_ = 0;
  int step_ = 10;
  BevelStyle bevel_ = kLowered;
  QColor highlight_;
  QColor shadow_;
  QColor block_;
  MeterBlocks shown_;
  int repaints_ = 0;
};

}  // namespace tlm
