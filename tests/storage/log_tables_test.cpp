// The four tables: first open, default tags, filter, reopen, rebuild.
#include <gtest/gtest.h>

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
  }
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
  ASSERT_TRUE(table.First());
  EXPECT_EQ(table.AsString("FROM"), "Gamma");  // newest first
  ASSERT_TRUE(table.Delete());
  EXPECT_EQ(table.AsString("FROM"), "Beta");
  EXPECT_EQ(engine.QueryRecCount(), 2);
  EXPECT_EQ(engine.RecCount(), 3);
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
