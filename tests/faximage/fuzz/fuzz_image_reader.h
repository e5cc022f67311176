#pragma once
// Reads every row of every page of an image source, as the converter does.
#include <cstdint>
#include <memory>
#include <vector>

#include "faximage/fax_errors.h"
#include "faximage/raster_source.h"

namespace tlm::fuzzing {

template <typename Open>
int ReadAllPages(const std::uint8_t* data, std::size_t size, Open open) {
  try {
    std::unique_ptr<RasterSource> source = open(std::vector<std::uint8_t>(data, data + size));
    int width = 0, height = 0;
    std::vector<std::uint8_t> row;
    while (source->NextPage(width, height)) {
      row.assign(std::min<std::size_t>(std::size_t(width + 7) / 8, 256), 0);
      for (int y = 0; y < height; ++y) {
        if (!source->ReadRow(row.data(), std::min<std::size_t>(row.size(), 256))) break;
      }
    }
  } catch (const EFaxImageError&) {
  }
  return 0;
}

}  // namespace tlm::fuzzing
