#include "qt_text_rasterizer.h"

#ifdef TLMFAX_HAVE_QT
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>

namespace tlm::tlmfax {
namespace {

class QtTextRasterizer final : public FaxTextRasterizer {
 public:
  QtTextRasterizer() {
    if (!QGuiApplication::instance()) {
      if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
      app_ = std::make_unique<QGuiApplication>(argc_, argv_);
    }
  }

  int TextHeight(const FaxFontSpec& font, int pointSize) override {
    QImage probe(1, 1, QImage::Format_RGB32);
    return QFontMetrics(Font(font, pointSize), &probe).boundingRect(QStringLiteral("Wy")).height();
  }

  MonoBitmap DrawText(const FaxFontSpec& font, int pointSize, const std::string& text, int width,
                      int height) override {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
      QPainter painter(&image);
      const QFont f = Font(font, pointSize);
      painter.setFont(f);
      painter.setPen(Qt::black);
      painter.setRenderHint(QPainter::TextAntialiasing, false);
      const QFontMetrics metrics(f, &image);
      painter.drawText(0, metrics.ascent(), Decode(text));
    }
    MonoBitmap out(width, height);
    for (int y = 0; y < height; ++y) {
      const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
      for (int x = 0; x < width; ++x) {
        if (qGray(row[x]) < 128) out.SetBlack(x, y, true);
      }
    }
    return out;
  }

 private:
  static QFont Font(const FaxFontSpec& wanted, int pointSize) {
    QFont f(QString::fromStdString(wanted.family));
    f.setPointSize(std::max(1, pointSize));
    f.setBold(wanted.bold);
    f.setItalic(wanted.italic);
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
  }

  // Text files are UTF-8, or else 8-bit text.
  static QString Decode(const std::string& text) {
    const QByteArray bytes = QByteArray::fromStdString(text);
    const QString utf8 = QString::fromUtf8(bytes);
    return utf8.contains(QChar::ReplacementCharacter) ? QString::fromLatin1(bytes) : utf8;
  }

  int argc_ = 1;
  char name_[7] = "tlmfax";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QGuiApplication> app_;
};

}  // namespace

std::unique_ptr<FaxTextRasterizer> MakeQtTextRasterizer() { return std::make_unique<QtTextRasterizer>(); }

}  // namespace tlm::tlmfax

#else

namespace tlm::tlmfax {
std::unique_ptr<FaxTextRasterizer> MakeQtTextRasterizer() { return nullptr; }
}  // namespace tlm::tlmfax

#endif
