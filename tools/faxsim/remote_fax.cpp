#include "remote_fax.h"

#include <sys/stat.h>

#include "t4.h"

namespace faxsim {

RemoteFax::RemoteFax(Exchange& ex, RemoteConfig cfg) : ex_(ex), cfg_(std::move(cfg)), tx_(ex.loop(), *this) {
  if (cfg_.ident.empty() && !cfg_.noIdent) cfg_.ident = cfg_.number;
}

void RemoteFax::start() {
  if (!sender() || cfg_.callNumber.empty()) return;
  for (int i = 0; i < cfg_.calls; ++i)
    ex_.loop().after(cfg_.callDelay + i * cfg_.callInterval, [this] { callNow(); });
}

void RemoteFax::callNow() {
  if (call_) return;  // already in a call
  ++callCount_;
  call_ = ex_.dial(*this, cfg_.callNumber);
  tx_.setCall(call_);
  // A fax machine gives up after T0 (60 s) without an answer.
  Call* c = call_;
  ex_.loop().after(60.0, [this, c] {
    if (call_ == c && !c->isAnswered()) {
      c->hangup(*this, "no_answer");
      finishCall("no_answer");
    }
  });
}

void RemoteFax::beginSession() {
  T30Config tc;
  tc.ident = cfg_.ident;
  tc.caps = cfg_.caps;
  tc.maxRate = cfg_.maxRate;
  if (const Faults* f = ex_.findFaults(cfg_.number)) {
    tc.dcnAt = f->dcnAt;
    tc.hangupAt = f->hangupAt;
  }
  t30_ = std::make_unique<T30>(ex_.loop(), ex_.log(), tx_, *this, tc);
  remoteId_.clear();
  pagesDone_ = pageRetries_ = rxPage_ = 0;
  rtnDone_ = false;
  reported_ = false;
}

bool RemoteFax::offerCall(Call&) { return call_ == nullptr && !sender(); }

void RemoteFax::ring(Call& call, int count) {
  if (count != cfg_.rings || call_) return;
  double extra = 0;
  if (const Faults* f = ex_.findFaults(cfg_.number)) extra = f->slowAnswer;
  Call* c = &call;
  answerTimer_ = ex_.loop().after(2.0 + extra, [this, c] {
    answerTimer_ = 0;
    if (c->isOver()) return;
    call_ = c;
    ++callCount_;
    tx_.setCall(c);
    c->answer(*this);
    beginSession();
    t30_->startReceiver(3.0);
  });
}

void RemoteFax::answered(Call& call, AnswerKind kind) {
  if (&call != call_) return;
  if (kind != AnswerKind::Fax) {  // a fax machine hears no fax answer: it gives up
    ex_.loop().after(kind == AnswerKind::Voice ? 5.0 : 35.0, [this, c = &call] {
      if (call_ == c) {
        c->hangup(*this, "no_fax_answer");
        finishCall("no_fax_answer");
      }
    });
    return;
  }
  beginSession();
  t30_->startTransmitter();
}

void RemoteFax::ended(Call& call, const std::string& reason) {
  if (&call != call_) {
    ex_.loop().cancel(answerTimer_);
    return;
  }
  if (t30_) t30_->stop();
  tx_.abort();
  // A receiver that hangs up on our final DCN ends the call normally.
  bool complete = sender() ? size_t(pagesDone_) == cfg_.pages.size() : lastPpm_ == kPpmEop && pagesDone_ > 0;
  if (!reported_) ex_.log().emit("fax_done", {{"call", std::to_string(call.id())}, {"fax", cfg_.number},
                             {"role", sender() ? "sender" : "receiver"}, {"status", complete ? "0" : "far_end_hangup"},
                             {"pages", std::to_string(sender() ? pagesDone_ : rxPage_)},
                             {"remote_ident", remoteId_}, {"reason", reason}});
  finishCall(reason);
}

void RemoteFax::finishCall(const std::string&) {
  call_ = nullptr;
  tx_.setCall(nullptr);
}

void RemoteFax::lineCarrier(const Mod& mod, bool on) { if (t30_) t30_->lineCarrier(mod, on); }
void RemoteFax::lineFrame(const Bytes& f, bool good) { if (t30_) t30_->lineFrame(f, good); }
void RemoteFax::lineData(const Bytes& d) { if (t30_) t30_->lineData(d); }

// ------------------------------------------------------------ sending

void RemoteFax::t30Dis(const Caps&, const std::string& csi) {
  remoteId_ = csi;
  sendCurrent();
}

void RemoteFax::sendCurrent() {
  const Bitmap& p = cfg_.pages[size_t(pagesDone_)];
  t30_->sendPage(p.fine, p.width == 2048);
}

void RemoteFax::t30Trained(const Caps& dcs) {
  const Bitmap& p = cfg_.pages[size_t(pagesDone_)];
  Bitmap send = p;
  if (p.width == 2048 && !dcs.wide) {  // the receiver cannot take wide pages: crop
    send.resize(1728, p.height);
    for (int y = 0; y < p.height; ++y)
      for (int x = 0; x < 1728; ++x)
        if (p.pixel(x + 160, y)) send.set(x, y);
  }
  if (p.fine && !dcs.fine) {  // halve the vertical resolution
    Bitmap half;
    half.resize(send.width, (send.height + 1) / 2);
    for (int y = 0; y < half.height; ++y)
      std::copy_n(send.bits.begin() + long(y) * 2 * send.stride(), send.stride(),
                  half.bits.begin() + long(y) * half.stride());
    send = half;
  }
  t30_->pageData(encodeMh(send, t30_->minBitsPerLine()));
  bool last = size_t(pagesDone_) + 1 >= cfg_.pages.size();
  int ppm = kPpmEop;
  if (!last) {
    const Bitmap& next = cfg_.pages[size_t(pagesDone_) + 1];
    ppm = (next.fine != p.fine || next.width != p.width) ? kPpmEom : kPpmMps;
  }
  lastPpm_ = ppm;
  t30_->endData([this, ppm] { t30_->sendPpm(ppm); });
}

void RemoteFax::t30PageDone(int ppr) {
  bool good = ppr == kPprMcf || ppr == kPprRtp || ppr == kPprPip;
  ex_.log().emit("page", {{"call", std::to_string(call_ ? call_->id() : 0)}, {"fax", cfg_.number},
                          {"role", "sender"}, {"n", std::to_string(pagesDone_ + 1)},
                          {"response", good ? (ppr == kPprRtp ? "RTP" : "MCF") : "RTN"}});
  if (good) {
    ++pagesDone_;
    pageRetries_ = 0;
  } else if (++pageRetries_ > 2) {
    t30_->disconnect(50);
    return;
  }
  if (size_t(pagesDone_) >= cfg_.pages.size()) return;  // DCN follows
  if (lastPpm_ == kPpmEom && good) return;             // waits for the new DIS
  sendCurrent();
}

// ------------------------------------------------------------ receiving

void RemoteFax::t30Dcs(const Caps& dcs, const std::string& tsi) {
  dcs_ = dcs;
  remoteId_ = tsi;
}

void RemoteFax::t30PostPage(int ppm) {
  ++rxPage_;
  lastPpm_ = ppm;
  Bitmap page;
  page.width = dcs_.wide ? 2048 : 1728;
  page.fine = dcs_.fine;
  DecodeResult r = decodeMh(page_, page);
  const Faults* f = ex_.findFaults(cfg_.number);
  bool forceRtn = f && f->rtnPage == rxPage_ && !rtnDone_;
  bool bad = r.lines == 0 || r.badLines * 10 > r.lines || forceRtn;
  if (forceRtn) rtnDone_ = true;
  std::string file;
  if (!bad) {
    ++pagesDone_;
    std::string base = cfg_.dir + "/rx-" + cfg_.number + "-" + std::to_string(callCount_) + "-p" +
                       std::to_string(pagesDone_);
    std::string err = writePbm(base + ".pbm", page);
    if (err.empty()) err = writeFileAtomic(base + ".g3", page_);
    if (!err.empty()) ex_.log().trace("remote " + cfg_.number + ": " + err);
    else file = base + ".pbm";
  }
  ex_.log().emit("page", {{"call", std::to_string(call_ ? call_->id() : 0)}, {"fax", cfg_.number},
                          {"role", "receiver"}, {"n", std::to_string(rxPage_)},
                          {"ppm", ppm == kPpmMps ? "MPS" : ppm == kPpmEom ? "EOM" : "EOP"},
                          {"lines", std::to_string(r.lines)}, {"bad_lines", std::to_string(r.badLines)},
                          {"bytes", std::to_string(page_.size())}, {"res", dcs_.fine ? "fine" : "normal"},
                          {"width", std::to_string(page.width)}, {"rate", std::to_string(dcs_.mod.rate)},
                          {"response", bad ? "RTN" : "MCF"}, {"file", file}});
  page_.clear();
  t30_->respond(bad ? kPprRtn : kPprMcf);
}

void RemoteFax::t30End(int code, bool hangUp) {
  Call* c = call_;
  reported_ = true;
  ex_.log().emit("fax_done", {{"call", std::to_string(c ? c->id() : 0)}, {"fax", cfg_.number},
                             {"role", sender() ? "sender" : "receiver"}, {"status", std::to_string(code)},
                             {"pages", std::to_string(pagesDone_)}, {"remote_ident", remoteId_}});
  if (!c) return;
  ex_.loop().after(hangUp ? 0.0 : 0.2, [this, c] {
    if (call_ == c) {
      c->hangup(*this, "fax_done");
      finishCall("fax_done");
    }
  });
}

}  // namespace faxsim
