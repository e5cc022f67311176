// A component destroyed while its session runs (as the application does
// when it closes): no crash, no event afterwards, the modem hung up and the
// port ready for the next component at once.
#include <gtest/gtest.h>

#include <csignal>
#include <chrono>
#include <climits>
#include <filesystem>
#include <memory>

#include "fax/receive_fax.h"
#include "fax/send_rig.h"
#include "faxsim/faxsim_runner.h"

namespace tlm::testing {
namespace {

using faxsim::Bitmap;
using faxsim::testing::field;
using Clock = std::chrono::steady_clock;

// Pumps `bridge` until `until` or `seconds`.
void Pump(PumpedBridge& bridge, double seconds, const std::function<bool()>& until) {
  const auto end = Clock::now() + std::chrono::milliseconds(long(seconds * 1000));
  while (!until() && Clock::now() < end) bridge.Pump(20, until);
}

// Destroys `component` on this thread; how long it took.
template <typename T>
double Destroy(std::unique_ptr<T>& component) {
  const auto start = Clock::now();
  component.reset();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

struct SendStopCase {
  const char* name;
  TFaxClass faxClass;
  int stopAtStatus;  // 0: right after the start
};

class StopWhileSending : public ::testing::TestWithParam<SendStopCase> {};

TEST_P(StopWhileSending, DestroyedComponentLeavesThePortToTheNext) {
  const SendStopCase& c = GetParam();
  SendRig rig("", {"--remote-receiver", "200:RX"}, c.faxClass == fcClass1 ? 5 : 10);
  ASSERT_TRUE(rig.Ready());
  WriteApf(rig.Dir().File("long.apf"), {PatternPage(1, 400, true), PatternPage(2, 400, true)});
  const std::vector<Bitmap> pages = {PatternPage(3, 30, false), PatternPage(4, 20, false)};
  WriteApf(rig.Dir().File("short.apf"), pages);
  rig.Port().SetOpen(true);

  int status = 0;
  int events = 0;
  bool finished = false;
  TKvFaxLog history;
  history.FaxHistoryName = rig.Dir().File("STOPPED.HIS");
  auto fax = std::make_unique<TKvSendFax>();
  fax->FaxLog = &history;
  fax->SetComPort(&rig.Port());
  fax->SetFaxClass(c.faxClass);
  fax->PhoneNumber = "200";
  fax->SetFaxFile(rig.Dir().File("long.apf"));
  fax->OnFaxStatus = [&](TKvCustomAbstractFax& f, bool, bool) {
    status = f.FaxStatus();
    ++events;
  };
  fax->OnFaxFinish = [&](TKvCustomAbstractFax&, int) { finished = true; };
  ASSERT_EQ(fax->StartTransmit(), 0);
  if (c.stopAtStatus != 0) {
    Pump(rig.Bridge(), 60, [&] { return status == c.stopAtStatus; });
    ASSERT_EQ(status, c.stopAtStatus);
  }
  const double took = Destroy(fax);
  EXPECT_LT(took, 10.0);
  EXPECT_FALSE(finished);
  // Nothing of the dead session is left to run on this thread.
  EXPECT_EQ(rig.Bridge().Pump(300), 0);
  // The history file still tells how the call ended.
  const std::string lines = ReadText(rig.Dir().File("STOPPED.HIS"));
  EXPECT_NE(lines.find("Transmit failed at"), std::string::npos) << lines;
  if (c.stopAtStatus == fax_status::kSendingPage) {
    const std::string end = rig.Sim().waitFor({"EVENT hangup", "call=1 "}, 10);
    EXPECT_FALSE(end.empty());
    EXPECT_EQ(field(end, "answered"), "1");
  }

  // The next component on the same port sends at once.
  rig.Fax().SetFaxClass(c.faxClass);
  rig.Fax().PhoneNumber = "200";
  rig.Fax().SetFaxFile(rig.Dir().File("short.apf"));
  const SendOutcome out = rig.Send(60);
  EXPECT_EQ(out.result, 0);
  const int call = c.stopAtStatus == fax_status::kSendingPage ? 2 : 1;  // calls the remote answered
  const std::vector<Bitmap> got = rig.Received("200", call, 2);
  ASSERT_EQ(got.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i)
    EXPECT_TRUE(faxsim::testing::sameRows(got[i], 8, pages[i], pages[i].height)) << "page " << i;
}

INSTANTIATE_TEST_SUITE_P(Moments, StopWhileSending,
                         ::testing::Values(SendStopCase{"Class1Page", fcClass1, fax_status::kSendingPage},
                                           SendStopCase{"Class2Page", fcClass2, fax_status::kSendingPage},
                                           SendStopCase{"Class20Dialing", fcClass2_0, fax_status::kDialing},
                                           SendStopCase{"Class2AtStart", fcClass2, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// Stopping is idempotent and harmless without a session.
TEST(StopSession, WithoutASessionAndTwice) {
  PumpedBridge bridge;
  TKvComPort port;
  port.SetMainThreadBridge(&bridge);
  TKvSendFax idle;
  idle.StopSession();
  idle.SetComPort(&port);
  idle.StopSession();
  idle.StopSession();
  EXPECT_FALSE(idle.InProgress());
  auto receiver = std::make_unique<TKvReceiveFax>();
  receiver->SetComPort(&port);
  receiver->StopSession();
  receiver.reset();
}

class StopWhileReceiving : public ::testing::TestWithParam<TFaxClass> {};

TEST_P(StopWhileReceiving, DestroyedComponentLeavesThePortToTheNext) {
  TempDir dir;
  const std::vector<Bitmap> pages = {PatternPage(5, 300, false), PatternPage(6, 200, false)};
  std::string files;
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const std::string pbm = dir.File("p" + std::to_string(i + 1) + ".pbm");
    ASSERT_EQ(faxsim::writePbm(pbm, pages[i]), "");
    files += (i ? "," : "") + pbm;
  }
  const std::string faxClass = GetParam() == fcClass1 ? "1" : "2.0";
  faxsim::testing::FaxsimProcess sim(dir.Folder(), {"--modem", dir.File("modem") + "=100:class=" + faxClass,
                                                    "--remote-sender", "777:" + files + ":100:delay=1", "--speed",
                                                    "accelerated", "--accel", "10", "--ring-interval", "1"});
  ASSERT_TRUE(sim.started());
  PumpedBridge bridge;
  TKvComPort port;
  port.SetMainThreadBridge(&bridge);
  port.SetPromptForPort(false);
  port.SetDeviceName(dir.File("modem"));

  int status = 0;
  bool finished = false;
  TKvFaxLog history;
  history.FaxHistoryName = dir.File("STOPPED.HIS");
  auto fax = std::make_unique<TKvReceiveFax>();
  fax->FaxLog = &history;
  fax->SetComPort(&port);
  fax->SetFaxClass(GetParam());
  fax->DestinationDir = dir.Folder();
  fax->OnFaxStatus = [&](TKvCustomAbstractFax& f, bool, bool) { status = f.FaxStatus(); };
  fax->OnFaxFinish = [&](TKvCustomAbstractFax&, int) { finished = true; };
  ASSERT_EQ(fax->StartReceive(), 0);
  Pump(bridge, 60, [&] { return status == fax_status::kGettingPage; });
  ASSERT_EQ(status, fax_status::kGettingPage);
  const double took = Destroy(fax);
  EXPECT_LT(took, 10.0);
  EXPECT_FALSE(finished);
  EXPECT_EQ(bridge.Pump(300), 0);
  // The history file tells how the call ended, and no half file is left.
  const std::string lines = ReadText(dir.File("STOPPED.HIS"));
  EXPECT_NE(lines.find("Receive failed at"), std::string::npos) << lines;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Folder()))
    EXPECT_EQ(entry.path().string().find(".APF"), std::string::npos) << "left behind: " << entry.path();
  EXPECT_FALSE(sim.waitFor({"EVENT fax_done", "fax=777"}, 10).empty());

  // The next component on the same port takes the sender's next call.
  TKvReceiveFax next;
  int result = INT_MIN;
  std::string received;
  next.SetComPort(&port);
  next.SetFaxClass(GetParam());
  next.DestinationDir = dir.Folder();
  next.OneFax = true;
  next.OnFaxLog = [&](TKvCustomAbstractFax& f, TFaxLogCode code) {
    if (code == lfaxReceiveOk) received = f.FaxFile();
  };
  next.OnFaxFinish = [&](TKvCustomAbstractFax&, int e) { result = e; };
  ASSERT_EQ(next.StartReceive(), 0);
  Pump(bridge, 10, [&] { return next.ReceiveState() == rfWaiting; });
  sim.signal(SIGUSR1);
  Pump(bridge, 90, [&] { return result != INT_MIN; });
  EXPECT_EQ(result, 0);
  std::vector<Bitmap> got;
  ASSERT_FALSE(received.empty());
  EXPECT_EQ(faxsim::readApf(received, got), "");
  ASSERT_EQ(got.size(), pages.size());
  for (std::size_t i = 0; i < pages.size(); ++i) {
    EXPECT_EQ(got[i].height, pages[i].height) << "page " << i;
    EXPECT_TRUE(got[i].bits == pages[i].bits) << "page " << i;
  }
  port.SetOpen(false);
}

INSTANTIATE_TEST_SUITE_P(Classes, StopWhileReceiving, ::testing::Values(fcClass1, fcClass2_0),
                         [](const auto& info) { return info.param == fcClass1 ? std::string("Class1") : "Class20"; });

}  // namespace
}  // namespace tlm::testing
