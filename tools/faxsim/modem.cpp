// Emulated modem: pseudo-terminal, Hayes commands, dialling and answering.
#include "modem.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace faxsim {
namespace {
constexpr uint8_t kDle = 0x10, kEtx = 0x03;

std::string upper(std::string s) {
  for (char& c : s) c = char(toupper(static_cast<unsigned char>(c)));
  return s;
}

int resultNumber(const std::string& r) {
  static const std::map<std::string, int> codes = {
      {"OK", 0}, {"CONNECT", 1}, {"RING", 2}, {"NO CARRIER", 3}, {"ERROR", 4},
      {"NO DIALTONE", 6}, {"BUSY", 7}, {"NO ANSWER", 8}, {"VOICE", 12}};
  auto it = codes.find(r);
  return it == codes.end() ? -1 : it->second;
}
}  // namespace

Modem::Modem(Exchange& ex, ModemConfig cfg)
    : ex_(ex), loop_(ex.loop()), log_(ex.log()), cfg_(std::move(cfg)), tx_(ex.loop(), *this) {
  reset();
  tx_.progress = [this](size_t) { flowControl(); };
}

Modem::~Modem() {
  removeLink();
  if (master_ >= 0) ::close(master_);
}

std::string Modem::create() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
    return std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
  ptyName_ = ::ptsname(master_);
  // Raw mode from the start, so nothing is echoed or translated before the
  // program sets the port up.
  int slave = ::open(ptyName_.c_str(), O_RDWR | O_NOCTTY);
  if (slave >= 0) {
    termios t{};
    if (::tcgetattr(slave, &t) == 0) {
      ::cfmakeraw(&t);
      ::cfsetspeed(&t, B19200);
      ::tcsetattr(slave, TCSANOW, &t);
    }
    ::close(slave);
  }
  ::unlink(cfg_.path.c_str());
  if (::symlink(ptyName_.c_str(), cfg_.path.c_str()) != 0)
    return "cannot create link " + cfg_.path + ": " + std::strerror(errno);
  loop_.addWatch({[this] { return open_ ? master_ : -1; },
                  [this]() -> short { return short((wantsInput() ? POLLIN : 0) | (out_.empty() ? 0 : POLLOUT)); },
                  [this](short ev) { poll(ev); }});
  checkOpen();
  return "";
}

void Modem::removeLink() {
  char target[256];
  ssize_t n = ::readlink(cfg_.path.c_str(), target, sizeof target - 1);
  if (n > 0 && std::string(target, size_t(n)) == ptyName_) ::unlink(cfg_.path.c_str());
}

// The port counts as open while the pty reports no hang-up (some program
// holds the slave side open).
bool Modem::waitingForCalls() const {
  return open_ && !offHook_ && !call_ && mode_ == Mode::Command && fclass_ != "0";
}

void Modem::checkOpen() {
  pollfd p{master_, POLLIN, 0};
  ::poll(&p, 1, 0);
  bool nowOpen = !(p.revents & POLLHUP);
  if (nowOpen && !open_) {
    open_ = true;
    ++openCount_;
    out_.clear();
    line_.clear();
    log_.emit("port", {{"modem", cfg_.path}, {"state", "open"}});
  }
  if (!nowOpen && open_) {
    open_ = false;
    out_.clear();
    // What the last program left unread or unsent is stale for the next one.
    ::tcflush(master_, TCIOFLUSH);
    log_.emit("port", {{"modem", cfg_.path}, {"state", "closed"}});
    // Closing the port drops DTR: the modem hangs up and returns to command mode.
    if (call_ || offHook_) hangUp("dtr_drop");
    mode_ = Mode::Command;
  }
  openTimer_ = loop_.after(0.05 * loop_.factor(), [this] { checkOpen(); });
}

// In-band flow control while the DTE sends page data: XOFF when the
// transmit buffer fills, XON once the line has taken most of it.
void Modem::flowControl() {
  size_t q = tx_.queued() + frame_.size();
  bool sending = mode_ == Mode::TxData || mode_ == Mode::C2Send;
  if (sending && !xoff_ && q > 2048) {
    xoff_ = true;
    write("\x13");
  } else if (xoff_ && (q < 512 || !sending)) {
    xoff_ = false;
    write("\x11");
  }
}

bool Modem::wantsInput() const {
  // Flow control: while the line cannot keep up, stop reading (the
  // program's writes then block once the pty buffer is full).
  if (mode_ == Mode::TxData || mode_ == Mode::C2Send) return tx_.queued() < 8192;
  return true;
}

void Modem::poll(short revents) {
  if (revents & POLLOUT) flushOut();
  if (revents & POLLIN) readInput();
  if (revents & (POLLHUP | POLLERR)) {
    loop_.cancel(openTimer_);
    checkOpen();
  }
}

void Modem::readInput() {
  uint8_t buf[4096];
  // Small reads while page data flows, so that flow control acts in time.
  bool data = mode_ == Mode::TxData || mode_ == Mode::C2Send;
  ssize_t n = ::read(master_, buf, data ? 256 : sizeof buf);
  if (n <= 0) return;
  if (log_.tracing()) log_.trace(cfg_.number + " <- " + hex(buf, size_t(n)));
  for (ssize_t i = 0; i < n; ++i) input(buf[i]);
  lastInput_ = loop_.now();
}

void Modem::write(const std::string& s) {
  if (!open_ || s.empty()) return;
  if (log_.tracing()) log_.trace(cfg_.number + " -> " + hex(reinterpret_cast<const uint8_t*>(s.data()), s.size()));
  out_ += s;
  flushOut();
}

void Modem::flushOut() {
  while (!out_.empty()) {
    ssize_t n = ::write(master_, out_.data(), out_.size());
    if (n <= 0) return;  // EAGAIN: wait for POLLOUT
    out_.erase(0, size_t(n));
  }
}

void Modem::result(const std::string& r) {
  if (const Faults* f = ex_.findFaults(cfg_.number); f && f->garbage)
    write("\r\n\x7f#%&*@!~?\r\n");
  log_.emit("result", {{"modem", cfg_.number}, {"text", r}});
  if (quiet_) return;
  int n = resultNumber(r);
  if (!verbose_ && n >= 0) write(std::to_string(n) + "\r");
  else if (!verbose_ && r == "+FCERROR") write("+F4\r");
  else write("\r\n" + r + "\r\n");
}

void Modem::info(const std::string& line) {
  if (verbose_) write("\r\n" + line + "\r\n");
  else write(line + "\r\n");
}

void Modem::reset() {
  echo_ = true;
  quiet_ = false;
  verbose_ = true;
  x_ = 4;
  s_ = {{0, 0}, {1, 0}, {2, 43}, {3, 13}, {4, 10}, {5, 8}, {6, 2}, {7, 60}, {8, 2}, {10, 14}, {12, 50}};
  fclass_ = "0";
  p2_.clear();
}

// ------------------------------------------------------------ DTE input

void Modem::input(uint8_t c) {
  switch (mode_) {
    case Mode::TxHdlc:
    case Mode::TxData:
    case Mode::C2Send:
      dataByte(c);
      return;
    case Mode::Dialing:
      // Any character aborts the dial.
      log_.trace("dial aborted by the DTE");
      hangUp("dial_aborted");
      result("NO CARRIER");
      return;
    case Mode::RxHdlc:
    case Mode::RxData:
      if (!pendingFinal_.empty()) {  // the frame is complete: the result comes now
        std::string r = std::move(pendingFinal_);
        pendingFinal_.clear();
        mode_ = Mode::Command;
        result(r);
        break;  // and the character is taken as command input
      }
      abortReceive();
      return;
    case Mode::Silence:
      if (!tx_.busy() && frsSeconds_ > 0) {  // +FRS: any character ends the wait
        loop_.cancel(silenceTimer_);
        frsSeconds_ = 0;
        mode_ = Mode::Command;
        result("OK");
      }
      return;
    case Mode::C2Recv:
      if (!dc2_ && (c == 0x12 || c == 0x11)) {
        dc2_ = true;
        if (!rxPending_.empty()) sendDteData(rxPending_);
        rxPending_.clear();
        if (pageEnded_) t30PageEnd();
      } else if (c == 0x18) {  // CAN: abort the reception
        if (t30_) t30_->disconnect(2);
      }
      return;
    case Mode::Answering:
    case Mode::C2Wait:
      return;  // ignored until the result
    case Mode::Command:
      break;
  }
  // Command mode: echo, collect the line, watch for "+++".
  if (echo_) write(std::string(1, char(c)));
  if (c == '\r' || c == '\n') {
    std::string line = line_;
    line_.clear();
    if (c == '\r' && !line.empty()) commandLine(line);
    return;
  }
  if (c == 8 || c == 127) {
    if (!line_.empty()) line_.pop_back();
    return;
  }
  double guard = s_[12] / 50.0;
  if (c == '+' && (line_.empty() ? loop_.now() - lastInput_ >= guard : line_.find_first_not_of('+') == std::string::npos)) {
    line_ += char(c);
    if (line_ == "+++") {
      loop_.cancel(escapeTimer_);
      escapeTimer_ = loop_.after(guard, [this] {
        escapeTimer_ = 0;
        if (line_ == "+++") {
          line_.clear();
          result("OK");
        }
      });
    }
    return;
  }
  loop_.cancel(escapeTimer_);
  if (line_.size() < 256) line_ += char(c);
}

// ------------------------------------------------------------ AT commands

void Modem::commandLine(const std::string& raw) {
  size_t at = upper(raw).find("AT");
  if (at == std::string::npos) return;  // not a command: ignored
  std::string cmd = raw.substr(at + 2);
  std::string up = upper(cmd);
  lastCommand_ = loop_.now();
  log_.emit("command", {{"modem", cfg_.number}, {"text", raw.substr(at)}});
  size_t i = 0;
  auto digits = [&](int def) {
    size_t start = i;
    while (i < up.size() && isdigit(static_cast<unsigned char>(up[i]))) ++i;
    return i > start ? std::atoi(up.substr(start, i - start).c_str()) : def;
  };
  bool deferred = false;
  while (i < up.size()) {
    char c = up[i++];
    if (c == ' ') continue;
    bool ok = true;
    switch (c) {
      case 'E': echo_ = digits(0) != 0; break;
      case 'Q': quiet_ = digits(0) != 0; break;
      case 'V': verbose_ = digits(0) != 0; break;
      case 'X': { int v = digits(0); ok = v <= 4; if (ok) x_ = v; break; }
      case 'L': case 'M': case 'B': case 'W': case 'N': case 'Y': ok = digits(0) <= 7; break;
      case 'T': case 'P': break;
      case 'I': {
        int n = digits(0);
        static const char* texts[] = {"33600", "255", "OK", cfg_.model.c_str(), cfg_.manufacturer.c_str()};
        info(n < 5 ? (n == 3 ? cfg_.model : n == 4 ? cfg_.manufacturer : texts[n]) : cfg_.revision);
        break;
      }
      case 'H':
        if (digits(0) == 0) hangUp("modem_hangup");
        break;
      case 'Z':
        digits(0);
        hangUp("modem_hangup");
        reset();
        break;
      case 'O':
        digits(0);
        ok = false;
        break;
      case '&': {
        if (i >= up.size() || !isalpha(static_cast<unsigned char>(up[i]))) { ok = false; break; }
        char k = up[i++];
        digits(0);
        if (k == 'F') {
          hangUp("modem_hangup");
          reset();
        }
        break;
      }
      case '\\': case '%':
        if (i < up.size() && isalpha(static_cast<unsigned char>(up[i]))) { ++i; digits(0); } else ok = false;
        break;
      case 'S': {
        int reg = digits(-1);
        if (reg < 0 || reg > 99) { ok = false; break; }
        if (i < up.size() && up[i] == '?') {
          ++i;
          char b[8];
          std::snprintf(b, sizeof b, "%03d", s_[reg]);
          info(b);
        } else if (i < up.size() && up[i] == '=') {
          ++i;
          int v = digits(0);
          ok = v <= 255;
          if (ok) s_[reg] = v;
        } else {
          ok = false;
        }
        break;
      }
      case 'D': {
        std::string rest = up.substr(i);
        i = up.size();
        dial(rest);
        deferred = true;
        break;
      }
      case 'A':
        answer();
        deferred = true;
        i = up.size();
        break;
      case '+': {
        size_t start = i;
        while (i < up.size() && (isalnum(static_cast<unsigned char>(up[i])) || up[i] == '.')) ++i;
        std::string name = up.substr(start, i - start);
        std::string op, value;
        if (up.compare(i, 2, "=?") == 0) { op = "=?"; i += 2; }
        else if (i < up.size() && up[i] == '?') { op = "?"; ++i; }
        else if (i < up.size() && up[i] == '=') {
          op = "=";
          ++i;
          size_t vs = i;
          bool quoted = false;
          while (i < up.size() && (quoted || up[i] != ';')) {
            if (up[i] == '"') quoted = !quoted;
            ++i;
          }
          value = cmd.substr(vs, i - vs);  // original case (station IDs)
        }
        if (i < up.size() && up[i] == ';') ++i;
        ok = extended(name, op, value, deferred);
        if (deferred) i = up.size();
        break;
      }
      default:
        ok = false;
        break;
    }
    if (!ok) {
      result("ERROR");
      return;
    }
    if (deferred) return;
  }
  result("OK");
}

bool Modem::extended(const std::string& name, const std::string& op, const std::string& value, bool& deferred) {
  if (name == "FCLASS") {
    if (op == "=?") {
      std::string list;
      for (const auto& c : cfg_.classes) list += (list.empty() ? "" : ",") + c;
      info(list);
      return true;
    }
    if (op == "?") {
      info(fclass_);
      return true;
    }
    if (op != "=") return false;
    std::string v = value;
    if (v == "2.0" || v == "1.0" || v == "0" || v == "1" || v == "2") {
      if (std::find(cfg_.classes.begin(), cfg_.classes.end(), v) == cfg_.classes.end() &&
          !(v == "1.0" && std::find(cfg_.classes.begin(), cfg_.classes.end(), "1") != cfg_.classes.end()))
        return false;
      fclass_ = v;
      return true;
    }
    return false;
  }
  if (name == "GMI" || name == "GMM" || name == "GMR") {
    info(name == "GMI" ? cfg_.manufacturer : name == "GMM" ? cfg_.model : cfg_.revision);
    return true;
  }
  if (isClass1()) return class1Command(name, op, value, deferred);
  if (anyClass2()) return class2Command(name, op, value, deferred);
  return false;
}

// ------------------------------------------------------------ calls

void Modem::dial(const std::string& rest) {
  std::string digits;
  bool waitQuiet = false;
  for (char c : rest) {
    if (isdigit(static_cast<unsigned char>(c)) || c == '*' || c == '#') digits += c;
    else if (c == '@') waitQuiet = true;
    else if (c == ';' || c == 'T' || c == 'P' || c == ',' || c == 'W' || c == '!' || c == ' ' ||
             c == '-' || c == '(' || c == ')' || c == 'R')
      continue;
  }
  if (call_) {
    result("ERROR");
    return;
  }
  noAnswerResult_ = waitQuiet;
  offHook_ = true;
  mode_ = Mode::Dialing;
  log_.emit("offhook", {{"modem", cfg_.path}, {"number", cfg_.number}});
  call_ = ex_.dial(*this, digits);
  tx_.setCall(call_);
  caller_ = true;
  Call* c = call_;
  timer_ = loop_.after(std::max(1, s_[7]), [this, c] {
    timer_ = 0;
    if (call_ == c && (mode_ == Mode::Dialing || mode_ == Mode::RxHdlc || mode_ == Mode::C2Wait)) {
      bool answered = c->isAnswered();
      hangUp("no_answer");
      if (anyClass2() && answered) info(fhng(11));
      result(noAnswerResult_ && !answered ? "NO ANSWER" : "NO CARRIER");
    }
  });
}

bool Modem::offerCall(Call&) { return call_ == nullptr && !offHook_; }

void Modem::ring(Call& call, int count) {
  if (call_ && call_ != &call) return;
  call_ = &call;
  caller_ = false;
  s_[1] = count;
  if (mode_ == Mode::Command) {
    log_.emit("ring_dte", {{"modem", cfg_.number}, {"count", std::to_string(count)}});
    result("RING");
    if (s_[0] > 0 && count >= s_[0]) answer();
  }
}

void Modem::answer() {
  if (!call_ || call_->isAnswered() || caller_) {
    // Nothing ringing: off hook into silence.
    offHook_ = true;
    log_.emit("answered_idle", {{"modem", cfg_.path}, {"number", cfg_.number}});
    mode_ = Mode::Answering;
    timer_ = loop_.after(std::max(1, s_[7]), [this] {
      timer_ = 0;
      offHook_ = false;
      mode_ = Mode::Command;
      result("NO CARRIER");
    });
    return;
  }
  offHook_ = true;
  tx_.setCall(call_);
  call_->answer(*this);
  rxFrames_.clear();
  if (isClass1()) {
    // CED, then V.21 transmission as after +FTH=3.
    mode_ = Mode::Answering;
    timer_ = loop_.after(3.0, [this] {
      timer_ = 0;
      frame_.clear();
      dle_ = false;
      tx_.startFrames([this] {
        mode_ = Mode::TxHdlc;
        result("CONNECT");
      });
    });
  } else if (anyClass2()) {
    mode_ = Mode::C2Wait;
    startSession(false);
  } else {
    mode_ = Mode::Answering;  // a data answer that never connects
    timer_ = loop_.after(5.0, [this] {
      timer_ = 0;
      hangUp("data_mode");
      result("NO CARRIER");
    });
  }
}

void Modem::answered(Call& call, AnswerKind kind) {
  if (&call != call_) return;
  if (kind == AnswerKind::Voice) {
    loop_.cancel(timer_);
    timer_ = loop_.after(2.0, [this] {
      timer_ = 0;
      hangUp("voice");
      result("VOICE");
    });
    return;
  }
  if (kind == AnswerKind::Data) return;  // no V.21 ever comes: S7 ends the wait
  if (isClass1()) {
    // Listening for the answerer's flags: CONNECT comes with them.
    mode_ = Mode::RxHdlc;
    rxConnected_ = false;
  } else if (anyClass2()) {
    mode_ = Mode::C2Wait;
    startSession(true);
  }
}

void Modem::ended(Call& call, const std::string& reason) {
  if (&call != call_) return;
  if (t30_ && t30_->closing() >= 0) {  // the far end hung up on our final DCN
    t30End(t30_->closing(), false);
    return;
  }
  Mode m = mode_;
  loop_.cancel(timer_);
  tx_.abort();
  call_ = nullptr;
  tx_.setCall(nullptr);
  offHook_ = false;
  if (t30_) {
    t30_->stop();
    retired_ = std::move(t30_);
  }
  if (m == Mode::Dialing) {
    mode_ = Mode::Command;
    if (reason == "busy") result(x_ >= 3 ? "BUSY" : "NO CARRIER");
    else if (reason == "no_dialtone") result((x_ == 2 || x_ == 4) ? "NO DIALTONE" : "NO CARRIER");
    else result("NO CARRIER");
    return;
  }
  if (!call.isAnswered()) {  // stopped ringing
    s_[1] = 0;
    return;
  }
  // The far end hung up: loss of carrier ends whatever was going on.
  if (anyClass2() && !hangupReported_) {
    int code = m == Mode::C2Recv ? 90 : (dcs_.mod.none() ? 70 : caller_ ? 50 : 100);
    if (caller_ && dcs_.mod.none()) code = 20;
    info(fhng(code));
    hangupReported_ = true;
  }
  switch (m) {
    case Mode::RxData:
      if (rxConnected_) writeBytes({kDle, kEtx});
      [[fallthrough]];
    case Mode::RxHdlc:
    case Mode::TxHdlc:
    case Mode::TxData:
    case Mode::Silence:
    case Mode::C2Wait:
    case Mode::C2Send:
    case Mode::Answering:
      mode_ = Mode::Command;
      result("NO CARRIER");
      break;
    case Mode::C2Recv:
      if (dc2_) writeBytes({kDle, kEtx});
      mode_ = Mode::Command;
      result("NO CARRIER");
      break;
    default:
      mode_ = Mode::Command;
      break;
  }
}

void Modem::hangUp(const std::string& reason) {
  loop_.cancel(timer_);
  loop_.cancel(silenceTimer_);
  frsSeconds_ = 0;
  tx_.abort();
  if (t30_) {
    t30_->stop();
    retired_ = std::move(t30_);  // it may be the caller of this function
  }
  if (call_) {
    Call* c = call_;
    call_ = nullptr;
    if (!c->isOver() && (c->isAnswered() || caller_)) c->hangup(*this, reason);
  }
  tx_.setCall(nullptr);
  if (offHook_) log_.emit("onhook", {{"modem", cfg_.path}, {"number", cfg_.number}});
  offHook_ = false;
  rxFrames_.clear();
  rxCarrier_ = {};
  pendingFinal_.clear();
  mode_ = Mode::Command;
}

std::string Modem::fhng(int code) const {
  char b[16];
  if (isClass20()) std::snprintf(b, sizeof b, "+FHS:%02X", code == 94 ? 0x92 : code >= 100 ? 0xA0 + code - 100 : (code / 10) * 16 + code % 10);
  else std::snprintf(b, sizeof b, "+FHNG:%d", code);
  return b;
}

}  // namespace faxsim
