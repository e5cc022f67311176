// Opening, closing and the three threads of a dispatcher.
#include "comm/dispatcher.h"

#include <sched.h>

#include <cerrno>
#include <filesystem>

#include "comm/comm_error.h"
#include "comm/dispatcher_registry.h"

namespace tlm {
namespace {

std::string CanonicalDevice(const std::string& device) {
  std::error_code ec;
  const auto path = std::filesystem::canonical(device, ec);
  return ec ? device : path.string();
}

}  // namespace

TKvBaseDispatcher::TKvBaseDispatcher() = default;

TKvBaseDispatcher::~TKvBaseDispatcher() = default;

void TKvBaseDispatcher::YieldThread() { ::sched_yield(); }

bool TKvBaseDispatcher::OnDispatchThread() const {
  return dispThreadId_ != std::thread::id() && std::this_thread::get_id() == dispThreadId_;
}

int TKvBaseDispatcher::OpenPort(const std::string& device, int inSize, int outSize, bool dtr, bool rts,
                                std::uint32_t baud, TParity parity, int dataBits, int stopBits) {
  if (deviceOpen_) return -ecAlreadyOpen;
  if (outSize <= 0 || inSize <= 0) return -ecBadArgument;
  device_ = CanonicalDevice(device);
  if (DeviceInUseByDispatcher(device_, this)) return -ecAlreadyOpen;
  int result = OpenCom(device_);
  if (result < 0) return result;
  deviceOpen_ = true;
  auto fail = [this](int code) {
    std::scoped_lock lock(dispatcherLock_);
    CloseCom();
    deviceOpen_ = false;
    return code;
  };
  if ((result = SetupCom(inSize, outSize)) < 0) return fail(result);

  {
    std::scoped_lock lock(dispatcherLock_, inputLock_, outputLock_);
    input_.Resize(kInputRingSize);
    output_.Resize(static_cast<std::size_t>(outSize));
    outSize_ = static_cast<std::size_t>(outSize);
    received_ = consumed_ = checked_ = 0;
    newDataSinceAvail_ = false;
    overflowPending_ = false;
    lineErrors_ = 0;
    breakSeen_ = false;
    ringSeen_ = false;
    lostErrno_ = 0;
  }
  if ((result = GetComState(dcb_)) < 0) return fail(result);
  dcb_.dtrControl = dtr ? dtrEnable : dtrDisable;
  dcb_.rtsControl = rts ? rtsEnable : rtsDisable;
  EscapeComFunction(dtr ? TEscape::kSetDtr : TEscape::kClearDtr);
  EscapeComFunction(rts ? TEscape::kSetRts : TEscape::kClearRts);
  {
    std::scoped_lock lock(dispatcherLock_);
    triggers_.Clear();
    const int lines = GetModemLines();
    modemLinesKnown_ = lines >= 0;
    modemStatus_ = lines >= 0 ? static_cast<std::uint8_t>(lines & 0xF0) : 0;
  }
  dcb_.baud = baud;
  dcb_.parity = parity;
  dcb_.dataBits = dataBits;
  dcb_.stopBits = stopBits;
  if ((result = SetComState(dcb_)) < 0) return fail(result);
  handle_ = RegisterDispatcher(this);
  return 0;
}

void TKvBaseDispatcher::StartDispatcher() {
  if (threadsRunning_ || comThread_.joinable() || dispThread_.joinable() || outThread_.joinable()) {
    throw EComError(-ecBadArgument, "Dispatcher already started");
  }
  closing_ = false;
  dispatchLoopEnded_ = false;
  threadsRunning_ = true;
  auto start = [this](std::thread& thread, void (TKvBaseDispatcher::*body)()) {
    thread = std::thread(body, this);
    if (!threadStarted_.Wait(kThreadStartTimeoutMs)) {
      Shutdown(false);
      throw EComError(-ecBadHandle, "Dispatcher thread did not start");
    }
  };
  start(outThread_, &TKvBaseDispatcher::OutThreadMain);
  start(comThread_, &TKvBaseDispatcher::ComThreadMain);
  start(dispThread_, &TKvBaseDispatcher::DispThreadMain);
}

void TKvBaseDispatcher::RequestClose() {
  closing_ = true;
  CancelWrite();
  outputFlush_.Set();
  WakeComEvent();
  dispatchDone_.Set();
  wakeDispatch_.Set();
  {
    std::lock_guard lock(inputLock_);
  }
  inputArrived_.notify_all();
}

void TKvBaseDispatcher::JoinIfJoinable(std::thread& thread) {
  if (thread.joinable()) thread.join();
}

void TKvBaseDispatcher::ClosePort() { Shutdown(true); }

void TKvBaseDispatcher::Shutdown(bool mayDetach) {
  if (deviceOpen_ || threadsRunning_) RequestClose();
  JoinIfJoinable(outThread_);
  JoinIfJoinable(comThread_);
  if (dispThread_.joinable()) {
    if (OnDispatchThread()) {
      // A handler closes its own port: this thread ends by itself once the
      // current dispatch returns, holding the dispatcher until then.
      if (mayDetach) keepAlive_ = shared_from_this();
      dispThread_.detach();
    } else {
      dispThread_.join();
    }
  }
  threadsRunning_ = false;
  std::scoped_lock lock(dispatcherLock_, inputLock_, outputLock_);
  if (deviceOpen_) {
    log_.Add(ltThread, lsExit, static_cast<std::uint32_t>(handle_));
    CloseCom();
    deviceOpen_ = false;
    UnregisterDispatcher(handle_);
  }
}

void TKvBaseDispatcher::ComThreadMain() {
  log_.Add(ltThread, lsStart, 1);
  threadStarted_.Set();
  while (!closing_) {
    const int events = WaitComEvent(!overflowPending_, -1);
    if (closing_) break;
    if (events < 0) {
      DeviceLost(-events);
      break;
    }
    if (events == 0) continue;
    pendingEvents_.fetch_or(static_cast<std::uint32_t>(events));
    commEventReady_.Set();
    dispatchDone_.Wait();
    if (events & evHangup) break;
  }
  log_.Add(ltThread, lsExit, 1);
}

void TKvBaseDispatcher::DispThreadMain() {
  dispThreadId_ = std::this_thread::get_id();
  log_.Add(ltThread, lsStart, 2);
  threadStarted_.Set();
  while (!closing_) {
    const int which = Event::WaitAny({&commEventReady_, &wakeDispatch_}, kDispatchPassMs);
    if (closing_) break;
    if (which == 0) {
      ProcessComEvents(pendingEvents_.exchange(0));
      dispatchDone_.Set();
    }
    if (lostErrno_ == 0) {
      // Both refreshes must run, whatever the first one finds.
      const bool modemChanged = RefreshModemStatus();
      const bool linesChanged = RefreshLineErrors();
      if (modemChanged || linesChanged) RunStatusTriggers();
      if (overflowPending_ && ReadIntoRing() > 0) RunDataTriggers();
    }
    RunStatusTriggers();
    RunTimerTriggers();
    std::scoped_lock lock(dispatcherLock_);
    triggers_.ClearFiredMarks();
  }
  log_.Add(ltThread, lsExit, 2);
  dispatchLoopEnded_ = true;
  dispatchDone_.Set();
  // When a handler closed the port, this thread was detached and holds the
  // last reference; releasing it may destroy the dispatcher here.
  auto self = std::move(keepAlive_);
}

void TKvBaseDispatcher::OutThreadMain() {
  log_.Add(ltThread, lsStart, 3);
  threadStarted_.Set();
  for (;;) {
    const int which = Event::WaitAny({&outputReady_, &outputFlush_});
    if (which != 0 || closing_ || lostErrno_ != 0) break;
    DrainOutput();
  }
  log_.Add(ltThread, lsExit, 3);
}

void TKvBaseDispatcher::DrainOutput() {
  std::vector<std::uint8_t> chunk;
  for (;;) {
    if (closing_ || lostErrno_ != 0) return;
    std::uint64_t generation = 0;
    {
      std::lock_guard lock(outputLock_);
      std::size_t contiguous = 0;
      const std::uint8_t* from = output_.ReadPointer(contiguous);
      if (contiguous == 0) return;
      chunk.assign(from, from + std::min<std::size_t>(contiguous, 16384));
      generation = outputGeneration_;
    }
    std::size_t done = 0;
    while (done < chunk.size()) {
      const int written = WriteCom(chunk.data() + done, chunk.size() - done);
      if (written < 0) {
        DeviceLost(-written);
        return;
      }
      if (written > 0) {
        done += static_cast<std::size_t>(written);
        std::lock_guard lock(outputLock_);
        if (generation != outputGeneration_) break;  // flushed meanwhile
        output_.Advance(static_cast<std::size_t>(written));
        continue;
      }
      const int ready = WaitWritable(-1);
      if (ready < 0) {
        DeviceLost(-ready);
        return;
      }
      if (closing_) return;
      std::lock_guard lock(outputLock_);
      if (generation != outputGeneration_) break;
    }
    if (outputTriggersArmed_) wakeDispatch_.Set();
  }
}

void TKvBaseDispatcher::DeviceLost(int errnum) {
  if (errnum == EIO || errnum == ENXIO) errnum = ENODEV;
  int expected = 0;
  if (!lostErrno_.compare_exchange_strong(expected, errnum)) return;
  log_.Add(ltError, lsReadCom, static_cast<std::uint32_t>(errnum));
  {
    std::scoped_lock lock(dispatcherLock_);
    if (modemLinesKnown_) {
      // The lines are gone: every line that was on has dropped.
      const std::uint8_t lines = modemStatus_ & 0xF0;
      const std::uint8_t delta = static_cast<std::uint8_t>(lines >> 4);  // RI ending is its trailing edge
      modemStatus_ = static_cast<std::uint8_t>((modemStatus_ & 0x0F) | delta);
    }
  }
  {
    std::lock_guard lock(inputLock_);
  }
  inputArrived_.notify_all();
  wakeDispatch_.Set();
  CancelWrite();
}

}  // namespace tlm
