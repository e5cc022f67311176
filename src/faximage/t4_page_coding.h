#pragma once
// Page coders for the line: modified Huffman (MH), two-dimensional T.4
// coding (MR) and T.6 coding (MMR), over packed 1-bit raster lines (most
// significant bit leftmost, 1 black). Coded bits are kept as the line
// carries them and as APF page data stores them: the first bit in the least
// significant place of each byte.
//
// MH and MR pages start with an EOL (MR: plus the tag bit, 1 before a 1-D
// line, 0 before a 2-D line), every line is followed by the next EOL, and
// the page ends with RTC (six EOLs, MR: six EOL+1). Fill (0 bits before an
// EOL) is added only where a line would take fewer than the minimum bits
// per line (the minimum scan time at the line's bit rate). MMR lines follow
// each other bit for bit, without EOLs or fill, the first coded against an
// all-white line, and the page ends with EOFB.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "faximage/t4_decoder.h"

namespace tlm {

enum class T4Coding { MH, MR, MMR };

// The K factor used for MR: at most K-1 2-D lines follow each 1-D line.
inline int T4KFactor(bool fine) { return fine ? 4 : 2; }

// Bits a line must take at least: `bitsPerSecond` x `milliseconds` / 1000.
inline int T4MinBitsPerLine(int bitsPerSecond, int milliseconds) {
  return int(std::int64_t(bitsPerSecond) * milliseconds / 1000);
}

class T4PageEncoder {
 public:
  // `width`: pixels per line (1728, 2048 or 2432; at most 4096). `kFactor`
  // counts for MR only (below 1 counts as 1); `minBitsPerLine` for MH and
  // MR only (0: no fill).
  T4PageEncoder(T4Coding coding, int width, int kFactor = 2, int minBitsPerLine = 0);

  // Codes one line of width/8 bytes and appends the bytes completed so
  // far to `out` (a partial last byte is held back for the next line).
  void EncodeLine(const std::uint8_t* packedLine, std::string& out);
  // MH and MR: ends the last line's bits with fill up to a byte boundary
  // and appends the held-back byte, so that more 0 bytes (fill) may follow
  // before the next line. False for MMR, which has no fill.
  bool FlushWithFill(std::string& out);
  // Appends RTC (MH, MR) or EOFB (MMR) and the last, zero-padded byte.
  // The encoder then starts a new page.
  void Finish(std::string& out);

  T4Coding Coding() const { return coding_; }
  int Width() const { return width_; }
  long Lines() const { return lines_; }  // coded since construction

 private:
  void Put(std::uint32_t bits, int length, std::string& out);
  void PutRun(bool black, int run, std::string& out);
  void PutZeros(int count, std::string& out);
  void CodeOneD(std::string& out);
  void CodeTwoD(std::string& out);

  T4Coding coding_;
  int width_;
  int kFactor_;
  int minBits_;
  long lines_ = 0;
  int lineBits_ = 0;
  int sinceOneD_ = 0;  // MR: lines since the last 1-D line, modulo K
  std::uint64_t acc_ = 0;
  int count_ = 0;
  std::vector<int> reference_;  // changing elements of the previous line
  std::vector<int> current_;
  std::vector<std::uint8_t> padded_;
};

// Decodes a page of MH, MR or MMR data as it arrives and hands each line
// on. MH is decoded exactly as T4Decoder does it (lines of 1728 or 2048
// pixels are kept, broken ones dropped). MR and MMR lines must be `width`
// pixels: a broken MR line is replaced by the previous good one, as are the
// 2-D lines after it up to the next 1-D line; in MMR a broken line ends the
// page, since nothing after it can be found again. An MR page ends at RTC
// (EOL+1 or EOL+0), or with its data (the last line then needs no EOL); an
// MMR page at EOFB or with its data.
class T4PageDecoder {
 public:
  using LineSink = T4Decoder::LineSink;

  T4PageDecoder(T4Coding coding, int width, LineSink sink);
  ~T4PageDecoder();

  // Forgets everything of the previous page.
  void StartPage();
  // Decodes more of the page's data; false once the page has ended (RTC,
  // EOFB, a broken MMR line, or the sink returned false).
  bool Feed(const std::uint8_t* data, std::size_t size);
  // The page's data is complete: decodes what the remaining bits hold.
  void Finish();

  bool PageEnded() const;
  // Lines that could not be decoded (MH: bad codes).
  long BadLines() const;
  long Lines() const;
  T4Coding Coding() const { return coding_; }

 private:
  class TwoD;

  T4Coding coding_;
  std::unique_ptr<T4Decoder> mh_;
  std::unique_ptr<TwoD> twoD_;
  long mhLines_ = 0;
};

// An APF page's stored MH data (the data of its line records, or a raw
// page's bit stream) re-coded for the line in `coding`: its lines are
// decoded and coded again by `encoder`, which may have coded other lines
// (blank lines, the header line) of the same page before. The stored
// page's own end is dropped; Finish ends the page in the encoder's coding.
class T4ApfPageRecoder {
 public:
  explicit T4ApfPageRecoder(T4PageEncoder& encoder);

  // Appends the coded bytes that `mh` completes to `out`.
  void Feed(const std::uint8_t* mh, std::size_t size, std::string& out);
  // Appends the rest of the page and its end (RTC or EOFB).
  void Finish(std::string& out);

  long BadCodes() const { return decoder_.BadCodes(); }

 private:
  T4PageEncoder& encoder_;
  T4Decoder decoder_;
  std::string* out_ = nullptr;
  std::vector<std::uint8_t> line_;
};

// Received page data in `coding` turned into MH line records for the APF
// file: each line a byte-aligned EOL record as the converter writes them,
// the page closed by the end-of-page record. MH data is passed on as it is.
class T4ReceivedPageRecoder {
 public:
  T4ReceivedPageRecoder(T4Coding coding, int width);

  // Appends the records of the lines `data` completes to `out`.
  void Feed(const std::uint8_t* data, std::size_t size, std::string& out);
  // Appends the last lines and (unless MH) the end-of-page record.
  void Finish(std::string& out);

  long BadLines() const { return decoder_.BadLines(); }
  long Lines() const { return decoder_.Lines(); }

 private:
  T4Coding coding_;
  T4PageDecoder decoder_;
  std::string* out_ = nullptr;
};

}  // namespace tlm
