// Error correction framing: the bit-level HDLC writer and reader, the
// partial page signal and request map, blocks cut from a page and put
// together again, and the coding and error correction bits of DIS and DCS.
#include <gtest/gtest.h>

#include <random>

#include "fax/ecm_block.h"
#include "fax/hdlc_bits.h"
#include "fax/t30_frames.h"

namespace tlm {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng() & 0xFF);
  return s;
}

std::vector<std::string> ReadFrames(std::string_view bits, std::size_t minLength = 3) {
  std::vector<std::string> frames;
  HdlcBitReader reader([&](std::string_view f) { frames.emplace_back(f); }, minLength);
  reader.Feed(bits);
  return frames;
}

TEST(HdlcBits, CheckSequencesMatchKnownFrames) {
  // PPS-NULL, first block, 256 frames; RCP.
  const std::string pps = Bytes({0xFF, 0x13, 0xBF, 0x00, 0x00, 0x00, 0xFF});
  EXPECT_EQ(static_cast<std::uint16_t>(~t30::FrameCheck(pps)), 0x7718);
  EXPECT_EQ(static_cast<std::uint16_t>(~t30::FrameCheck(Bytes({0xFF, 0x03, 0x86}))), 0xCB69);
}

TEST(HdlcBits, InsertsZerosAfterFiveOnes) {
  // RCP FF 03 86 69 CB is 42 bits on the line after zero insertion; with a
  // leading and a closing flag and the rest of the last byte that is 7 bytes.
  HdlcBitWriter w;
  w.Flags(1);
  w.Frame(Bytes({0xFF, 0x03, 0x86}));
  const std::string bits = w.Take();
  EXPECT_EQ(bits.size(), std::size_t((8 + 42 + 8 + 7) / 8));
  EXPECT_EQ(static_cast<std::uint8_t>(bits[0]), 0x7E);
  // First bits after the flag: 11111 0 111 (LSB first).
  EXPECT_EQ(static_cast<std::uint8_t>(bits[1]), 0xDF);
}

TEST(HdlcBits, FramesSurviveTheRoundTripAtAnyBitOffset) {
  HdlcBitWriter w;
  w.Flags(10);
  std::vector<std::string> sent;
  for (int i = 0; i < 20; ++i) {
    sent.push_back(Bytes({0xFF, 0x03, 0x06, i}) + RandomBytes(256, unsigned(i)));
    w.Frame(sent.back());
  }
  // All-ones data stuffs the most.
  sent.push_back(Bytes({0xFF, 0x03, 0x06, 20}) + std::string(256, char(0xFF)));
  w.Frame(sent.back());
  w.Flags(2);
  const std::string bits = w.Take();
  for (int shift = 0; shift < 8; ++shift) {
    // Shift the stream by `shift` bits, as a modem starts anywhere in a byte.
    std::string shifted;
    unsigned acc = 0xFFu >> (8 - shift);  // idle ones before the flags
    int have = shift;
    for (const char c : bits) {
      acc |= unsigned(std::uint8_t(c)) << have;
      shifted.push_back(char(acc & 0xFF));
      acc >>= 8;
    }
    SCOPED_TRACE(shift);
    EXPECT_EQ(ReadFrames(shifted), sent);
  }
}

TEST(HdlcBits, DamagedFramesAreDroppedAndCounted) {
  HdlcBitWriter w;
  w.Flags(4);
  for (int i = 0; i < 3; ++i) w.Frame(Bytes({0xFF, 0x03, 0x06, i}) + RandomBytes(64, unsigned(i)));
  w.Flags(2);
  std::string bits = w.Take();
  bits[40] = char(bits[40] ^ 0x10);  // inside the first frame
  std::vector<std::string> frames;
  HdlcBitReader reader([&](std::string_view f) { frames.emplace_back(f); });
  reader.Feed(bits);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0][3], 1);
  EXPECT_EQ(reader.BadFrames(), 1);
}

TEST(EcmSignals, PartialPageSignalAndRequestMap) {
  EXPECT_EQ(EcmPpsInfo(0x4F, 0, 0, 16), Bytes({0x4F, 0x00, 0x00, 0x0F}));
  EXPECT_EQ(EcmPpsInfo(0, 300, 1, 256), Bytes({0x00, 0x2C, 0x01, 0xFF}));
  EcmPps pps;
  ASSERT_TRUE(ParseEcmPps(Bytes({0x2F, 0x03, 0x02, 0xFF}), pps));
  EXPECT_EQ(pps.postPage, 0x2F);
  EXPECT_EQ(pps.page, 3);
  EXPECT_EQ(pps.block, 2);
  EXPECT_EQ(pps.frames, 256);
  EXPECT_FALSE(ParseEcmPps(Bytes({0x2F, 0x03}), pps));

  // 16-frame block, frames 4-7 bad: F0 00, then every further bit set.
  EcmFrameSet bad;
  for (int n = 4; n < 8; ++n) bad.set(std::size_t(n));
  const std::string map = EcmRequestMap(bad, 16);
  ASSERT_EQ(map.size(), 32u);
  EXPECT_EQ(map.substr(0, 3), Bytes({0xF0, 0x00, 0xFF}));
  EXPECT_EQ(ParseEcmRequestMap(map, 16), bad);
}

TEST(EcmBlocks, APageGoesThroughBlocksAndRetransmission) {
  const std::string page = RandomBytes(300 * 256 + 100, 7);  // 301 frames: two blocks
  EcmPage sender;
  sender.Reset(page);
  ASSERT_EQ(sender.BlockCount(), 2);
  EXPECT_EQ(sender.FrameCount(0), 256);
  EXPECT_EQ(sender.FrameCount(1), 45);

  std::string received;
  for (int b = 0; b < sender.BlockCount(); ++b) {
    EcmBlock block;
    block.Reset();
    EcmFrameSet all;
    all.set();
    std::string burst = sender.Burst(b, all, EcmSyncFlags(14400));
    // Damage two frames on the way.
    burst[5000] = char(burst[5000] ^ 0x01);
    burst[9000] = char(burst[9000] ^ 0x80);
    int rcps = 0;
    const auto take = [&](std::string_view f) {
      bool rcp = false;
      EXPECT_TRUE(block.Take(f, rcp));
      rcps += rcp;
    };
    HdlcBitReader reader(take);
    reader.Feed(burst);
    EXPECT_EQ(rcps, 3);
    block.Announce(sender.FrameCount(b));
    const EcmFrameSet missing = block.Missing();
    EXPECT_EQ(missing.count(), 2u);
    EXPECT_FALSE(block.Complete());
    // The request map goes over the line; only the missing frames come again.
    const EcmFrameSet again = ParseEcmRequestMap(EcmRequestMap(missing, block.Frames()), sender.FrameCount(b));
    EXPECT_EQ(again, missing);
    const std::string second = sender.Burst(b, again, EcmSyncFlags(14400));
    EXPECT_LT(second.size(), 3 * 300 + 500);
    HdlcBitReader reader2(take);
    reader2.Feed(second);
    EXPECT_TRUE(block.Complete());
    received += block.Data();
  }
  ASSERT_EQ(received.size(), 301u * 256);
  EXPECT_EQ(received.substr(0, page.size()), page);
  EXPECT_EQ(received.substr(page.size()), std::string(received.size() - page.size(), '\0'));
}

TEST(Negotiation, DisOffersAndDcsPicksCodingAndErrorCorrection) {
  using namespace t30;
  const SpeedMask all = 0x7E;
  // Nothing new offered: the DIS of plain MH sessions.
  EXPECT_EQ(EncodeDis(all), Bytes({0x00, 0x6E, 0xF9, 0x00}));
  const std::string dis = EncodeDis(all, Facilities{T4Coding::MMR, true});
  EXPECT_EQ(dis, Bytes({0x00, 0xEE, 0xF9, 0x44}));
  RemoteCapabilities caps = DecodeDis(dis);
  EXPECT_TRUE(caps.mr && caps.ecm && caps.mmr);
  // MMR is never offered without error correction.
  caps = DecodeDis(EncodeDis(all, Facilities{T4Coding::MMR, false}));
  EXPECT_TRUE(caps.mr);
  EXPECT_FALSE(caps.ecm || caps.mmr);

  caps = DecodeDis(dis);
  CodingChoice c = ChooseCoding(caps, {T4Coding::MMR, true});
  EXPECT_EQ(c.coding, T4Coding::MMR);
  EXPECT_TRUE(c.ecm);
  c = ChooseCoding(caps, {T4Coding::MMR, false});
  EXPECT_EQ(c.coding, T4Coding::MR);
  EXPECT_FALSE(c.ecm);
  c = ChooseCoding(caps, {T4Coding::MR, true});
  EXPECT_EQ(c.coding, T4Coding::MR);
  EXPECT_TRUE(c.ecm);
  c = ChooseCoding(caps, {T4Coding::MH, true});
  EXPECT_EQ(c.coding, T4Coding::MH);
  EXPECT_TRUE(c.ecm);
  c = ChooseCoding(DecodeDis(EncodeDis(all)), {T4Coding::MMR, true});
  EXPECT_EQ(c.coding, T4Coding::MH);
  EXPECT_FALSE(c.ecm);

  // DCS 14400, fine, MR, ECM 256: scan time 0, extend, ECM bit.
  const std::string dcs = EncodeDcs(6, true, false, 5, {T4Coding::MR, true});
  EXPECT_EQ(dcs, Bytes({0x00, 0xE2, 0xF8, 0x04}));
  SessionParameters p = DecodeDcs(dcs);
  EXPECT_EQ(p.coding, T4Coding::MR);
  EXPECT_TRUE(p.ecm);
  EXPECT_EQ(p.ecmFrameSize, 256);
  p = DecodeDcs(EncodeDcs(6, true, false, 5, {T4Coding::MMR, true}));
  EXPECT_EQ(p.coding, T4Coding::MMR);
  EXPECT_EQ(EncodeDcs(6, true, false, 5, {T4Coding::MMR, true})[1], char(0x62));
  // Without error correction the remote's scan time holds, as before.
  EXPECT_EQ(EncodeDcs(4, false, false, 5), EncodeDcs(4, false, false, 5, {}));
  EXPECT_EQ(SpeedIndexOfRateBits(RateBits(5)), 5);
  EXPECT_EQ(SpeedIndexOfRateBits(RateBits(4)), 4);
}

}  // namespace
}  // namespace tlm
