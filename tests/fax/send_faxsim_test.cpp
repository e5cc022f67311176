// Transmit sessions against faxsim's modems and remote fax machines: every
// class, speeds and resolutions, the multi-page paths, covers, the faults,
// and the history file.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "fax/send_rig.h"
#include "faximage/apf_file.h"
#include "faxsim/faxsim_runner.h"
#include "platform/strings/messages.h"

namespace tlm::testing {
namespace {

using faxsim::Bitmap;

constexpr int kBlankLinesBefore = 8;
constexpr double kAccelClass2 = 10;
constexpr double kAccelClass1 = 5;  // our real-time pauses must fit the remote's T.30 timers

bool Contains(const std::vector<int>& v, int x) { return std::find(v.begin(), v.end(), x) != v.end(); }

// The sent rows appear after the blank lines at the top of the page.
void ExpectPagesArrived(SendRig& rig, const std::vector<Bitmap>& sent, int skipFirst = 0, int call = 1) {
  const auto got = rig.Received("200", call, int(sent.size()) + skipFirst);
  ASSERT_EQ(got.size(), sent.size() + std::size_t(skipFirst));
  for (std::size_t i = 0; i < sent.size(); ++i) {
    const std::string event = rig.Sim().waitFor({"page", "n=" + std::to_string(i + 1 + std::size_t(skipFirst)) + " "}, 10);
    EXPECT_EQ(faxsim::testing::field(event, "res"), sent[i].fine ? "fine" : "normal") << "page " << i;
    const Bitmap& r = got[i + std::size_t(skipFirst)];
    ASSERT_EQ(r.width, sent[i].width) << "page " << i;
    ASSERT_EQ(r.height, sent[i].height + kBlankLinesBefore) << "page " << i;
    EXPECT_TRUE(faxsim::testing::sameRows(r, kBlankLinesBefore, sent[i], sent[i].height)) << "page " << i;
  }
}

struct ClassCase {
  const char* name;
  TFaxClass faxClass;
  double accel;
};

class SendEachClass : public ::testing::TestWithParam<ClassCase> {};

// Five pages mixing resolutions (a resolution change on the way), at the
// top speed, with the header line on.
TEST_P(SendEachClass, FivePagesArriveIntact) {
  const ClassCase& c = GetParam();
  SendRig rig("", {"--remote-receiver", "200:RX"}, c.accel);
  ASSERT_TRUE(rig.Ready());
  std::vector<Bitmap> pages = {PatternPage(1, 60, false), PatternPage(2, 50, false), PatternPage(3, 80, true),
                               PatternPage(4, 40, true), PatternPage(5, 30, false)};
  WriteApf(rig.Dir().File("five.apf"), pages);
  rig.Fax().SetFaxClass(c.faxClass);
  rig.Fax().DesiredBPS = 14400;
  rig.Fax().PhoneNumber = "200";
  rig.Fax().SetFaxFile(rig.Dir().File("five.apf"));
  rig.Fax().SetStationID("tolmera test");
  const SendOutcome out = rig.Send();
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(out.remoteId, "200");
  EXPECT_EQ(out.logs, (std::vector<int>{lfaxTransmitStart, lfaxTransmitOk}));
  EXPECT_TRUE(Contains(out.statuses, fax_status::kSendingPage));
  EXPECT_TRUE(Contains(out.statuses, fax_status::kFinished));
  ExpectPagesArrived(rig, pages);
  const std::string done = rig.Sim().waitFor({"fax_done"}, 10);
  EXPECT_EQ(faxsim::testing::field(done, "remote_ident"), "TOLMERA TEST");
  EXPECT_NE(rig.History().find("Transmit to 200 finished OK at"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Classes, SendEachClass,
                         ::testing::Values(ClassCase{"Class1", fcClass1, kAccelClass1},
                                           ClassCase{"Class2", fcClass2, kAccelClass2},
                                           ClassCase{"Class20", fcClass2_0, kAccelClass2},
                                           ClassCase{"Detect", fcDetect, kAccelClass2}),
                         [](const auto& info) { return std::string(info.param.name); });

// Each class at each speed the remote offers: the session runs at the
// highest both sides have and the page arrives intact.
class SendAtSpeed : public ::testing::TestWithParam<std::tuple<std::string, int>> {};

TEST_P(SendAtSpeed, ShortPageAtRate) {
  const auto& [cls, bps] = GetParam();
  const TFaxClass faxClass = cls == "1" ? fcClass1 : cls == "2" ? fcClass2 : fcClass2_0;
  SendRig rig(":class=" + cls, {"--remote-receiver", "200:RX:rate=" + std::to_string(bps)},
              faxClass == fcClass1 ? kAccelClass1 : kAccelClass2);
  ASSERT_TRUE(rig.Ready());
  std::vector<Bitmap> pages = {PatternPage(bps / 2400, 24, bps % 4800 == 0)};
  WriteApf(rig.Dir().File("p.apf"), pages);
  rig.Fax().SetFaxClass(faxClass);
  rig.Fax().DesiredBPS = bps;  // a V.27ter remote always offers 4800 too
  rig.Fax().PhoneNumber = "200";
  rig.Fax().SetFaxFile(rig.Dir().File("p.apf"));
  const SendOutcome out = rig.Send();
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(rig.Fax().SessionBPS(), bps);
  ExpectPagesArrived(rig, pages);
  const std::string page = rig.Sim().waitFor({"page", "n=1"}, 10);
  EXPECT_EQ(faxsim::testing::field(page, "rate"), std::to_string(bps));
}

INSTANTIATE_TEST_SUITE_P(Rates, SendAtSpeed,
                         ::testing::Combine(::testing::Values("1", "2", "2.0"),
                                            ::testing::Values(2400, 4800, 7200, 9600, 12000, 14400)),
                         [](const auto& info) {
                           std::string n = "Class" + std::get<0>(info.param) + "_" +
                                           std::to_string(std::get<1>(info.param));
                           for (char& c : n) {
                             if (c == '.') c = '_';
                           }
                           return n;
                         });

// Without the multi-page switch every page ends with EOM: new capabilities,
// parameters and training before the next. A wide page and an APF cover.
TEST(SendClass1, EomPathWithApfCoverAndWidePage) {
  SendRig rig(":class=1", {"--remote-receiver", "200:RX:wide=1"}, kAccelClass1);
  ASSERT_TRUE(rig.Ready());
  std::vector<Bitmap> cover = {PatternPage(7, 30, false)};
  std::vector<Bitmap> pages = {PatternPage(1, 40, false, true), PatternPage(2, 30, false)};
  WriteApf(rig.Dir().File("cover.apf"), cover);
  WriteApf(rig.Dir().File("doc.apf"), pages);
  rig.Fax().SetFaxClass(fcClass1);
  rig.Fax().SetMultiPageSwitch(false);
  rig.Fax().PhoneNumber = "200";
  rig.Fax().CoverFile = rig.Dir().File("cover.apf");
  rig.Fax().SetFaxFile(rig.Dir().File("doc.apf"));
  const SendOutcome out = rig.Send();
  EXPECT_EQ(out.result, 0);
  std::vector<Bitmap> all = cover;
  all.insert(all.end(), pages.begin(), pages.end());
  ExpectPagesArrived(rig, all);
  int eoms = 0;
  for (const std::string& e : rig.Sim().events())
    if (e.find("name=EOM") != std::string::npos) ++eoms;
  EXPECT_EQ(eoms, 2);
}

// Class 1 codes the page's lines itself: fewer bytes than the stored
// records when the remote needs no minimum scan time, and every line (the
// eight blank ones included) at least the minimum when it does.
TEST(SendClass1, PagesGoOutCompactWithFillOnlyForTheScanTime) {
  std::vector<Bitmap> pages = {PatternPage(3, 60, false)};
  long bytes[2] = {0, 0};
  for (const int scanMs : {0, 40}) {
    SendRig rig(":class=1", {"--remote-receiver", "200:RX:scan=" + std::to_string(scanMs)}, kAccelClass1);
    ASSERT_TRUE(rig.Ready());
    WriteApf(rig.Dir().File("doc.apf"), pages);
    ApfPageHeader header;
    std::uint64_t offset = 0;
    ASSERT_EQ(ApfLocatePage(rig.Dir().File("doc.apf"), 1, header, offset), 0);
    rig.Fax().SetFaxClass(fcClass1);
    rig.Fax().DesiredBPS = 9600;
    rig.Fax().BufferMinimum = 0;  // no fill bytes to keep the modem fed: the page's bytes only
    rig.Fax().PhoneNumber = "200";
    rig.Fax().SetFaxFile(rig.Dir().File("doc.apf"));
    EXPECT_EQ(rig.Send().result, 0);
    ExpectPagesArrived(rig, pages);
    const std::string event = rig.Sim().waitFor({"page", "n=1 "}, 10);
    bytes[scanMs != 0] = std::stol(faxsim::testing::field(event, "bytes"));
    if (scanMs == 0) {
      EXPECT_LT(bytes[0], long(header.imageLength)) << "compact";
    }
  }
  const long minBytesPerLine = 9600 * 40 / 1000 / 8;
  EXPECT_GE(bytes[1], (60 + kBlankLinesBefore) * minBytesPerLine);
  EXPECT_GT(bytes[1], bytes[0]);
}

// A text cover is rendered with the fax font before the pages; its tokens
// are replaced.
TEST(SendClass2, TextCoverThenPages) {
  SendRig rig(":class=2", {"--remote-receiver", "200:RX"}, kAccelClass2);
  ASSERT_TRUE(rig.Ready());
  WriteText(rig.Dir().File("cover.txt"), "To: $R\nFrom: $S\nPages: $N\n\nHello.\n");
  std::vector<Bitmap> pages = {PatternPage(3, 40, false)};
  WriteApf(rig.Dir().File("doc.apf"), pages);
  rig.Fax().SetFaxClass(fcClass2);
  rig.Fax().PhoneNumber = "200";
  rig.Fax().HeaderRecipient = "Someone";
  rig.Fax().HeaderSender = "Tester";
  rig.Fax().CoverFile = rig.Dir().File("cover.txt");
  rig.Fax().SetFaxFile(rig.Dir().File("doc.apf"));
  const SendOutcome out = rig.Send();
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(rig.Fax().TotalPages(), 2);
  ExpectPagesArrived(rig, pages, 1);
  const auto got = rig.Received("200", 1, 2);
  ASSERT_EQ(got.size(), 2u);
  // 8 blank lines, 5 text lines of 16 rows, 8 blank lines.
  EXPECT_EQ(got[0].height, 8 + 5 * 16 + 8);
  int black = 0;
  for (int y = 0; y < got[0].height; ++y)
    for (int x = 0; x < got[0].width; ++x) black += got[0].pixel(x, y);
  EXPECT_GT(black, 500);
}

// ---- faults -----------------------------------------------------------------

struct FaultCase {
  const char* name;
  TFaxClass faxClass;
  std::vector<std::string> extra;  // faxsim arguments
  int expected;                    // the finish code (negative)
  int dialWait = 60;
};

class SendFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(SendFault, EndsWithTheRightErrorAndTheModemHungUp) {
  const FaultCase& c = GetParam();
  std::vector<std::string> extra = {"--remote-receiver", "200:RX"};
  extra.insert(extra.end(), c.extra.begin(), c.extra.end());
  SendRig rig("", extra, c.faxClass == fcClass1 ? kAccelClass1 : kAccelClass2);
  ASSERT_TRUE(rig.Ready());
  WriteApf(rig.Dir().File("p.apf"), {PatternPage(1, 40, false), PatternPage(2, 40, false)});
  rig.Fax().SetFaxClass(c.faxClass);
  rig.Fax().PhoneNumber = "200";
  rig.Fax().SetFaxFile(rig.Dir().File("p.apf"));
  rig.Fax().DialAttempts = 2;
  rig.Fax().DialWait = c.dialWait;
  const SendOutcome out = rig.Send();
  EXPECT_EQ(out.result, c.expected);
  EXPECT_EQ(out.logs, (std::vector<int>{lfaxTransmitStart, lfaxTransmitFail}));
  EXPECT_NE(rig.History().find("Transmit failed at"), std::string::npos);
  EXPECT_NE(rig.History().find("  (" + ErrorText(c.expected) + ") "), std::string::npos) << rig.History();
  // The port is usable for the next session: the modem answers (a late
  // result of the ended call may come first).
  EXPECT_TRUE(rig.Fax().SyncCommand("AT") == 0 || rig.Fax().SyncCommand("AT") == 0);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SendFault,
    ::testing::Values(
        FaultCase{"BusyOnLastAttempt", fcClass2, {"--fault", "200:busy"}, -fax_error::kBusy},
        FaultCase{"NoDialTone", fcClass2, {"--fault", "100:no-dialtone"}, -fax_error::kNoDialTone},
        FaultCase{"Voice", fcClass2_0, {"--fault", "200:voice"}, -fax_error::kVoiceAnswer},
        FaultCase{"NoAnswer", fcClass2, {"--fault", "200:no-answer"}, -fax_error::kNoAnswer, 2},
        FaultCase{"TrainingFailsAtEverySpeed", fcClass1, {"--fault", "200:train-fail-above=1200"},
                  -fax_error::kTrainingFailed},
        FaultCase{"Rtn", fcClass1, {"--fault", "200:rtn=1"}, -fax_error::kMidSessionFailure},
        FaultCase{"RemoteDcn", fcClass1, {"--fault", "200:dcn=MCF"}, -fax_error::kCancelRequested},
        FaultCase{"PostPageTimeouts", fcClass1, {"--fault", "200:hangup=MCF"}, -fax_error::kTimeout},
        FaultCase{"CarrierLossClass1", fcClass1, {"--fault", "200:carrier-loss=1"}, -fax_error::kTimeout},
        // The modem reports the remote's disconnect as a hang-up code.
        FaultCase{"RemoteDcnClass2", fcClass2, {"--fault", "200:dcn=MCF"}, -fax_error::kBadModemResponse}),
    [](const auto& info) { return std::string(info.param.name); });

// The first call finds the number busy: the sender waits DialRetryWait,
// dials again and the fax goes through on the second call.
TEST(SendBusy, BusyThenSuccessOnRedial) {
  SendRig rig(":class=2", {"--remote-receiver", "200:RX", "--fault", "200:busy=1"}, kAccelClass2);
  ASSERT_TRUE(rig.Ready());
  std::vector<Bitmap> pages = {PatternPage(1, 40, false), PatternPage(2, 30, true)};
  WriteApf(rig.Dir().File("p.apf"), pages);
  rig.Fax().SetFaxClass(fcClass2);
  rig.Fax().PhoneNumber = "200";
  rig.Fax().SetFaxFile(rig.Dir().File("p.apf"));
  rig.Fax().DialAttempts = 3;
  rig.Fax().DialRetryWait = 1;
  const SendOutcome out = rig.Send();
  EXPECT_EQ(out.result, 0);
  EXPECT_TRUE(out.errors.empty());
  EXPECT_EQ(rig.Fax().DialAttempt(), 1);
  EXPECT_EQ(out.logs, (std::vector<int>{lfaxTransmitStart, lfaxTransmitOk}));
  // Dialing, busy-waiting, dialing again, then the fax.
  const auto busy = std::find(out.statuses.begin(), out.statuses.end(), fax_status::kBusyWaiting);
  ASSERT_NE(busy, out.statuses.end());
  EXPECT_EQ(std::count(out.statuses.begin(), busy, fax_status::kDialing), 1);
  EXPECT_EQ(std::count(busy, out.statuses.end(), fax_status::kDialing), 1);
  EXPECT_NE(std::find(busy, out.statuses.end(), fax_status::kSendingPage), out.statuses.end());
  EXPECT_EQ(out.statuses.back(), fax_status::kFinished);
  // The line saw a busy call, the retry wait, and a second call.
  const std::string busyEnd = rig.Sim().waitFor({"EVENT hangup", "call=1", "reason=busy"}, 5);
  const std::string redial = rig.Sim().waitFor({"EVENT call", "call=2", "to=200"}, 5);
  ASSERT_FALSE(busyEnd.empty());
  ASSERT_FALSE(redial.empty());
  EXPECT_GE(std::stod(faxsim::testing::field(redial, "t")) - std::stod(faxsim::testing::field(busyEnd, "t")),
            0.8 * kAccelClass2 * rig.Fax().DialRetryWait);
  ExpectPagesArrived(rig, pages);  // the remote's first answered call
  // One job in the history: started once, finished OK, no failure.
  const std::string history = rig.History();
  EXPECT_EQ(history.find("Transmit " + rig.Dir().File("p.apf") + " to 200 started at "), 0u) << history;
  EXPECT_EQ(history.find(" started at ", history.find(" started at ") + 1), std::string::npos) << history;
  EXPECT_NE(history.find("\r\nTransmit to 200 finished OK at "), std::string::npos) << history;
  EXPECT_EQ(history.find("Transmit failed"), std::string::npos) << history;
}

// Training at 14400 fails; the session falls back and succeeds lower.
TEST(SendClass1, TrainingFallsBack) {
  SendRig rig(":class=1", {"--remote-receiver", "200:RX", "--fault", "200:train-fail-above=9600"}, kAccelClass1);
  ASSERT_TRUE(rig.Ready());
  std::vector<Bitmap> pages = {PatternPage(1, 30, false)};
  WriteApf(rig.Dir().File("p.apf"), pages);
  rig.Fax().SetFaxClass(fcClass1);
  rig.Fax().DesiredBPS = 14400;
  rig.Fax().PhoneNumber = "200";
  rig.Fax().SetFaxFile(rig.Dir().File("p.apf"));
  const SendOutcome out = rig.Send();
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(rig.Fax().SessionBPS(), 9600);
  ExpectPagesArrived(rig, pages);
}

// The user cancels while a page is sent: 6005, status 42, modem hung up.
TEST(SendAbort, UserAbortDuringPage) {
  SendRig rig(":class=2", {"--remote-receiver", "200:RX"}, kAccelClass2);
  ASSERT_TRUE(rig.Ready());
  WriteApf(rig.Dir().File("p.apf"), {PatternPage(1, 400, true), PatternPage(2, 400, true)});
  rig.Fax().SetFaxClass(fcClass2);
  rig.Fax().PhoneNumber = "200";
  rig.Fax().SetFaxFile(rig.Dir().File("p.apf"));
  const SendOutcome out = rig.Send(120, [&](int status) {
    if (status == fax_status::kSendingPage) rig.Fax().CancelFax();
  });
  EXPECT_EQ(out.result, -fax_error::kCancelRequested);
  EXPECT_TRUE(Contains(out.statuses, fax_status::kUserAbort));
  EXPECT_TRUE(rig.Fax().SyncCommand("AT") == 0 || rig.Fax().SyncCommand("AT") == 0);
  rig.Sim().waitFor({"onhook"}, 10);
}

// A missing file and a file that is not APF fail before dialing.
TEST(SendFiles, BadFilesFailBeforeDialing) {
  SendRig rig(":class=2", {"--remote-receiver", "200:RX"}, kAccelClass2);
  ASSERT_TRUE(rig.Ready());
  WriteText(rig.Dir().File("bad.apf"), "this is not a fax file at all, not even close to one");
  rig.Fax().SetFaxClass(fcClass2);
  rig.Fax().PhoneNumber = "200";
  rig.Fax().SetFaxFile(rig.Dir().File("bad.apf"));
  EXPECT_EQ(rig.Send().result, -fax_error::kNotAnApfFile);
  rig.Fax().SetFaxFile("");
  EXPECT_EQ(rig.Send().result, -fax_error::kNoFilename);
  for (const std::string& e : rig.Sim().events()) EXPECT_EQ(e.find("ATD"), std::string::npos);
}

}  // namespace
}  // namespace tlm::testing

namespace tlm::testing {
namespace {

// The init strings go out in a component's first session only; the user's
// string is upper-cased with "AT" in front.
TEST(SendSessions, InitStringsInTheFirstSessionOnly) {
  SendRig rig(":class=2", {"--remote-receiver", "200:RX"}, kAccelClass2);
  ASSERT_TRUE(rig.Ready());
  WriteApf(rig.Dir().File("p.apf"), {PatternPage(1, 20, false)});
  rig.Fax().SetFaxClass(fcClass2);
  rig.Fax().SetModemInit("&k3");
  rig.Fax().PhoneNumber = "200";
  rig.Fax().SetFaxFile(rig.Dir().File("p.apf"));
  EXPECT_EQ(rig.Send().result, 0);
  EXPECT_EQ(rig.Send().result, 0);
  std::vector<std::string> commands;
  for (const std::string& e : rig.Sim().events())
    if (e.find("EVENT command") == 0) commands.push_back(faxsim::testing::field(e, "text"));
  const auto count = [&](const std::string& c) { return std::count(commands.begin(), commands.end(), c); };
  EXPECT_EQ(count("AT&K3"), 1);
  EXPECT_EQ(count("ATE0Q0V1X4S0=0S2=43"), 1);
  EXPECT_EQ(count("AT+FCLASS=2"), 2);
  EXPECT_EQ(count("ATDT200"), 2);
}

}  // namespace
}  // namespace tlm::testing

namespace tlm::testing {
namespace {

// A modem that puts a garbled line before every result: the session start
// (class and speed queries) reads past it, the first state that expects OK
// ends the session with a modem error instead of hanging, and the port
// stays usable.
TEST(SendGarbledModem, EndsWithAModemErrorAndTheModemAnswersAfterwards) {
  for (const TFaxClass c : {fcClass1, fcClass2}) {
    SendRig rig("", {"--remote-receiver", "200:RX", "--fault", "100:garbage"}, kAccelClass2);
    ASSERT_TRUE(rig.Ready());
    WriteApf(rig.Dir().File("p.apf"), {PatternPage(1, 20, false)});
    rig.Fax().SetFaxClass(c);
    rig.Fax().PhoneNumber = "200";
    rig.Fax().SetFaxFile(rig.Dir().File("p.apf"));
    const SendOutcome out = rig.Send(60);
    EXPECT_EQ(out.result, -fax_error::kModemInitFailed);
    EXPECT_TRUE(rig.Fax().SyncCommand("AT") == 0 || rig.Fax().SyncCommand("AT") == 0);
  }
}

}  // namespace
}  // namespace tlm::testing
