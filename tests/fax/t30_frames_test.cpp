#include "fax/t30_frames.h"

#include <gtest/gtest.h>

namespace tlm::t30 {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

TEST(StationId, IsPaddedInFrontAndReversed) {
  EXPECT_EQ(StationIdField("12345"), std::string(15, ' ') + "54321");
  EXPECT_EQ(StationIdField(""), std::string(20, ' '));
  EXPECT_EQ(StationIdField("123456789012345678901234"), "09876543210987654321");
  EXPECT_EQ(DecodeStationId(StationIdField("+1 555 1234")), "+1 555 1234");
  // The other common layout (characters first, spaces last) decodes too.
  EXPECT_EQ(DecodeStationId(Bytes({'4', '3', '2', '1', ' ', '5', '5', '5', ' ', '1', '+', ' ', ' ', ' ', ' ', ' ',
                                   ' ', ' ', ' ', ' '})),
            "+1 555 1234");
}

TEST(Dcs, UsesTheCurrentRateCodesForEachModulation) {
  // Second byte: receiver bit 0x02 and the rate bits.
  EXPECT_EQ(EncodeDcs(1, false, false, 5)[1], 0x02);
  EXPECT_EQ(EncodeDcs(2, false, false, 5)[1], 0x0A);                       // 4800 V.27 ter
  EXPECT_EQ(EncodeDcs(3, false, false, 5)[1], 0x0E);                       // 7200 V.29
  EXPECT_EQ(EncodeDcs(4, false, false, 5)[1], 0x06);                       // 9600 V.29
  EXPECT_EQ(EncodeDcs(5, false, false, 5)[1], 0x2A);                       // 12000 V.17
  EXPECT_EQ(static_cast<std::uint8_t>(EncodeDcs(6, true, false, 5)[1]), 0x62);  // 14400 V.17, fine
  const std::string dcs = EncodeDcs(6, false, true, 0);
  EXPECT_EQ(dcs.size(), 4u);
  EXPECT_EQ(dcs[0], 0);
  EXPECT_EQ(static_cast<std::uint8_t>(dcs[2]), 0x88 | 0x70 | 0x01);  // 0 ms, wide
  EXPECT_EQ(dcs[3], 0);
}

TEST(Dcs, ScanTimeFollowsTheRemoteAndTheResolution) {
  auto field = [](int code, bool fine) { return static_cast<std::uint8_t>(EncodeDcs(4, fine, false, code)[2]) & 0x70; };
  EXPECT_EQ(field(0, false), 0x70);  // 0 ms
  EXPECT_EQ(field(1, true), 0x10);   // 5 ms
  EXPECT_EQ(field(2, false), 0x20);  // 10 ms standard
  EXPECT_EQ(field(2, true), 0x10);   // 5 ms fine
  EXPECT_EQ(field(5, false), 0x00);  // 20 ms: the most common DIS
  EXPECT_EQ(field(4, true), 0x20);   // 20/10: 10 ms at fine
  EXPECT_EQ(field(6, false), 0x40);  // 40 ms
  EXPECT_EQ(field(6, true), 0x00);   // 20 ms
  EXPECT_EQ(field(7, true), 0x40);
}

TEST(Dcs, ReadsCurrentAndOlderRateCodes) {
  auto read = [](int f2) { return DecodeDcs(Bytes({0, f2 | 0x02, 0x88, 0})); };
  EXPECT_EQ(read(0x20).speedIndex, 6);
  EXPECT_TRUE(read(0x20).v17);
  EXPECT_EQ(read(0x28).speedIndex, 5);
  EXPECT_EQ(read(0x24).speedIndex, 4);
  EXPECT_TRUE(read(0x24).v17);
  EXPECT_EQ(read(0x2C).speedIndex, 3);
  EXPECT_TRUE(read(0x2C).v17);
  EXPECT_EQ(read(0x10).speedIndex, 5);  // older transmitters' 12000
  EXPECT_EQ(read(0x04).speedIndex, 4);
  EXPECT_FALSE(read(0x04).v17);
  EXPECT_EQ(read(0x0C).speedIndex, 3);
  EXPECT_FALSE(read(0x0C).v17);
  EXPECT_EQ(read(0x08).speedIndex, 2);
  EXPECT_EQ(read(0x00).speedIndex, 1);
  EXPECT_TRUE(read(0x40).fine);
  EXPECT_EQ(read(0x00).scanCode, 5);

  EXPECT_EQ(ModulationFor(read(0x24)).tcf, 97);
  EXPECT_EQ(ModulationFor(read(0x24)).page, 98);
  EXPECT_EQ(ModulationFor(read(0x2C)).page, 74);
  EXPECT_EQ(ModulationFor(read(0x04)).page, 96);
  EXPECT_EQ(ModulationFor(read(0x28)).tcf, 121);
  EXPECT_EQ(ModulationFor(read(0x20)).page, 146);
  // What we send, we read back as sent.
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(DecodeDcs(EncodeDcs(i, true, true, 3)).speedIndex, i);
}

TEST(Dis, RemoteCapabilities) {
  // A V.17 machine: fine, 0 ms, A4 width only.
  const RemoteCapabilities v17 = DecodeDis(Bytes({0x00, 0xEE, 0xF8, 0x04}));
  EXPECT_EQ(v17.speeds, SpeedBit(1) | SpeedBit(2) | SpeedBit(3) | SpeedBit(4) | SpeedBit(5) | SpeedBit(6));
  EXPECT_TRUE(v17.fine);
  EXPECT_FALSE(v17.wide);
  EXPECT_EQ(v17.scanCode, 0);
  const RemoteCapabilities v29 = DecodeDis(Bytes({0x00, 0x0E, 0x01}));
  EXPECT_EQ(v29.speeds, SpeedBit(1) | SpeedBit(2) | SpeedBit(3) | SpeedBit(4));
  EXPECT_FALSE(v29.fine);
  EXPECT_TRUE(v29.wide);
  EXPECT_EQ(v29.scanCode, 5);
  EXPECT_EQ(DecodeDis(Bytes({0x00, 0x06})).speeds, SpeedBit(1) | SpeedBit(2) | SpeedBit(4));
  EXPECT_EQ(DecodeDis(Bytes({0x00, 0x12})).speeds, SpeedBit(1) | SpeedBit(2) | SpeedBit(5));
  EXPECT_EQ(DecodeDis("").speeds, SpeedBit(1) | SpeedBit(2));  // a truncated frame
  // Our own DIS offers what it encodes.
  const std::string dis = EncodeDis(SpeedBit(1) | SpeedBit(2) | SpeedBit(3) | SpeedBit(4));
  EXPECT_EQ(static_cast<std::uint8_t>(dis[1]), 0x4E);
  EXPECT_EQ(static_cast<std::uint8_t>(dis[2]), 0xF9);
  EXPECT_EQ(static_cast<std::uint8_t>(EncodeDis(0x7E)[1]), 0x6E);
  EXPECT_EQ(DecodeDis(EncodeDis(0x7E)).speeds, 0x7E);
  // A rate code is offered only when all its speeds can be received.
  EXPECT_EQ(static_cast<std::uint8_t>(EncodeDis(SpeedBit(1) | SpeedBit(2) | SpeedBit(3))[1]), 0x4A);
  EXPECT_EQ(static_cast<std::uint8_t>(EncodeDis(0x3E)[1]), 0x4E);  // up to 12000: V.29 only
}

TEST(Speeds, NegotiationAndFallback) {
  const SpeedMask local = LocalSpeeds("24,48,72,73,74,96,97,98,121,122,145,146", "(24,48,72,73,74,96,97,98,121,122,145,146)", 14400);
  EXPECT_EQ(local, 0x7E);
  EXPECT_EQ(LocalSpeeds("24,48,72,96", "24,48,72,96,121,122,145,146", 14400), 0x1E);
  EXPECT_EQ(LocalSpeeds("24,48,72,96,121,122", "24,48,72,96,121,122", 9600), 0x1E);
  EXPECT_EQ(LocalSpeeds("garbage", "", 14400), 0);
  const SpeedMask remote = SpeedBit(1) | SpeedBit(2) | SpeedBit(4);
  EXPECT_EQ(BestSpeed(local, remote), 4);
  EXPECT_EQ(FallbackSpeed(4, local, remote), 2);
  EXPECT_EQ(FallbackSpeed(2, local, remote), 1);
  EXPECT_EQ(FallbackSpeed(1, local, remote), 0);
  EXPECT_EQ(BestSpeed(0, remote), 0);
  EXPECT_EQ(SpeedByIndex(5).bps, 12000);
  EXPECT_STREQ(SpeedByIndex(5).tcfCode, "121");
  EXPECT_STREQ(SpeedByIndex(6).pageCode, "146");
  EXPECT_EQ(SpeedIndexOfBps(7200), 3);
  EXPECT_EQ(SpeedIndexOfBps(28800), 0);
}

TEST(Timing, MinimumLineBytesAndTrainingLength) {
  EXPECT_EQ(MinBytesPerLine(3, false, 9600), 12);   // 10 ms at 9600
  EXPECT_EQ(MinBytesPerLine(5, true, 14400), 36);   // 20 ms at 14400
  EXPECT_EQ(MinBytesPerLine(0, true, 14400), 0);
  EXPECT_EQ(MinBytesPerLine(6, false, 2400), 12);   // 40 ms at 2400
  EXPECT_EQ(TcfByteCount(9600), 1728);
  EXPECT_EQ(TcfByteCount(14400), 2592);
  EXPECT_EQ(TcfByteCount(2400), 432);
}

TEST(Hdlc, FramesAreWrittenWithDleShielding) {
  EXPECT_EQ(BuildHdlcFrame(kDCN, "", true), Bytes({0xFF, 0x13, 0xFB, 0x10, 0x03}));
  EXPECT_EQ(BuildHdlcFrame(kTSI, Bytes({0x10, 'A'}), false), Bytes({0xFF, 0x03, 0x43, 0x10, 0x10, 'A', 0x10, 0x03}));
}

TEST(Hdlc, CollectorSkipsNoiseUndoesShieldingAndDropsAGoodChecksum) {
  FrameCollector c;
  // Noise, then a DIS with its check sequence, split across two reads.
  const std::string first = Bytes({0x00, 0x7E, 0xFF, 0x13, 0x80, 0x00});
  const std::string second = Bytes({0xEE, 0xF8, 0x04, 0x1B, 0x2B, 0x10, 0x03, 'O', 'K'});
  EXPECT_EQ(c.Feed(first), first.size());
  EXPECT_FALSE(c.Complete());
  EXPECT_EQ(c.Feed(second), 7u);  // stops after DLE ETX
  ASSERT_TRUE(c.Complete());
  const auto frame = c.Take();
  ASSERT_TRUE(frame);
  EXPECT_TRUE(frame->Final());
  EXPECT_TRUE(SameFrame(frame->fcf, kDIS));
  EXPECT_EQ(frame->info, Bytes({0x00, 0xEE, 0xF8, 0x04}));

  c.Reset();
  c.Feed(Bytes({0xFF, 0x03, 0x42, 0x10, 0x10, 0x31, 0x10, 0x03}));  // no check sequence
  const auto tsi = c.Take();
  ASSERT_TRUE(tsi);
  EXPECT_FALSE(tsi->Final());
  EXPECT_TRUE(SameFrame(tsi->fcf, kTSI));
  EXPECT_EQ(tsi->info, Bytes({0x10, 0x31}));

  c.Reset();
  c.Feed(Bytes({0x55, 0x10, 0x03}));  // nothing but noise
  EXPECT_TRUE(c.Complete());
  EXPECT_FALSE(c.Take());
}

}  // namespace
}  // namespace tlm::t30
