#include "richtext/picture_raster.h"

#include <QPainter>
#include <QTextBlock>
#include <QTextFragment>
#include <algorithm>
#include <cmath>

#include "faximage/mono_bitmap.h"
#include "faximage/raster_source.h"
#include "richtext/rtf/rtf_picture.h"
#include "richtext/text_document_pictures.h"

namespace tlm {
namespace {

// The image on white, as paper shows a transparent picture.
QImage OnWhite(const QImage& image) {
  QImage out(image.size(), QImage::Format_RGB32);
  out.fill(Qt::white);
  QPainter p(&out);
  p.drawImage(0, 0, image);
  return out;
}

// Line art is nearly all ink or paper, with paper around the ink; anything
// with many grey or coloured pixels between them, or a dark picture with
// little paper (a night photograph), is treated as a photograph.
bool IsLineArt(const QImage& grey) {
  qint64 ink = 0;
  qint64 paper = 0;
  for (int y = 0; y < grey.height(); ++y) {
    const uchar* row = grey.constScanLine(y);
    for (int x = 0; x < grey.width(); ++x) {
      ink += row[x] < 40;
      paper += row[x] > 215;
    }
  }
  const qint64 total = qint64(grey.width()) * grey.height();
  return total == 0 || ((ink + paper) * 100 >= total * 85 && paper * 100 >= total * 20);
}

}  // namespace

QImage BilevelPicture(const QImage& image, int width, int height) {
  QImage colour = OnWhite(image);
  QImage grey = colour.convertToFormat(QImage::Format_Grayscale8);
  const bool lineArt = IsLineArt(grey);
  QImage out(width, height, QImage::Format_Grayscale8);
  if (lineArt) {
    // Made smaller by a factor k, a thin line becomes a light grey one; a
    // device pixel is black when at least 1/(2k) of it is ink, so that
    // strokes of one pixel survive (k = 1: half of it, the plain threshold).
    const double shrink = std::max({1.0, double(image.width()) / width, double(image.height()) / height});
    const int threshold = static_cast<int>(std::lround(255 - 127 / shrink));
    QImage scaled = grey.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    for (int y = 0; y < height; ++y) {
      const uchar* in = scaled.constScanLine(y);
      uchar* o = out.scanLine(y);
      for (int x = 0; x < width; ++x) o[x] = in[x] < threshold ? 0 : 255;
    }
    return out;
  }
  QImage scaled = colour.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                      .convertToFormat(QImage::Format_RGB888);
  RgbImage rgb(width, height);
  for (int y = 0; y < height; ++y) {
    std::copy_n(scaled.constScanLine(y), std::size_t(width) * 3, rgb.Pixel(0, y));
  }
  MonoBitmap mono = DitherToMono(rgb);
  for (int y = 0; y < height; ++y) {
    uchar* o = out.scanLine(y);
    for (int x = 0; x < width; ++x) o[x] = mono.IsBlack(x, y) ? 0 : 255;
  }
  return out;
}

void MakePicturesBilevel(QTextDocument& doc, double dpi) {
  const double scale = dpi / DocumentDpi(doc);
  for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      QTextFragment fragment = it.fragment();
      if (!fragment.isValid() || !IsPictureFormat(fragment.charFormat())) continue;
      QTextImageFormat format = fragment.charFormat().toImageFormat();
      if (format.property(kPictureKindProperty).toInt() == static_cast<int>(rtf::PictureKind::Unshown)) continue;
      QUrl url(format.name());
      QImage image = doc.resource(QTextDocument::ImageResource, url).value<QImage>();
      if (image.isNull()) continue;
      int width = std::max(1, static_cast<int>(std::lround(format.width() * scale)));
      int height = std::max(1, static_cast<int>(std::lround(format.height() * scale)));
      if (qint64(width) * height > kMaxPicturePixels) continue;
      doc.addResource(QTextDocument::ImageResource, url, BilevelPicture(image, width, height));
    }
  }
}

}  // namespace tlm
