#pragma once
// Monochrome bitmaps (bit value 1 white) as BMP, PCX, DCX and PBM files.
#include <cstdint>
#include <string>
#include <vector>

#include "faximage/mono_bitmap.h"

namespace tlm {

// BMP: a 14-byte file header, a 40-byte info header, a black and a white
// palette entry, rows bottom-up padded with white to 4 bytes. Throws 8054
// for 32768 rows or more.
std::vector<std::uint8_t> EncodeBmp(const MonoBitmap& bitmap);
// PCX: a 128-byte header (version 2, 1 bit, 1 plane), rows run-length coded.
std::vector<std::uint8_t> EncodePcx(const MonoBitmap& bitmap);
// DCX: the magic number, a table of 1024 page offsets (0 ends it), the pages
// as PCX. At most 1023 pages.
std::vector<std::uint8_t> EncodeDcx(const std::vector<MonoBitmap>& pages);
// Netpbm's binary PBM (P4, 1 black).
std::vector<std::uint8_t> EncodePbm(const MonoBitmap& bitmap);

// Writes `bytes` to `path`; a partial file is removed on failure. Throws.
void WriteImageFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace tlm
