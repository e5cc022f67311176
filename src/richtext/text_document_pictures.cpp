#include "richtext/text_document_pictures.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFragment>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <optional>
#include <vector>

#include "richtext/page_renderer.h"
#include "richtext/picture_store.h"

namespace tlm {
namespace {

constexpr char kScheme[] = "tlm-picture:";
constexpr char kDpiProperty[] = "tlmDocumentDpi";
constexpr double kDefaultImageDpi = 96;

int PixelsToTwips(double pixels, double dpi) { return static_cast<int>(std::lround(pixels * 1440.0 / dpi)); }

// Picture numbers are unique in the process, so that a picture copied from
// one document to another never meets a different picture of the same name.
int FreePictureNumber(const QTextDocument& doc) {
  static std::atomic<int> next{0};
  int n = next++;
  while (!doc.resource(QTextDocument::ImageResource, QUrl(PictureUrl(n))).isNull()) n = next++;
  return n;
}

// The crop of a picture as kept on its format; empty when it has none.
QString CropText(const rtf::Picture& p) {
  if (p.cropLeft == 0 && p.cropTop == 0 && p.cropRight == 0 && p.cropBottom == 0) return {};
  return QStringLiteral("%1 %2 %3 %4").arg(p.cropLeft).arg(p.cropTop).arg(p.cropRight).arg(p.cropBottom);
}

// The part of `image` a picture's crop leaves; a negative crop adds a
// transparent margin.
QImage Cropped(const QImage& image, const rtf::Picture& p) {
  const double wholeWidth = double(p.widthTwips) + p.cropLeft + p.cropRight;
  const double wholeHeight = double(p.heightTwips) + p.cropTop + p.cropBottom;
  if (CropText(p).isEmpty() || wholeWidth <= 0 || wholeHeight <= 0) return image;
  const double sx = image.width() / wholeWidth;
  const double sy = image.height() / wholeHeight;
  const QRect part(static_cast<int>(std::lround(p.cropLeft * sx)), static_cast<int>(std::lround(p.cropTop * sy)),
                   std::max(1, static_cast<int>(std::lround(p.widthTwips * sx))),
                   std::max(1, static_cast<int>(std::lround(p.heightTwips * sy))));
  if (qint64(part.width()) * part.height() > kMaxPicturePixels) return image;
  return image.convertToFormat(QImage::Format_ARGB32).copy(part);
}

// What an unshown picture shows: a light grey frame on screen, nothing in
// print. Drawn small and 1 bit deep (the document scales it to the box), so
// that a file of thousands of boxes costs little memory.
QImage EmptyBox(int width, int height, bool forPrinting) {
  static const QImage blank = [] {
    QImage image(1, 1, QImage::Format_Mono);
    image.setColorTable({qRgba(0, 0, 0, 0), qRgba(0, 0, 0, 0)});
    image.fill(0);
    return image;
  }();
  if (forPrinting) return blank;
  const int step = std::max(1, std::max(width, height) / 128);
  QImage box(std::clamp(width / step, 2, 128), std::clamp(height / step, 2, 128), QImage::Format_Mono);
  box.setColorTable({qRgba(0, 0, 0, 0), qRgb(170, 170, 170)});
  box.fill(0);
  for (int x = 0; x < box.width(); x += 2) box.setPixel(x, 0, 1), box.setPixel(x, box.height() - 1, 1);
  for (int y = 0; y < box.height(); y += 2) box.setPixel(0, y, 1), box.setPixel(box.width() - 1, y, 1);
  return box;
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
  if (image.isNull()) {
    image = EmptyBox(static_cast<int>(width), static_cast<int>(height), forPrinting);
  } else {
    image = Cropped(image, picture);
  }

  const int n = FreePictureNumber(*doc);
  doc->addResource(QTextDocument::ImageResource, QUrl(PictureUrl(n)), image);
  QTextImageFormat format;
  format.merge(charFormat);
  format.clearProperty(kPictureSourceProperty);
  format.clearProperty(kPictureCropProperty);
  const QString crop = CropText(picture);
  if (!crop.isEmpty()) format.setProperty(kPictureCropProperty, crop);
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
  if (!forPrinting) {
    ProvideStoredPictures();
    PictureStore::Instance().Put(PictureUrl(n), {image, bytes, static_cast<int>(picture.kind),
                                                 format.property(kPictureSourceProperty).toString(), crop});
  }
}

bool PictureFromFormat(const QTextDocument& doc, const QTextImageFormat& format, rtf::Picture& out) {
  const double dpi = DocumentDpi(doc);
  QVariant resource = doc.resource(QTextDocument::ImageResource, QUrl(format.name()));
  QImage image = resource.value<QImage>();
  if (image.isNull() && resource.canConvert<QPixmap>()) image = resource.value<QPixmap>().toImage();
  out = rtf::Picture{};
  QByteArray bytes = format.property(kPictureDataProperty).toByteArray();
  int kind = format.property(kPictureKindProperty).toInt();
  QString source = format.property(kPictureSourceProperty).toString();
  QString crop = format.property(kPictureCropProperty).toString();
  if (bytes.isEmpty()) {
    // Pasted from another document, or encoded already: the store has it.
    if (std::optional<PictureStore::Entry> stored = PictureStore::Instance().Get(format.name())) {
      bytes = stored->bytes;
      kind = stored->kind;
      source = stored->source;
      crop = stored->crop;
    }
  }
  out.kind = static_cast<rtf::PictureKind>(std::clamp(kind, 0, 2));
  if (bytes.isEmpty() && out.kind != rtf::PictureKind::Unshown) {
    if (image.isNull()) return false;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    out.kind = rtf::PictureKind::Png;
    // Encoded once: the next model of the document finds the bytes stored.
    PictureStore::Instance().Put(format.name(), {image, bytes, static_cast<int>(out.kind), QString(), QString()});
  }
  out.data.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  double width = format.width() > 0 ? format.width() : image.width();
  double height = format.height() > 0 ? format.height() : image.height();
  const QStringList crops = crop.split(' ');
  if (crops.size() == 4) {
    out.cropLeft = crops[0].toInt();
    out.cropTop = crops[1].toInt();
    out.cropRight = crops[2].toInt();
    out.cropBottom = crops[3].toInt();
  }
  out.widthTwips = PixelsToTwips(width, dpi);
  out.heightTwips = PixelsToTwips(height, dpi);
  if (out.kind == rtf::PictureKind::Unshown) {
    QStringList parts = source.split(' ');
    if (parts.size() == 3) {
      out.sourceFormat = parts[0].toStdString();
      out.sourceWidth = parts[1].toInt();
      out.sourceHeight = parts[2].toInt();
    }
  }
  return out.widthTwips > 0 && out.heightTwips > 0;
}

void AdoptPastedPictures(QTextDocument& doc) {
  struct Pasted {
    int start;
    int end;
    QTextImageFormat format;
  };
  std::vector<Pasted> pasted;
  for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.isValid() || !IsPictureFormat(fragment.charFormat())) continue;
      QTextImageFormat format = fragment.charFormat().toImageFormat();
      if (format.hasProperty(kPictureKindProperty)) continue;  // its own
      std::optional<PictureStore::Entry> stored = PictureStore::Instance().Get(format.name());
      if (!stored) continue;
      doc.addResource(QTextDocument::ImageResource, QUrl(format.name()), stored->image);
      format.setProperty(kPictureDataProperty, stored->bytes);
      format.setProperty(kPictureKindProperty, stored->kind);
      if (!stored->source.isEmpty()) format.setProperty(kPictureSourceProperty, stored->source);
      if (!stored->crop.isEmpty()) format.setProperty(kPictureCropProperty, stored->crop);
      pasted.push_back({fragment.position(), fragment.position() + fragment.length(), format});
    }
  }
  if (pasted.empty()) return;
  QTextCursor cursor(&doc);
  cursor.joinPreviousEditBlock();
  for (const Pasted& p : pasted) {
    cursor.setPosition(p.start);
    cursor.setPosition(p.end, QTextCursor::KeepAnchor);
    cursor.setCharFormat(p.format);
  }
  cursor.endEditBlock();
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

}  // namespace tlm
