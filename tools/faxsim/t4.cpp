// T.4 modified Huffman code tables, encoder and decoder.
#include "t4.h"

#include <algorithm>
#include <map>

namespace faxsim {
namespace {

struct Code { int run; const char* bits; };

constexpr Code kWhiteTerm[] = {
    {0, "00110101"}, {1, "000111"}, {2, "0111"}, {3, "1000"}, {4, "1011"}, {5, "1100"},
    {6, "1110"}, {7, "1111"}, {8, "10011"}, {9, "10100"}, {10, "00111"}, {11, "01000"},
    {12, "001000"}, {13, "000011"}, {14, "110100"}, {15, "110101"}, {16, "101010"},
    {17, "101011"}, {18, "0100111"}, {19, "0001100"}, {20, "0001000"}, {21, "0010111"},
    {22, "0000011"}, {23, "0000100"}, {24, "0101000"}, {25, "0101011"}, {26, "0010011"},
    {27, "0100100"}, {28, "0011000"}, {29, "00000010"}, {30, "00000011"}, {31, "00011010"},
    {32, "00011011"}, {33, "00010010"}, {34, "00010011"}, {35, "00010100"}, {36, "00010101"},
    {37, "00010110"}, {38, "00010111"}, {39, "00101000"}, {40, "00101001"}, {41, "00101010"},
    {42, "00101011"}, {43, "00101100"}, {44, "00101101"}, {45, "00000100"}, {46, "00000101"},
    {47, "00001010"}, {48, "00001011"}, {49, "01010010"}, {50, "01010011"}, {51, "01010100"},
    {52, "01010101"}, {53, "00100100"}, {54, "00100101"}, {55, "01011000"}, {56, "01011001"},
    {57, "01011010"}, {58, "01011011"}, {59, "01001010"}, {60, "01001011"}, {61, "00110010"},
    {62, "00110011"}, {63, "00110100"}};

constexpr Code kWhiteMakeup[] = {
    {64, "11011"}, {128, "10010"}, {192, "010111"}, {256, "0110111"}, {320, "00110110"},
    {384, "00110111"}, {448, "01100100"}, {512, "01100101"}, {576, "01101000"},
    {640, "01100111"}, {704, "011001100"}, {768, "011001101"}, {832, "011010010"},
    {896, "011010011"}, {960, "011010100"}, {1024, "011010101"}, {1088, "011010110"},
    {1152, "011010111"}, {1216, "011011000"}, {1280, "011011001"}, {1344, "011011010"},
    {1408, "011011011"}, {1472, "010011000"}, {1536, "010011001"}, {1600, "010011010"},
    {1664, "011000"}, {1728, "010011011"}};

constexpr Code kBlackTerm[] = {
    {0, "0000110111"}, {1, "010"}, {2, "11"}, {3, "10"}, {4, "011"}, {5, "0011"},
    {6, "0010"}, {7, "00011"}, {8, "000101"}, {9, "000100"}, {10, "0000100"},
    {11, "0000101"}, {12, "0000111"}, {13, "00000100"}, {14, "00000111"},
    {15, "000011000"}, {16, "0000010111"}, {17, "0000011000"}, {18, "0000001000"},
    {19, "00001100111"}, {20, "00001101000"}, {21, "00001101100"}, {22, "00000110111"},
    {23, "00000101000"}, {24, "00000010111"}, {25, "00000011000"}, {26, "000011001010"},
    {27, "000011001011"}, {28, "000011001100"}, {29, "000011001101"}, {30, "000001101000"},
    {31, "000001101001"}, {32, "000001101010"}, {33, "000001101011"}, {34, "000011010010"},
    {35, "000011010011"}, {36, "000011010100"}, {37, "000011010101"}, {38, "000011010110"},
    {39, "000011010111"}, {40, "000001101100"}, {41, "000001101101"}, {42, "000011011010"},
    {43, "000011011011"}, {44, "000001010100"}, {45, "000001010101"}, {46, "000001010110"},
    {47, "000001010111"}, {48, "000001100100"}, {49, "000001100101"}, {50, "000001010010"},
    {51, "000001010011"}, {52, "000000100100"}, {53, "000000110111"}, {54, "000000111000"},
    {55, "000000100111"}, {56, "000000101000"}, {57, "000001011000"}, {58, "000001011001"},
    {59, "000000101011"}, {60, "000000101100"}, {61, "000001011010"}, {62, "000001100110"},
    {63, "000001100111"}};

constexpr Code kBlackMakeup[] = {
    {64, "0000001111"}, {128, "000011001000"}, {192, "000011001001"}, {256, "000001011011"},
    {320, "000000110011"}, {384, "000000110100"}, {448, "000000110101"},
    {512, "0000001101100"}, {576, "0000001101101"}, {640, "0000001001010"},
    {704, "0000001001011"}, {768, "0000001001100"}, {832, "0000001001101"},
    {896, "0000001110010"}, {960, "0000001110011"}, {1024, "0000001110100"},
    {1088, "0000001110101"}, {1152, "0000001110110"}, {1216, "0000001110111"},
    {1280, "0000001010010"}, {1344, "0000001010011"}, {1408, "0000001010100"},
    {1472, "0000001010101"}, {1536, "0000001011010"}, {1600, "0000001011011"},
    {1664, "0000001100100"}, {1728, "0000001100101"}};

// Shared by both colours, for runs above 1728 (wide pages).
constexpr Code kExtMakeup[] = {
    {1792, "00000001000"}, {1856, "00000001100"}, {1920, "00000001101"},
    {1984, "000000010010"}, {2048, "000000010011"}, {2112, "000000010100"},
    {2176, "000000010101"}, {2240, "000000010110"}, {2304, "000000010111"},
    {2368, "000000011100"}, {2432, "000000011101"}, {2496, "000000011110"},
    {2560, "000000011111"}};

class BitWriter {
 public:
  explicit BitWriter(Bytes& out) : out_(out) {}
  void put(const char* bits) {
    for (; *bits; ++bits) bit(*bits == '1');
  }
  void bit(bool one) {
    if (used_ == 0) out_.push_back(0);
    if (one) out_.back() |= uint8_t(1u << used_);
    used_ = (used_ + 1) % 8;
    ++count_;
  }
  long count() const { return count_; }
  int used() const { return used_; }

 private:
  Bytes& out_;
  int used_ = 0;
  long count_ = 0;
};

const char* find(const Code* table, size_t n, int run) {
  for (size_t i = 0; i < n; ++i)
    if (table[i].run == run) return table[i].bits;
  return nullptr;
}

void putRun(BitWriter& w, int run, bool black) {
  while (run > 2560) {
    w.put(find(kExtMakeup, std::size(kExtMakeup), 2560));
    run -= 2560;
  }
  if (run >= 64) {
    int makeup = run / 64 * 64;
    const char* bits = makeup > 1728 ? find(kExtMakeup, std::size(kExtMakeup), makeup)
                       : black      ? find(kBlackMakeup, std::size(kBlackMakeup), makeup)
                                    : find(kWhiteMakeup, std::size(kWhiteMakeup), makeup);
    w.put(bits);
    run -= makeup;
  }
  w.put(black ? kBlackTerm[run].bits : kWhiteTerm[run].bits);
}

constexpr const char* kEol = "000000000001";

// Fill so that the next EOL ends on a byte boundary.
void alignedEol(BitWriter& w) {
  while ((w.used() + 12) % 8 != 0) w.bit(false);
  w.put(kEol);
}

// Code lookup for the decoder: key = (length << 16) | code value.
struct Tables {
  std::map<uint32_t, int> white, black;
  Tables() {
    auto add = [](std::map<uint32_t, int>& m, const Code* t, size_t n) {
      for (size_t i = 0; i < n; ++i) {
        uint32_t v = 0, len = 0;
        for (const char* b = t[i].bits; *b; ++b, ++len) v = v << 1 | uint32_t(*b == '1');
        m[len << 16 | v] = t[i].run;
      }
    };
    add(white, kWhiteTerm, std::size(kWhiteTerm));
    add(white, kWhiteMakeup, std::size(kWhiteMakeup));
    add(white, kExtMakeup, std::size(kExtMakeup));
    add(black, kBlackTerm, std::size(kBlackTerm));
    add(black, kBlackMakeup, std::size(kBlackMakeup));
    add(black, kExtMakeup, std::size(kExtMakeup));
  }
};

const Tables& tables() {
  static const Tables t;
  return t;
}

class BitReader {
 public:
  explicit BitReader(const Bytes& d) : d_(d) {}
  bool atEnd() const { return pos_ >= d_.size() * 8; }
  int bit() {
    if (atEnd()) return -1;
    int b = (d_[pos_ / 8] >> (pos_ % 8)) & 1;
    ++pos_;
    return b;
  }
  size_t pos() const { return pos_; }
  void seek(size_t p) { pos_ = p; }

 private:
  const Bytes& d_;
  size_t pos_ = 0;
};

// Skips to just after the next EOL (11+ zeros then a one). Returns false at
// the end of the data. zerosBefore tells how many zero bits preceded it.
bool nextEol(BitReader& r) {
  int zeros = 0;
  for (;;) {
    int b = r.bit();
    if (b < 0) return false;
    if (b == 0) {
      ++zeros;
    } else {
      if (zeros >= 11) return true;
      zeros = 0;
    }
  }
}

// Decodes one line's runs after an EOL. Returns the pixel count, or -1 on
// an invalid code or the end of the data. Stops once the width is reached.
int decodeLine(BitReader& r, int width, std::vector<int>& runs) {
  const Tables& t = tables();
  runs.clear();
  int total = 0, current = 0;
  bool black = false;
  while (total < width || current > 0) {  // a make-up code needs its terminating code
    if (total > width) return -1;
    const auto& m = black ? t.black : t.white;
    uint32_t v = 0;
    int run = -1;
    for (uint32_t len = 1; len <= 13 && run < 0; ++len) {
      int b = r.bit();
      if (b < 0) return -1;
      v = v << 1 | uint32_t(b);
      auto it = m.find(len << 16 | v);
      if (it != m.end()) run = it->second;
    }
    if (run < 0) return -1;
    total += run;
    current += run;
    if (run < 64) {  // a terminating code ends the run
      runs.push_back(current);
      current = 0;
      black = !black;
    }
  }
  return current == 0 ? total : -1;
}

}  // namespace

Bytes encodeMh(const Bitmap& page, int minBitsPerLine) {
  Bytes out;
  BitWriter w(out);
  alignedEol(w);
  for (int y = 0; y < page.height; ++y) {
    long start = w.count();
    bool black = false;
    int x = 0;
    while (x < page.width) {
      int run = 0;
      while (x < page.width && page.pixel(x, y) == black) ++x, ++run;
      putRun(w, run, black);
      black = !black;
    }
    while (w.count() - start + 12 < minBitsPerLine) w.bit(false);
    alignedEol(w);
  }
  for (int i = 0; i < 5; ++i) w.put(kEol);  // with the last line's EOL: RTC
  while (w.used() != 0) w.bit(false);
  return out;
}

DecodeResult decodeMh(const Bytes& data, Bitmap& out) {
  DecodeResult res;
  int width = out.width;
  std::vector<uint8_t> rows;
  std::vector<uint8_t> prev(size_t((width + 7) / 8), 0);
  BitReader r(data);
  std::vector<int> runs;
  int consecutiveBad = 0;
  int emptyLines = 0;
  if (!nextEol(r)) {
    out.resize(width, 0);
    return res;
  }
  for (;;) {
    size_t start = r.pos();
    int total = decodeLine(r, width, runs);
    if (total == width) {
      // A good line must be followed by fill and an EOL.
      bool eol = nextEol(r);
      std::vector<uint8_t> row(prev.size(), 0);
      int x = 0;
      bool black = false;
      for (int run : runs) {
        if (black)
          for (int i = 0; i < run && x + i < width; ++i) row[size_t(x + i) / 8] |= uint8_t(0x80 >> ((x + i) % 8));
        x += run;
        black = !black;
      }
      rows.insert(rows.end(), row.begin(), row.end());
      prev = row;
      ++res.lines;
      consecutiveBad = 0;
      emptyLines = 0;
      if (!eol) break;
      continue;
    }
    // Not a full line: an EOL right here (empty line) counts towards RTC.
    r.seek(start);
    int zeros = 0, b;
    while ((b = r.bit()) == 0) ++zeros;
    if (b == 1 && zeros >= 11) {
      if (++emptyLines >= 5) {
        res.rtc = true;
        break;
      }
      continue;
    }
    if (b < 0) break;
    // A damaged line: repeat the previous one and resynchronise on the next EOL.
    r.seek(start);
    emptyLines = 0;
    bool eol = nextEol(r);
    rows.insert(rows.end(), prev.begin(), prev.end());
    ++res.lines;
    ++res.badLines;
    res.maxConsecutiveBad = std::max(res.maxConsecutiveBad, ++consecutiveBad);
    if (!eol) break;
  }
  out.height = res.lines;
  out.bits = std::move(rows);
  return res;
}

void reverseBits(Bytes& data) {
  for (auto& b : data) {
    uint8_t v = b, r = 0;
    for (int i = 0; i < 8; ++i, v >>= 1) r = uint8_t(r << 1 | (v & 1));
    b = r;
  }
}

}  // namespace faxsim
