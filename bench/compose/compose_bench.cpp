// CreateFaxFile for a 20-page document: pages per second and peak memory.
// Run: QT_QPA_PLATFORM=offscreen build/<cfg>/bench/compose/compose_bench
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "compose/fax_document_assembly.h"
#include "faximage/fax_converter.h"
#include "richtext/rich_text_editor.h"
#include "richtext/rtf/rtf_writer.h"

namespace tlm {
namespace {

class QuietHost : public AssemblyHost {
 public:
  void SetBusy(bool) override {}
  void SetStatus(const QString&) override {}
  void ProcessMessages() override { QApplication::processEvents(); }
  void ShowInformation(const QString&) override {}
};

// Twenty pages of business text: every page a heading and full paragraphs,
// a hard page break before each heading.
std::string TwentyPages() {
  rtf::Document doc;
  doc.page = {12240, 15840, 720, 720, 720, 720};
  const std::string sentence =
      "Please find below the quarterly figures for the items we discussed, with delivery dates and prices. ";
  for (int page = 1; page <= 20; ++page) {
    rtf::Paragraph heading;
    heading.format.pageBreakBefore = page > 1;
    heading.format.spaceAfter = 240;
    rtf::CharFormat bold;
    bold.bold = true;
    bold.halfPoints = 32;
    rtf::AppendText(heading, "Section " + std::to_string(page), bold);
    doc.paragraphs.push_back(heading);
    for (int p = 0; p < 7; ++p) {
      rtf::Paragraph body;
      body.format.spaceAfter = 120;
      std::string text;
      for (int s = 0; s < 6; ++s) text += sentence;
      rtf::CharFormat plain;
      plain.halfPoints = 22;
      rtf::AppendText(body, text, plain);
      doc.paragraphs.push_back(body);
    }
  }
  return rtf::WriteRtf(doc);
}

void BM_CreateFaxFile20Pages(benchmark::State& state) {
  std::string folder = std::filesystem::temp_directory_path().string() + "/tolmera-bench-compose/";
  std::filesystem::create_directories(folder);
  std::string rtfText = TwentyPages();
  RichTextEditor cover, document;
  TKvFaxConverter converter;
  QuietHost host;
  FaxDocumentAssembler assembler(folder, cover, document, converter, host);
  auto noCover = [](const std::string&) { return false; };
  auto memo = [&](const std::string& path) {
    std::ofstream(path, std::ios::binary) << rtfText;
    return true;
  };
  int pages = 0;
  for (auto _ : state) {
    std::string result = assembler.CreateFaxFile(noCover, memo);
    pages += assembler.PageCount();
    std::filesystem::remove(result);
  }
  state.counters["pages"] = assembler.PageCount();
  state.counters["pages_per_second"] = benchmark::Counter(pages, benchmark::Counter::kIsRate);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MB"] = usage.ru_maxrss / 1024.0;
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_CreateFaxFile20Pages)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace tlm

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
