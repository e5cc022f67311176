// Bytes through a port over a pseudo-terminal: order, rings, settings.
#include <gtest/gtest.h>

#include <termios.h>

#include <random>
#include <thread>

#include "comm/com_port.h"
#include "comm/comm_types.h"
#include "support/temp_dir.h"
#include "comm/pty_pair.h"

namespace tlm {
namespace {

using testing::PtyPair;
using testing::WaitUntil;

std::string RandomBytes(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::string out(count, '\0');
  for (char& c : out) c = static_cast<char>(random() & 0xFF);
  return out;
}

class PortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.Ok());
    port.SetDeviceName(pty.SlavePath());
    port.SetOpen(true);
  }
  PtyPair pty;
  TKvComPort port;
};

TEST_F(PortTest, OneMegabyteEachWayArrivesExactAndInOrder) {
  constexpr std::size_t kSize = 1 << 20;
  const std::string outgoing = RandomBytes(kSize, 1);
  const std::string incoming = RandomBytes(kSize, 2);

  std::string sentSeen;
  std::thread modemReader([&] { sentSeen = pty.Read(kSize, 30000); });
  std::thread modemWriter([&] {
    std::mt19937 random(3);
    for (std::size_t at = 0; at < kSize;) {
      const std::size_t chunk = std::min<std::size_t>(1 + random() % 6000, kSize - at);
      ASSERT_TRUE(pty.Write(incoming.data() + at, chunk));
      at += chunk;
    }
  });
  std::thread portWriter([&] {
    std::mt19937 random(4);
    for (std::size_t at = 0; at < kSize;) {
      const std::size_t chunk = std::min<std::size_t>(1 + random() % 4096, kSize - at);
      try {
        port.PutBlock(outgoing.data() + at, chunk);
        at += chunk;
      } catch (const EComError& e) {
        ASSERT_EQ(e.Code(), -ecPutBlockFailed);  // full for now: nothing was queued
        WaitUntil([&] { return port.OutBuffFree() >= chunk; });
      }
    }
  });
  std::string received;
  std::mt19937 random(5);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (received.size() < kSize && std::chrono::steady_clock::now() < deadline) {
    const std::size_t want = std::min<std::size_t>(1 + random() % 5000, kSize - received.size());
    const std::size_t have = port.InBuffUsed();
    if (have == 0) {
      port.Dispatcher()->WaitForInput(0, 100);
      continue;
    }
    std::string chunk(std::min(want, have), '\0');
    port.GetBlock(chunk.data(), chunk.size());
    received += chunk;
  }
  portWriter.join();
  modemWriter.join();
  modemReader.join();
  EXPECT_TRUE(received == incoming) << "received " << received.size() << " bytes, not the ones sent";
  EXPECT_TRUE(sentSeen == outgoing) << "the modem saw " << sentSeen.size() << " bytes, not the ones put";
}

TEST_F(PortTest, GetPastTheDataFailsAndConsumesNothing) {
  ASSERT_TRUE(pty.Write("ABCDE"));
  ASSERT_TRUE(WaitUntil([&] { return port.InBuffUsed() == 5; }));
  char buffer[8] = {};
  try {
    port.GetBlock(buffer, 6);
    FAIL() << "expected EBufferIsEmpty";
  } catch (const EBufferIsEmpty& e) {
    EXPECT_EQ(e.Code(), -3007);
    EXPECT_STREQ(e.what(), "Buffer is empty");
  }
  EXPECT_THROW(port.PeekChar(6), EBufferIsEmpty);
  EXPECT_EQ(port.InBuffUsed(), 5u);
  EXPECT_EQ(port.PeekChar(2), 'B');
  port.GetBlock(buffer, 5);
  EXPECT_EQ(std::string(buffer, 5), "ABCDE");
  EXPECT_THROW(port.GetChar(), EBufferIsEmpty);
}

TEST_F(PortTest, TheInputRingHoldsExactly8192AndTheRestWaitsInTheDriver) {
  const std::string data = RandomBytes(8192 + 3000, 9);
  ASSERT_TRUE(pty.Write(data));
  ASSERT_TRUE(WaitUntil([&] { return port.InBuffUsed() == 8192; }));
  EXPECT_EQ(port.InBuffFree(), 0u);
  std::string first(4096, '\0');
  port.GetBlock(first.data(), first.size());
  ASSERT_TRUE(WaitUntil([&] { return port.InBuffUsed() == 8192 - 4096 + 3000; }));
  std::string rest(8192 - 4096 + 3000, '\0');
  port.GetBlock(rest.data(), rest.size());
  EXPECT_TRUE(first + rest == data);
}

TEST_F(PortTest, WaitForStringConsumesUpToTheMatchAndTimesOut) {
  std::string seen;
  port.OnWaitChar = [&](TKvCustomComPort&, char c) { seen += c; };
  ASSERT_TRUE(pty.Write("\r\nCONNECT 9600\r\nrest"));
  EXPECT_TRUE(port.WaitForString("connect", 36, true));
  EXPECT_EQ(seen, "\r\nCONNECT");
  EXPECT_FALSE(port.WaitForString("NO CARRIER", 2));
  EXPECT_EQ(port.InBuffUsed(), 0u);
  std::thread later([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    pty.Write("OK\r\n");
  });
  EXPECT_TRUE(port.WaitForString("OK\r\n", 36));
  later.join();
}

TEST_F(PortTest, LineSettingsReachTheDevice) {
  auto settings = [&] {
    termios tio{};
    EXPECT_EQ(::tcgetattr(pty.Master(), &tio), 0);
    return tio;
  };
  termios tio = settings();
  EXPECT_EQ(::cfgetospeed(&tio), B19200);
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_FALSE(tio.c_cflag & PARENB);
  port.SetBaud(9600);
  port.SetStopBits(2);
  tio = settings();
  EXPECT_EQ(::cfgetospeed(&tio), B9600);
  EXPECT_TRUE(tio.c_cflag & CSTOPB);
  EXPECT_THROW(port.SetBaud(12345), EComError);  // no such speed
  EXPECT_EQ(port.Baud(), 9600u);

  port.SetHWFlowOptions(hwfUseRTS | hwfRequireCTS);
  port.SetSWFlowOptions(swfBoth);
  port.SetXOnChar(0x21);
  tio = settings();
  EXPECT_TRUE(tio.c_cflag & CRTSCTS);
  EXPECT_TRUE(tio.c_iflag & IXON);
  EXPECT_TRUE(tio.c_iflag & IXOFF);
  EXPECT_EQ(tio.c_cc[VSTART], 0x21);
  EXPECT_EQ(tio.c_cc[VSTOP], 19);
  port.SetSWFlowOptions(swfTransmit);
  tio = settings();
  EXPECT_TRUE(tio.c_iflag & IXON);
  EXPECT_FALSE(tio.c_iflag & IXOFF);

  port.SetBufferFull(5000);  // beyond InSize
  EXPECT_THROW(port.SetHWFlowOptions(hwfUseRTS), EBadArgument);
  port.SetBufferFull(3000);
  port.SetBufferResume(1000);
  port.SetHWFlowOptions(0);
  EXPECT_FALSE(settings().c_cflag & CRTSCTS);

  // Some kernels refuse parity and short characters on pseudo-terminals:
  // then the port reports the system's error and keeps the old setting.
  try {
    port.SetParity(pOdd);
    EXPECT_TRUE(settings().c_cflag & PARENB);
    EXPECT_TRUE(settings().c_cflag & PARODD);
  } catch (const EComError& e) {
    EXPECT_EQ(e.Code(), -EINVAL);
    EXPECT_EQ(port.Parity(), pNone);
    EXPECT_FALSE(settings().c_cflag & PARENB);
  }
  try {
    port.SetDataBits(7);
    EXPECT_EQ(settings().c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
  } catch (const EComError& e) {
    EXPECT_EQ(e.Code(), -EINVAL);
    EXPECT_EQ(port.DataBits(), 8);
    EXPECT_EQ(settings().c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  }
  EXPECT_THROW(port.SetDataBits(9), EBadArgument);
}

TEST_F(PortTest, PseudoTerminalsHaveNoModemLinesAndThatIsNoError) {
  EXPECT_FALSE(port.ModemStatusKnown());
  EXPECT_EQ(port.ModemStatus(), 0);
  EXPECT_FALSE(port.DCD());
  port.SetDTR(false);
  port.SetRTS(false);
  port.SetDTR(true);
  port.SendBreak(1);
  EXPECT_EQ(port.LineError(), 0);
}

TEST_F(PortTest, FlushesDiscardInputAndOutput) {
  ASSERT_TRUE(pty.Write("stale"));
  ASSERT_TRUE(WaitUntil([&] { return port.InBuffUsed() == 5; }));
  port.FlushInBuffer();
  EXPECT_EQ(port.InBuffUsed(), 0u);
  port.FlushOutBuffer();
  EXPECT_EQ(port.OutBuffUsed(), 0u);
  port.PutString("ATZ\r");
  EXPECT_EQ(pty.Read(4), "ATZ\r");
}

TEST_F(PortTest, TraceDumpShowsBothDirections) {
  testing::TempDir dir;
  port.SetTraceName(dir.File("KOVA.TRC"));
  port.SetTracing(tlOn);
  port.PutString("AT\r");
  ASSERT_EQ(pty.Read(3), "AT\r");
  ASSERT_TRUE(pty.Write("\r\nOK\r\n"));
  ASSERT_TRUE(port.WaitForString("OK\r\n", 36));
  port.SetTracing(tlDump);
  EXPECT_EQ(port.Tracing(), tlOff);
  EXPECT_EQ(testing::ReadText(dir.File("KOVA.TRC")), "Transmit: AT[0D]\nReceive: [0D][0A]OK[0D][0A]\n\n");
  EXPECT_THROW(port.SetTracing(tlDump), EComError);  // 3008: tracing is off
}

TEST_F(PortTest, DispatchLogRecordsReadsWritesAndThreads) {
  testing::TempDir dir;
  port.SetLogName(dir.File("KOVA.LOG"));
  port.SetLogging(tlOn);
  port.PutString("AT\r");
  ASSERT_EQ(pty.Read(3), "AT\r");
  ASSERT_TRUE(pty.Write("OK"));
  ASSERT_TRUE(WaitUntil([&] { return port.InBuffUsed() == 2; }));
  port.SetOpen(false);  // closing writes the log
  const std::string text = testing::ReadText(dir.File("KOVA.LOG"));
  EXPECT_EQ(text.rfind("KOVA v2.56\n", 0), 0u);
  EXPECT_NE(text.find("  Dispatch  WriteCom      00000003  "), std::string::npos) << text;
  EXPECT_NE(text.find("  Dispatch  ReadCom       00000002  "), std::string::npos) << text;
  EXPECT_NE(text.find("  Thread    Exit          "), std::string::npos) << text;
}

}  // namespace
}  // namespace tlm
