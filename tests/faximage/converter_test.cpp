// The converter: every input type into the pages it must give, the page
// geometry options, text layout, events, and the partial file removed on
// every failure.
#include <gtest/gtest.h>

#include <filesystem>

#include "fax_test_util.h"
#include "faximage/binary_file.h"
#include "faximage/fax_converter.h"
#include "faximage/fax_errors.h"
#include "faximage/fax_unpack_engine.h"
#include "support/temp_dir.h"

namespace tlm::testing {
namespace {

// Page `n` of an APF file as decoded lines, without resolution correction.
Page DecodePage(const std::string& file, int n) {
  ApfPageHeader h;
  std::uint64_t offset = 0;
  EXPECT_EQ(ApfLocatePage(file, n, h, offset), 0);
  Page page(h.Width(), 0);
  UnpackApfPage(file, n, {}, {}, [&](const std::uint8_t* line, int bytes) {
    page.height++;
    page.bits.insert(page.bits.end(), line, line + bytes);
  });
  return page;
}

int PageCount(const std::string& file) {
  int n = -1;
  EXPECT_EQ(ApfCountPages(file, n), 0);
  return n;
}

std::uint16_t PageFlags(const std::string& file, int n) {
  ApfPageHeader h;
  std::uint64_t offset = 0;
  EXPECT_EQ(ApfLocatePage(file, n, h, offset), 0);
  return h.flags;
}

// The source page as the converter places it: shifted right by the margin.
Page Placed(const Page& source, int margin, int width = 1728) {
  Page out(width, source.height);
  for (int y = 0; y < source.height; ++y) {
    for (int x = 0; x < source.width && x + margin < width; ++x) {
      if (source.Black(x, y)) out.Set(x + margin, y);
    }
  }
  return out;
}

class Converter : public ::testing::Test {
 protected:
  std::string Convert(TFaxInputDocumentType type, const std::string& input) {
    c.InputDocumentType = type;
    c.SetDocumentFile(input);
    c.OutFileName = dir.File("out.apf");
    c.ConvertToApf();
    return c.OutFileName;
  }
  std::string ConvertText(const std::string& text) {
    WriteFile(dir.File("in.txt"), text);
    return Convert(idText, dir.File("in.txt"));
  }
  TempDir dir;
  TKvFaxConverter c;
};

TEST_F(Converter, ReadsEveryAcceptedFixtureIntoTheExpectedPage) {
  const Page expected = Placed(ReadPbm(ImageFixture("text-page.pbm")), 50);
  for (auto [type, name] : {std::pair{idTiff, "text-page-none.tif"}, std::pair{idTiff, "text-page-packbits.tif"},
                            std::pair{idPcx, "text-page.pcx"}, std::pair{idBmp, "text-page-1bit.bmp"},
                            std::pair{idDcx, "text-pages.dcx"}}) {
    SCOPED_TRACE(name);
    const std::string out = Convert(type, ImageFixture(name));
    EXPECT_EQ(PageCount(out), type == idDcx ? 2 : 1);
    EXPECT_EQ(PageFlags(out, 1), kApfLengthWords);
    EXPECT_TRUE(DecodePage(out, 1) == expected);
  }
  // The DCX file's second page is a page of its own.
  const Page second = DecodePage(dir.File("out.apf"), 2);
  EXPECT_GT(second.height, 100);
  EXPECT_FALSE(second == expected);
}

// An independent reading of a 24-bit bottom-up BMP.
struct Rgb24 {
  int width = 0, height = 0;
  std::size_t offset = 0;
  std::string data;
  int Sum(int x, int y) const {
    const std::size_t stride = std::size_t((width * 3 + 3) / 4 * 4);
    const std::size_t at = offset + std::size_t(height - 1 - y) * stride + std::size_t(x) * 3;
    return std::uint8_t(data[at]) + std::uint8_t(data[at + 1]) + std::uint8_t(data[at + 2]);
  }
};

TEST_F(Converter, DithersAColourBmpAndDoublesAndCentresIt) {
  Rgb24 bmp;
  bmp.data = ReadFile(ImageFixture("photo-24bit.bmp"));
  bmp.width = int(GetLe32(reinterpret_cast<const std::uint8_t*>(&bmp.data[18])));
  bmp.height = int(GetLe32(reinterpret_cast<const std::uint8_t*>(&bmp.data[22])));
  bmp.offset = GetLe32(reinterpret_cast<const std::uint8_t*>(&bmp.data[10]));
  ASSERT_EQ(GetLe16(reinterpret_cast<const std::uint8_t*>(&bmp.data[28])), 24);
  // The ordered-dither rule: four rounds over the low bits of x and y.
  auto threshold = [](int a, int b) {
    int d = 0;
    for (int i = 0; i < 4; ++i, a >>= 1, b >>= 1) d = 2 * d | 2 * ((a ^ b) & 1) | (b & 1);
    return 10 * d;
  };
  const std::string out = Convert(idBmp, ImageFixture("photo-24bit.bmp"));
  // Doubled (800 pixels fit in 1728 - 50) and centred (1728 - 800) / 32 bytes
  // into the half-width line, after the doubled margin.
  const int start = 2 * (50 + 8 * ((1728 - 2 * bmp.width) / 32));
  Page expected(1728, bmp.height);
  long black = 0;
  for (int y = 0; y < bmp.height; ++y) {
    for (int x = 0; x < bmp.width; ++x) {
      if (bmp.Sum(x, y) < threshold(x % 32, y % 32)) {
        expected.Set(start + 2 * x, y);
        expected.Set(start + 2 * x + 1, y);
        ++black;
      }
    }
  }
  EXPECT_GT(black, 1000);
  EXPECT_TRUE(DecodePage(out, 1) == expected);

  // The same picture as a colour image in memory gives the same page.
  RgbImage image(bmp.width, bmp.height);
  for (int y = 0; y < bmp.height; ++y) {
    for (int x = 0; x < bmp.width; ++x) {
      const std::size_t stride = std::size_t((bmp.width * 3 + 3) / 4 * 4);
      const char* px = &bmp.data[bmp.offset + std::size_t(bmp.height - 1 - y) * stride + std::size_t(x) * 3];
      image.Pixel(x, y)[0] = std::uint8_t(px[2]);
      image.Pixel(x, y)[1] = std::uint8_t(px[1]);
      image.Pixel(x, y)[2] = std::uint8_t(px[0]);
    }
  }
  c.ColorBitmap = &image;
  c.ConvertBitmapToApf(dir.File("memory.apf"));
  EXPECT_TRUE(DecodePage(dir.File("memory.apf"), 1) == expected);
}

// Group 3 TIFF pages are taken (their pixels are compared with libtiff's in
// the peer tests); a TIFF of 8 bits per sample is still refused.
TEST_F(Converter, TakesTheGroup3TiffAndRefusesGreyTiff) {
  Convert(idTiff, ImageFixture("text-page-g3.tif"));
  int pages = 0;
  EXPECT_EQ(ApfCountPages(dir.File("out.apf"), pages), 0);
  EXPECT_EQ(pages, 1);
  std::filesystem::remove(dir.File("out.apf"));

  std::vector<std::uint8_t> grey = {'I', 'I', 42, 0, 8, 0, 0, 0, 4, 0};
  for (auto [tag, value] : {std::pair<std::uint16_t, std::uint32_t>{256, 8}, {257, 2}, {258, 8}, {273, 62}}) {
    const std::size_t at = grey.size();
    grey.resize(at + 12, 0);
    PutLe16(&grey[at], tag);
    PutLe16(&grey[at + 2], 4);
    PutLe32(&grey[at + 4], 1);
    PutLe32(&grey[at + 8], value);
  }
  grey.resize(62 + 16, 0x80);
  WriteFile(dir.File("grey.tif"), grey);
  try {
    Convert(idTiff, dir.File("grey.tif"));
    FAIL() << "no error";
  } catch (const EBadGraphicsFormat& e) {
    EXPECT_EQ(e.Code(), 8002);
    EXPECT_STREQ(e.what(), "Unsupported graphics file format");
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.apf")));
}

TEST_F(Converter, FineAndWidePagesCarryTheirFlags) {
  c.Resolution = frHigh;
  EXPECT_EQ(PageFlags(ConvertText("x\n"), 1), 5);
  c.Width = fwWide;
  const std::string out = ConvertText("x\n");
  EXPECT_EQ(PageFlags(out, 1), 7);
  EXPECT_EQ(DecodePage(out, 1).width, 2048);
}

TEST_F(Converter, WritesTheNormativeRecordsAndHeader) {
  // An all-white bitmap: every line record is fill, EOL, white 1728; the
  // page ends with the end-of-page record; the header is final.
  MonoBitmap white(333, 3);
  c.Bitmap = &white;
  c.TopMargin = 2;
  c.StationId = "12345";
  c.ConvertBitmapToApf(dir.File("white.apf"));
  const std::string file = ReadFile(dir.File("white.apf"));
  std::string expected = BuildApf({{4, RecordData({{kT4BlankLineRecord.begin(), kT4BlankLineRecord.end()},
                                                   {kT4BlankLineRecord.begin(), kT4BlankLineRecord.end()},
                                                   {kT4BlankLineRecord.begin(), kT4BlankLineRecord.end()},
                                                   {kT4BlankLineRecord.begin(), kT4BlankLineRecord.end()},
                                                   {kT4BlankLineRecord.begin(), kT4BlankLineRecord.end()},
                                                   {kT4EndOfPageRecord.begin(), kT4EndOfPageRecord.end()}})}});
  ASSERT_EQ(file.size(), expected.size());
  // Creation time and station ID differ from the hand-made header.
  EXPECT_EQ(file.substr(0, 6), expected.substr(0, 6));
  EXPECT_NE(file.substr(6, 4), std::string(4, '\0'));
  EXPECT_EQ(file.substr(10, 22), std::string("\x05") + "12345" + std::string(15, ' ') + std::string(1, '\0'));
  EXPECT_EQ(file.substr(32), expected.substr(32));
}

TEST_F(Converter, TextPagesFollowLinesPerPageFormFeedsAndTabs) {
  const std::string five = "1\n2\n3\n4\n5\n";
  c.LinesPerPage = 2;
  EXPECT_EQ(PageCount(ConvertText(five)), 3);
  c.LinesPerPage = 0;
  std::string out = ConvertText(five);
  EXPECT_EQ(PageCount(out), 1);
  EXPECT_EQ(DecodePage(out, 1).height, 5 * 16);
  // A form feed ends the page; a trailing one starts none.
  EXPECT_EQ(PageCount(ConvertText("a\fb\nc\f\n")), 2);
  // A tab alone is four spaces: the page equals that of "    X".
  const Page tabbed = DecodePage(ConvertText("\tX\n"), 1);
  EXPECT_TRUE(DecodePage(ConvertText("    X\n"), 1) == tabbed);
  EXPECT_FALSE(DecodePage(ConvertText("X\n"), 1) == tabbed);
  // UTF-8 text is drawn in the font's code page 1252; other bytes as they are.
  const Page latin = DecodePage(ConvertText("\xC4 \x80 ?\n"), 1);
  EXPECT_TRUE(DecodePage(ConvertText("\xC3\x84 \xE2\x82\xAC \xE2\x86\x92\n"), 1) == latin);  // Ä € →
  EXPECT_FALSE(DecodePage(ConvertText("A \x80 ?\n"), 1) == latin);
  // Fine resolution doubles the glyph rows; the small font has 8.
  c.Resolution = frHigh;
  EXPECT_EQ(DecodePage(ConvertText("ab\n"), 1).height, 32);
  c.Resolution = frNormal;
  c.FontType = ffSmall;
  EXPECT_EQ(DecodePage(ConvertText("ab\ncd\n"), 1).height, 16);
}

TEST_F(Converter, BuiltInFontGlyphsLandInTheirCells) {
  c.LeftMargin = 0;
  const Page page = DecodePage(ConvertText("H H\n"), 1);
  auto inkIn = [&](int x0, int x1) {
    int n = 0;
    for (int y = 0; y < page.height; ++y)
      for (int x = x0; x < x1; ++x) n += page.Black(x, y);
    return n;
  };
  EXPECT_GT(inkIn(0, 20), 20);
  EXPECT_EQ(inkIn(20, 40), 0);  // the space
  EXPECT_EQ(inkIn(40, 60), inkIn(0, 20));
  EXPECT_EQ(inkIn(60, 1728), 0);
}

TEST_F(Converter, StatusAbortAndQuitRemoveThePartialFile) {
  WriteFile(dir.File("in.txt"), std::string(200, 'x') + "\n" + std::string(200, 'y') + "\n");
  int events = 0;
  bool sawStart = false, sawEnd = false;
  c.OnStatus = [&](TKvFaxConverter&, bool starting, bool ending, int, int lines, long, long, bool& abort) {
    ++events;
    sawStart |= starting;
    sawEnd |= ending;
    if (lines == 20) abort = true;
  };
  EXPECT_THROW(Convert(idText, dir.File("in.txt")), EConvertAbort);
  EXPECT_TRUE(sawStart);
  EXPECT_FALSE(sawEnd);
  EXPECT_EQ(events, 21);
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.apf")));

  c.OnStatus = nullptr;
  int yields = 0;
  c.OnYield = [&] { return ++yields < 2; };
  c.SetOptions(coYieldOften);
  EXPECT_EQ(c.Options(), coYieldOften | coYield);
  try {
    Convert(idText, dir.File("in.txt"));
    FAIL();
  } catch (const EFaxImageError& e) {
    EXPECT_EQ(e.Code(), 1003);
  }
  EXPECT_EQ(yields, 2);  // after lines 16 and 32
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.apf")));
  // A missing input: the system's error, and no output.
  EXPECT_THROW(Convert(idBmp, dir.File("missing.bmp")), EFaxImageError);
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.apf")));
  // An older file of the output's name survives a failed conversion, and
  // no temporary file is left beside it.
  WriteFile(dir.File("out.apf"), "older");
  c.OnYield = [] { return false; };
  EXPECT_THROW(Convert(idText, dir.File("in.txt")), EFaxImageError);
  EXPECT_EQ(ReadFile(dir.File("out.apf")), "older");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Folder()), {}), 2);
}

TEST_F(Converter, RefusesNoneAndBitmapForFiles) {
  for (auto type : {idNone, idBitmap}) {
    try {
      Convert(type, dir.File("x.txt"));
      FAIL();
    } catch (const EFaxImageError& e) {
      EXPECT_EQ(e.Code(), 1002);
    }
  }
}

TEST_F(Converter, UserLinesComeFromTheCallbacks) {
  std::string opened;
  int closed = 0, read = 0;
  c.OnOpenUserFile = [&](TKvFaxConverter&, const std::string& name) { opened = name; };
  c.OnCloseUserFile = [&](TKvFaxConverter&) { ++closed; };
  c.OnReadUserLine = [&](TKvFaxConverter&, std::uint8_t* data, int& len, bool& endOfPage, bool& morePages) {
    EXPECT_EQ(len, 216);
    data[read % 216] = 0xFF;
    ++read;
    endOfPage = read == 3 || read == 5;
    morePages = read == 3;
  };
  c.LeftMargin = 0;
  c.DefUserExtension = "USR";
  const std::string out = Convert(idUser, dir.File("lines"));
  EXPECT_EQ(opened, dir.File("lines.USR"));
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(PageCount(out), 2);
  const Page p2 = DecodePage(out, 2);
  ASSERT_EQ(p2.height, 2);
  EXPECT_EQ(p2.Row(1)[4], 0xFF);
  // Without a reader the one page has one blank line.
  c.OnReadUserLine = nullptr;
  const Page blank = DecodePage(Convert(idUser, dir.File("lines")), 1);
  EXPECT_EQ(blank.height, 1);
}

TEST_F(Converter, BitmapGeometryOptions) {
  MonoBitmap bitmap(800, 10);
  for (int y = 0; y < 10; ++y) bitmap.SetBlack(0, y, true);
  c.Bitmap = &bitmap;
  c.LeftMargin = 0;
  // Centred without doubling: (1728 - 800) / 16 = 58 bytes in.
  c.SetOptions(coCenterImage);
  c.ConvertBitmapToApf(dir.File("a.apf"));
  Page p = DecodePage(dir.File("a.apf"), 1);
  EXPECT_EQ(p.height, 10);
  EXPECT_TRUE(p.Black(58 * 8, 0));
  // Half height: every second row.
  c.SetOptions(coHalfHeight);
  c.ConvertBitmapToApf(dir.File("a.apf"));
  p = DecodePage(dir.File("a.apf"), 1);
  EXPECT_EQ(p.height, 5);
  EXPECT_TRUE(p.Black(0, 0));
  // Not at fine resolution, and no doubling where it does not fit.
  c.Resolution = frHigh;
  c.SetOptions(coHalfHeight | coDoubleWidth);
  c.ConvertBitmapToApf(dir.File("a.apf"));
  EXPECT_EQ(DecodePage(dir.File("a.apf"), 1).height, 10);
  EXPECT_EQ(PageFlags(dir.File("a.apf"), 1), 5);
  c.Resolution = frNormal;
  bitmap = MonoBitmap(900, 2);
  bitmap.SetBlack(899, 0, true);
  c.ConvertBitmapToApf(dir.File("a.apf"));
  p = DecodePage(dir.File("a.apf"), 1);
  EXPECT_EQ(p.height, 1);  // 1800 does not fit: half height instead
  EXPECT_TRUE(p.Black(899, 0));
}

TEST_F(Converter, OutputNames) {
  c.SetDocumentFile("/x/letter.txt");
  EXPECT_EQ(c.OutFileName, "/x/letter.APF");
  c.OutFileName = "/y/fax";
  EXPECT_EQ(c.OutputPath(), "/y/fax.APF");
  c.OutFileName.clear();
  EXPECT_EQ(c.OutputPath(), "/x/letter.APF");
}

// Draws every text as a black bar as long as the text, 3 pixels a character.
class BarRasterizer : public FaxTextRasterizer {
 public:
  int height = 12;
  int lastPointSize = 0;
  int TextHeight(const FaxFontSpec&, int pointSize) override {
    lastPointSize = pointSize;
    return height;
  }
  MonoBitmap DrawText(const FaxFontSpec&, int, const std::string& text, int width, int h) override {
    MonoBitmap b(width, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < std::min<int>(width, 3 * int(text.size())); ++x) b.SetBlack(x, y, true);
    return b;
  }
};

TEST_F(Converter, OutlineFontTextGoesThroughTheRasterizer) {
  BarRasterizer r;
  c.TextRasterizer = &r;
  c.LeftMargin = 0;
  WriteFile(dir.File("in.txt"), "abcd\nab\n");
  Page p = DecodePage(Convert(idTextEx, dir.File("in.txt")), 1);
  EXPECT_EQ(p.height, 24);
  // Standard resolution: pixels doubled horizontally.
  EXPECT_TRUE(p.Black(23, 0));
  EXPECT_FALSE(p.Black(24, 0));
  EXPECT_TRUE(p.Black(11, 12));
  EXPECT_FALSE(p.Black(12, 12));
  c.Resolution = frHigh;
  p = DecodePage(Convert(idTextEx, dir.File("in.txt")), 1);
  EXPECT_EQ(r.lastPointSize, 20);
  EXPECT_TRUE(p.Black(11, 0));
  EXPECT_FALSE(p.Black(12, 0));
  // A bitmap above 65536 bytes is refused.
  r.height = 400;
  std::filesystem::remove(dir.File("out.apf"));
  try {
    Convert(idTextEx, dir.File("in.txt"));
    FAIL();
  } catch (const EFaxImageError& e) {
    EXPECT_EQ(e.Code(), 8055);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.apf")));
}

}  // namespace
}  // namespace tlm::testing
