// The APF records byte for byte, the shared file operations, and the line
// records the encoder writes.
#include <gtest/gtest.h>

#include "fax_test_util.h"
#include <filesystem>

#include "faximage/apf_file.h"
#include "faximage/apf_writer.h"
#include "faximage/fax_errors.h"
#include "reference_decoder.h"
#include "support/temp_dir.h"

namespace tlm::testing {
namespace {

TEST(ApfRecords, FileAndPageHeadersAreLaidOutByteForByte) {
  ApfFileHeader h;
  h.creationTime = 0x11223344;
  h.SetStationId("12345");
  h.pageCount = 0x0102;
  std::uint8_t raw[64];
  h.Encode(raw);
  const std::uint8_t expected[64] = {'A', 'P', 'F', '1', '0', 0x1A, 0x44, 0x33, 0x22, 0x11, 5,
                                     '1', '2', '3', '4', '5', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                     ' ', ' ', ' ', ' ', ' ', ' ', 0, 0x02, 0x01, 64, 0, 0, 0};
  EXPECT_EQ(std::vector<std::uint8_t>(raw, raw + 64), std::vector<std::uint8_t>(expected, expected + 64));
  EXPECT_EQ(ApfFileHeader::Decode(raw).StationId(), "12345");

  ApfPageHeader p;
  p.imageLength = 0x01020304;
  p.flags = kApfFine | kApfWide | kApfLengthWords;
  std::uint8_t praw[16];
  p.Encode(praw);
  const std::uint8_t pexpected[16] = {4, 3, 2, 1, 7, 0};
  EXPECT_EQ(std::vector<std::uint8_t>(praw, praw + 16), std::vector<std::uint8_t>(pexpected, pexpected + 16));
}

TEST(ApfRecords, DosDateTimePacksLocalTimeAndIsZeroOutsideItsRange) {
  std::tm t{};
  t.tm_year = 2024 - 1900;
  t.tm_mon = 1;
  t.tm_mday = 29;
  t.tm_hour = 23;
  t.tm_min = 59;
  t.tm_sec = 58;
  EXPECT_EQ(DosDateTime(t), (44u << 25) | (2u << 21) | (29u << 16) | (23u << 11) | (59u << 5) | 29u);
  t.tm_year = 1979 - 1900;
  EXPECT_EQ(DosDateTime(t), 0u);
  t.tm_year = 2100 - 1900;
  EXPECT_EQ(DosDateTime(t), 0u);
}

TEST(ApfFile, LocatesPagesAndRefusesWhatIsNotThere) {
  TempDir dir;
  const std::string file = dir.File("a.apf");
  // Page 1 has image length 0: page 2's header follows it directly.
  WriteFile(file, BuildApf({{4, {}}, {5, {1, 2, 3}}, {0, {9}}}));
  ApfPageHeader h;
  std::uint64_t offset = 0;
  ASSERT_EQ(ApfLocatePage(file, 2, h, offset), 0);
  EXPECT_EQ(offset, 64u + 16 + 16);
  EXPECT_EQ(h.flags, 5);
  EXPECT_EQ(h.imageLength, 3u);
  ASSERT_EQ(ApfLocatePage(file, 3, h, offset), 0);
  EXPECT_EQ(offset, 64u + 16 + 16 + 3 + 16);
  EXPECT_EQ(ApfLocatePage(file, 4, h, offset), -ecFaxBadFormat);
  EXPECT_EQ(ApfLocatePage(file, 0, h, offset), -ecFaxBadFormat);
  int count = 0;
  EXPECT_EQ(ApfCountPages(file, count), 0);
  EXPECT_EQ(count, 3);
  EXPECT_TRUE(ApfCheckSignature(file));

  // Page count 0: no page 1.
  WriteFile(file, BuildApf({}, 0));
  EXPECT_EQ(ApfLocatePage(file, 1, h, offset), -ecFaxBadFormat);
  // A page count the file cannot hold, and a page length past its end.
  WriteFile(file, BuildApf({{4, {1}}}, 3));
  EXPECT_EQ(ApfLocatePage(file, 3, h, offset), -ecFaxBadFormat);
  WriteFile(file, BuildApf({{4, {1}, 0x7FFFFFFF}, {4, {1}}}));
  EXPECT_EQ(ApfLocatePage(file, 2, h, offset), -ecFaxBadFormat);
  // Not an APF file, a truncated header, no name, no file.
  WriteFile(file, "APF11\x1A" + std::string(58, '\0'));
  EXPECT_FALSE(ApfCheckSignature(file));
  EXPECT_EQ(ApfLocatePage(file, 1, h, offset), -ecFaxBadFormat);
  WriteFile(file, "APF10\x1A");
  EXPECT_EQ(ApfCountPages(file, count), -ecFaxBadFormat);
  EXPECT_EQ(ApfCountPages("", count), -ecFileNotFound);
  EXPECT_EQ(ApfCountPages(dir.File("missing.apf"), count), -ENOENT);
}

TEST(ApfFile, AppendingAddsTheFurtherFilesPagesUnchanged) {
  TempDir dir;
  const std::string a = dir.File("a.apf"), b = dir.File("b.apf");
  WriteFile(a, BuildApf({{4, {1, 2}}}));
  WriteFile(b, BuildApf({{5, {3}}, {7, {4, 5, 6}}}));
  ASSERT_EQ(ApfAppendFile(a, b), 0);
  EXPECT_EQ(ReadFile(a), BuildApf({{4, {1, 2}}, {5, {3}}, {7, {4, 5, 6}}}));
  // A broken further file leaves the target as it was.
  WriteFile(b, "junk");
  const std::string before = ReadFile(a);
  EXPECT_EQ(ApfAppendFile(a, b), -ecFaxBadFormat);
  EXPECT_EQ(ReadFile(a), before);
}

TEST(ApfWriter, WritesPagesAndRewritesHeadersInPlaceWhenAsked) {
  TempDir dir;
  const std::string file = dir.File("rx.apf");
  {
    ApfWriter w;
    w.Create(file, true);
    w.BeginPage(kApfFine | kApfWide);
    const std::uint8_t raw[] = {1, 2, 3};
    w.WriteRaw(raw, 3);
    w.EndPage();
    w.BeginPage(0);
    w.EndPage();
    w.Finish("REMOTE");
  }
  std::string expected = BuildApf({{3, {1, 2, 3}}, {0, {}}});
  const std::string written = ReadFile(file);
  ASSERT_EQ(written.size(), expected.size());
  EXPECT_EQ(written.substr(10, 22), std::string("\x06REMOTE") + std::string(14, ' ') + std::string(1, '\0'));
  EXPECT_EQ(written.substr(32), expected.substr(32));
  // An unfinished in-place file is deleted.
  {
    ApfWriter w;
    w.Create(dir.File("gone.apf"), true);
    w.BeginPage(0);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("gone.apf")));
}

std::vector<std::uint8_t> Encode(const std::vector<std::uint8_t>& line, T4LineGeometry g) {
  std::vector<std::uint8_t> out(kT4MaxLineRecord);
  out.resize(T4EncodeLine(line.data(), line.size(), g, out.data()));
  return out;
}

std::vector<std::uint8_t> DecodeOne(const std::vector<std::uint8_t>& record) {
  std::vector<std::uint8_t> data = record;
  data.insert(data.end(), kT4EndOfPageRecord.begin(), kT4EndOfPageRecord.end());
  const ReferenceResult r = ReferenceDecoder().Decode(data);
  EXPECT_EQ(r.lines.size(), 1u);
  EXPECT_TRUE(r.ended);
  return r.lines.empty() ? std::vector<std::uint8_t>{} : r.lines[0].bits;
}

TEST(T4Encoder, AWhiteLineIsOneWhiteRunOfTheWidth) {
  std::vector<std::uint8_t> white(216, 0);
  const auto record = Encode(white, {1728, 50, false});
  EXPECT_EQ(record, std::vector<std::uint8_t>(kT4BlankLineRecord.begin(), kT4BlankLineRecord.end()));
  std::vector<std::uint8_t> wide(256, 0);
  EXPECT_EQ(DecodeOne(Encode(wide, {2048, 50, true})), wide);
}

TEST(T4Encoder, ABlackFirstPixelAtMarginZeroGivesAWhiteRunOfZero) {
  std::vector<std::uint8_t> line(216, 0);
  line[0] = 0x80;
  const auto record = Encode(line, {1728, 0, false});
  // Fill and EOL (16 bits), then white 0 = 00110101 read LSB first from
  // byte 2, then black 1 = 010.
  EXPECT_EQ(record[0], 0x00);
  EXPECT_EQ(record[1], 0x80);
  EXPECT_EQ(record[2], 0xAC);  // 0,0,1,1,0,1,0,1 in bits 0..7
  EXPECT_EQ(record[3] & 0x07, 0x02);  // black run 1: 0,1,0
  EXPECT_EQ(DecodeOne(record), line);
}

TEST(T4Encoder, RecordLengthIsTheBytesTouchedPlusOne) {
  // Fill+EOL 16 bits, white 0 (8), black 1728 (13 + 10): 47 bits, 6 bytes
  // touched, record 7 bytes with the last two 0.
  std::vector<std::uint8_t> line(216, 0xFF);
  const auto record = Encode(line, {1728, 0, false});
  EXPECT_EQ(record.size(), 7u);
  EXPECT_EQ(record[6], 0);
  EXPECT_EQ(DecodeOne(record), line);
}

TEST(T4Encoder, MarginShiftsAndDoubleWidthDoublesEveryRun) {
  std::vector<std::uint8_t> line(216, 0);
  line[0] = 0xFF;  // 8 black pixels, then 2 more
  line[1] = 0xC0;
  std::vector<std::uint8_t> expected(216, 0);
  // Margin 50: black from 50 to 59.
  for (int x = 50; x < 60; ++x) expected[std::size_t(x / 8)] |= std::uint8_t(0x80 >> (x % 8));
  EXPECT_EQ(DecodeOne(Encode(line, {1728, 50, false})), expected);
  // Double width: the margin and the black run doubled: black 100 to 119.
  std::fill(expected.begin(), expected.end(), 0);
  for (int x = 100; x < 120; ++x) expected[std::size_t(x / 8)] |= std::uint8_t(0x80 >> (x % 8));
  EXPECT_EQ(DecodeOne(Encode(line, {1728, 50, true})), expected);
  // Black up to the edge of the coded width is cut there.
  std::vector<std::uint8_t> full(216, 0xFF);
  std::fill(expected.begin(), expected.end(), 0xFF);
  for (int x = 0; x < 50; ++x) expected[std::size_t(x / 8)] &= std::uint8_t(~(0x80 >> (x % 8)));
  EXPECT_EQ(DecodeOne(Encode(full, {1728, 50, false})), expected);
}

}  // namespace
}  // namespace tlm::testing
