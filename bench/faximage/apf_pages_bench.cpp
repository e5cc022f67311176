// Page access in a fax of 20,000 pages (a text of form feeds converted, as
// an outside test made it): `tlmfax info` on the whole file, every page
// located in process, and the last page unpacked, each from a cold start
// (no page index kept from an earlier run). Goals: info under 1 s, the last
// page unpacked under 50 ms.
// Run: build/<cfg>/bench/faximage/apf_pages_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "faximage/apf_page_index.h"
#include "faximage/fax_converter.h"
#include "faximage/fax_unpacker.h"

namespace tlm {
namespace {

constexpr int kPages = 20000;

const std::string& LongFax() {
  static const std::string file = [] {
    const std::string folder = std::filesystem::temp_directory_path().string() + "/tolmera-bench-pages/";
    std::filesystem::create_directories(folder);
    const std::string text = folder + "pages.txt";
    if (FILE* f = std::fopen(text.c_str(), "wb")) {
      for (int i = 1; i <= kPages; ++i) std::fprintf(f, "page %d%s", i, i < kPages ? "\f" : "\n");
      std::fclose(f);
    }
    TKvFaxConverter c;
    c.InputDocumentType = idText;
    c.SetDocumentFile(text);
    c.OutFileName = folder + "pages.APF";
    c.ConvertToApf();
    return folder + "pages.APF";
  }();
  return file;
}

void BM_TlmfaxInfo(benchmark::State& state) {
  const std::string command = std::string(TLMFAX_PATH) + " info " + LongFax() + " > /dev/null";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("tlmfax info failed");
  }
}
BENCHMARK(BM_TlmfaxInfo)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LocateEveryPage(benchmark::State& state) {
  const std::string& file = LongFax();
  for (auto _ : state) {
    ApfForgetPageIndexes();
    ApfPageIndex index;
    if (index.Open(file) != 0 || index.PageCount() != kPages) state.SkipWithError("bad file");
    std::uint64_t sum = 0;
    for (int page = 1; page <= kPages; ++page) {
      ApfPageHeader header;
      std::uint64_t offset = 0;
      index.Locate(page, header, offset);
      sum += offset;
    }
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_LocateEveryPage)->Unit(benchmark::kMillisecond);

// The unpacker asks for the page by file name, as the viewer does.
void BM_UnpackPage(benchmark::State& state) {
  const std::string& file = LongFax();
  const int page = static_cast<int>(state.range(0));
  for (auto _ : state) {
    ApfForgetPageIndexes();
    TKvFaxUnpacker unpacker;
    unpacker.SetInFileName(file);
    benchmark::DoNotOptimize(unpacker.UnpackPageToBitmap(page));
  }
}
BENCHMARK(BM_UnpackPage)->Arg(1)->Arg(kPages)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tlm

BENCHMARK_MAIN();
