#include "app/hints.h"

#include <QApplication>
#include <QEvent>
#include <QProxyStyle>
#include <QWidget>

namespace tlm {

namespace {

class HintStyle : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_ToolTip_WakeUpDelay) return kHintDelayMs;
    if (hint == SH_ToolTip_FallAsleepDelay) return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

// Swallows tool tip requests while hints are off, and gives every hint the
// display time.
class HintFilter : public QObject {
 public:
  using QObject::QObject;
  bool enabled = true;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::ToolTip) {
      if (!enabled) return true;
      if (auto* widget = qobject_cast<QWidget*>(watched); widget && widget->toolTipDuration() < 0) {
        widget->setToolTipDuration(kHintDisplayMs);
      }
    }
    return false;
  }
};

HintFilter* Filter() {
  static HintFilter* filter = [] {
    auto* f = new HintFilter(qApp);
    qApp->installEventFilter(f);
    QApplication::setStyle(new HintStyle(QApplication::style()->name()));
    return f;
  }();
  return filter;
}

}  // namespace

void SetHintsEnabled(bool on) { Filter()->enabled = on; }
bool HintsEnabled() { return Filter()->enabled; }

}  // namespace tlm
