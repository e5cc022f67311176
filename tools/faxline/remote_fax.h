#pragma once
// A remote fax machine on the line: a spandsp T.30 terminal that receives
// into TIFF files or sends a TIFF file, and reports each phase of its calls
// as events.
//
//   remote_fax.cpp          answering, calling, the terminal's set-up and audio
//   remote_fax_reports.cpp  the phase B, D and E events
#include <string>

#include "call.h"
#include "exchange.h"
#include "fax_options.h"
#include "spandsp_internals.h"

namespace faxline {

class RemoteFax : public Endpoint {
 public:
  enum class Role { Receiver, Sender };

  RemoteFax(Exchange& ex, Role role, std::string number, FaxOptions opts);
  ~RemoteFax() override;

  // Receiver: documents go to dir/rx-<number>-<n>.tif, n counting calls.
  void setReceiveDir(std::string dir) { rxDir_ = std::move(dir); }
  // Sender: sends `file`, calling `target` after `delayS` seconds (an
  // empty target only answers, for a caller that polls).
  void setSend(std::string file, std::string target, double delayS);

  const char* roleName() const { return role_ == Role::Sender ? "sender" : "receiver"; }
  const std::string& rxDir() const { return rxDir_; }
  const std::string& txFile() const { return txFile_; }
  const std::string& target() const { return target_; }

  void incomingRing(Call& c) override;
  void callConnected(Call& c) override;
  void callFailed(Call& c, CallFailure why) override;
  void callEnded(Call& c, bool bySelf) override;
  void audioTx(int16_t* amp, int len) override;
  void audioRx(const int16_t* amp, int len) override;
  void service(int64_t nowMs) override;

 private:
  void setUpTerminal();
  void finishFax();
  void scheduleNextCall();
  t30_state_t* t30() const { return fax_get_t30_state(fax_); }

  // remote_fax_reports.cpp
  static int phaseBCallback(t30_state_t* s, void* user, int result);
  static int phaseDCallback(t30_state_t* s, void* user, int result);
  static void phaseECallback(t30_state_t* s, void* user, int result);
  void phaseB(int result);
  void phaseD(int result);
  void phaseE(int result);

  Exchange& ex_;
  Role role_;
  FaxOptions opts_;
  std::string rxDir_;
  std::string txFile_;
  std::string target_;
  int callsLeft_ = 0;
  int64_t nextCallMs_ = 0;

  fax_state_t* fax_ = nullptr;  // exists while a call is connected
  int callId_ = 0;
  int connections_ = 0;  // numbers the received files
  int pageReports_ = 0;
  bool sending_ = false;  // this call sends a document
  std::string rxFile_;
  std::string logTag_;
  int64_t finishedMs_ = -1;  // when T.30 finished
};

}  // namespace faxline
