#pragma once
// Decodes a page of T.4 modified Huffman code into raster lines.
//
// Bits are taken least significant first. Runs before the page's first EOL
// are ignored; at each EOL the line collected since the previous one is
// kept only when it is exactly 1728 or 2048 pixels; any number of 0 fill
// bits may precede an EOL; a bit pattern that is no code word is counted as
// a bad code, after which 1 bits are skipped up to the next 0; three EOLs in
// a row end the page. Code words are looked up 13 bits at a time.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace tlm {

class T4Decoder {
 public:
  static constexpr int kLineBufferBytes = 512;

  // Receives each kept line: packed, most significant bit leftmost, 1 black;
  // `pixels` is 1728 or 2048. Returning false ends the page.
  using LineSink = std::function<bool(const std::uint8_t* line, int pixels)>;

  explicit T4Decoder(LineSink sink);

  // Forgets everything of the previous page.
  void StartPage();
  // Decodes more of the page's data; false once the page has ended.
  bool Feed(const std::uint8_t* data, std::size_t size);
  // The page's data is complete: decodes what the remaining bits still hold.
  void Finish();

  bool PageEnded() const { return ended_; }
  long BadCodes() const { return badCodes_; }

 private:
  bool Step(bool final);
  void Consume(int n) {
    bits_ = n >= 64 ? 0 : bits_ >> n;
    count_ -= n;
  }
  void Run(int run);
  void Eol();

  LineSink sink_;
  std::uint64_t bits_ = 0;  // pending bits, the next one in bit 0
  int count_ = 0;
  bool black_ = false;
  bool inFill_ = false;     // eleven 0 bits seen: more 0 bits, then EOL
  bool skipOnes_ = false;   // after a bad code
  bool eolSeen_ = false;
  bool ended_ = false;
  int consecutiveEols_ = 0;
  int pos_ = 0;             // pixels collected in the current line
  long badCodes_ = 0;
  std::array<std::uint8_t, kLineBufferBytes + 8> line_{};
};

}  // namespace tlm
