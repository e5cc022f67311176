#pragma once
// Pictures in a QTextDocument. Each is a QTextImageFormat named
// "tlm-picture:<n>", whose QImage is registered with the document as an
// ImageResource under that name; its width and height are the picture's size
// in the document's pixels. The format also keeps the bytes an RTF file
// stores (PNG or JPEG, or an unshown picture's own data), so that a picture
// is saved exactly as it was read.
#include <QHash>
#include <QImage>
#include <QTextDocument>
#include <QTextFormat>
#include <QTextImageFormat>

#include "richtext/rtf/rtf_document.h"

class QTextCursor;
class QTextFragment;

namespace tlm {

inline constexpr int kPictureDataProperty = QTextFormat::UserProperty + 0x210;    // QByteArray
inline constexpr int kPictureKindProperty = QTextFormat::UserProperty + 0x211;    // rtf::PictureKind
inline constexpr int kPictureSourceProperty = QTextFormat::UserProperty + 0x212;  // "wmetafile8 picw pich"
inline constexpr int kPictureCropProperty = QTextFormat::UserProperty + 0x213;    // "left top right bottom" twips

// Pictures larger than this many pixels are not decoded (a file that claims
// 60000 x 60000 pixels would need gigabytes).
inline constexpr qint64 kMaxPicturePixels = 40'000'000;

// The resource name of picture number `n`.
QString PictureUrl(int n);
// True when `format` is one of this program's pictures.
bool IsPictureFormat(const QTextFormat& format);

// Decodes PNG or JPEG bytes; a null image when they are damaged or too large.
QImage DecodePictureBytes(const QByteArray& bytes);

// The resolution an image was made for (96 when it does not say), rounded
// to a tenth so that 3780 dots a metre is 96 dpi.
double ImageDpi(const QImage& image);

// The resolution the document's pixels have (set by BuildTextDocument).
double DocumentDpi(const QTextDocument& doc);
void SetDocumentDpi(QTextDocument& doc, double dpi);

// Registers the image of `picture` with the document and inserts it at the
// cursor with `charFormat`'s font. `forPrinting`: an unshown picture is
// blank; otherwise a grey frame marks its box. `decoded`, when given, is the
// picture's image already decoded.
void InsertModelPicture(QTextCursor& cursor, const rtf::Picture& picture, const QTextCharFormat& charFormat,
                        bool forPrinting, const QImage* decoded = nullptr);

// The picture an image format stands for, its size in twips. A picture
// without kept bytes (e.g. pasted as HTML) is stored as PNG made from its
// image. False when the format has no image.
bool PictureFromFormat(const QTextDocument& doc, const QTextImageFormat& format, rtf::Picture& out);

// Makes the pictures pasted into `doc` from another document its own: their
// images become resources of `doc` and their stored bytes ride on their
// formats, so that they outlive the store of recent pictures.
void AdoptPastedPictures(QTextDocument& doc);

// Appends the pictures among a fragment's characters to `para` and to
// `doc.pictures` (each picture once; `seen` maps resource names to their
// number). False when the fragment holds no image.
bool AppendFragmentPictures(const QTextDocument& in, const QTextFragment& fragment, const rtf::CharFormat& format,
                            rtf::Paragraph& para, rtf::Document& doc, QHash<QString, int>& seen);

}  // namespace tlm
