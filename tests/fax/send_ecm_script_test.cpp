// Error correction in a transmit session against a modem played from a
// script, where the remote's answers are chosen: only the frames a partial
// page request names are sent again; RNR is met with RR; after the fourth
// request for a block the session continues to correct one speed lower
// with long training (CTC/CTR), or at the lowest speed ends the block with
// EOR (ERR).
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <deque>
#include <mutex>

#include "comm/com_port.h"
#include "fax/ecm_block.h"
#include "fax/hdlc_bits.h"
#include "fax/send_fax.h"
#include "fax/send_rig.h"
#include "platform/main_thread_bridge.h"
#include "scripted_modem.h"

namespace tlm::testing {
namespace {

using R = ScriptedModem;

constexpr int kFrames = 21;  // the test page's frames

std::string Dis(bool allSpeeds) {
  // V.17 (every speed) or V.27 ter fallback only; fine; ECM.
  return std::string{'\0', char(allSpeeds ? 0x6E : 0x42), char(0xF9), char(0x04)};
}

// The receiving side: its answers to "AT+FRH=3" after DCS come from `answers`.
struct Remote {
  std::mutex lock;
  std::deque<std::string> answers;
  bool allSpeeds = true;

  std::string Reply(const std::string& cmd) {
    if (cmd == "AT+FCLASS=?") return R::Result("0,1,2") + R::Result("OK");
    if (cmd == "AT+FTM=?" || cmd == "AT+FRM=?")
      return R::Result(allSpeeds ? "24,48,72,73,74,96,97,98,121,122,145,146" : "24") + R::Result("OK");
    if (cmd.rfind("ATD", 0) == 0)
      return R::Frame(0x40, std::string(20, ' '), false);  // CSI; DIS comes with the next AT+FRH=3
    if (cmd == "AT+FTH=3" || cmd.rfind("AT+FTM=", 0) == 0) return R::Result("CONNECT");
    if (cmd == "AT+FRH=3") {
      std::lock_guard<std::mutex> guard(lock);
      if (answers.empty()) return R::Result("NO CARRIER");
      const std::string a = answers.front();
      answers.pop_front();
      return a;
    }
    return R::Result("OK");
  }
};

struct Session {
  Remote remote;
  ScriptedModem modem{[this](const std::string& cmd) { return remote.Reply(cmd); }};
  PumpedBridge bridge;
  TKvComPort port;
  TKvSendFax fax;
  TempDir dir;
  int finish = INT_MIN;

  explicit Session(int bps) {
    port.SetMainThreadBridge(&bridge);
    port.SetPromptForPort(false);
    port.SetDeviceName(modem.Path());
    fax.SetComPort(&port);
    fax.SetFaxClass(fcClass1);
    fax.DesiredBPS = bps;
    fax.DesiredECM = true;
    fax.DesiredCoding = T4Coding::MH;
    fax.PhoneNumber = "555";
    fax.OnFaxFinish = [this](TKvCustomAbstractFax&, int e) { finish = e; };
    // kFrames frames of page data.
    WriteApf(dir.File("doc.apf"), {PatternPage(3, 60, false)});
    fax.SetFaxFile(dir.File("doc.apf"));
  }
  ~Session() {
    fax.CancelFax();
    bridge.Pump(3000, [&] { return !fax.InProgress(); });
    port.SetOpen(false);
  }
  int Run(int seconds) {
    port.SetOpen(true);
    fax.StartTransmit();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (finish == INT_MIN && std::chrono::steady_clock::now() < end)
      bridge.Pump(20, [&] { return finish != INT_MIN; });
    return finish;
  }
};

// The frame numbers of the FCD frames in a burst.
std::vector<int> FramesOf(const std::string& burst) {
  std::vector<int> numbers;
  HdlcBitReader reader([&](std::string_view f) {
    if (f.size() > 4 && std::uint8_t(f[2]) == t30::kFCD) numbers.push_back(std::uint8_t(f[3]));
  });
  reader.Feed(burst);
  return numbers;
}

std::string Ppr(std::initializer_list<int> missing, int frames) {
  EcmFrameSet set;
  for (int n : missing) set.set(std::size_t(n));
  return R::Frame(t30::kPPR, EcmRequestMap(set, frames), true);
}

TEST(SendEcmScript, ResendsOnlyMissingFramesAndStepsDownAfterFourRequests) {
  Session s(14400);
  {
    std::lock_guard<std::mutex> guard(s.remote.lock);
    s.remote.answers = {
        R::Frame(0x80, Dis(true), true),  // DIS
        R::Frame(0x84, "", true),         // CFR
        R::Frame(t30::kRNR, "", true),    // busy: RR follows
        Ppr({1, 2}, kFrames),                   // answer to RR
        Ppr({2}, kFrames),
        Ppr({2}, kFrames),
        Ppr({2}, kFrames),                      // the fourth: CTC
        R::Frame(t30::kCTR, "", true),
        R::Frame(t30::kMCF, "", true),
    };
  }
  EXPECT_EQ(s.Run(60), 0);
  const std::vector<std::string> bursts = s.modem.Bursts();
  // TCF, the block, then 1+2, 2, 2, and 2 again after CTR.
  ASSERT_EQ(bursts.size(), 6u);
  EXPECT_EQ(FramesOf(bursts[1]).size(), std::size_t(kFrames));
  EXPECT_EQ(FramesOf(bursts[2]), (std::vector<int>{1, 2}));
  EXPECT_EQ(FramesOf(bursts[3]), (std::vector<int>{2}));
  EXPECT_EQ(FramesOf(bursts[5]), (std::vector<int>{2}));
  // After CTC the block goes again at 12000 with long training.
  std::vector<std::string> ftm;
  for (const std::string& c : s.modem.Commands())
    if (c.rfind("AT+FTM=", 0) == 0 && c != "AT+FTM=?") ftm.push_back(c);
  EXPECT_EQ(ftm, (std::vector<std::string>{"AT+FTM=145", "AT+FTM=146", "AT+FTM=146", "AT+FTM=146", "AT+FTM=146",
                                           "AT+FTM=121"}));
  const std::vector<int> sent = s.modem.SentFrames();
  const std::vector<int> expected = {t30::kTSI, t30::kDCS, t30::kPPS, t30::kRR,  t30::kPPS, t30::kPPS,
                                     t30::kPPS, t30::kCTC, t30::kPPS, t30::kDCN};
  EXPECT_EQ(sent, expected);
  EXPECT_EQ(s.fax.RetransmittedFrames(), 5);
  EXPECT_EQ(s.fax.SessionBPS(), 12000);
}

TEST(SendEcmScript, AtTheLowestSpeedTheBlockEndsWithEor) {
  Session s(2400);
  s.remote.allSpeeds = false;
  {
    std::lock_guard<std::mutex> guard(s.remote.lock);
    s.remote.answers = {
        R::Frame(0x80, Dis(false), true), R::Frame(0x84, "", true), Ppr({0}, kFrames), Ppr({0}, kFrames), Ppr({0}, kFrames), Ppr({0}, kFrames),
        R::Frame(t30::kERR, "", true),
    };
  }
  EXPECT_EQ(s.Run(60), 0);
  const std::vector<int> sent = s.modem.SentFrames();
  const std::vector<int> expected = {t30::kTSI, t30::kDCS, t30::kPPS, t30::kPPS,
                                     t30::kPPS, t30::kPPS, t30::kEOR, t30::kDCN};
  EXPECT_EQ(sent, expected);
  EXPECT_EQ(s.modem.Bursts().size(), 5u);  // TCF, the block and three retransmissions
}

TEST(SendEcmScript, NoAnswerToTheSignalEndsTheCallAfterThreeTries) {
  Session s(14400);
  {
    std::lock_guard<std::mutex> guard(s.remote.lock);
    s.remote.answers = {R::Frame(0x80, Dis(true), true), R::Frame(0x84, "", true)};
  }
  EXPECT_EQ(s.Run(60), -fax_error::kTimeout);
  const std::vector<int> sent = s.modem.SentFrames();
  EXPECT_EQ(std::count(sent.begin(), sent.end(), t30::kPPS), 3);
}

}  // namespace
}  // namespace tlm::testing
