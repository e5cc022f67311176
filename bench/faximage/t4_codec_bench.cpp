// The T.4 one-dimensional codec against libtiff's CCITT Group 3 codec on the
// same pages: the eight ITU test charts at fine and at standard resolution,
// a dithered photo page and a blank page. Encode and decode pages per second
// for both, then a table of the ratios.
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <ctime>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "faximage/raster_source.h"
#include "faximage/t4_decoder.h"
#include "faximage/t4_encoder.h"

namespace {

struct Page {
  std::string name;
  int width = 1728, height = 0;
  std::vector<std::uint8_t> bits;  // 1 black, 216 bytes a row
  const std::uint8_t* Row(int y) const { return bits.data() + std::size_t(y) * 216; }
};

Page ReadPbm(const std::string& path, const std::string& name) {
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

Page StandardOf(const Page& fine) {
  Page p = fine;
  p.name = fine.name + "-std";
  p.height = fine.height / 2;
  p.bits.clear();
  for (int y = 0; y < fine.height - 1; y += 2) p.bits.insert(p.bits.end(), fine.Row(y), fine.Row(y) + 216);
  return p;
}

// The colour photo fixture scaled to a full fine page and dithered.
Page PhotoPage(const std::string& path) {
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

std::vector<Page>& Pages() {
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

// ---- ours

std::vector<std::uint8_t> OursEncode(const Page& p) {
  std::vector<std::uint8_t> out(std::size_t(p.height) * 64 + 4096);
  std::size_t used = 0;
  for (int y = 0; y < p.height; ++y) {
    if (out.size() - used < tlm::kT4MaxLineRecord) out.resize(out.size() * 2);
    used += tlm::T4EncodeLine(p.Row(y), 216, {1728, 0, false}, out.data() + used);
  }
  out.resize(used);
  out.insert(out.end(), tlm::kT4EndOfPageRecord.begin(), tlm::kT4EndOfPageRecord.end());
  return out;
}

long OursDecode(const std::vector<std::uint8_t>& stream) {
  long lines = 0;
  tlm::T4Decoder d([&](const std::uint8_t* line, int) {
    lines += line[0] | 1;
    return true;
  });
  d.Feed(stream.data(), stream.size());
  d.Finish();
  return lines;
}

// ---- libtiff, in memory

struct MemFile {
  std::vector<std::uint8_t> data;
  toff_t pos = 0;
};

tmsize_t MemRead(thandle_t h, void* buf, tmsize_t n) {
  auto* m = static_cast<MemFile*>(h);
  const tmsize_t left = tmsize_t(m->data.size()) - tmsize_t(m->pos);
  const tmsize_t k = std::max<tmsize_t>(0, std::min(n, left));
  std::memcpy(buf, m->data.data() + m->pos, std::size_t(k));
  m->pos += toff_t(k);
  return k;
}
tmsize_t MemWrite(thandle_t h, void* buf, tmsize_t n) {
  auto* m = static_cast<MemFile*>(h);
  if (m->pos + toff_t(n) > m->data.size()) m->data.resize(m->pos + toff_t(n));
  std::memcpy(m->data.data() + m->pos, buf, std::size_t(n));
  m->pos += toff_t(n);
  return n;
}
toff_t MemSeek(thandle_t h, toff_t off, int whence) {
  auto* m = static_cast<MemFile*>(h);
  m->pos = whence == SEEK_SET ? off : whence == SEEK_CUR ? m->pos + off : m->data.size() + off;
  return m->pos;
}
int MemClose(thandle_t) { return 0; }
toff_t MemSize(thandle_t h) { return static_cast<MemFile*>(h)->data.size(); }
int MemMap(thandle_t, void**, toff_t*) { return 0; }
void MemUnmap(thandle_t, void*, toff_t) {}

TIFF* OpenMem(MemFile& m, const char* mode) {
  m.pos = 0;
  return TIFFClientOpen("mem", mode, &m, MemRead, MemWrite, MemSeek, MemClose, MemSize, MemMap, MemUnmap);
}

MemFile TiffEncode(const Page& p) {
  MemFile m;
  TIFF* t = OpenMem(m, "w");
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 1728);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, p.height);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, p.height);
  TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, 0);
  TIFFWriteEncodedStrip(t, 0, const_cast<std::uint8_t*>(p.bits.data()), tmsize_t(p.bits.size()));
  TIFFClose(t);
  return m;
}

long TiffDecode(MemFile& m, std::vector<std::uint8_t>& out) {
  TIFF* t = OpenMem(m, "r");
  const tmsize_t n = TIFFReadEncodedStrip(t, 0, out.data(), tmsize_t(out.size()));
  TIFFClose(t);
  return long(n);
}

// ---- Google Benchmark cases, one per page and codec

void EncodeOurs(benchmark::State& s, const Page* p) {
  for (auto _ : s) benchmark::DoNotOptimize(OursEncode(*p));
  s.SetItemsProcessed(s.iterations());
}
void DecodeOurs(benchmark::State& s, const Page* p) {
  const auto stream = OursEncode(*p);
  for (auto _ : s) benchmark::DoNotOptimize(OursDecode(stream));
  s.SetItemsProcessed(s.iterations());
}
void EncodeLibtiff(benchmark::State& s, const Page* p) {
  for (auto _ : s) benchmark::DoNotOptimize(TiffEncode(*p));
  s.SetItemsProcessed(s.iterations());
}
void DecodeLibtiff(benchmark::State& s, const Page* p) {
  MemFile m = TiffEncode(*p);
  std::vector<std::uint8_t> out(p->bits.size());
  for (auto _ : s) benchmark::DoNotOptimize(TiffDecode(m, out));
  s.SetItemsProcessed(s.iterations());
}

// Seconds of processor time used by this process: steadier than the wall
// clock on a machine shared with other work.
double CpuSeconds() {
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

}  // namespace

int main(int argc, char** argv) {
  TIFFSetWarningHandler(nullptr);
  for (const Page& p : Pages()) {
    benchmark::RegisterBenchmark(("Encode/ours/" + p.name).c_str(), EncodeOurs, &p);
    benchmark::RegisterBenchmark(("Encode/libtiff/" + p.name).c_str(), EncodeLibtiff, &p);
    benchmark::RegisterBenchmark(("Decode/ours/" + p.name).c_str(), DecodeOurs, &p);
    benchmark::RegisterBenchmark(("Decode/libtiff/" + p.name).c_str(), DecodeLibtiff, &p);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  // The whole page set side by side.
  std::vector<std::vector<std::uint8_t>> ours;
  std::vector<MemFile> theirs;
  for (const Page& p : Pages()) {
    ours.push_back(OursEncode(p));
    theirs.push_back(TiffEncode(p));
  }
  std::size_t i = 0;
  const double encOurs = PagesPerSecond([](const Page& p) { benchmark::DoNotOptimize(OursEncode(p)); });
  const double encTiff = PagesPerSecond([](const Page& p) { benchmark::DoNotOptimize(TiffEncode(p)); });
  const double decOurs = PagesPerSecond([&](const Page&) {
    benchmark::DoNotOptimize(OursDecode(ours[i]));
    i = (i + 1) % ours.size();
  });
  std::vector<std::uint8_t> out(216u * 2376u);
  i = 0;
  const double decTiff = PagesPerSecond([&](const Page&) {
    benchmark::DoNotOptimize(TiffDecode(theirs[i], out));
    i = (i + 1) % theirs.size();
  });
  std::printf("\nAll %zu pages (ITU charts fine and standard, photo, blank), per second of CPU time:\n",
              Pages().size());
  std::printf("  encode: ours %8.0f pages/s   libtiff %8.0f pages/s   ratio %.2f\n", encOurs, encTiff, encOurs / encTiff);
  std::printf("  decode: ours %8.0f pages/s   libtiff %8.0f pages/s   ratio %.2f\n", decOurs, decTiff, decOurs / decTiff);
  return 0;
}
