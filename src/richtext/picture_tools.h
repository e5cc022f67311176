#pragma once
// What the editor does with pictures besides showing them: inserting an
// image file or the images of a paste or a drop, finding the picture at the
// caret, and resizing it.
#include <QImage>
#include <QSize>
#include <QString>
#include <QTextCursor>

class QMimeData;

namespace tlm {

// Image files larger than this are not read as pictures.
inline constexpr qint64 kMaxPictureFileBytes = 64ll << 20;

// Inserts the picture in the file at `path` (PNG, JPEG, BMP, GIF and the
// other formats Qt reads; PNG and JPEG keep their own bytes). False with a
// message in `error` when the file cannot be read or is not a picture.
bool InsertPictureFile(QTextCursor& cursor, const QString& path, QString* error = nullptr);

// True when a paste or drop of `mime` is pictures: an image without text
// (HTML may name it), or local files that are all pictures.
bool MimeHoldsPictures(const QMimeData& mime);
// Inserts the pictures of `mime` at the cursor; false when none could be.
bool InsertPicturesFromMime(QTextCursor& cursor, const QMimeData& mime, QString* error = nullptr);

// The picture at the cursor: the selected one, else the one just after or
// just before the caret. On success `picture` selects it.
bool PictureAtCursor(const QTextCursor& cursor, QTextCursor& picture);
// The size on the page, in twips, of the picture `picture` selects.
QSize PictureSizeTwips(const QTextCursor& picture);
// The image shown for the picture `picture` selects.
QImage PictureImage(const QTextCursor& picture);
// Gives the picture `picture` selects a new size on the page, in twips.
void ResizePicture(QTextCursor& picture, QSize twips);

}  // namespace tlm
