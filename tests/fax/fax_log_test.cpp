#include "fax/fax_log.h"

#include <gtest/gtest.h>

#include <system_error>

#include "support/temp_dir.h"

namespace tlm {
namespace {

using testing::ReadText;
using testing::TempDir;

TEST(FaxHistory, RecordsOfEveryLogCode) {
  FaxLogContext c;
  c.faxFiles = {"a.apf", "b.apf"};
  c.phoneNumber = "5550100";
  c.remoteId = "REMOTE";
  c.faxFile = "FAX0001.APF";
  c.hangupCode = 0;
  c.errorText = "Called fax number was busy";
  const std::time_t t = 0;
  const std::string at = LocalDateTimeText(t);
  EXPECT_EQ(TKvFaxLog::FormatRecord(lfaxTransmitStart, c, t),
            "Transmit a.apf to 5550100 started at " + at + "\r\n" + "Transmit b.apf to 5550100 started at " + at + "\r\n");
  EXPECT_EQ(TKvFaxLog::FormatRecord(lfaxTransmitOk, c, t), "Transmit to REMOTE finished OK at " + at + " 0\r\n\r\n");
  c.hangupCode = 50;
  EXPECT_EQ(TKvFaxLog::FormatRecord(lfaxTransmitFail, c, t),
            "Transmit failed at " + at + "\r\n  (Called fax number was busy) 50\r\n\r\n");
  EXPECT_EQ(TKvFaxLog::FormatRecord(lfaxReceiveStart, c, t), "Receive FAX0001.APF from REMOTE started at " + at + "\r\n");
  EXPECT_EQ(TKvFaxLog::FormatRecord(lfaxReceiveOk, c, t), "Receive finished OK at " + at + "\r\n\r\n");
  EXPECT_EQ(TKvFaxLog::FormatRecord(lfaxReceiveSkip, c, t), "Receive skipped at " + at + "\r\n\r\n");
  EXPECT_EQ(TKvFaxLog::FormatRecord(lfaxReceiveFail, c, t),
            "Receive failed at " + at + "\r\n  (Called fax number was busy)\r\n\r\n");
}

TEST(FaxHistory, FirstEventCreatesTheFileAndLaterOnesAppend) {
  TempDir dir;
  TKvFaxLog log;
  log.FaxHistoryName = dir.File("KOVAFAX.HIS");
  FaxLogContext c;
  log.UpdateLog(lfaxReceiveSkip, c);
  log.UpdateLog(lfaxReceiveOk, c);
  const std::string text = ReadText(log.FaxHistoryName);
  EXPECT_EQ(text.find("Receive skipped at "), 0u);
  EXPECT_NE(text.find("\r\n\r\nReceive finished OK at "), std::string::npos);
}

TEST(FaxHistory, AnUnwritableFileRaisesTheFileError) {
  TempDir dir;
  TKvFaxLog log;
  log.FaxHistoryName = dir.File("no/such/folder/KOVAFAX.HIS");
  EXPECT_THROW(log.UpdateLog(lfaxReceiveOk, FaxLogContext{}), std::system_error);
}

}  // namespace
}  // namespace tlm
