// Input, output, line settings and signals of a dispatcher.
#include <algorithm>
#include <chrono>
#include <thread>

#include "comm/comm_types.h"
#include "comm/dispatcher.h"

namespace tlm {
namespace {

constexpr int kDrainPollMs = 2;
constexpr int kDrainPolls = 5000;
constexpr int kDrainCharacters = 18;

int BitsPerCharacter(const TDeviceControlBlock& dcb) {
  return 1 + dcb.dataBits + (dcb.parity != pNone ? 1 : 0) + (dcb.stopBits == 2 ? 2 : 1);
}

// The time of 18 characters at the current speed, in whole milliseconds.
int DrainWaitMs(const TDeviceControlBlock& dcb) {
  if (dcb.baud == 0) return 0;
  // In units of 0.1 microsecond, doubled at low speeds.
  std::int64_t units = std::int64_t(10000000 / dcb.baud) * BitsPerCharacter(dcb) * kDrainCharacters;
  if (dcb.baud < 9999) units *= 2;
  return static_cast<int>((units + 9999) / 10000);
}

}  // namespace

// ---- output -----------------------------------------------------------

int TKvBaseDispatcher::PutBlock(const std::uint8_t* bytes, std::size_t count) {
  if (lostErrno_) return -lostErrno_;
  if (!deviceOpen_ || closing_) return -ecNotOpen;
  if (count == 0) return 0;
  if (count > outSize_) return -ecOutputTooSmall;
  {
    std::lock_guard lock(outputLock_);
    if (output_.Free() < count) return -ecPutBlockFailed;
    output_.Write(bytes, count);
  }
  trace_.Add('T', bytes, count);
  log_.Add(ltDispatch, lsWriteCom, static_cast<std::uint32_t>(count));
  outputReady_.Set();
  return 0;
}

std::size_t TKvBaseDispatcher::OutBuffUsed() {
  std::lock_guard lock(outputLock_);
  return output_.Used();
}

std::size_t TKvBaseDispatcher::OutBuffFree() {
  std::lock_guard lock(outputLock_);
  return output_.Free();
}

int TKvBaseDispatcher::FlushOutBuffer() {
  {
    std::lock_guard lock(outputLock_);
    output_.Advance(output_.Used());
    ++outputGeneration_;
  }
  CancelWrite();  // a write waiting for room looks again
  if (lostErrno_) return 0;
  std::scoped_lock lock(dispatcherLock_);
  return deviceOpen_ ? FlushCom(false) : -ecNotOpen;
}

// ---- input ------------------------------------------------------------

std::size_t TKvBaseDispatcher::AvailableLocked() const {
  const std::size_t used = input_.Used();
  const std::size_t taken = TentativeHere() ? tentativeRead_ : 0;
  return used > taken ? used - taken : 0;
}

void TKvBaseDispatcher::ConsumeLocked(std::size_t count) {
  count = std::min(count, input_.Used());
  input_.Advance(count);
  consumed_ += count;
  if (overflowPending_) wakeDispatch_.Set();  // room again for what waits in the driver
}

int TKvBaseDispatcher::GetBlock(std::uint8_t* bytes, std::size_t count) {
  std::lock_guard lock(inputLock_);
  if (AvailableLocked() < count) return -ecBufferIsEmpty;
  const std::size_t offset = TentativeHere() ? tentativeRead_ : 0;
  input_.Peek(offset, bytes, count);
  if (TentativeHere()) tentativeRead_ += count;
  else ConsumeLocked(count);
  return 0;
}

int TKvBaseDispatcher::PeekBlock(std::size_t offset, std::uint8_t* bytes, std::size_t count) {
  std::lock_guard lock(inputLock_);
  if (AvailableLocked() < offset + count) return -ecBufferIsEmpty;
  input_.Peek(offset + (TentativeHere() ? tentativeRead_ : 0), bytes, count);
  return 0;
}

std::size_t TKvBaseDispatcher::InBuffUsed() {
  std::lock_guard lock(inputLock_);
  return AvailableLocked();
}

std::size_t TKvBaseDispatcher::InBuffFree() {
  std::lock_guard lock(inputLock_);
  return input_.Free();
}

int TKvBaseDispatcher::FlushInBuffer() {
  {
    std::lock_guard lock(inputLock_);
    if (TentativeHere()) tentativeRead_ = input_.Used();
    else ConsumeLocked(input_.Used());
    checked_ = std::max(checked_, consumed_);
  }
  if (lostErrno_) return 0;
  std::scoped_lock lock(dispatcherLock_);
  return deviceOpen_ ? FlushCom(true) : -ecNotOpen;
}

void TKvBaseDispatcher::NoteInputArrived() {
  {
    std::lock_guard lock(inputLock_);
  }
  inputArrived_.notify_all();
}

bool TKvBaseDispatcher::WaitForInput(std::size_t seen, std::int64_t timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max<std::int64_t>(timeoutMs, 0));
  if (OnDispatchThread()) {
    // The dispatch thread is busy in this handler: read the device itself.
    for (;;) {
      if (InBuffUsed() > seen) return true;
      if (closing_ || lostErrno_) return false;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      const int readable = WaitReadable(std::min<std::int64_t>(left.count(), kDispatchPassMs));
      if (readable < 0) DeviceLost(-readable);
      else if (readable > 0) ReadIntoRing();
    }
  }
  std::unique_lock lock(inputLock_);
  return inputArrived_.wait_until(lock, deadline, [&] { return AvailableLocked() > seen || closing_ || lostErrno_; }) &&
         AvailableLocked() > seen;
}

int TKvBaseDispatcher::ReadIntoRing() {
  int total = 0;
  int error = 0;
  const bool wasPending = overflowPending_;
  {
    std::scoped_lock lock(dispatcherLock_, inputLock_);
    if (!deviceOpen_ || lostErrno_) return 0;
    for (;;) {
      std::size_t room = 0;
      std::uint8_t* to = input_.WritePointer(room);
      if (room == 0) {
        // The ring is full: the rest waits in the driver until handlers read.
        overflowPending_ = InQueue() > 0;
        break;
      }
      const int got = ReadCom(to, room);
      if (got <= 0) {
        overflowPending_ = false;
        if (got < 0) error = -got;
        break;
      }
      input_.CommitWrite(static_cast<std::size_t>(got));
      trace_.Add('R', to, static_cast<std::size_t>(got));
      received_ += static_cast<std::uint64_t>(got);
      newDataSinceAvail_ = true;
      total += got;
    }
  }
  if (total > 0) {
    log_.Add(ltDispatch, lsReadCom, static_cast<std::uint32_t>(total));
    NoteInputArrived();
  }
  if (error) DeviceLost(error);
  if (wasPending && !overflowPending_) WakeComEvent();  // the comm thread may watch input again
  return total;
}

void TKvBaseDispatcher::ProcessComEvents(std::uint32_t events) {
  if (events & (evRxChar | evHangup)) {
    ReadIntoRing();
    RunStatusTriggers();
    RunDataTriggers();
  }
  if (events & evHangup) DeviceLost(ENODEV);
}

// ---- line settings and signals -----------------------------------------

int TKvBaseDispatcher::SetLine(std::uint32_t baud, int parity, int dataBits, int stopBits) {
  TDeviceControlBlock next;
  {
    std::scoped_lock lock(dispatcherLock_);
    next = dcb_;
  }
  // Parity 5 and stop bits 9 keep the current values.
  if (parity != 5) next.parity = static_cast<TParity>(parity);
  if (stopBits != 9) next.stopBits = stopBits;
  next.baud = baud;
  next.dataBits = dataBits;
  const TDeviceControlBlock old = ControlBlock();
  if (next.baud == old.baud && next.parity == old.parity && next.dataBits == old.dataBits &&
      next.stopBits == old.stopBits) {
    return 0;
  }
  if (parity < pNone || parity > 5 || dataBits < 5 || dataBits > 8 || (next.stopBits != 1 && next.stopBits != 2)) {
    return -ecBadArgument;
  }
  if (lostErrno_) return -lostErrno_;
  // Let the output already queued leave at the old speed.
  for (int i = 0; i < kDrainPolls && OutBuffUsed() > 0 && !lostErrno_; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kDrainPollMs));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(DrainWaitMs(old)));
  std::scoped_lock lock(dispatcherLock_);
  if (!deviceOpen_) return -ecNotOpen;
  TDeviceControlBlock updated = dcb_;
  updated.baud = next.baud;
  updated.parity = next.parity;
  updated.dataBits = next.dataBits;
  updated.stopBits = next.stopBits;
  const int result = SetComState(updated);
  if (result == 0) dcb_ = updated;
  return result;
}

int TKvBaseDispatcher::SetFlowControl(const TDeviceControlBlock& flow) {
  std::scoped_lock lock(dispatcherLock_);
  if (lostErrno_) return -lostErrno_;
  if (!deviceOpen_) return -ecNotOpen;
  TDeviceControlBlock updated = dcb_;
  updated.dtrControl = flow.dtrControl;
  updated.rtsControl = flow.rtsControl;
  updated.outCtsFlow = flow.outCtsFlow;
  updated.outDsrFlow = flow.outDsrFlow;
  updated.outX = flow.outX;
  updated.inX = flow.inX;
  updated.xonLimit = flow.xonLimit;
  updated.xoffLimit = flow.xoffLimit;
  updated.xonChar = flow.xonChar;
  updated.xoffChar = flow.xoffChar;
  const int result = SetComState(updated);
  if (result == 0) dcb_ = updated;
  return result;
}

TDeviceControlBlock TKvBaseDispatcher::ControlBlock() {
  std::scoped_lock lock(dispatcherLock_);
  return dcb_;
}

int TKvBaseDispatcher::SetDTR(bool on) {
  std::scoped_lock lock(dispatcherLock_);
  if (lostErrno_) return -lostErrno_;
  if (!deviceOpen_) return -ecNotOpen;
  if (dcb_.dtrControl != dtrHandshake) dcb_.dtrControl = on ? dtrEnable : dtrDisable;
  return EscapeComFunction(on ? TEscape::kSetDtr : TEscape::kClearDtr);
}

int TKvBaseDispatcher::SetRTS(bool on) {
  std::scoped_lock lock(dispatcherLock_);
  if (lostErrno_) return -lostErrno_;
  if (!deviceOpen_) return -ecNotOpen;
  if (dcb_.rtsControl != rtsHandshake && dcb_.rtsControl != rtsToggle) dcb_.rtsControl = on ? rtsEnable : rtsDisable;
  return EscapeComFunction(on ? TEscape::kSetRts : TEscape::kClearRts);
}

int TKvBaseDispatcher::SendBreak(int ms) {
  {
    std::scoped_lock lock(dispatcherLock_);
    if (lostErrno_) return -lostErrno_;
    if (!deviceOpen_) return -ecNotOpen;
    const int result = EscapeComFunction(TEscape::kSetBreak);
    if (result < 0) return result;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(std::max(ms, 0)));
  std::scoped_lock lock(dispatcherLock_);
  return deviceOpen_ && !lostErrno_ ? EscapeComFunction(TEscape::kClearBreak) : 0;
}

int TKvBaseDispatcher::SetRs485(bool on) {
  std::scoped_lock lock(dispatcherLock_);
  if (lostErrno_) return -lostErrno_;
  if (!deviceOpen_) return -ecNotOpen;
  return SetRs485Mode(on);
}

bool TKvBaseDispatcher::RefreshModemStatus() {
  std::scoped_lock lock(dispatcherLock_);
  if (!deviceOpen_ || lostErrno_) return false;
  const int lines = GetModemLines();
  if (lines < 0) {
    modemLinesKnown_ = false;
    return false;
  }
  modemLinesKnown_ = true;
  const std::uint8_t now = static_cast<std::uint8_t>(lines & 0xF0);
  const std::uint8_t before = modemStatus_ & 0xF0;
  if (now == before) return false;
  std::uint8_t delta = static_cast<std::uint8_t>((before ^ now) >> 4);
  // The ring bit reports the trailing edge only: RI going off.
  delta = static_cast<std::uint8_t>(delta & ~msTrailingRI);
  if ((before & msRI) && !(now & msRI)) delta |= msTrailingRI;
  modemStatus_ = static_cast<std::uint8_t>(now | (modemStatus_ & 0x0F) | delta);
  log_.Add(ltDispatch, lsModemStatus, modemStatus_, 0, ldModemStatus);
  return true;
}

bool TKvBaseDispatcher::RefreshLineErrors() {
  std::scoped_lock lock(dispatcherLock_);
  if (!deviceOpen_ || lostErrno_) return false;
  const std::uint16_t errors = GetLineErrors() & 0x1F;
  if (errors == 0) return false;
  lineErrors_ |= errors;
  if (errors & leBreak) breakSeen_ = true;
  log_.Add(ltDispatch, lsLineStatus, lineErrors_, 0, ldLineStatus);
  return true;
}

std::uint8_t TKvBaseDispatcher::ModemStatus(bool* known) {
  RefreshModemStatus();
  std::scoped_lock lock(dispatcherLock_);
  if (known) *known = modemLinesKnown_;
  const std::uint8_t status = modemStatus_;
  modemStatus_ &= 0xF0;
  return status;
}

std::uint16_t TKvBaseDispatcher::LineError(bool* breakSeen) {
  RefreshLineErrors();
  std::scoped_lock lock(dispatcherLock_);
  if (breakSeen) *breakSeen = breakSeen_;
  const std::uint16_t errors = lineErrors_;
  lineErrors_ = 0;
  breakSeen_ = false;
  return errors;
}

}  // namespace tlm
