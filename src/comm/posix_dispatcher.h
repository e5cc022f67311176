#pragma once
// The device layer for serial devices on Linux (selected by dlWin32, the
// platform's native layer): termios for line settings, poll() for input and
// output readiness, TIOCMGET/TIOCMBIS/TIOCMBIC for the modem lines,
// TIOCGICOUNT for line errors, tcflush and break ioctls.
//
// Flow control: RTS/CTS handshake is CRTSCTS (the kernel drives RTS and
// honours CTS together). Linux has no DTR/DSR flow control: with hwfUseDTR
// DTR is simply kept raised, and hwfRequireDSR is not enforced. XON/XOFF is
// IXON/IXOFF; the kernel chooses its own input thresholds, so the XON and
// XOFF limits are recorded but have no effect. Driver queue sizes are
// fixed by the kernel; InSize and OutSize size nothing there.
// The modem lines and line-error counters are read on every dispatch pass
// (50 ms), since TIOCMIWAIT cannot be combined with poll().
// Pseudo-terminals have no modem lines: their status reads as unknown and
// setting DTR or RTS on them succeeds without effect.
#include <termios.h>

#include <cstdint>

#include "comm/dispatcher.h"

namespace tlm {

class TKvPosixDispatcher final : public TKvBaseDispatcher {
 public:
  TKvPosixDispatcher() = default;
  ~TKvPosixDispatcher() override;

 protected:
  int OpenCom(const std::string& device) override;
  int SetupCom(int inSize, int outSize) override;
  void CloseCom() override;
  int GetComState(TDeviceControlBlock& dcb) override;
  int SetComState(const TDeviceControlBlock& dcb) override;
  int ReadCom(std::uint8_t* bytes, std::size_t count) override;
  int InQueue() override;
  int WriteCom(const std::uint8_t* bytes, std::size_t count) override;
  int WaitWritable(std::int64_t timeoutMs) override;
  void CancelWrite() override;
  int FlushCom(bool input) override;
  int EscapeComFunction(TEscape function) override;
  std::uint16_t GetLineErrors() override;
  int GetModemLines() override;
  int WaitComEvent(bool wantInput, std::int64_t timeoutMs) override;
  void WakeComEvent() override;
  int WaitReadable(std::int64_t timeoutMs) override;
  int SetRs485Mode(bool on) override;

 private:
  void CloseDescriptors();

  int fd_ = -1;
  int comWakeFd_ = -1;     // wakes the comm thread's poll
  int writeCancelFd_ = -1; // wakes a write waiting for room
  termios original_{};
  bool haveOriginal_ = false;
  bool countsKnown_ = false;
  int lastFrame_ = 0, lastOverrun_ = 0, lastParity_ = 0, lastBreak_ = 0, lastBufOverrun_ = 0;
};

// The termios speed for a bit rate, or 0 when there is none.
speed_t BaudToSpeed(std::uint32_t baud);
std::uint32_t SpeedToBaud(speed_t speed);

}  // namespace tlm
