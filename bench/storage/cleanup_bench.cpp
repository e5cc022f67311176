// The fax log cleanup on a large outgoing log: deleting by condition (as the
// cleanup window's operations do, through DeleteWhere) in a log of 100,000
// faxes with its four rebuild tags and memo file, then the rebuild that
// follows the window's closing (pack, memo compaction, four tags).
//
// Usage: cleanup_bench [folder] [--records N]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "storage/log_cleanup.h"
#include "storage/log_tables.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

void Check(bool ok, const std::string& what) {
  if (ok) return;
  std::fprintf(stderr, "cleanup_bench: %s failed\n", what.c_str());
  std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = "/tmp/tolmera-cleanup-bench/";
  int records = 100000;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--records" && i + 1 < argc) records = std::atoi(argv[++i]);
    else folder = a + "/";
  }
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);

  tlm::XbLibrary lib;
  lib.xb_SetDeleted(true);
  tlm::TXbTable table(lib);
  tlm::TXbEngine engine(table);
  Check(tlm::OpenFaxDBF(table, engine, folder), "open outgoing log");
  Check(tlm::RebuildLogIndexes(tlm::LogTable::kOutgoing, engine), "rebuild tags");

  // One recipient in ten is an ACME company; dates spread over 2000-2024;
  // one fax in twenty was never sent.
  std::mt19937 rng(7);
  auto start = Clock::now();
  for (int i = 0; i < records; ++i) {
    const unsigned n = static_cast<unsigned>(rng());
    const std::string recipient = (n % 10 == 0 ? "Acme Branch " : "Customer ") + std::to_string(n % 5000);
    char date[9] = "";
    if ((n >> 4) % 20 != 0) std::snprintf(date, sizeof date, "%04u%02u%02u", 2000 + (n >> 8) % 25, 1 + (n >> 16) % 12, 1 + (n >> 20) % 28);
    Check(table.Append() && table.SetString("SUBJECT", "Order " + std::to_string(i)) && table.SetBool("SENT", date[0] != 0) &&
              table.SetDate("DATESENT", date) && table.SetString("TIMESENT", "10:15") &&
              table.SetString("RECIPIENT", recipient) && table.SetString("PHONE", "555-" + std::to_string(n % 10000)) &&
              table.SetInteger("PAGES", 1 + n % 9) && table.SetString("LASTRESULT", "Fax sent OK") &&
              table.SetString("RTFDOC", "{\\rtf1\\ansi Order " + std::to_string(i) + "\\par}") && table.Post(),
          "append: " + table.LastError());
  }
  std::printf("cleanup_bench: %d faxes in %s (made in %.2f s)\n", records, folder.c_str(), Seconds(start));
  Check(engine.SetOrder(engine.TagArea("DATESENT")), "order");
  table.First();

  long total = 0;
  const auto run = [&](const char* what, const std::string& condition) {
    std::string error;
    const auto t0 = Clock::now();
    const long n = tlm::DeleteWhere(table, engine, condition, nullptr, error);
    const double s = Seconds(t0);
    Check(n >= 0 && error.empty(), std::string(what) + ": " + error);
    total += n;
    std::printf("%-46s %7ld deleted  %8.3f s  (%.1f us per record scanned)\n", what, n, s, s * 1e6 / records);
    std::fflush(stdout);
  };
  run("exact: RECIPIENT is \"customer 42\"", tlm::FieldMatchCondition("RECIPIENT", "customer 42", true));
  run("partial: RECIPIENT contains \"acme\"", tlm::FieldMatchCondition("RECIPIENT", "acme", false));
  run("before 01/01/2012", tlm::BeforeDateCondition("DATESENT", 2012, 1, 1));
  run("not sent: EMPTY(DATESENT)", "EMPTY(DATESENT)");
  run("nothing left to match (a second pass)", tlm::BeforeDateCondition("DATESENT", 2012, 1, 1));

  const auto t0 = Clock::now();
  Check(tlm::RebuildLogIndexes(tlm::LogTable::kOutgoing, engine), "rebuild");
  const double rebuild = Seconds(t0);
  Check(engine.RecCount() == records - total, "the rebuild packs every marked fax away");
  std::printf("%-46s %7ld kept     %8.3f s\n", "rebuild: pack, memos, four tags", engine.RecCount(), rebuild);
  table.Close();
  std::filesystem::remove_all(folder);
  return 0;
}
