#include <gtest/gtest.h>

#include "fax/class2.h"
#include "fax/dle.h"
#include "fax/header_line.h"
#include "fax/modem_setup.h"
#include "fax/t30_frames.h"

namespace tlm {
namespace {

TEST(ModemInit, GetsATInFrontIsUpperCasedAndCut) {
  EXPECT_EQ(NormalizeModemInit("&f"), "AT&F");
  EXPECT_EQ(NormalizeModemInit("atz"), "ATZ");
  EXPECT_EQ(NormalizeModemInit(""), "");
  const std::string init = "AT" + std::string(39, 'E');  // 41 characters
  EXPECT_EQ(NormalizeModemInit(init).size(), 40u);
  EXPECT_EQ(DialOptionInitString(false, true), "ATE0Q0V1X4S0=0S2=43");
  EXPECT_EQ(DialOptionInitString(false, false), "ATE0Q0V1X2S0=0S2=43");
  EXPECT_EQ(DialOptionInitString(true, true), "ATE0Q0V1X3S0=0S2=43");
  EXPECT_EQ(DialOptionInitString(true, false), "ATE0Q0V1X1S0=0S2=43");
}

TEST(ClassDetection, PrefersTwoPointOThenTwoThenOne) {
  EXPECT_EQ(ResolveDetectedClass(ParseClassList("0,1,2,2.0")), fcClass2_0);
  EXPECT_EQ(ResolveDetectedClass(ParseClassList("0,1,2")), fcClass2);
  EXPECT_EQ(ResolveDetectedClass(ParseClassList("0,1")), fcClass1);
  EXPECT_EQ(ResolveDetectedClass(ParseClassList("0")), fcUnknown);
  const ClassSupport onlyTwoPointO = ParseClassList("0,2.0");
  EXPECT_TRUE(onlyTwoPointO.class2_0);
  EXPECT_FALSE(onlyTwoPointO.class2);
  EXPECT_FALSE(onlyTwoPointO.class1);
  EXPECT_TRUE(ParseClassList("0,1,2,2.0").class2);
  EXPECT_FALSE(ParseClassList("0").Any());
}

// What the session start takes for the reply to "AT+FCLASS=?" and
// "AT+FTM=?"/"AT+FRM=?"; anything else in front of it is skipped.
TEST(ClassDetection, ListLinesAreToldFromOtherLines) {
  EXPECT_TRUE(IsClassList("0,1,2,2.0"));
  EXPECT_TRUE(IsClassList("+FCLASS: (0,1)"));
  EXPECT_FALSE(IsClassList("RING"));
  EXPECT_FALSE(IsClassList("AT+FCLASS=?"));
  EXPECT_FALSE(IsClassList(""));
  EXPECT_FALSE(IsClassList(" , ."));
  EXPECT_TRUE(t30::IsModulationList("24,48,72,73,74,96,97,98,121,122,145,146"));
  EXPECT_TRUE(t30::IsModulationList("(24,48,72,96)"));
  EXPECT_TRUE(t30::IsModulationList("+FTM: 24,48"));
  EXPECT_FALSE(t30::IsModulationList("+FCERROR"));
  EXPECT_FALSE(t30::IsModulationList("\x7f#%&*@!~?"));
  EXPECT_FALSE(t30::IsModulationList("2.0"));
  EXPECT_FALSE(t30::IsModulationList("OK"));
}

TEST(ClassDetection, ResultLines) {
  EXPECT_EQ(ClassifyResult("OK\r"), ResultLine::kOk);
  EXPECT_EQ(ClassifyResult("CONNECT 9600"), ResultLine::kConnect);
  EXPECT_EQ(ClassifyResult("ERROR"), ResultLine::kError);
  EXPECT_EQ(ClassifyResult("NO CARRIER"), ResultLine::kNoCarrier);
  EXPECT_EQ(ClassifyResult("+FCON"), ResultLine::kNone);
}

TEST(Class2, CommandTablesOfBothClasses) {
  EXPECT_EQ(class2::Command(class2::TableFor(fcClass2).classSelect), "AT+FCLASS=2");
  EXPECT_EQ(class2::Command(class2::TableFor(fcClass2_0).classSelect), "AT+FCLASS=2.0");
  EXPECT_STREQ(class2::TableFor(fcClass2).hangup, "FHNG");
  EXPECT_STREQ(class2::TableFor(fcClass2_0).hangup, "FHS");
  EXPECT_STREQ(class2::TableFor(fcClass2_0).pageStatus, "PS");
}

TEST(Class2, SessionParameters) {
  const auto p = class2::ParseParameters("1,5,1,2,0,1,0,3");
  EXPECT_TRUE(p.fine);
  EXPECT_EQ(p.bps, 14400);
  EXPECT_TRUE(p.wide);
  EXPECT_TRUE(p.ecm);
  EXPECT_EQ(p.scanCode, 3);
  const auto q = class2::ParseParameters(" 0, 3 ,0,0,0,0,0,0");
  EXPECT_FALSE(q.fine);
  EXPECT_EQ(q.bps, 9600);
  EXPECT_EQ(class2::ParseParameters("0,4").bps, 12000);
  EXPECT_EQ(class2::ParseParameters("0,7").bps, 9600);  // anything else is 9600
  EXPECT_EQ(class2::ParseParameters("").bps, 9600);
  EXPECT_EQ(class2::BitRateCode(14400), '5');
  EXPECT_EQ(class2::BitRateCode(9600), '3');
}

TEST(Class2, ResponsesIdsAndHangupCodes) {
  std::string rest;
  EXPECT_TRUE(class2::MatchResponse("+FDCS:1,3,0,2,0,0,0,0", "DCS", &rest));
  EXPECT_EQ(rest, "1,3,0,2,0,0,0,0");
  EXPECT_TRUE(class2::MatchResponse("+FCON", "CON"));
  EXPECT_FALSE(class2::MatchResponse("+FCONX", "CON"));
  EXPECT_FALSE(class2::MatchResponse("+FCO", "CON"));
  EXPECT_TRUE(class2::MatchResponse("+FCSI: \"  +1 555 0100\"", "CSI", &rest));
  EXPECT_EQ(class2::ParseStationId(rest), "+1 555 0100");
  EXPECT_TRUE(class2::MatchHangup("+FHNG:50", class2::TableFor(fcClass2), &rest));
  EXPECT_EQ(class2::ParseHangupCode(rest), 50);
  EXPECT_FALSE(class2::MatchHangup("+FHNG:50", class2::TableFor(fcClass2_0)));
  EXPECT_TRUE(class2::MatchHangup("+FHS:23", class2::TableFor(fcClass2_0), &rest));
  EXPECT_EQ(class2::ParseHangupCode(rest), 23);
  EXPECT_EQ(class2::ParseHangupCode("1234"), 123);
  EXPECT_EQ(class2::ParseHangupCode(""), 0);
}

TEST(DleShielding, DoublesEveryDle) {
  std::string out = "x";
  AppendDleStuffed(out, std::string("\x10\x01\x10\x10", 4));
  EXPECT_EQ(out, std::string("x\x10\x10\x01\x10\x10\x10\x10", 8));
}

TEST(HeaderLine, TokensRunToTheNextSpace) {
  HeaderValues v;
  v.date = "12/08/26";
  v.time = "10:00:00";
  v.stationId = "+1 555 0100";
  v.sender = "Ann";
  v.recipient = "Bob";
  v.title = "Offer";
  v.totalPages = 5;
  v.currentPage = 2;
  EXPECT_EQ(ExpandHeaderTokens("$D $T From $S $I to $r $F page $P of $N", v),
            "12/08/26 10:00:00 From Ann +1 555 0100 to Bob Offer page 2 of 5");
  // Whatever follows the letter up to the next space belongs to the token.
  EXPECT_EQ(ExpandHeaderTokens("($I) to $r:", v), "(+1 555 0100 to Bob");
  EXPECT_EQ(ExpandHeaderTokens("page $P/$N done", v), "page 2 done");
  EXPECT_EQ(ExpandHeaderTokens("$X$Y x", v), " x");
  EXPECT_EQ(ExpandHeaderTokens("cost $5 $", v), "cost $5 $");
}

}  // namespace
}  // namespace tlm
