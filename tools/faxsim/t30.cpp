// T.30 phases B to E for a station that runs the procedure itself.
#include "t30.h"

namespace faxsim {
namespace {
constexpr double kT1 = 35.0, kT2 = 6.0, kT4 = 3.0;
constexpr double kGap = 0.075;  // silence between V.21 and high-speed signals
}  // namespace

T30::T30(EventLoop& loop, EventLog& log, Transmitter& tx, T30Host& host, T30Config cfg)
    : loop_(loop), log_(log), tx_(tx), host_(host), cfg_(std::move(cfg)) {}

// Only the timers: at exit the line and the far end may already be gone.
T30::~T30() {
  loop_.cancel(timer_);
  loop_.cancel(t1_);
}

void T30::arm(double seconds, std::function<void()> fn) {
  loop_.cancel(timer_);
  timer_ = loop_.after(seconds, [this, fn] {
    timer_ = 0;
    fn();
  });
}

void T30::stop() {
  loop_.cancel(timer_);
  loop_.cancel(t1_);
  if (state_ != St::Idle) tx_.abort();
  state_ = St::Done;
}

void T30::finish(int code, bool hangUp) {
  loop_.cancel(timer_);
  loop_.cancel(t1_);
  state_ = St::Done;
  host_.t30End(code, hangUp);
}

void T30::afterSilence(std::function<void()> fn) {
  if (farCarrier_) {
    whenQuiet_ = std::move(fn);
    return;
  }
  arm(kGap, std::move(fn));
}

void T30::send(std::vector<Bytes> frames, std::function<void()> done) {
  // A fault may replace the last frame of the set.
  std::string name = frameName(frameFcf(frames.back()));
  int n = ++sentCount_[name];
  auto matches = [&](const std::string& at) {
    if (at.empty()) return false;
    auto atSign = at.find('@');
    if (at.substr(0, atSign) != name) return false;
    return atSign == std::string::npos ? n == 1 : n == std::atoi(at.c_str() + atSign + 1);
  };
  if (matches(cfg_.hangupAt)) {
    log_.trace("fault: hang up instead of " + name);
    finish(state_ == St::WaitPage || state_ == St::Page ? 90 : 70, true);
    return;
  }
  if (matches(cfg_.dcnAt)) {
    log_.trace("fault: DCN instead of " + name);
    sendDcn(transmitter_ ? 50 : 100);
    return;
  }
  tx_.sendFrames(frames, std::move(done));
}

// ------------------------------------------------------------ transmitter

void T30::startTransmitter() {
  transmitter_ = true;
  enter(St::WaitDis);
  t1_ = loop_.after(kT1, [this] {
    t1_ = 0;
    if (state_ == St::WaitDis) finish(11);
  });
}

int T30::minBitsPerLine() const {
  int ms = dcs_.scanMs;
  return ms * dcs_.mod.rate / 1000;
}

void T30::sendPage(bool fine, bool wide) {
  if (trained_ && fine == wantFine_ && wide == wantWide_ && state_ == St::Trained) {
    arm(kGap, [this] {
      tx_.startData(dcs_.mod, false, nullptr);
      host_.t30Trained(dcs_);
    });
    return;
  }
  wantFine_ = fine;
  wantWide_ = wide;
  if (state_ == St::WaitDis) return;  // sent once the DIS arrives
  tries_ = 0;
  sendDcs();
}

void T30::sendDcs() {
  const auto& order = modulationOrder();
  while (modIndex_ < order.size()) {
    const Mod& m = order[modIndex_];
    bool remoteOk = (m.family == 'G' && remote_.v17) || (m.family == '9' && remote_.v29) ||
                    (m.family == '7' && (remote_.v27 || m.rate == 2400));
    bool localOk = ((m.family == 'G' && cfg_.caps.v17) || (m.family == '9' && cfg_.caps.v29) ||
                    m.family == '7') && m.rate <= cfg_.maxRate;
    if (remoteOk && localOk) break;
    ++modIndex_;
  }
  if (modIndex_ >= order.size()) {
    sendDcn(27);
    return;
  }
  dcs_ = Caps{};
  dcs_.mod = order[modIndex_];
  dcs_.fine = wantFine_ && remote_.fine;
  dcs_.wide = wantWide_ && remote_.wide;
  dcs_.scanMs = dcs_.fine ? remote_.scanMsFine : remote_.scanMs;
  enter(St::SendDcs);
  std::vector<Bytes> frames;
  if (!cfg_.ident.empty()) frames.push_back(makeIdFrame(x(kTSI), cfg_.ident));
  frames.push_back(makeFrame(x(kDCS), true, encodeDcs(dcs_)));
  afterSilence([this, frames] { send(frames, [this] {
    arm(kGap, [this] {
      enter(St::SendTcf);
      tx_.startData(dcs_.mod, true, nullptr);
      tx_.pushData(Bytes(size_t(dcs_.mod.rate * 3 / 16), 0));  // 1.5 s of zeros
      tx_.finishData([this] {
        enter(St::WaitCfr);
        arm(kT4, [this] {
          if (++tries_ >= 3) {
            sendDcn(25);
          } else {
            sendDcs();
          }
        });
      });
    });
  }); });
}

void T30::endData(std::function<void()> drained) { tx_.finishData(std::move(drained)); }

void T30::sendPpm(int ppm) {
  lastPpm_ = ppm;
  tries_ = 0;
  arm(kGap, [this] { attemptPpm(); });
}

// Sends the post-page message; repeated after T4 without an answer.
void T30::attemptPpm() {
  uint8_t fcf = lastPpm_ == kPpmMps ? kMPS : lastPpm_ == kPpmEom ? kEOM : kEOP;
  enter(St::SendPpm);
  send({makeFrame(x(fcf), true)}, [this] {
    enter(St::WaitPpr);
    arm(kT4, [this] {
      if (++tries_ >= 3) sendDcn(lastPpm_ == kPpmMps ? 52 : lastPpm_ == kPpmEop ? 54 : 56);
      else attemptPpm();
    });
  });
}

// ------------------------------------------------------------ receiver

void T30::startReceiver(double cedSeconds) {
  transmitter_ = false;
  enter(St::SendDis);
  arm(cedSeconds, [this] { sendDis(); });
  t1_ = loop_.after(kT1, [this] {
    t1_ = 0;
    if (state_ == St::SendDis || (state_ == St::WaitCmd && !trained_ && remoteId_.empty() && dcs_.mod.none()))
      finish(1);
  });
}

void T30::sendDis() {
  enter(St::SendDis);
  std::vector<Bytes> frames;
  if (!cfg_.ident.empty()) frames.push_back(makeIdFrame(kCSI, cfg_.ident));
  Caps c = cfg_.caps;
  c.v17 = c.v17 && cfg_.maxRate >= 7200;
  c.v29 = c.v29 && cfg_.maxRate >= 7200;
  c.v27 = c.v27 && cfg_.maxRate >= 4800;
  frames.push_back(makeFrame(kDIS, true, encodeDis(c)));
  send(frames, [this] {
    enter(St::WaitCmd);
    arm(kT4, [this] {
      if (++tries_ >= 6) finish(70);
      else sendDis();
    });
  });
}

void T30::checkTcf() {
  size_t zeros = 0;
  for (uint8_t b : tcf_) zeros += b == 0;
  size_t need = size_t(dcs_.mod.rate / 8);  // one second's worth
  bool good = tcf_.size() >= need && (tcf_.size() - zeros) * 10 <= tcf_.size();
  log_.emit("tcf", {{"bytes", std::to_string(tcf_.size())},
                    {"nonzero", std::to_string(tcf_.size() - zeros)}, {"result", good ? "good" : "bad"}});
  tcf_.clear();
  enter(St::SendCfr);
  afterSilence([this, good] {
    if (!good) {
      send({makeFrame(kFTT, true)}, [this] {
        enter(St::WaitCmd);
        arm(kT2, [this] { finish(72); });
      });
      return;
    }
    send({makeFrame(kCFR, true)}, [this] {
      trained_ = true;
      arm(kT2, [this] { finish(73); });
      enterListening(St::WaitPage);
      host_.t30CfrSent();
    });
  });
}

void T30::respond(int ppr) {
  if (state_ != St::PprPending) return;
  enter(St::SendPpr);
  uint8_t fcf = ppr == kPprMcf ? kMCF : ppr == kPprRtn ? kRTN : ppr == kPprRtp ? kRTP
              : ppr == kPprPin ? kPIN : kPIP;
  afterSilence([this, fcf, ppr] { send({makeFrame(fcf, true)}, [this, ppr] {
    bool good = ppr == kPprMcf || ppr == kPprRtp || ppr == kPprPip;
    if (!good || ppr == kPprRtp) trained_ = false;
    if (!good) {
      enter(St::WaitCmd);
      arm(kT2, [this] { finish(100); });
    } else if (lastPpm_ == kPpmEop) {
      enter(St::WaitDcn);
      arm(kT2, [this] { finish(0); });
    } else if (lastPpm_ == kPpmEom) {
      tries_ = 0;
      arm(1.0, [this] { sendDis(); });
    } else {
      arm(kT2, [this] { finish(73); });
      enterListening(trained_ ? St::WaitPage : St::WaitCmd);
    }
  }); });
}

// ------------------------------------------------------------ both

void T30::disconnect(int code) {
  if (state_ == St::Done) return;
  loop_.cancel(timer_);
  sendDcn(code);
}

void T30::sendDcn(int code) {
  closing_ = code;
  enter(St::Done);
  tx_.sendFrames({makeFrame(x(kDCN), true)}, [this, code] { finish(code); });
}

void T30::enterListening(St s) {
  enter(s);
  if (farCarrier_ && !(farMod_ == kV21)) lineCarrier(farMod_, true);
}

void T30::lineCarrier(const Mod& mod, bool on) {
  farCarrier_ = on;
  farMod_ = mod;
  if (!on && whenQuiet_) {
    auto fn = std::move(whenQuiet_);
    whenQuiet_ = nullptr;
    arm(kGap, fn);
  }
  if (state_ == St::Done || state_ == St::Idle) return;
  if (mod == kV21) {
    if (on && state_ == St::WaitDis) host_.t30Connected();
    return;
  }
  if (on && mod == dcs_.mod && (state_ == St::WaitCmd || state_ == St::WaitTcf)) {
    enter(St::WaitTcf);
    tcf_.clear();
    loop_.cancel(timer_);
  } else if (on && mod == dcs_.mod && state_ == St::WaitPage) {
    enter(St::Page);
    loop_.cancel(timer_);
    host_.t30PageStart();
  } else if (!on && state_ == St::WaitTcf) {
    checkTcf();
  } else if (!on && state_ == St::Page) {
    enter(St::WaitPpm);
    host_.t30PageEnd();
    arm(kT2, [this] { finish(100); });
  }
}

void T30::lineData(const Bytes& d) {
  if (state_ == St::WaitTcf) tcf_.insert(tcf_.end(), d.begin(), d.end());
  else if (state_ == St::Page) host_.t30PageData(d);
}

void T30::lineFrame(const Bytes& f, bool good) {
  if (!good || state_ == St::Done || state_ == St::Idle) return;
  uint8_t kind = frameKind(frameFcf(f));
  if (kind == kDCN) {
    bool normal = !transmitter_ && state_ == St::WaitDcn;
    // A DCN as the answer to a post-page message is an invalid response.
    int invalid = lastPpm_ == kPpmMps ? 53 : lastPpm_ == kPpmEop ? 55 : 57;
    int code = normal ? 0 : transmitter_ ? (state_ == St::WaitPpr ? invalid : 20)
                                         : (state_ == St::WaitPpm || state_ == St::PprPending ? 100 : 70);
    finish(code);
    return;
  }
  if (transmitter_) {
    switch (state_) {
      case St::WaitDis:
      case St::DisReady:
        if (kind == kCSI) remoteId_ = decodeId(f);
        if (kind == kDIS && state_ == St::WaitDis) {
          loop_.cancel(t1_);
          remote_ = decodeDis(frameFif(f));
          modIndex_ = 0;
          trained_ = false;
          enter(St::DisReady);
          host_.t30Dis(remote_, remoteId_);
        }
        break;
      case St::WaitCfr:
        if (kind == kCFR) {
          loop_.cancel(timer_);
          trained_ = true;
          enter(St::Trained);
          log_.emit("trained", {{"mod", dcs_.mod.name()}});
          arm(kGap, [this] {
            tx_.startData(dcs_.mod, false, nullptr);
            host_.t30Trained(dcs_);
          });
        } else if (kind == kFTT) {
          loop_.cancel(timer_);
          ++modIndex_;
          tries_ = 0;
          sendDcs();
        } else if (kind == kDIS) {  // our DCS was not heard: the answerer repeats DIS
          loop_.cancel(timer_);
          sendDcs();
        }
        break;
      case St::WaitPpr: {
        int ppr = kind == kMCF ? kPprMcf : kind == kRTN ? kPprRtn : kind == kRTP ? kPprRtp
                : kind == kPIN ? kPprPin : kind == kPIP ? kPprPip : 0;
        if (ppr == 0) break;  // e.g. a repeated frame; keep waiting
        loop_.cancel(timer_);
        bool good = ppr == kPprMcf || ppr == kPprRtp || ppr == kPprPip;
        if (!good || ppr == kPprRtp) trained_ = false;
        if (good && lastPpm_ == kPpmEop) {
          host_.t30PageDone(ppr);
          sendDcn(0);
          return;
        }
        if (good && lastPpm_ == kPpmEom) {
          enter(St::WaitDis);
          remoteId_.clear();
          t1_ = loop_.after(kT1, [this] { t1_ = 0; if (state_ == St::WaitDis) finish(11); });
        } else {
          enter(trained_ ? St::Trained : St::DisReady);
          if (!trained_) tries_ = 0;
        }
        host_.t30PageDone(ppr);
        break;
      }
      default:
        break;
    }
    return;
  }
  onCommand(f);
}

void T30::onCommand(const Bytes& f) {
  uint8_t kind = frameKind(frameFcf(f));
  switch (state_) {
    case St::WaitCmd:
    case St::WaitPage:
    case St::SendDis:
      if (kind == kTSI) remoteId_ = decodeId(f);
      if (kind == kDCS) {
        loop_.cancel(timer_);
        // The caller is a fax machine: T1 ends here, also for the DIS
        // repeated after an EOM.
        loop_.cancel(t1_);
        dcs_ = decodeDcs(frameFif(f));
        trained_ = false;
        enter(St::WaitTcf);
        arm(kT2, [this] { finish(72); });
        host_.t30Dcs(dcs_, remoteId_);
      }
      break;
    case St::WaitPpm:
    case St::PprPending:
      if (kind == kMPS || kind == kEOM || kind == kEOP || kind == kPRI_MPS || kind == kPRI_EOM ||
          kind == kPRI_EOP) {
        if (state_ == St::PprPending) break;  // a repeat while the host decides
        loop_.cancel(timer_);
        lastPpm_ = (kind == kMPS || kind == kPRI_MPS) ? kPpmMps
                   : (kind == kEOM || kind == kPRI_EOM) ? kPpmEom : kPpmEop;
        enter(St::PprPending);
        host_.t30PostPage(lastPpm_);
      }
      break;
    default:
      break;
  }
}

}  // namespace faxsim
