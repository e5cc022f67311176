#include "faximage/fax_converter.h"

#include <filesystem>
#include <vector>

#include "faximage/apf_writer.h"
#include "faximage/binary_file.h"
#include "faximage/fax_errors.h"
#include "faximage/fax_line_reader.h"
#include "faximage/t4_encoder.h"
#include "faximage/text_pages.h"

namespace tlm {

namespace {

constexpr std::uint64_t kMaxTextFileBytes = 64ull << 20;

std::string ReplaceExtension(const std::string& name, const std::string& extension) {
  std::filesystem::path p(name);
  p.replace_extension(extension);
  return p.string();
}

bool HasExtension(const std::string& name) { return std::filesystem::path(name).has_extension(); }

}  // namespace

// idUser: the owner's three callbacks.
class UserLineReader final : public FaxLineReader {
 public:
  UserLineReader(TKvFaxConverter& converter, const std::string& fileName) : c_(converter) {
    if (c_.OnOpenUserFile) c_.OnOpenUserFile(c_, fileName);
  }
  void ReadLine(std::uint8_t* line, bool& endOfPage, bool& morePages) override {
    if (!c_.OnReadUserLine) {
      endOfPage = true;
      morePages = false;
      return;
    }
    int len = c_.PageWidth() / 8;
    endOfPage = false;
    morePages = false;
    c_.OnReadUserLine(c_, line, len, endOfPage, morePages);
  }
  void Close() override {
    if (c_.OnCloseUserFile) c_.OnCloseUserFile(c_);
  }

 private:
  TKvFaxConverter& c_;
};

TKvFaxConverter::TKvFaxConverter() = default;
TKvFaxConverter::~TKvFaxConverter() = default;

void TKvFaxConverter::SetOptions(TFaxCvtOptions options) {
  if (options & coYieldOften) options |= coYield;
  options_ = options;
}

void TKvFaxConverter::SetDocumentFile(const std::string& fileName) {
  documentFile_ = fileName;
  OutFileName = ReplaceExtension(fileName, ".APF");
}

std::string TKvFaxConverter::OutputPath() const {
  if (!OutFileName.empty()) return HasExtension(OutFileName) ? OutFileName : OutFileName + ".APF";
  return ReplaceExtension(documentFile_, ".APF");
}

void TKvFaxConverter::Yield() {
  if (OnYield && !OnYield()) ThrowFaxError(ecGotQuitMsg);
}

std::unique_ptr<FaxLineReader> TKvFaxConverter::MakeReader(const std::string& inFile) {
  FaxPageSetup setup;
  setup.width = PageWidth();
  setup.leftMargin = std::max(0, LeftMargin);
  setup.fine = Resolution == frHigh;
  setup.options = options_;
  FaxTextLayout layout{std::max(0, LinesPerPage), std::max(0, TabStop)};
  // The type's extension is added only to a name without one that does not
  // name a file as it stands: the given type decides, not the name.
  auto withDefault = [&](const char* extension) {
    std::error_code ec;
    if (HasExtension(inFile) || inFile.empty() || std::filesystem::is_regular_file(inFile, ec)) return inFile;
    return inFile + "." + extension;
  };
  auto readText = [&] {
    std::vector<std::uint8_t> bytes;
    CheckFaxResult(ReadFileBytes(inFile, bytes, kMaxTextFileBytes, -ecBadGraphicsFormat));
    return std::string(bytes.begin(), bytes.end());
  };
  switch (InputDocumentType) {
    case idText:
      return MakeTextLineReader(ToFaxFontCodePage(readText()), layout, setup, FontType == ffSmall ? kFaxFontSmall : kFaxFontStandard);
    case idTextEx:
      if (!TextRasterizer) ThrowFaxError(ecConverterInitFailed);
      return MakeTextExLineReader(readText(), layout, setup, *TextRasterizer, EnhFont);
    case idTiff: return MakeImageLineReader(OpenTiff(ReadImageFile(withDefault("TIF"))), setup);
    case idPcx: return MakeImageLineReader(OpenPcx(ReadImageFile(withDefault("PCX"))), setup);
    case idDcx: return MakeImageLineReader(OpenDcx(ReadImageFile(withDefault("DCX"))), setup);
    case idBmp: return MakeImageLineReader(OpenBmp(ReadImageFile(withDefault("BMP"))), setup);
    case idPdf: {
      // A rendered page is the whole fax line at the fax resolution: it is
      // only centred, never doubled, halved or moved by the left margin.
      FaxPageSetup page = setup;
      page.options &= coCenterImage;
      page.fullLine = true;
      return MakeImageLineReader(
          OpenPdf(ReadImageFile(withDefault("PDF")), FaxRasterFor(setup.fine, setup.width), PdfPages), page);
    }
    case idBitmap:
      if (Bitmap) return MakeImageLineReader(OpenMonoBitmap(*Bitmap), setup);
      if (!ColorBitmap) ThrowFaxError(ecBadArgument);
      dithered_ = DitherToMono(*ColorBitmap);
      return MakeImageLineReader(OpenMonoBitmap(dithered_), setup);
    case idUser:
      return std::make_unique<UserLineReader>(
          *this, DefUserExtension.empty() ? inFile : (HasExtension(inFile) ? inFile : inFile + "." + DefUserExtension));
    default: ThrowFaxError(ecBadArgument);
  }
}

void TKvFaxConverter::ConvertToApf() {
  if (InputDocumentType == idNone || InputDocumentType == idBitmap) ThrowFaxError(ecBadArgument);
  const std::string outFile = OutputPath();
  if (outFile.empty()) ThrowFaxError(ecFileNotFound);
  std::unique_ptr<FaxLineReader> reader = MakeReader(documentFile_);
  Convert(*reader, outFile);
}

void TKvFaxConverter::ConvertBitmapToApf(const std::string& outFile) {
  const TFaxInputDocumentType saved = InputDocumentType;
  InputDocumentType = idBitmap;
  try {
    std::unique_ptr<FaxLineReader> reader = MakeReader({});
    InputDocumentType = saved;
    Convert(*reader, outFile);
  } catch (...) {
    InputDocumentType = saved;
    throw;
  }
}

void TKvFaxConverter::Convert(FaxLineReader& reader, const std::string& outFile) {
  ApfWriter writer;  // deletes the file unless finished
  writer.Create(outFile);
  const int width = PageWidth();
  const std::uint16_t flags =
      kApfLengthWords | (Resolution == frHigh ? kApfFine : 0) | (Width == fwWide ? kApfWide : 0);
  std::vector<std::uint8_t> line(std::size_t(width / 8));
  std::vector<std::uint8_t> record(kT4MaxLineRecord);
  // Blank lines of the top margin: the pre-coded record, or a coded blank
  // line of the full width on a wide page.
  std::vector<std::uint8_t> blank(kT4BlankLineRecord.begin(), kT4BlankLineRecord.end());
  if (width != 1728) {
    std::fill(line.begin(), line.end(), 0);
    blank.assign(record.begin(), record.begin() + std::ptrdiff_t(T4EncodeLine(line.data(), line.size(), {width, 0, false}, record.data())));
  }
  int pages = 0;
  long lines = 0;
  auto status = [&](bool starting, bool ending) {
    if (!OnStatus) return;
    bool abort = false;
    OnStatus(*this, starting, ending, pages, int(lines), reader.BytesRead(), reader.BytesTotal(), abort);
    if (abort) ThrowFaxError(ecConvertAbort);
  };

  bool closed = false;
  try {
    status(true, false);
    bool morePages = true;
    while (morePages) {
      const FaxPageMode mode = reader.StartPage();
      writer.BeginPage(flags);
      for (int i = 0; i < TopMargin; ++i) writer.WriteRecord(blank.data(), blank.size());
      const T4LineGeometry geometry{width, mode.fullLine ? 0 : std::max(0, LeftMargin), mode.doubleWidth};
      bool endOfPage = false;
      for (long lineInPage = 0; !endOfPage; ++lineInPage) {
        std::fill(line.begin(), line.end(), 0);
        morePages = false;
        reader.ReadLine(line.data(), endOfPage, morePages);
        ++lines;
        status(false, false);
        if (!mode.halfHeight || lineInPage % 2 == 0) {
          const std::size_t n = T4EncodeLine(line.data(), line.size(), geometry, record.data());
          writer.WriteRecord(record.data(), n);
        }
        if ((options_ & coYieldOften) && lines % 16 == 0) Yield();
      }
      writer.WriteRecord(kT4EndOfPageRecord.data(), kT4EndOfPageRecord.size());
      writer.EndPage();
      ++pages;
      if (options_ & coYield) Yield();
    }
    status(false, true);
    closed = true;
    reader.Close();
    writer.Finish(StationId);
  } catch (...) {
    if (!closed) reader.Close();
    writer.Abandon();
    throw;
  }
}

}  // namespace tlm
