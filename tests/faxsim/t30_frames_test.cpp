// faxsim's T.30 frame fields against the worked examples of the fax modem
// reference notes.
#include <gtest/gtest.h>

#include "t30_frames.h"

namespace faxsim {
namespace {

Bytes withFcs(Bytes f) {
  uint16_t crc = crc16(f.data(), f.size());
  f.push_back(uint8_t(crc & 0xFF));
  f.push_back(uint8_t(crc >> 8));
  return f;
}

TEST(T30Frames, FcsMatchesTheReferenceFrames) {
  EXPECT_EQ(withFcs(makeFrame(kCFR, true)), (Bytes{0xFF, 0x13, 0x84, 0xEA, 0x7D}));
  EXPECT_EQ(withFcs(makeFrame(kMCF, true)), (Bytes{0xFF, 0x13, 0x8C, 0xA2, 0xF1}));
  EXPECT_EQ(withFcs(makeFrame(kDCN | 1, true)), (Bytes{0xFF, 0x13, 0xFB, 0x9A, 0xF6}));
  Bytes dis = {0xFF, 0x13, 0x80, 0x00, 0xEE, 0xF8, 0x04, 0x1B, 0x2B};
  // Over the whole frame with its FCS the CRC leaves the X.25 residue.
  EXPECT_EQ(crc16(dis.data(), dis.size()) ^ 0xFFFF, 0xF0B8);
}

TEST(T30Frames, DecodesTheReferenceDisAndDcs) {
  Caps dis = decodeDis({0x00, 0xEE, 0xF8, 0x04});
  EXPECT_TRUE(dis.v17 && dis.v29 && dis.v27);
  EXPECT_TRUE(dis.fine);
  EXPECT_TRUE(dis.mr);
  EXPECT_TRUE(dis.ecm);
  EXPECT_EQ(dis.scanMs, 0);
  Caps dcs = decodeDcs({0x00, 0x62, 0x70});
  EXPECT_EQ(dcs.mod, (Mod{'G', 14400}));
  EXPECT_TRUE(dcs.fine);
  EXPECT_FALSE(dcs.wide);
  EXPECT_EQ(dcs.scanMs, 0);
  // Older T.30 V.33 codes are not V.17.
  EXPECT_EQ(decodeDcs({0x00, 0x12, 0x00}).mod, (Mod{'3', 14400}));
  EXPECT_FALSE(decodeDis({0x00, 0x1E, 0x00}).v17);
}

TEST(T30Frames, DcsAndDisRoundTrip) {
  for (const Mod& m : modulationOrder()) {
    Caps c;
    c.mod = m;
    c.fine = m.rate > 4800;
    c.wide = m.family == '9';
    c.scanMs = m.rate >= 9600 ? 10 : 20;
    Caps back = decodeDcs(encodeDcs(c));
    EXPECT_EQ(back.mod, m);
    EXPECT_EQ(back.fine, c.fine);
    EXPECT_EQ(back.wide, c.wide);
    EXPECT_EQ(back.scanMs, c.scanMs);
    bool longTrain = true;
    Mod fromCode;
    ASSERT_TRUE(modFromClass1(class1Code(m, true), fromCode, longTrain));
    EXPECT_EQ(fromCode, m);
  }
  Caps offer;
  offer.v17 = false;
  offer.scanMs = 20;
  offer.scanMsFine = 10;
  Caps got = decodeDis(encodeDis(offer));
  EXPECT_FALSE(got.v17);
  EXPECT_TRUE(got.v29 && got.v27);
  EXPECT_EQ(got.scanMs, 20);
  EXPECT_EQ(got.scanMsFine, 10);
}

TEST(T30Frames, StationIdsAreReversedAndPadded) {
  Bytes tsi = makeIdFrame(kTSI | 1, "+1 555 1234");
  Bytes expect = {0xFF, 0x03, 0x43, '4', '3', '2', '1', ' ', '5', '5', '5', ' ', '1', '+'};
  expect.resize(23, ' ');
  EXPECT_EQ(tsi, expect);
  EXPECT_EQ(decodeId(tsi), "+1 555 1234");
  // Padding at the other end is trimmed too.
  Bytes other = makeFrame(kCSI, false, Bytes(20, ' '));
  std::string id = "5550100";
  for (size_t i = 0; i < id.size(); ++i) other[3 + 19 - i - 0] = uint8_t(id[i]);
  EXPECT_EQ(decodeId(other), "5550100");
  EXPECT_EQ(frameName(0x4F), "MPS");
  EXPECT_EQ(frameName(0x4E), "MPS");
  EXPECT_EQ(frameName(0x80), "DIS");
  EXPECT_EQ(frameName(0x81), "DTC");
}

}  // namespace
}  // namespace faxsim
