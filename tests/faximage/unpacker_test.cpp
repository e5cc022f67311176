// The unpacker: resolution correction, blank-line compression, bitmaps,
// scaling, exports read back by netpbm, events and abort.
#include <gtest/gtest.h>

#include <filesystem>

#include "fax_test_util.h"
#include "faximage/binary_file.h"
#include "faximage/fax_errors.h"
#include "faximage/fax_unpacker.h"
#include "faximage/raster_source.h"
#include "support/temp_dir.h"

namespace tlm::testing {
namespace {

// A page of `rows` lines; `black(y)` says which lines carry a black mark at
// pixels 96..103.
template <typename F>
ApfPageSpec MakePage(int rows, F black, std::uint16_t flags = kApfLengthWords) {
  Page p(flags & kApfWide ? 2048 : 1728, rows);
  for (int y = 0; y < rows; ++y) {
    if (black(y)) p.Row(y)[100 / 8] = 0xFF;
  }
  const auto records = EncodePage(p);
  return {flags, flags & kApfLengthWords ? RecordData(records) : RawStream(records)};
}

class Unpacker : public ::testing::Test {
 protected:
  std::string Write(const std::vector<ApfPageSpec>& pages) {
    const std::string file = dir.File("fax.apf");
    WriteFile(file, BuildApf(pages));
    u.SetInFileName(file);
    return file;
  }
  std::vector<std::vector<std::uint8_t>> Lines() {
    std::vector<std::vector<std::uint8_t>> lines;
    u.OnOutputLine = [&](TKvFaxUnpacker&, bool starting, bool ending, const std::uint8_t* data, int len, int) {
      if (!starting && !ending) lines.emplace_back(data, data + len);
    };
    u.UnpackFile();
    return lines;
  }
  TempDir dir;
  TKvFaxUnpacker u;
};

TEST_F(Unpacker, StandardPagesAreCorrectedFinePagesAreNot) {
  Write({MakePage(10, [](int y) { return y == 0; }), MakePage(10, [](int) { return false; }, 5)});
  EXPECT_EQ(Lines().size(), 20u + 10u);  // double height on the standard page only
  u.AutoScaleMode = asNone;
  EXPECT_EQ(Lines().size(), 20u);
  u.AutoScaleMode = asHalfWidth;
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 20u);
  EXPECT_EQ(lines[0].size(), 108u);
  EXPECT_EQ(lines[0][6], 0xF0);  // pixels 96..103 become 48..51
  EXPECT_EQ(lines[0][7], 0x00);
  EXPECT_EQ(lines[10].size(), 216u);
}

TEST_F(Unpacker, WhitespaceCompressionKeeps49AndShortens120) {
  // Black, 49 blank, black, 120 blank, black, 120 blank.
  auto black = [](int y) { return y == 0 || y == 50 || y == 171; };
  Write({MakePage(292, black, kApfLengthWords | kApfFine)});
  u.WhitespaceCompression = true;
  u.WhitespaceFrom = 50;
  u.WhitespaceTo = 10;
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 1u + 49 + 1 + 10 + 1 + 10);
  EXPECT_NE(lines[50][100 / 8], 0);
  EXPECT_NE(lines[61][100 / 8], 0);
  // Equal thresholds: nothing is output for the run at the page end.
  u.WhitespaceTo = 50;
  EXPECT_EQ(Lines().size(), 1u + 49 + 1 + 50 + 1);
  u.WhitespaceTo = 51;
  try {
    Lines();
    FAIL();
  } catch (const EFaxImageError& e) {
    EXPECT_EQ(e.Code(), 1002);
  }
}

TEST_F(Unpacker, BitmapWidthIsTheWidestContentRoundedToEvenBytes) {
  Write({MakePage(4, [](int y) { return y == 2; }, kApfLengthWords | kApfFine)});
  MonoBitmap b = u.UnpackPageToBitmap(1);
  EXPECT_EQ(b.height, 4);
  EXPECT_EQ(b.stride, 14);  // content ends in byte 12 (pixel 100..107)
  EXPECT_EQ(b.width, 14 * 8);
  EXPECT_TRUE(b.IsBlack(100, 2));
  EXPECT_FALSE(b.IsBlack(100, 1));
  // Scaling stretches it; assigning 0 is ignored.
  u.Scaling = true;
  u.SetHorizDiv(2);
  u.SetVertMult(3);
  u.SetVertMult(0);
  b = u.UnpackPageToBitmap(1);
  EXPECT_EQ(b.width, 56);
  EXPECT_EQ(b.height, 12);
  EXPECT_TRUE(b.IsBlack(50, 7));
}

TEST_F(Unpacker, ABlankPageExportsHeadersOnly) {
  Write({MakePage(7, [](int) { return false; })});
  const MonoBitmap b = u.UnpackPageToBitmap(1);
  EXPECT_EQ(b.width, 0);
  u.UnpackPageToBmp(1);
  EXPECT_EQ(std::filesystem::file_size(dir.File("fax.BMP")), 62u);
  u.UnpackPageToPcx(1);
  EXPECT_EQ(std::filesystem::file_size(dir.File("fax.PCX")), 128u);
}

TEST_F(Unpacker, AnExportCarriesItsFormatsExtension) {
  Write({MakePage(7, [](int y) { return y == 3; })});
  u.OutFileName = dir.File("x.bmp");
  u.UnpackPageToPcx(1);
  EXPECT_TRUE(std::filesystem::exists(dir.File("x.PCX")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.bmp")));
  u.UnpackPageToBmp(1);  // already the format's extension, in another case
  EXPECT_TRUE(std::filesystem::exists(dir.File("x.bmp")));
  u.OutFileName = dir.File("x");
  u.UnpackPageToDcx(1);
  EXPECT_TRUE(std::filesystem::exists(dir.File("x.DCX")));
}

TEST_F(Unpacker, ExportsReadBackWithNetpbmAndOurReaders) {
  const Page itu = ReadPbm(ItuChart(1));
  const auto records = EncodePage(itu);
  Write({{kApfLengthWords | kApfFine, RecordData(records)}, MakePage(30, [](int y) { return y % 3 == 0; })});
  u.AutoScaleMode = asNone;
  const MonoBitmap b = u.UnpackPageToBitmap(1);
  const Page expected = Resized(itu, b.width);
  u.UnpackPageToBmp(1);
  ASSERT_EQ(RunShell("bmptopnm " + dir.File("fax.BMP") + " > " + dir.File("bmp.pbm") + " 2>/dev/null"), 0);
  EXPECT_TRUE(ReadPbm(dir.File("bmp.pbm")) == expected);
  u.UnpackPageToPcx(1);
  ASSERT_EQ(RunShell("pcxtoppm " + dir.File("fax.PCX") + " 2>/dev/null | ppmtopgm | pgmtopbm -threshold > " +
                     dir.File("pcx.pbm") + " 2>/dev/null"),
            0);
  const Page fromPcx = ReadPbm(dir.File("pcx.pbm"));
  // Netpbm reads a 1-bit PCX without a palette as 1 = white.
  EXPECT_TRUE(fromPcx == expected);

  // DCX of every page: the magic number, a table of 1024 offsets ending in
  // 0, then the pages as PCX.
  u.UnpackPageToDcx(0);
  const std::string dcx = ReadFile(dir.File("fax.DCX"));
  const auto* d = reinterpret_cast<const std::uint8_t*>(dcx.data());
  EXPECT_EQ(GetLe32(d), 987654321u);
  EXPECT_EQ(GetLe32(d + 4), 4100u);
  const std::uint32_t second = GetLe32(d + 8);
  EXPECT_GT(second, 4100u + 128);
  EXPECT_EQ(GetLe32(d + 12), 0u);
  EXPECT_EQ(d[second], 10);
  EXPECT_EQ(dcx.substr(4100, second - 4100), ReadFile(dir.File("fax.PCX")));
  auto source = OpenDcx(std::vector<std::uint8_t>(dcx.begin(), dcx.end()));
  int w = 0, h = 0;
  ASSERT_TRUE(source->NextPage(w, h));
  EXPECT_EQ(w, b.width);
  ASSERT_TRUE(source->NextPage(w, h));
  EXPECT_EQ(h, 30);
  EXPECT_FALSE(source->MorePages());
}

TEST_F(Unpacker, BmpExportRefusesPagesOf32768Lines) {
  Write({MakePage(16384, [](int y) { return y == 0; })});
  try {
    u.UnpackPageToBmp(1);
    FAIL();
  } catch (const EFaxImageError& e) {
    EXPECT_EQ(e.Code(), 8054);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("fax.BMP")));
  u.AutoScaleMode = asNone;
  u.UnpackPageToBmp(1);
  EXPECT_TRUE(std::filesystem::exists(dir.File("fax.BMP")));
}

TEST_F(Unpacker, EventsAbortAndNames) {
  const std::string file = Write({MakePage(40, [](int) { return true; }), MakePage(3, [](int) { return true; })});
  EXPECT_EQ(u.OutFileName, dir.File("fax"));
  u.OutFileName = "other";
  u.SetInFileName(dir.File("FAX.APF").substr(0, dir.Folder().size()) + "FAX.APF");
  EXPECT_EQ(u.OutFileName, "other");  // the same name in another case
  u.SetInFileName(file);
  EXPECT_EQ(u.NumPages(), 2);
  EXPECT_FALSE(u.FaxResolutionFine());
  EXPECT_FALSE(u.FaxWidthWide());

  long lastDone = 0, lastTotal = 0;
  int starts = 0, ends = 0;
  u.OnStatus = [&](TKvFaxUnpacker&, const std::string&, int, long done, long total) {
    lastDone = done;
    lastTotal = total;
  };
  int yields = 0;
  u.OnYield = [&] { return ++yields > 0; };
  u.OnOutputLine = [&](TKvFaxUnpacker& self, bool starting, bool ending, const std::uint8_t*, int, int page) {
    starts += starting;
    ends += ending;
    if (page == 2 && !starting && !ending) self.Options |= uoAbort;
  };
  EXPECT_THROW(u.UnpackFile(), EUnpackAbort);
  EXPECT_EQ(starts, 2);
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(yields, 2);  // after decoded lines 16 and 32 of page 1
  EXPECT_EQ(u.Options & uoAbort, 0);
  u.OnOutputLine = nullptr;
  u.UnpackFile();  // the abort request does not outlive its unpack
  EXPECT_EQ(lastDone, lastTotal);
  EXPECT_GT(lastTotal, 0);
}

TEST_F(Unpacker, PageCountZeroAndOverlongRecords) {
  WriteFile(dir.File("fax.apf"), BuildApf({}, 0));
  u.SetInFileName(dir.File("fax.apf"));
  EXPECT_EQ(u.NumPages(), 0);
  try {
    u.UnpackPageToBitmap(1);
    FAIL();
  } catch (const EFaxBadFormat& e) {
    EXPECT_EQ(e.Code(), 8001);
  }
  // A length word of 5000 is read as 4096: the record's first 4096 bytes
  // are data, and what follows is taken as the next length word.
  Page p(1728, 1);
  p.Row(0)[0] = 0x80;
  auto records = EncodePage(p);
  std::vector<std::uint8_t> data = {0x88, 0x13};  // 5000
  data.resize(2 + 4096, 0);                       // all fill bits
  const auto rest = RecordData(records);
  data.insert(data.end(), rest.begin(), rest.end());
  Write({{kApfLengthWords | kApfFine, data}});
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0][0], 0x80);
}

}  // namespace
}  // namespace tlm::testing
