// Text inputs: each text line becomes the raster lines of one row of
// characters, drawn with the built-in font or with an outline font.
#include <algorithm>
#include <cstring>
#include <vector>

#include "faximage/fax_errors.h"
#include "faximage/fax_line_reader.h"
#include "faximage/text_pages.h"

namespace tlm {
namespace {

// Walks the pages and text lines; subclasses draw one text line's rows.
class TextReaderBase : public FaxLineReader {
 public:
  TextReaderBase(std::string text, const FaxTextLayout& layout, const FaxPageSetup& setup)
      : total_(long(text.size())), setup_(setup), pages_(SplitTextPages(text, layout.linesPerPage, layout.tabStop)) {}

  void ReadLine(std::uint8_t* line, bool& endOfPage, bool& morePages) override {
    const auto& page = pages_[page_];
    if (row_ == 0) PrepareLine(page[line_]);
    DrawRow(row_, line);
    endOfPage = false;
    morePages = false;
    if (++row_ < RowsPerLine()) return;
    row_ = 0;
    if (++line_ < page.size()) return;
    line_ = 0;
    ++page_;
    endOfPage = true;
    morePages = page_ < pages_.size();
  }

  long BytesRead() const override {
    return pages_.empty() ? total_ : long(std::uint64_t(total_) * page_ / pages_.size());
  }
  long BytesTotal() const override { return total_; }

 protected:
  virtual int RowsPerLine() const = 0;
  virtual void PrepareLine(const std::string& text) = 0;
  virtual void DrawRow(int row, std::uint8_t* line) = 0;

  long total_;
  FaxPageSetup setup_;

 private:
  TextPages pages_;
  std::size_t page_ = 0, line_ = 0;
  int row_ = 0;
};

class FontTextReader final : public TextReaderBase {
 public:
  FontTextReader(std::string text, const FaxTextLayout& layout, const FaxPageSetup& setup,
                 const FaxFontMetrics& font)
      : TextReaderBase(std::move(text), layout, setup), font_(font) {
    maxChars_ = std::max(0, setup.width / font.cellWidth - setup.leftMargin / font.cellWidth);
  }

 protected:
  int RowsPerLine() const override { return font_.rows * (setup_.fine ? 2 : 1); }
  void PrepareLine(const std::string& text) override {
    text_ = text.substr(0, std::size_t(maxChars_));
  }
  void DrawRow(int row, std::uint8_t* line) override {
    const int glyphRow = setup_.fine ? row / 2 : row;
    const int lineBits = setup_.width;
    for (std::size_t i = 0; i < text_.size(); ++i) {
      const std::uint8_t* g = FaxGlyphRow(font_, std::uint8_t(text_[i]), glyphRow);
      std::uint32_t bits = 0;
      for (int b = 0; b < font_.rowBytes; ++b) bits = (bits << 8) | g[b];
      bits <<= 8 * (4 - font_.rowBytes);                          // left-aligned in 32 bits
      bits &= ~std::uint32_t(0) << (32 - font_.cellWidth);       // within the cell
      const int x = int(i) * font_.cellWidth;
      for (int b = 0; b < font_.cellWidth && bits; ++b, bits <<= 1) {
        if ((bits & 0x80000000u) && x + b < lineBits) line[(x + b) >> 3] |= std::uint8_t(0x80 >> ((x + b) & 7));
      }
    }
  }

 private:
  FaxFontMetrics font_;
  int maxChars_ = 0;
  std::string text_;
};

constexpr std::size_t kMaxTextExBitmap = 65536;

class OutlineTextReader final : public TextReaderBase {
 public:
  OutlineTextReader(std::string text, const FaxTextLayout& layout, const FaxPageSetup& setup,
                    FaxTextRasterizer& rasterizer, const FaxFontSpec& font)
      : TextReaderBase(std::move(text), layout, setup), rasterizer_(rasterizer), font_(font) {
    pointSize_ = setup.fine ? font.pointSize * 2 : font.pointSize;
    width_ = std::max(8, setup.width - setup.leftMargin);
    height_ = std::max(1, rasterizer.TextHeight(font, pointSize_));
    if (std::size_t((width_ + 7) / 8) * std::size_t(height_) > kMaxTextExBitmap) ThrowFaxError(ecEnhFontTooBig);
  }

 protected:
  int RowsPerLine() const override { return height_; }
  void PrepareLine(const std::string& text) override {
    bitmap_ = rasterizer_.DrawText(font_, pointSize_, text, width_, height_);
    if (bitmap_.width != width_ || bitmap_.height != height_ ||
        bitmap_.bits.size() < std::size_t(bitmap_.stride) * std::size_t(height_)) {
      ThrowFaxError(ecBadArgument);
    }
  }
  void DrawRow(int row, std::uint8_t* line) override {
    if (setup_.fine) {
      for (int x = 0; x < width_; ++x) {
        if (bitmap_.IsBlack(x, row)) line[x >> 3] |= std::uint8_t(0x80 >> (x & 7));
      }
      return;
    }
    // Standard resolution: the left half of the row, every pixel doubled.
    for (int x = 0; x < width_ / 2; ++x) {
      if (!bitmap_.IsBlack(x, row)) continue;
      const int o = 2 * x;
      line[o >> 3] |= std::uint8_t(0x80 >> (o & 7));
      line[(o + 1) >> 3] |= std::uint8_t(0x80 >> ((o + 1) & 7));
    }
  }

 private:
  FaxTextRasterizer& rasterizer_;
  FaxFontSpec font_;
  int pointSize_ = 10, width_ = 0, height_ = 0;
  MonoBitmap bitmap_;
};

}  // namespace

std::unique_ptr<FaxLineReader> MakeTextLineReader(std::string text, const FaxTextLayout& layout,
                                                  const FaxPageSetup& setup, const FaxFontMetrics& font) {
  return std::make_unique<FontTextReader>(std::move(text), layout, setup, font);
}

std::unique_ptr<FaxLineReader> MakeTextExLineReader(std::string text, const FaxTextLayout& layout,
                                                    const FaxPageSetup& setup, FaxTextRasterizer& rasterizer,
                                                    const FaxFontSpec& font) {
  return std::make_unique<OutlineTextReader>(std::move(text), layout, setup, rasterizer, font);
}

}  // namespace tlm
