#pragma once
// TKvFaxConverter: turns a text file, an image file, a bitmap in memory or
// lines supplied by the owner into an APF fax file.
//
// One conversion reads raster lines through a line reader chosen by the
// input type, codes each line as a T.4 line record and writes the pages with
// an ApfWriter. Events are plain callbacks; yielding to the owner's event
// loop is the OnYield callback (return false when the program is quitting).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "faximage/mono_bitmap.h"
#include "faximage/pdf_document.h"

namespace tlm {

// idPdf (last, so the others keep their values): a PDF file, each page
// rendered at the fax resolution.
enum TFaxInputDocumentType { idNone, idText, idTextEx, idTiff, idPcx, idDcx, idBmp, idBitmap, idUser, idPdf };
enum TFaxResolution { frNormal, frHigh };
enum TFaxWidth { fwNormal, fwWide };
enum TFaxFont { ffStandard, ffSmall };

// Option bits (a set of TFaxCvtOptions).
enum TFaxCvtOption : std::uint8_t {
  coDoubleWidth = 1,
  coHalfHeight = 2,
  coCenterImage = 4,
  coYield = 8,
  coYieldOften = 16,
};
using TFaxCvtOptions = std::uint8_t;

// The outline font of idTextEx.
struct FaxFontSpec {
  std::string family = "Courier New";
  int pointSize = 10;
  bool bold = false;
  bool italic = false;
};

// Draws text with an outline font; the Qt layers provide it.
class FaxTextRasterizer {
 public:
  virtual ~FaxTextRasterizer() = default;
  // Height in pixels of the text "Wy" in `font` at `pointSize`.
  virtual int TextHeight(const FaxFontSpec& font, int pointSize) = 0;
  // `text` drawn black on white from the left edge into a bitmap of
  // `width` by `height` pixels (bit value 1 white).
  virtual MonoBitmap DrawText(const FaxFontSpec& font, int pointSize, const std::string& text, int width,
                              int height) = 0;
};

class TKvFaxConverter;
class FaxLineReader;

using TFaxStatusEvent = std::function<void(TKvFaxConverter& f, bool starting, bool ending, int pagesConverted,
                                           int linesConverted, long bytesConverted, long bytesToConvert,
                                           bool& abort)>;
using TFaxOutputLineEvent = std::function<void(TKvFaxConverter& f, const std::uint8_t* data, int len,
                                               bool endOfPage, bool morePages)>;
using TFaxOpenFileEvent = std::function<void(TKvFaxConverter& f, const std::string& fileName)>;
using TFaxCloseFileEvent = std::function<void(TKvFaxConverter& f)>;
// Fills `data` (the line buffer, width / 8 bytes, 1 black) with one line.
using TFaxReadLineEvent = std::function<void(TKvFaxConverter& f, std::uint8_t* data, int& len, bool& endOfPage,
                                             bool& morePages)>;

class TKvFaxConverter {
 public:
  TKvFaxConverter();
  ~TKvFaxConverter();

  // Properties.
  TFaxInputDocumentType InputDocumentType = idNone;
  TFaxResolution Resolution = frNormal;
  TFaxWidth Width = fwNormal;
  int TopMargin = 0;
  int LeftMargin = 50;
  int LinesPerPage = 60;
  int TabStop = 4;
  FaxFontSpec EnhFont;
  std::string FontFile = "KVFAX.FNT";  // the built-in font is compiled in; kept as a name only
  TFaxFont FontType = ffStandard;
  std::string DefUserExtension;
  std::string StationId;  // written into the file header
  // The pages of a PDF input to convert.
  PdfPageRange PdfPages;

  TFaxCvtOptions Options() const { return options_; }
  // coYieldOften always brings coYield with it.
  void SetOptions(TFaxCvtOptions options);

  const std::string& DocumentFile() const { return documentFile_; }
  // Also sets OutFileName to the document's name with the extension ".APF".
  void SetDocumentFile(const std::string& fileName);
  std::string OutFileName;

  // The bitmap of idBitmap (bit value 1 white), or instead a colour image
  // that is dithered; not owned.
  const MonoBitmap* Bitmap = nullptr;
  const RgbImage* ColorBitmap = nullptr;
  // The outline-font rasteriser of idTextEx; not owned.
  FaxTextRasterizer* TextRasterizer = nullptr;

  // Events.
  TFaxStatusEvent OnStatus;
  TFaxOutputLineEvent OnOutputLine;  // declared for line output; file conversions do not raise it
  TFaxOpenFileEvent OnOpenUserFile;
  TFaxCloseFileEvent OnCloseUserFile;
  TFaxReadLineEvent OnReadUserLine;
  // Lets the owner process pending events; false means quit (error 1003).
  std::function<bool()> OnYield;

  // Converts DocumentFile into the output file (see OutputPath()). Throws an
  // EFaxImageError; the partial output file is deleted on every failure.
  void ConvertToApf();
  // Converts the in-memory Bitmap into `outFile` (idBitmap).
  void ConvertBitmapToApf(const std::string& outFile);

  // OutFileName with ".APF" added when it has no extension, or else
  // DocumentFile with its extension replaced by ".APF".
  std::string OutputPath() const;
  int PageWidth() const { return Width == fwWide ? 2048 : 1728; }

 private:
  friend class UserLineReader;
  void Convert(FaxLineReader& reader, const std::string& outFile);
  std::unique_ptr<FaxLineReader> MakeReader(const std::string& inFile);
  void Yield();

  TFaxCvtOptions options_ = coDoubleWidth | coCenterImage | coYield;
  MonoBitmap dithered_;
  std::string documentFile_;
};

}  // namespace tlm
