// Files written by the engine, read by independent xBase readers
// (python3-dbf for tables and memos, the Perl XBase module for CDX tags),
// and tables written by python3-dbf read by the engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "storage/log_tables.h"
#include "storage/xbase_types.h"
#include "support/temp_dir.h"

namespace tlm {
namespace {

const std::string kScripts = TOLMERA_STORAGE_TEST_DIR "/";

std::vector<std::string> RunLines(const std::string& command) {
  std::vector<std::string> lines;
  FILE* p = ::popen((command + " 2>&1").c_str(), "r");
  if (!p) return lines;
  std::string line;
  int c;
  while ((c = std::fgetc(p)) != EOF) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line.push_back(static_cast<char>(c));
    }
  }
  if (!line.empty()) lines.push_back(line);
  EXPECT_EQ(::pclose(p), 0) << command << "\n" << (lines.empty() ? "" : lines.back());
  return lines;
}

struct Fax {
  std::string subject, date, time, recipient;
  bool sent;
  int pages;
  std::string doc;
  bool deleted;
};

void AddFax(TXbTable& t, const Fax& f) {
  ASSERT_TRUE(t.Append());
  ASSERT_TRUE(t.SetString("SUBJECT", f.subject));
  ASSERT_TRUE(t.SetBool("SENT", f.sent));
  ASSERT_TRUE(t.SetDate("DATESENT", f.date));
  ASSERT_TRUE(t.SetString("TIMESENT", f.time));
  ASSERT_TRUE(t.SetString("RECIPIENT", f.recipient));
  ASSERT_TRUE(t.SetString("PHONE", "555-0100"));
  ASSERT_TRUE(t.SetInteger("PAGES", f.pages));
  ASSERT_TRUE(t.SetString("LASTRESULT", f.sent ? "OK" : ""));
  ASSERT_TRUE(t.SetString("RTFCOVER", "{\\rtf1 cover}"));
  ASSERT_TRUE(t.SetString("RTFDOC", f.doc));
  ASSERT_TRUE(t.Post()) << t.LastError();
  if (f.deleted) {
    ASSERT_TRUE(t.Delete());
  }
}

std::string Json(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') out += '\\', out += static_cast<char>(c);
    else if (c == 0xE9) out += "\\u00e9";
    else out += static_cast<char>(c);
  }
  return out + "\"";
}

TEST(IndependentReadersTest, Python3DbfReadsEveryFieldRecordMemoAndMark) {
  testing::TempDir dir;
  XbLibrary lib;
  lib.xb_SetDeleted(true);
  std::vector<Fax> faxes = {
      {"Quarterly report", "20240315", "09:30", "Acme", true, 3, "{\\rtf1 hello}", false},
      {"invoice 42", "", "", "Beta \"quoted\"", false, 0, "", true},
      {"Caf\xE9 menu", "19991231", "23:59", "Gamma", true, 99, std::string(3000, 'z'), false},
  };
  {
    TXbTable t(lib);
    TXbEngine e(t);
    ASSERT_TRUE(OpenFaxDBF(t, e, dir.Folder())) << t.LastError();
    for (const auto& f : faxes) AddFax(t, f);
  }
  const auto lines = RunLines("/usr/bin/python3 " + kScripts + "dbf_dump.py " + dir.File("TLM.DBF"));
  ASSERT_EQ(lines.size(), faxes.size() + 1);
  EXPECT_EQ(lines[0],
            "{\"version\": \"Foxpro\", \"fields\": [\"subject\", \"sent\", \"datesent\", \"timesent\", "
            "\"recipient\", \"phone\", \"pages\", \"lastresult\", \"rtfcover\", \"rtfdoc\"]}");
  for (std::size_t i = 0; i < faxes.size(); ++i) {
    const Fax& f = faxes[i];
    const std::string expected = std::string("{\"deleted\": ") + (f.deleted ? "true" : "false") +
                                 ", \"values\": [" + Json(f.subject) + ", \"" + (f.sent ? "T" : "F") + "\", " +
                                 (f.date.empty() ? "null" : Json(f.date)) + ", " + Json(f.time) + ", " +
                                 Json(f.recipient) + ", \"555-0100\", \"" + std::to_string(f.pages) + "\", " +
                                 Json(f.sent ? "OK" : "") + ", \"{\\\\rtf1 cover}\", " + Json(f.doc) + "]}";
    EXPECT_EQ(lines[i + 1], expected);
  }
}

TEST(IndependentReadersTest, PerlXBaseListsEachTagInItsOrder) {
  testing::TempDir dir;
  XbLibrary lib;
  lib.xb_SetDeleted(true);
  struct Row {
    std::string subject, recipient, date, time;
    bool deleted = false;
  };
  std::vector<Row> rows;
  {
    TXbTable t(lib);
    TXbEngine e(t);
    ASSERT_TRUE(OpenFaxDBF(t, e, dir.Folder()));
    ASSERT_TRUE(RebuildLogIndexes(LogTable::kOutgoing, e)) << t.LastError();
    // Enough records for trees of several levels, kept current one by one.
    for (int i = 1; i <= 700; ++i) {
      Row r;
      r.subject = "Subject " + std::to_string((i * 7919) % 1000);
      r.recipient = (i % 3 ? "recipient " : "Recipient ") + std::to_string(i % 50);
      char d[9];
      std::snprintf(d, sizeof d, "20%02d%02d%02d", 10 + i % 15, 1 + i % 12, 1 + (i * 13) % 28);
      r.date = i % 41 == 0 ? "" : d;
      r.time = r.date.empty() ? "" : (i % 2 ? "09:30" : "17:05");
      r.deleted = i % 9 == 0;
      rows.push_back(r);
      AddFax(t, {r.subject, r.date, r.time, r.recipient, !r.date.empty(), i % 100, "", r.deleted});
    }
    // Edits move records inside the tags.
    for (int i = 5; i <= 700; i += 50) {
      ASSERT_TRUE(t.GoTo(i));
      rows[i - 1].subject = "edited " + std::to_string(i);
      ASSERT_TRUE(t.SetString("SUBJECT", rows[i - 1].subject));
      ASSERT_TRUE(t.Post());
    }
  }
  const std::string cdx = dir.File("TLM.CDX");
  const auto tags = RunLines("/usr/bin/python3 " + kScripts + "cdx_tags.py " + cdx);
  EXPECT_EQ(tags, (std::vector<std::string>{"DATEND|0|DTOS(DATESENT)+TIMESENT|.not. deleted()",
                                            "DATESENT|1|datesent|.not. deleted()",
                                            "RECIPIENT|0|UPPER(RECIPIENT)|.not. deleted()",
                                            "SUBJECT|0|UPPER(SUBJECT)|.not. deleted()"}));
  EXPECT_EQ(RunLines("index_dump --type=char " + cdx),
            (std::vector<std::string>{"DATEND", "DATESENT", "RECIPIENT", "SUBJECT"}));
  const auto upper = [](std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
  };
  // Expected: the non-deleted records in ascending (key, record) order;
  // descending tags are stored ascending and read backwards.
  const auto expect = [&](auto keyOf) {
    std::vector<std::pair<std::string, int>> keys;
    for (std::size_t i = 0; i < rows.size(); ++i)
      if (!rows[i].deleted) keys.emplace_back(keyOf(rows[i]), static_cast<int>(i + 1));
    std::sort(keys.begin(), keys.end());
    std::vector<std::string> out;
    for (const auto& [k, r] : keys) out.push_back(k + "|" + std::to_string(r));
    return out;
  };
  const auto trimmed = [](std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
  };
  EXPECT_EQ(RunLines("perl " + kScripts + "cdx_dump.pl " + cdx + " SUBJECT C"),
            expect([&](const Row& r) { return trimmed(upper(r.subject)); }));
  EXPECT_EQ(RunLines("perl " + kScripts + "cdx_dump.pl " + cdx + " RECIPIENT C"),
            expect([&](const Row& r) { return trimmed(upper(r.recipient)); }));
  EXPECT_EQ(RunLines("perl " + kScripts + "cdx_dump.pl " + cdx + " DATEND C"),
            expect([&](const Row& r) { return trimmed((r.date.empty() ? std::string(8, ' ') : r.date) + r.time); }));
  // The date key: Julian day numbers, 0 for the empty date; numbers sort as
  // numbers, so compare after sorting numerically.
  auto dates = RunLines("perl " + kScripts + "cdx_dump.pl " + cdx + " DATESENT N");
  std::vector<std::pair<long, int>> want;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].deleted) continue;
    int y = 0, m = 0, d = 0;
    const long jdn = xbase::ParseDate8(rows[i].date, y, m, d) ? static_cast<long>(xbase::JulianDay(y, m, d)) : 0;
    want.emplace_back(jdn, static_cast<int>(i + 1));
  }
  std::sort(want.begin(), want.end());
  ASSERT_EQ(dates.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i)
    EXPECT_EQ(dates[i], std::to_string(want[i].first) + "|" + std::to_string(want[i].second));

  // The engine reads the descending tag backwards: newest first.
  TXbTable t(lib);
  TXbEngine e(t);
  ASSERT_TRUE(OpenFaxDBF(t, e, dir.Folder()));
  ASSERT_TRUE(e.SetOrder(e.TagArea("DATESENT")));
  ASSERT_TRUE(t.First());
  std::vector<int> seen;
  while (!t.Eof()) {
    seen.push_back(static_cast<int>(t.RecNo()));
    t.Next();
  }
  std::vector<int> newestFirst;
  for (auto it = want.rbegin(); it != want.rend(); ++it) newestFirst.push_back(it->second);
  EXPECT_EQ(seen, newestFirst);
}

TEST(IndependentReadersTest, EngineReadsAndExtendsTablesWrittenByPython3Dbf) {
  testing::TempDir dir;
  RunLines("/usr/bin/python3 " + kScripts + "dbf_write.py " + dir.File("tlm"));
  XbLibrary lib;
  ASSERT_NE(lib.xb_Use(dir.File("tlm.dbf")), 0) << lib.LastError();
  ASSERT_EQ(lib.xb_RecCount(), 3);
  ASSERT_TRUE(lib.xb_Go(1));
  EXPECT_EQ(lib.xb_FieldText("SUBJECT"), "Quarterly report");
  EXPECT_EQ(lib.xb_FieldText("SENT"), "T");
  EXPECT_EQ(lib.xb_FieldText("DATESENT"), "20240315");
  EXPECT_EQ(lib.xb_FieldText("TIMESENT"), "09:30");
  EXPECT_EQ(lib.xb_FieldText("PAGES"), "3");
  EXPECT_EQ(lib.xb_FieldText("RTFDOC"), "{\\rtf1 hello}");
  EXPECT_FALSE(lib.xb_Deleted());
  ASSERT_TRUE(lib.xb_Go(2));
  EXPECT_TRUE(lib.xb_Deleted());
  EXPECT_EQ(lib.xb_FieldText("SUBJECT"), "invoice 42");
  EXPECT_EQ(lib.xb_FieldText("DATESENT"), "");
  EXPECT_EQ(lib.xb_FieldText("RTFDOC"), "");
  ASSERT_TRUE(lib.xb_Go(3));
  EXPECT_EQ(lib.xb_FieldText("SUBJECT"), "Caf\xE9 menu");
  EXPECT_EQ(lib.xb_FieldText("DATESENT"), "19991231");
  EXPECT_EQ(lib.xb_FieldText("PAGES"), "12");
  EXPECT_EQ(lib.xb_FieldText("RTFDOC"), std::string(700, 'x'));
  // Appended and indexed by the engine, read back by python3-dbf.
  ASSERT_TRUE(lib.xb_IndexTag("", "SUBJECT", "UPPER(SUBJECT)", 0, false, ".not. deleted()"));
  ASSERT_TRUE(lib.xb_AppendBlank());
  ASSERT_TRUE(lib.xb_Replace("SUBJECT", "added"));
  ASSERT_TRUE(lib.xb_Replace("SENT", "F"));
  ASSERT_TRUE(lib.xb_Replace("RTFDOC", "{\\rtf1 added}"));
  ASSERT_TRUE(lib.xb_Close());
  const auto lines = RunLines("/usr/bin/python3 " + kScripts + "dbf_dump.py " + dir.File("tlm.dbf"));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[2].substr(0, 17), "{\"deleted\": true,");
  EXPECT_EQ(lines[4], "{\"deleted\": false, \"values\": [\"added\", \"F\", null, \"\", null, \"{\\\\rtf1 added}\"]}");
  EXPECT_EQ(RunLines("perl " + kScripts + "cdx_dump.pl " + dir.File("tlm.cdx") + " SUBJECT C"),
            (std::vector<std::string>{"ADDED|4", "CAF\xC9 MENU|3", "QUARTERLY REPORT|1"}));
}

}  // namespace
}  // namespace tlm
