// What the receive component does beside the protocol: status events
// every `StatusInterval` while a call is in progress, and while waiting for
// a call only with `ConstantStatus`; XON/XOFF flow on received page data
// with `SoftwareFlow`.
#include <gtest/gtest.h>

#include <chrono>

#include "fax/t30_frames.h"
#include "receive_rig.h"
#include "scripted_modem.h"

namespace tlm::testing {
namespace {

using R = ScriptedModem;

// A Class 2 modem whose call stalls after the connection: the session
// stays in the call (it waits 30 s for the sender's parameters).
std::string StalledCall(const std::string& cmd) {
  if (cmd == "ATA") return R::Result("+FCON");
  return R::Result("OK");
}

struct StatusCount {
  int events = 0;
  int first = 0;
};

// Counts the status events while `seconds` pass.
StatusCount CountStatus(ReceiveRig& rig, double seconds) {
  StatusCount count;
  rig.fax.OnFaxStatus = [&](TKvCustomAbstractFax&, bool first, bool) {
    ++count.events;
    if (first) ++count.first;
  };
  rig.Pump(seconds, [] { return false; });
  rig.fax.OnFaxStatus = nullptr;
  return count;
}

class ReceiveStatus : public ::testing::TestWithParam<bool> {};

TEST_P(ReceiveStatus, EventsAtTheIntervalWhileWaitingOnlyWithConstantStatus) {
  const bool constant = GetParam();
  ReceiveRig rig;
  ScriptedModem modem(StalledCall);
  rig.fax.SetFaxClass(fcClass2);
  rig.fax.ConstantStatus = constant;
  rig.fax.StatusInterval = 1;
  rig.port.SetDeviceName(modem.Path());
  ASSERT_EQ(rig.fax.StartReceive(), 0);
  rig.Pump(5, [&] { return rig.fax.ReceiveState() == rfWaiting; });
  ASSERT_EQ(rig.fax.ReceiveState(), rfWaiting);

  // Waiting for a call, 3.5 intervals.
  const StatusCount waiting = CountStatus(rig, 3.5);
  if (constant) {
    EXPECT_GE(waiting.events, 3);
    EXPECT_LE(waiting.events, 4);
  } else {
    EXPECT_EQ(waiting.events, 0);
  }
  EXPECT_EQ(waiting.first, 0);

  // A call: the first event comes with the answer (without ConstantStatus),
  // then one every interval while the call goes on.
  int firstAtAnswer = 0;
  rig.fax.OnFaxStatus = [&](TKvCustomAbstractFax&, bool first, bool) { firstAtAnswer += first; };
  modem.Write(R::Result("RING"));
  rig.Pump(2, [&] { return rig.fax.ReceiveState() == rf2GtSndID; });
  ASSERT_EQ(rig.fax.ReceiveState(), rf2GtSndID);
  EXPECT_EQ(firstAtAnswer, constant ? 0 : 1);  // with ConstantStatus it came at the start
  const StatusCount call = CountStatus(rig, 3.5);
  EXPECT_GE(call.events, 3);
  EXPECT_LE(call.events, 4);
}

INSTANTIATE_TEST_SUITE_P(ConstantStatus, ReceiveStatus, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "On" : "Off"); });

}  // namespace
}  // namespace tlm::testing

namespace tlm::testing {
namespace {

using R = ScriptedModem;

// With SoftwareFlow the port stops the modem with XOFF while page data
// comes in (input flow, IXOFF), and only then; without it never.
TEST(ReceiveSoftwareFlow, InputFlowControlWhilePageDataArrives) {
  for (const bool software : {true, false}) {
    ReceiveRig rig;
    ScriptedModem modem([](const std::string& cmd) {
      if (cmd == "ATA")
        return R::Result("+FCON") + R::Result("+FTSI:\"REMOTE 3\"") + R::Result("+FDCS:0,3,0,2,0,0,0,0") +
               R::Result("OK");
      if (cmd == "AT+FDR") return R::Result("CONNECT");  // the page data follows from the test
      return R::Result("OK");
    });
    rig.fax.SetFaxClass(fcClass2);
    rig.fax.SoftwareFlow = software;
    rig.port.SetDeviceName(modem.Path());
    ASSERT_EQ(rig.fax.StartReceive(), 0);
    rig.Pump(5, [&] { return rig.fax.ReceiveState() == rfWaiting; });
    ASSERT_EQ(rig.fax.ReceiveState(), rfWaiting);
    EXPECT_FALSE(modem.LineSettings().c_iflag & IXOFF) << software;

    modem.Write(R::Result("RING"));
    rig.Pump(5, [&] { return rig.fax.ReceiveState() == rfGtPgDta; });
    ASSERT_EQ(rig.fax.ReceiveState(), rfGtPgDta);
    const termios during = modem.LineSettings();
    EXPECT_EQ((during.c_iflag & IXOFF) != 0, software);
    // Received page data keeps its XON and XOFF bytes: no output flow.
    EXPECT_FALSE(during.c_iflag & IXON);
    if (software) {
      EXPECT_EQ(rig.port.BufferFull(), kInputFlowFull);
      EXPECT_EQ(rig.port.BufferResume(), kInputFlowResume);
    }

    modem.Write(std::string("\x00\x11\x13\x80", 4) + "\x10\x03" + R::Result("+FPTS:1") + R::Result("+FET:2") +
                R::Result("OK"));
    rig.Pump(5, [&] { return rig.fax.ReceiveState() == rf2GetFHNG; });
    EXPECT_FALSE(modem.LineSettings().c_iflag & IXOFF) << software;
    modem.Write(R::Result("+FHNG:0") + R::Result("OK"));
    rig.Pump(5, [&] { return rig.finish != INT_MIN; });
    EXPECT_EQ(rig.finish, 0);
    ASSERT_EQ(rig.files.size(), 1u);
  }
}

// Class 1: the flow is on for every page of the call, also after MPS.
TEST(ReceiveSoftwareFlow, Class1SecondPageAfterMpsHasInputFlowToo) {
  ReceiveRig rig;
  int frh = 0, frm = 0;
  ScriptedModem modem([&](const std::string& cmd) -> std::string {
    if (cmd == "AT+FTM=?" || cmd == "AT+FRM=?") return R::Result("24,48,72,96") + R::Result("OK");
    if (cmd == "ATA" || cmd == "AT+FTH=3") return R::Result("CONNECT");
    if (cmd == "AT+FRH=3") {
      switch (frh++) {
        case 0: return R::Frame(t30::kDCS, t30::EncodeDcs(4, false, false, 0), true);
        case 1: return R::Frame(t30::kMPS, "", true);
        case 2: return R::Frame(t30::kEOP, "", true);
        case 3: return R::Frame(t30::kDCN, "", true);
        default: return "";
      }
    }
    if (cmd.rfind("AT+FRM=", 0) == 0) {
      switch (frm++) {
        case 0: return R::Result("CONNECT") + std::string(1000, '\0') + "\x10\x03" + R::Result("NO CARRIER");
        case 1: return R::Result("CONNECT") + std::string("\x00\x80", 2) + "\x10\x03" + R::Result("NO CARRIER");
        default: return R::Result("CONNECT");  // the second page follows from the test
      }
    }
    return R::Result("OK");
  });
  rig.fax.SetFaxClass(fcClass1);
  rig.fax.SoftwareFlow = true;
  rig.port.SetDeviceName(modem.Path());
  ASSERT_EQ(rig.fax.StartReceive(), 0);
  rig.Pump(5, [&] { return rig.fax.ReceiveState() == rfWaiting; });
  modem.Write(R::Result("RING"));
  rig.Pump(10, [&] { return rig.fax.ReceiveState() == rfGtPgDta && rig.fax.CurrentPage() == 2; });
  ASSERT_EQ(rig.fax.CurrentPage(), 2);
  ASSERT_EQ(rig.fax.ReceiveState(), rfGtPgDta);
  EXPECT_TRUE(modem.LineSettings().c_iflag & IXOFF);
  modem.Write(std::string("\x00\x80", 2) + "\x10\x03" + R::Result("NO CARRIER"));
  rig.Pump(10, [&] { return rig.finish != INT_MIN; });
  EXPECT_EQ(rig.finish, 0);
  EXPECT_FALSE(modem.LineSettings().c_iflag & IXOFF);
}

}  // namespace
}  // namespace tlm::testing
