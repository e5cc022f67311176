#pragma once
// The bytes of one fax page as a send session writes them to the modem: the
// page data of an APF file in blocks (or line records padded to the minimum
// bytes per line), or re-coded line by line for the line's coding; and
// rendered text (the header line, text covers) as raster rows or coded as
// T.4 lines. Every block comes out DLE-stuffed.
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "faximage/apf_file.h"
#include "faximage/t4_page_coding.h"

namespace tlm {

inline constexpr std::size_t kPageBlockSize = 4096;

class ApfPageSource {
 public:
  // Finds page `page` (from 1) of `file`: 0 or a negative code.
  int Open(const std::string& file, int page);
  void Close();
  // Back to the start of the page's data.
  void Rewind();
  // Appends the next block, stuffed unless `stuffed` is false, to `out`: 1
  // when one was read, 0 at the end of the page, or a negative code. Line
  // records are padded with zeros to `minBytesPerLine`.
  int NextBlock(std::string& out, int minBytesPerLine, bool stuffed = true);
  // From here on the page's lines are coded by `encoder` (which may hold
  // lines of the same page already) instead of being sent as stored: the
  // blocks carry the re-coded lines, the last one the end of the page.
  // Until the page is opened again.
  void RecodeWith(T4PageEncoder& encoder);
  // The next block of re-coded lines appended to `out` as they are, not
  // stuffed (for framing): 1, 0 at the end of the page, or a negative code.
  int NextCoded(std::string& out);

  const ApfPageHeader& Header() const { return header_; }
  long BytesRead() const { return long(read_); }

 private:
  int ReadStored(std::string& block);

  std::ifstream in_;
  std::unique_ptr<T4ApfPageRecoder> recoder_;
  bool recodeFinished_ = false;
  ApfPageHeader header_;
  std::uint64_t dataOffset_ = 0;
  std::uint64_t read_ = 0;
};

// One coded line: the T.4 record of a packed raster line, padded with zero
// bytes to `minBytes`.
std::string CodeRasterLine(const std::uint8_t* line, int width, int minBytes);
// A coded white line.
std::string BlankLine(int width, int minBytes);
// Text lines rendered with the built-in fax font as packed raster rows of
// `width` pixels (rows doubled at fine resolution). `small` picks the small
// font.
std::vector<std::string> RenderTextRows(const std::string& text, bool fine, int width, bool small);
// The same rows coded, one record per row.
std::vector<std::string> RenderTextLines(const std::string& text, bool fine, int width, bool small, int minBytes);
// The end-of-page code (return to control).
std::string EndOfPageCode();

}  // namespace tlm
