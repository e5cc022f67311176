// Damaged and hostile files give a clear error, never a crash, and need
// bounded memory and time.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>

#include "fax_test_util.h"
#include "faximage/apf_file.h"
#include "faximage/binary_file.h"
#include "faximage/fax_converter.h"
#include "faximage/fax_errors.h"
#include "faximage/fax_unpacker.h"
#include "faximage/raster_source.h"
#include "support/temp_dir.h"

namespace tlm::testing {
namespace {

int ErrorOf(const std::function<void()>& f) {
  try {
    f();
    return 0;
  } catch (const EFaxImageError& e) {
    return e.Code();
  }
}

TEST(HostileApf, EveryTruncationOfAFileIsOkOrNotAnApfFile) {
  TempDir dir;
  Page page(1728, 30);
  for (int y = 0; y < 30; y += 2) page.Row(y)[y] = 0xF0;
  const auto records = EncodePage(page);
  const std::string whole =
      BuildApf({{kApfLengthWords, RecordData(records)}, {kApfFine, RawStream(records)}});
  const std::string file = dir.File("cut.apf");
  TKvFaxUnpacker u;
  u.SetInFileName(file);
  for (std::size_t n = 0; n <= whole.size(); n += (n < 100 ? 1 : 23)) {
    WriteFile(file, whole.substr(0, n));
    for (int p = 1; p <= 2; ++p) {
      const int code = ErrorOf([&] { u.UnpackPageToBitmap(p); });
      EXPECT_TRUE(code == 0 || code == 8001) << n << " " << code;
    }
  }
  WriteFile(file, whole);
  EXPECT_EQ(u.UnpackPageToBitmap(2).height, 30);
}

TEST(HostileApf, CountsAndLengthsThatDoNotFitTheFile) {
  TempDir dir;
  const std::string file = dir.File("bad.apf");
  TKvFaxUnpacker u;
  u.SetInFileName(file);
  // A page claiming 4 GB of data in a tiny file; 65535 pages declared.
  WriteFile(file, BuildApf({{kApfLengthWords, {0x06, 0x00, 0x00, 0x80}, 0xFFFFFFFF}}, 65535));
  EXPECT_EQ(ErrorOf([&] { u.UnpackPageToBitmap(1); }), 8001);
  EXPECT_EQ(ErrorOf([&] { u.UnpackPageToBitmap(2); }), 8001);
  EXPECT_EQ(ErrorOf([&] { u.UnpackPageToBitmap(65535); }), 8001);
  // Not an APF file at all, and no file.
  WriteFile(file, std::string(1000, 'x'));
  EXPECT_EQ(ErrorOf([&] { u.UnpackPageToBitmap(1); }), 8001);
  u.SetInFileName(dir.File("none.apf"));
  EXPECT_EQ(ErrorOf([&] { u.NumPages(); }), ENOENT);
  u.SetInFileName("");
  EXPECT_EQ(ErrorOf([&] { u.NumPages(); }), 2);
}

TEST(HostileApf, APageOfEndlessLinesIsBoundedByTheRasterLimit) {
  // Tiny records of a black line repeated beyond the raster limit: the
  // page is refused as out of memory instead of growing without end.
  TempDir dir;
  Page line(1728, 1);
  std::fill(line.bits.begin(), line.bits.end(), 0xFF);
  auto records = EncodePage(line);
  records.pop_back();
  std::vector<std::vector<std::uint8_t>> many(std::size_t(kMaxBitmapLines / 2 + 10), records[0]);
  many.emplace_back(kT4EndOfPageRecord.begin(), kT4EndOfPageRecord.end());
  WriteFile(dir.File("long.apf"), BuildApf({{kApfLengthWords, RecordData(many)}}));
  TKvFaxUnpacker u;
  u.SetInFileName(dir.File("long.apf"));
  EXPECT_EQ(ErrorOf([&] { u.UnpackPageToBitmap(1); }), ecOutOfMemory);
}

int OpenError(std::unique_ptr<RasterSource> (*open)(std::vector<std::uint8_t>), std::vector<std::uint8_t> data) {
  return ErrorOf([&] {
    auto source = open(std::move(data));
    int w = 0, h = 0;
    std::vector<std::uint8_t> row(256);
    while (source->NextPage(w, h)) {
      for (int y = 0; y < h && source->ReadRow(row.data(), row.size()); ++y) {
      }
    }
  });
}

TEST(HostileImages, EnormousDeclaredSizesAreRefused) {
  // BMP: 60000 x 60000 at 1 bit in a 100-byte file.
  std::vector<std::uint8_t> bmp(100, 0);
  bmp[0] = 'B';
  bmp[1] = 'M';
  PutLe32(&bmp[10], 62);
  PutLe32(&bmp[14], 40);
  PutLe32(&bmp[18], 60000);
  PutLe32(&bmp[22], 60000);
  PutLe16(&bmp[26], 1);
  PutLe16(&bmp[28], 1);
  EXPECT_EQ(OpenError(OpenBmp, bmp), 8002);
  PutLe32(&bmp[18], 100000);
  PutLe32(&bmp[22], 1);
  EXPECT_EQ(OpenError(OpenBmp, bmp), 8002);

  // PCX: a window of 65535 x 65535.
  std::vector<std::uint8_t> pcx(200, 0);
  pcx[0] = 10;
  pcx[2] = 1;
  pcx[3] = 1;
  pcx[65] = 1;
  PutLe16(&pcx[8], 65534);
  PutLe16(&pcx[10], 65534);
  PutLe16(&pcx[66], 8192);
  EXPECT_EQ(OpenError(OpenPcx, pcx), 8002);

  // TIFF: 65535 x 65535 uncompressed with a few bytes of data, and one
  // wider than any page.
  auto tiff = [](std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> t = {'I', 'I', 42, 0, 8, 0, 0, 0, 4, 0};
    auto entry = [&](std::uint16_t tag, std::uint16_t type, std::uint32_t value) {
      const std::size_t at = t.size();
      t.resize(at + 12, 0);
      PutLe16(&t[at], tag);
      PutLe16(&t[at + 2], type);
      PutLe32(&t[at + 4], 1);
      PutLe32(&t[at + 8], value);
    };
    entry(256, 4, width);
    entry(257, 4, height);
    entry(273, 4, 70);
    entry(279, 4, 16);
    t.resize(t.size() + 4 + 16, 0);
    return t;
  };
  EXPECT_EQ(OpenError(OpenTiff, tiff(65535, 65535)), 8002);
  EXPECT_EQ(OpenError(OpenTiff, tiff(70000, 10)), 8002);
  EXPECT_EQ(OpenError(OpenTiff, tiff(64, 2)), 0);

  // DCX: a page offset past the end; a TIFF directory chain in a loop.
  std::vector<std::uint8_t> dcx(16, 0);
  PutLe32(&dcx[0], 987654321);
  PutLe32(&dcx[4], 1000);
  EXPECT_EQ(OpenError(OpenDcx, dcx), 8002);
  std::vector<std::uint8_t> loop = tiff(64, 2);
  PutLe32(&loop[8 + 2 + 4 * 12], 8);  // the next directory is this one
  EXPECT_EQ(OpenError(OpenTiff, loop), 8002);
}

TEST(HostileImages, TruncatedFixturesConvertOrFailCleanly) {
  TempDir dir;
  TKvFaxConverter c;
  for (auto [type, name] : {std::pair{idTiff, "text-page-packbits.tif"}, std::pair{idPcx, "text-page.pcx"},
                            std::pair{idDcx, "text-pages.dcx"}, std::pair{idBmp, "text-page-1bit.bmp"}}) {
    const std::string whole = ReadFile(ImageFixture(name));
    for (std::size_t n : {std::size_t(0), std::size_t(10), std::size_t(100), whole.size() / 3, whole.size() - 1}) {
      const std::string in = dir.File(std::string("cut-") + name);
      WriteFile(in, whole.substr(0, n));
      c.InputDocumentType = type;
      c.SetDocumentFile(in);
      const int code = ErrorOf([&] { c.ConvertToApf(); });
      EXPECT_TRUE(code == 0 || code == 8002) << name << " " << n << " " << code;
      if (code != 0) {
        EXPECT_FALSE(std::filesystem::exists(c.OutputPath())) << name << " " << n;
      }
      std::filesystem::remove(c.OutputPath());
    }
  }
}

// Images whose header promises rows the file does not hold.
std::vector<std::uint8_t> PcxHeader(int width, int height) {
  std::vector<std::uint8_t> pcx(128, 0);
  pcx[0] = 10;
  pcx[1] = 5;
  pcx[2] = 1;
  pcx[3] = 1;
  PutLe16(&pcx[8], std::uint32_t(width - 1));
  PutLe16(&pcx[10], std::uint32_t(height - 1));
  pcx[65] = 1;
  PutLe16(&pcx[66], std::uint32_t((width + 15) / 16 * 2));
  return pcx;
}

std::vector<std::uint8_t> UncompressedTiff(int width, int height, std::uint32_t stripOffset, std::uint32_t stripBytes) {
  std::vector<std::uint8_t> t = {'I', 'I', 42, 0, 8, 0, 0, 0, 5, 0};
  auto entry = [&](std::uint16_t tag, std::uint32_t value) {
    const std::size_t at = t.size();
    t.resize(at + 12, 0);
    PutLe16(&t[at], tag);
    PutLe16(&t[at + 2], 4);
    PutLe32(&t[at + 4], 1);
    PutLe32(&t[at + 8], value);
  };
  entry(256, std::uint32_t(width));
  entry(257, std::uint32_t(height));
  entry(258, 1);
  entry(273, stripOffset);
  entry(279, stripBytes);
  t.resize(t.size() + 4, 0);
  return t;
}

TEST(HostileImages, MissingPixelDataFailsAndKeepsTheOlderOutput) {
  TempDir dir;
  const std::string out = dir.File("out.APF");
  std::vector<std::pair<TFaxInputDocumentType, std::vector<std::uint8_t>>> damaged;
  // PCX cut off after its header, and cut in the middle of its rows (each
  // row of 80 pixels: a run of 10 white bytes is 2 bytes).
  damaged.push_back({idPcx, PcxHeader(80, 40)});
  std::vector<std::uint8_t> halfPcx = PcxHeader(80, 40);
  for (int y = 0; y < 20; ++y) halfPcx.insert(halfPcx.end(), {0xCA, 0xFF});
  damaged.push_back({idPcx, halfPcx});
  // TIFF whose strip lies past the end of the file, or only partly in it.
  std::vector<std::uint8_t> tiff = UncompressedTiff(64, 30, 5000, 240);
  damaged.push_back({idTiff, tiff});
  tiff = UncompressedTiff(64, 30, 80, 240);
  tiff.resize(80 + 100, 0);
  damaged.push_back({idTiff, tiff});
  // BMP whose data offset or height reach past the end.
  std::vector<std::uint8_t> bmp(62 + 4 * 20, 0);
  bmp[0] = 'B';
  bmp[1] = 'M';
  PutLe32(&bmp[10], 62);
  PutLe32(&bmp[14], 40);
  PutLe32(&bmp[18], 32);
  PutLe32(&bmp[22], 21);
  PutLe16(&bmp[26], 1);
  PutLe16(&bmp[28], 1);
  damaged.push_back({idBmp, bmp});
  PutLe32(&bmp[22], 20);
  PutLe32(&bmp[10], 4000);
  damaged.push_back({idBmp, bmp});

  WriteFile(out, std::string("older output"));
  int n = 0;
  for (const auto& [type, data] : damaged) {
    const char* extension = type == idPcx ? ".pcx" : type == idTiff ? ".tif" : ".bmp";
    const std::string in = dir.File("damaged" + std::to_string(n++) + extension);
    WriteFile(in, data);
    TKvFaxConverter c;
    c.InputDocumentType = type;
    c.SetDocumentFile(in);
    c.OutFileName = out;
    EXPECT_EQ(ErrorOf([&] { c.ConvertToApf(); }), ecBadGraphicsFormat) << "input " << n - 1;
    EXPECT_EQ(ReadFile(out), "older output") << "input " << n - 1;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Folder()), {}), std::ptrdiff_t(n + 1));

  // The same files whole convert.
  std::vector<std::uint8_t> wholePcx = PcxHeader(80, 40);
  for (int y = 0; y < 40; ++y) wholePcx.insert(wholePcx.end(), {0xCA, 0xFF});
  WriteFile(dir.File("whole.pcx"), wholePcx);
  TKvFaxConverter c;
  c.InputDocumentType = idPcx;
  c.SetDocumentFile(dir.File("whole.pcx"));
  c.OutFileName = out;
  EXPECT_EQ(ErrorOf([&] { c.ConvertToApf(); }), 0);
  int pages = 0;
  EXPECT_EQ(ApfCountPages(out, pages), 0);
  EXPECT_EQ(pages, 1);
}

TEST(HostileImages, TheGivenTypeWinsOverAMissingExtension) {
  TempDir dir;
  std::vector<std::uint8_t> pcx = PcxHeader(80, 4);
  for (int y = 0; y < 4; ++y) pcx.insert(pcx.end(), {0xCA, 0x00});
  WriteFile(dir.File("scan"), pcx);
  TKvFaxConverter c;
  c.InputDocumentType = idPcx;
  c.SetDocumentFile(dir.File("scan"));
  c.OutFileName = dir.File("scan.APF");
  EXPECT_EQ(ErrorOf([&] { c.ConvertToApf(); }), 0);
  EXPECT_TRUE(std::filesystem::exists(dir.File("scan.APF")));
  // A name without extension that names no file still gets the default.
  WriteFile(dir.File("other.PCX"), pcx);
  c.SetDocumentFile(dir.File("other"));
  c.OutFileName = dir.File("other.APF");
  EXPECT_EQ(ErrorOf([&] { c.ConvertToApf(); }), 0);
}

}  // namespace
}  // namespace tlm::testing
