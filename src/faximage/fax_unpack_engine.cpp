#include "faximage/fax_unpack_engine.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "faximage/binary_file.h"
#include "faximage/fax_errors.h"
#include "faximage/t4_decoder.h"

namespace tlm {
namespace {

constexpr std::size_t kInputBlock = 4096;

// Holds back runs of blank lines and replaces long ones.
class WhitespaceFilter {
 public:
  WhitespaceFilter(const UnpackSettings& s, const UnpackLineSink& sink) : s_(s), sink_(sink) {}

  void Line(const std::uint8_t* line, int bytes) {
    if (!s_.whitespaceCompression) {
      sink_(line, bytes);
      return;
    }
    const bool blank = std::all_of(line, line + bytes, [](std::uint8_t b) { return b == 0; });
    if (blank) {
      ++deferred_;
      bytes_ = bytes;
      return;
    }
    Release(false);
    sink_(line, bytes);
  }

  void EndOfPage() { Release(true); }

 private:
  void Release(bool pageEnd) {
    if (deferred_ == 0) return;
    long n = deferred_ >= s_.whitespaceFrom ? s_.whitespaceTo : deferred_;
    if (pageEnd && s_.whitespaceFrom == s_.whitespaceTo) n = 0;
    deferred_ = 0;
    std::vector<std::uint8_t> blank(std::size_t(bytes_), 0);
    for (long i = 0; i < n; ++i) sink_(blank.data(), bytes_);
  }

  const UnpackSettings& s_;
  const UnpackLineSink& sink_;
  long deferred_ = 0;
  int bytes_ = 0;
};

}  // namespace

ApfPageHeader UnpackApfPage(const std::string& fileName, int pageNumber, const UnpackSettings& s,
                            const UnpackHooks& hooks, const UnpackLineSink& sink) {
  if (s.whitespaceCompression && s.whitespaceTo > s.whitespaceFrom) ThrowFaxError(ecBadArgument);
  ApfPageHeader header;
  std::uint64_t dataOffset = 0;
  CheckFaxResult(ApfLocatePage(fileName, pageNumber, header, dataOffset));
  BinaryFile f;
  CheckFaxResult(f.Open(fileName, BinaryFile::Mode::kRead));
  f.Seek(dataOffset);

  const bool fine = header.Fine();
  WhitespaceFilter filter(s, sink);
  std::vector<std::uint8_t> half(T4Decoder::kLineBufferBytes / 2);
  long lines = 0;
  int pendingError = 0;
  T4Decoder decoder([&](const std::uint8_t* line, int pixels) {
    const int bytes = pixels / 8;
    if (!fine && s.halfWidth) {
      for (int i = 0; i < bytes / 2; ++i) {
        // Each output pixel is black when either of its pair is.
        const std::uint16_t pair = std::uint16_t((line[2 * i] << 8) | line[2 * i + 1]);
        std::uint8_t out = 0;
        for (int b = 0; b < 8; ++b) {
          if ((pair >> (14 - 2 * b)) & 3) out |= std::uint8_t(0x80 >> b);
        }
        half[std::size_t(i)] = out;
      }
      filter.Line(half.data(), bytes / 2);
    } else {
      filter.Line(line, bytes);
      if (!fine && s.doubleHeight) filter.Line(line, bytes);
    }
    ++lines;
    if (hooks.yield && lines % 16 == 0 && !hooks.yield()) {
      pendingError = ecGotQuitMsg;
      return false;
    }
    if (hooks.aborted && hooks.aborted()) {
      pendingError = ecUnpackAbort;
      return false;
    }
    return true;
  });

  const std::uint64_t total = header.imageLength;
  std::uint64_t done = 0;
  std::vector<std::uint8_t> buffer(kInputBlock);
  while (done < total && !decoder.PageEnded()) {
    std::size_t want;
    if (header.LengthWords()) {
      // One record: a length word (read as at most 4096), then the data.
      std::uint8_t word[2];
      if (total - done < 2) break;
      CheckFaxResult(f.ReadExact(word, 2, -ecFaxBadFormat));
      done += 2;
      want = std::min<std::uint64_t>({GetLe16(word), kInputBlock, total - done});
    } else {
      want = std::min<std::uint64_t>(kInputBlock, total - done);
    }
    CheckFaxResult(f.ReadExact(buffer.data(), want, -ecFaxBadFormat));
    done += want;
    decoder.Feed(buffer.data(), want);
    if (hooks.status) hooks.status(long(done), long(total));
    if (pendingError) ThrowFaxError(pendingError);
    if (hooks.aborted && hooks.aborted()) ThrowFaxError(ecUnpackAbort);
  }
  if (!decoder.PageEnded()) decoder.Finish();
  if (pendingError) ThrowFaxError(pendingError);
  filter.EndOfPage();
  if (hooks.status) hooks.status(long(done), long(total));
  return header;
}

MonoBitmap UnpackApfPageToBitmap(const std::string& fileName, int pageNumber, const UnpackSettings& settings,
                                 const UnpackHooks& hooks) {
  // Rows are kept in the decoder's form (1 black) at the page's line width
  // and inverted when the bitmap is made.
  std::vector<std::uint8_t> raster;
  int rowBytes = 0;
  int rows = 0;
  int widthBytes = 0;
  bool sized = false;
  ApfPageHeader header;
  UnpackLineSink sink = [&](const std::uint8_t* line, int bytes) {
    if (!sized) ThrowFaxError(ecFaxBadFormat);
    if (rows >= kMaxBitmapLines) ThrowFaxError(-ecOutOfMemory);
    if (rows % 1024 == 0) raster.resize(std::size_t(rows + 1024) * std::size_t(rowBytes), 0);
    const int n = std::min(bytes, rowBytes);
    std::uint8_t* row = raster.data() + std::size_t(rows) * std::size_t(rowBytes);
    std::memcpy(row, line, std::size_t(n));
    for (int i = n; i > widthBytes; --i) {
      if (row[i - 1] != 0) {
        widthBytes = i;
        break;
      }
    }
    ++rows;
  };
  // The row size comes from the page flags; locate the page first for them.
  std::uint64_t dataOffset = 0;
  CheckFaxResult(ApfLocatePage(fileName, pageNumber, header, dataOffset));
  rowBytes = header.Wide() ? 256 : 216;
  sized = true;
  UnpackApfPage(fileName, pageNumber, settings, hooks, sink);

  const int stride = (widthBytes + 1) & ~1;
  MonoBitmap bitmap(stride * 8, rows, stride);
  for (int y = 0; y < rows; ++y) {
    const std::uint8_t* src = raster.data() + std::size_t(y) * std::size_t(rowBytes);
    std::uint8_t* dst = bitmap.Row(y);
    for (int i = 0; i < stride && i < rowBytes; ++i) dst[i] = std::uint8_t(~src[i]);
  }
  return bitmap;
}

}  // namespace tlm
