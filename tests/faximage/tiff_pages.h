#pragma once
// Test support: raw T.4 streams wrapped as CCITT Group 3 TIFF pages, and
// TIFF pages read back with libtiff (link TIFF::TIFF).
#include <tiffio.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fax_test_util.h"

namespace tlm::testing {

// A CCITT Group 3 one-dimensional TIFF holding `stream` as its one strip,
// bits stored least significant first as in APF files.
inline bool WriteG3Tiff(const std::string& path, const std::vector<std::uint8_t>& stream, int width, int height) {
  TIFF* t = TIFFOpen(path.c_str(), "w");
  if (!t) return false;
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, height);
  TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, GROUP3OPT_FILLBITS);
  const bool written = TIFFWriteRawStrip(t, 0, const_cast<std::uint8_t*>(stream.data()), tmsize_t(stream.size())) >= 0;
  TIFFClose(t);
  return written;
}

inline Page ReadTiffPage(const std::string& path) {
  TIFF* t = TIFFOpen(path.c_str(), "r");
  if (!t) return {};
  std::uint32_t w = 0, h = 0;
  TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
  Page p(static_cast<int>(w), static_cast<int>(h));
  for (std::uint32_t y = 0; y < h; ++y) {
    if (TIFFReadScanline(t, p.Row(int(y)), y, 0) < 0) {
      TIFFClose(t);
      return {};
    }
  }
  TIFFClose(t);
  return p;
}

}  // namespace tlm::testing
