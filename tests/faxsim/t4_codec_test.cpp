// faxsim's MH codec checked against netpbm's independent one.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "bitmap.h"
#include "support/peer.h"
#include "support/temp_dir.h"
#include "t4.h"

namespace faxsim {
namespace {

bool haveNetpbm() { return std::system("command -v g3topbm >/dev/null && command -v pbmtog3 >/dev/null") == 0; }

Bitmap testPage() {
  Bitmap b = samplePage(1);
  // Runs of every length, both colours, near both ends of the line.
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < y * 3 && x < b.width; ++x)
      if ((x / (y + 1)) % 2) b.set(x, 60 + y);
  return b;
}

TEST(T4Codec, RoundTripsAndMatchesNetpbm) {
  Bitmap page = testPage();
  for (int minBits : {0, 96, 288}) {
    Bytes g3 = encodeMh(page, minBits);
    Bitmap back;
    DecodeResult r = decodeMh(g3, back);
    EXPECT_EQ(r.lines, page.height);
    EXPECT_EQ(r.badLines, 0);
    EXPECT_TRUE(r.rtc);
    EXPECT_EQ(back.bits, page.bits);
  }
  REQUIRE_PEER(haveNetpbm(), "netpbm");
  tlm::testing::TempDir dir;
  // Ours -> netpbm's decoder (which reads LSB-first data with -reversebits).
  ASSERT_EQ(writeFileAtomic(dir.File("ours.g3"), encodeMh(page, 0)), "");
  std::string cmd = "g3topbm -reversebits " + dir.File("ours.g3") + " > " + dir.File("theirs.pbm") + " 2>/dev/null";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  Bitmap theirs;
  ASSERT_EQ(readPbm(dir.File("theirs.pbm"), theirs), "");
  EXPECT_EQ(theirs.height, page.height);
  EXPECT_EQ(theirs.bits, page.bits);
  // netpbm's encoder -> ours.
  ASSERT_EQ(writePbm(dir.File("page.pbm"), page), "");
  cmd = "pbmtog3 -reversebits " + dir.File("page.pbm") + " > " + dir.File("netpbm.g3") + " 2>/dev/null";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::ifstream in(dir.File("netpbm.g3"), std::ios::binary);
  Bytes g3((std::istreambuf_iterator<char>(in)), {});
  Bitmap mine;
  DecodeResult r = decodeMh(g3, mine);
  EXPECT_EQ(r.badLines, 0);
  EXPECT_EQ(mine.height, page.height);
  EXPECT_EQ(mine.bits, page.bits);
}

TEST(T4Codec, DamagedDataGivesBadLinesNotACrash) {
  Bitmap page = testPage();
  Bytes g3 = encodeMh(page, 0);
  for (size_t i = 200; i < g3.size(); i += 97) g3[i] ^= 0x5A;
  Bitmap back;
  DecodeResult r = decodeMh(g3, back);
  EXPECT_GT(r.badLines, 0);
  EXPECT_EQ(size_t(back.height) * size_t(back.stride()), back.bits.size());
  Bytes garbage(5000);
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 37 + 11);
  decodeMh(garbage, back);
  decodeMh(Bytes{}, back);
  EXPECT_EQ(back.height, 0);
}

TEST(T4Codec, ReadsBothApfLayouts) {
  tlm::testing::TempDir dir;
  Bitmap page = testPage();
  page.height = 200;
  page.bits.resize(size_t(page.height) * size_t(page.stride()));
  Bytes raw = encodeMh(page, 0);
  // Line-record page: the stream cut into records with 16-bit lengths.
  Bytes records;
  for (size_t i = 0; i < raw.size(); i += 1000) {
    size_t n = std::min<size_t>(1000, raw.size() - i);
    records.push_back(uint8_t(n & 0xFF));
    records.push_back(uint8_t(n >> 8));
    records.insert(records.end(), raw.begin() + long(i), raw.begin() + long(i + n));
  }
  Bytes file(64, 0);
  const char sig[] = {'A', 'P', 'F', '1', '0', 0x1A};
  std::copy(sig, sig + 6, file.begin());
  file[32] = 2;
  file[34] = 64;
  auto addPage = [&](const Bytes& data, uint8_t flags) {
    Bytes h(16, 0);
    for (int i = 0; i < 4; ++i) h[size_t(i)] = uint8_t(data.size() >> (8 * i));
    h[4] = flags;
    file.insert(file.end(), h.begin(), h.end());
    file.insert(file.end(), data.begin(), data.end());
  };
  addPage(records, 4 | 1);
  addPage(raw, 0);
  ASSERT_EQ(writeFileAtomic(dir.File("doc.apf"), file), "");
  std::vector<Bitmap> pages;
  ASSERT_EQ(readApf(dir.File("doc.apf"), pages), "");
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_TRUE(pages[0].fine);
  EXPECT_FALSE(pages[1].fine);
  EXPECT_EQ(pages[0].bits, page.bits);
  EXPECT_EQ(pages[1].bits, page.bits);
  // A truncated file is refused.
  file.resize(file.size() - 10);
  ASSERT_EQ(writeFileAtomic(dir.File("bad.apf"), file), "");
  pages.clear();
  EXPECT_NE(readApf(dir.File("bad.apf"), pages), "");
}

}  // namespace
}  // namespace faxsim
