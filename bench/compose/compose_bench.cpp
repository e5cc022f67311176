// CreateFaxFile for a document of 20 and of 500 pages: pages per second and
// peak memory. Pages are rendered one at a time, so the peak of 500 pages
// should be that of 20 plus the larger document itself; run each size on its
// own (--benchmark_filter=/500) for a clean memory figure.
// The fax editor opened by the main window's Edit on a record with a
// 20-page document, until it waits for typing; filling the placeholders of
// a cover.
// Run: QT_QPA_PLATFORM=offscreen build/<cfg>/bench/compose/compose_bench
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <QDeadlineTimer>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>

#include "app/core/settings.h"
#include "app/main_screen.h"
#include "app/storage_tables.h"
#include "compose/compose_hooks.h"
#include "compose/fax_document_assembly.h"
#include "compose/placeholders.h"
#include "storage/log_tables.h"
#include "storage/xb_components.h"
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

// Pages of business text: every page a heading and full paragraphs, a hard
// page break before each heading.
std::string BusinessPages(int count) {
  rtf::Document doc;
  doc.page = {12240, 15840, 720, 720, 720, 720};
  const std::string sentence =
      "Please find below the quarterly figures for the items we discussed, with delivery dates and prices. ";
  for (int page = 1; page <= count; ++page) {
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

void BM_CreateFaxFile(benchmark::State& state) {
  std::string folder = std::filesystem::temp_directory_path().string() + "/tolmera-bench-compose/";
  std::filesystem::create_directories(folder);
  std::string rtfText = BusinessPages(static_cast<int>(state.range(0)));
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
BENCHMARK(BM_CreateFaxFile)->Arg(20)->Arg(500)->Unit(benchmark::kMillisecond)->Iterations(1);

// Edit on the main window's current record: the fax editor loads both memos,
// lays them out and is shown; the first turn of its event loop (ready for
// typing) closes it again, so nothing is written.
void BM_OpenFaxEditor20Pages(benchmark::State& state) {
  const std::string folder = std::filesystem::temp_directory_path().string() + "/tolmera-bench-editor/";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  ::setenv("TOLMERA_HOME", folder.c_str(), 1);
  {
    TXbTable table;
    TXbEngine engine(table);
    OpenFaxDBF(table, engine, folder);
    table.Append();
    table.SetString("SUBJECT", "Twenty pages");
    table.SetString("RECIPIENT", "Adams");
    table.SetString("RTFCOVER", "{\\rtf1\\ansi Cover\\par}");
    table.SetString("RTFDOC", BusinessPages(20));
    table.Post();
  }
  std::unique_ptr<TableProvider> tables = CreateStorageTables();
  MainScreenHooks hooks;
  InstallComposeHooks(hooks);
  TMainScreen window(*tables, hooks);
  // The first start asks for a rebuild; the answer No is not timed.
  QTimer answer;
  answer.callOnTimeout([] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->reject();
  });
  answer.start(10);
  window.show();
  QDeadlineTimer settle(300);
  while (!settle.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 10);
  answer.stop();
  for (auto _ : state) {
    QTimer::singleShot(0, [] {
      if (auto* editor = qobject_cast<QDialog*>(QApplication::activeModalWidget())) editor->reject();
    });
    window.EditFax();
  }
  window.close();
  ::unsetenv("TOLMERA_HOME");
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_OpenFaxEditor20Pages)->Unit(benchmark::kMillisecond)->Iterations(5);

// A cover with every placeholder twice among a page of text.
void BM_FillPlaceholders(benchmark::State& state) {
  RichTextEditor cover;
  QTextCursor c = cover.TextCursor();
  for (int line = 0; line < 40; ++line) c.insertText(QStringLiteral("A line of cover text before the fields.\n"));
  cover.SetTextCursor(c);
  for (int round = 0; round < 2; ++round) {
    for (const Placeholder& p : kPlaceholders) cover.InsertInsertPoint(p.tag, QString::fromLatin1(p.displayText));
  }
  const rtf::Document original = cover.Model();
  const PlaceholderValues values{QStringLiteral("Adams & Co"), QStringLiteral("555-0101"), QStringLiteral("Offer"),
                                 QDateTime::currentDateTime()};
  for (auto _ : state) {
    state.PauseTiming();
    cover.SetModel(original);
    state.ResumeTiming();
    FillPlaceholders(cover, values);
  }
}
BENCHMARK(BM_FillPlaceholders)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tlm
