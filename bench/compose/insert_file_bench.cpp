// "Insert File..." of a 20-page text PDF into the fax editor's document:
// every page read, rendered at the fax page's resolution and inserted as a
// picture a page, the text laid out again. Goal: under 2 s.
// Run: QT_QPA_PLATFORM=offscreen build/<cfg>/bench/compose/insert_file_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>

#include "compose/file_pictures.h"
#include "faximage/pdf_maker.h"  // from tests/: the PDF files of the tests
#include "richtext/rich_text_editor.h"

namespace tlm {
namespace {

const QString& TwentyPagePdf() {
  static const QString file = [] {
    std::vector<testing::PdfPageSpec> pages;
    for (int i = 1; i <= 20; ++i) pages.push_back({612, 792, testing::TextPageContent(i), 0});
    const std::string bytes = testing::MakePdf(pages);
    const std::string folder = std::filesystem::temp_directory_path().string() + "/tolmera-bench-pdf/";
    std::filesystem::create_directories(folder);
    const std::string path = folder + "twenty-letter.pdf";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
      std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
    return QString::fromStdString(path);
  }();
  return file;
}

void BM_InsertTwentyPagePdf(benchmark::State& state) {
  for (auto _ : state) {
    RichTextEditor editor;
    editor.SetPageSetup({12240, 15840, 720, 720, 720, 720});
    int width = 0, height = 0;
    PictureBoxOf(editor, width, height);
    QString error;
    const std::vector<FilePicture> pictures = ReadFilePictures(TwentyPagePdf(), width, height, kFaxPictureDpi, &error);
    if (pictures.size() != 20) state.SkipWithError(error.toStdString().c_str());
    InsertFilePictures(editor, pictures);
  }
  state.counters["pages/s"] = benchmark::Counter(20.0 * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_InsertTwentyPagePdf)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tlm
