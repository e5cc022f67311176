#include "comm/com_port.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "comm/posix_dispatcher.h"
#include "comm/posix_serial.h"
#include "platform/com_ports.h"
#include "platform/main_thread_bridge.h"
#include "platform/os_error.h"

namespace tlm {
namespace {

constexpr int kCloseDrainMs = 2000;

std::mutex& PromptLock() {
  static std::mutex lock;
  return lock;
}

std::function<int()>& PortPrompt() {
  static std::function<int()> prompt;
  return prompt;
}

// Finishes a close that had to wait for a running dispatch: re-posted to the
// main thread until the dispatch thread has left its loop.
void PostDeferredClose(MainThreadBridge* bridge, std::shared_ptr<TKvBaseDispatcher> dispatcher,
                       std::function<void()> finish) {
  bridge->Post([bridge, dispatcher, finish] {
    if (!dispatcher->DispatchLoopEnded()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      PostDeferredClose(bridge, dispatcher, finish);
      return;
    }
    finish();
  });
}

}  // namespace

TKvCustomComPort::TKvCustomComPort() = default;

TKvCustomComPort::~TKvCustomComPort() {
  try {
    ClosePort();
  } catch (...) {
    // Closing cannot report anything from a destructor.
  }
}

void TKvCustomComPort::SetPortPrompt(std::function<int()> prompt) {
  std::lock_guard lock(PromptLock());
  PortPrompt() = std::move(prompt);
}

std::string TKvCustomComPort::DevicePath() const {
  if (!deviceName_.empty()) return deviceName_;
  return comNumber_ > 0 ? ComDevicePath(comNumber_) : std::string();
}

void TKvCustomComPort::Check(int result) {
  if (result >= 0) return;
  if (result <= -1000) RaiseComError(result);
  RaiseOsError(-result, DevicePath());
}

TKvBaseDispatcher& TKvCustomComPort::Active() {
  if (!dispatcher_) {
    if (!autoOpen_) RaiseComError(ecNotOpen);
    OpenPort();
  }
  return *dispatcher_;
}

// ---- opening and closing ---------------------------------------------------

void TKvCustomComPort::SetOpen(bool open) {
  if (open) OpenPort();
  else ClosePort();
}

void TKvCustomComPort::OpenPort() {
  if (dispatcher_) return;
  if (deviceLayer_ != dlWin32) RaiseComError(ecNoDeviceLayer);
  if (deviceName_.empty() && comNumber_ == 0 && tapiMode_ != tmOn) {
    if (!promptForPort_) RaiseComError(ecNoPortSelected);
    std::function<int()> prompt;
    {
      std::lock_guard lock(PromptLock());
      prompt = PortPrompt();
    }
    const int chosen = prompt ? prompt() : 0;
    if (chosen <= 0) RaiseComError(ecNoPortSelected);
    comNumber_ = chosen;
  }
  const std::string path = DevicePath();
  if (path.empty()) RaiseComError(ecBadId, "COM" + std::to_string(comNumber_));

  auto dispatcher = std::make_shared<TKvPosixDispatcher>();
  dispatcher->SetMainThreadBridge(bridge_);
  const int result = dispatcher->OpenPort(path, inSize_, outSize_, dtr_, rts_, baud_, parity_, dataBits_, stopBits_);
  if (result < 0) {
    if (result <= -1000) RaiseComError(result, path);
    throw EPortOpenError(result, OsErrorText(-result) + " (" + OpenErrorDetail(result, path) + ")");
  }
  dispatcher->StartDispatcher();
  dispatcher_ = dispatcher;
  try {
    ApplyTraceLog();
    ApplyFlow();
    if (rs485_) Check(dispatcher->SetRs485(true));
    windowHandlerId_ = dispatcher->RegisterHandler(
        THandlerKind::kWindow,
        [this](std::uint16_t msg, std::uint16_t trigger, std::uint32_t data) { HandleNotification(msg, trigger, data); },
        false, bridge_, [this] { return HasEvents(); });
    if (haveSavedTriggers_) dispatcher->RestoreTriggers(savedTriggers_);
  } catch (...) {
    ClosePort();
    throw;
  }
}

void TKvCustomComPort::ClosePort() {
  if (!dispatcher_) return;
  std::shared_ptr<TKvBaseDispatcher> dispatcher = std::move(dispatcher_);
  savedTriggers_ = dispatcher->SaveTriggers();  // restored by the next open
  haveSavedTriggers_ = true;
  // What was already put is sent before the device closes.
  for (int waited = 0; waited < kCloseDrainMs && dispatcher->OutBuffUsed() > 0 && !dispatcher->DeviceLostErrno();
       waited += 2) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  // After the threads have stopped, tracing and logging are written out.
  auto finish = [dispatcher, trace = tracing_ == tlOn || tracing_ == tlPause, traceName = traceName_,
                 traceHex = traceHex_, log = logging_ == tlOn || logging_ == tlPause, logName = logName_] {
    dispatcher->ClosePort();
    if (trace) dispatcher->Trace().Dump(traceName, false, traceHex);
    if (log) dispatcher->Log().Dump(logName, false);
  };
  if (dispatcher->DispatchingNow() && !dispatcher->OnDispatchThread() && bridge_) {
    // A handler is running (perhaps waiting for this very thread): stop the
    // threads and finish the close once the dispatch has returned.
    dispatcher->Log().Add(ltDispatch, lsExit, kMsgPortClose);
    dispatcher->RequestClose();
    PostDeferredClose(bridge_, dispatcher, finish);
    return;
  }
  finish();
}

void TKvCustomComPort::Reopen() {
  if (!dispatcher_) return;
  ClosePort();
  OpenPort();
}

// ---- properties ----------------------------------------------------------------

void TKvCustomComPort::SetDeviceLayer(TDeviceLayer layer) {
  if (layer < dlWin16 || layer > dlWinsock) RaiseComError(ecBadArgument);
  deviceLayer_ = layer;
}

void TKvCustomComPort::SetComNumber(int number) {
  if (number < 0 || number > 0xFFFF) RaiseComError(ecBadArgument);
  if (number == comNumber_) return;
  comNumber_ = number;
  Reopen();
}

void TKvCustomComPort::SetDeviceName(const std::string& path) {
  if (path == deviceName_) return;
  deviceName_ = path;
  Reopen();
}

void TKvCustomComPort::SetBaud(std::uint32_t baud) {
  if (dispatcher_) Check(dispatcher_->SetLine(baud, parity_, dataBits_, stopBits_));
  baud_ = baud;
}

void TKvCustomComPort::SetParity(TParity parity) {
  if (parity < pNone || parity > pSpace) RaiseComError(ecBadArgument);
  if (dispatcher_) Check(dispatcher_->SetLine(baud_, parity, dataBits_, stopBits_));
  parity_ = parity;
}

void TKvCustomComPort::SetDataBits(int bits) {
  if (bits < 5 || bits > 8) RaiseComError(ecBadArgument);
  if (dispatcher_) Check(dispatcher_->SetLine(baud_, parity_, bits, stopBits_));
  dataBits_ = bits;
}

void TKvCustomComPort::SetStopBits(int bits) {
  if (bits != 1 && bits != 2) RaiseComError(ecBadArgument);
  if (dispatcher_) Check(dispatcher_->SetLine(baud_, parity_, dataBits_, bits));
  stopBits_ = bits;
}

void TKvCustomComPort::SetInSize(int size) {
  if (size <= 0 || size > 0xFFFF) RaiseComError(ecBadArgument);
  inSize_ = size;
}

void TKvCustomComPort::SetOutSize(int size) {
  if (size <= 0 || size > 0xFFFF) RaiseComError(ecBadArgument);
  if (size == outSize_) return;
  outSize_ = size;
  Reopen();
}

void TKvCustomComPort::SetDTR(bool on) {
  if (dispatcher_) Check(dispatcher_->SetDTR(on));
  dtr_ = on;
}

void TKvCustomComPort::SetRTS(bool on) {
  if (dispatcher_) Check(dispatcher_->SetRTS(on));
  rts_ = on;
}

void TKvCustomComPort::SetHWFlowOptions(THWFlowOptions options) {
  const THWFlowOptions old = hwFlow_;
  hwFlow_ = options;
  try {
    if (dispatcher_) ApplyFlow();
  } catch (...) {
    hwFlow_ = old;
    throw;
  }
}

void TKvCustomComPort::SetSWFlowOptions(TSWFlowOptions options) {
  swFlow_ = options;
  if (dispatcher_) ApplyFlow();
}

void TKvCustomComPort::SetXOnChar(std::uint8_t c) {
  xonChar_ = c;
  if (dispatcher_) ApplyFlow();
}

void TKvCustomComPort::SetXOffChar(std::uint8_t c) {
  xoffChar_ = c;
  if (dispatcher_) ApplyFlow();
}

void TKvCustomComPort::SetBufferFull(int bytes) {
  if (bytes < 0) RaiseComError(ecBadArgument);
  bufferFull_ = bytes;
}

void TKvCustomComPort::SetBufferResume(int bytes) {
  if (bytes < 0) RaiseComError(ecBadArgument);
  bufferResume_ = bytes;
}

void TKvCustomComPort::SetRS485Mode(bool on) {
  rs485_ = on;
  if (dispatcher_) {
    ApplyFlow();
    Check(dispatcher_->SetRs485(on));
  }
}

void TKvCustomComPort::ApplyFlow() {
  if (bufferFull_ > inSize_ || bufferResume_ > bufferFull_) RaiseComError(ecBadArgument);
  TDeviceControlBlock flow = dispatcher_->ControlBlock();
  flow.dtrControl = (hwFlow_ & hwfUseDTR) ? dtrHandshake : dtr_ ? dtrEnable : dtrDisable;
  flow.rtsControl = (hwFlow_ & hwfUseRTS) ? rtsHandshake : rs485_ ? rtsToggle : rts_ ? rtsEnable : rtsDisable;
  flow.outDsrFlow = (hwFlow_ & hwfRequireDSR) != 0;
  flow.outCtsFlow = (hwFlow_ & hwfRequireCTS) != 0;
  flow.xoffLimit = static_cast<std::uint16_t>(inSize_ - bufferFull_);
  flow.xonLimit = static_cast<std::uint16_t>(bufferResume_);
  flow.inX = swFlow_ == swfReceive || swFlow_ == swfBoth;
  flow.outX = swFlow_ == swfTransmit || swFlow_ == swfBoth;
  flow.xonChar = xonChar_;
  flow.xoffChar = xoffChar_;
  Check(dispatcher_->SetFlowControl(flow));
}

// ---- tracing and logging ----------------------------------------------------------

void TKvCustomComPort::ApplyTraceLog() {
  if (tracing_ == tlOn || tracing_ == tlPause) {
    Check(dispatcher_->Trace().Start(traceSize_));
    dispatcher_->Trace().SetPaused(tracing_ == tlPause);
  }
  if (logging_ == tlOn || logging_ == tlPause) {
    Check(dispatcher_->Log().Start(logSize_));
    dispatcher_->Log().SetPaused(logging_ == tlPause);
  }
}

void TKvCustomComPort::SetTracing(TTraceLogState state) {
  if (!dispatcher_) {
    if (state == tlDump || state == tlAppend) RaiseComError(ecTracingNotEnabled);
    tracing_ = state == tlClear ? tlOn : state;
    return;
  }
  TraceRing& trace = dispatcher_->Trace();
  switch (state) {
    case tlOff:
      trace.Stop();
      tracing_ = tlOff;
      break;
    case tlOn:
      Check(trace.Start(traceSize_));
      tracing_ = tlOn;
      break;
    case tlDump:
    case tlAppend: {
      if (!trace.Allocated()) RaiseComError(ecTracingNotEnabled);
      const int result = trace.Dump(traceName_, state == tlAppend, traceHex_);
      trace.Stop();
      tracing_ = tlOff;
      if (result < 0) RaiseOsError(-result, traceName_);
      break;
    }
    case tlClear:
      if (!trace.Allocated()) Check(trace.Start(traceSize_));
      trace.Clear();
      tracing_ = tlOn;
      break;
    case tlPause:
      if (!trace.Allocated()) Check(trace.Start(traceSize_));
      trace.SetPaused(true);
      tracing_ = tlPause;
      break;
  }
}

void TKvCustomComPort::SetLogging(TTraceLogState state) {
  if (!dispatcher_) {
    if (state == tlDump || state == tlAppend) RaiseComError(ecLoggingNotEnabled);
    logging_ = state == tlClear ? tlOn : state;
    return;
  }
  DispatchLog& log = dispatcher_->Log();
  switch (state) {
    case tlOff:
      log.Stop();
      logging_ = tlOff;
      break;
    case tlOn:
      Check(log.Start(logSize_));
      logging_ = tlOn;
      break;
    case tlDump:
    case tlAppend: {
      if (!log.Allocated()) RaiseComError(ecLoggingNotEnabled);
      const int result = log.Dump(logName_, state == tlAppend);
      log.Stop();
      logging_ = tlOff;
      if (result < 0) RaiseOsError(-result, logName_);
      break;
    }
    case tlClear:
      if (!log.Allocated()) Check(log.Start(logSize_));
      log.Clear();
      logging_ = tlOn;
      break;
    case tlPause:
      if (!log.Allocated()) Check(log.Start(logSize_));
      log.SetPaused(true);
      logging_ = tlPause;
      break;
  }
}

void TKvCustomComPort::SetTraceSize(int entries) {
  if (entries <= 0 || entries > kMaxTraceSize) RaiseComError(ecBadArgument);
  traceSize_ = entries;
}

void TKvCustomComPort::SetLogSize(int entries) {
  if (entries <= 0 || entries > kMaxLogSize) RaiseComError(ecBadArgument);
  logSize_ = entries;
}

// ---- events --------------------------------------------------------------------

bool TKvCustomComPort::HasEvents() const {
  return OnTrigger || OnTriggerAvail || OnTriggerData || OnTriggerStatus || OnTriggerTimer || OnTriggerLineError ||
         OnTriggerModemStatus || OnTriggerOutbuffFree || OnTriggerOutbuffUsed || OnTriggerOutSent;
}

void TKvCustomComPort::HandleNotification(std::uint16_t msg, std::uint16_t trigger, std::uint32_t data) {
  const std::uint16_t value = static_cast<std::uint16_t>(data & 0xFFFF);
  try {
    if (OnTrigger) OnTrigger(*this, msg, trigger, data);
    switch (msg) {
      case kMsgTriggerAvail:
        if (OnTriggerAvail) OnTriggerAvail(*this, value);
        break;
      case kMsgTriggerData:
        if (OnTriggerData) OnTriggerData(*this, trigger);
        break;
      case kMsgTriggerTimer:
        if (OnTriggerTimer) OnTriggerTimer(*this, trigger);
        break;
      case kMsgTriggerStatus:
        if (OnTriggerStatus) OnTriggerStatus(*this, trigger);
        switch (trigger & 7) {
          case stModem:
            if (OnTriggerModemStatus) OnTriggerModemStatus(*this);
            break;
          case stLine:
            if (OnTriggerLineError) OnTriggerLineError(*this, value, (value & leBreak) != 0);
            break;
          case stOutBuffFree:
            if (OnTriggerOutbuffFree) OnTriggerOutbuffFree(*this);
            break;
          case stOutBuffUsed:
            if (OnTriggerOutbuffUsed) OnTriggerOutbuffUsed(*this);
            break;
          case stOutSent:
            if (OnTriggerOutSent) OnTriggerOutSent(*this);
            break;
          default: break;
        }
        break;
      default: break;
    }
  } catch (const std::exception& e) {
    if (OnHandlerError) OnHandlerError(*this, e.what());
    else std::fprintf(stderr, "tolmera: serial port event failed: %s\n", e.what());
  }
}

}  // namespace tlm
