#pragma once
// The common base of a fax session over a fax modem: the session settings,
// modem initialisation and class selection, and the engine that runs a
// session as a state machine on the port's dispatch thread.
//
// How a derived session (transmit, receive) plugs in:
//  - It calls StartSession(firstState) on the application's thread. That
//    prepares the port (19200 baud, DTR and RTS), resolves the class (the
//    class query for fcDetect), sends the init strings in the component's
//    first session only, selects the Class 2/2.0 command table, queries the
//    Class 1 speeds, registers the session's procedure handler and runs
//    `firstState` on the dispatch thread. A failure before the handler runs
//    is returned (negative code) and reported with OnFaxError and
//    OnFaxFinish.
//  - Step(input) is the state procedure: one switch over the derived
//    class's named states. The base calls it with kEnter when a state is
//    entered by Proceed(), and with each received line, frame, XON, raw
//    data or output trigger while the state waits. A state moves on with
//    Proceed(next) (run the next state at once) or Wait(next) (run it when
//    input or a trigger arrives).
//  - TimeoutRule() is called when the armed time-out (ArmTimeout) expires;
//    it carries the per-state time-out rules (default: error 6006).
//  - Abort(error) is called on a user abort (6005, status 42) and by Fail();
//    the derived class moves to its abort state there.
//  - The session ends with EndSession(error): the finish event runs and the
//    handler and triggers are removed.
//  - The derived destructor calls StopSession() first, while Step and
//    Abort still belong to a whole object: a running session is ended
//    through its abort path without events, and the port's handler and
//    triggers are gone before the members go.
//  - SetInputMode() says how received bytes are cut up: result lines (the
//    default), one HDLC frame after "AT+FRH=3" CONNECT (then lines again),
//    waiting for XON, dropping everything while page data is written, or raw
//    bytes (kData; the view is valid during the Step call only) while page
//    data is received.
//  - Other events of a derived component (OnFaxNext, OnFaxAccept, OnFaxName)
//    go through RunOnMainThread(); PostStatus/PostLog/PostError send the
//    common ones. FlagFileIncomplete(true) makes the finish event delete
//    FaxFile() when the session ends with an error.
//  - Every session step runs on the port's dispatch thread; Pause() blocks
//    it (the output thread keeps writing).
// Error codes are negative inside the engine and in the events
// (-6005 for a cancel); ErrorText() takes either sign.
#include <atomic>
#include <mutex>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "fax/class2.h"
#include "fax/fax_log.h"
#include "fax/fax_codes.h"
#include "fax/modem_setup.h"
#include "fax/t30_frames.h"
#include "platform/ticks.h"

namespace tlm {

class TKvCustomComPort;
class MainThreadBridge;
class TKvAbstractFaxStatus;

inline constexpr std::size_t kStationIdMax = 20;
inline constexpr std::size_t kModemLineMax = 255;
inline constexpr std::int64_t kFaxEventTimeoutMs = 10000;
// Synchronous commands: ticks to wait for a reply.
inline constexpr std::int32_t kCommandTimeoutTicks = 54;
// Input buffer fill levels of XON/XOFF flow on received data.
inline constexpr int kInputFlowFull = 6144;
inline constexpr int kInputFlowResume = 2048;

// Notification message codes of a fax component (the abort request and the
// events posted to the application).
inline constexpr std::uint16_t kFaxMsgAbort = 0x7EA0;
inline constexpr std::uint16_t kFaxMsgNext = 0x7EA1;
inline constexpr std::uint16_t kFaxMsgStatus = 0x7EA2;
inline constexpr std::uint16_t kFaxMsgLog = 0x7EA3;
inline constexpr std::uint16_t kFaxMsgName = 0x7EA4;
inline constexpr std::uint16_t kFaxMsgAccept = 0x7EA5;
inline constexpr std::uint16_t kFaxMsgError = 0x7EA6;
inline constexpr std::uint16_t kFaxMsgFinish = 0x7EA7;

// A status display the session keeps up to date.
class TKvAbstractFaxStatus {
 public:
  virtual ~TKvAbstractFaxStatus() = default;
  virtual void UpdateDisplay(class TKvCustomAbstractFax& fax, bool first, bool last) = 0;
};

// What the state procedure is called with.
struct FaxInput {
  enum Kind {
    kEnter,       // the state was entered with Proceed()
    kLine,        // a modem result line (text, without CR LF; empty lines skipped)
    kFrame,       // a complete HDLC frame (frame) after "AT+FRH=3"
    kXon,         // an XON byte while in kXonWait mode
    kData,        // raw received bytes (data) in kRaw mode
    kOutputFree,  // the output-free trigger fired
    kOutputUsed,  // the output-used trigger fired (output empty)
  };
  FaxInput() = default;
  explicit FaxInput(Kind k) : kind(k) {}
  Kind kind = kEnter;
  std::string text;
  t30::Frame frame;
  std::string_view data;
  bool Is(std::string_view line) const { return kind == kLine && text == line; }
  bool Starts(std::string_view prefix) const { return kind == kLine && text.rfind(prefix, 0) == 0; }
};

// How received bytes are read.
enum class FaxInputMode {
  kLines,    // result lines
  kFrame,    // HDLC frame bytes up to DLE ETX, then lines again
  kXonWait,  // wait for XON, drop the rest
  kDiscard,  // drop everything (page data being sent)
  kRaw,      // hand bytes over as they come (page data being received)
};

class TKvCustomAbstractFax {
 public:
  TKvCustomAbstractFax();
  virtual ~TKvCustomAbstractFax();
  TKvCustomAbstractFax(const TKvCustomAbstractFax&) = delete;
  TKvCustomAbstractFax& operator=(const TKvCustomAbstractFax&) = delete;

  // ---- properties ----------------------------------------------------------
  // Assigning a port sets it to 8N1, 19200 baud, 8192-byte buffers and
  // RTS/CTS flow.
  TKvCustomComPort* ComPort() const { return comPort_; }
  void SetComPort(TKvCustomComPort* port);
  TFaxClass FaxClass() const { return faxClass_; }
  void SetFaxClass(TFaxClass c) { faxClass_ = c; }
  const std::string& ModemInit() const { return modemInit_; }
  void SetModemInit(std::string_view init) { modemInit_ = NormalizeModemInit(init); }
  const std::string& StationID() const { return stationId_; }
  void SetStationID(std::string_view id) { stationId_ = std::string(id.substr(0, kStationIdMax)); }
  const std::string& FaxFile() const { return faxFile_; }
  void SetFaxFile(const std::string& name) { faxFile_ = name; }

  std::uint32_t InitBaud = 0;
  std::uint32_t NormalBaud = 0;
  TKvAbstractFaxStatus* StatusDisplay = nullptr;
  TKvFaxLog* FaxLog = nullptr;
  bool AbortNoConnect = false;
  bool ExitOnError = false;
  bool SoftwareFlow = false;
  int StatusInterval = 1;
  int DesiredBPS = 9600;
  bool DesiredECM = false;
  // Class 1: the most compact page coding the session may use (the remote
  // and the program's coders may limit it further).
  T4Coding DesiredCoding = T4Coding::MMR;
  std::string FaxFileExt = "APF";

  // The bridge to the application's thread (default: the port's).
  void SetMainThreadBridge(MainThreadBridge* bridge) { bridge_ = bridge; }

  // ---- events (run on the application's thread) ------------------------------
  std::function<void(TKvCustomAbstractFax&, bool first, bool last)> OnFaxStatus;
  std::function<void(TKvCustomAbstractFax&, TFaxLogCode)> OnFaxLog;
  std::function<void(TKvCustomAbstractFax&, int errorCode)> OnFaxError;
  std::function<void(TKvCustomAbstractFax&, int errorCode)> OnFaxFinish;

  // ---- session values (read by status displays) -------------------------------
  int FaxStatus() const { return status_.load(); }
  TFaxClass ClassInUse() const { return classInUse_; }
  std::string RemoteID() const;
  int CurrentPage() const { return currentPage_.load(); }
  int TotalPages() const { return totalPages_.load(); }
  long BytesTransferred() const { return bytesDone_.load(); }
  long PageLength() const { return pageLength_.load(); }
  int SessionBPS() const { return sessionBps_.load(); }
  bool SessionResolution() const { return sessionFine_.load(); }
  bool SessionWide() const { return sessionWide_.load(); }
  bool SessionECM() const { return sessionEcm_.load(); }
  T4Coding SessionCoding() const { return sessionCoding_.load(); }
  // Error correction: frames sent again (or asked for again) in this call.
  int RetransmittedFrames() const { return retransmittedFrames_.load(); }
  int HangupCode() const { return hangupCode_.load(); }
  int LastError() const { return error_.load(); }
  bool InProgress() const { return running_.load(); }

  // ---- operations ------------------------------------------------------------
  // Asks a running session to stop (error 6005, status 42).
  void CancelFax();
  // Ends a running session now, from the application's thread, and waits
  // for it: no further events reach the application, the session's abort
  // path ends page data and hangs up, and the session's handler and
  // triggers leave the port (which stays open for the next user). Does
  // nothing when no session runs; safe to call again.
  void StopSession();
  // Asks the modem which fax classes it supports ("AT+FCLASS=?"), after the
  // init string (up to two tries) when `sendInit`. 0 or a negative code
  // (-8061 when the modem gives no class list).
  int GetModemClasses(bool sendInit, ClassSupport& support);
  // The Class 1 speeds both "AT+FTM=?" and "AT+FRM=?" list, up to
  // DesiredBPS. 0 or a negative code.
  int GetClass1Speeds(t30::SpeedMask& speeds);
  // Sends `command` + CR and waits for its reply (see SendSyncCommand).
  int SyncCommand(const std::string& command, std::string* reply = nullptr);

 protected:
  // ---- the derived session's hooks ---------------------------------------------
  virtual void Step(const FaxInput& input) = 0;
  virtual void TimeoutRule() { Fail(-fax_error::kTimeout); }
  virtual void Abort(int error) = 0;
  // Whether the status-interval timer posts a status event now (the timer
  // runs on either way).
  virtual bool PeriodicStatusDue() const { return true; }

  // ---- used by derived sessions --------------------------------------------------
  int StartSession(int firstState);
  int State() const { return state_; }
  void Proceed(int next);  // run `next` at once
  void Wait(int next);     // run `next` on the next input
  void SetInputMode(FaxInputMode mode);
  FaxInputMode InputMode() const { return inputMode_; }
  void ArmTimeout(std::int32_t ticks);
  void DisarmTimeout();
  void ArmOutputFree(std::uint16_t bytes);
  void ArmOutputUsed(std::uint16_t bytes = 0);
  // Records the error, reports it with OnFaxError, and calls Abort().
  void Fail(int error);
  void EndSession(int error);

  // Port access on the dispatch thread (never throw; errors become Fail).
  void Send(std::string_view bytes);
  void SendCommand(std::string_view command);  // + CR
  void Pause(int ms);
  void HangUp();
  std::size_t OutputFree();
  std::size_t OutputUsed();
  // XON/XOFF flow on the data written to the modem (the modem stops us) or
  // on the data read from it (we stop the modem when the input buffer holds
  // kInputFlowFull bytes, until it is down to kInputFlowResume). Each
  // direction is switched without touching the other, and only with
  // SoftwareFlow set.
  void SetOutputFlow(bool xonXoff) { SetSoftwareFlow(false, xonXoff); }
  void SetInputFlow(bool xonXoff) { SetSoftwareFlow(true, xonXoff); }

  // Events, sent to the application's thread while the engine waits.
  void SetStatus(int status);
  void PostStatus(bool first, bool last);
  void PostLog(TFaxLogCode code);
  void PostError(int error);
  // Runs `fn` on the application's thread and waits (with a time-out);
  // false when it did not run in time.
  bool RunOnMainThread(const std::function<void()>& fn, std::int64_t timeoutMs = kFaxEventTimeoutMs);
  // In kRaw mode: how many bytes of the data just handed over the state
  // used (default all); the rest is read in the then current input mode.
  void ConsumeRaw(std::size_t n) { rawConsumed_ = n; }

  void SetRemoteId(std::string_view id);
  void SetClassInUse(TFaxClass c) { classInUse_ = c; }

  // The dial-option init string sent in the component's first session.
  virtual std::string DialOptionInit() const { return DialOptionInitString(false, true); }
  // A file flagged incomplete is deleted before OnFaxFinish runs.
  void FlagFileIncomplete(bool on) { fileIncomplete_ = on; }
  // Extra text for the history file (the job's phone number and files).
  virtual void FillLogContext(FaxLogContext& context) const;

  // Session record.
  const class2::CommandTable* table_ = nullptr;  // Class 2/2.0
  t30::SpeedMask localSpeeds_ = 0;              // Class 1
  std::atomic<int> status_{0};
  std::atomic<int> error_{0};
  std::atomic<int> hangupCode_{0};
  std::atomic<int> currentPage_{0};
  std::atomic<int> totalPages_{0};
  std::atomic<long> bytesDone_{0};
  std::atomic<long> pageLength_{0};
  std::atomic<int> sessionBps_{0};
  std::atomic<bool> sessionFine_{false};
  std::atomic<bool> sessionWide_{false};
  std::atomic<bool> sessionEcm_{false};
  std::atomic<T4Coding> sessionCoding_{T4Coding::MH};
  std::atomic<int> retransmittedFrames_{0};
  bool userAbort_ = false;
  // Class 1: what this station offers or picks from, by DesiredCoding,
  // DesiredECM and the codings the program can code.
  t30::Facilities LocalFacilities() const;

 private:
  void OnNotification(std::uint16_t msg, std::uint16_t trigger, std::uint32_t data);
  void RunHook(const std::function<void()>& hook);
  void Trace(const FaxInput& input) const;
  void Deliver(const FaxInput& input);
  void FeedInput();
  void FeedBytes(std::string_view bytes);
  void DeliverLine();
  int PrepareModem();
  int ReadLine(std::string& line, std::int32_t ticks);
  int ReadLineUntil(std::string& line, const TickTimer& deadline);
  int SendSyncCommand(const std::string& command, std::string* reply);
  int QueryList(const std::string& command, bool (*isList)(std::string_view), std::string& list);
  void RemoveSessionHooks();
  void DetachSession();
  void StopModemData();
  void SetPortSpeed(std::uint32_t baud);
  void SetSoftwareFlow(bool input, bool xonXoff);

  // The session's link from the port's dispatch thread: notifications go
  // through it, closing it waits for one being handled and lets no later
  // one reach the component. It lives as long as the port holds the handler.
  struct SessionGate {
    std::mutex lock;
    TKvCustomAbstractFax* owner = nullptr;
    std::atomic<std::thread::id> runner{};
    void Notify(std::uint16_t msg, std::uint16_t trigger, std::uint32_t data);
    void Close();
  };
  std::shared_ptr<SessionGate> gate_;

  TKvCustomComPort* comPort_ = nullptr;
  MainThreadBridge* bridge_ = nullptr;
  TFaxClass faxClass_ = fcDetect;
  TFaxClass classInUse_ = fcUnknown;
  std::string modemInit_;
  std::string stationId_;
  std::string faxFile_;
  bool initSent_ = false;
  bool fileIncomplete_ = false;

  // Engine state (dispatch thread).
  int state_ = 0;
  bool proceed_ = false;
  FaxInputMode inputMode_ = FaxInputMode::kLines;
  std::string lineBuffer_;
  t30::FrameCollector frame_;
  std::string remoteId_;
  mutable std::mutex remoteIdLock_;
  int firstState_ = 0;
  bool startPending_ = false;
  int abortTrigger_ = 0;
  int handlerId_ = 0;
  int timeoutTrigger_ = 0;
  int statusTrigger_ = 0;
  int outFreeTrigger_ = 0;
  int outUsedTrigger_ = 0;
  std::atomic<bool> running_{false};
  std::atomic<bool> abortRequested_{false};
  std::atomic<bool> quiet_{false};  // events are dropped (the session is being stopped)
  std::size_t rawConsumed_ = 0;
};

class TKvAbstractFax : public TKvCustomAbstractFax {};

}  // namespace tlm
