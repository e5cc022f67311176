#pragma once
// The converter's inputs: each gives the raster lines of its pages.
#include <cstdint>
#include <memory>
#include <string>

#include "faximage/fax_converter.h"
#include "faximage/fax_font.h"
#include "faximage/raster_source.h"

namespace tlm {

// Page geometry of one conversion.
struct FaxPageSetup {
  int width = 1728;  // W
  int leftMargin = 50;
  bool fine = false;
  TFaxCvtOptions options = 0;
  bool fullLine = false;  // the image spans the whole line: no left margin
};

// How the current page is coded, decided by the reader when a page starts.
struct FaxPageMode {
  bool doubleWidth = false;
  bool halfHeight = false;
  bool fullLine = false;  // coded without the converter's left margin
};

class FaxLineReader {
 public:
  virtual ~FaxLineReader() = default;
  // Called before the first line of every page.
  virtual FaxPageMode StartPage() { return {}; }
  // Fills `line` (width / 8 bytes, cleared, 1 black) with the next line and
  // says whether it is the page's last one and whether pages follow.
  virtual void ReadLine(std::uint8_t* line, bool& endOfPage, bool& morePages) = 0;
  virtual void Close() {}
  virtual long BytesRead() const { return 0; }
  virtual long BytesTotal() const { return 0; }
};

// Pages of an image source, centred and doubled as the options say.
std::unique_ptr<FaxLineReader> MakeImageLineReader(std::unique_ptr<RasterSource> source,
                                                   const FaxPageSetup& setup);

// Text file pagination shared by both text inputs.
struct FaxTextLayout {
  int linesPerPage = 60;  // 0: no limit
  int tabStop = 4;        // 0: tabs are kept
};

// Text drawn with the built-in font.
std::unique_ptr<FaxLineReader> MakeTextLineReader(std::string text, const FaxTextLayout& layout,
                                                  const FaxPageSetup& setup, const FaxFontMetrics& font);

// Text drawn with an outline font through a rasteriser.
std::unique_ptr<FaxLineReader> MakeTextExLineReader(std::string text, const FaxTextLayout& layout,
                                                    const FaxPageSetup& setup, FaxTextRasterizer& rasterizer,
                                                    const FaxFontSpec& font);

}  // namespace tlm
