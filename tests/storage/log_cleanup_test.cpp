// Deleting log records by condition: the conditions built from user text
// and dates, and the pass that marks the matching records.
#include <gtest/gtest.h>

#include <map>

#include "storage/log_cleanup.h"
#include "storage/log_tables.h"
#include "storage/xbase_expr.h"
#include "support/temp_dir.h"

namespace tlm {
namespace {

class LogCleanupCoreTest : public ::testing::Test {
 protected:
  LogCleanupCoreTest() : table(lib), engine(table) {
    lib.xb_SetDeleted(true);
    EXPECT_TRUE(OpenRecFaxDBF(table, engine, dir.Folder()));
  }

  void Add(const std::string& from, const std::string& date = "20240101") {
    ASSERT_TRUE(table.Append() && table.SetString("FROM", from) && table.SetDate("DATEREC", date) && table.Post());
  }

  // The FROM of the records without a deletion mark, in record order.
  std::vector<std::string> Kept() {
    std::vector<std::string> out;
    for (long r = 1; r <= engine.RecCount(); ++r) {
      table.GoTo(r);
      if (!table.Deleted()) out.push_back(table.AsString("FROM"));
    }
    return out;
  }

  long Delete(const std::string& condition, std::string* errorOut = nullptr) {
    std::string error;
    const long n = DeleteWhere(table, engine, condition, nullptr, error);
    if (errorOut) *errorOut = error;
    return n;
  }

  testing::TempDir dir;
  XbLibrary lib;
  TXbTable table;
  TXbEngine engine;
};

TEST(XbaseTextLiteralTest, EveryTextEvaluatesToItselfWhateverQuotesAndOperatorsItHolds) {
  const std::vector<xbase::FieldDef> noFields;
  const std::string texts[] = {"ACME", "", "A\"B", "A'B", "A\"B'C", "\"", "'", "\"'\"'", "X\") .OR. .T. .OR. (\"",
                               "[Q] + 'Z' $ DELETED()", "a\"\"b''c\"", ".t.", "\xE9t\xE9 \x80"};
  for (const std::string& text : texts) {
    std::string error;
    const auto e = xbase::Expression::Parse(XbaseTextLiteral(text), noFields, error);
    ASSERT_NE(e, nullptr) << text << ": " << error;
    const std::string record(1, ' ');
    xbase::RecordView view;
    view.fields = &noFields;
    view.record = record.data();
    const xbase::Value v = e->Evaluate(view);
    EXPECT_EQ(v.type, xbase::ValueType::kCharacter) << text;
    EXPECT_EQ(v.text, text);
  }
}

TEST(LogConditionsTest, MatchAndDateConditionsReadAsTheLogExpectsThem) {
  EXPECT_EQ(FieldMatchCondition("FROM", "  acme ", true), "ALLTRIM(UPPER(FROM))==\"ACME\"");
  EXPECT_EQ(FieldMatchCondition("RECIPIENT", "acme", false), "\"ACME\"$ALLTRIM(UPPER(RECIPIENT))");
  EXPECT_EQ(FieldMatchCondition("FROM", "caf\xE9", true), "ALLTRIM(UPPER(FROM))==\"CAF\xC9\"");
  EXPECT_EQ(BeforeDateCondition("DATESENT", 1998, 12, 31),
            "(DATESENT<CTOD(\"12/31/1998\")) .and. (.not. EMPTY(DATESENT))");
}

TEST_F(LogCleanupCoreTest, MarksEachMatchingRecordOnceAndCountsOnlyTheNewlyMarked) {
  for (const char* from : {"ACME", "acme inc", "Other", "ACME"}) Add(from);
  table.GoTo(4);
  ASSERT_TRUE(table.Delete());  // already marked: not counted again
  int seen = 0;
  std::string error;
  EXPECT_EQ(DeleteWhere(table, engine, FieldMatchCondition("FROM", "Acme", false), [&] { ++seen; }, error), 2);
  EXPECT_EQ(seen, 2);
  EXPECT_TRUE(error.empty());
  EXPECT_EQ(Kept(), std::vector<std::string>{"Other"});
  EXPECT_EQ(Delete(".true."), 1);
  EXPECT_EQ(Delete(".true."), 0);
}

TEST_F(LogCleanupCoreTest, KeepsFilterAndOrderAndMovesOffAHiddenCurrentRecord) {
  for (const char* from : {"B", "A", "C"}) Add(from);
  const int tag = engine.TagArea("DATETIME");
  ASSERT_GT(tag, 0);
  ASSERT_TRUE(engine.SetOrder(tag));
  ASSERT_TRUE(table.GoTo(2));
  EXPECT_EQ(Delete("FROM = \"A\""), 1);
  EXPECT_EQ(engine.Filter(), kNotDeletedFilter);
  EXPECT_EQ(engine.IndexOrd(), tag);
  EXPECT_FALSE(table.Deleted());  // the current record is a visible one
  EXPECT_FALSE(table.Eof());
  EXPECT_EQ(Delete(".true."), 2);
  EXPECT_TRUE(table.Eof());  // nothing left to be current
}

TEST_F(LogCleanupCoreTest, AnInvalidConditionMarksNothingAndSaysWhy) {
  Add("A");
  std::string error;
  EXPECT_EQ(Delete("FROM ==", &error), -1);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(Delete("NOSUCHFIELD = 1", &error), -1);
  EXPECT_EQ(engine.Filter(), kNotDeletedFilter);
  EXPECT_EQ(Kept(), std::vector<std::string>{"A"});
}

TEST_F(LogCleanupCoreTest, DatesBeforeADayWithFourDigitYearsKeepEmptyDatesAndOtherCenturies) {
  Add("1949", "19490115");
  Add("1999", "19991231");
  Add("2048", "20480101");
  Add("none", "");
  // "06/01/49" would be 2049 in the two-digit century window.
  EXPECT_EQ(Delete(BeforeDateCondition("DATEREC", 1949, 6, 1)), 1);
  EXPECT_EQ(Delete(BeforeDateCondition("DATEREC", 2100, 1, 1)), 2);
  EXPECT_EQ(Kept(), std::vector<std::string>{"none"});
}

}  // namespace
}  // namespace tlm
