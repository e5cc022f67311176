// The xBase engine and SQLite side by side on the outgoing fax log:
//   1. 100,000 appends with the log's four rebuild tags (SQLite: four
//      partial indexes on the same expressions);
//   2. a full scan in DATESENT order;
//   3. the count through ".not. deleted()";
//   4. 10,000 seeks by key;
//   5. pack (10% deleted) and reindex;
// then seek times at 10,000 and 1,000,000 records, and the memory and time
// of opening a table of 1,000,000 records (in a fresh process).
//
// Durability is comparable: each engine post is written to the OS (write(2),
// no fsync) and survives the program being killed; SQLite runs each insert
// as its own transaction in WAL mode with synchronous=OFF, which survives a
// killed program too. Neither syncs to the disk per record.
//
// Usage: storage_bench [folder] [--records N] [--big N]
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "storage/log_tables.h"

namespace {

using Clock = std::chrono::steady_clock;
using tlm::LogTable;
using tlm::TXbEngine;
using tlm::TXbTable;
using tlm::XbLibrary;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

void Report(const char* step, double engine, double sqlite) {
  std::printf("%-44s engine %9.3f s   sqlite %9.3f s   ratio %5.2f\n", step, engine, sqlite, engine / sqlite);
  std::fflush(stdout);
}

struct Row {
  std::string subject, date, time, recipient, doc;
  int pages;
};

std::vector<Row> MakeRows(int n, unsigned seed) {
  std::mt19937 rng(seed);
  const auto next = [&rng] { return static_cast<unsigned>(rng()); };
  std::vector<Row> rows(static_cast<std::size_t>(n));
  for (auto& r : rows) {
    r.subject = "Subject " + std::to_string(rng() % 1000000);
    char d[9];
    std::snprintf(d, sizeof d, "%04u%02u%02u", 2000 + next() % 25, 1 + next() % 12, 1 + next() % 28);
    r.date = d;
    char t[6];
    std::snprintf(t, sizeof t, "%02u:%02u", next() % 24, next() % 60);
    r.time = t;
    r.recipient = "Recipient " + std::to_string(rng() % 5000);
    r.pages = static_cast<int>(rng() % 99);
    r.doc = "{\\rtf1 document " + r.subject + "}";
  }
  return rows;
}

void Check(bool ok, const std::string& what) {
  if (!ok) {
    std::fprintf(stderr, "failed: %s\n", what.c_str());
    std::exit(1);
  }
}

void Exec(sqlite3* db, const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s: %s\n", sql, err ? err : "?");
    std::exit(1);
  }
}

long PeakKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// Builds a phone-book table of n records with its NAME tag; returns the names.
std::vector<std::string> MakePhoneBook(const std::string& folder, int n) {
  std::filesystem::create_directories(folder);
  for (const char* f : {"TLMPB.DBF", "TLMPB.CDX"}) std::filesystem::remove(folder + f);
  XbLibrary lib;
  TXbTable t(lib);
  TXbEngine e(t);
  Check(tlm::OpenPhoneDBF(t, e, folder), "open phone book");
  std::mt19937 rng(7);
  std::vector<std::string> names;
  names.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    names.push_back("Name " + std::to_string(rng() % 100000000));
    Check(t.Append() && t.SetString("NAME", names.back()) && t.SetString("PHONE", std::to_string(i)) && t.Post(),
          "phone append");
  }
  return names;
}

double EngineSeeks(const std::string& folder, const std::vector<std::string>& names, int seeks) {
  XbLibrary lib;
  TXbTable t(lib);
  TXbEngine e(t);
  Check(tlm::OpenPhoneDBF(t, e, folder), "open phone book");
  std::mt19937 rng(11);
  const int previous = lib.xb_WorkArea();
  lib.xb_Select(t.WorkArea());
  const auto start = Clock::now();
  int found = 0;
  for (int i = 0; i < seeks; ++i) {
    std::string key = names[rng() % names.size()];
    for (auto& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    found += lib.xb_Seek(key);
  }
  const double s = Seconds(start);
  lib.xb_Select(previous);
  Check(found == seeks, "every seek finds its key");
  return s;
}

}  // namespace

// Opens the phone book in `folder`, moves to its first record and seeks one
// key; prints the time taken and the process's peak memory before and after.
int OpenOnly(const std::string& folder, long expected) {
  const long before = PeakKb();
  const auto t0 = Clock::now();
  XbLibrary lib;
  TXbTable t(lib);
  TXbEngine e(t);
  const bool ok = tlm::OpenPhoneDBF(t, e, folder) && t.First() && e.RecCount() == expected;
  const double openTime = Seconds(t0);
  if (!ok) return 1;
  std::printf("%.4f s, peak memory %.1f MB (%.1f MB before opening)\n", openTime, PeakKb() / 1024.0,
              before / 1024.0);
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--open-only") return OpenOnly(argv[2], std::atol(argv[3]));
  std::string folder = "/tmp/tolmera-storage-bench/";
  int records = 100000;
  int big = 1000000;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--records" && i + 1 < argc) records = std::atoi(argv[++i]);
    else if (a == "--big" && i + 1 < argc) big = std::atoi(argv[++i]);
    else folder = a + "/";
  }
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  std::printf("storage_bench: %d records in %s (engine: write(2) per post, no fsync; "
              "sqlite: WAL, synchronous=OFF, one transaction per insert)\n",
              records, folder.c_str());
  const auto rows = MakeRows(records, 1);

  // --- Engine
  XbLibrary lib;
  lib.xb_SetDeleted(true);
  TXbTable table(lib);
  TXbEngine engine(table);
  Check(tlm::OpenFaxDBF(table, engine, folder), "open outgoing log");
  Check(tlm::RebuildLogIndexes(LogTable::kOutgoing, engine), "rebuild tags");
  auto start = Clock::now();
  for (const auto& r : rows) {
    Check(table.Append() && table.SetString("SUBJECT", r.subject) && table.SetBool("SENT", true) &&
              table.SetDate("DATESENT", r.date) && table.SetString("TIMESENT", r.time) &&
              table.SetString("RECIPIENT", r.recipient) && table.SetString("PHONE", "555-0100") &&
              table.SetInteger("PAGES", r.pages) && table.SetString("LASTRESULT", "OK") &&
              table.SetString("RTFDOC", r.doc) && table.Post(),
          "append: " + table.LastError());
  }
  const double engineAppend = Seconds(start);

  // --- SQLite
  const std::string dbPath = folder + "tlm.sqlite";
  sqlite3* db = nullptr;
  Check(sqlite3_open(dbPath.c_str(), &db) == SQLITE_OK, "sqlite open");
  Exec(db, "PRAGMA journal_mode=WAL");
  Exec(db, "PRAGMA synchronous=OFF");
  Exec(db,
       "CREATE TABLE fax(subject TEXT, sent INTEGER, datesent TEXT, timesent TEXT, recipient TEXT, phone TEXT, "
       "pages INTEGER, lastresult TEXT, rtfcover TEXT, rtfdoc TEXT, deleted INTEGER NOT NULL DEFAULT 0)");
  Exec(db, "CREATE INDEX datesent ON fax(datesent DESC) WHERE deleted=0");
  Exec(db, "CREATE INDEX datend ON fax(datesent || timesent) WHERE deleted=0");
  Exec(db, "CREATE INDEX subject ON fax(upper(subject)) WHERE deleted=0");
  Exec(db, "CREATE INDEX recipient ON fax(upper(recipient)) WHERE deleted=0");
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db,
                     "INSERT INTO fax(subject, sent, datesent, timesent, recipient, phone, pages, lastresult, "
                     "rtfdoc) VALUES (?, 1, ?, ?, ?, '555-0100', ?, 'OK', ?)",
                     -1, &insert, nullptr);
  start = Clock::now();
  for (const auto& r : rows) {
    sqlite3_bind_text(insert, 1, r.subject.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(insert, 2, r.date.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(insert, 3, r.time.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(insert, 4, r.recipient.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_int(insert, 5, r.pages);
    sqlite3_bind_text(insert, 6, r.doc.c_str(), -1, SQLITE_STATIC);
    Check(sqlite3_step(insert) == SQLITE_DONE, "sqlite insert");
    sqlite3_reset(insert);
  }
  const double sqliteAppend = Seconds(start);
  sqlite3_finalize(insert);
  Report("1. appends with 4 tags / 4 indexes", engineAppend, sqliteAppend);

  // --- Full scan in DATESENT order
  Check(engine.SetFilter(tlm::kNotDeletedFilter), "filter");
  Check(engine.SetOrder(engine.TagArea("DATESENT")), "order");
  start = Clock::now();
  long seen = 0;
  std::size_t bytes = 0;
  for (table.First(); !table.Eof(); table.Next()) {
    bytes += table.AsString("SUBJECT").size();
    ++seen;
  }
  const double engineScan = Seconds(start);
  Check(seen == records, "scan sees every record");
  sqlite3_stmt* scan = nullptr;
  sqlite3_prepare_v2(db, "SELECT subject FROM fax WHERE deleted=0 ORDER BY datesent DESC", -1, &scan, nullptr);
  start = Clock::now();
  seen = 0;
  while (sqlite3_step(scan) == SQLITE_ROW) {
    bytes += static_cast<std::size_t>(sqlite3_column_bytes(scan, 0));
    ++seen;
  }
  const double sqliteScan = Seconds(start);
  sqlite3_finalize(scan);
  Check(seen == records, "sqlite scan");
  Report("2. full scan in DATESENT order", engineScan, sqliteScan);

  // --- Count through the filter
  start = Clock::now();
  const long engineCount = engine.QueryRecCount();
  const double engineCountTime = Seconds(start);
  sqlite3_stmt* count = nullptr;
  sqlite3_prepare_v2(db, "SELECT count(*) FROM fax WHERE deleted=0", -1, &count, nullptr);
  start = Clock::now();
  sqlite3_step(count);
  const long sqliteCount = sqlite3_column_int(count, 0);
  const double sqliteCountTime = Seconds(start);
  sqlite3_finalize(count);
  Check(engineCount == records && sqliteCount == records, "counts");
  Report("3. count through \".not. deleted()\"", engineCountTime, sqliteCountTime);

  // --- Seeks by key (SUBJECT tag)
  Check(engine.SetOrder(engine.TagArea("SUBJECT")), "order subject");
  std::mt19937 rng(5);
  std::vector<std::string> keys;
  for (int i = 0; i < 10000; ++i) {
    std::string k = rows[rng() % rows.size()].subject;
    for (auto& c : k) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    keys.push_back(k);
  }
  {
    const int previous = lib.xb_WorkArea();
    lib.xb_Select(table.WorkArea());
    start = Clock::now();
    int found = 0;
    for (const auto& k : keys) found += lib.xb_Seek(k);
    const double engineSeek = Seconds(start);
    lib.xb_Select(previous);
    Check(found == 10000, "engine seeks");
    sqlite3_stmt* seek = nullptr;
    sqlite3_prepare_v2(db, "SELECT rowid, subject FROM fax WHERE upper(subject)=? AND deleted=0 LIMIT 1", -1, &seek,
                       nullptr);
    start = Clock::now();
    found = 0;
    for (const auto& k : keys) {
      sqlite3_bind_text(seek, 1, k.c_str(), -1, SQLITE_STATIC);
      found += sqlite3_step(seek) == SQLITE_ROW;
      sqlite3_reset(seek);
    }
    const double sqliteSeek = Seconds(start);
    sqlite3_finalize(seek);
    Check(found == 10000, "sqlite seeks");
    Report("4. 10,000 seeks by key", engineSeek, sqliteSeek);
  }

  // --- Pack (10% marked deleted) and reindex
  for (long r = 1; r <= records; r += 10) Check(table.GoTo(r) && table.Delete(), "delete");
  Exec(db, "UPDATE fax SET deleted=1 WHERE rowid % 10 = 1");
  start = Clock::now();
  Check(engine.Pack(), "pack");
  const double enginePack = Seconds(start);
  start = Clock::now();
  Exec(db, "DELETE FROM fax WHERE deleted=1");
  Exec(db, "VACUUM");
  const double sqlitePack = Seconds(start);
  Report("5a. pack (rewrite without deleted, rebuild)", enginePack, sqlitePack);
  start = Clock::now();
  Check(engine.Reindex(), "reindex");
  const double engineReindex = Seconds(start);
  start = Clock::now();
  Exec(db, "REINDEX");
  const double sqliteReindex = Seconds(start);
  Report("5b. reindex (4 tags / 4 indexes)", engineReindex, sqliteReindex);
  table.Close();
  sqlite3_close(db);

  // --- Seek growth: 10,000 seeks at 10,000 and at `big` records.
  std::printf("\nseek growth (phone book, NAME tag, 10,000 seeks each):\n");
  const std::string small = folder + "small/", large = folder + "large/";
  const auto smallNames = MakePhoneBook(small, 10000);
  const double smallSeeks = EngineSeeks(small, smallNames, 10000);
  start = Clock::now();
  const auto largeNames = MakePhoneBook(large, big);
  const double largeBuild = Seconds(start);
  const double largeSeeks = EngineSeeks(large, largeNames, 10000);
  std::printf("  %8d records: %.3f s (%.2f us per seek)\n", 10000, smallSeeks, smallSeeks * 100);
  std::printf("  %8d records: %.3f s (%.2f us per seek); built in %.1f s\n", big, largeSeeks, largeSeeks * 100,
              largeBuild);

  // --- Opening the big table in a fresh process: time and peak memory.
  const auto dbfSize = std::filesystem::file_size(large + "TLMPB.DBF");
  const auto cdxSize = std::filesystem::file_size(large + "TLMPB.CDX");
  char self[4096] = {};
  Check(readlink("/proc/self/exe", self, sizeof self - 1) > 0, "own path");
  const std::string command = std::string(self) + " --open-only " + large + " " + std::to_string(big);
  FILE* p = popen(command.c_str(), "r");
  Check(p != nullptr, "run the open step");
  char line[512] = {};
  const bool got = std::fgets(line, sizeof line, p) != nullptr;
  Check(pclose(p) == 0 && got, "open the big table");
  std::printf("\nopen %d records (DBF %.1f MB, CDX %.1f MB) in a fresh process: %s", big, dbfSize / 1e6,
              cdxSize / 1e6, line);
  (void)bytes;
  return 0;
}
