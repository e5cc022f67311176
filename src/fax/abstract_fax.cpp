#include "fax/abstract_fax.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>

#include "comm/com_port.h"
#include "fax/dle.h"
#include "fax/page_data.h"
#include "platform/main_thread_bridge.h"
#include "platform/strings/messages.h"
#include "platform/ticks.h"

namespace tlm {

namespace {

constexpr std::uint32_t kSessionBaud = 19200;
constexpr int kPortBufferSize = 8192;
// How long StopSession lets the abort path run (ending page data, the
// hang-up with its guard times) before it cuts the session off.
constexpr auto kStopWait = std::chrono::seconds(20);
// Events wait for the application's thread in slices of this length, so
// that a session being stopped need not wait for the whole time-out.
constexpr std::int64_t kEventSliceMs = 50;

int CodeOf(const std::exception& e) {
  if (const auto* ce = dynamic_cast<const EComError*>(&e)) return ce->Code();
  return -fax_error::kBadModemResponse;
}

}  // namespace

TKvCustomAbstractFax::TKvCustomAbstractFax() = default;

// The derived destructor has stopped the session already; this is the
// last resort for one that did not: the abort path cannot run any more.
TKvCustomAbstractFax::~TKvCustomAbstractFax() { DetachSession(); }

void TKvCustomAbstractFax::SetComPort(TKvCustomComPort* port) {
  comPort_ = port;
  if (!port) return;
  port->SetDataBits(8);
  port->SetStopBits(1);
  port->SetParity(pNone);
  port->SetBaud(kSessionBaud);
  port->SetInSize(kPortBufferSize);
  port->SetOutSize(kPortBufferSize);
  port->SetHWFlowOptions(hwfUseRTS | hwfRequireCTS);
}

std::string TKvCustomAbstractFax::RemoteID() const {
  std::lock_guard<std::mutex> lock(remoteIdLock_);
  return remoteId_;
}

void TKvCustomAbstractFax::SetRemoteId(std::string_view id) {
  std::lock_guard<std::mutex> lock(remoteIdLock_);
  remoteId_ = std::string(id.substr(0, kStationIdMax));
}

// ---- synchronous commands (application's thread, before the session runs) ----

int TKvCustomAbstractFax::ReadLine(std::string& line, std::int32_t ticks) {
  return ReadLineUntil(line, NewTimer(ticks));
}

int TKvCustomAbstractFax::ReadLineUntil(std::string& line, const TickTimer& deadline) {
  line.clear();
  while (!TimerExpired(deadline)) {
    if (!comPort_->CharReady()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      continue;
    }
    const char c = comPort_->GetChar();
    if (c == '\r' || c == '\n') {
      if (!line.empty()) return 0;
    } else if (static_cast<unsigned char>(c) >= 0x20 && line.size() < kModemLineMax) {
      line += c;  // flow control characters are no part of a line
    }
  }
  return -fax_error::kTimeout;
}

// A command succeeds only on its final "OK" and fails on "ERROR": other
// lines (the first one is the reply) must be followed by one of them within
// the command time-out, so a device that answers one stray line and then falls
// silent, or chatters without end, is not taken for a modem.
int TKvCustomAbstractFax::SendSyncCommand(const std::string& command, std::string* reply) {
  try {
    comPort_->PutString(command + "\r");
    const TickTimer deadline = NewTimer(kCommandTimeoutTicks);
    std::string line;
    bool gotInfo = false;
    while (ReadLineUntil(line, deadline) == 0) {
      if (line == command) continue;  // echo
      const ResultLine result = ClassifyResult(line);
      if (result == ResultLine::kOk) return 0;
      if (result == ResultLine::kError) return -fax_error::kBadModemResponse;
      // Anything else (a stale CONNECT or NO CARRIER included) is no answer
      // yet; the first such line is the command's reply.
      if (!gotInfo && reply) *reply = line;
      gotInfo = true;
    }
    return -fax_error::kBadModemResponse;
  } catch (const std::exception& e) {
    return CodeOf(e);
  }
}

int TKvCustomAbstractFax::SyncCommand(const std::string& command, std::string* reply) {
  if (!comPort_) return -ecNotOpen;
  return SendSyncCommand(command, reply);
}

// A query whose reply is one list line before OK. Modems may put other
// lines first (the echo, unsolicited results such as RING, line noise):
// they are skipped until the list, OK or ERROR arrives, all within one
// command time-out so a chattering modem cannot hold the session.
int TKvCustomAbstractFax::QueryList(const std::string& command, bool (*isList)(std::string_view), std::string& list) {
  list.clear();
  try {
    comPort_->PutString(command + "\r");
    const TickTimer deadline = NewTimer(kCommandTimeoutTicks);
    std::string line;
    while (ReadLineUntil(line, deadline) == 0) {
      const ResultLine result = ClassifyResult(line);
      if (result == ResultLine::kError) return -fax_error::kBadModemResponse;
      if (result == ResultLine::kOk) return list.empty() ? -fax_error::kBadModemResponse : 0;
      if (list.empty() && line != command && isList(line)) list = line;
    }
    // No OK in time: a list alone still counts.
    return list.empty() ? -fax_error::kBadModemResponse : 0;
  } catch (const std::exception& e) {
    return CodeOf(e);
  }
}

int TKvCustomAbstractFax::GetModemClasses(bool sendInit, ClassSupport& support) {
  support = {};
  if (!comPort_) return -ecNotOpen;
  if (sendInit) {
    int rc = SyncCommand(DialOptionInit());
    if (rc != 0) rc = SyncCommand(DialOptionInit());
    if (rc != 0) return -fax_error::kBadModemResponse;
  }
  std::string reply;
  if (QueryList("AT+FCLASS=?", IsClassList, reply) != 0) return -fax_error::kBadModemResponse;
  support = ParseClassList(reply);
  return support.Any() ? 0 : -fax_error::kBadModemResponse;
}

int TKvCustomAbstractFax::GetClass1Speeds(t30::SpeedMask& speeds) {
  speeds = 0;
  if (!comPort_) return -ecNotOpen;
  std::string ftm, frm;
  if (SyncCommand("AT+FCLASS=1") != 0 || QueryList("AT+FTM=?", t30::IsModulationList, ftm) != 0 ||
      QueryList("AT+FRM=?", t30::IsModulationList, frm) != 0)
    return -fax_error::kBadModemResponse;
  speeds = t30::LocalSpeeds(ftm, frm, DesiredBPS);
  return speeds ? 0 : -fax_error::kBadModemResponse;
}

void TKvCustomAbstractFax::SetPortSpeed(std::uint32_t baud) {
  if (baud != 0 && comPort_->Baud() != baud) comPort_->SetBaud(baud);
}

int TKvCustomAbstractFax::PrepareModem() {
  SetPortSpeed(InitBaud ? InitBaud : kSessionBaud);
  comPort_->SetDTR(true);
  comPort_->SetRTS(true);

  TFaxClass use = faxClass_ == fcUnknown ? fcDetect : faxClass_;
  if (use == fcDetect) {
    ClassSupport support;
    if (const int rc = GetModemClasses(true, support); rc != 0) return rc;
    use = ResolveDetectedClass(support);
    if (use == fcUnknown) return -fax_error::kBadModemResponse;
  }
  if (!initSent_) {
    // Each init string gets a second try: a modem that was just opened may
    // miss the first characters.
    const auto initOk = [this](const std::string& s) { return SyncCommand(s) == 0 || SyncCommand(s) == 0; };
    if (!modemInit_.empty() && !initOk(modemInit_)) return -fax_error::kBadModemResponse;
    if (!initOk(DialOptionInit())) return -fax_error::kBadModemResponse;
    initSent_ = true;
  }
  classInUse_ = use;
  table_ = (use == fcClass2 || use == fcClass2_0) ? &class2::TableFor(use) : nullptr;
  if (NormalBaud != 0) {
    Pause(3 * kMsPerTick);
    SetPortSpeed(NormalBaud);
  }
  if (use == fcClass1) return GetClass1Speeds(localSpeeds_);
  return 0;
}

// ---- session start and end ---------------------------------------------------------

int TKvCustomAbstractFax::StartSession(int firstState) {
  if (running_.load()) return -fax_error::kBadModemResponse;
  int rc = 0;
  error_ = 0;
  hangupCode_ = 0;
  userAbort_ = false;
  abortRequested_ = false;
  fileIncomplete_ = false;
  SetRemoteId("");
  if (!comPort_) {
    rc = -ecNotOpen;
  } else {
    try {
      if (!comPort_->Open()) comPort_->SetOpen(true);
      rc = PrepareModem();
    } catch (const std::exception& e) {
      rc = CodeOf(e);
    }
  }
  if (rc == 0) {
    try {
      state_ = 0;
      firstState_ = firstState;
      startPending_ = true;
      inputMode_ = FaxInputMode::kLines;
      lineBuffer_.clear();
      frame_.Reset();
      running_ = true;
      gate_ = std::make_shared<SessionGate>();
      gate_->owner = this;
      timeoutTrigger_ = comPort_->AddTimerTrigger();
      statusTrigger_ = comPort_->AddTimerTrigger();
      abortTrigger_ = comPort_->AddTimerTrigger();
      outFreeTrigger_ = comPort_->AddStatusTrigger(stOutBuffFree);
      outUsedTrigger_ = comPort_->AddStatusTrigger(stOutBuffUsed);
      handlerId_ = comPort_->RegisterProcedureHandler(
          [gate = gate_](std::uint16_t msg, std::uint16_t trigger, std::uint32_t data) { gate->Notify(msg, trigger, data); });
      comPort_->SetTriggerAvail(1);
      if (StatusInterval > 0) comPort_->SetTimerTrigger(statusTrigger_, SecsToTicks(StatusInterval), true);
      comPort_->SetTimerTrigger(abortTrigger_, 0, true);  // runs the first state on the dispatch thread
    } catch (const std::exception& e) {
      RemoveSessionHooks();
      rc = CodeOf(e);
    }
  }
  if (rc != 0) {
    error_ = rc;
    PostError(rc);
    RunOnMainThread([&] {
      if (OnFaxFinish) OnFaxFinish(*this, rc);
    });
  }
  return rc;
}

void TKvCustomAbstractFax::RemoveSessionHooks() {
  running_ = false;
  if (gate_) gate_->Close();
  if (!comPort_ || !comPort_->Open()) return;
  try {
    comPort_->SetTriggerAvail(0);
    if (handlerId_) comPort_->DeregisterTriggerHandler(handlerId_);
    for (int* t : {&timeoutTrigger_, &statusTrigger_, &abortTrigger_, &outFreeTrigger_, &outUsedTrigger_})
      if (*t > 0) comPort_->RemoveTrigger(*t);
  } catch (const std::exception&) {
    // The port went away; nothing left to remove.
  }
  handlerId_ = timeoutTrigger_ = statusTrigger_ = abortTrigger_ = outFreeTrigger_ = outUsedTrigger_ = 0;
}

void TKvCustomAbstractFax::EndSession(int error) {
  if (!running_.load()) return;
  proceed_ = false;
  RemoveSessionHooks();
  const std::string file = faxFile_;
  const bool incomplete = fileIncomplete_ && error != 0;
  RunOnMainThread([&] {
    if (incomplete && !file.empty()) std::remove(file.c_str());
    if (OnFaxFinish) OnFaxFinish(*this, error);
  });
}

void TKvCustomAbstractFax::StopSession() {
  // Called by a step of the session itself: it can only be asked to end.
  if (gate_ && gate_->runner.load() == std::this_thread::get_id()) {
    CancelFax();
    return;
  }
  quiet_ = true;
  bool portOpen = false;
  try {
    portOpen = comPort_ && comPort_->Open();
  } catch (const std::exception&) {
  }
  if (running_.load() && portOpen) {
    CancelFax();
    const auto deadline = std::chrono::steady_clock::now() + kStopWait;
    while (running_.load() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  DetachSession();
  quiet_ = false;
}

// Cuts the session off: no notification reaches the component any more
// (one being handled is waited for) and the session's hooks leave the port.
void TKvCustomAbstractFax::DetachSession() {
  quiet_ = true;
  if (gate_) gate_->Close();
  if (running_.load()) RemoveSessionHooks();
}

void TKvCustomAbstractFax::SessionGate::Notify(std::uint16_t msg, std::uint16_t trigger, std::uint32_t data) {
  std::lock_guard<std::mutex> hold(lock);
  if (!owner) return;
  runner = std::this_thread::get_id();
  owner->OnNotification(msg, trigger, data);
  runner = std::thread::id();
}

void TKvCustomAbstractFax::SessionGate::Close() {
  if (runner.load() == std::this_thread::get_id()) {  // from within Notify: the lock is ours
    owner = nullptr;
    return;
  }
  std::lock_guard<std::mutex> hold(lock);
  owner = nullptr;
}

void TKvCustomAbstractFax::CancelFax() {
  if (!running_.load()) return;
  abortRequested_ = true;
  try {
    comPort_->SetTimerTrigger(abortTrigger_, 0, true);
  } catch (const std::exception&) {
  }
}

// ---- the session driver (dispatch thread) ----------------------------------------------

void TKvCustomAbstractFax::OnNotification(std::uint16_t msg, std::uint16_t trigger, std::uint32_t) {
  if (!running_.load()) return;
  if (startPending_) {
    startPending_ = false;
    state_ = firstState_;
    Deliver(FaxInput{});
  }
  if (running_.load() && abortRequested_.exchange(false)) {
    userAbort_ = true;
    error_ = -fax_error::kCancelRequested;
    SetStatus(fax_status::kUserAbort);
    StopModemData();
    RunHook([&] { Abort(-fax_error::kCancelRequested); });
  }
  if (!running_.load()) return;
  if (msg == kMsgTriggerTimer && trigger == statusTrigger_) {
    if (PeriodicStatusDue()) PostStatus(false, false);
    if (running_.load() && StatusInterval > 0) {
      try {
        comPort_->SetTimerTrigger(statusTrigger_, SecsToTicks(StatusInterval), true);
      } catch (const std::exception&) {
      }
    }
  } else if (msg == kMsgTriggerTimer && trigger == timeoutTrigger_) {
    RunHook([&] { TimeoutRule(); });
  } else if (msg == kMsgTriggerStatus && trigger == outFreeTrigger_) {
    Deliver(FaxInput{FaxInput::kOutputFree});
  } else if (msg == kMsgTriggerStatus && trigger == outUsedTrigger_) {
    Deliver(FaxInput{FaxInput::kOutputUsed});
  }
  if (running_.load()) FeedInput();
}

void TKvCustomAbstractFax::RunHook(const std::function<void()>& hook) {
  proceed_ = false;
  hook();
  while (proceed_ && running_.load()) {
    proceed_ = false;
    Trace(FaxInput{});
    Step(FaxInput{});
  }
}

void TKvCustomAbstractFax::Deliver(const FaxInput& input) {
  RunHook([&] {
    Trace(input);
    Step(input);
  });
}

t30::Facilities TKvCustomAbstractFax::LocalFacilities() const {
  return t30::Facilities{DesiredCoding, DesiredECM};
}

// TLM_FAX_TRACE=1 in the environment prints every state entry and input.
void TKvCustomAbstractFax::Trace(const FaxInput& input) const {
  static const bool on = std::getenv("TLM_FAX_TRACE") != nullptr;
  if (!on) return;
  std::string what;
  switch (input.kind) {
    case FaxInput::kEnter: what = "enter"; break;
    case FaxInput::kLine: what = "line \"" + input.text + "\""; break;
    case FaxInput::kFrame: what = "frame " + std::to_string(input.frame.fcf); break;
    case FaxInput::kXon: what = "xon"; break;
    case FaxInput::kData: what = "data " + std::to_string(input.data.size()); break;
    case FaxInput::kOutputFree: what = "output free"; break;
    case FaxInput::kOutputUsed: what = "output used"; break;
  }
  std::fprintf(stderr, "[fax %u] state %d: %s\n", unsigned(CurrentTick()), state_, what.c_str());
}

void TKvCustomAbstractFax::FeedInput() {
  try {
    while (running_.load()) {
      const std::size_t n = comPort_->InBuffUsed();
      if (n == 0) return;
      std::string bytes(n, '\0');
      comPort_->GetBlock(bytes.data(), n);
      FeedBytes(bytes);
    }
  } catch (const std::exception&) {
    // Input vanished with the device; the time-out rule ends the session.
  }
}

void TKvCustomAbstractFax::FeedBytes(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size() && running_.load()) {
    switch (inputMode_) {
      case FaxInputMode::kLines: {
        const char c = bytes[i++];
        if (c == '\r' || c == '\n') {
          if (!lineBuffer_.empty()) DeliverLine();
        } else if (static_cast<unsigned char>(c) >= 0x20 && lineBuffer_.size() < kModemLineMax) {
          lineBuffer_ += c;  // flow control characters are no part of a line
        }
        break;
      }
      case FaxInputMode::kFrame: {
        i += frame_.Feed(bytes.substr(i));
        if (frame_.Complete()) {
          std::optional<t30::Frame> frame = frame_.Take();
          frame_.Reset();
          inputMode_ = FaxInputMode::kLines;
          if (frame) {
            FaxInput input{FaxInput::kFrame};
            input.frame = std::move(*frame);
            Deliver(input);
          }
        }
        break;
      }
      case FaxInputMode::kXonWait: {
        if (bytes[i++] == kXON) Deliver(FaxInput{FaxInput::kXon});
        break;
      }
      case FaxInputMode::kDiscard:
        i = bytes.size();
        break;
      case FaxInputMode::kRaw: {
        // At most one batch per step, so a state can re-arm its timer
        // and hand the rest back after the end of its data.
        FaxInput input{FaxInput::kData};
        input.data = bytes.substr(i, kPageDataBatch);
        rawConsumed_ = input.data.size();
        Deliver(input);
        i += std::min(rawConsumed_, input.data.size());
        break;
      }
    }
  }
}

void TKvCustomAbstractFax::DeliverLine() {
  FaxInput input{FaxInput::kLine};
  input.text.swap(lineBuffer_);
  lineBuffer_.clear();
  Deliver(input);
}

// ---- moving between states ----------------------------------------------------------------

void TKvCustomAbstractFax::Proceed(int next) {
  state_ = next;
  proceed_ = true;
}

void TKvCustomAbstractFax::Wait(int next) {
  state_ = next;
  proceed_ = false;
}

void TKvCustomAbstractFax::SetInputMode(FaxInputMode mode) {
  inputMode_ = mode;
  if (mode == FaxInputMode::kFrame) frame_.Reset();
  if (mode == FaxInputMode::kLines) lineBuffer_.clear();
}

void TKvCustomAbstractFax::ArmTimeout(std::int32_t ticks) {
  try {
    comPort_->SetTimerTrigger(timeoutTrigger_, ticks, true);
  } catch (const std::exception&) {
  }
}

void TKvCustomAbstractFax::DisarmTimeout() {
  try {
    comPort_->SetTimerTrigger(timeoutTrigger_, 0, false);
  } catch (const std::exception&) {
  }
}

void TKvCustomAbstractFax::ArmOutputFree(std::uint16_t bytes) {
  try {
    comPort_->SetStatusTrigger(outFreeTrigger_, bytes, true);
  } catch (const std::exception&) {
  }
}

void TKvCustomAbstractFax::ArmOutputUsed(std::uint16_t bytes) {
  try {
    comPort_->SetStatusTrigger(outUsedTrigger_, bytes, true);
  } catch (const std::exception&) {
  }
}

void TKvCustomAbstractFax::Fail(int error) {
  error_ = error;
  PostError(error);
  StopModemData();
  Abort(error);
}

// A Class 2/2.0 modem delivering page data goes on until the DTE cancels
// (CAN); commands would be taken for flow control and ignored. (A Class 1
// reception ends at any character, so the abort path's commands do.)
void TKvCustomAbstractFax::StopModemData() {
  if (inputMode_ != FaxInputMode::kRaw || table_ == nullptr) return;
  Send(std::string(1, kCAN));
  inputMode_ = FaxInputMode::kLines;
  lineBuffer_.clear();
}

// ---- port access on the dispatch thread -------------------------------------------------------

void TKvCustomAbstractFax::Send(std::string_view bytes) {
  try {
    comPort_->PutBlock(bytes.data(), bytes.size());
  } catch (const std::exception& e) {
    if (error_.load() == 0) Fail(CodeOf(e));
  }
}

void TKvCustomAbstractFax::SendCommand(std::string_view command) {
  std::string line(command);
  line += '\r';
  Send(line);
}

void TKvCustomAbstractFax::Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::size_t TKvCustomAbstractFax::OutputFree() {
  try {
    return comPort_->OutBuffFree();
  } catch (const std::exception&) {
    return 0;
  }
}

std::size_t TKvCustomAbstractFax::OutputUsed() {
  try {
    return comPort_->OutBuffUsed();
  } catch (const std::exception&) {
    return 0;
  }
}

void TKvCustomAbstractFax::SetSoftwareFlow(bool input, bool xonXoff) {
  if (!SoftwareFlow) return;  // the port's flow settings are left as they are
  try {
    const TSWFlowOptions flow = comPort_->SWFlowOptions();
    bool in = flow == swfReceive || flow == swfBoth;
    bool out = flow == swfTransmit || flow == swfBoth;
    (input ? in : out) = xonXoff;
    if (input && xonXoff && kInputFlowFull <= comPort_->InSize()) {
      comPort_->SetBufferFull(kInputFlowFull);
      comPort_->SetBufferResume(kInputFlowResume);
    }
    comPort_->SetSWFlowOptions(in && out ? swfBoth : in ? swfReceive : out ? swfTransmit : swfNone);
  } catch (const std::exception&) {
    // A vanished device: the data goes on without flow control.
  }
}

void TKvCustomAbstractFax::HangUp() {
  try {
    const bool carrier = comPort_->DCD();
    if (carrier) {
      Pause(1000);
      comPort_->PutString("+++");
      Pause(1000);
      comPort_->PutString("ATH0\r");
      Pause(1000);
      comPort_->FlushInBuffer();
      if (comPort_->DCD()) {
        comPort_->FlushOutBuffer();
        comPort_->FlushInBuffer();
        comPort_->SetDTR(false);
        comPort_->SetRTS(false);
        Pause(500);
        comPort_->SetDTR(true);
        comPort_->SetRTS(true);
        Pause(500);
      }
    } else {
      comPort_->PutString("ATH0\r");
      Pause(1000);
      comPort_->FlushInBuffer();
    }
  } catch (const std::exception&) {
    // A vanished device is hung up already.
  }
  lineBuffer_.clear();
  inputMode_ = FaxInputMode::kLines;
}

// ---- events -----------------------------------------------------------------------------------

bool TKvCustomAbstractFax::RunOnMainThread(const std::function<void()>& fn, std::int64_t timeoutMs) {
  if (quiet_.load()) return false;
  MainThreadBridge* bridge = bridge_ ? bridge_ : (comPort_ ? comPort_->Bridge() : nullptr);
  try {
    if (!bridge) {
      fn();
      return true;
    }
    // In slices: a session being stopped (quiet_) stops waiting for an
    // application thread that is busy stopping it. A slice that ran out
    // before `fn` started has dropped it, and it is queued again; once
    // started it runs once only, and is waited for as it uses this frame.
    struct Progress {
      std::atomic<bool> started{false};
      std::atomic<bool> done{false};
    };
    const auto progress = std::make_shared<Progress>();
    const std::function<void()> once = [&fn, progress] {
      progress->started = true;
      try {
        fn();
      } catch (...) {
        progress->done = true;
        throw;
      }
      progress->done = true;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
      if (bridge->Send(once, std::clamp<std::int64_t>(left, 0, kEventSliceMs))) return true;
      if (progress->started.load()) {
        while (!progress->done.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return true;
      }
      if (quiet_.load() || left <= kEventSliceMs) return false;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "fax event: %s\n", e.what());
    return false;
  }
}

void TKvCustomAbstractFax::SetStatus(int status) {
  if (status_.exchange(status) != status) PostStatus(false, false);
}

void TKvCustomAbstractFax::PostStatus(bool first, bool last) {
  RunOnMainThread([&] {
    if (StatusDisplay) StatusDisplay->UpdateDisplay(*this, first, last);
    if (OnFaxStatus) OnFaxStatus(*this, first, last);
  });
}

void TKvCustomAbstractFax::PostError(int error) {
  RunOnMainThread([&] {
    if (OnFaxError) OnFaxError(*this, error);
  });
}

void TKvCustomAbstractFax::FillLogContext(FaxLogContext& context) const {
  context.faxFile = faxFile_;
  context.faxFiles = {faxFile_};
  context.remoteId = RemoteID();
  context.hangupCode = hangupCode_.load();
  context.errorText = error_.load() ? ErrorText(error_.load()) : "";
}

void TKvCustomAbstractFax::PostLog(TFaxLogCode code) {
  FaxLogContext context;
  FillLogContext(context);
  bool written = false;
  // 0, or the (negated) system error of a history file that could not be
  // opened or written.
  const auto writeHistory = [&]() -> int {
    written = true;
    if (!FaxLog) return 0;
    try {
      FaxLog->UpdateLog(code, context);
      return 0;
    } catch (const std::system_error& e) {
      return e.code().value() > 0 ? -e.code().value() : -EIO;
    } catch (const std::exception&) {
      return -EIO;
    }
  };
  RunOnMainThread([&] {
    // The session goes on, but the application learns that its history is
    // not being kept.
    if (const int error = writeHistory(); error != 0 && OnFaxError) OnFaxError(*this, error);
    if (OnFaxLog) OnFaxLog(*this, code);
  });
  // A session being stopped (its component is going away) raises no more
  // events, but its end still goes into the history file. The application's
  // thread is busy stopping it, so nothing else uses the log meanwhile.
  if (!written && quiet_.load()) {
    if (const int error = writeHistory(); error != 0) {
      std::fprintf(stderr, "fax history: %s: %s\n", FaxLog->FaxHistoryName.c_str(), std::strerror(-error));
    }
  }
  if (code == lfaxReceiveOk || code == lfaxReceiveSkip || code == lfaxReceiveFail) faxFile_.clear();
}

}  // namespace tlm
