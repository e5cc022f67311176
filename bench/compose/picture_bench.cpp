// Pictures in the fax editor: 20 full pages as pictures (1-bit page images
// of 1700 x 2200 pixels, as a scanned or converted file gives them) put into
// the document with InsertPicture, then made into fax pages as sending does;
// and one page with a large colour photograph, dithered.
// Run: QT_QPA_PLATFORM=offscreen build/<cfg>/bench/compose/picture_bench
#include <benchmark/benchmark.h>

#include <QPainter>
#include <QTextBlockFormat>
#include <filesystem>

#include "compose/rich_text_pages.h"
#include "faximage/fax_converter.h"
#include "richtext/picture_insert.h"
#include "richtext/rich_text_editor.h"

namespace tlm {
namespace {

// A page of text lines and a frame, 1 bit deep, at 200 dpi.
QImage TextPageImage(int number) {
  QImage page(1700, 2200, QImage::Format_Mono);
  page.fill(1);
  QPainter p(&page);
  p.setPen(Qt::black);
  p.drawRect(100, 100, 1500, 2000);
  p.setFont(QFont("Liberation Serif", 12));
  for (int line = 0; line < 50; ++line) {
    p.drawText(150, 180 + line * 38, QString("Page %1, line %2: the quick brown fox jumps over the lazy dog.")
                                         .arg(number)
                                         .arg(line + 1));
  }
  return page;
}

void InsertPages(RichTextEditor& editor, const std::vector<QImage>& pages) {
  QTextCursor cursor = editor.TextCursor();
  for (std::size_t i = 0; i < pages.size(); ++i) {
    if (i > 0) {
      QTextBlockFormat block;
      block.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
      cursor.insertBlock(block);
    }
    InsertPicture(cursor, pages[i], QByteArray(), 8 * 1440 - 720, 11 * 1440 - 1440);
  }
  editor.SetTextCursor(cursor);
}

void BM_Insert20PicturePages(benchmark::State& state) {
  std::vector<QImage> pages;
  for (int i = 1; i <= 20; ++i) pages.push_back(TextPageImage(i));
  for (auto _ : state) {
    RichTextEditor editor;
    editor.SetPageSetup({12240, 15840, 360, 360, 360, 360});
    InsertPages(editor, pages);
    benchmark::DoNotOptimize(editor.CharacterCount());
  }
}
BENCHMARK(BM_Insert20PicturePages)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Render20PicturePages(benchmark::State& state) {
  const std::string folder = std::filesystem::temp_directory_path().string() + "/tolmera-bench-pictures/";
  std::filesystem::create_directories(folder);
  std::vector<QImage> pages;
  for (int i = 1; i <= 20; ++i) pages.push_back(TextPageImage(i));
  RichTextEditor editor;
  editor.SetPageSetup({12240, 15840, 360, 360, 360, 360});
  InsertPages(editor, pages);
  TKvFaxConverter converter;
  int made = 0;
  for (auto _ : state) {
    PageList list;
    RenderRichTextPages(editor, list, folder, converter, {});
    made += static_cast<int>(list.size());
    for (const std::string& page : list) std::filesystem::remove(page);
  }
  state.counters["pages_per_second"] = benchmark::Counter(made, benchmark::Counter::kIsRate);
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_Render20PicturePages)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_RenderPhotoPage(benchmark::State& state) {
  const std::string folder = std::filesystem::temp_directory_path().string() + "/tolmera-bench-photo/";
  std::filesystem::create_directories(folder);
  QImage photo(3000, 2000, QImage::Format_RGB32);
  for (int y = 0; y < photo.height(); ++y)
    for (int x = 0; x < photo.width(); ++x) photo.setPixel(x, y, qRgb(x % 256, y % 256, (x + y) % 256));
  RichTextEditor editor;
  QTextCursor cursor = editor.TextCursor();
  InsertPicture(cursor, photo, QByteArray(), 7 * 1440, 7 * 960);
  TKvFaxConverter converter;
  for (auto _ : state) {
    PageList list;
    RenderRichTextPages(editor, list, folder, converter, {});
    for (const std::string& page : list) std::filesystem::remove(page);
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_RenderPhotoPage)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace tlm
