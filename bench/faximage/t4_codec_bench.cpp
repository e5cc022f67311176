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

#include "faximage/t4_decoder.h"
#include "faximage/t4_encoder.h"
#include "t4_bench_pages.h"

namespace {

using namespace bench_pages;

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

MemFile TiffEncode(const Page& p) { return bench_pages::TiffEncode(p, COMPRESSION_CCITTFAX3, 0); }

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
