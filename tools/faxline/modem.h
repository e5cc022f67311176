#pragma once
// An emulated Class 1 fax modem: spandsp's T.31 engine (AT interpreter and
// the V.21/V.27ter/V.29/V.17 modems) behind a pseudo-terminal, on the
// exchange. The program under test opens the link to the pty as its serial
// port.
//
//   modem_port.cpp  the pty, its link, port opens/closes and DTR
//   modem_dte.cpp   bytes between the program and the engine, flow control
//   modem.cpp       the engine's modem-control requests and the call hooks
#include <poll.h>

#include <deque>
#include <string>
#include <vector>

#include "call.h"
#include "exchange.h"
#include "spandsp_internals.h"

namespace faxline {

class Modem : public Endpoint {
 public:
  Modem(Exchange& ex, std::string link, std::string number);
  ~Modem() override;

  // Creates the pty, the link to it and the T.31 engine; false on error.
  bool start(std::string& error);
  // Removes the link (when it still points at this modem's pty).
  void stop();

  const std::string& link() const { return link_; }
  const std::string& pty() const { return pts_; }

  // Main loop: the descriptors to watch, then what poll reported.
  void addPollFds(std::vector<pollfd>& fds);
  void handlePoll(const std::vector<pollfd>& fds);
  // Carries out the requests the engine queued (dial, answer, hang up).
  void processOps();

  bool busy() const override;
  int ringTimeoutMs() const override;
  void incomingRing(Call& c) override;
  void callConnected(Call& c) override;
  void callFailed(Call& c, CallFailure why) override;
  void callEnded(Call& c, bool bySelf) override;
  void audioTx(int16_t* amp, int len) override;
  void audioRx(const int16_t* amp, int len) override;
  void service(int64_t nowMs) override;

 private:
  enum class OpType { Dial, Answer, Hangup, OffHook };
  struct Op {
    OpType type;
    std::string digits;
  };

  // modem_port.cpp
  bool openPty(std::string& error);
  bool makeLink(std::string& error);
  void portEvent();
  int countOpeners() const;
  void updateDtr(bool portChanged);
  void dteLost();

  // modem_dte.cpp
  static int atTxCallback(at_state_t* s, void* user, const uint8_t* buf, size_t len);
  void dteWrite(const uint8_t* buf, size_t len);
  void flushOutput();
  void flushTrace();
  void readDte();
  void feedModem();
  size_t nextPiece() const;
  void feedHdlc(const std::string& chunk);
  void guardHdlcRx();
  static void guardedFrame(void* user, const uint8_t* msg, int len, int ok);
  void flowControl(bool clearToSend);

  // modem.cpp
  static int controlCallback(t31_state_t* s, void* user, int op, const char* num);
  int control(int op, const char* num);
  void setOffHook(bool off);
  bool dialling() const;
  bool ringingIn() const;
  at_state_t* at() const { return &t31_->at_state; }

  Exchange& ex_;
  std::string link_;
  std::string pts_;
  std::string logTag_;
  int master_ = -1;
  int slave_ = -1;  // held open so the pty lives while programs come and go
  int inotify_ = -1;
  int masterIdx_ = -1;
  int inotifyIdx_ = -1;
  t31_state_t* t31_ = nullptr;
  hdlc_frame_handler_t frameHandler_ = nullptr;  // the engine's own V.21 frame handler
  void* frameUser_ = nullptr;

  int openers_ = 0;          // processes that have the port open
  bool dtr_ = false;         // port open and speed not B0
  std::string out_;          // modem -> program, not yet written
  std::string traceOut_;     // modem -> program, not yet shown by --trace
  std::string in_;           // program -> modem, not yet given to the engine
  bool outOverflow_ = false;
  bool hdlcOverflow_ = false;  // dropping the rest of an overlong frame
  bool ctsHold_ = false;       // the engine's transmit buffer is full
  bool xoffSent_ = false;
  bool offHook_ = false;
  int64_t dataCallFailMs_ = -1;
  std::deque<Op> ops_;
};

}  // namespace faxline
