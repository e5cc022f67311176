#include "compose/file_pictures.h"

#include <QFileInfo>
#include <QImageReader>
#include <QTextBlock>
#include <QTextCursor>
#include <algorithm>
#include <cmath>

#include "faximage/fax_errors.h"
#include "faximage/pdf_document.h"
#include "faximage/raster_source.h"
#include "richtext/picture_insert.h"
#include "richtext/rich_text_editor.h"

namespace tlm {

namespace {

// Room left under a picture for the descent of the line it stands on.
constexpr int kLineRoomTwips = 360;

bool StartsWith(const std::vector<std::uint8_t>& bytes, const char* magic, std::size_t n) {
  return bytes.size() >= n && std::equal(magic, magic + n, bytes.begin());
}

bool IsTiff(const std::vector<std::uint8_t>& bytes) {
  return StartsWith(bytes, "II*\0", 4) || StartsWith(bytes, "MM\0*", 4);
}

// `widthIn` x `heightIn` inches made as large as the box allows.
void Fit(double widthIn, double heightIn, int boxWidth, int boxHeight, FilePicture& picture) {
  const double scale = std::min(boxWidth / (widthIn * 1440), boxHeight / (heightIn * 1440));
  picture.widthTwips = std::max(15, int(std::lround(widthIn * 1440 * scale)));
  picture.heightTwips = std::max(15, int(std::lround(heightIn * 1440 * scale)));
}

QImage ImageOf(const MonoBitmap& bitmap, double dpi) {
  QImage image(bitmap.width, bitmap.height, QImage::Format_Mono);
  image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});  // bit value 1 white
  const int bytes = (bitmap.width + 7) / 8;
  for (int y = 0; y < bitmap.height; ++y) std::copy_n(bitmap.Row(y), bytes, image.scanLine(y));
  image.setDotsPerMeterX(int(std::lround(dpi / 0.0254)));
  image.setDotsPerMeterY(int(std::lround(dpi / 0.0254)));
  return image;
}

std::vector<FilePicture> PdfPictures(std::vector<std::uint8_t> bytes, int boxWidth, int boxHeight, double dpi) {
  PdfDocument document(std::move(bytes));
  if (document.PageCount() > kMaxInsertedPages) {
    throw std::runtime_error("The PDF file has " + std::to_string(document.PageCount()) +
                             " pages; at most " + std::to_string(kMaxInsertedPages) +
                             " can be inserted into a fax document");
  }
  std::vector<FilePicture> pictures;
  for (int i = 0; i < document.PageCount(); ++i) {
    FilePicture picture;
    const PdfPageSize size = document.PageSize(i);
    Fit(size.width, size.height, boxWidth, boxHeight, picture);
    // Rendered at the fax page's own pixels for the box it gets.
    const double pageDpi = dpi * picture.widthTwips / (size.width * 1440);
    FaxRaster raster{pageDpi, pageDpi, int(std::ceil(boxWidth / 1440.0 * dpi)) + 2,
                     int(std::ceil(boxHeight / 1440.0 * dpi)) + 2};
    picture.image = ImageOf(document.RenderPage(i, raster), pageDpi);
    pictures.push_back(std::move(picture));
  }
  return pictures;
}

// TIFF pages through the fax image layer's readers (CCITT coded ones too),
// each in the proportions its resolution gives. A page whose file gives
// none is taken for a fax page when it is as wide as a fax line (204 dots
// per inch across, fine or standard down by its length), else as a page of
// square pixels.
std::vector<FilePicture> TiffPictures(std::vector<std::uint8_t> bytes, int boxWidth, int boxHeight) {
  const std::vector<ImageResolution> resolutions = TiffPageResolutions(bytes);
  std::unique_ptr<RasterSource> source = TiffIsCcittCoded(bytes) ? OpenCcittTiff(std::move(bytes)) : OpenTiff(std::move(bytes));
  std::vector<FilePicture> pictures;
  int width = 0, height = 0;
  while (source->NextPage(width, height)) {
    if (int(pictures.size()) == kMaxInsertedPages) {
      throw std::runtime_error("The TIFF file has more than " + std::to_string(kMaxInsertedPages) +
                               " pages, more than can be inserted into a fax document");
    }
    if (width <= 0 || height <= 0) ThrowFaxError(ecBadGraphicsFormat);
    QImage image(width, height, QImage::Format_Mono);
    image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});  // the readers' rows: 1 black
    image.fill(0);
    for (int y = 0; y < height; ++y) {
      if (!source->ReadRow(image.scanLine(y), std::size_t(image.bytesPerLine()))) ThrowFaxError(ecBadGraphicsFormat);
    }
    const bool faxWidth = width == 1728 || width == 2048 || width == 2432;
    double xdpi = faxWidth ? 204 : 200;
    double ydpi = faxWidth ? (height > 1500 ? 196 : 98) : 200;
    if (pictures.size() < resolutions.size() && resolutions[pictures.size()].x > 0) {
      xdpi = resolutions[pictures.size()].x;
      ydpi = resolutions[pictures.size()].y;
    }
    FilePicture picture;
    Fit(width / xdpi, height / ydpi, boxWidth, boxHeight, picture);
    picture.image = std::move(image);
    pictures.push_back(std::move(picture));
  }
  if (pictures.empty()) ThrowFaxError(ecBadGraphicsFormat);
  return pictures;
}

// A PNG, JPEG, BMP (or another format Qt reads) picture, its size checked
// before any pixel is read.
std::vector<FilePicture> ImagePictures(const QString& path, const QByteArray& bytes, int boxWidth, int boxHeight,
                                       QString* error) {
  QImageReader reader(path);
  const QSize size = reader.size();
  if (!reader.canRead()) {
    *error = QStringLiteral("\"%1\" is not a PDF file or a picture that can be inserted (PDF, TIFF, PNG, JPEG, BMP).")
                 .arg(QFileInfo(path).fileName());
    return {};
  }
  if (size.isValid() && (size.width() > kMaxPictureSide || size.height() > kMaxPictureSide)) {
    *error = QStringLiteral("The picture \"%1\" is too large (%2 x %3 pixels).")
                 .arg(QFileInfo(path).fileName())
                 .arg(size.width())
                 .arg(size.height());
    return {};
  }
  FilePicture picture;
  picture.image = reader.read();
  if (picture.image.isNull()) {
    *error = QStringLiteral("The picture \"%1\" cannot be read: %2.").arg(QFileInfo(path).fileName(), reader.errorString());
    return {};
  }
  picture.encoded = bytes;  // kept when PNG or JPEG, else the picture is stored as PNG
  Fit(picture.image.width(), picture.image.height(), boxWidth, boxHeight, picture);
  return {picture};
}

}  // namespace

std::vector<FilePicture> ReadFilePictures(const QString& path, int boxWidthTwips, int boxHeightTwips, double dpi,
                                          QString* error) {
  const QString name = QFileInfo(path).fileName();
  try {
    std::vector<std::uint8_t> bytes = ReadImageFile(path.toStdString());
    if (LooksLikePdf(bytes)) return PdfPictures(std::move(bytes), boxWidthTwips, boxHeightTwips, dpi);
    if (IsTiff(bytes)) return TiffPictures(std::move(bytes), boxWidthTwips, boxHeightTwips);
    const QByteArray raw(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    return ImagePictures(path, raw, boxWidthTwips, boxHeightTwips, error);
  } catch (const EFaxImageError& e) {
    *error = QStringLiteral("\"%1\" cannot be inserted: %2.").arg(name, QString::fromStdString(e.what()));
  } catch (const std::exception& e) {
    *error = QStringLiteral("\"%1\" cannot be inserted: %2.").arg(name, QString::fromStdString(e.what()));
  }
  return {};
}

void PictureBoxOf(const RichTextEditor& editor, int& widthTwips, int& heightTwips) {
  const rtf::PageSetup page = editor.PageSetup();
  widthTwips = std::max(1440, page.paperWidth - page.marginLeft - page.marginRight);
  heightTwips = std::max(1440, page.paperHeight - page.marginTop - page.marginBottom - kLineRoomTwips);
}

void InsertFilePictures(RichTextEditor& editor, const std::vector<FilePicture>& pictures) {
  if (pictures.empty()) return;
  QTextCursor cursor = editor.TextCursor();
  cursor.beginEditBlock();
  auto newPage = [&cursor] {
    QTextBlockFormat format = cursor.blockFormat();
    format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    cursor.insertBlock(format);
  };
  // The first picture starts a page of its own unless it starts the text.
  const bool atTextStart = cursor.block().previous().isValid() == false && cursor.atBlockStart();
  if (!atTextStart) {
    if (cursor.atBlockStart() && cursor.block().text().isEmpty()) {
      QTextBlockFormat format = cursor.blockFormat();
      format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
      cursor.setBlockFormat(format);
    } else {
      newPage();
    }
  }
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    if (i > 0) newPage();
    const FilePicture& p = pictures[i];
    InsertPicture(cursor, p.image, p.encoded, p.widthTwips, p.heightTwips);
  }
  if (!cursor.atBlockEnd()) newPage();
  cursor.endEditBlock();
  editor.SetTextCursor(cursor);
  editor.Reformat();
}

}  // namespace tlm
