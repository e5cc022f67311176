// The MR (T.4 two-dimensional) and MMR (T.6) page coders against libtiff's
// Group 3 2-D and Group 4 codecs on the same pages (the ITU charts fine and
// standard, a photo page, a blank page): encode and decode pages per second
// for both and their ratios. Then the coded size of ITU chart 1 and of the
// text page (fine) as stored in an APF file (line records with length
// words), as compact MH, MR and MMR.
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <cstdio>
#include <string>
#include <vector>

#include "faximage/t4_encoder.h"
#include "faximage/t4_page_coding.h"
#include "t4_bench_pages.h"

namespace {

using namespace bench_pages;
using tlm::T4Coding;

const char* Name(T4Coding c) { return c == T4Coding::MH ? "MH" : c == T4Coding::MR ? "MR" : "MMR"; }

std::string OursEncode(const Page& p, T4Coding coding) {
  tlm::T4PageEncoder encoder(coding, p.width, tlm::T4KFactor(p.fine), 0);
  std::string out;
  out.reserve(std::size_t(p.height) * 16);
  for (int y = 0; y < p.height; ++y) encoder.EncodeLine(p.Row(y), out);
  encoder.Finish(out);
  return out;
}

long OursDecode(const std::string& stream, T4Coding coding) {
  long lines = 0;
  tlm::T4PageDecoder d(coding, 1728, [&](const std::uint8_t* line, int) {
    lines += line[0] | 1;
    return true;
  });
  d.Feed(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size());
  d.Finish();
  return lines;
}

MemFile TiffEncode(const Page& p, T4Coding coding) {
  return coding == T4Coding::MMR ? bench_pages::TiffEncode(p, COMPRESSION_CCITTFAX4, 0)
                                 : bench_pages::TiffEncode(p, COMPRESSION_CCITTFAX3, GROUP3OPT_2DENCODING);
}

void EncodeOurs(benchmark::State& s, const Page* p, T4Coding c) {
  for (auto _ : s) benchmark::DoNotOptimize(OursEncode(*p, c));
  s.SetItemsProcessed(s.iterations());
}
void DecodeOurs(benchmark::State& s, const Page* p, T4Coding c) {
  const std::string stream = OursEncode(*p, c);
  for (auto _ : s) benchmark::DoNotOptimize(OursDecode(stream, c));
  s.SetItemsProcessed(s.iterations());
}
void EncodeLibtiff(benchmark::State& s, const Page* p, T4Coding c) {
  for (auto _ : s) benchmark::DoNotOptimize(TiffEncode(*p, c));
  s.SetItemsProcessed(s.iterations());
}
void DecodeLibtiff(benchmark::State& s, const Page* p, T4Coding c) {
  MemFile m = TiffEncode(*p, c);
  std::vector<std::uint8_t> out(p->bits.size());
  for (auto _ : s) benchmark::DoNotOptimize(TiffDecode(m, out));
  s.SetItemsProcessed(s.iterations());
}

// Bytes of the page as an APF file stores it: a line record with its
// length word per line and the end-of-page record.
std::size_t StoredSize(const Page& p) {
  std::uint8_t record[tlm::kT4MaxLineRecord];
  std::size_t size = 2 + tlm::kT4EndOfPageRecord.size();
  for (int y = 0; y < p.height; ++y) size += 2 + tlm::T4EncodeLine(p.Row(y), 216, {1728, 0, false}, record);
  return size;
}

void PrintSizes(const Page& p) {
  std::printf("  %-10s stored %7zu   MH %7zu   MR %7zu   MMR %7zu bytes\n", p.name.c_str(), StoredSize(p),
              OursEncode(p, T4Coding::MH).size(), OursEncode(p, T4Coding::MR).size(),
              OursEncode(p, T4Coding::MMR).size());
}

}  // namespace

int main(int argc, char** argv) {
  TIFFSetWarningHandler(nullptr);
  for (const T4Coding c : {T4Coding::MR, T4Coding::MMR}) {
    const std::string n = Name(c);
    for (const Page& p : Pages()) {
      benchmark::RegisterBenchmark(("Encode/" + n + "/ours/" + p.name).c_str(), EncodeOurs, &p, c);
      benchmark::RegisterBenchmark(("Encode/" + n + "/libtiff/" + p.name).c_str(), EncodeLibtiff, &p, c);
      benchmark::RegisterBenchmark(("Decode/" + n + "/ours/" + p.name).c_str(), DecodeOurs, &p, c);
      benchmark::RegisterBenchmark(("Decode/" + n + "/libtiff/" + p.name).c_str(), DecodeLibtiff, &p, c);
    }
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::printf("\nAll %zu pages (ITU charts fine and standard, photo, blank), per second of CPU time:\n",
              Pages().size());
  for (const T4Coding c : {T4Coding::MR, T4Coding::MMR}) {
    std::vector<std::string> ours;
    std::vector<MemFile> theirs;
    for (const Page& p : Pages()) {
      ours.push_back(OursEncode(p, c));
      theirs.push_back(TiffEncode(p, c));
    }
    const double encOurs = PagesPerSecond([c](const Page& p) { benchmark::DoNotOptimize(OursEncode(p, c)); });
    const double encTiff = PagesPerSecond([c](const Page& p) { benchmark::DoNotOptimize(TiffEncode(p, c)); });
    std::size_t i = 0;
    const double decOurs = PagesPerSecond([&](const Page&) {
      benchmark::DoNotOptimize(OursDecode(ours[i], c));
      i = (i + 1) % ours.size();
    });
    std::vector<std::uint8_t> out(216u * 2376u);
    i = 0;
    const double decTiff = PagesPerSecond([&](const Page&) {
      benchmark::DoNotOptimize(TiffDecode(theirs[i], out));
      i = (i + 1) % theirs.size();
    });
    std::printf("  %-3s encode: ours %8.0f pages/s   libtiff %8.0f pages/s   ratio %.2f\n", Name(c), encOurs, encTiff,
                encOurs / encTiff);
    std::printf("  %-3s decode: ours %8.0f pages/s   libtiff %8.0f pages/s   ratio %.2f\n", Name(c), decOurs, decTiff,
                decOurs / decTiff);
  }

  std::printf("\nCoded sizes (fine):\n");
  PrintSizes(Pages().front());
  PrintSizes(ReadPbm(TOLMERA_FIXTURES_DIR "/images/text-page.pbm", "text-page"));
  return 0;
}
