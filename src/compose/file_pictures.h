#pragma once
// A file as pictures of a fax document: every page of a PDF file or a TIFF
// image, or one PNG, JPEG or BMP picture, each filling the text area of a
// fax page. PDF pages are rendered in black and white at the resolution fax
// pages are painted at, so their text comes out as crisp as typed text.
#include <QByteArray>
#include <QImage>
#include <QString>
#include <vector>

namespace tlm {

class RichTextEditor;

struct FilePicture {
  QImage image;
  QByteArray encoded;  // the file's own bytes (stored as they are when PNG or JPEG)
  int widthTwips = 0;
  int heightTwips = 0;
};

// A file of more pages is not inserted (each page is a picture in memory
// and in the document's RTF).
inline constexpr int kMaxInsertedPages = 200;
// Fax pages are painted at 200 dots per inch (rich_text_pages.h).
inline constexpr double kFaxPictureDpi = 200;
// Pictures larger than this (each side, in pixels) are refused unread.
inline constexpr int kMaxPictureSide = 20000;

// The pages of `path`, each fitted into `boxWidthTwips` x `boxHeightTwips`
// keeping its proportions; PDF pages rendered at `dpi`. Empty, with
// `*error` saying why for the user, when the file cannot be used.
std::vector<FilePicture> ReadFilePictures(const QString& path, int boxWidthTwips, int boxHeightTwips, double dpi,
                                          QString* error);

// The box a page of `editor`'s text takes: the width between its margins
// and the height between them, less room for the line the picture sits on.
void PictureBoxOf(const RichTextEditor& editor, int& widthTwips, int& heightTwips);

// Puts the pictures in at the editor's cursor, each on a page of its own:
// page breaks between them, before the first unless it starts the text,
// and after the last when text follows on its line.
void InsertFilePictures(RichTextEditor& editor, const std::vector<FilePicture>& pictures);

}  // namespace tlm
