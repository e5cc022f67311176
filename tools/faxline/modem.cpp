// The modem's life on the line: the T.31 engine's modem-control requests
// become dials, answers and hang-ups on the exchange, and the exchange's
// call progress becomes the engine's call events (RING, CONNECT, BUSY,
// NO CARRIER).
#include "modem.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>

#include "diagnostics.h"
#include "event.h"
#include "line_config.h"

namespace faxline {

Modem::Modem(Exchange& ex, std::string link, std::string number)
    : Endpoint(std::move(number)), ex_(ex), link_(std::move(link)) {}

Modem::~Modem() {
  stop();
  if (t31_) t31_free(t31_);
  for (int fd : {inotify_, slave_, master_})
    if (fd >= 0) close(fd);
}

bool Modem::start(std::string& error) {
  if (!openPty(error)) return false;
  t31_ = t31_init(nullptr, atTxCallback, this, controlCallback, this, nullptr, nullptr);
  if (t31_ == nullptr) {
    error = "t31_init failed";
    return false;
  }
  t31_set_transmit_on_idle(t31_, TRUE);
  logTag_ = link_.substr(link_.find_last_of('/') + 1);
  setUpSpanLog(t31_get_logging_state(t31_), logTag_);
  setUpSpanLog(&t31_->at_state.logging, logTag_);
  return makeLink(error);
}

void Modem::addPollFds(std::vector<pollfd>& fds) {
  inotifyIdx_ = int(fds.size());
  fds.push_back({inotify_, POLLIN, 0});
  short events = 0;
  if (!ctsHold_ && in_.empty()) events |= POLLIN;
  if (!out_.empty()) events |= POLLOUT;
  masterIdx_ = int(fds.size());
  fds.push_back({master_, events, 0});
}

void Modem::handlePoll(const std::vector<pollfd>& fds) {
  // Opens first: a program's first command must not find the port closed.
  if (fds[size_t(inotifyIdx_)].revents & POLLIN) portEvent();
  const short rev = fds[size_t(masterIdx_)].revents;
  if (rev & POLLOUT) flushOutput();
  if (rev & (POLLIN | POLLERR | POLLHUP)) readDte();
}

bool Modem::ringingIn() const {
  return call_ && call_->callee == this && call_->state == CallState::Ringing;
}

bool Modem::dialling() const {
  return call_ && call_->caller == this && (call_->state == CallState::Dialing || call_->state == CallState::Ringing);
}

void Modem::processOps() {
  feedModem();
  while (!ops_.empty()) {
    const Op op = ops_.front();
    ops_.pop_front();
    const bool ringing = ringingIn();
    switch (op.type) {
      case OpType::Dial:
        if (ringing) ex_.hangup(call_, this, "glare");
        if (call_) {
          at_put_response_code(at(), AT_RESPONSE_CODE_ERROR);
          break;
        }
        setOffHook(true);
        ex_.dial(this, op.digits);
        break;
      case OpType::Answer:
        if (ringing) {
          setOffHook(true);
          ex_.answer(call_);
        } else if (call_ == nullptr) {
          // Nothing is ringing: off hook, answering into silence.
          setOffHook(true);
          Event("answered_idle").str("modem", link_).str("number", number_).emit();
          t31_call_event(t31_, AT_CALL_EVENT_ANSWERED);
        }
        break;
      case OpType::Hangup:
        // ATH, ATZ, AT&F or a modem time-out; an incoming call rings on.
        if (call_ && !ringing) ex_.hangup(call_, this, "modem_hangup");
        setOffHook(false);
        break;
      case OpType::OffHook:
        if (ringing) ex_.hangup(call_, this, "rejected");
        setOffHook(true);
        break;
    }
  }
  flushOutput();
  flushTrace();
}

int Modem::controlCallback(t31_state_t*, void* user, int op, const char* num) {
  return static_cast<Modem*>(user)->control(op, num);
}

// Called from inside the engine: whatever calls back into it (call events)
// is queued and done by processOps().
int Modem::control(int op, const char* num) {
  switch (op) {
    case AT_MODEM_CONTROL_CALL:
      // The interpreter also passes this, without a number, when it enters
      // an HDLC or data mode after +FIT=0: not a dial.
      if (num == nullptr) return 0;
      if (call_ && !ringingIn()) return -1;
      ops_.push_back({OpType::Dial, digitsOnly(num)});
      return 0;
    case AT_MODEM_CONTROL_ANSWER:
      if (call_ && (call_->caller == this || call_->state == CallState::Connected)) return -1;
      ops_.push_back({OpType::Answer, ""});
      return 0;
    case AT_MODEM_CONTROL_HANGUP:
      ops_.push_back({OpType::Hangup, ""});
      return 0;
    case AT_MODEM_CONTROL_OFFHOOK:
      ops_.push_back({OpType::OffHook, ""});
      return 0;
    case AT_MODEM_CONTROL_ONHOOK:
      setOffHook(false);
      return 0;
    case AT_MODEM_CONTROL_CTS:
      flowControl(num != nullptr);
      return 0;
    default:
      // SETID, and DTR, RTS, CAR, RNG, DSR: a pty has no modem status lines.
      return 0;
  }
}

void Modem::setOffHook(bool off) {
  if (off == offHook_) return;
  offHook_ = off;
  Event(off ? "offhook" : "onhook").str("modem", link_).str("number", number_).emit();
}

bool Modem::busy() const { return call_ != nullptr || offHook_; }

int Modem::ringTimeoutMs() const {
  // Like a real modem: wait S7 seconds for the far end.
  return std::max(int(t31_->at_state.p.s_regs[7]), 1) * 1000;
}

void Modem::incomingRing(Call& c) {
  if (c.rings == 1) {
    // Caller ID for +VCID=1, shown before the first RING.
    char date[8], hm[8];
    const time_t now = time(nullptr);
    tm lt{};
    localtime_r(&now, &lt);
    strftime(date, sizeof date, "%m%d", &lt);
    strftime(hm, sizeof hm, "%H%M", &lt);
    at_reset_call_info(at());
    at_set_call_info(at(), "DATE", date);
    at_set_call_info(at(), "TIME", hm);
    at_set_call_info(at(), "NMBR", c.from.c_str());
  }
  // With DTR off a modem neither reports nor auto-answers.
  if (dtr_) t31_call_event(t31_, AT_CALL_EVENT_ALERTING);
}

void Modem::callConnected(Call& c) {
  t31_call_event(t31_, c.callee == this ? AT_CALL_EVENT_ANSWERED : AT_CALL_EVENT_CONNECTED);
  // A data-mode (+FCLASS=0) modem never trains against a fax machine.
  if (at()->fclass_mode == 0) dataCallFailMs_ = ex_.now() + 5000;
}

void Modem::callFailed(Call&, CallFailure why) {
  if (why == CallFailure::Busy) {
    t31_call_event(t31_, AT_CALL_EVENT_BUSY);
  } else {
    t31_call_event(t31_, AT_CALL_EVENT_HANGUP);
    at_put_response_code(at(), AT_RESPONSE_CODE_NO_CARRIER);
  }
  setOffHook(false);
  flushOutput();
}

void Modem::callEnded(Call&, bool bySelf) {
  dataCallFailMs_ = -1;
  if (bySelf || !offHook_) return;  // hung up here, or an unanswered ring just stops
  // The far end hung up: NO CARRIER if the program was waiting for data.
  t31_call_event(t31_, AT_CALL_EVENT_HANGUP);
  setOffHook(false);
  flushOutput();
}

void Modem::audioTx(int16_t* amp, int len) {
  const int n = t31_tx(t31_, amp, len);
  if (n < len) std::memset(amp + n, 0, sizeof(int16_t) * size_t(len - n));
}

void Modem::audioRx(const int16_t* amp, int len) {
  guardHdlcRx();
  int16_t buf[kBlock];
  while (len > 0) {
    const int n = std::min(len, kBlock);
    std::memcpy(buf, amp, sizeof(int16_t) * size_t(n));  // the engine may alter its input
    t31_rx(t31_, buf, n);
    amp += n;
    len -= n;
  }
}

void Modem::service(int64_t nowMs) {
  flushTrace();
  updateDtr(false);
  if (dataCallFailMs_ >= 0 && nowMs >= dataCallFailMs_) {
    dataCallFailMs_ = -1;
    if (call_) ex_.hangup(call_, this, "data_mode");
    t31_call_event(t31_, AT_CALL_EVENT_HANGUP);
    at_put_response_code(at(), AT_RESPONSE_CODE_NO_CARRIER);
    setOffHook(false);
  }
  flushOutput();
}

}  // namespace faxline
