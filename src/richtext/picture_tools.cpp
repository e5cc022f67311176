#include "richtext/picture_tools.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeData>
#include <QTextDocument>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "richtext/picture_insert.h"
#include "richtext/text_document_pictures.h"

namespace tlm {
namespace {

constexpr int kMaxTwips = 63360;

bool IsPictureAt(const QTextDocument& doc, int position) {
  if (position < 0 || position >= doc.characterCount() - 1) return false;
  QTextCursor c(const_cast<QTextDocument*>(&doc));
  c.setPosition(position);
  c.setPosition(position + 1, QTextCursor::KeepAnchor);
  return c.selectedText() == QString(QChar::ObjectReplacementCharacter) && IsPictureFormat(c.charFormat());
}

bool IsPictureFile(const QString& path) {
  QImageReader reader(path);
  return QFileInfo(path).isFile() && reader.canRead();
}

}  // namespace

bool InsertPictureFile(QTextCursor& cursor, const QString& path, QString* error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    if (error) *error = QStringLiteral("Cannot read %1").arg(path);
    return false;
  }
  if (file.size() > kMaxPictureFileBytes) {
    if (error) *error = QStringLiteral("%1 is too large to insert as a picture.").arg(path);
    return false;
  }
  const QByteArray bytes = file.readAll();
  const QSize claimed = QImageReader(path).size();
  if (claimed.isValid() && qint64(claimed.width()) * claimed.height() > kMaxPicturePixels) {
    if (error) {
      *error = QStringLiteral("%1 is too large a picture to insert (%2 x %3 pixels).")
                   .arg(path)
                   .arg(claimed.width())
                   .arg(claimed.height());
    }
    return false;
  }
  const QImage image = DecodePictureBytes(bytes);
  if (image.isNull()) {
    if (error) *error = QStringLiteral("%1 is not a picture that can be inserted.").arg(path);
    return false;
  }
  InsertPicture(cursor, image, bytes, 0, 0);
  return true;
}

bool MimeHoldsPictures(const QMimeData& mime) {
  if (mime.hasUrls()) {
    const QList<QUrl> urls = mime.urls();
    return !urls.isEmpty() && std::all_of(urls.begin(), urls.end(), [](const QUrl& url) {
      return url.isLocalFile() && IsPictureFile(url.toLocalFile());
    });
  }
  // A browser's "Copy Image" adds HTML naming the picture, but no text.
  return mime.hasImage() && (!mime.hasText() || mime.text().trimmed().isEmpty());
}

bool InsertPicturesFromMime(QTextCursor& cursor, const QMimeData& mime, QString* error) {
  if (!MimeHoldsPictures(mime)) return false;
  if (mime.hasUrls()) {
    bool any = false;
    cursor.beginEditBlock();
    for (const QUrl& url : mime.urls()) any = InsertPictureFile(cursor, url.toLocalFile(), error) || any;
    cursor.endEditBlock();
    return any;
  }
  const QImage image = qvariant_cast<QImage>(mime.imageData());
  if (image.isNull()) return false;
  InsertPicture(cursor, image, QByteArray(), 0, 0);
  return true;
}

bool PictureAtCursor(const QTextCursor& cursor, QTextCursor& picture) {
  const QTextDocument* doc = cursor.document();
  if (!doc) return false;
  int at = -1;
  if (cursor.hasSelection()) {
    if (cursor.selectionEnd() - cursor.selectionStart() == 1 && IsPictureAt(*doc, cursor.selectionStart())) {
      at = cursor.selectionStart();
    }
  } else if (IsPictureAt(*doc, cursor.position())) {
    at = cursor.position();
  } else if (IsPictureAt(*doc, cursor.position() - 1)) {
    at = cursor.position() - 1;
  }
  if (at < 0) return false;
  picture = QTextCursor(const_cast<QTextDocument*>(doc));
  picture.setPosition(at);
  picture.setPosition(at + 1, QTextCursor::KeepAnchor);
  return true;
}

QSize PictureSizeTwips(const QTextCursor& picture) {
  const QTextImageFormat format = picture.charFormat().toImageFormat();
  const double dpi = DocumentDpi(*picture.document());
  return QSize(static_cast<int>(std::lround(format.width() * 1440.0 / dpi)),
               static_cast<int>(std::lround(format.height() * 1440.0 / dpi)));
}

QImage PictureImage(const QTextCursor& picture) {
  const QTextImageFormat format = picture.charFormat().toImageFormat();
  return picture.document()->resource(QTextDocument::ImageResource, QUrl(format.name())).value<QImage>();
}

void ResizePicture(QTextCursor& picture, QSize twips) {
  const double dpi = DocumentDpi(*picture.document());
  QTextImageFormat format = picture.charFormat().toImageFormat();
  const double oldWidth = format.width();
  const double oldHeight = format.height();
  format.setWidth(std::clamp(twips.width(), 15, kMaxTwips) * dpi / 1440.0);
  format.setHeight(std::clamp(twips.height(), 15, kMaxTwips) * dpi / 1440.0);
  // What a crop cuts off grows and shrinks with the picture.
  const QStringList crop = format.property(kPictureCropProperty).toString().split(' ');
  if (crop.size() == 4 && oldWidth > 0 && oldHeight > 0) {
    const double sx = format.width() / oldWidth;
    const double sy = format.height() / oldHeight;
    QStringList scaled;
    for (int i = 0; i < 4; ++i) scaled << QString::number(std::lround(crop[i].toInt() * (i % 2 == 0 ? sx : sy)));
    format.setProperty(kPictureCropProperty, scaled.join(' '));
  }
  picture.setCharFormat(format);
}

}  // namespace tlm
