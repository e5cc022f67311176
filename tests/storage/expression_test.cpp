// xBase expressions: parsing, types, evaluation against a record, errors.
#include <gtest/gtest.h>

#include "storage/xbase_expr.h"

namespace tlm::xbase {
namespace {

class ExpressionTest : public ::testing::Test {
 protected:
  ExpressionTest() {
    fields_ = {{"NAME", FieldType::kCharacter, 10, 0, 1},
               {"DATESENT", FieldType::kDate, 8, 0, 11},
               {"PAGES", FieldType::kNumeric, 3, 0, 19},
               {"SENT", FieldType::kLogical, 1, 0, 22}};
    record_ = std::string(" ") + "Acme Ltd  " + "20240315" + " 12" + "T";
  }
  Value Eval(const std::string& text) {
    std::string error;
    auto e = Expression::Parse(text, fields_, error);
    EXPECT_TRUE(e) << error;
    if (!e) return {};
    RecordView view;
    view.fields = &fields_;
    view.record = record_.data();
    view.recno = 7;
    return e->Evaluate(view);
  }
  bool True(const std::string& text) {
    const Value v = Eval(text);
    EXPECT_EQ(v.type, ValueType::kLogical) << text;
    return v.logical;
  }
  std::string Error(const std::string& text) {
    std::string error;
    auto e = Expression::Parse(text, fields_, error);
    EXPECT_FALSE(e) << text;
    return error;
  }
  std::vector<FieldDef> fields_;
  std::string record_;
};

TEST_F(ExpressionTest, FieldsFunctionsAndConcatenation) {
  EXPECT_EQ(Eval("DTOS(DATESENT)+NAME").text, "20240315Acme Ltd  ");
  EXPECT_EQ(Eval("upper(name)").text, "ACME LTD  ");
  EXPECT_EQ(Eval("ALLTRIM('  x y  ')").text, "x y");
  EXPECT_EQ(Eval("TRIM(NAME)+\"!\"").text, "Acme Ltd!");
  EXPECT_EQ(Eval("PAGES").number, 12);
  EXPECT_EQ(Eval("RECNO()").number, 7);
  EXPECT_EQ(Eval("DTOS(CTOD(\"12/31/98\"))").text, "19981231");
  EXPECT_EQ(Eval("DTOS(CTOD('01/02/05'))").text, "20050102");
  EXPECT_EQ(Eval("DTOS(CTOD('02/29/2024'))").text, "20240229");
  EXPECT_EQ(Eval("DTOS(CTOD('02/30/24'))").text, "        ");
}

TEST_F(ExpressionTest, ComparisonsAndLogic) {
  EXPECT_TRUE(True(".not. deleted()"));
  EXPECT_TRUE(True("!DELETED()"));
  EXPECT_TRUE(True("ALLTRIM(UPPER(NAME))==\"ACME LTD\""));
  EXPECT_FALSE(True("UPPER(NAME)==\"ACME LTD\""));
  EXPECT_TRUE(True("NAME = 'Acme'"));  // "=" compares up to the right side's length
  EXPECT_TRUE(True("\"ME L\"$ALLTRIM(UPPER(NAME))"));
  EXPECT_FALSE(True("\"XYZ\"$NAME"));
  EXPECT_TRUE(True("(DATESENT<CTOD(\"12/31/24\")) .and. (.not. EMPTY(DATESENT))"));
  EXPECT_FALSE(True("DATESENT<CTOD('03/15/24')"));
  EXPECT_TRUE(True("DATESENT<=CTOD('03/15/24') .AND. PAGES >= 12 .and. pages < 13"));
  EXPECT_TRUE(True("SENT .and. .t. .or. .F."));
  EXPECT_TRUE(True(".TRUE."));
  EXPECT_FALSE(True(".false."));
  EXPECT_TRUE(True("NAME <> 'Other'"));
  EXPECT_FALSE(True("EMPTY(NAME)"));
  EXPECT_TRUE(True("EMPTY('   ')"));
}

TEST_F(ExpressionTest, MalformedExpressionsNameTheExpression) {
  EXPECT_EQ(Error("UPPER(NAME"), "Invalid expression \"UPPER(NAME\": \")\" expected after the arguments of UPPER");
  EXPECT_NE(Error("NOSUCH = 1").find("unknown field \"NOSUCH\""), std::string::npos);
  EXPECT_NE(Error("NAME + PAGES").find("\"NAME + PAGES\""), std::string::npos);
  EXPECT_NE(Error("'open").find("unterminated"), std::string::npos);
  EXPECT_NE(Error("DTOS(NAME)").find("DTOS needs a date"), std::string::npos);
  EXPECT_NE(Error(".and. x").find("Invalid expression"), std::string::npos);
  EXPECT_NE(Error("").find("ends too early"), std::string::npos);
  EXPECT_NE(Error(std::string(500, '(') + "1").find("nested too deeply"), std::string::npos);
  EXPECT_NE(Error("FOO()").find("unknown function FOO()"), std::string::npos);
}

}  // namespace
}  // namespace tlm::xbase
