// The table decoder against the plain tree decoder, and the decoding rules
// that a page's lines depend on.
#include <gtest/gtest.h>

#include <random>

#include "fax_test_util.h"
#include "faximage/t4_decoder.h"
#include "reference_decoder.h"

namespace tlm::testing {
namespace {

// Decodes with the table decoder, feeding the data in random pieces.
ReferenceResult FastDecode(const std::vector<std::uint8_t>& data, std::mt19937& rng) {
  ReferenceResult r;
  T4Decoder d([&](const std::uint8_t* line, int pixels) {
    r.lines.push_back(DecodedLine{pixels, std::vector<std::uint8_t>(line, line + pixels / 8)});
    return true;
  });
  std::size_t at = 0;
  while (at < data.size() && !d.PageEnded()) {
    const std::size_t n = std::min<std::size_t>(data.size() - at, rng() % (rng() % 2 ? 4 : 40) + 1);
    d.Feed(data.data() + at, n);
    at += n;
  }
  if (!d.PageEnded()) d.Finish();
  r.badCodes = d.BadCodes();
  r.ended = d.PageEnded();
  return r;
}

Page RandomPage(std::mt19937& rng, int width, int height) {
  Page p(width, height);
  for (int y = 0; y < height; ++y) {
    bool black = false;
    for (int x = 0; x < width;) {
      const int run = int(rng() % (rng() % 4 == 0 ? 900 : 40)) + 1;
      for (int i = x; i < std::min(width, x + run); ++i) {
        if (black) p.Set(i, y);
      }
      x += run;
      black = !black;
    }
  }
  return p;
}

TEST(T4Decoder, AgreesWithTheTreeDecoderOnDamagedAndRandomStreams) {
  std::mt19937 rng(20261208);
  ReferenceDecoder reference;
  long lines = 0, badCodes = 0, ended = 0;
  for (int round = 0; round < 400; ++round) {
    std::vector<std::uint8_t> data;
    const int kind = round % 4;
    if (kind == 3) {
      // Pure noise, sometimes with long zero stretches.
      data.resize(rng() % 600);
      for (auto& b : data) b = std::uint8_t(rng() % 3 == 0 ? 0 : rng());
    } else {
      const Page page = RandomPage(rng, round % 2 ? 2048 : 1728, 6);
      data = RawStream(EncodePage(page));
      if (kind >= 1) {
        for (int flips = int(rng() % 8); flips > 0; --flips) data[rng() % data.size()] ^= std::uint8_t(1u << (rng() % 8));
      }
      if (kind == 2) data.resize(rng() % data.size());
    }
    const ReferenceResult expected = reference.Decode(data);
    const ReferenceResult actual = FastDecode(data, rng);
    ASSERT_EQ(expected.lines.size(), actual.lines.size()) << "round " << round;
    ASSERT_EQ(expected, actual) << "round " << round;
    lines += long(expected.lines.size());
    badCodes += expected.badCodes;
    ended += expected.ended;
  }
  // The streams exercised every kind of outcome.
  EXPECT_GT(lines, 500);
  EXPECT_GT(badCodes, 100);
  EXPECT_GT(ended, 100);
}

TEST(T4Decoder, DecodesWhatTheEncoderWrote) {
  std::mt19937 rng(7);
  ReferenceDecoder reference;
  const Page page = RandomPage(rng, 1728, 40);
  const ReferenceResult r = reference.Decode(RawStream(EncodePage(page)));
  ASSERT_EQ(r.lines.size(), 40u);
  for (int y = 0; y < 40; ++y) {
    EXPECT_EQ(r.lines[std::size_t(y)].bits, std::vector<std::uint8_t>(page.Row(y), page.Row(y) + 216)) << y;
  }
  EXPECT_TRUE(r.ended);
  EXPECT_EQ(r.badCodes, 0);
}

// Writes codes most significant bit first as strings, stored LSB first.
std::vector<std::uint8_t> Bits(const std::string& s) {
  std::vector<std::uint8_t> out((s.size() + 7) / 8 + 1, 0);
  std::size_t i = 0;
  for (char c : s) {
    if (c == ' ') continue;
    if (c == '1') out[i / 8] |= std::uint8_t(1u << (i % 8));
    ++i;
  }
  out.resize((i + 7) / 8);
  return out;
}

const std::string kEol = "000000000001 ";
const std::string kWhite1728 = "010011011 00110101 ";  // make-up 1728, terminating 0
const std::string kWhite1664 = "011000 ";
const std::string kWhite63 = "00110100 ";
const std::string kBlack0 = "0000110111 ";

std::vector<ReferenceResult> BothDecoders(const std::string& bits) {
  std::mt19937 rng(1);
  const auto data = Bits(bits);
  return {ReferenceDecoder().Decode(data), FastDecode(data, rng)};
}

TEST(T4Decoder, KeepsOnlyFullWidthLinesAfterTheFirstEol) {
  // Before the first EOL: a full line that must be ignored.
  const std::string ignored = kWhite1728;
  // A 1727-pixel line: 1664 + 63.
  const std::string short1727 = kEol + kWhite1664 + kWhite63;
  const std::string full = kEol + kWhite1728;
  for (const auto& r : BothDecoders(ignored + short1727 + full + kEol + kEol + kEol)) {
    ASSERT_EQ(r.lines.size(), 1u);
    EXPECT_EQ(r.lines[0].pixels, 1728);
    EXPECT_TRUE(r.ended);
  }
}

TEST(T4Decoder, TakesAnyFillBeforeAnEolAndCountsBadCodes) {
  // 30 fill bits before the EOL; then a bad code (eight 0 bits and a 1 is
  // no white code word) with 1 bits after it that are skipped.
  const std::string fill(30, '0');
  const std::string bad = "000000001 111 ";
  for (const auto& r : BothDecoders(fill + kEol + kWhite1728 + fill + kEol + bad + kEol + kEol + kEol)) {
    EXPECT_EQ(r.lines.size(), 1u);
    EXPECT_EQ(r.badCodes, 1);
    EXPECT_TRUE(r.ended);
  }
}

TEST(T4Decoder, ABlackFirstPixelStartsWithAWhiteRunOfZero) {
  // White 0, black 1728 (make-up 1728, terminating 0).
  const std::string line = kEol + "00110101 " + "0000001100101 " + kBlack0;
  for (const auto& r : BothDecoders(line + kEol + kEol + kEol)) {
    ASSERT_EQ(r.lines.size(), 1u);
    EXPECT_EQ(r.lines[0].bits, std::vector<std::uint8_t>(216, 0xFF));
  }
}

}  // namespace
}  // namespace tlm::testing
