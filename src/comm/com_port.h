#pragma once
// The port component: line settings, the dispatcher of the open port, and
// the port's operations and events.
//
// Events run on the main thread: the component registers a window handler
// that reaches it through the main-thread bridge (SetMainThreadBridge);
// without a bridge they run on the dispatch thread. Set the bridge and the
// events before opening the port: the dispatch thread looks at them. A close
// asked for while a handler runs is finished through the bridge once the
// dispatch has returned. Errors raise EComError (or a subclass) carrying the
// negative code and its text.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "comm/comm_error.h"
#include "comm/comm_types.h"
#include "comm/dispatcher.h"
#include "comm/triggers.h"

namespace tlm {

class MainThreadBridge;

class TKvCustomComPort {
 public:
  TKvCustomComPort();
  virtual ~TKvCustomComPort();
  TKvCustomComPort(const TKvCustomComPort&) = delete;
  TKvCustomComPort& operator=(const TKvCustomComPort&) = delete;

  // ---- properties --------------------------------------------------------
  TDeviceLayer DeviceLayer() const { return deviceLayer_; }
  void SetDeviceLayer(TDeviceLayer layer);
  int ComNumber() const { return comNumber_; }
  void SetComNumber(int number);  // while open: reopens, keeping triggers
  // A device path used instead of the COM number's mapping (tools, tests).
  const std::string& DeviceName() const { return deviceName_; }
  void SetDeviceName(const std::string& path);
  std::uint32_t Baud() const { return baud_; }
  void SetBaud(std::uint32_t baud);
  bool PromptForPort() const { return promptForPort_; }
  void SetPromptForPort(bool prompt) { promptForPort_ = prompt; }
  TParity Parity() const { return parity_; }
  void SetParity(TParity parity);
  int DataBits() const { return dataBits_; }
  void SetDataBits(int bits);
  int StopBits() const { return stopBits_; }
  void SetStopBits(int bits);
  int InSize() const { return inSize_; }
  void SetInSize(int size);
  int OutSize() const { return outSize_; }
  void SetOutSize(int size);  // while open: reopens with the new ring
  bool AutoOpen() const { return autoOpen_; }
  void SetAutoOpen(bool on) { autoOpen_ = on; }
  bool Open() const { return dispatcher_ != nullptr; }
  void SetOpen(bool open);
  bool DTR() const { return dtr_; }
  void SetDTR(bool on);
  bool RTS() const { return rts_; }
  void SetRTS(bool on);
  THWFlowOptions HWFlowOptions() const { return hwFlow_; }
  void SetHWFlowOptions(THWFlowOptions options);
  TSWFlowOptions SWFlowOptions() const { return swFlow_; }
  void SetSWFlowOptions(TSWFlowOptions options);
  std::uint8_t XOnChar() const { return xonChar_; }
  void SetXOnChar(std::uint8_t c);
  std::uint8_t XOffChar() const { return xoffChar_; }
  void SetXOffChar(std::uint8_t c);
  int BufferFull() const { return bufferFull_; }
  void SetBufferFull(int bytes);
  int BufferResume() const { return bufferResume_; }
  void SetBufferResume(int bytes);
  TTraceLogState Tracing() const { return tracing_; }
  void SetTracing(TTraceLogState state);
  int TraceSize() const { return traceSize_; }
  void SetTraceSize(int entries);
  const std::string& TraceName() const { return traceName_; }
  void SetTraceName(const std::string& name) { traceName_ = name; }
  bool TraceHex() const { return traceHex_; }
  void SetTraceHex(bool on) { traceHex_ = on; }
  TTraceLogState Logging() const { return logging_; }
  void SetLogging(TTraceLogState state);
  int LogSize() const { return logSize_; }
  void SetLogSize(int entries);
  const std::string& LogName() const { return logName_; }
  void SetLogName(const std::string& name) { logName_ = name; }
  bool LogHex() const { return logHex_; }
  void SetLogHex(bool on) { logHex_ = on; }
  // Kept for settings of older device layers; no effect here.
  bool UseMSRShadow() const { return useMSRShadow_; }
  void SetUseMSRShadow(bool on) { useMSRShadow_ = on; }
  bool UseEventWord() const { return useEventWord_; }
  void SetUseEventWord(bool on) { useEventWord_ = on; }
  int CommNotificationLevel() const { return commNotificationLevel_; }
  void SetCommNotificationLevel(int level) { commNotificationLevel_ = level; }
  TTapiMode TapiMode() const { return tapiMode_; }
  void SetTapiMode(TTapiMode mode) { tapiMode_ = mode; }
  bool RS485Mode() const { return rs485_; }
  void SetRS485Mode(bool on);

  // The bridge through which events reach the main thread.
  void SetMainThreadBridge(MainThreadBridge* bridge) { bridge_ = bridge; }
  MainThreadBridge* Bridge() const { return bridge_; }

  // Asked to choose a port when none is set and PromptForPort is on: returns
  // the chosen COM number, or 0 when the user cancels. The Qt layer installs
  // its "Select Port" window here.
  static void SetPortPrompt(std::function<int()> prompt);

  // ---- events (sender first) --------------------------------------------
  std::function<void(TKvCustomComPort&, std::uint16_t msg, std::uint16_t trigger, std::uint32_t data)> OnTrigger;
  std::function<void(TKvCustomComPort&, std::uint16_t count)> OnTriggerAvail;
  std::function<void(TKvCustomComPort&, std::uint16_t trigger)> OnTriggerData;
  std::function<void(TKvCustomComPort&, std::uint16_t trigger)> OnTriggerStatus;
  std::function<void(TKvCustomComPort&, std::uint16_t trigger)> OnTriggerTimer;
  std::function<void(TKvCustomComPort&, std::uint16_t error, bool lineBreak)> OnTriggerLineError;
  std::function<void(TKvCustomComPort&)> OnTriggerModemStatus;
  std::function<void(TKvCustomComPort&)> OnTriggerOutbuffFree;
  std::function<void(TKvCustomComPort&)> OnTriggerOutbuffUsed;
  std::function<void(TKvCustomComPort&)> OnTriggerOutSent;
  std::function<void(TKvCustomComPort&, char c)> OnWaitChar;
  // An exception thrown by one of the events above (the application shows
  // it; dispatch goes on). Without it the text goes to standard error.
  std::function<void(TKvCustomComPort&, const std::string& message)> OnHandlerError;

  // ---- output ------------------------------------------------------------
  void PutChar(char c);
  void PutString(const std::string& text);
  void PutBlock(const void* bytes, std::size_t count);
  std::size_t OutBuffUsed();
  std::size_t OutBuffFree();
  void FlushOutBuffer();

  // ---- input -------------------------------------------------------------
  bool CharReady();
  std::size_t InBuffUsed();
  std::size_t InBuffFree();
  char GetChar();
  void GetBlock(void* bytes, std::size_t count);
  char PeekChar(std::size_t n);  // n = 1 is the next character
  void PeekBlock(void* bytes, std::size_t count);
  void FlushInBuffer();
  // Reads (consuming) until `text` has arrived or `timeoutTicks` pass;
  // OnWaitChar sees each character. True when it arrived. Usable from a
  // trigger handler on the dispatch thread.
  bool WaitForString(const std::string& text, std::int32_t timeoutTicks, bool ignoreCase = false);

  // ---- signals and status -------------------------------------------------
  void SendBreak(int ms = 250);
  std::uint8_t ModemStatus();  // clears the delta bits
  bool ModemStatusKnown();     // false for devices without modem lines
  bool CTS();
  bool DSR();
  bool RI();
  bool DCD();
  bool DeltaCTS();
  bool DeltaDSR();
  bool DeltaRI();
  bool DeltaDCD();
  std::uint16_t LineError();
  bool LineBreak();

  // ---- triggers ----------------------------------------------------------
  int AddTimerTrigger();
  void SetTimerTrigger(int handle, std::int32_t ticks, bool activate);
  int AddDataTrigger(const std::string& match, bool ignoreCase);
  int AddStatusTrigger(int type);
  void SetStatusTrigger(int handle, std::uint16_t value, bool activate);
  void SetTriggerAvail(std::uint32_t bytes);
  void RemoveTrigger(int handle);
  // Handlers: a procedure runs on the dispatch thread; a method too, or on
  // the main thread when `syncMain`; a window handler through `bridge`.
  int RegisterProcedureHandler(TTriggerCallback fn);
  int RegisterMethodHandler(TTriggerCallback fn, bool syncMain = false);
  int RegisterWindowHandler(MainThreadBridge* bridge, TTriggerCallback fn);
  void DeregisterTriggerHandler(int id);

  // The open port's dispatcher (nullptr while closed).
  TKvBaseDispatcher* Dispatcher() { return dispatcher_.get(); }
  // The device path the port opens (DeviceName, else the COM mapping).
  std::string DevicePath() const;

 protected:
  TKvBaseDispatcher& Active();  // opens on first use with AutoOpen

 private:
  void OpenPort();
  void ClosePort();
  void Reopen();
  void ApplyFlow();
  void ApplyTraceLog();
  void HandleNotification(std::uint16_t msg, std::uint16_t trigger, std::uint32_t data);
  bool HasEvents() const;
  void Check(int result);
  bool ModemBit(std::uint8_t bit);

  std::shared_ptr<TKvBaseDispatcher> dispatcher_;
  MainThreadBridge* bridge_ = nullptr;
  TriggerSet savedTriggers_;
  bool haveSavedTriggers_ = false;
  int windowHandlerId_ = 0;
  std::uint8_t lastModemStatus_ = 0;

  TDeviceLayer deviceLayer_ = dlWin32;
  int comNumber_ = 0;
  std::string deviceName_;
  std::uint32_t baud_ = 19200;
  bool promptForPort_ = true;
  TParity parity_ = pNone;
  int dataBits_ = 8;
  int stopBits_ = 1;
  int inSize_ = 4096;
  int outSize_ = 4096;
  bool autoOpen_ = true;
  bool dtr_ = true;
  bool rts_ = true;
  THWFlowOptions hwFlow_ = 0;
  TSWFlowOptions swFlow_ = swfNone;
  std::uint8_t xonChar_ = 17;
  std::uint8_t xoffChar_ = 19;
  int bufferFull_ = 0;
  int bufferResume_ = 0;
  TTraceLogState tracing_ = tlOff;
  int traceSize_ = 10000;
  std::string traceName_ = "KOVA.TRC";
  bool traceHex_ = true;
  TTraceLogState logging_ = tlOff;
  int logSize_ = 10000;
  std::string logName_ = "KOVA.LOG";
  bool logHex_ = true;
  bool useMSRShadow_ = true;
  bool useEventWord_ = true;
  int commNotificationLevel_ = 10;
  TTapiMode tapiMode_ = tmAuto;
  bool rs485_ = false;
};

class TKvComPort : public TKvCustomComPort {};

}  // namespace tlm
