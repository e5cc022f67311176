// Triggers, handlers and the dispatch of notifications.
#include <algorithm>

#include "comm/comm_types.h"
#include "comm/dispatcher.h"

namespace tlm {
namespace {

std::uint8_t StatusDetail(std::uint16_t type) {
  switch (type) {
    case stModem: return ldModemStatus;
    case stLine: return ldLineStatus;
    case stOutBuffFree: return ldOutBuffFree;
    case stOutBuffUsed: return ldOutBuffUsed;
    case stOutSent: return ldOutSent;
    default: return ldOtherData;
  }
}

}  // namespace

// ---- trigger lists -------------------------------------------------------

int TKvBaseDispatcher::AddTimerTrigger() {
  std::scoped_lock lock(dispatcherLock_);
  const int handle = triggers_.AddTimer();
  log_.Add(ltTrigAlloc, lsAllocTimer, static_cast<std::uint32_t>(handle));
  return handle;
}

int TKvBaseDispatcher::AddDataTrigger(const std::string& match, bool ignoreCase) {
  std::scoped_lock lock(dispatcherLock_);
  const int handle = triggers_.AddData(match, ignoreCase);
  log_.Add(ltTrigAlloc, lsAllocData, static_cast<std::uint32_t>(handle));
  return handle;
}

int TKvBaseDispatcher::AddStatusTrigger(int type) {
  std::scoped_lock lock(dispatcherLock_);
  const int handle = triggers_.AddStatus(type);
  log_.Add(ltTrigAlloc, lsAllocStatus, static_cast<std::uint32_t>(handle));
  return handle;
}

int TKvBaseDispatcher::SetTimerTrigger(int handle, std::int32_t ticks, bool activate) {
  std::scoped_lock lock(dispatcherLock_);
  const int result = triggers_.SetTimer(handle, ticks, activate, CurrentTick());
  log_.Add(ltTrigAlloc, lsTimer, static_cast<std::uint32_t>(handle), static_cast<std::uint32_t>(ticks),
           std::uint8_t{activate ? ldOtherData : ldNotActive});
  return result;
}

PortState TKvBaseDispatcher::CurrentPortState() {
  PortState state;
  state.modemStatus = modemStatus_;
  state.lineErrors = lineErrors_;
  std::lock_guard lock(outputLock_);
  state.outUsed = output_.Used();
  state.outFree = output_.Free();
  return state;
}

int TKvBaseDispatcher::SetStatusTrigger(int handle, std::uint16_t param, bool activate) {
  int result = 0;
  {
    std::scoped_lock lock(dispatcherLock_);
    result = triggers_.SetStatus(handle, param, activate, CurrentPortState());
    outputTriggersArmed_ = triggers_.AnyOutputTriggerArmed();
    log_.Add(ltTrigAlloc, lsStatus, static_cast<std::uint32_t>(handle), param,
             activate ? StatusDetail(static_cast<std::uint16_t>(handle & 7)) : std::uint8_t{ldNotActive});
  }
  if (result == 0 && activate) wakeDispatch_.Set();  // it may hold already
  return result;
}

int TKvBaseDispatcher::SetTriggerAvail(std::uint32_t bytes) {
  {
    std::scoped_lock lock(dispatcherLock_);
    triggers_.SetAvailThreshold(bytes);
    log_.Add(ltTrigAlloc, lsAllocAvail, bytes);
  }
  {
    std::lock_guard lock(inputLock_);
    newDataSinceAvail_ = newDataSinceAvail_ || input_.Used() > 0;
  }
  wakeDispatch_.Set();
  return 0;
}

int TKvBaseDispatcher::RemoveTrigger(int handle) {
  std::scoped_lock lock(dispatcherLock_);
  const int result = triggers_.Remove(handle);
  outputTriggersArmed_ = triggers_.AnyOutputTriggerArmed();
  return result;
}

TriggerSet TKvBaseDispatcher::SaveTriggers() {
  std::scoped_lock lock(dispatcherLock_);
  return triggers_;
}

void TKvBaseDispatcher::RestoreTriggers(const TriggerSet& triggers) {
  std::scoped_lock lock(dispatcherLock_);
  triggers_ = triggers;
  outputTriggersArmed_ = triggers_.AnyOutputTriggerArmed();
}

// ---- handlers ------------------------------------------------------------

int TKvBaseDispatcher::RegisterHandler(THandlerKind kind, TTriggerCallback fn, bool syncMain, MainThreadBridge* window,
                                       std::function<bool()> wanted) {
  auto handler = std::make_shared<Handler>();
  handler->kind = kind;
  handler->fn = std::move(fn);
  handler->syncMain = syncMain;
  handler->bridge = window;
  handler->wanted = std::move(wanted);
  std::scoped_lock lock(dispatcherLock_);
  handler->id = nextHandlerId_++;
  handlers_.push_back(handler);
  const std::uint16_t subtype = kind == THandlerKind::kWindow ? lsWindow : kind == THandlerKind::kMethod ? lsMethod : lsProcedure;
  log_.Add(ltTrigHandlerAlloc, subtype, static_cast<std::uint32_t>(handler->id));
  return handler->id;
}

int TKvBaseDispatcher::DeregisterHandler(int id) {
  std::scoped_lock lock(dispatcherLock_);
  const auto it = std::find_if(handlers_.begin(), handlers_.end(),
                               [id](const auto& h) { return h->id == id && !h->deleted; });
  if (it == handlers_.end()) return -ecBadHandle;
  if (dispatching_) {
    (*it)->deleted = true;  // removed when the current dispatch ends
    handlerDeletionPending_ = true;
  } else {
    handlers_.erase(it);
  }
  return 0;
}

// ---- checks --------------------------------------------------------------

void TKvBaseDispatcher::RunStatusTriggers() {
  while (!closing_) {
    std::optional<FiredTrigger> fired;
    {
      std::scoped_lock lock(dispatcherLock_);
      fired = triggers_.CheckStatus(CurrentPortState());
      outputTriggersArmed_ = triggers_.AnyOutputTriggerArmed();
    }
    if (!fired) return;
    log_.Add(ltTrigDisp, lsStatus, fired->handle, fired->value, StatusDetail(fired->type));
    Dispatch(kMsgTriggerStatus, fired->handle, fired->value, false);
  }
}

void TKvBaseDispatcher::RunTimerTriggers() {
  while (!closing_) {
    std::optional<FiredTrigger> fired;
    {
      std::scoped_lock lock(dispatcherLock_);
      fired = triggers_.CheckTimers(CurrentTick());
    }
    if (!fired) return;
    log_.Add(ltTrigDisp, lsTimer, fired->handle);
    Dispatch(kMsgTriggerTimer, fired->handle, 0, false);
  }
}

void TKvBaseDispatcher::RunDataTriggers() {
  while (!closing_ && CheckDataTriggersOnce()) {
  }
}

bool TKvBaseDispatcher::CheckDataTriggersOnce() {
  std::vector<FiredTrigger> matched;
  std::size_t beforeMatch = 0;
  std::size_t availCount = 0;
  std::uint32_t threshold = 0;
  {
    std::scoped_lock lock(dispatcherLock_, inputLock_);
    threshold = triggers_.AvailThreshold();
    checked_ = std::max(checked_, consumed_);
    if (!triggers_.HasDataTriggers()) checked_ = received_;
    while (checked_ < received_ && matched.empty()) {
      const std::uint8_t byte = input_.AtIndex(static_cast<std::size_t>(checked_ % kInputRingSize));
      ++checked_;
      matched = triggers_.FeedByte(byte);
    }
    if (!matched.empty()) {
      std::uint32_t longest = 0;
      for (const auto& m : matched) longest = std::max(longest, m.value);
      const std::uint64_t matchStart = checked_ - longest;
      beforeMatch = matchStart > consumed_ ? static_cast<std::size_t>(matchStart - consumed_) : 0;
    } else if (threshold != 0 && newDataSinceAvail_ && input_.Used() >= threshold) {
      availCount = input_.Used();
      newDataSinceAvail_ = false;
    }
  }
  if (!matched.empty()) {
    // The data before the match goes first when it reaches the threshold.
    if (threshold != 0 && beforeMatch >= threshold) {
      log_.Add(ltTrigDisp, lsAvail, static_cast<std::uint32_t>(beforeMatch));
      Dispatch(kMsgTriggerAvail, kAvailTriggerHandle, static_cast<std::uint32_t>(beforeMatch), true);
    }
    for (const auto& m : matched) {
      if (closing_) break;
      log_.Add(ltTrigDisp, lsData, m.handle, m.value);
      Dispatch(kMsgTriggerData, m.handle, m.value, true);
    }
    return true;
  }
  if (availCount > 0) {
    log_.Add(ltTrigDisp, lsAvail, static_cast<std::uint32_t>(availCount));
    Dispatch(kMsgTriggerAvail, kAvailTriggerHandle, static_cast<std::uint32_t>(availCount), true);
    return true;
  }
  return false;
}

// ---- dispatch ------------------------------------------------------------

std::size_t TKvBaseDispatcher::Dispatch(std::uint16_t msg, std::uint16_t trigger, std::uint32_t value, bool tentative) {
  std::vector<std::shared_ptr<Handler>> list;
  {
    std::scoped_lock lock(dispatcherLock_);
    if (handlers_.empty() || closing_) return 0;
    dispatching_ = true;
    list = handlers_;
  }
  // Methods first, then procedures, then windows; each in registration order.
  std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a->kind < b->kind; });
  const std::uint32_t data = (static_cast<std::uint32_t>(handle_) << 16) + (value & 0xFFFF);
  std::size_t most = 0;
  if (tentative) {
    std::lock_guard lock(inputLock_);
    tentative_ = true;
    tentativeRead_ = 0;
  }
  for (const auto& handler : list) {
    if (closing_) break;
    {
      std::scoped_lock lock(dispatcherLock_);
      if (handler->deleted) continue;
    }
    if (handler->wanted && !handler->wanted()) continue;
    if (tentative) {
      std::lock_guard lock(inputLock_);
      tentativeRead_ = 0;
      handlerThread_ = std::this_thread::get_id();
    }
    CallHandler(*handler, msg, trigger, data);
    if (tentative) {
      std::lock_guard lock(inputLock_);
      most = std::max(most, tentativeRead_);
    }
  }
  if (tentative) {
    std::lock_guard lock(inputLock_);
    tentative_ = false;
    handlerThread_ = std::thread::id();
    ConsumeLocked(most);
  }
  {
    std::scoped_lock lock(dispatcherLock_);
    dispatching_ = false;
    if (handlerDeletionPending_) {
      std::erase_if(handlers_, [](const auto& h) { return h->deleted; });
      handlerDeletionPending_ = false;
    }
  }
  if (msg == kMsgTriggerAvail && most < value) log_.Add(ltTrigDisp, lsAvail, value, static_cast<std::uint32_t>(most));
  return most;
}

void TKvBaseDispatcher::CallHandler(const Handler& handler, std::uint16_t msg, std::uint16_t trigger, std::uint32_t data) {
  const std::uint16_t subtype = handler.kind == THandlerKind::kWindow ? lsWindow
                                : handler.kind == THandlerKind::kMethod ? lsMethod
                                                                         : lsProcedure;
  log_.Add(ltTrigHandlerDisp, subtype, data, (static_cast<std::uint32_t>(msg) << 16) | trigger);
  auto call = [this, &handler, msg, trigger, data, subtype] {
    {
      std::lock_guard lock(inputLock_);
      if (tentative_) handlerThread_ = std::this_thread::get_id();
    }
    try {
      handler.fn(msg, trigger, data);
    } catch (...) {
      // A failing handler does not stop the port; the log records it.
      log_.Add(ltError, subtype, data, msg);
    }
  };
  MainThreadBridge* bridge = nullptr;
  std::int64_t timeout = kWindowSendTimeoutMs;
  if (handler.kind == THandlerKind::kWindow) {
    bridge = handler.bridge;
  } else if (handler.kind == THandlerKind::kMethod && handler.syncMain) {
    bridge = bridge_;
    timeout = 24LL * 3600 * 1000;  // a synchronised method is waited for
  }
  if (bridge) {
    if (!bridge->Send(call, timeout)) log_.Add(ltError, lsWindow, data, msg);
  } else {
    call();
  }
}

}  // namespace tlm
