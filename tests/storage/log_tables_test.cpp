// The four tables: first open, default tags, filter, reopen, rebuild.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/file_util.h"
#include "storage/log_tables.h"
#include "support/temp_dir.h"

namespace tlm {
namespace {

TEST(LogTablesTest, FirstOpenCreatesEachTableWithItsDefaultTag) {
  testing::TempDir dir;
  XbLibrary lib;
  lib.xb_SetDeleted(true);
  struct Case {
    LogTable table;
    bool (*open)(TXbTable&, TXbEngine&, const std::string&);
    const char* dbf;
    const char* cdx;
    const char* tag;
  };
  const Case cases[] = {
      {LogTable::kOutgoing, OpenFaxDBF, "TLM.DBF", "TLM.CDX", "DATESENT"},
      {LogTable::kReceived, OpenRecFaxDBF, "TLMREC.DBF", "TLMREC.CDX", "DATETIME"},
      {LogTable::kCover, OpenCoverDBF, "TLMCOV.DBF", "TLMCOV.CDX", "DESCRIPT"},
      {LogTable::kPhone, OpenPhoneDBF, "TLMPB.DBF", "TLMPB.CDX", "NAME"},
  };
  for (const Case& c : cases) {
    TXbTable table(lib);
    TXbEngine engine(table);
    ASSERT_TRUE(c.open(table, engine, dir.Folder())) << c.dbf << ": " << table.LastError();
    EXPECT_TRUE(FileExists(dir.File(c.dbf)));
    EXPECT_TRUE(FileExists(dir.File(c.cdx)));
    EXPECT_NE(table.WorkArea(), 0);
    EXPECT_EQ(lib.xb_WorkArea(), 0);  // the previous selection is back
    EXPECT_EQ(engine.TagArea(c.tag), 1);
    EXPECT_FALSE(HasTag(engine, "DATEND"));
    EXPECT_EQ(engine.Filter(), ".not. deleted()");
    EXPECT_EQ(table.FieldCount(), static_cast<int>(LogFields(c.table).size()));
    EXPECT_TRUE(table.IsEmpty());
    EXPECT_EQ(engine.RecNo(), 1);  // record count + 1: no current record
    lib.xb_Select(table.WorkArea());
    const auto& fields = LogFields(c.table);
    for (std::size_t i = 0; i < fields.size(); ++i) {
      xbase::FieldDef f;
      ASSERT_TRUE(lib.xb_FieldInfo(static_cast<int>(i + 1), f));
      EXPECT_EQ(f.name, fields[i].name);
      EXPECT_EQ(static_cast<char>(f.type), fields[i].type[0]);
      EXPECT_EQ(f.width, fields[i].width);
    }
    lib.xb_Select(0);
  }
}

TEST(LogTablesTest, MissingDamagedOrStaleIndexIsDetectedAndRebuilt) {
  testing::TempDir dir;
  XbLibrary lib;
  lib.xb_SetDeleted(true);
  const auto fill = [&](TXbTable& t) {
    for (const char* s : {"b", "c", "a"}) {
      ASSERT_TRUE(t.Append());
      ASSERT_TRUE(t.SetString("SUBJECT", s));
      ASSERT_TRUE(t.SetDate("DATESENT", std::string("2024010") + (s[0] == 'a' ? "1" : s[0] == 'b' ? "2" : "3")));
      ASSERT_TRUE(t.Post());
    }
  };
  const auto subjects = [](TXbTable& t) {
    std::string out;
    for (t.First(); !t.Eof(); t.Next()) out += t.AsString("SUBJECT");
    return out;
  };
  const std::string cdx = dir.File("TLM.CDX");
  {
    TXbTable t(lib);
    TXbEngine e(t);
    ASSERT_TRUE(OpenFaxDBF(t, e, dir.Folder()));
    fill(t);
    ASSERT_TRUE(RebuildLogIndexes(LogTable::kOutgoing, e));
  }
  // Missing: the default tag is made again, without "DATEND".
  std::remove(cdx.c_str());
  {
    TXbTable t(lib);
    TXbEngine e(t);
    ASSERT_TRUE(OpenFaxDBF(t, e, dir.Folder()));
    EXPECT_FALSE(HasTag(e, "DATEND"));
    EXPECT_EQ(e.TagArea("DATESENT"), 1);
    ASSERT_TRUE(e.SetOrder(1));
    EXPECT_EQ(subjects(t), "cba");
    ASSERT_TRUE(RebuildLogIndexes(LogTable::kOutgoing, e));
  }
  // Cut short or overwritten: the same, and the damaged file is kept aside.
  for (int damage = 0; damage < 2; ++damage) {
    std::string bytes = testing::ReadText(cdx);
    if (damage == 0) bytes.resize(1536);
    else bytes.replace(1024, 512, std::string(512, '\x7f'));
    testing::WriteText(cdx, bytes);
    TXbTable t(lib);
    TXbEngine e(t);
    ASSERT_TRUE(OpenFaxDBF(t, e, dir.Folder())) << t.LastError();
    EXPECT_FALSE(HasTag(e, "DATEND")) << damage;
    EXPECT_TRUE(FileExists(cdx + ".damaged"));
    ASSERT_TRUE(e.SetOrder(1));
    EXPECT_EQ(subjects(t), "cba");
    ASSERT_TRUE(RebuildLogIndexes(LogTable::kOutgoing, e));
  }
  // Stale (the table changed behind the index's back): rebuilt at open with all its tags.
  {
    XbLibrary other;
    ASSERT_NE(other.xb_Use(dir.File("TLM.DBF")), 0);
    ASSERT_TRUE(other.xb_CloseIndexes());
    ASSERT_TRUE(other.xb_AppendBlank());
    ASSERT_TRUE(other.xb_Replace("SUBJECT", "0 first"));
    ASSERT_TRUE(other.xb_Close());
  }
  TXbTable t(lib);
  TXbEngine e(t);
  ASSERT_TRUE(OpenFaxDBF(t, e, dir.Folder()));
  EXPECT_TRUE(HasTag(e, "DATEND"));
  ASSERT_TRUE(e.SetOrder(e.TagArea("SUBJECT")));
  EXPECT_EQ(subjects(t), "0 firstabc");
}

TEST(LogTablesTest, DeletedRecordLeavesTheListAtOnceAndTheFileAtPack) {
  testing::TempDir dir;
  XbLibrary lib;
  lib.xb_SetDeleted(true);
  TXbTable table(lib);
  TXbEngine engine(table);
  ASSERT_TRUE(OpenRecFaxDBF(table, engine, dir.Folder()));
  const char* from[] = {"ACME", "Beta", "Gamma"};
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(table.Append());
    ASSERT_TRUE(table.SetDate("DATEREC", "2024031" + std::to_string(i)));
    ASSERT_TRUE(table.SetString("TIMEREC", "10:0" + std::to_string(i)));
    ASSERT_TRUE(table.SetString("FROM", from[i]));
    ASSERT_TRUE(table.SetInteger("PAGES", i + 1));
    ASSERT_TRUE(table.SetString("FAXFILE", "FAX000" + std::to_string(i + 1) + ".APF"));
    ASSERT_TRUE(table.Post()) << table.LastError();
    ASSERT_TRUE(ReopenAtSameRecord(table, engine));
    EXPECT_EQ(table.RecNo(), i + 1);
    EXPECT_EQ(table.AsString("FROM"), from[i]);
  }
  ASSERT_TRUE(table.GoTo(2));
  EXPECT_EQ(table.RecordNumbers(), (std::vector<long>{3, 2, 1}));  // newest first
  EXPECT_EQ(table.RecNo(), 2);
  ASSERT_TRUE(table.First());
  EXPECT_EQ(table.AsString("FROM"), "Gamma");
  ASSERT_TRUE(table.Delete());
  EXPECT_EQ(table.AsString("FROM"), "Beta");
  EXPECT_EQ(engine.QueryRecCount(), 2);
  EXPECT_EQ(engine.RecCount(), 3);
  EXPECT_EQ(table.RecordNumbers(), (std::vector<long>{2, 1}));
  ASSERT_TRUE(RebuildLogIndexes(LogTable::kReceived, engine)) << table.LastError();
  EXPECT_EQ(engine.RecCount(), 2);
  EXPECT_TRUE(HasTag(engine, "DATEND"));
  EXPECT_EQ(engine.IndexOrd(), engine.TagArea("DATETIME"));
  ASSERT_TRUE(table.First());
  EXPECT_EQ(table.AsString("FROM"), "Beta");
  ASSERT_TRUE(table.Next());
  EXPECT_EQ(table.AsString("FROM"), "ACME");
  EXPECT_EQ(table.AsInteger("PAGES"), 1);
  ASSERT_TRUE(table.Next());
  EXPECT_TRUE(table.Eof());
}

}  // namespace
}  // namespace tlm

namespace tlm {
namespace {

TEST(LogTablesTest, MemoTransferThroughFilesAndEngineSettings) {
  testing::TempDir dir;
  XbLibrary lib;
  lib.xb_SetDeleted(true);
  TXbTable table(lib);
  TXbEngine engine(table);
  engine.SysProp(kXbPropStartup, 0);
  EXPECT_EQ(lib.SysPropValue(kXbPropStartup), 0);
  ASSERT_TRUE(OpenCoverDBF(table, engine, dir.Folder()));
  EXPECT_EQ(engine.IndexOrd(), 1);  // the cover table is ordered by its tag
  ASSERT_TRUE(table.Append());
  ASSERT_TRUE(table.SetString("DESCRIPT", "Standard"));
  ASSERT_TRUE(table.Post());
  const std::string transfer = dir.File("Eraseme.rtf");
  const std::string rtf = "{\\rtf1\\ansi {\\b [RECIPIENT]} \\par " + std::string(2000, 'x') + "}";
  testing::WriteText(transfer, rtf);
  ASSERT_TRUE(engine.FileToBlob("COVER", transfer)) << table.LastError();
  std::remove(transfer.c_str());
  ASSERT_TRUE(ReopenAtSameRecord(table, engine));
  ASSERT_TRUE(engine.BlobToFile("COVER", transfer)) << table.LastError();
  EXPECT_EQ(testing::ReadText(transfer), rtf);
  EXPECT_FALSE(engine.FileToBlob("COVER", dir.File("missing.rtf")));
  EXPECT_NE(table.LastError().find("missing.rtf"), std::string::npos);
  EXPECT_FALSE(engine.BlobToFile("NOSUCH", transfer));
  // Closing the indexes leaves natural order; the tag is back after a reopen.
  ASSERT_TRUE(engine.CloseIndexes());
  EXPECT_EQ(engine.IndexOrd(), 0);
  EXPECT_EQ(engine.TagArea("DESCRIPT"), 0);
  table.Close();
  ASSERT_TRUE(OpenCoverDBF(table, engine, dir.Folder()));
  EXPECT_EQ(engine.TagArea("DESCRIPT"), 1);
  EXPECT_EQ(engine.QueryRecCount(), 1);
}

}  // namespace
}  // namespace tlm
