#include "remote_fax.h"

#include <algorithm>
#include <cstring>

#include "diagnostics.h"
#include "line_config.h"

namespace faxline {
namespace {

// A remote machine picks up this long after the ring it answers on.
constexpr int kAnswerAfterRingMs = 2000;
// Once T.30 has finished, the machine goes on hook this much later.
constexpr int kHangupAfterDoneMs = 500;

}  // namespace

RemoteFax::RemoteFax(Exchange& ex, Role role, std::string number, FaxOptions opts)
    : Endpoint(std::move(number)), ex_(ex), role_(role), opts_(std::move(opts)) {
  if (opts_.ident.empty()) opts_.ident = number_.substr(0, 20);
  logTag_ = "fax" + number_;
}

RemoteFax::~RemoteFax() { finishFax(); }

void RemoteFax::setSend(std::string file, std::string target, double delayS) {
  txFile_ = std::move(file);
  target_ = std::move(target);
  callsLeft_ = target_.empty() ? 0 : opts_.calls;
  nextCallMs_ = int64_t(delayS * 1000.0);
}

void RemoteFax::incomingRing(Call&) {}  // answering is timed in service()

void RemoteFax::callConnected(Call& c) {
  callId_ = c.id;
  pageReports_ = 0;
  finishedMs_ = -1;
  fax_ = fax_init(nullptr, c.caller == this);
  if (fax_ == nullptr) {
    logLine("fax %s: fax_init failed", number_.c_str());
    return;
  }
  setUpTerminal();
}

void RemoteFax::setUpTerminal() {
  fax_set_transmit_on_idle(fax_, TRUE);
  t30_state_t* t = t30();
  t30_set_tx_ident(t, opts_.ident.c_str());
  t30_set_ecm_capability(t, opts_.ecm);
  t30_set_supported_modems(t, opts_.modems);
  t30_set_supported_compressions(t, opts_.compressions);
  int res = T30_SUPPORT_STANDARD_RESOLUTION | T30_SUPPORT_R8_RESOLUTION;
  if (opts_.fine) res |= T30_SUPPORT_FINE_RESOLUTION;
  if (opts_.superfine) res |= T30_SUPPORT_SUPERFINE_RESOLUTION;
  t30_set_supported_resolutions(t, res);
  if (!opts_.header.empty()) t30_set_tx_page_header_info(t, opts_.header.c_str());

  // A sender sends when it calls and can be polled when called; a receiver
  // receives, and offers its poll document when it has one.
  const std::string send = role_ == Role::Sender ? txFile_ : opts_.poll;
  sending_ = !send.empty();
  if (sending_) t30_set_tx_file(t, send.c_str(), -1, -1);
  rxFile_.clear();
  if (!rxDir_.empty()) {
    connections_++;
    rxFile_ = rxDir_ + "/rx-" + number_ + "-" + std::to_string(connections_) + ".tif";
    t30_set_rx_file(t, rxFile_.c_str(), -1);
  }
  t30_set_phase_b_handler(t, phaseBCallback, this);
  t30_set_phase_d_handler(t, phaseDCallback, this);
  t30_set_phase_e_handler(t, phaseECallback, this);
  setUpSpanLog(fax_get_logging_state(fax_), logTag_);
  setUpSpanLog(t30_get_logging_state(t), logTag_);
}

void RemoteFax::callFailed(Call&, CallFailure) { scheduleNextCall(); }

void RemoteFax::callEnded(Call& c, bool) {
  finishFax();
  if (c.caller == this) scheduleNextCall();
}

void RemoteFax::scheduleNextCall() { nextCallMs_ = ex_.now() + int64_t(opts_.intervalS) * 1000; }

void RemoteFax::finishFax() {
  if (fax_ == nullptr) return;
  // A call that dropped before T.30 finished reports its phase E here.
  if (t30_call_active(t30())) t30_terminate(t30());
  fax_free(fax_);
  fax_ = nullptr;
}

void RemoteFax::audioTx(int16_t* amp, int len) {
  const int n = fax_ ? fax_tx(fax_, amp, len) : 0;
  if (n < len) std::memset(amp + n, 0, sizeof(int16_t) * size_t(len - n));
}

void RemoteFax::audioRx(const int16_t* amp, int len) {
  if (fax_ == nullptr) return;
  int16_t buf[kBlock];
  while (len > 0) {
    const int n = std::min(len, kBlock);
    std::memcpy(buf, amp, sizeof(int16_t) * size_t(n));  // fax_rx() alters its input
    fax_rx(fax_, buf, n);
    amp += n;
    len -= n;
  }
}

void RemoteFax::service(int64_t nowMs) {
  Call* c = call_;
  if (c && c->state == CallState::Ringing && c->callee == this && opts_.answer) {
    const int rings = opts_.rings >= 0 ? opts_.rings : config.defaultRings;
    if (rings == 0 || (c->rings >= rings && nowMs - c->lastRingMs >= kAnswerAfterRingMs)) ex_.answer(c);
  }
  if (c && c->state == CallState::Connected && fax_ && !t30_call_active(t30())) {
    if (finishedMs_ < 0)
      finishedMs_ = nowMs;
    else if (nowMs - finishedMs_ >= kHangupAfterDoneMs)
      ex_.hangup(c, this, "fax_done");
  }
  if (call_ == nullptr && callsLeft_ > 0 && nowMs >= nextCallMs_) {
    callsLeft_--;
    ex_.dial(this, target_);
  }
}

}  // namespace faxline
