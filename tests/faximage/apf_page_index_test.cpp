// The page index: every page of a long fax found from one walk, pages before
// damage still found, rewritten files never answered from an old walk, and
// joining many files in one pass.
#include <gtest/gtest.h>

#include "fax_test_util.h"
#include "faximage/apf_file.h"
#include "faximage/apf_page_index.h"
#include "faximage/fax_errors.h"
#include "support/temp_dir.h"

namespace tlm::testing {
namespace {

// Pages of 0 to 40 bytes of data, with the flags cycling through 0..7.
std::vector<ApfPageSpec> ManyPages(int count) {
  std::vector<ApfPageSpec> pages;
  for (int n = 0; n < count; ++n) {
    pages.push_back({std::uint16_t(n % 8), std::vector<std::uint8_t>(std::size_t(n * 7 % 41), std::uint8_t(n))});
  }
  return pages;
}

TEST(ApfPageIndex, FindsEveryPageOfALongFaxAsTheChainSays) {
  TempDir dir;
  const std::string file = dir.File("long.apf");
  const std::vector<ApfPageSpec> pages = ManyPages(3000);
  WriteFile(file, BuildApf(pages));
  ApfPageIndex index;
  ASSERT_EQ(index.Open(file), 0);
  EXPECT_EQ(index.PageCount(), 3000);
  std::uint64_t offset = ApfFileHeader::kSize;
  for (int n = 1; n <= 3000; ++n) {
    const ApfPageSpec& expected = pages[std::size_t(n - 1)];
    ApfPageHeader header;
    std::uint64_t data = 0;
    ASSERT_EQ(index.Locate(n, header, data), 0) << n;
    EXPECT_EQ(data, offset + ApfPageHeader::kSize) << n;
    EXPECT_EQ(header.imageLength, expected.data.size()) << n;
    EXPECT_EQ(header.flags, expected.flags) << n;
    // The per-call function gives the same, in any order.
    ApfPageHeader again;
    std::uint64_t againData = 0;
    ASSERT_EQ(ApfLocatePage(file, 3001 - n, again, againData), 0);
    offset = data + expected.data.size();
  }
  std::uint64_t end = 0;
  ASSERT_EQ(index.EndOfPages(end), 0);
  EXPECT_EQ(end, offset);
  ApfPageHeader header;
  std::uint64_t data = 0;
  EXPECT_EQ(index.Locate(3001, header, data), -ecFaxBadFormat);
  EXPECT_EQ(index.Locate(0, header, data), -ecFaxBadFormat);
}

TEST(ApfPageIndex, PagesBeforeDamageAreFoundAndTheRestAreNot) {
  TempDir dir;
  const std::string file = dir.File("cut.apf");
  // Page 4's length points past the end; the header promises 6 pages.
  std::vector<ApfPageSpec> pages = ManyPages(4);
  pages[3].declaredLength = 100000;
  WriteFile(file, BuildApf(pages, 6));
  ApfPageHeader header;
  std::uint64_t data = 0;
  for (int n = 1; n <= 4; ++n) EXPECT_EQ(ApfLocatePage(file, n, header, data), 0) << n;
  EXPECT_EQ(ApfLocatePage(file, 5, header, data), -ecFaxBadFormat);
  EXPECT_EQ(ApfLocatePage(file, 7, header, data), -ecFaxBadFormat);
  ApfPageIndex index;
  ASSERT_EQ(index.Open(file), 0);
  std::uint64_t end = 0;
  EXPECT_EQ(index.EndOfPages(end), -ecFaxBadFormat);  // pages 5 and 6 are not there
  EXPECT_EQ(index.Open(dir.File("missing.apf")), -ENOENT);
  WriteFile(file, "not a fax file at all, but long enough for a header of sixty-four bytes.");
  EXPECT_EQ(index.Open(file), -ecFaxBadFormat);
}

TEST(ApfPageIndex, AFileRewrittenInPlaceIsWalkedAgain) {
  TempDir dir;
  const std::string file = dir.File("same.apf");
  // The same size and file header, other page lengths: written straight
  // after each other, the file may keep its timestamps.
  const std::string first = BuildApf({{4, std::vector<std::uint8_t>(10)}, {4, std::vector<std::uint8_t>(30)}});
  const std::string second = BuildApf({{4, std::vector<std::uint8_t>(30)}, {4, std::vector<std::uint8_t>(10)}});
  ASSERT_EQ(first.size(), second.size());
  for (int round = 0; round < 20; ++round) {
    const bool odd = round % 2;
    WriteFile(file, odd ? second : first);
    ApfPageHeader header;
    std::uint64_t data = 0;
    ASSERT_EQ(ApfLocatePage(file, 2, header, data), 0);
    EXPECT_EQ(data, ApfFileHeader::kSize + 2 * ApfPageHeader::kSize + (odd ? 30 : 10)) << round;
    EXPECT_EQ(header.imageLength, odd ? 10u : 30u) << round;
  }
}

TEST(ApfFile, AppendingManyFilesWalksTheTargetOnce) {
  TempDir dir;
  const std::vector<ApfPageSpec> pages = ManyPages(50);
  const std::string target = dir.File("all.apf");
  WriteFile(target, BuildApf({pages[0]}));
  std::vector<std::string> further;
  for (std::size_t i = 1; i < pages.size(); ++i) {
    further.push_back(dir.File("p" + std::to_string(i) + ".apf"));
    WriteFile(further.back(), BuildApf({pages[i]}));
  }
  ASSERT_EQ(ApfAppendFiles(target, further), 0);
  EXPECT_EQ(ReadFile(target), BuildApf(pages));
  // One bad file among them leaves the target as it was.
  const std::string before = ReadFile(target);
  WriteFile(further[7], "junk");
  EXPECT_EQ(ApfAppendFiles(target, further), -ecFaxBadFormat);
  EXPECT_EQ(ReadFile(target), before);
}

}  // namespace
}  // namespace tlm::testing
