#pragma once
// The dispatcher of one open port: the input and output rings, the trigger
// lists, the three threads that move bytes and fire triggers, and the calls
// of the registered trigger handlers. The device itself is reached through
// the device-layer operations, which a concrete layer implements
// (TKvPosixDispatcher for serial devices on Linux).
//
// Threads: TComThread waits for device events (input, hang-up) and hands
// each to TDispThread, which reads input into the ring, checks the triggers
// and calls the handlers; TOutThread writes the output ring to the device.
// Locks, always taken in this order: the dispatcher lock (triggers,
// handlers, line settings), then the input lock or the output lock.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "comm/byte_ring.h"
#include "comm/device_control.h"
#include "comm/dispatch_log.h"
#include "comm/trace_ring.h"
#include "comm/triggers.h"
#include "platform/main_thread_bridge.h"
#include "platform/sync.h"

namespace tlm {

// A trigger handler: (message code, trigger handle, data word).
using TTriggerCallback = std::function<void(std::uint16_t msg, std::uint16_t trigger, std::uint32_t data)>;

enum class THandlerKind { kMethod, kProcedure, kWindow };

inline constexpr std::int64_t kWindowSendTimeoutMs = 3000;
inline constexpr std::int64_t kThreadStartTimeoutMs = 3000;
inline constexpr std::int64_t kDispatchPassMs = 50;

class TKvBaseDispatcher : public std::enable_shared_from_this<TKvBaseDispatcher> {
 public:
  TKvBaseDispatcher();
  virtual ~TKvBaseDispatcher();
  TKvBaseDispatcher(const TKvBaseDispatcher&) = delete;
  TKvBaseDispatcher& operator=(const TKvBaseDispatcher&) = delete;

  // Opens `device` and prepares the rings and the device control block:
  // 0 or a negative code (negated errno, or a table code such as -2005).
  int OpenPort(const std::string& device, int inSize, int outSize, bool dtr, bool rts, std::uint32_t baud,
               TParity parity, int dataBits, int stopBits);
  // Starts the three threads; raises when already started or when a thread
  // does not report within kThreadStartTimeoutMs.
  void StartDispatcher();
  // Asks the threads to end: no more handler calls, input or output.
  void RequestClose();
  // Stops the threads (if still running) and closes the device. Called on
  // the dispatch thread itself, it stops the other two threads, closes the
  // device and lets the dispatch thread end on its own after the current
  // dispatch.
  void ClosePort();
  bool Closing() const { return closing_.load(); }
  bool ThreadsRunning() const { return threadsRunning_.load(); }
  bool DispatchingNow() const { return dispatching_.load(); }
  bool OnDispatchThread() const;
  // True once the dispatch thread has left its loop (or never started).
  bool DispatchLoopEnded() const { return dispatchLoopEnded_.load(); }
  int Handle() const { return handle_; }
  const std::string& DeviceName() const { return device_; }

  // The system error that ended the device's use (0 while usable).
  int DeviceLostErrno() const { return lostErrno_.load(); }

  void SetMainThreadBridge(MainThreadBridge* bridge) { bridge_ = bridge; }

  // Output. Put fails with -ecOutputTooSmall when the block exceeds the
  // ring and -ecPutBlockFailed when it does not fit now; nothing is queued.
  int PutBlock(const std::uint8_t* bytes, std::size_t count);
  std::size_t OutBuffUsed();
  std::size_t OutBuffFree();
  std::size_t OutSize() const { return outSize_; }
  int FlushOutBuffer();

  // Input. A get or peek beyond the bytes held fails with -ecBufferIsEmpty
  // and consumes nothing. During an avail or data notification the reads
  // are tentative (see Dispatch).
  int GetBlock(std::uint8_t* bytes, std::size_t count);
  int PeekBlock(std::size_t offset, std::uint8_t* bytes, std::size_t count);
  std::size_t InBuffUsed();
  std::size_t InBuffFree();
  int FlushInBuffer();
  // Waits up to `timeoutMs` for input beyond `seen` bytes held; on the
  // dispatch thread it reads the device itself. True when more arrived.
  bool WaitForInput(std::size_t seen, std::int64_t timeoutMs);

  // Line settings, flow control and signals; 0 or a negative code.
  int SetLine(std::uint32_t baud, int parity, int dataBits, int stopBits);
  int SetFlowControl(const TDeviceControlBlock& flow);  // only the flow fields are taken
  TDeviceControlBlock ControlBlock();
  int SetDTR(bool on);
  int SetRTS(bool on);
  int SendBreak(int ms);
  int SetRs485(bool on);
  // Modem status byte; reading clears the delta bits. `known` false when
  // the device has no modem lines (pseudo-terminals).
  std::uint8_t ModemStatus(bool* known = nullptr);
  // Line error bits since the last call (cleared), and the break flag.
  std::uint16_t LineError(bool* breakSeen = nullptr);

  // Triggers. Results: a handle, 0, or a negative code.
  int AddTimerTrigger();
  int AddDataTrigger(const std::string& match, bool ignoreCase);
  int AddStatusTrigger(int type);
  int SetTimerTrigger(int handle, std::int32_t ticks, bool activate);
  int SetStatusTrigger(int handle, std::uint16_t param, bool activate);
  int SetTriggerAvail(std::uint32_t bytes);
  int RemoveTrigger(int handle);
  TriggerSet SaveTriggers();
  void RestoreTriggers(const TriggerSet& triggers);

  // Handlers; registration returns an id for deregistration. Method
  // handlers with `syncMain` and window handlers run on the main thread
  // through the bridge (directly when there is none).
  // `wanted` (optional, asked on the dispatch thread) lets a window handler
  // skip notifications nobody listens to.
  int RegisterHandler(THandlerKind kind, TTriggerCallback fn, bool syncMain = false,
                      MainThreadBridge* window = nullptr, std::function<bool()> wanted = {});
  int DeregisterHandler(int id);

  // Tracing and logging.
  TraceRing& Trace() { return trace_; }
  DispatchLog& Log() { return log_; }

 protected:
  // The device layer: one operation per primitive. Results are 0 (or a
  // count) or a negative code.
  virtual int OpenCom(const std::string& device) = 0;
  virtual int SetupCom(int inSize, int outSize) = 0;
  virtual void CloseCom() = 0;
  virtual int GetComState(TDeviceControlBlock& dcb) = 0;
  virtual int SetComState(const TDeviceControlBlock& dcb) = 0;
  // Reads what is queued without blocking; 0 when nothing is.
  virtual int ReadCom(std::uint8_t* bytes, std::size_t count) = 0;
  // Bytes queued in the driver, not yet read.
  virtual int InQueue() = 0;
  // Writes without blocking: the count written, 0 when the device is full.
  virtual int WriteCom(const std::uint8_t* bytes, std::size_t count) = 0;
  // Waits until the device takes output: 1 ready, 0 cancelled or timed out.
  virtual int WaitWritable(std::int64_t timeoutMs) = 0;
  virtual void CancelWrite() = 0;
  virtual int FlushCom(bool input) = 0;
  virtual int EscapeComFunction(TEscape function) = 0;
  // Line error bits since the last call; 0 when none or unknown.
  virtual std::uint16_t GetLineErrors() = 0;
  // Lines (upper nibble) or -1 when the device has no modem lines.
  virtual int GetModemLines() = 0;
  // Blocks until input (`wantInput`), hang-up or WakeComEvent; returns event
  // bits (evRxChar, evHangup) or 0 when woken, or a negative code.
  virtual int WaitComEvent(bool wantInput, std::int64_t timeoutMs) = 0;
  virtual void WakeComEvent() = 0;
  // Waits up to `timeoutMs` for input: 1 when some is queued, 0 when not.
  virtual int WaitReadable(std::int64_t timeoutMs) = 0;
  virtual int SetRs485Mode(bool on) = 0;
  virtual void YieldThread();
  // Every concrete layer's destructor calls this first: the threads use the
  // layer's operations, so they must end while the layer still exists.
  void StopForDestruction() { Shutdown(false); }

 private:
  struct Handler {
    int id = 0;
    THandlerKind kind = THandlerKind::kProcedure;
    TTriggerCallback fn;
    bool syncMain = false;
    MainThreadBridge* bridge = nullptr;
    std::function<bool()> wanted;
    bool deleted = false;
  };

  void ComThreadMain();
  void DispThreadMain();
  void OutThreadMain();
  void Shutdown(bool mayDetach);
  void JoinIfJoinable(std::thread& thread);

  // Dispatch thread work.
  void ProcessComEvents(std::uint32_t events);
  int ReadIntoRing();
  bool RefreshModemStatus();
  bool RefreshLineErrors();
  void RunStatusTriggers();
  void RunTimerTriggers();
  void RunDataTriggers();
  bool CheckDataTriggersOnce();
  PortState CurrentPortState();
  void DeviceLost(int errnum);
  void DrainOutput();

  // Calls the handlers; returns the largest count of input bytes consumed.
  std::size_t Dispatch(std::uint16_t msg, std::uint16_t trigger, std::uint32_t value, bool tentative);
  void CallHandler(const Handler& handler, std::uint16_t msg, std::uint16_t trigger, std::uint32_t data);
  void ConsumeLocked(std::size_t count);
  void NoteInputArrived();

  // Identity.
  int handle_ = 0;
  std::string device_;
  MainThreadBridge* bridge_ = nullptr;

  // Locks.
  CriticalSection dispatcherLock_;
  std::mutex inputLock_;
  std::mutex outputLock_;

  // Rings.
  ByteRing input_;
  ByteRing output_;
  std::size_t outSize_ = 0;
  std::uint64_t received_ = 0;  // bytes ever put into the input ring
  std::uint64_t consumed_ = 0;  // bytes ever taken out of it
  std::uint64_t checked_ = 0;   // bytes already fed to the data triggers
  bool newDataSinceAvail_ = false;
  std::atomic<bool> overflowPending_{false};
  std::uint64_t outputGeneration_ = 0;  // bumped by a flush
  std::condition_variable inputArrived_;

  // Tentative reads during an avail or data notification.
  bool tentative_ = false;
  std::thread::id handlerThread_;  // the thread running the current handler
  std::size_t tentativeRead_ = 0;
  bool TentativeHere() const { return tentative_ && std::this_thread::get_id() == handlerThread_; }
  std::size_t AvailableLocked() const;

  // Device state (dispatcher lock).
  TDeviceControlBlock dcb_;
  std::uint8_t modemStatus_ = 0;
  bool modemLinesKnown_ = false;
  bool ringSeen_ = false;
  std::uint16_t lineErrors_ = 0;
  bool breakSeen_ = false;

  // Triggers and handlers (dispatcher lock).
  TriggerSet triggers_;
  std::vector<std::shared_ptr<Handler>> handlers_;
  int nextHandlerId_ = 1;
  bool handlerDeletionPending_ = false;

  // Threads and their events.
  std::thread comThread_, dispThread_, outThread_;
  std::thread::id dispThreadId_;
  Event commEventReady_{Event::Reset::kAuto};
  Event dispatchDone_{Event::Reset::kAuto};
  Event threadStarted_{Event::Reset::kAuto};
  Event outputReady_{Event::Reset::kAuto};
  Event outputFlush_{Event::Reset::kAuto};
  Event wakeDispatch_{Event::Reset::kAuto};
  std::atomic<std::uint32_t> pendingEvents_{0};
  std::atomic<bool> closing_{false};
  std::atomic<bool> threadsRunning_{false};
  std::atomic<bool> dispatching_{false};
  std::atomic<bool> dispatchLoopEnded_{true};
  std::atomic<bool> outputTriggersArmed_{false};
  std::atomic<int> lostErrno_{0};
  std::shared_ptr<TKvBaseDispatcher> keepAlive_;  // while a detached dispatch thread ends
  std::atomic<bool> deviceOpen_{false};

  TraceRing trace_;
  DispatchLog log_;
};

}  // namespace tlm
