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
#include <deque>
#include <mutex>
#include <optional>

#include "faximage/mono_bitmap.h"
#include "faximage/raster_source.h"
#include "richtext/page_renderer.h"

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

// The pictures of the editors' documents, by name, for a paste into another
// document: the copied text names its pictures but does not carry them.
// The most recent ones are kept, up to a bound.
class PictureStore {
 public:
  struct Entry {
    QImage image;
    QByteArray bytes;
    int kind = 0;
    QString source;
  };

  static PictureStore& Instance() {
    static PictureStore store;
    return store;
  }

  void Put(const QString& name, Entry entry) {
    std::lock_guard lock(mutex_);
    auto known = entries_.find(name);
    if (known != entries_.end()) bytes_ -= Size(*known);
    bytes_ += Size(entry);
    entries_.insert(name, std::move(entry));
    order_.push_back(name);
    while (order_.size() > 1 && (order_.size() > kMaxEntries || bytes_ > kMaxBytes)) {
      auto old = entries_.find(order_.front());
      if (old != entries_.end()) {
        bytes_ -= Size(*old);
        entries_.erase(old);
      }
      order_.pop_front();
    }
  }

  std::optional<Entry> Get(const QString& name) const {
    std::lock_guard lock(mutex_);
    auto it = entries_.constFind(name);
    if (it == entries_.constEnd()) return std::nullopt;
    return *it;
  }

 private:
  static constexpr std::size_t kMaxEntries = 256;
  static constexpr qint64 kMaxBytes = 256ll << 20;
  static qint64 Size(const Entry& e) { return e.image.sizeInBytes() + e.bytes.size(); }

  mutable std::mutex mutex_;
  QHash<QString, Entry> entries_;
  std::deque<QString> order_;
  qint64 bytes_ = 0;
};

// Every document finds a picture it lacks in the store.
void ProvideStoredPictures() {
  static std::once_flag once;
  std::call_once(once, [] {
    QTextDocument::setDefaultResourceProvider([](const QUrl& url) -> QVariant {
      if (!url.toString().startsWith(kScheme)) return {};
      std::optional<PictureStore::Entry> entry = PictureStore::Instance().Get(url.toString());
      return entry ? QVariant(entry->image) : QVariant();
    });
  });
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
  if (!forPrinting) {
    ProvideStoredPictures();
    PictureStore::Instance().Put(PictureUrl(n), {image, bytes, static_cast<int>(picture.kind),
                                                 format.property(kPictureSourceProperty).toString()});
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
  if (bytes.isEmpty()) {
    // Pasted from another document, or encoded already: the store has it.
    if (std::optional<PictureStore::Entry> stored = PictureStore::Instance().Get(format.name())) {
      bytes = stored->bytes;
      kind = stored->kind;
      source = stored->source;
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
    PictureStore::Instance().Put(format.name(), {image, bytes, static_cast<int>(out.kind), QString()});
  }
  out.data.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  double width = format.width() > 0 ? format.width() : image.width();
  double height = format.height() > 0 ? format.height() : image.height();
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
