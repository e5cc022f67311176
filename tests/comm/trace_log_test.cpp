// Trace and dispatch-log rings and their dump formats.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "comm/comm_types.h"
#include "comm/dispatch_log.h"
#include "comm/trace_ring.h"
#include "support/temp_dir.h"

namespace tlm {
namespace {

void Add(TraceRing& ring, char dir, const std::string& text) {
  ring.Add(dir, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

TEST(TraceRing, GroupsRunsWrapsLinesAndWritesHex) {
  TraceRing ring;
  ASSERT_EQ(ring.Start(1000), 0);
  Add(ring, 'T', "AT+FCLASS=1\r");
  Add(ring, 'R', "\r\nOK\r\n");
  Add(ring, 'T', std::string(100, 'A'));
  Add(ring, 'R', std::string("\x10\x03\xff", 3));
  const std::string expected =
      "Transmit: AT+FCLASS=1[0D]\n"
      "Receive: [0D][0A]OK[0D][0A]\n"
      "Transmit: " + std::string(68, 'A') + "\n" + std::string(32, 'A') + "\n"
      "Receive: [10][03][FF]\n"
      "\n";
  EXPECT_EQ(ring.Format(true), expected);
  const std::string named = ring.Format(false);
  EXPECT_NE(named.find("Receive: [CR][LF]OK[CR][LF]\n"), std::string::npos);
  EXPECT_NE(named.find("Receive: [DLE][ETX][Special-FF]\n"), std::string::npos);
}

TEST(TraceRing, WrapsTokensWholeAndKeepsTheNewestEntries) {
  TraceRing ring;
  ASSERT_EQ(ring.Start(40), 0);
  Add(ring, 'T', std::string(100, '\r'));  // only the last 40 stay
  const std::string text = ring.Format(true);
  std::istringstream lines(text);
  std::string line;
  std::size_t tokens = 0;
  while (std::getline(lines, line)) {
    EXPECT_LE(line.size(), 78u);
    for (std::size_t at = line.find("[0D]"); at != std::string::npos; at = line.find("[0D]", at + 1)) ++tokens;
  }
  EXPECT_EQ(tokens, 40u);
  EXPECT_EQ(text.rfind("Transmit: ", 0), 0u);
  EXPECT_EQ(ring.Start(kMaxTraceSize + 1), -ecBadArgument);
}

TEST(TraceRing, DumpReplacesOrAppendsAndPauseStopsRecording) {
  testing::TempDir dir;
  TraceRing ring;
  ASSERT_EQ(ring.Start(100), 0);
  Add(ring, 'T', "AT\r");
  ring.SetPaused(true);
  Add(ring, 'R', "ignored");
  ring.SetPaused(false);
  const std::string path = dir.File("KOVA.TRC");
  ASSERT_EQ(ring.Dump(path, false, true), 0);
  ASSERT_EQ(ring.Dump(path, true, true), 0);
  EXPECT_EQ(testing::ReadText(path), "Transmit: AT[0D]\n\nTransmit: AT[0D]\n\n");
  ASSERT_EQ(ring.Dump(path, false, true), 0);
  EXPECT_EQ(testing::ReadText(path), "Transmit: AT[0D]\n\n");
  EXPECT_LT(ring.Dump(dir.File("missing/KOVA.TRC"), false, true), 0);
}

TEST(DispatchLog, EntryLinesFollowTheColumnFormat) {
  DispatchLogEntry entry;
  entry.timeMs = 1234;
  entry.type = ltTrigDisp;
  entry.subtype = lsStatus;
  entry.data = 0x13;
  entry.detail = ldOutBuffFree;
  EXPECT_EQ(DispatchLog::FormatEntry(entry), "   1.234  TrigDisp  Status        00000013  (Output buffer free)");
  entry.type = ltDispatch;
  entry.subtype = lsReadCom;
  entry.data = 0xABCDEF12;
  entry.other = 0x7E01;
  entry.detail = ldOtherData;
  EXPECT_EQ(DispatchLog::FormatEntry(entry), "   1.234  Dispatch  ReadCom       abcdef12  00007e01");
  entry.subtype = lsModemStatus;
  entry.data = msCTS | msDCD | msDeltaDCD;
  entry.detail = ldModemStatus;
  EXPECT_EQ(DispatchLog::FormatEntry(entry), "   1.234  Dispatch  Modem status  00000098  (Modem status) DDCD CTS DCD ");
  entry.type = ltFax;
  entry.subtype = lsTransmitState + 11;
  entry.detail = ldNotActive;
  entry.data = 0;
  EXPECT_EQ(DispatchLog::FormatEntry(entry), "   1.234  Fax       tf1Connect    00000000  (Not active)");
}

TEST(DispatchLog, DumpHasTheHeaderAndOneLinePerEntry) {
  DispatchLog log;
  ASSERT_EQ(log.Start(3), 0);
  for (std::uint32_t i = 0; i < 5; ++i) log.Add(ltDispatch, lsWriteCom, i);
  const std::string text = log.Format();
  std::istringstream lines(text);
  std::string line;
  std::vector<std::string> all;
  while (std::getline(lines, line)) all.push_back(line);
  ASSERT_EQ(all.size(), 10u);
  EXPECT_EQ(all[0], "KOVA v2.56");
  EXPECT_EQ(all[1].rfind("Compiler : ", 0), 0u);
  EXPECT_EQ(all[2].rfind("Operating System : Linux ", 0), 0u);
  EXPECT_EQ(all[3], "");
  EXPECT_EQ(all[4], "Time      Type      SubType       Data      OtherData");
  EXPECT_EQ(all[5], "--------  --------  ------------  --------  ---------");
  const std::regex entry(R"(^ *[0-9]+\.[0-9]{3}  Dispatch  WriteCom      0000000([234])  00000000$)");
  for (int i = 0; i < 3; ++i) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(all[6 + i], m, entry)) << all[6 + i];
    EXPECT_EQ(m[1], std::to_string(i + 2));  // the oldest two were overwritten
  }
  EXPECT_EQ(all[9], "");
  EXPECT_EQ(log.Start(kMaxLogSize + 1), -ecBadArgument);
}

}  // namespace
}  // namespace tlm
