#pragma once
// What the codec benchmarks share: the page set (the eight ITU charts at
// fine and standard resolution, a dithered photo page, a blank page), TIFF
// files in memory for libtiff, and pages per second of processor time.
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "faximage/raster_source.h"

namespace bench_pages {

struct Page {
  std::string name;
  int width = 1728, height = 0;
  bool fine = true;
  std::vector<std::uint8_t> bits;  // 1 black, 216 bytes a row
  const std::uint8_t* Row(int y) const { return bits.data() + std::size_t(y) * 216; }
};

inline Page ReadPbm(const std::string& path, const std::string& name) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  Page p;
  p.name = name;
  in >> magic >> p.width >> p.height;
  in.get();
  p.bits.resize(std::size_t(p.width / 8) * std::size_t(p.height));
  in.read(reinterpret_cast<char*>(p.bits.data()), std::streamsize(p.bits.size()));
  if (magic != "P4" || p.width != 1728 || !in) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    std::exit(1);
  }
  return p;
}

inline Page StandardOf(const Page& fine) {
  Page p = fine;
  p.name = fine.name + "-std";
  p.fine = false;
  p.height = fine.height / 2;
  p.bits.clear();
  for (int y = 0; y < fine.height - 1; y += 2) p.bits.insert(p.bits.end(), fine.Row(y), fine.Row(y) + 216);
  return p;
}

// The colour photo fixture scaled to a full fine page and dithered.
inline Page PhotoPage(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), {});
  const tlm::MonoBitmap photo = tlm::LoadBmpAsMono(file);  // dithered at 400 x 300
  Page p;
  p.name = "photo";
  p.height = 2376;
  p.bits.assign(216u * 2376u, 0);
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < 1728; ++x) {
      if (photo.IsBlack(x % photo.width, y % photo.height)) p.bits[std::size_t(y) * 216 + std::size_t(x / 8)] |= std::uint8_t(0x80 >> (x % 8));
    }
  }
  return p;
}

inline std::vector<Page>& Pages() {
  static std::vector<Page> pages = [] {
    std::vector<Page> out;
    const std::string charts = TOLMERA_BUILT_FIXTURES_DIR "/itu/";
    for (int n = 1; n <= 8; ++n) {
      const Page fine = ReadPbm(charts + "itu" + std::to_string(n) + ".pbm", "itu" + std::to_string(n));
      out.push_back(fine);
      out.push_back(StandardOf(fine));
    }
    out.push_back(PhotoPage(TOLMERA_FIXTURES_DIR "/images/photo-24bit.bmp"));
    Page blank;
    blank.name = "blank";
    blank.height = 2376;
    blank.bits.assign(216u * 2376u, 0);
    out.push_back(blank);
    return out;
  }();
  return pages;
}

// ---- libtiff, in memory

struct MemFile {
  std::vector<std::uint8_t> data;
  toff_t pos = 0;
};

inline tmsize_t MemRead(thandle_t h, void* buf, tmsize_t n) {
  auto* m = static_cast<MemFile*>(h);
  const tmsize_t left = tmsize_t(m->data.size()) - tmsize_t(m->pos);
  const tmsize_t k = std::max<tmsize_t>(0, std::min(n, left));
  std::memcpy(buf, m->data.data() + m->pos, std::size_t(k));
  m->pos += toff_t(k);
  return k;
}
inline tmsize_t MemWrite(thandle_t h, void* buf, tmsize_t n) {
  auto* m = static_cast<MemFile*>(h);
  if (m->pos + toff_t(n) > m->data.size()) m->data.resize(m->pos + toff_t(n));
  std::memcpy(m->data.data() + m->pos, buf, std::size_t(n));
  m->pos += toff_t(n);
  return n;
}
inline toff_t MemSeek(thandle_t h, toff_t off, int whence) {
  auto* m = static_cast<MemFile*>(h);
  m->pos = whence == SEEK_SET ? off : whence == SEEK_CUR ? m->pos + off : m->data.size() + off;
  return m->pos;
}
inline int MemClose(thandle_t) { return 0; }
inline toff_t MemSize(thandle_t h) { return static_cast<MemFile*>(h)->data.size(); }
inline int MemMap(thandle_t, void**, toff_t*) { return 0; }
inline void MemUnmap(thandle_t, void*, toff_t) {}

inline TIFF* OpenMem(MemFile& m, const char* mode) {
  m.pos = 0;
  return TIFFClientOpen("mem", mode, &m, MemRead, MemWrite, MemSeek, MemClose, MemSize, MemMap, MemUnmap);
}

// The page coded by libtiff in one strip, bits least significant first;
// the Y resolution sets libtiff's K for Group 3 2-D (4 above 150 dpi).
inline MemFile TiffEncode(const Page& p, std::uint16_t compression, std::uint32_t group3Options) {
  MemFile m;
  TIFF* t = OpenMem(m, "w");
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 1728);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, p.height);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, p.height);
  if (compression == COMPRESSION_CCITTFAX3) TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, group3Options);
  TIFFSetField(t, TIFFTAG_YRESOLUTION, p.fine ? 196.0 : 98.0);
  TIFFWriteEncodedStrip(t, 0, const_cast<std::uint8_t*>(p.bits.data()), tmsize_t(p.bits.size()));
  TIFFClose(t);
  return m;
}

inline long TiffDecode(MemFile& m, std::vector<std::uint8_t>& out) {
  TIFF* t = OpenMem(m, "r");
  const tmsize_t n = TIFFReadEncodedStrip(t, 0, out.data(), tmsize_t(out.size()));
  TIFFClose(t);
  return long(n);
}

// Seconds of processor time used by this process: steadier than the wall
// clock on a machine shared with other work.
inline double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Pages per second of `f` over every page, measured for at least 0.5 s of
// processor time.
template <typename F>
double PagesPerSecond(F f) {
  const double start = CpuSeconds();
  long pages = 0;
  do {
    for (const Page& p : Pages()) {
      f(p);
      ++pages;
    }
  } while (CpuSeconds() - start < 0.5);
  return double(pages) / (CpuSeconds() - start);
}

}  // namespace bench_pages
