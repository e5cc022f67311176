#pragma once
// Fax files for the viewer tests, written with the T.4 coder of the fax
// image layer: pages with black blocks at known places.
#include <QImage>
#include <string>
#include <sstream>
#include <vector>

#include "faximage/fax_test_util.h"

namespace tlm::testing {

struct Block {
  int x, y, w, h;
};

// A page of `width` × `height` pixels with the blocks black.
inline Page PageWithBlocks(int width, int height, const std::vector<Block>& blocks) {
  Page p(width, height);
  for (const Block& b : blocks) {
    for (int y = b.y; y < b.y + b.h && y < height; ++y) {
      for (int x = b.x; x < b.x + b.w && x < width; ++x) p.Set(x, y);
    }
  }
  return p;
}

// Writes the pages as a fax with line records (fine resolution unless
// `standard`).
inline void WriteFax(const std::string& path, const std::vector<Page>& pages, bool standard = false) {
  std::vector<ApfPageSpec> specs;
  for (const Page& p : pages) {
    std::uint16_t flags = kApfLengthWords | (standard ? 0 : kApfFine);
    if (p.width == 2048) flags |= kApfWide;
    specs.push_back({flags, RecordData(EncodePage(p)), -1});
  }
  WriteFile(path, BuildApf(specs));
}

// `count` full-width fine pages, page n with a 200-pixel black square at
// (100 + 50 n, 100) and a one-pixel line across row 1000.
inline void WriteNumberedFax(const std::string& path, int count, int height = 2000) {
  std::vector<Page> pages;
  for (int n = 1; n <= count; ++n) {
    Page p = PageWithBlocks(1728, height, {{100 + 50 * n, 100, 200, 200}, {0, std::min(1000, height - 1), 1728, 1}});
    pages.push_back(p);
  }
  WriteFax(path, pages);
}

// A greyscale PGM (P5) as a bilevel page: darker than mid-grey is black.
inline Page ReadPgmAsPage(const std::string& path) {
  const std::string pgm = ReadFile(path);
  std::istringstream in(pgm);
  std::string magic;
  int w = 0, h = 0, max = 0;
  in >> magic >> w >> h >> max;
  in.get();
  Page page(w, h);
  const std::size_t start = std::size_t(in.tellg());
  if (magic != "P5" || pgm.size() < start + std::size_t(w) * std::size_t(h)) return Page();
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (std::uint8_t(pgm[start + std::size_t(y) * std::size_t(w) + std::size_t(x)]) < 128) page.Set(x, y);
    }
  }
  return page;
}

// Page `page` of a PDF rendered by poppler's pdftoppm in grey with the
// given options (e.g. "-r 20"), as a bilevel page.
inline Page RenderPdfPage(const std::string& pdf, int page, const std::string& options, const std::string& stem) {
  const std::string n = std::to_string(page);
  if (RunShell("pdftoppm -gray -singlefile -f " + n + " -l " + n + " " + options + " " + pdf + " " + stem) != 0) {
    return Page();
  }
  return ReadPgmAsPage(stem + ".pgm");
}

// True when the pixel is darker than mid-grey.
inline bool Dark(const QImage& image, int x, int y) { return qGray(image.pixel(x, y)) < 128; }

}  // namespace tlm::testing
