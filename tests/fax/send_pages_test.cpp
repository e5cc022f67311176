// Page data as it goes to the modem, and the joining of fax files.
#include <gtest/gtest.h>

#include "fax/dle.h"
#include "fax/page_source.h"
#include "fax/send_fax.h"
#include "faximage/apf_writer.h"
#include "support/temp_dir.h"

namespace tlm::testing {
namespace {

void WriteRecords(const std::string& path, const std::vector<std::string>& records, int pages = 1) {
  ApfWriter writer;
  writer.Create(path);
  for (int p = 0; p < pages; ++p) {
    writer.BeginPage(kApfLengthWords);
    for (const std::string& r : records) writer.WriteRecord(reinterpret_cast<const std::uint8_t*>(r.data()), r.size());
    writer.EndPage();
  }
  writer.Finish("ID");
}

TEST(PageSource, LineRecordsArePaddedAndDleDoubled) {
  TempDir dir;
  WriteRecords(dir.File("a.apf"), {std::string("\x00\x80\x10\x01", 4), std::string(12, '\x22')});
  ApfPageSource source;
  ASSERT_EQ(source.Open(dir.File("a.apf"), 1), 0);
  std::string out;
  ASSERT_EQ(source.NextBlock(out, 8), 1);
  // Padded to 8 bytes with zeros, then the 0x10 doubled.
  EXPECT_EQ(out, std::string("\x00\x80\x10\x10\x01\x00\x00\x00\x00", 9));
  out.clear();
  ASSERT_EQ(source.NextBlock(out, 8), 1);
  EXPECT_EQ(out, std::string(12, '\x22'));  // long enough already
  EXPECT_EQ(source.NextBlock(out, 8), 0);
  source.Rewind();
  out.clear();
  ASSERT_EQ(source.NextBlock(out, 0), 1);
  EXPECT_EQ(out, std::string("\x00\x80\x10\x10\x01", 5));
}

// Undoes the DLE doubling of a block.
std::string Unstuffed(const std::string& stuffed) {
  std::string out;
  for (std::size_t i = 0; i < stuffed.size(); ++i) {
    out.push_back(stuffed[i]);
    if (stuffed[i] == kDLE && i + 1 < stuffed.size() && stuffed[i + 1] == kDLE) ++i;
  }
  return out;
}

// A stored page re-coded for the line: after lines the session's encoder
// coded before it (the blank lines, the header line), its lines come out in
// the encoder's coding with the page's end, smaller than the stored
// records, and decode to the same rows.
TEST(PageSource, RecodedPagesCarryTheSameLinesCompactly) {
  TempDir dir;
  const std::vector<std::string> rows = RenderTextRows("Recoded\nfor the line 0123456789", true, 1728, false);
  std::vector<std::string> records;
  std::size_t storedSize = 0;
  for (const std::string& row : rows) {
    records.push_back(CodeRasterLine(reinterpret_cast<const std::uint8_t*>(row.data()), 1728, 0));
    storedSize += records.back().size();
  }
  records.push_back(EndOfPageCode());
  WriteRecords(dir.File("a.apf"), records);
  const std::string white(216, '\0');
  for (const T4Coding coding : {T4Coding::MH, T4Coding::MR, T4Coding::MMR}) {
    SCOPED_TRACE(int(coding));
    T4PageEncoder encoder(coding, 1728, 4, 0);
    std::string raw;
    encoder.EncodeLine(reinterpret_cast<const std::uint8_t*>(white.data()), raw);
    ApfPageSource source;
    ASSERT_EQ(source.Open(dir.File("a.apf"), 1), 0);
    source.RecodeWith(encoder);
    std::string stuffed;
    int rc = 0;
    while ((rc = source.NextBlock(stuffed, 40)) == 1) {
    }
    ASSERT_EQ(rc, 0);
    const std::string page = Unstuffed(stuffed);
    EXPECT_LT(page.size(), storedSize * 9 / 10);
    raw += page;

    std::vector<std::string> got;
    T4PageDecoder decoder(coding, 1728, [&](const std::uint8_t* line, int) {
      got.emplace_back(reinterpret_cast<const char*>(line), 216);
      return true;
    });
    decoder.Feed(reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size());
    EXPECT_TRUE(decoder.PageEnded()) << "the page ends in its coding";
    decoder.Finish();
    ASSERT_EQ(got.size(), rows.size() + 1);
    EXPECT_EQ(got.front(), white);
    EXPECT_TRUE(std::equal(rows.begin(), rows.end(), got.begin() + 1));
  }
}

TEST(PageSource, MissingPageAndFile) {
  TempDir dir;
  WriteRecords(dir.File("a.apf"), {"x"});
  ApfPageSource source;
  EXPECT_EQ(source.Open(dir.File("a.apf"), 2), -8001);
  EXPECT_LT(source.Open(dir.File("none.apf"), 1), 0);
}

TEST(PageSource, RenderedTextAndBlankLines) {
  // A blank 1728-pixel line is the six-byte pattern, padded when the
  // minimum asks for more.
  EXPECT_EQ(BlankLine(1728, 0), std::string("\x00\x80\xB2\x59\x01\x00", 6));
  EXPECT_EQ(BlankLine(1728, 10).size(), 10u);
  const auto standard = RenderTextLines("AB", false, 1728, false, 0);
  const auto fine = RenderTextLines("AB", true, 1728, false, 0);
  EXPECT_EQ(standard.size(), 16u);
  EXPECT_EQ(fine.size(), 32u);
  EXPECT_EQ(RenderTextLines("A\nB", false, 1728, true, 0).size(), 16u);  // small font: 8 rows a line
  int differing = 0;
  for (const std::string& row : standard) differing += row != BlankLine(1728, 0);
  EXPECT_GT(differing, 8);
}

TEST(ConcatFaxes, JoinsPagesAndRefusesOtherFiles) {
  TempDir dir;
  WriteRecords(dir.File("a.apf"), {"a"}, 2);
  WriteRecords(dir.File("b.apf"), {"bb"}, 3);
  WriteText(dir.File("c.txt"), std::string(80, 'c'));
  TKvSendFax fax;
  fax.FaxFileList = {dir.File("a.apf"), dir.File("b.apf")};
  ASSERT_EQ(fax.ConcatFaxes(dir.File("all.apf")), 0);
  int pages = 0;
  ASSERT_EQ(ApfCountPages(dir.File("all.apf"), pages), 0);
  EXPECT_EQ(pages, 5);
  ApfPageHeader header;
  std::uint64_t offset = 0;
  ASSERT_EQ(ApfLocatePage(dir.File("all.apf"), 5, header, offset), 0);

  fax.FaxFileList = {dir.File("a.apf"), dir.File("c.txt")};
  EXPECT_EQ(fax.ConcatFaxes(dir.File("bad.apf")), -8001);
  EXPECT_FALSE(std::filesystem::exists(dir.File("bad.apf")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("bad.apf.part")));
  fax.FaxFileList.clear();
  EXPECT_EQ(fax.ConcatFaxes(dir.File("none.apf")), -6010);
}

}  // namespace
}  // namespace tlm::testing
