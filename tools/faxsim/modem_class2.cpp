// Class 2 (SP-2388) and Class 2.0 (T.32): the modem runs T.30 and the DTE
// moves page data between +FDT/+FDR and the end-of-page punctuation.
#include "modem.h"

#include "t4.h"

namespace faxsim {
namespace {
constexpr uint8_t kDle = 0x10, kEtx = 0x03, kXon = 0x11;
constexpr const char* kNarrowCaps = "1,5,0,2,0,0,0,0";

struct Param { const char* c2; const char* c20; const char* def; const char* range; };
// Stored parameters: Class 2 name, Class 2.0 name, default, "=?" answer.
constexpr Param kParams[] = {
    {"FDCC", "FCC", "1,5,1,2,0,0,0,0", "(0,1),(0-5),(0,1),(0-2),(0),(0),(0),(0-7)"},
    {"FDIS", "FIS", "1,5,0,2,0,0,0,0", "(0,1),(0-5),(0,1),(0-2),(0),(0),(0),(0-7)"},
    {"FLID", "FLI", "", "(20),(32-127)"},
    {"FCIG", "FPI", "", "(20),(32-127)"},
    {"FCR", "FCR", "0", "(0,1)"},
    {"FAA", "FAA", "0", "(0,1)"},
    {"FBOR", "FBO", "0", "(0-3)"},
    {"FBUG", "FBU", "0", "(0,1)"},
    {"FCQ", "FCQ", "0", "(0-2)"},
    {"FPHCTO", "FCT", "30", "(0-255)"},
    {"FMINSP", "FMS", "0", "(0-5)"},
    {"FPTS", "FPS", "1", "(1-5)"},
    {"FTBC", "", "0", "(0)"},
    {"FREL", "FEA", "0", "(0,1)"},
    {"FECM", "", "0", "(0)"},
    {"FSPL", "FSP", "0", "(0,1)"},
    {"FLPL", "FLP", "0", "(0,1)"},
    {"", "FLO", "1", "(0-2)"},
    {"", "FNR", "0,0,0,0", "(0,1),(0,1),(0,1),(0,1)"},
    {"", "FIE", "0", "(0,1)"},
    {"", "FPP", "0", "(0,1)"},
    {"", "FRY", "0", "(0-FF)"},
    {"", "FRQ", "0,0", "(0-64),(0-FF)"},
    {"", "FFC", "0,0,0,0", "(0),(0),(0),(0)"},
    {"", "FPR", "0", "(0-8)"},
};

std::vector<int> fields(const std::string& s) {
  std::vector<int> v;
  size_t i = 0;
  while (i <= s.size()) {
    size_t j = s.find(',', i);
    if (j == std::string::npos) j = s.size();
    std::string f = s.substr(i, j - i);
    v.push_back(f.empty() ? -1 : int(std::strtol(f.c_str(), nullptr, 16)));
    i = j + 1;
  }
  return v;
}

std::string unquote(std::string s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
  return s.substr(0, 20);
}

int brCode(int rate) { return rate >= 14400 ? 5 : rate >= 12000 ? 4 : rate >= 9600 ? 3 : rate >= 7200 ? 2 : rate >= 4800 ? 1 : 0; }
int brRate(int br) { static const int r[] = {2400, 4800, 7200, 9600, 12000, 14400}; return r[br < 0 ? 0 : br > 5 ? 5 : br]; }
int stCode(int ms) { return ms >= 40 ? 7 : ms >= 20 ? 5 : ms >= 10 ? 3 : ms >= 5 ? 1 : 0; }
int stMs(int st, bool fine) {
  static const int n[] = {0, 5, 10, 10, 20, 20, 40, 40}, f[] = {0, 5, 5, 10, 10, 20, 20, 40};
  int i = st < 0 ? 0 : st > 7 ? 7 : st;
  return fine ? f[i] : n[i];
}
}  // namespace

bool Modem::class2Command(const std::string& name, const std::string& op, const std::string& value,
                          bool& deferred) {
  bool c20 = isClass20();
  auto report = [&](const char* c2, const char* c2o) { return std::string("+") + (c20 ? c2o : c2) + ":"; };
  // Identification.
  if (op == "?" && ((!c20 && (name == "FMFR" || name == "FMDL" || name == "FREV")) ||
                    (c20 && (name == "FMI" || name == "FMM" || name == "FMR")))) {
    info(name == "FMFR" || name == "FMI" ? cfg_.manufacturer
         : name == "FMDL" || name == "FMM" ? cfg_.model : cfg_.revision);
    return true;
  }
  if ((name == (c20 ? "FBS" : "FBUF")) && op == "?") {
    info(c20 ? "800,800" : "1024,0,0,0");
    return true;
  }
  if ((name == (c20 ? "FHS" : "FAXERR")) && op == "?") {
    info(param("hangup").empty() ? "0" : param("hangup"));
    return true;
  }
  if (!c20 && name == "FDCS" && op == "?") {
    info(params(dcs_));
    return true;
  }
  if (c20 && name == "FCS" && op == "?") {
    info(params(dcs_));
    return true;
  }
  for (const auto& p : kParams) {
    const char* n = c20 ? p.c20 : p.c2;
    if (!*n || name != n) continue;
    // The width sub-parameter (WD) of the capability parameters: a modem
    // without B4 pages knows 1728 pixels only, and refuses more.
    const bool caps = std::string(n) == "FDCC" || std::string(n) == "FCC" || std::string(n) == "FDIS" ||
                      std::string(n) == "FIS";
    std::string& v = p2_[n];
    if (v.empty() && !p2_.count(std::string(n) + "#set")) v = caps && !cfg_.wide ? kNarrowCaps : p.def;
    if (op == "?") info(v);
    else if (op == "=?") info(caps && !cfg_.wide ? "(0,1),(0-5),(0),(0-2),(0),(0),(0),(0-7)" : p.range);
    else if (op == "=") {
      std::string val = value;
      if (std::string(n) == "FLID" || std::string(n) == "FLI" || std::string(n) == "FCIG" || std::string(n) == "FPI") {
        val = unquote(val);
      } else {
        // Compound values: omitted sub-parameters keep their value.
        std::vector<int> old = fields(v), now = fields(val);
        if (now.size() > old.size() && old.size() > 1) return false;
        std::string merged;
        for (size_t i = 0; i < std::max(old.size(), now.size()); ++i) {
          int x = i < now.size() && now[i] >= 0 ? now[i] : i < old.size() ? old[i] : 0;
          if (x < 0 || x > 255) return false;
          if (caps && i == 2 && x > (cfg_.wide ? 1 : 0)) return false;
          char b[8];
          std::snprintf(b, sizeof b, c20 ? "%X" : "%d", x);
          merged += (i ? "," : "") + std::string(b);
        }
        val = merged;
        if ((std::string(n) == "FPTS" || std::string(n) == "FPS") && op == "=") {
          lastPpr_ = now.empty() ? 1 : now[0];
          pprOverride_ = true;
        }
      }
      v = val;
      p2_[std::string(n) + "#set"] = "1";
    } else {
      return false;
    }
    return true;
  }
  if (name == "FIP" && c20) {
    for (const auto& p : kParams)
      if (*p.c20) p2_.erase(p.c20);
    return true;
  }
  bool inCall = call_ && call_->isAnswered() && !call_->isOver() && t30_ && !t30_->done();
  if (name == (c20 ? "FKS" : "FK") && op.empty()) {
    if (!inCall) return true;
    deferred = true;
    mode_ = Mode::C2Wait;
    t30_->disconnect(2);
    return true;
  }
  if (!c20 && name == "FET" && op == "=") {
    int ppm = std::atoi(value.c_str());
    if (!inCall || ppm < 0 || ppm > 6 || ppmSent_ != -2) return false;
    deferred = true;
    mode_ = Mode::C2Wait;
    ppmSent_ = ppm > 3 ? ppm - 4 : ppm == 3 ? kPpmMps : ppm;  // PRI-xxx as the plain message
    t30_->sendPpm(ppmSent_);
    return true;
  }
  if (name == "FDT" && (op.empty() || op == "=")) {
    if (!inCall || !caller_) return false;
    deferred = true;
    mode_ = Mode::C2Wait;
    fdtPending_ = true;
    std::vector<int> dis = fields(p2_.count(c20 ? "FIS" : "FDIS") ? p2_[c20 ? "FIS" : "FDIS"] : "1,5,0,2,0,0,0,0");
    T30Config tc = t30_->config();
    tc.maxRate = std::min(cfg_.maxRate, brRate(dis.size() > 1 ? dis[1] : 5));
    t30_->setConfig(tc);
    t30_->sendPage(dis.size() > 0 && dis[0] > 0, dis.size() > 2 && dis[2] == 1);
    return true;
  }
  if (name == "FDR" && op.empty()) {
    if (!inCall || caller_) return false;
    deferred = true;
    mode_ = Mode::C2Wait;
    fdrPending_ = true;
    if (postPage_ >= 0) {
      // Release the post-page response; the next page (or the end) follows.
      int ppr = pprOverride_ ? lastPpr_ : pageQuality_;
      pprOverride_ = false;
      int ppm = postPage_;
      postPage_ = -1;
      pageStarted_ = pageEnded_ = false;
      rxPage_.clear();
      t30_->respond(ppr);
      if (ppm == kPpmEom) cfrSent_ = cfrReported_ = false;
      return true;
    }
    if (cfrSent_ && !cfrReported_ && !c20) {
      cfrReported_ = true;
      info("+FCFR");
    }
    if (pageStarted_) t30PageStart();
    return true;
  }
  (void)report;
  return false;
}

std::string Modem::params(const Caps& c) const {
  char b[64];
  std::snprintf(b, sizeof b, isClass20() ? "%d,%X,%d,2,0,%d,0,%d" : "%d,%d,%d,2,0,%d,0,%d", c.fine ? 1 : 0,
                brCode(c.mod.none() ? 14400 : c.mod.rate), c.wide ? 1 : 0, c.ecm ? 1 : 0,
                stCode(c.fine ? c.scanMsFine : c.scanMs));
  return b;
}

void Modem::startSession(bool caller) {
  T30Config tc;
  std::string id = param(isClass20() ? "FLI" : "FLID");
  tc.ident = id;
  std::vector<int> cc = fields(p2_.count(isClass20() ? "FCC" : "FDCC") ? p2_[isClass20() ? "FCC" : "FDCC"]
                               : cfg_.wide ? "1,5,1,2,0,0,0,0" : kNarrowCaps);
  std::vector<int> dis = fields(p2_.count(isClass20() ? "FIS" : "FDIS") ? p2_[isClass20() ? "FIS" : "FDIS"] : "1,5,0,2,0,0,0,0");
  auto get = [](const std::vector<int>& v, size_t i, int d) { return i < v.size() && v[i] >= 0 ? v[i] : d; };
  tc.caps.fine = get(cc, 0, 1) > 0 && get(dis, 0, 1) > 0;
  tc.caps.wide = get(cc, 2, 0) >= 1 && get(dis, 2, 0) >= 1;
  tc.maxRate = std::min({cfg_.maxRate, brRate(get(cc, 1, 5)), brRate(get(dis, 1, 5))});
  int st = get(dis, 7, 0);
  tc.caps.scanMs = stMs(st, false);
  tc.caps.scanMsFine = stMs(st, true);
  t30_ = std::make_unique<T30>(loop_, log_, tx_, *this, tc);
  caller_ = caller;
  fdtPending_ = fdrPending_ = cfrSent_ = cfrReported_ = false;
  pageStarted_ = pageEnded_ = dc2_ = false;
  postPage_ = -1;
  ppmSent_ = -1;
  pprOverride_ = false;
  hangupReported_ = false;
  dcs_ = Caps{};
  dcs_.mod = {};
  rxPage_.clear();
  rxPending_.clear();
  if (caller) {
    t30_->startTransmitter();
  } else {
    info(isClass20() ? "+FCO" : "+FCON");
    t30_->startReceiver(3.0);
  }
}

bool nrOn(const std::map<std::string, std::string>& p, size_t i) {
  auto it = p.find("FNR");
  std::vector<int> v = fields(it == p.end() ? "0,0,0,0" : it->second);
  return i < v.size() && v[i] > 0;
}

void Modem::t30Connected() { info(isClass20() ? "+FCO" : "+FCON"); }

void Modem::t30Dis(const Caps& remote, const std::string& csi) {
  bool c20 = isClass20();
  if (!csi.empty() && (!c20 || nrOn(p2_, 2))) info(std::string(c20 ? "+FCI:" : "+FCSI:") + "\"" + csi + "\"");
  if (!c20 || nrOn(p2_, 0)) {
    Caps shown = remote;
    shown.mod = remote.v17 ? Mod{'G', 14400} : remote.v29 ? Mod{'9', 9600} : remote.v27 ? Mod{'7', 4800} : Mod{'7', 2400};
    info(std::string(c20 ? "+FIS:" : "+FDIS:") + params(shown));
  }
  if (fdtPending_) {  // after EOM: the +FDT was waiting for the new DIS
    std::vector<int> dis = fields(p2_.count(c20 ? "FIS" : "FDIS") ? p2_[c20 ? "FIS" : "FDIS"] : "1,5,0,2,0,0,0,0");
    t30_->sendPage(!dis.empty() && dis[0] > 0, dis.size() > 2 && dis[2] == 1);
    return;
  }
  if (mode_ == Mode::C2Wait) {  // the ATD is complete
    loop_.cancel(timer_);
    mode_ = Mode::Command;
    result("OK");
  }
}

void Modem::t30Trained(const Caps& dcs) {
  dcs_ = dcs;
  fdtPending_ = false;
  if (!isClass20() || nrOn(p2_, 1)) info(std::string(isClass20() ? "+FCS:" : "+FDCS:") + params(dcs));
  mode_ = Mode::C2Send;
  dle_ = false;
  frame_.clear();
  txPage_.clear();
  ppmSent_ = -1;
  result("CONNECT");
  if (isClass2()) write(std::string(1, char(kXon)));
}

void Modem::toLine(const Bytes& d) {
  txPage_.insert(txPage_.end(), d.begin(), d.end());
  t30_->pageData(d);
}

void Modem::c2EndOfData(int ppm) {
  if (!frame_.empty()) toLine(frame_);
  frame_.clear();
  // The modem completes the page with RTC when the DTE did not send one.
  Bitmap check;
  check.width = dcs_.wide ? 2048 : 1728;
  if (!decodeMh(txPage_, check).rtc) {
    static const Bytes kRtc = {0x00, 0x08, 0x80, 0x00, 0x08, 0x80, 0x00, 0x08, 0x80, 0x00};
    t30_->pageData(kRtc);
    log_.emit("rtc_added", {{"modem", cfg_.number}});
  }
  txPage_.clear();
  mode_ = Mode::C2Wait;
  if (ppm < 0) {  // Class 2: OK once sent, then +FET
    t30_->endData([this] {
      ppmSent_ = -2;
      mode_ = Mode::Command;
      result("OK");
    });
    return;
  }
  ppmSent_ = ppm;
  t30_->endData([this, ppm] { t30_->sendPpm(ppm); });
}

void Modem::t30PageDone(int ppr) {
  lastPpr_ = ppr;
  bool good = ppr == kPprMcf || ppr == kPprRtp || ppr == kPprPip;
  param(isClass20() ? "FPS" : "FPTS") = std::to_string(ppr);
  if (isClass2()) info("+FPTS:" + std::to_string(ppr));
  if (good && ppmSent_ == kPpmEop) return;  // +FHNG and OK when the DCN is out
  mode_ = Mode::Command;
  ppmSent_ = -1;
  result(isClass20() && !good ? "ERROR" : "OK");
}

void Modem::t30Dcs(const Caps& dcs, const std::string& tsi) {
  dcs_ = dcs;
  bool c20 = isClass20();
  if (!tsi.empty() && (!c20 || nrOn(p2_, 2))) info(std::string(c20 ? "+FTI:" : "+FTSI:") + "\"" + tsi + "\"");
  if (!c20 || nrOn(p2_, 1)) info(std::string(c20 ? "+FCS:" : "+FDCS:") + params(dcs));
  if (mode_ == Mode::C2Wait && !fdrPending_) {  // the ATA is complete
    mode_ = Mode::Command;
    result("OK");
  }
}

void Modem::t30CfrSent() {
  cfrSent_ = true;
  if (fdrPending_ && !cfrReported_ && isClass2()) {
    cfrReported_ = true;
    info("+FCFR");
  }
}

void Modem::t30PageStart() {
  pageStarted_ = true;
  if (!fdrPending_) return;  // reported when the DTE asks with +FDR
  fdrPending_ = false;
  mode_ = Mode::C2Recv;
  dc2_ = false;
  result("CONNECT");
}

void Modem::sendDteData(const Bytes& d) {
  Bytes data = d;
  bool reverse = isClass2() ? cfg_.class2RxReversed != (std::atoi(param("FBOR").c_str()) & 1)
                            : (std::atoi(param("FBO").c_str()) & 1);
  if (reverse) reverseBits(data);
  Bytes out;
  for (uint8_t b : data) {
    out.push_back(b);
    if (b == kDle) out.push_back(kDle);
  }
  writeBytes(out);
}

void Modem::t30PageData(const Bytes& d) {
  rxPage_.insert(rxPage_.end(), d.begin(), d.end());
  if (mode_ == Mode::C2Recv && dc2_) sendDteData(d);
  else rxPending_.insert(rxPending_.end(), d.begin(), d.end());
}

void Modem::t30PageEnd() {
  pageEnded_ = true;
  if (mode_ != Mode::C2Recv || !dc2_) return;  // finished once the DTE has the data
  // The demodulator's last bits as the carrier drops: fill after RTC.
  sendDteData(Bytes(4, 0));
  writeBytes({kDle, kEtx});
  Bitmap page;
  page.width = dcs_.wide ? 2048 : 1728;
  DecodeResult r = decodeMh(rxPage_, page);
  pageLines_ = r.lines;
  pageBad_ = r.badLines;
  pageConsecBad_ = r.maxConsecutiveBad;
  pageQuality_ = (r.lines == 0 || r.badLines * 10 > r.lines) ? kPprRtn : kPprMcf;
  mode_ = Mode::C2Wait;
  if (postPage_ >= 0) t30PostPage(postPage_);
}

void Modem::t30PostPage(int ppm) {
  postPage_ = ppm;
  if (mode_ == Mode::C2Recv || !pageEnded_) return;  // after the data has gone to the DTE
  char b[96];
  std::snprintf(b, sizeof b, isClass20() ? "+FPS:%d,%X,%X,%X,0" : "+FPTS:%d,%d,%d,%d,0", pageQuality_,
                pageLines_, pageBad_, pageConsecBad_);
  info(b);
  info("+FET:" + std::to_string(ppm));
  log_.emit("page", {{"modem", cfg_.number}, {"lines", std::to_string(pageLines_)},
                     {"bad_lines", std::to_string(pageBad_)}, {"bytes", std::to_string(rxPage_.size())},
                     {"ppm", std::to_string(ppm)}});
  mode_ = Mode::Command;
  fdrPending_ = false;
  result("OK");
}

void Modem::t30End(int code, bool) {
  param("hangup") = std::to_string(code);
  Mode m = mode_;
  hangupReported_ = true;
  if (m == Mode::C2Recv && dc2_) writeBytes({kDle, kEtx});
  info(fhng(code));
  bool pending = m == Mode::C2Wait || m == Mode::C2Send || m == Mode::C2Recv;
  hangUp(code == 0 ? "fax_done" : "fax_error");
  if (pending) result(code == 0 ? "OK" : "ERROR");
}

}  // namespace faxsim
