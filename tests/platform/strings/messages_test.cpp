// Error, fax status and dispatch-log texts from the compiled-in tables.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "platform/strings/messages.h"

namespace tlm {
namespace {

TEST(ErrorText, UsesTheTableForEitherSign) {
  EXPECT_EQ(ErrorText(0), "OK");
  EXPECT_EQ(ErrorText(-1002), "Bad argument passed to function");
  EXPECT_EQ(ErrorText(-2001), "ie_BadId - Specified comport doesn't exist");
  EXPECT_EQ(ErrorText(-2005), "ie_Hardware - Specified comport in use");
  EXPECT_EQ(ErrorText(-2008), "ie_Open - device already open");
  EXPECT_EQ(ErrorText(-2011), "The ComNumber property of the TKvComPort has not been set");
  EXPECT_EQ(ErrorText(-3007), "Buffer is empty");
  EXPECT_EQ(ErrorText(-5001), "No more trigger slots");
  EXPECT_EQ(ErrorText(-5003), "Bad trigger handle");
  EXPECT_EQ(ErrorText(-6006), "Fatal time out");
  EXPECT_EQ(ErrorText(-8001), "File is not an APF file");
  EXPECT_EQ(ErrorText(-8002), "Unsupported graphics file format");
  EXPECT_EQ(ErrorText(-8054), "BMP size exceeds Windows' maxheight of 32767");
  EXPECT_EQ(ErrorText(8074), "Remote fax did not answer");
  // Every code the table lists without a text of its own still has one.
  for (int code : {4001, 4101, 7014, 8092, 10004, 11004, 13945, 15351, 15742}) {
    EXPECT_FALSE(ErrorText(code).empty()) << code;
  }
}

TEST(ErrorText, CodesBelow1000AreSystemErrorNumbers) {
  // The table's DOS-numbered file errors would name the wrong error here.
  EXPECT_EQ(ErrorText(-EIO), std::strerror(EIO));
  EXPECT_EQ(ErrorText(-ENOENT), std::strerror(ENOENT));
  EXPECT_EQ(ErrorText(-ENOMEM), std::strerror(ENOMEM));
  EXPECT_EQ(ErrorText(-ENOSPC), std::strerror(ENOSPC));
}

TEST(ErrorText, FallsBackToTheSystemText) {
  EXPECT_EQ(ErrorText(-EACCES), std::strerror(EACCES));  // 13 is not in the table
  EXPECT_EQ(ErrorText(-EBUSY), std::strerror(EBUSY));
  EXPECT_EQ(ErrorText(1), std::strerror(1));
  const std::string unknown = ErrorText(-99999);
  EXPECT_FALSE(unknown.empty());
  EXPECT_NE(unknown.back(), '\n');
  EXPECT_FALSE(ErrorText(-2147483647 - 1).empty());
}

TEST(FaxStatusText, CoversEveryStatusCode) {
  EXPECT_EQ(FaxStatusText(1), "Initializing modem for fax processing");
  EXPECT_EQ(FaxStatusText(3), "Busy, waiting until redial...");
  EXPECT_EQ(FaxStatusText(8), "Connecting...");
  EXPECT_EQ(FaxStatusText(20), "Waiting for incoming call");
  EXPECT_EQ(FaxStatusText(28), "Got Class 2 FHNG code");
  EXPECT_EQ(FaxStatusText(43), "Finished");
  int present = 0;
  for (int code = 0; code < 100; ++code) present += FaxStatusText(code).empty() ? 0 : 1;
  EXPECT_EQ(present, 21);
  EXPECT_EQ(FaxStatusText(9), "");
  EXPECT_EQ(FaxStatusText(-1), "");
}

TEST(LogNameText, HoldsTypesSubtypesStatesAndHeads) {
  EXPECT_EQ(LogNameText(15001), "No event");
  EXPECT_EQ(LogNameText(15010), "TrDatChg");
  EXPECT_EQ(LogNameText(15012), "Fax");
  EXPECT_EQ(LogNameText(15020), "User");
  EXPECT_EQ(LogNameText(15101), "ReadCom");
  EXPECT_EQ(LogNameText(15119), "Method");
  EXPECT_EQ(LogNameText(15129), "Sent Term");
  EXPECT_EQ(LogNameText(15130), "tfNone");
  EXPECT_EQ(LogNameText(15141), "tf1Connect");
  EXPECT_EQ(LogNameText(15178), "tfDone");
  EXPECT_EQ(LogNameText(15179), "rfNone");
  EXPECT_EQ(LogNameText(15204), "rfStartPage");
  EXPECT_EQ(LogNameText(15216), "rfDone");
  EXPECT_EQ(LogNameText(15501), "Time      Type      SubType       Data      OtherData");
  EXPECT_EQ(LogNameText(15502), "--------  --------  ------------  --------  ---------");
  EXPECT_EQ(LogNameText(15601), "DCTS ");
  EXPECT_EQ(LogNameText(15608), "DCD ");
}

}  // namespace
}  // namespace tlm
