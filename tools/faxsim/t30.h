#pragma once
// The T.30 procedure of a fax station that runs it itself: the simulated
// remote fax machines and the Class 2 / 2.0 modems. One engine serves one
// call, either as the transmitter (the caller) or as the receiver (the
// answerer). The host supplies and takes the pages.
#include <functional>
#include <string>

#include "line.h"

namespace faxsim {

// Post-page messages (the +FET numbering) and responses (+FPTS numbering).
enum Ppm { kPpmMps = 0, kPpmEom = 1, kPpmEop = 2 };
enum Ppr { kPprMcf = 1, kPprRtn = 2, kPprRtp = 3, kPprPin = 4, kPprPip = 5 };

class T30Host {
 public:
  virtual ~T30Host() = default;
  virtual void t30Connected() {}
  // Transmitter.
  virtual void t30Dis(const Caps&, const std::string& /*csi*/) {}
  virtual void t30Trained(const Caps& /*dcs*/) {}
  virtual void t30PageDone(int /*ppr*/) {}
  // Receiver.
  virtual void t30Dcs(const Caps&, const std::string& /*tsi*/) {}
  virtual void t30CfrSent() {}
  virtual void t30PageStart() {}
  virtual void t30PageData(const Bytes&) {}
  virtual void t30PageEnd() {}
  virtual void t30PostPage(int /*ppm*/) {}
  // The procedure is over: code is the Class 2 hang-up code (0 = normal).
  // hangUp: the station goes on hook without a DCN (a hang-up fault).
  virtual void t30End(int code, bool hangUp) = 0;
};

struct T30Config {
  std::string ident;
  Caps caps;               // receiver: the DIS offered; transmitter: own limits
  int maxRate = 14400;
  std::string dcnAt, hangupAt;  // faults: DCN / hang-up instead of a frame
};

class T30 {
 public:
  T30(EventLoop& loop, EventLog& log, Transmitter& tx, T30Host& host, T30Config cfg);
  ~T30();
  void setConfig(const T30Config& cfg) { cfg_ = cfg; }
  const T30Config& config() const { return cfg_; }

  void startTransmitter();              // caller: wait for DIS
  void startReceiver(double cedSeconds); // answerer: CED, then DIS

  // Transmitter: send the next page with these parameters (DCS and
  // training when needed); t30Trained() follows, then pageData()...
  void sendPage(bool fine, bool wide);
  void pageData(const Bytes& d) { tx_.pushData(d); }
  void endData(std::function<void()> drained);
  void sendPpm(int ppm);
  const Caps& session() const { return dcs_; }
  const Caps& remoteCaps() const { return remote_; }
  int minBitsPerLine() const;

  // Receiver: the response to the post-page message.
  void respond(int ppr);

  // Ends the procedure: a DCN, then t30End(code).
  void disconnect(int code);
  void stop();  // the call is gone: no more signals, no t30End
  bool done() const { return state_ == St::Done; }
  // While the final DCN goes out: the result of the procedure (else -1).
  int closing() const { return closing_; }

  void lineCarrier(const Mod& mod, bool on);
  void lineFrame(const Bytes& frame, bool good);
  void lineData(const Bytes& d);

 private:
  enum class St {
    Idle, WaitDis, DisReady, SendDcs, SendTcf, WaitCfr, Trained, SendPpm, WaitPpr,
    SendDis, WaitCmd, WaitTcf, SendCfr, WaitPage, Page, WaitPpm, PprPending, SendPpr, WaitDcn, Done
  };
  void enter(St s) { state_ = s; }
  void arm(double seconds, std::function<void()> fn);
  void sendDis();
  void sendDcs();
  void checkTcf();
  void finish(int code, bool hangUp = false);
  // Sends frames unless a fault replaces the last one by DCN or a hang-up.
  void send(std::vector<Bytes> frames, std::function<void()> done);
  uint8_t x(uint8_t fcf) const { return transmitter_ ? uint8_t(fcf | 1) : fcf; }
  void onCommand(const Bytes& f);
  void sendDcn(int code);
  void attemptPpm();
  int closing_ = -1;
  // Runs fn once the far end's carrier is off plus the turn-round gap.
  void afterSilence(std::function<void()> fn);
  bool farCarrier_ = false;
  Mod farMod_;
  void enterListening(St s);  // WaitPage / WaitCmd: catches a carrier already up
  std::function<void()> whenQuiet_;

  EventLoop& loop_;
  EventLog& log_;
  Transmitter& tx_;
  T30Host& host_;
  T30Config cfg_;
  St state_ = St::Idle;
  bool transmitter_ = false;
  EventLoop::TimerId timer_ = 0, t1_ = 0;
  int tries_ = 0;
  Caps remote_, dcs_;
  std::string remoteId_;
  bool trained_ = false;
  size_t modIndex_ = 0;
  bool wantFine_ = false, wantWide_ = false;
  int lastPpm_ = 0;
  Bytes tcf_;
  std::map<std::string, int> sentCount_;
};

}  // namespace faxsim
