// The viewer on a 20-page received fax (fine, raw T.4 streams as the
// receive engine writes them, pages of text-like ink): opening it and
// showing page 1, flipping a page, zooming, and printing the 20 pages into
// a PDF file. Goals: 50 ms, 30 ms, 30 ms and 2 s.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <cstdlib>
#include <random>
#include <vector>

#include "faximage/apf_file.h"
#include "faximage/apf_writer.h"
#include "faximage/t4_encoder.h"
#include "viewer/fax_printer.h"
#include "viewer/fax_viewer.h"

namespace tlm {
namespace {

QApplication& App() {
  static QApplication* app = [] {
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "viewer_bench";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
  }();
  return *app;
}

// A letter-length fine page (2200 lines) of lines of "words": rows of ink
// 24 lines high with gaps, words of random widths, strokes inside them.
std::vector<std::uint8_t> TextPage(std::mt19937& random) {
  constexpr int kLines = 2200;
  std::vector<std::uint8_t> stream;
  std::vector<std::uint8_t> row(216), record(kT4MaxLineRecord);
  std::vector<std::pair<int, int>> words;
  for (int y = 0; y < kLines; ++y) {
    std::fill(row.begin(), row.end(), 0);
    const int inLine = y % 36;
    if (inLine == 0) {
      words.clear();
      for (int x = 150; x < 1550;) {
        const int w = 20 + int(random() % 120);
        words.emplace_back(x, std::min(1578, x + w));
        x += w + 14;
      }
    }
    if (y > 200 && y < 2000 && inLine < 24) {
      for (auto [from, to] : words) {
        for (int x = from; x < to; ++x) {
          if ((x + inLine) % 7 < 2) row[std::size_t(x / 8)] |= std::uint8_t(0x80 >> (x % 8));
        }
      }
    }
    const std::size_t n = T4EncodeLine(row.data(), row.size(), {1728, 0, false}, record.data());
    stream.insert(stream.end(), record.begin(), record.begin() + std::ptrdiff_t(n));
  }
  stream.insert(stream.end(), kT4EndOfPageRecord.begin(), kT4EndOfPageRecord.end());
  return stream;
}

const std::string& TwentyPageFax() {
  static const std::string path = [] {
    const std::string file = QDir::tempPath().toStdString() + "/viewer_bench_20.apf";
    std::mt19937 random(20);
    ApfWriter writer;
    writer.Create(file);
    for (int page = 0; page < 20; ++page) {
      const auto stream = TextPage(random);
      writer.BeginPage(kApfFine);
      writer.WriteRaw(stream.data(), stream.size());
      writer.EndPage();
    }
    writer.Finish("+1 555 0100");
    return file;
  }();
  return path;
}

struct ShownViewer {
  ShownViewer() {
    viewer.resize(900, 700);
    viewer.SetAutoScaleMode(asHalfWidth);
    viewer.show();
  }
  void Paint() { viewer.Window().viewport()->repaint(); }
  QApplication& app = App();  // before the widget
  TKvFaxViewer viewer;
};

void BM_OpenAndShowPage1(benchmark::State& state) {
  ShownViewer v;
  const std::string& file = TwentyPageFax();
  for (auto _ : state) {
    v.viewer.SetFileName(file);
    v.Paint();
  }
}
BENCHMARK(BM_OpenAndShowPage1)->Unit(benchmark::kMillisecond);

void BM_PageFlip(benchmark::State& state) {
  ShownViewer v;
  v.viewer.SetFileName(TwentyPageFax());
  int page = 1;
  for (auto _ : state) {
    page = page % 20 + 1;
    v.viewer.SetCurrentPage(page);
    v.Paint();
  }
}
BENCHMARK(BM_PageFlip)->Unit(benchmark::kMillisecond);

void BM_ZoomFinePage(benchmark::State& state) {
  ShownViewer v;
  v.viewer.SetFileName(TwentyPageFax());
  static const int steps[] = {25, 50, 75, 150, 200, 100};
  int i = 0;
  for (auto _ : state) {
    const int percent = steps[i++ % 6];
    v.viewer.BeginUpdate();
    v.viewer.SetScaling(percent != 100);
    v.viewer.SetHorizMult(percent);
    v.viewer.SetVertMult(percent);
    v.viewer.SetHorizDiv(100);
    v.viewer.SetVertDiv(100);
    v.viewer.EndUpdate();
    v.Paint();
  }
}
BENCHMARK(BM_ZoomFinePage)->Unit(benchmark::kMillisecond);

void BM_PrintTwentyPagesToPdf(benchmark::State& state) {
  App();
  TKvFaxPrinter printer;
  printer.SetFileName(TwentyPageFax());
  const QString pdf = QDir::tempPath() + QStringLiteral("/viewer_bench_20.pdf");
  printer.SetPdfOutput(pdf);
  for (auto _ : state) {
    if (!printer.Print()) state.SkipWithError(printer.LastError().toStdString().c_str());
  }
  QFile::remove(pdf);
}
BENCHMARK(BM_PrintTwentyPagesToPdf)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tlm

BENCHMARK_MAIN();
