// TIFF pages coded with CCITT Group 3 (modified Huffman, 1-D, 2-D) and
// Group 4, written by libtiff, convert into fax pages with every pixel kept.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <filesystem>

#include "fax_test_util.h"
#include "faximage/apf_file.h"
#include "faximage/fax_converter.h"
#include "faximage/fax_errors.h"
#include "faximage/fax_unpacker.h"
#include "faximage/raster_source.h"
#include "support/temp_dir.h"

namespace tlm::testing {
namespace {

// A page with text-like strokes, a diagonal and a black edge at the right.
Page Pattern(int seed, int height) {
  Page p(1728, height);
  for (int y = 0; y < height; ++y) {
    for (int x = (y * 7 + seed) % 50; x < 1728; x += 37 + (x + y + seed) % 23) {
      for (int k = 0; k < 1 + (x + seed) % 9 && x + k < 1728; ++k) p.Set(x + k, y);
    }
    p.Set((y * 3 + seed) % 1728, y);
    p.Set(1727, y);
  }
  return p;
}

struct Coding {
  const char* name;
  std::uint16_t compression;
  std::uint32_t group3Options;
};

bool WriteTiff(const std::string& path, const std::vector<Page>& pages, const Coding& coding, bool minIsBlack) {
  TIFF* t = TIFFOpen(path.c_str(), "w");
  if (!t) return false;
  for (const Page& page : pages) {
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, page.width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, page.height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_COMPRESSION, coding.compression);
    if (coding.compression == COMPRESSION_CCITTFAX3) TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, coding.group3Options);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, minIsBlack ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 128);
    TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    std::vector<std::uint8_t> row(std::size_t(page.RowBytes()));
    for (int y = 0; y < page.height; ++y) {
      for (std::size_t i = 0; i < row.size(); ++i) row[i] = minIsBlack ? std::uint8_t(~page.Row(y)[i]) : page.Row(y)[i];
      if (TIFFWriteScanline(t, row.data(), std::uint32_t(y), 0) < 0) {
        TIFFClose(t);
        return false;
      }
    }
    if (!TIFFWriteDirectory(t)) {
      TIFFClose(t);
      return false;
    }
  }
  TIFFClose(t);
  return true;
}

int ConvertTiff(const std::string& in, const std::string& out) {
  TKvFaxConverter c;
  c.InputDocumentType = idTiff;
  c.SetOptions(0);
  c.LeftMargin = 0;
  c.Resolution = frHigh;
  c.SetDocumentFile(in);
  c.OutFileName = out;
  try {
    c.ConvertToApf();
    return 0;
  } catch (const EFaxImageError& e) {
    return e.Code();
  }
}

class CcittTiff : public ::testing::TestWithParam<Coding> {};

TEST_P(CcittTiff, PagesConvertWithTheirPixelsUnchanged) {
  TempDir dir;
  for (bool minIsBlack : {false, true}) {
    const std::vector<Page> pages = {Pattern(1, 300), Pattern(2, 257)};
    const std::string in = dir.File("scan.tif"), out = dir.File("scan.APF");
    ASSERT_TRUE(WriteTiff(in, pages, GetParam(), minIsBlack));
    ASSERT_EQ(ConvertTiff(in, out), 0);
    TKvFaxUnpacker unpacker;
    unpacker.SetInFileName(out);
    ASSERT_EQ(unpacker.NumPages(), 2);
    for (int n = 1; n <= 2; ++n) {
      const Page got = Resized(PageOf(unpacker.UnpackPageToBitmap(n)), 1728);
      EXPECT_TRUE(got == pages[std::size_t(n - 1)]) << GetParam().name << " page " << n << " min-is-black " << minIsBlack;
    }
  }
}

// Coded data overwritten with zeros is a damaged file: no fax, the older one
// stays.
TEST_P(CcittTiff, DamagedCodedDataFailsAndWritesNothing) {
  TempDir dir;
  const std::string in = dir.File("cut.tif"), out = dir.File("cut.APF");
  ASSERT_TRUE(WriteTiff(in, {Pattern(3, 400)}, GetParam(), false));
  std::string bytes = ReadFile(in);
  // Two hundred bytes of the first strip, a little after its start, zeroed.
  TIFF* t = TIFFOpen(in.c_str(), "r");
  ASSERT_NE(t, nullptr);
  toff_t* offsets = nullptr;
  ASSERT_TRUE(TIFFGetField(t, TIFFTAG_STRIPOFFSETS, &offsets));
  const std::size_t dataStart = std::size_t(offsets[0]);
  TIFFClose(t);
  for (std::size_t i = dataStart + 40; i < dataStart + 240 && i < bytes.size(); ++i) bytes[i] = 0;
  WriteFile(in, bytes);
  WriteFile(out, std::string("older"));
  EXPECT_EQ(ConvertTiff(in, out), ecBadGraphicsFormat);
  EXPECT_EQ(ReadFile(out), "older");
}

INSTANTIATE_TEST_SUITE_P(Codings, CcittTiff,
                         ::testing::Values(Coding{"ModifiedHuffman", COMPRESSION_CCITTRLE, 0},
                                           Coding{"Group3OneD", COMPRESSION_CCITTFAX3, 0},
                                           Coding{"Group3TwoD", COMPRESSION_CCITTFAX3, GROUP3OPT_2DENCODING},
                                           Coding{"Group4", COMPRESSION_CCITTFAX4, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// Each page's resolution as its directory gives it: per inch, per
// centimetre, or none.
TEST(TiffResolution, EachPageGivesItsOwn) {
  TempDir dir;
  const std::string path = dir.File("three.tif");
  TIFF* t = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(t, nullptr);
  const std::uint8_t row[2] = {0xF0, 0x0F};
  for (int page = 0; page < 3; ++page) {
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 16);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, 1);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    if (page == 0) {
      TIFFSetField(t, TIFFTAG_XRESOLUTION, 204.0);
      TIFFSetField(t, TIFFTAG_YRESOLUTION, 98.0);
      TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    } else if (page == 1) {
      TIFFSetField(t, TIFFTAG_XRESOLUTION, 80.0);
      TIFFSetField(t, TIFFTAG_YRESOLUTION, 40.0);
      TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_CENTIMETER);
    }
    TIFFWriteScanline(t, const_cast<std::uint8_t*>(row), 0, 0);
    TIFFWriteDirectory(t);
  }
  TIFFClose(t);
  const std::string bytes = ReadFile(path);
  const std::vector<ImageResolution> pages = TiffPageResolutions(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_DOUBLE_EQ(pages[0].x, 204);
  EXPECT_DOUBLE_EQ(pages[0].y, 98);
  EXPECT_NEAR(pages[1].x, 203.2, 1e-3);
  EXPECT_NEAR(pages[1].y, 101.6, 1e-3);
  EXPECT_EQ(pages[2].x, 0);
  EXPECT_TRUE(TiffPageResolutions({'n', 'o', 't'}).empty());
}

}  // namespace
}  // namespace tlm::testing
