#pragma once
// Decodes APF pages into output lines: the T.4 decoder, followed by the
// resolution correction of standard-resolution pages and blank-line
// compression. The unpacker component, the viewer and the printer share it.
#include <cstdint>
#include <functional>
#include <string>

#include "faximage/apf_file.h"
#include "faximage/mono_bitmap.h"

namespace tlm {

struct UnpackSettings {
  bool doubleHeight = false;  // standard pages: every line twice
  bool halfWidth = false;     // standard pages: pairs of pixels merged
  bool whitespaceCompression = false;
  int whitespaceFrom = 0;
  int whitespaceTo = 0;
};

struct UnpackHooks {
  // Progress through the page's image data.
  std::function<void(long bytesUnpacked, long bytesToUnpack)> status;
  // Called every 16 lines when set; false ends the unpack with error 1003.
  std::function<bool()> yield;
  // Polled while decoding; true ends the page at once with error 8004.
  std::function<bool()> aborted;
};

// An output line: packed, 1 black, `bytes` long.
using UnpackLineSink = std::function<void(const std::uint8_t* line, int bytes)>;

// Decodes page `pageNumber` of `fileName`; returns its header. Throws
// (8001 for a file or page that is not there, 8004, 1002 for inconsistent
// whitespace thresholds, 1003, system errors).
ApfPageHeader UnpackApfPage(const std::string& fileName, int pageNumber, const UnpackSettings& settings,
                            const UnpackHooks& hooks, const UnpackLineSink& sink);

// Lines a page bitmap may hold; more is reported as out of memory (-8).
inline constexpr int kMaxBitmapLines = 1 << 17;

// The page as a monochrome bitmap (bit value 1 white): the width is that of
// the widest non-white content, rounded up to an even number of bytes.
MonoBitmap UnpackApfPageToBitmap(const std::string& fileName, int pageNumber, const UnpackSettings& settings,
                                 const UnpackHooks& hooks);

}  // namespace tlm
