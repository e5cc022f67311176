// Independent T.4 coders agree with ours: netpbm's g3topbm and pbmtog3 on
// raw streams, libtiff on the same streams wrapped as CCITT Group 3 TIFF.
#include <gtest/gtest.h>
#include <tiffio.h>

#include "fax_test_util.h"
#include "tiff_pages.h"
#include "faximage/fax_converter.h"
#include "faximage/fax_unpack_engine.h"
#include "support/temp_dir.h"

namespace tlm::testing {
namespace {

// The pages the peers check: real text and images.
std::vector<std::pair<std::string, Page>> SourcePages(const TempDir& dir) {
  std::vector<std::pair<std::string, Page>> pages;
  for (int n : {1, 4, 5, 7}) pages.emplace_back("itu" + std::to_string(n), ReadPbm(ItuChart(n)));
  pages.emplace_back("text-page", ReadPbm(ImageFixture("text-page.pbm")));
  // A page of the built-in font, rendered by the converter and decoded back.
  const std::string text = dir.File("letter.txt");
  std::string letter;
  for (int i = 0; i < 40; ++i) letter += "Line " + std::to_string(i) + ":\tThe quick brown fox jumps over the lazy dog 0123456789 {}[]\n";
  WriteFile(text, letter);
  TKvFaxConverter c;
  c.InputDocumentType = idText;
  c.Resolution = frHigh;
  c.LinesPerPage = 0;
  c.SetDocumentFile(text);
  c.ConvertToApf();
  Page font(1728, 0);
  UnpackApfPage(c.OutputPath(), 1, {}, {}, [&](const std::uint8_t* line, int bytes) {
    font.height++;
    font.bits.insert(font.bits.end(), line, line + bytes);
  });
  pages.emplace_back("font-text", font);
  return pages;
}

// Our decoder on a raw stream stored as an APF page.
Page DecodeWithUs(const TempDir& dir, const std::vector<std::uint8_t>& stream, int width) {
  const std::string file = dir.File("peer.apf");
  WriteFile(file, BuildApf({{std::uint16_t(width == 2048 ? kApfWide : 0), stream}}));
  Page page(width, 0);
  UnpackApfPage(file, 1, {}, {}, [&](const std::uint8_t* line, int bytes) {
    page.height++;
    page.bits.insert(page.bits.end(), line, line + bytes);
  });
  return page;
}

// libtiff's own Group 3 one-dimensional coding of a page: the raw strip.
std::vector<std::uint8_t> EncodeWithLibtiff(const TempDir& dir, const Page& page) {
  const std::string path = dir.File("libtiff-g3.tif");
  TIFF* t = TIFFOpen(path.c_str(), "w");
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, page.width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, page.height);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, page.height);
  TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, 0);
  for (int y = 0; y < page.height; ++y) TIFFWriteScanline(t, const_cast<std::uint8_t*>(page.Row(y)), std::uint32_t(y), 0);
  TIFFClose(t);
  t = TIFFOpen(path.c_str(), "r");
  std::vector<std::uint8_t> strip(std::size_t(TIFFRawStripSize(t, 0)));
  strip.resize(std::size_t(TIFFReadRawStrip(t, 0, strip.data(), tmsize_t(strip.size()))));
  TIFFClose(t);
  return strip;
}

class PeerCoders : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { TIFFSetWarningHandler(nullptr); }
  TempDir dir;
};

TEST_F(PeerCoders, OurPagesDecodeWithG3topbmAndLibtiff) {
  for (const auto& [name, page] : SourcePages(dir)) {
    SCOPED_TRACE(name);
    const std::vector<std::uint8_t> stream = RawStream(EncodePage(page));
    WriteFile(dir.File("page.g3"), stream);
    ASSERT_EQ(RunShell("g3topbm -reversebits " + dir.File("page.g3") + " > " + dir.File("g3topbm.pbm") + " 2>/dev/null"), 0);
    EXPECT_TRUE(ReadPbm(dir.File("g3topbm.pbm")) == page);

    ASSERT_TRUE(WriteG3Tiff(dir.File("ours.tif"), stream, page.width, page.height));
    EXPECT_TRUE(ReadTiffPage(dir.File("ours.tif")) == page);
  }
}

TEST_F(PeerCoders, PagesCodedByPbmtog3AndLibtiffDecodeWithOurUnpacker) {
  for (const auto& [name, page] : SourcePages(dir)) {
    SCOPED_TRACE(name);
    WritePbm(dir.File("src.pbm"), page);
    ASSERT_EQ(RunShell("pbmtog3 -reversebits " + dir.File("src.pbm") + " > " + dir.File("pbmtog3.g3") + " 2>/dev/null"), 0);
    const std::string g3 = ReadFile(dir.File("pbmtog3.g3"));
    EXPECT_TRUE(DecodeWithUs(dir, std::vector<std::uint8_t>(g3.begin(), g3.end()), page.width) == page);

    // libtiff writes an EOL before every line and no return-to-control;
    // a modem's stream ends with one, which ends the last line.
    std::vector<std::uint8_t> strip = EncodeWithLibtiff(dir, page);
    strip.insert(strip.end(), kT4EndOfPageRecord.begin(), kT4EndOfPageRecord.end());
    EXPECT_TRUE(DecodeWithUs(dir, strip, page.width) == page);
  }
}

TEST_F(PeerCoders, TheGroup3TiffFixtureDecodesToTheSourcePage) {
  // Made by tiffcp -c g3: its strips hold the page's T.4 stream.
  const Page expected = ReadPbm(ImageFixture("text-page.pbm"));
  TIFF* t = TIFFOpen(ImageFixture("text-page-g3.tif").c_str(), "r");
  ASSERT_NE(t, nullptr);
  std::uint16_t fillOrder = FILLORDER_MSB2LSB, photometric = PHOTOMETRIC_MINISWHITE;
  TIFFGetFieldDefaulted(t, TIFFTAG_FILLORDER, &fillOrder);
  TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric);
  std::vector<std::uint8_t> stream;
  for (tstrip_t s = 0; s < TIFFNumberOfStrips(t); ++s) {
    std::vector<std::uint8_t> strip(std::size_t(TIFFRawStripSize(t, s)));
    strip.resize(std::size_t(TIFFReadRawStrip(t, s, strip.data(), tmsize_t(strip.size()))));
    stream.insert(stream.end(), strip.begin(), strip.end());
  }
  TIFFClose(t);
  if (fillOrder == FILLORDER_MSB2LSB) {
    for (auto& b : stream) {
      std::uint8_t r = 0;
      for (int i = 0; i < 8; ++i) r = std::uint8_t(r | (((b >> i) & 1) << (7 - i)));
      b = r;
    }
  }
  stream.insert(stream.end(), kT4EndOfPageRecord.begin(), kT4EndOfPageRecord.end());
  Page decoded = DecodeWithUs(dir, stream, 1728);
  // Min-is-black: the code's white runs are the page's black pixels.
  if (photometric == PHOTOMETRIC_MINISBLACK) {
    for (auto& b : decoded.bits) b = std::uint8_t(~b);
  }
  EXPECT_TRUE(decoded == expected);
}

}  // namespace
}  // namespace tlm::testing
