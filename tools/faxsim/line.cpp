#include "line.h"

#include "t4.h"

namespace faxsim {

Call::Call(Exchange& ex, int id, Party& caller, std::string to)
    : ex_(ex), id_(id), caller_(&caller), from_(caller.number()), to_(std::move(to)), rng_(unsigned(id) * 7919u) {}

// Line faults of either end apply to the whole call.
const Faults& Call::faultsFor() const {
  static const Faults none;
  if (const Faults* f = ex_.findFaults(to_)) return *f;
  if (const Faults* f = ex_.findFaults(from_)) return *f;
  return none;
}

void Call::answer(Party& by) {
  if (over_ || answered_) return;
  answered_ = true;
  callee_ = &by;
  ex_.loop().cancel(ringTimer_);
  ex_.log().emit("answered", {{"call", std::to_string(id_)}, {"from", from_}, {"to", to_}});
  caller_->answered(*this, AnswerKind::Fax);
}

void Call::hangup(Party& by, const std::string& reason) {
  if (over_) return;
  over_ = true;
  ex_.loop().cancel(ringTimer_);
  ex_.loop().cancel(answerTimer_);
  ex_.callEnded(*this, by.number(), reason);
  if (Party* o = other(&by)) o->ended(*this, reason);
}

void Call::fail(const std::string& reason) {
  if (over_) return;
  over_ = true;
  ex_.loop().cancel(ringTimer_);
  ex_.callEnded(*this, "line", reason);
  caller_->ended(*this, reason);
}

void Call::carrier(Party& from, const Mod& mod, bool on) {
  if (over_ || !answered_ || dead_) return;
  Party* to = other(&from);
  if (mod.family != 'H') {
    Burst& b = burst_[&from];
    if (on) {
      b = Burst{};
      b.mod = mod;
      b.tcf = frameKind(lastFrame_[&from]) == kDCS;  // the first burst after a DCS
      lastFrame_[&from] = 0;
      b.page = b.tcf ? 0 : ++pages_[&from];
      b.start = ex_.loop().now();
    } else {
      Bitmap bm;
      int lines = 0;
      if (!b.tcf) {
        lines = decodeMh(b.sample, bm).lines;
        if (lines == 0) {  // data from a station sending MSB first
          Bytes r = b.sample;
          reverseBits(r);
          lines = decodeMh(r, bm).lines;
        }
      }
      ex_.log().emit("hs", {{"call", std::to_string(id_)}, {"from", from.number()},
                            {"mod", mod.name()}, {"kind", b.tcf ? "tcf" : "page"},
                            {"page", std::to_string(b.page)}, {"bytes", std::to_string(b.bytes)},
                            {"lines", std::to_string(lines)}});
    }
  }
  if (to) to->lineCarrier(mod, on);
}

void Call::frame(Party& from, const Bytes& f) {
  if (over_ || !answered_ || dead_) return;
  lastFrame_[&from] = frameFcf(f);
  Bytes withFcs = f;
  uint16_t crc = crc16(f.data(), f.size());
  withFcs.push_back(uint8_t(crc & 0xFF));
  withFcs.push_back(uint8_t(crc >> 8));
  ex_.log().emit("frame", {{"call", std::to_string(id_)}, {"from", from.number()},
                           {"name", frameName(frameFcf(f))}, {"final", frameFinal(f) ? "1" : "0"},
                           {"hex", hex(withFcs.data(), withFcs.size())}});
  if (Party* to = other(&from)) to->lineFrame(f, true);
}

void Call::damage(Bytes& d, double rate) {
  std::uniform_real_distribution<double> u(0, 1);
  for (auto& byte : d)
    for (int bit = 0; bit < 8; ++bit)
      if (u(rng_) < rate) byte ^= uint8_t(1 << bit);
}

void Call::data(Party& from, Bytes d) {
  if (over_ || !answered_ || dead_) return;
  Burst& b = burst_[&from];
  const Faults& f = faultsFor();
  if (b.tcf && f.trainFailAbove > 0 && b.mod.rate > f.trainFailAbove) damage(d, 0.05);
  if (!b.tcf && f.bitErrorRate > 0) damage(d, f.bitErrorRate);
  b.bytes += long(d.size());
  if (!b.tcf) b.sample.insert(b.sample.end(), d.begin(), d.end());
  Party* to = other(&from);
  if (to) to->lineData(d);
  if (!b.tcf && f.carrierLossPage == b.page &&
      ex_.loop().now() - b.start >= trainingSeconds(b.mod, false) + 1.0) {
    ex_.log().emit("carrier_lost", {{"call", std::to_string(id_)}, {"from", from.number()},
                                    {"page", std::to_string(b.page)}});
    dead_ = true;
    if (to) to->lineCarrier(b.mod, false);
  }
}

Call* Exchange::dial(Party& caller, const std::string& digits) {
  calls_.push_back(std::make_unique<Call>(*this, nextId_++, caller, digits));
  Call* c = calls_.back().get();
  log_.emit("call", {{"call", std::to_string(c->id())}, {"from", caller.number()}, {"to", digits}});
  auto fail = [this, c](double delay, std::string reason) {
    c->answerTimer_ = loop_.after(delay, [c, reason] { c->fail(reason); });
  };
  const Faults* own = findFaults(caller.number());
  if (own && own->noDialTone) {
    fail(4.0, "no_dialtone");
    return c;
  }
  double dialTime = 1.5 + 0.1 * double(digits.size());
  const Faults* f = findFaults(digits);
  auto it = parties_.find(digits);
  Party* callee = it == parties_.end() ? nullptr : it->second;
  int nth = ++callsTo_[digits];
  bool busyFault = f && f->busy && (f->busyCalls == 0 || nth <= f->busyCalls);
  if (digits == caller.number() || busyFault) {
    fail(dialTime + 1.0, "busy");
    return c;
  }
  if (!callee && !f) {
    fail(dialTime + 4.0, "unknown_number");
    return c;
  }
  bool fake = !callee || (f && (f->voiceAnswer || f->dataAnswer || f->noAnswer));
  if (!fake && !callee->offerCall(*c)) {
    fail(dialTime + 1.0, "busy");
    return c;
  }
  c->callee_ = fake ? nullptr : callee;
  c->ringTimer_ = loop_.after(dialTime + 0.5, [this, c] { startRinging(*c); });
  if (fake && f && (f->voiceAnswer || f->dataAnswer)) {
    double when = dialTime + 0.5 + cfg_.ringInterval * 2 + f->slowAnswer;
    AnswerKind kind = f->voiceAnswer ? AnswerKind::Voice : AnswerKind::Data;
    c->answerTimer_ = loop_.after(when, [this, c, kind] {
      if (c->over_) return;
      loop_.cancel(c->ringTimer_);
      c->answered_ = true;
      log_.emit("answered", {{"call", std::to_string(c->id())}, {"from", c->from_}, {"to", c->to_},
                             {"by", kind == AnswerKind::Voice ? "voice" : "data_modem"}});
      c->caller_->answered(*c, kind);
    });
  }
  return c;
}

void Exchange::startRinging(Call& c) {
  if (c.over_ || c.answered_) return;
  ++c.rings_;
  log_.emit("ring", {{"call", std::to_string(c.id())}, {"from", c.from_}, {"to", c.to_},
                     {"count", std::to_string(c.rings_)}});
  if (c.callee_) c.callee_->ring(c, c.rings_);
  c.ringTimer_ = loop_.after(cfg_.ringInterval, [this, &c] { startRinging(c); });
}

void Exchange::callEnded(Call& c, const std::string& by, const std::string& reason) {
  log_.emit("hangup", {{"call", std::to_string(c.id())}, {"from", c.from_}, {"to", c.to_},
                       {"by", by}, {"reason", reason}, {"answered", c.answered_ ? "1" : "0"}});
  ++ended_;
  if (cfg_.exitAfterCalls > 0 && ended_ >= cfg_.exitAfterCalls && onAllCallsDone)
    loop_.after(0.5, onAllCallsDone);
}

// ---------------------------------------------------------------- Transmitter

void Transmitter::startFrames(std::function<void()> ready) {
  abort();
  mode_ = Mode::Preamble;
  mod_ = kV21;
  if (call_) call_->carrier(self_, kV21, true);
  timer_ = loop_.after(1.0, [this, ready] {
    timer_ = 0;
    mode_ = Mode::Frames;
    if (ready) ready();
    pump();
  });
}

void Transmitter::queueFrame(const Bytes& frame, std::function<void()> sent) {
  frames_.emplace_back(frame, std::move(sent));
  pump();
}

void Transmitter::sendFrames(const std::vector<Bytes>& frames, std::function<void()> done) {
  startFrames({});
  for (const auto& f : frames) frames_.emplace_back(f, nullptr);
  onDone(std::move(done));
}

void Transmitter::startData(const Mod& mod, bool longTrain, std::function<void()> trained) {
  abort();
  mode_ = Mode::Training;
  mod_ = mod;
  if (call_) call_->carrier(self_, mod, true);
  timer_ = loop_.after(trainingSeconds(mod, longTrain), [this, trained] {
    timer_ = 0;
    mode_ = Mode::Data;
    if (trained) trained();
    pump();
  });
}

void Transmitter::finishData(std::function<void()> done) {
  finishing_ = true;
  done_ = std::move(done);
  pump();
}

void Transmitter::pump() {
  if (sending_) return;
  if (mode_ == Mode::Frames && !frames_.empty()) {
    Bytes frame = std::move(frames_.front().first);
    std::function<void()> sent = std::move(frames_.front().second);
    frames_.pop_front();
    sending_ = true;
    double seconds = double(frame.size() + 3) * 8.0 / 300.0;
    timer_ = loop_.after(seconds, [this, frame, sent] {
      timer_ = 0;
      sending_ = false;
      if (call_) call_->frame(self_, frame);
      if (sent) sent();
      if (frameFinal(frame)) {
        sending_ = true;
        timer_ = loop_.after(2 * 8.0 / 300.0, [this] {  // closing flags
          timer_ = 0;
          sending_ = false;
          carrierOff();
          if (auto d = std::move(done_)) d();
        });
      } else {
        pump();
      }
    });
    return;
  }
  if (mode_ == Mode::Data) {
    size_t chunk = size_t(mod_.rate / 8 / 10);  // 100 ms of data
    size_t n = std::min(chunk, queue_.size());
    if (n == 0) {
      if (finishing_) {
        finishing_ = false;
        carrierOff();
        if (auto d = std::move(done_)) d();
      }
      return;  // underrun: the carrier stays up until more data comes
    }
    Bytes part(queue_.begin(), queue_.begin() + long(n));
    queue_.erase(queue_.begin(), queue_.begin() + long(n));
    sending_ = true;
    timer_ = loop_.after(double(n) * 8.0 / mod_.rate, [this, part] {
      timer_ = 0;
      sending_ = false;
      if (call_) call_->data(self_, part);
      if (progress) progress(queue_.size());
      pump();
    });
  }
}

void Transmitter::carrierOff() {
  if (mode_ != Mode::Idle && call_) call_->carrier(self_, mod_, false);
  mode_ = Mode::Idle;
  lastEnd_ = loop_.now();
}

void Transmitter::abort() {
  loop_.cancel(timer_);
  sending_ = false;
  finishing_ = false;
  frames_.clear();
  queue_.clear();
  done_ = nullptr;
  if (mode_ != Mode::Idle) carrierOff();
}

}  // namespace faxsim
