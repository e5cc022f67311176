#include "richtext/picture_insert.h"

#include <QTextDocument>
#include <QTextFrame>
#include <algorithm>
#include <cmath>

#include "richtext/text_document_pictures.h"

namespace tlm {
namespace {

bool IsJpeg(const QByteArray& bytes) { return bytes.startsWith("\xFF\xD8\xFF"); }
bool IsPng(const QByteArray& bytes) { return bytes.startsWith("\x89PNG\r\n\x1A\n"); }

// The width of the text between the margins, in twips; 0 when unknown.
int TextWidthTwips(const QTextDocument& doc) {
  QTextFrameFormat frame = doc.rootFrame()->frameFormat();
  double width = doc.pageSize().width() - frame.leftMargin() - frame.rightMargin();
  return width > 0 ? static_cast<int>(width * 1440.0 / DocumentDpi(doc)) : 0;
}

}  // namespace

void InsertPicture(QTextCursor& cursor, const QImage& image, const QByteArray& encoded, int widthTwips,
                   int heightTwips) {
  if (image.isNull() || cursor.isNull()) return;
  rtf::Picture picture;
  if (IsPng(encoded)) {
    picture.kind = rtf::PictureKind::Png;
    picture.data = encoded.toStdString();
  } else if (IsJpeg(encoded)) {
    picture.kind = rtf::PictureKind::Jpeg;
    picture.data = encoded.toStdString();
  } else {
    // Encoded as PNG when the text is first saved or rendered, not here:
    // inserting the pages of a long file stays quick.
    picture.kind = rtf::PictureKind::Png;
  }
  if (widthTwips <= 0 || heightTwips <= 0) {
    const double dpi = ImageDpi(image);
    double width = image.width() * 1440.0 / dpi;
    double height = image.height() * 1440.0 / dpi;
    // A picture wider than the text is made to fit it.
    int room = TextWidthTwips(*cursor.document());
    if (room > 0 && width > room) {
      height = height * room / width;
      width = room;
    }
    widthTwips = std::max(15, static_cast<int>(std::lround(width)));
    heightTwips = std::max(15, static_cast<int>(std::lround(height)));
  }
  picture.widthTwips = widthTwips;
  picture.heightTwips = heightTwips;
  QTextCharFormat format = cursor.charFormat();
  format.clearProperty(QTextFormat::ObjectType);
  InsertModelPicture(cursor, picture, format, false, &image);
}

}  // namespace tlm
