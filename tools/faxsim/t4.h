#pragma once
// T.4 modified Huffman (one-dimensional) coding, least significant bit
// first as fax modems take and deliver page data.
#include "bitmap.h"

namespace faxsim {

// Encodes a page: an EOL, each line followed by fill (to minBitsPerLine)
// and an EOL, then the rest of RTC. EOLs are byte-aligned.
Bytes encodeMh(const Bitmap& page, int minBitsPerLine);

struct DecodeResult {
  int lines = 0;       // lines found (good and bad)
  int badLines = 0;    // lines whose runs did not add up to the width
  int maxConsecutiveBad = 0;
  bool rtc = false;    // the page ended with RTC
};
// Decodes page data into out (width taken from out.width); bad lines are
// replaced by the previous line.
DecodeResult decodeMh(const Bytes& data, Bitmap& out);

// Reverses the bit order of every byte (MSB-first <-> LSB-first).
void reverseBits(Bytes& data);

}  // namespace faxsim
