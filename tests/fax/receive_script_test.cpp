// The receive component against modems played from scripts: ring
// counting, the training check's limit, DLE shielding in page data, Class 2
// page status, rejected calls, and post-page commands heard twice.
#include <gtest/gtest.h>

#include <dirent.h>

#include <chrono>
#include <set>
#include <thread>

#include "fax/t30_frames.h"
#include "faximage/apf_file.h"
#include "faximage/binary_file.h"
#include "receive_rig.h"
#include "scripted_modem.h"

namespace tlm::testing {
namespace {

using R = ScriptedModem;

std::string Tcf(int total, int nonZero) {
  std::string t(std::size_t(total), '\0');
  for (int i = 0; i < nonZero; ++i) t[std::size_t(i) * 7 % t.size()] = char(0x55);
  return t;
}

// What every scripted Class 1 modem answers alike: the speed queries, the
// answer and sending frames; empty for any other command.
std::string Class1Basics(const std::string& cmd) {
  if (cmd == "AT+FTM=?" || cmd == "AT+FRM=?") return R::Result("24,48,72,96") + R::Result("OK");
  if (cmd == "ATA" || cmd == "AT+FTH=3") return R::Result("CONNECT");
  return {};
}

// A Class 1 modem through one call: the sender's TSI and DCS at 9600
// bit/s, the training check `tcf`, one page `page` (as delivered, DLE
// shielded), EOP and DCN.
struct Class1Call {
  std::string tcf;
  std::string page;
  int frh = 0;
  int frm = 0;
  std::string operator()(const std::string& cmd) {
    if (std::string basic = Class1Basics(cmd); !basic.empty()) return basic;
    if (cmd == "AT+FRH=3") {
      switch (frh++) {
        case 0: return R::Frame(t30::kTSI, t30::StationIdField("REMOTE 1"), false);
        case 1: return R::Frame(t30::kDCS, t30::EncodeDcs(4, false, false, 0), true);
        case 2: return R::Frame(t30::kEOP, "", true);
        case 3: return R::Frame(t30::kDCN, "", true);
        default: return "";
      }
    }
    if (cmd.rfind("AT+FRM=", 0) == 0) {
      const std::string& data = frm++ == 0 ? tcf : page;
      return R::Result("CONNECT") + data + "\x10\x03" + R::Result("NO CARRIER");
    }
    return R::Result("OK");
  }
};

// Starts the component on `modem` and waits until it waits for calls.
::testing::AssertionResult WaitForCalls(ReceiveRig& rig, ScriptedModem& modem) {
  rig.port.SetDeviceName(modem.Path());
  if (const int rc = rig.fax.StartReceive(); rc != 0) return ::testing::AssertionFailure() << "StartReceive: " << rc;
  rig.Pump(5, [&] { return rig.fax.ReceiveState() == rfWaiting; });
  if (rig.fax.ReceiveState() != rfWaiting) return ::testing::AssertionFailure() << "not waiting for calls";
  return ::testing::AssertionSuccess();
}

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> out;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d)) {
      if (e->d_name[0] != '.') out.push_back(e->d_name);
    }
    ::closedir(d);
  }
  return out;
}

std::string PageImage(const std::string& apf, int page) {
  ApfPageHeader header;
  std::uint64_t offset = 0;
  if (ApfLocatePage(apf, page, header, offset) != 0) return "<no page>";
  std::vector<std::uint8_t> bytes;
  ReadFileBytes(apf, bytes, 1 << 24, -1);
  return std::string(bytes.begin() + long(offset), bytes.begin() + long(offset + header.imageLength));
}

TEST(TrainingCheck, FewerThanTenPercentNonZeroBytesPass) {
  TrainingCheck check;
  check.Count(Tcf(1000, 99));
  EXPECT_TRUE(check.Good());
  check.Reset();
  check.Count(Tcf(1000, 100));
  EXPECT_FALSE(check.Good());
  check.Reset();
  EXPECT_FALSE(check.Good());  // nothing arrived
}

TEST(DleDataReader, ShieldingIsUndoneAcrossBatches) {
  DleDataReader reader;
  std::string out;
  EXPECT_EQ(reader.Feed(std::string("A\x10", 2), out), 2u);
  EXPECT_EQ(reader.Feed(std::string("\x10" "B\x10" "C\x10\x03rest", 9), out), 6u);
  EXPECT_TRUE(reader.Ended());
  EXPECT_EQ(out, std::string("A\x10" "BC"));
}

TEST(ReceiveScript, TrainingCheckLimitDecidesCfrOrFtt) {
  for (const int nonZero : {99, 100}) {
    ReceiveRig rig;
    ScriptedModem modem(Class1Call{Tcf(1000, nonZero), std::string("\x00\x80", 2)});
    rig.fax.SetFaxClass(fcClass1);
    rig.fax.AnswerOnRing = 1;
    ASSERT_TRUE(WaitForCalls(rig, modem));
    modem.Write(R::Result("RING"));
    const int expect = nonZero == 99 ? t30::kCFR : t30::kFTT;
    rig.Pump(10, [&] {
      for (int f : modem.SentFrames()) {
        if (f == t30::kCFR || f == t30::kFTT) return true;
      }
      return false;
    });
    std::vector<int> frames = modem.SentFrames();
    ASSERT_GE(frames.size(), 3u) << nonZero;
    EXPECT_EQ(frames[0], t30::kCSI);
    EXPECT_EQ(frames[1], t30::kDIS);
    EXPECT_EQ(frames[2], expect) << nonZero << " non-zero bytes";
  }
}

TEST(ReceiveScript, DleDleInPageDataIsStoredOnce) {
  ReceiveRig rig;
  const std::string delivered("\x00\x10\x10\x80\x10\x10\x10\x10\x01", 9);
  ScriptedModem modem(Class1Call{Tcf(1000, 0), delivered});
  rig.fax.SetFaxClass(fcClass1);
  ASSERT_TRUE(WaitForCalls(rig, modem));
  modem.Write(R::Result("RING"));
  rig.Pump(15, [&] { return rig.finish != INT_MIN; });
  EXPECT_EQ(rig.finish, 0);
  ASSERT_EQ(rig.files.size(), 1u);
  EXPECT_EQ(PageImage(rig.files[0], 1), std::string("\x00\x10\x80\x10\x10\x01", 6));
  EXPECT_EQ(rig.logs, (std::vector<int>{lfaxReceiveStart, lfaxReceiveOk}));
  EXPECT_EQ(rig.fax.RemoteID(), "REMOTE 1");
  EXPECT_TRUE(modem.Saw("AT+FRM=96"));  // 9600 V.29 for the check and the page
}

TEST(ReceiveScript, AnswersOnTheThirdRingOnly) {
  ReceiveRig rig;
  ScriptedModem modem(Class1Call{Tcf(1000, 0), "x"});
  rig.fax.SetFaxClass(fcClass1);
  rig.fax.AnswerOnRing = 3;
  ASSERT_TRUE(WaitForCalls(rig, modem));
  modem.Write(R::Result("RING"));
  modem.Write(R::Result("RING"));
  // Two rings, then silence: still waiting.
  rig.Pump(1.5, [] { return false; });
  EXPECT_FALSE(modem.Saw("ATA"));
  EXPECT_EQ(rig.fax.ReceiveState(), rfWaiting);
  EXPECT_EQ(rig.fax.RingCount(), 2);
  modem.Write(R::Result("RING"));
  rig.Pump(3, [&] { return modem.Saw("ATA"); });
  EXPECT_TRUE(modem.Saw("ATA"));
}

// A Class 2 modem through one call of `pages` pages; page `bad` gets a
// page status of 2 (RTN).
struct Class2Call {
  std::vector<std::string> pages;
  int bad = 0;
  int fdr = 0;
  std::string operator()(const std::string& cmd) {
    if (cmd == "ATA")
      return R::Result("+FCON") + R::Result("+FTSI:\"REMOTE 2\"") + R::Result("+FDCS:0,3,0,2,0,0,0,0") +
             R::Result("OK");
    if (cmd == "AT+FDR") {
      const int n = fdr++;
      if (n >= int(pages.size())) return R::Result("+FHNG:0") + R::Result("OK");
      std::string r = R::Result("CONNECT") + pages[std::size_t(n)] + "\x10\x03";
      r += R::Result(n + 1 == bad ? "+FPTS:2" : "+FPTS:1");
      r += R::Result(n + 1 == int(pages.size()) ? "+FET:2" : "+FET:0");
      return r + R::Result("OK");
    }
    return R::Result("OK");
  }
};

TEST(ReceiveScript, Class2PageReportedBadIsCutAway) {
  ReceiveRig rig;
  const std::string p1(300, '\x11'), p2(500, '\x22');
  ScriptedModem modem(Class2Call{{p1, p2}, 2});
  rig.fax.SetFaxClass(fcClass2);
  ASSERT_TRUE(WaitForCalls(rig, modem));
  modem.Write(R::Result("RING"));
  rig.Pump(15, [&] { return rig.finish != INT_MIN; });
  EXPECT_EQ(rig.finish, 0);
  ASSERT_EQ(rig.files.size(), 1u);
  int pages = -1;
  ASSERT_EQ(ApfCountPages(rig.files[0], pages), 0);
  EXPECT_EQ(pages, 1);
  EXPECT_EQ(PageImage(rig.files[0], 1), p1);
  std::vector<std::uint8_t> bytes;
  ASSERT_EQ(ReadFileBytes(rig.files[0], bytes, 1 << 20, -1), 0);
  EXPECT_EQ(bytes.size(), ApfFileHeader::kSize + ApfPageHeader::kSize + p1.size());
  EXPECT_TRUE(modem.Saw("AT+FCR=1"));
  EXPECT_TRUE(modem.Saw("AT+FDIS=1,3,1,2,0,0,0,0"));
  EXPECT_EQ(rig.fax.RemoteID(), "REMOTE 2");
}

TEST(ReceiveScript, RejectedCallLogsSkipAndLeavesNoFile) {
  ReceiveRig rig;
  ScriptedModem modem(Class2Call{{std::string(100, '\x11')}, 0});
  rig.fax.SetFaxClass(fcClass2);
  rig.fax.OnFaxAccept = [](TKvCustomAbstractFax&, bool& accept) { accept = false; };
  ASSERT_TRUE(WaitForCalls(rig, modem));
  modem.Write(R::Result("RING"));
  rig.Pump(10, [&] { return rig.Logged(lfaxReceiveSkip); });
  EXPECT_EQ(rig.logs, std::vector<int>{lfaxReceiveSkip});
  rig.Pump(2, [&] { return modem.Saw("AT+FKS"); });
  EXPECT_TRUE(modem.Saw("AT+FKS"));
  EXPECT_TRUE(FilesIn(rig.dir.Folder()).empty());
  // Back to waiting for the next call.
  rig.Pump(10, [&] { return rig.fax.ReceiveState() == rfWaiting; });
  EXPECT_EQ(rig.fax.ReceiveState(), rfWaiting);
}

TEST(ReceiveScript, RandomBytesAndSilenceMidCallReturnToWaiting) {
  ReceiveRig rig;
  // The "sender" answers the training check with noise, then goes silent.
  Class1Call call{Tcf(1000, 0), ""};
  ScriptedModem modem([&call](const std::string& cmd) -> std::string {
    if (cmd.rfind("AT+FRM=", 0) == 0 && cmd != "AT+FRM=?") {
      std::string noise;
      for (int i = 0; i < 3000; ++i) noise += char((i * 7919 + 13) & 0xFF);
      return R::Result("CONNECT") + noise;  // no DLE ETX: silence follows
    }
    return call(cmd);
  });
  rig.fax.SetFaxClass(fcClass1);
  ASSERT_TRUE(WaitForCalls(rig, modem));
  std::string junk;
  for (int i = 0; i < 500; ++i) junk += char((i * 31 + 7) & 0xFF);
  modem.Write(junk + "\r\n+FHNG:7\r\nERROR\r\n");
  // ERROR while waiting ends that "call": hang up, set up again, wait.
  rig.Pump(4, [] { return false; });
  EXPECT_EQ(rig.fax.ReceiveState(), rfWaiting);
  modem.Write(R::Result("RING"));
  rig.Pump(5, [&] { return modem.Saw("ATA"); });
  ASSERT_TRUE(modem.Saw("ATA"));
  // The training data never ends: the time-out ends the call (no file was
  // opened, so nothing is logged) and the component waits again.
  rig.Pump(30, [&] { return modem.Commands().size() > 8 && rig.fax.ReceiveState() == rfWaiting; });
  EXPECT_EQ(rig.fax.ReceiveState(), rfWaiting);
  EXPECT_TRUE(rig.logs.empty());
  EXPECT_EQ(rig.fax.LastError(), -fax_error::kTimeout);
}

// A two-page Class 1 call in which, after our MCF for page 1, the modem
// finds no page carrier (+FCERROR) and hears a post-page command instead:
// `again` is that command. The rest of the call follows in `frames` and
// `carriers` (the training check and page 2).
struct LostAnswerCall {
  std::uint8_t again;
  std::vector<std::pair<std::uint8_t, bool>> frames;  // after TSI, DCS, MPS, `again`
  std::vector<std::string> carriers;                  // after TCF, page 1, +FCERROR
  int frh = 0;
  int frm = 0;
  std::string operator()(const std::string& cmd) {
    if (std::string basic = Class1Basics(cmd); !basic.empty()) return basic;
    if (cmd == "AT+FRH=3") {
      const int n = frh++;
      if (n == 0) return R::Frame(t30::kTSI, t30::StationIdField("REMOTE 1"), false);
      if (n == 1) return R::Frame(t30::kDCS, t30::EncodeDcs(4, false, false, 0), true);
      if (n == 2) return R::Frame(t30::kMPS, "", true);
      if (n == 3) return R::Frame(again, "", true);
      if (std::size_t(n - 4) < frames.size()) {
        const auto& [fcf, final] = frames[std::size_t(n - 4)];
        return fcf == t30::kDCS ? R::Frame(fcf, t30::EncodeDcs(4, false, false, 0), final) : R::Frame(fcf, "", final);
      }
      return "";
    }
    if (cmd.rfind("AT+FRM=", 0) == 0) {
      const int n = frm++;
      if (n == 2) return R::Result("+FCERROR");
      const std::string data = n == 0 ? Tcf(1000, 0) : n == 1 ? std::string(40, '\x11') : carriers[std::size_t(n - 3)];
      return R::Result("CONNECT") + data + "\x10\x03" + R::Result("NO CARRIER");
    }
    return R::Result("OK");
  }
};

TEST(ReceiveScript, APostPageCommandHeardAgainGetsTheSameAnswerAndAnotherOneRtn) {
  const std::string page2(60, '\x22');
  struct Case {
    const char* what;
    LostAnswerCall call;
    std::vector<int> answers;  // every frame we send after DIS
  };
  const std::vector<Case> cases = {
      // The sender missed our MCF and repeats MPS: it gets MCF again, then
      // page 2 follows.
      {"MPS again", {t30::kMPS, {{t30::kEOP, true}, {t30::kDCN, true}}, {page2}},
       {t30::kCFR, t30::kMCF, t30::kMCF, t30::kMCF}},
      // The sender sent page 2, which never arrived, and ends it with EOP:
      // RTN, so the sender trains again and sends page 2 once more.
      {"EOP for a lost page", {t30::kEOP, {{t30::kDCS, true}, {t30::kEOP, true}, {t30::kDCN, true}}, {Tcf(1000, 0), page2}},
       {t30::kCFR, t30::kMCF, t30::kRTN, t30::kCFR, t30::kMCF}},
  };
  for (const Case& c : cases) {
    ReceiveRig rig;
    ScriptedModem modem(c.call);
    rig.fax.SetFaxClass(fcClass1);
    ASSERT_TRUE(WaitForCalls(rig, modem));
    modem.Write(R::Result("RING"));
    rig.Pump(30, [&] { return rig.finish != INT_MIN; });
    EXPECT_EQ(rig.finish, 0) << c.what;
    std::vector<int> frames = modem.SentFrames();
    ASSERT_GE(frames.size(), 2u) << c.what;
    EXPECT_EQ(std::vector<int>(frames.begin() + 2, frames.end()), c.answers) << c.what;
    ASSERT_EQ(rig.files.size(), 1u) << c.what;
    int pages = -1;
    ASSERT_EQ(ApfCountPages(rig.files[0], pages), 0);
    EXPECT_EQ(pages, 2) << c.what;
    EXPECT_EQ(PageImage(rig.files[0], 2), page2) << c.what;
  }
}

// On a noisy line a sender may answer our capabilities seconds late: its
// frames begin just before the wait for them ends and must still be heard
// whole, not cut off for another round of our capabilities.
TEST(ReceiveScript, FramesThatBeginLateAreHeardToTheirEnd) {
  ReceiveRig rig;
  Class1Call call{Tcf(1000, 0), std::string(40, '\x11')};
  ScriptedModem* self = nullptr;
  int frh = 0;
  ScriptedModem modem([&](const std::string& cmd) -> std::string {
    if (cmd != "AT+FRH=3" || frh++ != 0) return call(cmd);
    // The TSI's carrier comes at 2.6 s; the frame is whole a second later.
    std::this_thread::sleep_for(std::chrono::milliseconds(2600));
    self->Write(R::Result("CONNECT"));
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    return call(cmd).substr(R::Result("CONNECT").size());
  });
  self = &modem;
  rig.fax.SetFaxClass(fcClass1);
  ASSERT_TRUE(WaitForCalls(rig, modem));
  modem.Write(R::Result("RING"));
  rig.Pump(20, [&] { return rig.finish != INT_MIN; });
  EXPECT_EQ(rig.finish, 0);
  EXPECT_EQ(modem.SentFrames(), (std::vector<int>{t30::kCSI, t30::kDIS, t30::kCFR, t30::kMCF}));
  EXPECT_EQ(rig.files.size(), 1u);
}

TEST(ReceiveFileNames, CounterNamesThenTheFallback) {
  std::set<std::string> taken;
  auto exists = [&](const std::string& p) { return taken.count(p) != 0; };
  EXPECT_EQ(GenerateReceiveName("/rx", "APF", exists), "/rx/FAX0001.APF");
  taken = {"/rx/FAX0001.APF", "/rx/FAX0002.APF"};
  EXPECT_EQ(GenerateReceiveName("/rx/", "APF", exists), "/rx/FAX0003.APF");
  EXPECT_EQ(GenerateReceiveName("/rx/", "apf", [](const std::string&) { return true; }), "/rx/NONAME.APF");
}

}  // namespace
}  // namespace tlm::testing
