#pragma once
// Puts a picture into an editor's text. The picture is a QTextImageFormat
// named "tlm-picture:<n>" whose image is a resource of the document (see
// text_document_pictures.h); the bytes kept with it are what an RTF file
// stores.
#include <QByteArray>
#include <QImage>
#include <QTextCursor>

namespace tlm {

// Inserts `image` at the cursor, `widthTwips` x `heightTwips` on the page
// (0: the image's own size at its dpi, made smaller to fit the text width);
// `encoded` (PNG or JPEG bytes, may be empty: then PNG is made) is what the
// RTF file will store. A null image inserts nothing.
void InsertPicture(QTextCursor& cursor, const QImage& image, const QByteArray& encoded, int widthTwips,
                   int heightTwips);

}  // namespace tlm
