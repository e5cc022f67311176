// The page coders: every ITU chart and the text page go MH -> MR -> MH and
// MH -> MMR -> MH with every pixel kept, fed in odd pieces; the recoders
// between stored MH records and the line's codings; fill for the minimum
// scan time; damaged MR and MMR data.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fax_test_util.h"
#include "faximage/t4_decoder.h"
#include "faximage/t4_page_coding.h"

namespace tlm::testing {
namespace {

std::string Encode(const Page& page, T4Coding coding, int k = 2, int minBits = 0) {
  T4PageEncoder encoder(coding, page.width, k, minBits);
  std::string out;
  for (int y = 0; y < page.height; ++y) encoder.EncodeLine(page.Row(y), out);
  encoder.Finish(out);
  return out;
}

// Decodes `data` fed `piece` bytes at a time.
Page Decode(const std::string& data, T4Coding coding, int width, std::size_t piece = 0, long* bad = nullptr) {
  Page page(width, 0);
  T4PageDecoder decoder(coding, width, [&](const std::uint8_t* line, int pixels) {
    EXPECT_EQ(pixels, width);
    page.bits.insert(page.bits.end(), line, line + (width + 7) / 8);
    ++page.height;
    return true;
  });
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.data());
  if (piece == 0) piece = data.size();
  for (std::size_t at = 0; at < data.size(); at += piece) decoder.Feed(bytes + at, std::min(piece, data.size() - at));
  decoder.Finish();
  if (bad) *bad = decoder.BadLines();
  return page;
}

std::string Records(const Page& page) {
  const auto raw = RawStream(EncodePage(page));
  return std::string(raw.begin(), raw.end());
}

struct Chart {
  std::string name;
  Page page;
};

std::vector<Chart> Charts() {
  std::vector<Chart> charts;
  for (int n = 1; n <= 8; ++n) charts.push_back({"itu" + std::to_string(n), ReadPbm(ItuChart(n))});
  charts.push_back({"text-page", ReadPbm(ImageFixture("text-page.pbm"))});
  return charts;
}

TEST(T4PageCoding, EveryChartRoundTripsThroughEachCoding) {
  for (const Chart& chart : Charts()) {
    SCOPED_TRACE(chart.name);
    for (const T4Coding coding : {T4Coding::MH, T4Coding::MR, T4Coding::MMR}) {
      for (const int k : {2, 4}) {
        const std::string coded = Encode(chart.page, coding, k);
        const Page whole = Decode(coded, coding, chart.page.width);
        EXPECT_TRUE(whole == chart.page) << int(coding) << " k=" << k << ": " << whole.height << " lines";
        EXPECT_TRUE(Decode(coded, coding, chart.page.width, 37) == chart.page) << int(coding) << " in pieces";
      }
    }
  }
}

// Noise, single pixels, long runs and lines black to the edge, at every
// line width: the widths the 2-D codes address must all come back.
TEST(T4PageCoding, MixedPagesOfEveryWidthRoundTrip) {
  std::uint32_t x = 99;
  for (const int width : {1728, 2048, 2432}) {
    Page page(width, 120);
    for (int y = 0; y < page.height; ++y) {
      x = x * 1103515245 + 12345;
      const int kind = y % 6;
      for (int px = 0; px < width; ++px) {
        x = x * 1103515245 + 12345;
        const bool black = kind == 0   ? (x >> 16) & 1                        // noise
                           : kind == 1 ? px == y * 13 % width                 // one pixel
                           : kind == 2 ? px >= width / 3                       // black to the edge
                           : kind == 3 ? px < 3 || px == width - 1             // both edges
                           : kind == 4 ? (px / (1 + y % 40)) % 2 == 1          // bars
                                       : (x >> 20) % 97 == 0;                  // sparse dots
        if (black) page.Set(px, y);
      }
    }
    for (const T4Coding coding : {T4Coding::MH, T4Coding::MR, T4Coding::MMR}) {
      if (coding == T4Coding::MH && width > 2048) continue;  // MH keeps the widths an APF page has
      EXPECT_TRUE(Decode(Encode(page, coding, 3), coding, width, 11) == page) << width << " " << int(coding);
    }
  }
}

// Feeds `data` to a recoder `piece` bytes at a time.
template <typename Recoder>
void Recode(Recoder& recoder, const std::string& data, std::size_t piece, std::string& out) {
  for (std::size_t at = 0; at < data.size(); at += piece) {
    recoder.Feed(reinterpret_cast<const std::uint8_t*>(data.data()) + at, std::min(piece, data.size() - at), out);
  }
  recoder.Finish(out);
}

// APF records -> MR/MMR for the line -> MH records for the file: the
// records decode to the chart, and the line's data is smaller than the
// records (compact MH too).
TEST(T4PageCoding, StoredRecordsRecodeForTheLineAndBack) {
  for (const Chart& chart : Charts()) {
    SCOPED_TRACE(chart.name);
    const std::string stored = Records(chart.page);
    for (const T4Coding coding : {T4Coding::MH, T4Coding::MR, T4Coding::MMR}) {
      T4PageEncoder encoder(coding, chart.page.width, 4, 0);
      T4ApfPageRecoder toLine(encoder);
      std::string line;
      Recode(toLine, stored, 1000, line);
      EXPECT_EQ(toLine.BadCodes(), 0);
      EXPECT_LT(line.size(), stored.size()) << int(coding);

      T4ReceivedPageRecoder toFile(coding, chart.page.width);
      std::string filed;
      Recode(toFile, line, 333, filed);
      EXPECT_EQ(toFile.BadLines(), 0);
      if (coding != T4Coding::MH) {
        EXPECT_EQ(toFile.Lines(), chart.page.height);
        EXPECT_TRUE(filed == stored) << "the file gets the records the converter writes";
      }
      EXPECT_TRUE(Decode(filed, T4Coding::MH, chart.page.width) == chart.page) << int(coding);
    }
  }
}

TEST(T4PageCoding, LinesGetFillUpToTheMinimumScanTime) {
  Page page(1728, 40);
  for (int y = 0; y < page.height; y += 3) page.Set(y * 17, y);
  const int minBits = T4MinBitsPerLine(9600, 20);  // 192
  for (const T4Coding coding : {T4Coding::MH, T4Coding::MR}) {
    const std::string plain = Encode(page, coding, 2, 0);
    const std::string filled = Encode(page, coding, 2, minBits);
    // Every line of this page is far shorter than the minimum: each takes
    // exactly the minimum, the end of page none.
    const std::size_t endBits = coding == T4Coding::MH ? 6 * 12 : 6 * 13;
    EXPECT_EQ(filled.size(), (std::size_t(page.height) * std::size_t(minBits) + endBits + 7) / 8);
    EXPECT_LT(plain.size(), filled.size());
    EXPECT_TRUE(Decode(filled, coding, 1728) == page);
  }
  // MMR never gets fill: 0 bits would be read as codes.
  EXPECT_EQ(Encode(page, T4Coding::MMR, 2, minBits), Encode(page, T4Coding::MMR, 2, 0));
}

TEST(T4PageCoding, KnownBitsOfAWhitePage) {
  Page white(1728, 2);
  // EOL+1, white 1728 (1-D), EOL+0, V(0) (2-D), then six EOL+1.
  const std::string mr = Encode(white, T4Coding::MR, 2);
  ASSERT_GE(mr.size(), 6u);
  EXPECT_EQ(mr.substr(0, 5), std::string("\x00\x58\x36\x2B\x00", 5));
  // MMR: V(0) twice then EOFB.
  const std::string mmr = Encode(white, T4Coding::MMR);
  EXPECT_EQ(mmr, std::string("\x03\x20\x00\x02", 4));
}

// Bits written in line order ("0001...") as bytes, first bit in bit 0.
std::string BitsToBytes(const std::string& bits) {
  std::string out((bits.size() + 7) / 8, '\0');
  for (std::size_t i = 0; i < bits.size(); ++i) {
    if (bits[i] == '1') out[i / 8] = char(out[i / 8] | (1 << (i % 8)));
  }
  return out;
}

// RTC may carry either tag (some writers use the tag of the next line), and
// the page ends there: what follows is not decoded.
TEST(T4PageCoding, MrPageEndsAtRtcOfEitherTag) {
  const std::string eol = "000000000001", white1728 = "010011011" "00110101";
  for (const char tag : {'0', '1'}) {
    std::string bits = eol + "1" + white1728 + eol + "0" + "1";
    for (int i = 0; i < 6; ++i) bits += eol + tag;
    bits += eol + "1" + "011";  // a black line would follow if decoding went on
    long lines = 0;
    T4PageDecoder decoder(T4Coding::MR, 1728, [&](const std::uint8_t*, int) { return ++lines > 0; });
    const std::string data = BitsToBytes(bits + "0000");
    EXPECT_FALSE(decoder.Feed(reinterpret_cast<const std::uint8_t*>(data.data()), data.size())) << tag;
    EXPECT_TRUE(decoder.PageEnded());
    EXPECT_EQ(lines, 2);
    EXPECT_EQ(decoder.BadLines(), 0);
  }
}

// A damaged 2-D line in MR: the last good line stands in for it and the
// lines up to the next 1-D line; the page keeps its height.
TEST(T4PageCoding, DamagedMrLinesAreRepeatedUntilTheNextOneDimensionalLine) {
  const Page chart = ReadPbm(ItuChart(1));
  std::string coded = Encode(chart, T4Coding::MR, 4);
  coded[coded.size() / 2] = char(coded[coded.size() / 2] ^ 0x5A);
  long bad = 0;
  const Page decoded = Decode(coded, T4Coding::MR, chart.width, 512, &bad);
  EXPECT_GT(bad, 0);
  EXPECT_LE(bad, 8);
  EXPECT_EQ(decoded.height, chart.height);
  int differing = 0;
  for (int y = 0; y < chart.height; ++y) differing += !std::equal(decoded.Row(y), decoded.Row(y) + 216, chart.Row(y));
  EXPECT_LE(differing, 8);
}

TEST(T4PageCoding, DamagedOrCutMmrEndsThePageWithTheLinesBeforeIt) {
  const Page chart = ReadPbm(ItuChart(4));
  const std::string coded = Encode(chart, T4Coding::MMR);
  const std::string cut = coded.substr(0, coded.size() / 2);
  long bad = 0;
  const Page head = Decode(cut, T4Coding::MMR, chart.width, 100, &bad);
  ASSERT_GT(head.height, 10);
  ASSERT_LT(head.height, chart.height);
  EXPECT_TRUE(std::equal(head.bits.begin(), head.bits.end(), chart.bits.begin()));

  std::string damaged = coded;
  for (std::size_t i = coded.size() / 3; i < coded.size() / 3 + 8; ++i) damaged[i] = '\xFF';
  const Page part = Decode(damaged, T4Coding::MMR, chart.width, 0, &bad);
  EXPECT_EQ(bad, 1);
  EXPECT_LT(part.height, chart.height);
}

TEST(T4PageCoding, GarbageNeverYieldsLinesOfAnotherWidth) {
  std::string noise;
  std::uint32_t x = 12345;
  for (int i = 0; i < 20000; ++i) {
    x = x * 1103515245 + 12345;
    noise.push_back(char(x >> 16));
  }
  for (const T4Coding coding : {T4Coding::MR, T4Coding::MMR}) {
    const Page page = Decode(noise, coding, 1728, 7);
    EXPECT_EQ(page.bits.size(), std::size_t(page.height) * 216);
  }
}

}  // namespace
}  // namespace tlm::testing
