#include "exchange.h"

#include <algorithm>

#include "event.h"
#include "line_config.h"

namespace faxline {
namespace {

// Dialling takes this long before the far end rings (or the busy tone starts).
constexpr int kDialMs = 1500;
// A modem needs about two cadences to recognise the busy tone.
constexpr int kBusyDetectMs = 1000;
// A number nobody has: the caller hears nothing and gives up after this.
constexpr int kUnknownNumberMs = 4000;

}  // namespace

Endpoint* Exchange::lookup(const std::string& number) const {
  for (Endpoint* e : endpoints_)
    if (e->number() == number) return e;
  return nullptr;
}

Call* Exchange::dial(Endpoint* caller, const std::string& digits) {
  auto call = std::make_unique<Call>();
  Call* c = call.get();
  c->id = nextCallId_++;
  c->caller = caller;
  c->from = caller->number();
  c->to = digits;
  c->dialedMs = nowMs_;
  if (std::find(busyNumbers_.begin(), busyNumbers_.end(), digits) != busyNumbers_.end()) {
    c->busy = true;
  } else {
    Endpoint* callee = lookup(digits);
    if (callee == caller)
      c->busy = true;  // calling yourself gives the busy tone
    else
      c->callee = callee;
  }
  caller->setCall(c);
  calls_.push_back(std::move(call));
  Event("call").num("call", c->id).str("from", c->from).str("to", c->to).emit();
  return c;
}

void Exchange::ring(Call& c) {
  c.rings++;
  c.lastRingMs = nowMs_;
  c.nextRingMs = nowMs_ + config.ringIntervalMs;
  Event("ring").num("call", c.id).str("from", c.from).str("to", c.to).num("count", c.rings).emit();
  c.callee->incomingRing(c);
}

void Exchange::answer(Call* c) {
  if (c == nullptr || c->state != CallState::Ringing) return;
  c->state = CallState::Connected;
  c->connectedMs = nowMs_;
  // Audio reaches the far end one block after it was sent, as on a real
  // line: otherwise both ends could start talking in the same block after a
  // turn-around. --delay adds to this.
  const int delay = kBlock + config.delayMs * kSampleRate / 1000;
  c->forward.setUp(delay, config.noise, config.noiseDbm0, 1000 + 2 * c->id);
  c->backward.setUp(delay, config.noise, config.noiseDbm0, 1001 + 2 * c->id);
  Event("answered").num("call", c->id).str("from", c->from).str("to", c->to).emit();
  c->callee->callConnected(*c);
  c->caller->callConnected(*c);
}

void Exchange::hangup(Call* c, Endpoint* by, const char* reason, CallFailure failure) {
  if (c == nullptr || c->state == CallState::Ended) return;
  const CallState was = c->state;
  c->state = CallState::Ended;
  endedCalls_++;
  for (Endpoint* e : {c->caller, c->callee})
    if (e && e->call() == c) e->setCall(nullptr);

  // A caller still waiting for an answer sees a failed attempt; everybody
  // else sees the end of the call.
  if (c->caller != by && was != CallState::Connected)
    c->caller->callFailed(*c, failure);
  else
    c->caller->callEnded(*c, c->caller == by);
  if (c->callee && (was != CallState::Dialing || c->callee == by)) c->callee->callEnded(*c, c->callee == by);

  Event ev("hangup");
  ev.num("call", c->id).str("from", c->from).str("to", c->to);
  ev.str("by", by ? by->number() : std::string("line")).str("reason", reason);
  ev.num("answered", was == CallState::Connected ? 1 : 0);
  if (was == CallState::Connected) ev.real("duration", double(nowMs_ - c->connectedMs) / 1000.0, 1);
  ev.emit();
}

void Exchange::hangupAll(const char* reason) {
  for (auto& c : calls_) hangup(c.get(), nullptr, reason);
}

void Exchange::tick() {
  nowMs_ += kTickMs;
  for (Endpoint* e : endpoints_) e->service(nowMs_);
  // By index: the hooks may place new calls.
  for (size_t i = 0; i < calls_.size(); ++i) progress(*calls_[i]);
  audio();
}

// The call progress timers of one call.
void Exchange::progress(Call& c) {
  if (c.state == CallState::Dialing) {
    const int64_t elapsed = nowMs_ - c.dialedMs;
    if (elapsed < kDialMs) return;
    if (!c.busy && c.callee && c.callee->busy()) c.busy = true;
    if (c.busy) {
      if (elapsed >= kDialMs + kBusyDetectMs) hangup(&c, nullptr, "busy", CallFailure::Busy);
    } else if (c.callee == nullptr) {
      if (elapsed >= kUnknownNumberMs) hangup(&c, nullptr, "unknown_number");
    } else {
      c.state = CallState::Ringing;
      c.callee->setCall(&c);
      ring(c);
    }
  } else if (c.state == CallState::Ringing) {
    if (nowMs_ - c.dialedMs >= c.caller->ringTimeoutMs())
      hangup(&c, nullptr, "no_answer");
    else if (nowMs_ >= c.nextRingMs)
      ring(c);
  }
}

void Exchange::audio() {
  static const int16_t silence[kBlock] = {};
  int16_t aTx[kBlock], bTx[kBlock], aRx[kBlock], bRx[kBlock], idle[kBlock];
  std::vector<Endpoint*> served;
  for (auto& cp : calls_) {
    Call& c = *cp;
    if (c.state != CallState::Connected) continue;
    c.caller->audioTx(aTx, kBlock);
    c.callee->audioTx(bTx, kBlock);
    c.forward.process(aTx, bRx, kBlock);
    c.backward.process(bTx, aRx, kBlock);
    c.caller->audioRx(aRx, kBlock);
    c.callee->audioRx(bRx, kBlock);
    served.push_back(c.caller);
    served.push_back(c.callee);
  }
  // Endpoints without a connected call still need their timers driven.
  for (Endpoint* e : endpoints_) {
    if (std::find(served.begin(), served.end(), e) != served.end()) continue;
    e->audioTx(idle, kBlock);
    e->audioRx(silence, kBlock);
  }
}

void Exchange::collect() {
  std::erase_if(calls_, [](const std::unique_ptr<Call>& c) { return c->state == CallState::Ended; });
}

}  // namespace faxline
