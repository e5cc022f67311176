#include "richtext/text_document_pictures.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFragment>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "faximage/mono_bitmap.h"
#include "faximage/raster_source.h"
#include "richtext/page_renderer.h"

namespace tlm {
namespace {

constexpr char kScheme[] = "tlm-picture:";
constexpr char kDpiProperty[] = "tlmDocumentDpi";
constexpr double kDefaultImageDpi = 96;

int PixelsToTwips(double pixels, double dpi) { return static_cast<int>(std::lround(pixels * 1440.0 / dpi)); }

// The first picture number not yet registered with the document.
int FreePictureNumber(const QTextDocument& doc) {
  int n = doc.property("tlmPictureCount").toInt();
  while (!doc.resource(QTextDocument::ImageResource, QUrl(PictureUrl(n))).isNull()) ++n;
  return n;
}

// What an unshown picture shows: a light grey frame on screen, nothing in print.
QImage EmptyBox(int width, int height, bool forPrinting) {
  QImage box(std::clamp(width, 1, 400), std::clamp(height, 1, 400), QImage::Format_ARGB32);
  box.fill(Qt::transparent);
  if (!forPrinting) {
    QPainter p(&box);
    p.setPen(QPen(QColor(170, 170, 170), 1, Qt::DashLine));
    p.drawRect(box.rect().adjusted(0, 0, -1, -1));
  }
  return box;
}

// The image on white, as paper shows a transparent picture.
QImage OnWhite(const QImage& image) {
  QImage out(image.size(), QImage::Format_RGB32);
  out.fill(Qt::white);
  QPainter p(&out);
  p.drawImage(0, 0, image);
  return out;
}

// Line art is nearly all ink or paper; anything with many grey or coloured
// pixels between them is treated as a photograph.
bool IsLineArt(const QImage& grey) {
  qint64 extremes = 0;
  for (int y = 0; y < grey.height(); ++y) {
    const uchar* row = grey.constScanLine(y);
    for (int x = 0; x < grey.width(); ++x) extremes += (row[x] < 40 || row[x] > 215) ? 1 : 0;
  }
  qint64 total = qint64(grey.width()) * grey.height();
  return total == 0 || extremes * 100 >= total * 85;
}

QImage Bilevel(const QImage& image, int width, int height) {
  QImage colour = OnWhite(image);
  QImage grey = colour.convertToFormat(QImage::Format_Grayscale8);
  const bool lineArt = IsLineArt(grey);
  QImage out(width, height, QImage::Format_Grayscale8);
  if (lineArt) {
    QImage scaled = grey.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    for (int y = 0; y < height; ++y) {
      const uchar* in = scaled.constScanLine(y);
      uchar* o = out.scanLine(y);
      for (int x = 0; x < width; ++x) o[x] = in[x] < 128 ? 0 : 255;
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

}  // namespace

QString PictureUrl(int n) { return QString(kScheme) + QString::number(n); }

bool IsPictureFormat(const QTextFormat& format) {
  return format.isImageFormat() && format.toImageFormat().name().startsWith(kScheme);
}

QImage DecodePictureBytes(const QByteArray& bytes) {
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  reader.setAutoTransform(true);
  QSize size = reader.size();
  if (!size.isValid() || qint64(size.width()) * size.height() > kMaxPicturePixels) return {};
  QImage image;
  if (!reader.read(&image)) return {};
  return image;
}

double ImageDpi(const QImage& image) {
  const double dpi = std::round(image.dotsPerMeterX() * 0.0254 * 10) / 10;
  return dpi >= 10 && dpi <= 10000 ? dpi : kDefaultImageDpi;
}

double DocumentDpi(const QTextDocument& doc) {
  double dpi = doc.property(kDpiProperty).toDouble();
  return dpi > 0 ? dpi : LayoutDpi();
}

void SetDocumentDpi(QTextDocument& doc, double dpi) { doc.setProperty(kDpiProperty, dpi); }

void InsertModelPicture(QTextCursor& cursor, const rtf::Picture& picture, const QTextCharFormat& charFormat,
                        bool forPrinting, const QImage* decoded) {
  QTextDocument* doc = cursor.document();
  const double dpi = DocumentDpi(*doc);
  QByteArray bytes(picture.data.data(), static_cast<qsizetype>(picture.data.size()));
  QImage image;
  if (picture.kind != rtf::PictureKind::Unshown) image = decoded ? *decoded : DecodePictureBytes(bytes);
  int widthTwips = picture.widthTwips;
  int heightTwips = picture.heightTwips;
  if ((widthTwips <= 0 || heightTwips <= 0) && !image.isNull()) {
    const double imageDpi = ImageDpi(image);
    widthTwips = PixelsToTwips(image.width(), imageDpi);
    heightTwips = PixelsToTwips(image.height(), imageDpi);
  }
  widthTwips = std::clamp(widthTwips, 15, 63360);
  heightTwips = std::clamp(heightTwips, 15, 63360);
  const double width = widthTwips * dpi / 1440.0;
  const double height = heightTwips * dpi / 1440.0;
  // A picture that cannot be decoded keeps its box, like one in a format
  // that is not shown; its bytes are still saved.
  if (image.isNull()) image = EmptyBox(static_cast<int>(width), static_cast<int>(height), forPrinting);

  const int n = FreePictureNumber(*doc);
  doc->setProperty("tlmPictureCount", n + 1);
  doc->addResource(QTextDocument::ImageResource, QUrl(PictureUrl(n)), image);
  QTextImageFormat format;
  format.merge(charFormat);
  format.clearProperty(kPictureSourceProperty);
  format.setName(PictureUrl(n));
  format.setWidth(width);
  format.setHeight(height);
  format.setProperty(kPictureDataProperty, bytes);
  format.setProperty(kPictureKindProperty, static_cast<int>(picture.kind));
  if (picture.kind == rtf::PictureKind::Unshown) {
    format.setProperty(kPictureSourceProperty, QString("%1 %2 %3")
                                                   .arg(QString::fromStdString(picture.sourceFormat))
                                                   .arg(picture.sourceWidth)
                                                   .arg(picture.sourceHeight));
  }
  cursor.insertImage(format);
}

bool PictureFromFormat(const QTextDocument& doc, const QTextImageFormat& format, rtf::Picture& out) {
  const double dpi = DocumentDpi(doc);
  QVariant resource = doc.resource(QTextDocument::ImageResource, QUrl(format.name()));
  QImage image = resource.value<QImage>();
  if (image.isNull() && resource.canConvert<QPixmap>()) image = resource.value<QPixmap>().toImage();
  out = rtf::Picture{};
  QByteArray bytes = format.property(kPictureDataProperty).toByteArray();
  if (format.hasProperty(kPictureKindProperty)) {
    out.kind = static_cast<rtf::PictureKind>(std::clamp(format.property(kPictureKindProperty).toInt(), 0, 2));
  } else {
    out.kind = rtf::PictureKind::Png;
  }
  if (bytes.isEmpty() && out.kind != rtf::PictureKind::Unshown) {
    if (image.isNull()) return false;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    out.kind = rtf::PictureKind::Png;
  }
  out.data.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  double width = format.width() > 0 ? format.width() : image.width();
  double height = format.height() > 0 ? format.height() : image.height();
  out.widthTwips = PixelsToTwips(width, dpi);
  out.heightTwips = PixelsToTwips(height, dpi);
  if (out.kind == rtf::PictureKind::Unshown) {
    QStringList source = format.property(kPictureSourceProperty).toString().split(' ');
    if (source.size() == 3) {
      out.sourceFormat = source[0].toStdString();
      out.sourceWidth = source[1].toInt();
      out.sourceHeight = source[2].toInt();
    }
  }
  return out.widthTwips > 0 && out.heightTwips > 0;
}

bool AppendFragmentPictures(const QTextDocument& in, const QTextFragment& fragment, const rtf::CharFormat& format,
                            rtf::Paragraph& para, rtf::Document& doc, QHash<QString, int>& seen) {
  if (!fragment.charFormat().isImageFormat()) return false;
  QTextImageFormat image = fragment.charFormat().toImageFormat();
  auto known = seen.constFind(image.name());
  int index = known != seen.constEnd() ? *known : -1;
  if (index < 0) {
    rtf::Picture picture;
    if (!PictureFromFormat(in, image, picture)) return true;  // an image that cannot be had: left out
    doc.pictures.push_back(std::move(picture));
    index = static_cast<int>(doc.pictures.size()) - 1;
    seen.insert(image.name(), index);
  }
  const QString text = fragment.text();
  for (QChar c : text) {
    if (c == QChar::ObjectReplacementCharacter) rtf::AppendPicture(para, index, format);
  }
  return true;
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
      doc.addResource(QTextDocument::ImageResource, url, Bilevel(image, width, height));
    }
  }
}

}  // namespace tlm
