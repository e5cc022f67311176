// Opening, closing (also while a handler runs) and a device that vanishes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <thread>

#include "comm/com_port.h"
#include "comm/comm_types.h"
#include "platform/main_thread_bridge.h"
#include "support/temp_dir.h"
#include "comm/pty_pair.h"

namespace tlm {
namespace {

using testing::PtyPair;
using testing::WaitUntil;

TEST(PortLifecycle, DefaultsAreThoseOfTheComponent) {
  TKvComPort port;
  EXPECT_EQ(port.DeviceLayer(), dlWin32);
  EXPECT_EQ(port.ComNumber(), 0);
  EXPECT_EQ(port.Baud(), 19200u);
  EXPECT_TRUE(port.PromptForPort());
  EXPECT_EQ(port.Parity(), pNone);
  EXPECT_EQ(port.DataBits(), 8);
  EXPECT_EQ(port.StopBits(), 1);
  EXPECT_EQ(port.InSize(), 4096);
  EXPECT_EQ(port.OutSize(), 4096);
  EXPECT_TRUE(port.AutoOpen());
  EXPECT_FALSE(port.Open());
  EXPECT_TRUE(port.DTR());
  EXPECT_TRUE(port.RTS());
  EXPECT_EQ(port.HWFlowOptions(), 0);
  EXPECT_EQ(port.SWFlowOptions(), swfNone);
  EXPECT_EQ(port.XOnChar(), 17);
  EXPECT_EQ(port.XOffChar(), 19);
  EXPECT_EQ(port.BufferFull(), 0);
  EXPECT_EQ(port.BufferResume(), 0);
  EXPECT_EQ(port.Tracing(), tlOff);
  EXPECT_EQ(port.Logging(), tlOff);
  EXPECT_EQ(port.TraceSize(), 10000);
  EXPECT_EQ(port.TraceName(), "KOVA.TRC");
  EXPECT_TRUE(port.TraceHex());
  EXPECT_EQ(port.LogSize(), 10000);
  EXPECT_EQ(port.LogName(), "KOVA.LOG");
  EXPECT_TRUE(port.LogHex());
  EXPECT_TRUE(port.UseMSRShadow());
  EXPECT_TRUE(port.UseEventWord());
  EXPECT_EQ(port.CommNotificationLevel(), 10);
  EXPECT_EQ(port.TapiMode(), tmAuto);
  EXPECT_FALSE(port.RS485Mode());
  EXPECT_THROW(port.SetTraceSize(4000001), EBadArgument);
  EXPECT_THROW(port.SetLogSize(16000001), EBadArgument);
}

TEST(PortLifecycle, AComNumberResolvesThroughThePortsSection) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  testing::TempDir home;
  testing::WriteText(home.File("TLM.INI"), "[Ports]\nCOM7=" + pty.SlavePath() + "\n");
  ::setenv("TOLMERA_HOME", home.Folder().c_str(), 1);
  TKvComPort port;
  port.SetComNumber(7);
  port.PutString("ATZ\r");  // AutoOpen opens on first use
  EXPECT_TRUE(port.Open());
  EXPECT_EQ(pty.Read(4), "ATZ\r");
  ::unsetenv("TOLMERA_HOME");
}

TEST(PortLifecycle, ReopeningRestoresTheTriggers) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  TKvComPort port;
  port.SetDeviceName(pty.SlavePath());
  port.SetOpen(true);
  const int timer = port.AddTimerTrigger();
  const int data = port.AddDataTrigger("OK", false);
  port.SetOpen(false);
  EXPECT_FALSE(port.Open());
  port.SetOpen(true);
  EXPECT_NO_THROW(port.SetTimerTrigger(timer, 1, false));
  EXPECT_NO_THROW(port.RemoveTrigger(data));
  EXPECT_GT(port.AddTimerTrigger(), data);  // the handle counter goes on
}

TEST(PortLifecycle, ClosingWhileAHandlerRunsIsDeferredUntilTheDispatchEnds) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  PumpedBridge bridge;
  TKvComPort port;
  port.SetMainThreadBridge(&bridge);
  port.SetDeviceName(pty.SlavePath());
  port.SetOpen(true);
  std::atomic<bool> running{false}, done{false};
  port.RegisterProcedureHandler([&](std::uint16_t, std::uint16_t, std::uint32_t) {
    running = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    done = true;
  });
  const int timer = port.AddTimerTrigger();
  port.SetTimerTrigger(timer, 0, true);
  ASSERT_TRUE(WaitUntil([&] { return running.load(); }));
  const auto start = std::chrono::steady_clock::now();
  port.SetOpen(false);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
  EXPECT_FALSE(port.Open());
  EXPECT_FALSE(done);
  // The device stays claimed until the dispatch has returned.
  TKvComPort other;
  other.SetDeviceName(pty.SlavePath());
  EXPECT_THROW(other.SetOpen(true), EPortOpenError);
  bridge.Pump(3000, [&] {
    if (!done) return false;
    try {
      other.SetOpen(true);
      return true;
    } catch (const EComError&) {
      return false;
    }
  });
  EXPECT_TRUE(done);
  EXPECT_TRUE(other.Open());
}

TEST(PortLifecycle, WithoutABridgeCloseWaitsForTheRunningHandler) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  TKvComPort port;
  port.SetDeviceName(pty.SlavePath());
  port.SetOpen(true);
  std::atomic<bool> running{false}, done{false};
  port.RegisterProcedureHandler([&](std::uint16_t, std::uint16_t, std::uint32_t) {
    running = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    done = true;
  });
  const int timer = port.AddTimerTrigger();
  port.SetTimerTrigger(timer, 0, true);
  ASSERT_TRUE(WaitUntil([&] { return running.load(); }));
  port.SetOpen(false);
  EXPECT_TRUE(done);
}

TEST(PortLifecycle, AHandlerMayCloseItsOwnPort) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  TKvComPort port;
  port.SetDeviceName(pty.SlavePath());
  port.SetOpen(true);
  std::atomic<bool> closed{false};
  port.RegisterProcedureHandler([&](std::uint16_t msg, std::uint16_t, std::uint32_t) {
    if (msg != kMsgTriggerData) return;
    port.PutString("ATH\r");
    port.SetOpen(false);
    closed = true;
  });
  port.AddDataTrigger("NO CARRIER", false);
  ASSERT_TRUE(pty.Write("\r\nNO CARRIER\r\n"));
  ASSERT_TRUE(WaitUntil([&] { return closed.load(); }));
  EXPECT_EQ(pty.Read(4), "ATH\r");  // put before the close: still sent
  ASSERT_TRUE(WaitUntil([&] {
    try {
      port.SetOpen(true);
      return true;
    } catch (const EComError&) {
      return false;
    }
  }));
}

TEST(PortLifecycle, AVanishedDeviceEndsTheThreadsAndReportsOnTheNextUse) {
  auto pty = std::make_unique<PtyPair>();
  ASSERT_TRUE(pty->Ok());
  TKvComPort port;
  port.SetDeviceName(pty->SlavePath());
  port.SetOpen(true);
  std::atomic<int> timerCalls{0};
  port.RegisterProcedureHandler([&](std::uint16_t msg, std::uint16_t, std::uint32_t) {
    if (msg == kMsgTriggerTimer) ++timerCalls;
  });
  ASSERT_TRUE(pty->Write("last words"));
  ASSERT_TRUE(WaitUntil([&] { return port.InBuffUsed() == 10; }));
  pty->CloseMaster();  // like pulling out a USB modem
  ASSERT_TRUE(WaitUntil([&] { return port.Dispatcher()->DeviceLostErrno() != 0; }));
  // What arrived before is still there.
  char words[10];
  port.GetBlock(words, 10);
  EXPECT_EQ(std::string(words, 10), "last words");
  try {
    port.PutString("AT\r");
    FAIL() << "a put on a vanished device must fail";
  } catch (const EComError& e) {
    EXPECT_EQ(e.Code(), -ENODEV);
    EXPECT_NE(std::string(e.what()).find(pty->SlavePath()), std::string::npos) << e.what();
  }
  EXPECT_THROW(port.WaitForString("OK", 100), EComError);  // at once, no wait
  EXPECT_THROW(port.SetDTR(false), EComError);
  // Timers still reach the session so that it can wind down.
  const int timer = port.AddTimerTrigger();
  port.SetTimerTrigger(timer, 0, true);
  ASSERT_TRUE(WaitUntil([&] { return timerCalls == 1; }));
  const auto start = std::chrono::steady_clock::now();
  port.SetOpen(false);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_FALSE(port.Open());
}

}  // namespace
}  // namespace tlm
