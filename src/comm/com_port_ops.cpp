// The port component's operations: input, output, signals and triggers.
#include <cctype>
#include <chrono>

#include "comm/com_port.h"

namespace tlm {

// ---- output ------------------------------------------------------------------

void TKvCustomComPort::PutChar(char c) { PutBlock(&c, 1); }

void TKvCustomComPort::PutString(const std::string& text) { PutBlock(text.data(), text.size()); }

void TKvCustomComPort::PutBlock(const void* bytes, std::size_t count) {
  Check(Active().PutBlock(static_cast<const std::uint8_t*>(bytes), count));
}

std::size_t TKvCustomComPort::OutBuffUsed() { return Active().OutBuffUsed(); }
std::size_t TKvCustomComPort::OutBuffFree() { return Active().OutBuffFree(); }
void TKvCustomComPort::FlushOutBuffer() { Check(Active().FlushOutBuffer()); }

// ---- input -------------------------------------------------------------------

bool TKvCustomComPort::CharReady() { return Active().InBuffUsed() > 0; }
std::size_t TKvCustomComPort::InBuffUsed() { return Active().InBuffUsed(); }
std::size_t TKvCustomComPort::InBuffFree() { return Active().InBuffFree(); }

char TKvCustomComPort::GetChar() {
  char c = 0;
  GetBlock(&c, 1);
  return c;
}

void TKvCustomComPort::GetBlock(void* bytes, std::size_t count) {
  Check(Active().GetBlock(static_cast<std::uint8_t*>(bytes), count));
}

char TKvCustomComPort::PeekChar(std::size_t n) {
  if (n == 0) RaiseComError(ecBadArgument);
  std::uint8_t c = 0;
  Check(Active().PeekBlock(n - 1, &c, 1));
  return static_cast<char>(c);
}

void TKvCustomComPort::PeekBlock(void* bytes, std::size_t count) {
  Check(Active().PeekBlock(0, static_cast<std::uint8_t*>(bytes), count));
}

void TKvCustomComPort::FlushInBuffer() { Check(Active().FlushInBuffer()); }

bool TKvCustomComPort::WaitForString(const std::string& text, std::int32_t timeoutTicks, bool ignoreCase) {
  TKvBaseDispatcher& dispatcher = Active();
  if (text.empty()) return true;
  auto same = [ignoreCase](char a, char b) {
    return ignoreCase ? std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b))
                      : a == b;
  };
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(std::int64_t(std::max(timeoutTicks, 0)) * kMsPerTick);
  std::string recent;
  for (;;) {
    std::uint8_t byte = 0;
    while (dispatcher.GetBlock(&byte, 1) == 0) {
      const char c = static_cast<char>(byte);
      if (OnWaitChar) OnWaitChar(*this, c);
      recent += c;
      if (recent.size() > text.size()) recent.erase(0, 1);
      if (recent.size() == text.size() && std::equal(recent.begin(), recent.end(), text.begin(), same)) return true;
    }
    if (const int lost = dispatcher.DeviceLostErrno()) Check(-lost);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    dispatcher.WaitForInput(0, left.count());
  }
}

// ---- signals and status ----------------------------------------------------------

void TKvCustomComPort::SendBreak(int ms) { Check(Active().SendBreak(ms)); }

std::uint8_t TKvCustomComPort::ModemStatus() {
  TKvBaseDispatcher& dispatcher = Active();
  if (const int lost = dispatcher.DeviceLostErrno()) Check(-lost);
  const std::uint8_t status = dispatcher.ModemStatus();
  lastModemStatus_ = static_cast<std::uint8_t>(status | (lastModemStatus_ & 0x0F));
  return status;
}

bool TKvCustomComPort::ModemStatusKnown() {
  bool known = false;
  const std::uint8_t status = Active().ModemStatus(&known);
  lastModemStatus_ = static_cast<std::uint8_t>(status | (lastModemStatus_ & 0x0F));
  return known;
}

bool TKvCustomComPort::ModemBit(std::uint8_t bit) {
  ModemStatus();
  const bool set = (lastModemStatus_ & bit) != 0;
  if (bit & 0x0F) lastModemStatus_ = static_cast<std::uint8_t>(lastModemStatus_ & ~bit);  // a delta is read once
  return set;
}

bool TKvCustomComPort::CTS() { return ModemBit(msCTS); }
bool TKvCustomComPort::DSR() { return ModemBit(msDSR); }
bool TKvCustomComPort::RI() { return ModemBit(msRI); }
bool TKvCustomComPort::DCD() { return ModemBit(msDCD); }
bool TKvCustomComPort::DeltaCTS() { return ModemBit(msDeltaCTS); }
bool TKvCustomComPort::DeltaDSR() { return ModemBit(msDeltaDSR); }
bool TKvCustomComPort::DeltaRI() { return ModemBit(msTrailingRI); }
bool TKvCustomComPort::DeltaDCD() { return ModemBit(msDeltaDCD); }

std::uint16_t TKvCustomComPort::LineError() { return Active().LineError(); }

bool TKvCustomComPort::LineBreak() {
  bool breakSeen = false;
  Active().LineError(&breakSeen);
  return breakSeen;
}

// ---- triggers ------------------------------------------------------------------

int TKvCustomComPort::AddTimerTrigger() {
  const int handle = Active().AddTimerTrigger();
  Check(handle);
  return handle;
}

void TKvCustomComPort::SetTimerTrigger(int handle, std::int32_t ticks, bool activate) {
  Check(Active().SetTimerTrigger(handle, ticks, activate));
}

int TKvCustomComPort::AddDataTrigger(const std::string& match, bool ignoreCase) {
  const int handle = Active().AddDataTrigger(match, ignoreCase);
  Check(handle);
  return handle;
}

int TKvCustomComPort::AddStatusTrigger(int type) {
  const int handle = Active().AddStatusTrigger(type);
  Check(handle);
  return handle;
}

void TKvCustomComPort::SetStatusTrigger(int handle, std::uint16_t value, bool activate) {
  Check(Active().SetStatusTrigger(handle, value, activate));
}

void TKvCustomComPort::SetTriggerAvail(std::uint32_t bytes) { Check(Active().SetTriggerAvail(bytes)); }

void TKvCustomComPort::RemoveTrigger(int handle) { Check(Active().RemoveTrigger(handle)); }

int TKvCustomComPort::RegisterProcedureHandler(TTriggerCallback fn) {
  return Active().RegisterHandler(THandlerKind::kProcedure, std::move(fn));
}

int TKvCustomComPort::RegisterMethodHandler(TTriggerCallback fn, bool syncMain) {
  return Active().RegisterHandler(THandlerKind::kMethod, std::move(fn), syncMain);
}

int TKvCustomComPort::RegisterWindowHandler(MainThreadBridge* bridge, TTriggerCallback fn) {
  return Active().RegisterHandler(THandlerKind::kWindow, std::move(fn), false, bridge);
}

void TKvCustomComPort::DeregisterTriggerHandler(int id) {
  if (!dispatcher_) return;  // handlers end with the port
  Check(dispatcher_->DeregisterHandler(id));
}

}  // namespace tlm
