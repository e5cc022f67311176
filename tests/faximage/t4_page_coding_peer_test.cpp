// Our MR and MMR against libtiff's: our pages, stored as the one strip of a
// Group 3 2-D or Group 4 TIFF, read back by libtiff with every pixel kept;
// and libtiff's own coding of the same pages decoded by ours.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <string>
#include <vector>

#include "fax_test_util.h"
#include "faximage/t4_page_coding.h"
#include "support/temp_dir.h"
#include "tiff_pages.h"

namespace tlm::testing {
namespace {

std::vector<std::pair<std::string, Page>> Charts() {
  std::vector<std::pair<std::string, Page>> charts;
  for (int n = 1; n <= 8; ++n) charts.emplace_back("itu" + std::to_string(n), ReadPbm(ItuChart(n)));
  charts.emplace_back("text-page", ReadPbm(ImageFixture("text-page.pbm")));
  return charts;
}

// Tags of a page coded as `coding`, bits least significant first.
void SetTags(TIFF* t, const Page& page, T4Coding coding) {
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, page.width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, page.height);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_COMPRESSION, coding == T4Coding::MMR ? COMPRESSION_CCITTFAX4 : COMPRESSION_CCITTFAX3);
  if (coding == T4Coding::MR) TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, GROUP3OPT_2DENCODING);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, page.height);
  TIFFSetField(t, TIFFTAG_YRESOLUTION, 196.0);
  TIFFSetField(t, TIFFTAG_XRESOLUTION, 204.0);
}

std::string OurCoding(const Page& page, T4Coding coding) {
  T4PageEncoder encoder(coding, page.width, 4, 0);
  std::string out;
  for (int y = 0; y < page.height; ++y) encoder.EncodeLine(page.Row(y), out);
  encoder.Finish(out);
  return out;
}

// libtiff codes the page; its strip's bytes.
std::string TheirCoding(const std::string& path, const Page& page, T4Coding coding) {
  TIFF* t = TIFFOpen(path.c_str(), "w");
  if (!t) return {};
  SetTags(t, page, coding);
  for (int y = 0; y < page.height; ++y) TIFFWriteScanline(t, const_cast<std::uint8_t*>(page.Row(y)), std::uint32_t(y), 0);
  TIFFClose(t);
  t = TIFFOpen(path.c_str(), "r");
  if (!t) return {};
  std::string strip(std::size_t(TIFFRawStripSize(t, 0)), '\0');
  const tmsize_t n = TIFFReadRawStrip(t, 0, strip.data(), tmsize_t(strip.size()));
  TIFFClose(t);
  strip.resize(n > 0 ? std::size_t(n) : 0);
  return strip;
}

Page OurDecoding(const std::string& data, T4Coding coding, int width) {
  Page page(width, 0);
  T4PageDecoder decoder(coding, width, [&](const std::uint8_t* line, int) {
    page.bits.insert(page.bits.end(), line, line + (width + 7) / 8);
    ++page.height;
    return true;
  });
  decoder.Feed(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
  decoder.Finish();
  EXPECT_EQ(decoder.BadLines(), 0);
  return page;
}

TEST(T4PageCodingPeer, LibtiffReadsOurMrAndMmr) {
  const TempDir dir;
  for (const auto& [name, page] : Charts()) {
    for (const T4Coding coding : {T4Coding::MR, T4Coding::MMR}) {
      SCOPED_TRACE(name + (coding == T4Coding::MR ? " MR" : " MMR"));
      const std::string path = dir.File("ours.tif");
      TIFF* t = TIFFOpen(path.c_str(), "w");
      ASSERT_NE(t, nullptr);
      SetTags(t, page, coding);
      std::string coded = OurCoding(page, coding);
      ASSERT_GE(TIFFWriteRawStrip(t, 0, coded.data(), tmsize_t(coded.size())), 0);
      TIFFClose(t);
      EXPECT_TRUE(ReadTiffPage(path) == page);
    }
  }
}

TEST(T4PageCodingPeer, OursReadsLibtiffsMrAndMmr) {
  const TempDir dir;
  for (const auto& [name, page] : Charts()) {
    for (const T4Coding coding : {T4Coding::MR, T4Coding::MMR}) {
      SCOPED_TRACE(name + (coding == T4Coding::MR ? " MR" : " MMR"));
      const std::string strip = TheirCoding(dir.File("theirs.tif"), page, coding);
      ASSERT_FALSE(strip.empty());
      const Page decoded = OurDecoding(strip, coding, page.width);
      EXPECT_EQ(decoded.height, page.height);
      EXPECT_TRUE(decoded == page);
    }
  }
}

}  // namespace
}  // namespace tlm::testing
