// PDF to fax: a 20-page text PDF (made here, 50 lines of 11-point text a
// page) converted into an APF file at fine resolution, and LibreOffice's
// two-page letter (embedded fonts) for comparison. Goal: 10 pages a second
// or better.
// Run: build/<cfg>/bench/faximage/pdf_convert_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "faximage/fax_converter.h"
#include "faximage/pdf_maker.h"  // from tests/: the PDF files of the tests

namespace tlm {
namespace {

std::string Folder() {
  const std::string folder = std::filesystem::temp_directory_path().string() + "/tolmera-bench-pdf/";
  std::filesystem::create_directories(folder);
  return folder;
}

const std::string& TwentyPagePdf() {
  static const std::string file = [] {
    std::vector<testing::PdfPageSpec> pages;
    for (int i = 1; i <= 20; ++i) pages.push_back({595, 842, testing::TextPageContent(i), 0});
    const std::string bytes = testing::MakePdf(pages);
    const std::string path = Folder() + "twenty.pdf";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
      std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
    return path;
  }();
  return file;
}

void ConvertPdf(benchmark::State& state, const std::string& pdf, int pages) {
  for (auto _ : state) {
    TKvFaxConverter c;
    c.InputDocumentType = idPdf;
    c.Resolution = frHigh;
    c.SetDocumentFile(pdf);
    c.OutFileName = Folder() + "out.APF";
    c.ConvertToApf();
  }
  state.counters["pages/s"] = benchmark::Counter(double(pages) * double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_TwentyPageTextPdf(benchmark::State& state) { ConvertPdf(state, TwentyPagePdf(), 20); }
BENCHMARK(BM_TwentyPageTextPdf)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LibreOfficeLetter(benchmark::State& state) {
  ConvertPdf(state, std::string(TOLMERA_FIXTURES_DIR) + "/pdf/letter-libreoffice.pdf", 2);
}
BENCHMARK(BM_LibreOfficeLetter)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tlm

BENCHMARK_MAIN();
