#pragma once
// Fuzzes a page decoder of one coding: the input fed in two pieces at a
// point it chooses, every delivered line checked to be of the page's width.
#include <cstdint>
#include <cstdlib>

#include "faximage/t4_page_coding.h"

inline int FuzzPageDecoder(tlm::T4Coding coding, const std::uint8_t* data, std::size_t size) {
  const int width = size && (data[size - 1] & 1) ? 2048 : 1728;
  long lines = 0;
  tlm::T4PageDecoder decoder(coding, width, [&](const std::uint8_t* line, int pixels) {
    if (pixels != width) std::abort();
    lines += line[pixels / 8 - 1] & 1;
    return true;
  });
  const std::size_t cut = size ? data[0] % (size + 1) : 0;
  decoder.Feed(data, cut);
  decoder.Feed(data + cut, size - cut);
  decoder.Finish();
  if (decoder.Lines() < 0 || decoder.BadLines() < 0) std::abort();
  return 0;
}
