// Start-up of the main window: from creating it to its first activation done
// (logs open, lists filled, window shown), with 100 and 100,000 faxes in
// each log; "held_kB" is the resident memory the first start added.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QTableView>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <map>
#include <unistd.h>

#include "app/main_screen.h"
#include "app/storage_tables.h"

namespace {

QApplication& App() {
  static QApplication* app = [] {
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "startup_bench";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
  }();
  return *app;
}

// A data folder per log size, filled once and kept for the run.
std::string Folder(int records) {
  static std::map<int, std::string> folders;
  auto it = folders.find(records);
  if (it != folders.end()) return it->second;
  const std::string folder = (std::filesystem::temp_directory_path() /
                              ("tolmera-bench-" + std::to_string(::getpid()) + "-" + std::to_string(records)))
                                 .string() + "/";
  std::filesystem::create_directories(folder);
  std::ofstream(folder + "TLM.INI") << "[Modem]\nComPort=0\n";  // no first-run set-up
  // Filled by another process, so this one's memory holds only the window.
  const std::string command = std::string(TOLMERA_MAKE_SAMPLE_LOGS) + " " + folder + " " +
                              std::to_string(records) + " " + std::to_string(records);
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "startup_bench: %s failed\n", command.c_str());
    std::abort();
  }
  folders[records] = folder;
  return folder;
}

long ResidentKb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

void BM_MainWindowStartUp(benchmark::State& state) {
  App();
  const int records = static_cast<int>(state.range(0));
  ::setenv("TOLMERA_HOME", Folder(records).c_str(), 1);
  long heldKb = -1;
  for (auto _ : state) {
    ::malloc_trim(0);
    const long before = ResidentKb();
    auto tables = tlm::CreateStorageTables();
    {
      tlm::TMainScreen window(*tables);
      window.show();
      // The first activation runs from the event loop right after showing.
      QApplication::processEvents();
      QApplication::processEvents();
      benchmark::DoNotOptimize(window.findChild<QTableView*>("FaxGrid")->model()->rowCount());
      if (heldKb < 0) heldKb = ResidentKb() - before;  // the first start counts
      state.PauseTiming();
      window.close();
    }
    QApplication::processEvents();
    state.ResumeTiming();
  }
  state.counters["held_kB"] = static_cast<double>(heldKb);
  ::unsetenv("TOLMERA_HOME");
}
BENCHMARK(BM_MainWindowStartUp)->Arg(100)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The worst case of on-demand reading: the user drags the outgoing list to
// its last row, so every row position is learnt once.
void BM_ScrollToTheEnd(benchmark::State& state) {
  App();
  const int records = static_cast<int>(state.range(0));
  ::setenv("TOLMERA_HOME", Folder(records).c_str(), 1);
  for (auto _ : state) {
    state.PauseTiming();
    auto tables = tlm::CreateStorageTables();
    {
      tlm::TMainScreen window(*tables);
      window.show();
      QApplication::processEvents();
      QApplication::processEvents();
      auto* grid = window.findChild<QTableView*>("FaxGrid");
      state.ResumeTiming();
      grid->scrollToBottom();
      grid->viewport()->repaint();
      state.PauseTiming();
      window.close();
    }
    QApplication::processEvents();
    state.ResumeTiming();
  }
  ::unsetenv("TOLMERA_HOME");
}
BENCHMARK(BM_ScrollToTheEnd)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
