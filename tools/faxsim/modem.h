#pragma once
// An emulated fax modem on a pseudo-terminal: the Hayes command set, Class 1
// (the program runs T.30, the modem frames and modulates) and Class 2 / 2.0
// (the modem runs T.30 itself and the program moves page data).
#include <deque>
#include <map>
#include <memory>
#include <set>

#include "t30.h"

namespace faxsim {

struct ModemConfig {
  std::string path;    // link to the pty
  std::string number;
  std::vector<std::string> classes = {"0", "1", "2", "2.0"};
  int maxRate = 14400;
  bool class2RxReversed = true;  // Class 2 hands received data MSB first
  bool wide = true;              // Class 2/2.0: takes and sends 2048-pixel (B4) pages
  std::string manufacturer = "Faxsim", model = "Emulated fax modem", revision = "1.0";
};

class Modem : public Party, public T30Host {
 public:
  Modem(Exchange& ex, ModemConfig cfg);
  ~Modem() override;
  std::string create();  // opens the pty and makes the link; error text or ""
  void removeLink();
  const std::string& number() const override { return cfg_.number; }
  const std::string& ptyName() const { return ptyName_; }
  // Waiting for calls: the port open, a fax class selected, on hook, no
  // command pending. How long since the last command, and which opening of
  // the port this is, tell a caller when to ring it.
  bool waitingForCalls() const;
  double lastCommandAt() const { return lastCommand_; }
  int openCount() const { return openCount_; }

  bool offerCall(Call& call) override;
  void ring(Call& call, int count) override;
  void answered(Call& call, AnswerKind kind) override;
  void ended(Call& call, const std::string& reason) override;
  void lineCarrier(const Mod& mod, bool on) override;
  void lineFrame(const Bytes& frame, bool good) override;
  void lineData(const Bytes& data) override;

  // T30Host (Class 2 / 2.0).
  void t30Connected() override;
  void t30Dis(const Caps&, const std::string& csi) override;
  void t30Trained(const Caps& dcs) override;
  void t30PageDone(int ppr) override;
  void t30Dcs(const Caps&, const std::string& tsi) override;
  void t30CfrSent() override;
  void t30PageStart() override;
  void t30PageData(const Bytes& d) override;
  void t30PageEnd() override;
  void t30PostPage(int ppm) override;
  void t30End(int code, bool hangUp) override;

 private:
  enum class Mode {
    Command,     // AT commands (on or off hook)
    Dialing,     // ATD pending
    Answering,   // ATA pending
    TxHdlc,      // Class 1 +FTH: frames from the DTE
    TxData,      // Class 1 +FTM: data from the DTE
    RxHdlc,      // Class 1 +FRH (or after ATD)
    RxData,      // Class 1 +FRM
    Silence,     // Class 1 +FTS / +FRS
    C2Wait,      // Class 2: a command waits for the T.30 engine
    C2Send,      // Class 2: page data from the DTE
    C2Recv,      // Class 2: page data to the DTE
  };

  // Port and byte streams.
  void poll(short revents);
  void checkOpen();
  void readInput();
  void input(uint8_t c);
  void write(const std::string& s);
  void writeBytes(const Bytes& b) { write(std::string(b.begin(), b.end())); }
  void flushOut();
  bool wantsInput() const;

  // Results.
  void result(const std::string& verbose);  // final result code
  void info(const std::string& line);       // information text line
  std::string fhng(int code) const;

  // Commands.
  void commandLine(const std::string& line);
  bool extended(const std::string& name, const std::string& op, const std::string& value, bool& deferred);
  bool class1Command(const std::string& name, const std::string& op, const std::string& value, bool& deferred);
  bool class2Command(const std::string& name, const std::string& op, const std::string& value, bool& deferred);
  void reset();
  void hangUp(const std::string& reason);
  void dial(const std::string& digits);
  void answer();
  bool isClass1() const { return fclass_ == "1" || fclass_ == "1.0"; }
  bool isClass2() const { return fclass_ == "2"; }
  bool isClass20() const { return fclass_ == "2.0"; }
  bool anyClass2() const { return isClass2() || isClass20(); }

  // Class 1.
  void abortReceive();
  void deliverFrame(const Bytes& f, bool good);
  void startHdlcReceive();
  void startDataReceive(int code);
  void dataByte(uint8_t c);
  void endTxFrame();
  void waitSilence(double seconds);
  EventLoop::TimerId silenceTimer_ = 0;
  double frsSeconds_ = 0;  // +FRS in progress

  // Class 2.
  void startSession(bool caller);
  std::string params(const Caps& c) const;
  void sendDteData(const Bytes& d);
  void c2EndOfData(int ppm);
  void c2Finish(int code);
  std::string& param(const std::string& name) { return p2_[name]; }

  Exchange& ex_;
  EventLoop& loop_;
  EventLog& log_;
  ModemConfig cfg_;
  Transmitter tx_;
  int master_ = -1;
  bool open_ = false;
  std::string ptyName_;
  std::string out_;
  std::string line_;
  double lastInput_ = 0;
  double lastCommand_ = 0;
  int openCount_ = 0;
  EventLoop::TimerId escapeTimer_ = 0, openTimer_ = 0;

  // Hayes state.
  bool echo_ = true, quiet_ = false, verbose_ = true;
  int x_ = 4;
  std::map<int, int> s_;
  std::string fclass_ = "0";
  Mode mode_ = Mode::Command;
  Call* call_ = nullptr;
  bool offHook_ = false;
  bool noAnswerResult_ = false;
  EventLoop::TimerId timer_ = 0;

  // Class 1.
  bool dle_ = false;
  bool xoff_ = false;  // XOFF sent to the DTE (transmit buffer full)
  void flowControl();
  Bytes frame_;
  bool rxConnected_ = false;
  Mod rxCarrier_;                  // what the far end is sending now
  double rxCarrierStart_ = 0;
  Bytes rxEarly_;                  // high-speed data heard before +FRM
  std::deque<std::pair<Bytes, bool>> rxFrames_;
  Mod wantMod_;
  std::string pendingFinal_;  // result held until the far carrier drops
  double lastCarrierOff_ = 0;

  // Class 2 / 2.0.
  std::map<std::string, std::string> p2_;
  std::unique_ptr<T30> t30_, retired_;  // retired_: ended engine, kept until the next call
  bool caller_ = false;
  bool fdtPending_ = false, fdrPending_ = false, cfrSent_ = false, cfrReported_ = false;
  bool pageStarted_ = false, pageEnded_ = false, dc2_ = false;
  int postPage_ = -1, pageQuality_ = 1, ppmSent_ = -1, lastPpr_ = 0;
  bool pprOverride_ = false;
  bool hangupReported_ = false;
  Bytes rxPage_, rxPending_;
  Bytes txPage_;  // the page as the DTE sent it (to check its RTC)
  void toLine(const Bytes& d);
  int pageLines_ = 0, pageBad_ = 0, pageConsecBad_ = 0;
  Caps dcs_;
};

}  // namespace faxsim
