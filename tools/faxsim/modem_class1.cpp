// Class 1 (T.31): HDLC frames and high-speed data between the DTE and the line.
#include "modem.h"

#include <algorithm>

namespace faxsim {
namespace {
constexpr uint8_t kDle = 0x10, kEtx = 0x03, kSub = 0x1A;

Bytes stuff(const Bytes& d) {
  Bytes out;
  out.reserve(d.size() + 8);
  for (uint8_t b : d) {
    out.push_back(b);
    if (b == kDle) out.push_back(kDle);
  }
  return out;
}

const char* kCodes = "24,48,72,73,74,96,97,98,121,122,145,146";
}  // namespace

bool Modem::class1Command(const std::string& name, const std::string& op, const std::string& value,
                          bool& deferred) {
  int v = std::atoi(value.c_str());
  bool hasCall = call_ && call_->isAnswered() && !call_->isOver();
  if (name == "FTM" || name == "FRM" || name == "FTH" || name == "FRH") {
    bool hdlc = name == "FTH" || name == "FRH";
    if (op == "=?") {
      std::string list;
      if (hdlc) {
        list = "3";
      } else {
        for (const char* p = kCodes; *p;) {
          int code = std::atoi(p);
          Mod m;
          bool lt;
          if (modFromClass1(code, m, lt) && m.rate <= cfg_.maxRate) list += (list.empty() ? "" : ",") + std::to_string(code);
          while (*p && *p != ',') ++p;
          if (*p) ++p;
        }
      }
      info(list);
      return true;
    }
    if (op != "=") return false;
    Mod m;
    bool longTrain = false;
    if (!modFromClass1(v, m, longTrain) || (hdlc != (v == 3)) || m.rate > cfg_.maxRate) return false;
    if (!hasCall) {
      result("NO CARRIER");  // no connection: nothing to send or hear
      deferred = true;
      return true;
    }
    deferred = true;
    dle_ = false;
    frame_.clear();
    if (name == "FTH") {
      rxFrames_.clear();
      tx_.startFrames([this] {
        mode_ = Mode::TxHdlc;
        result("CONNECT");
      });
      mode_ = Mode::Silence;  // until the preamble is out
    } else if (name == "FTM") {
      rxFrames_.clear();
      mode_ = Mode::Silence;
      tx_.startData(m, longTrain, [this] {
        mode_ = Mode::TxData;
        result("CONNECT");
      });
    } else if (name == "FRH") {
      startHdlcReceive();
    } else {
      startDataReceive(v);
    }
    return true;
  }
  if (name == "FTS" || name == "FRS") {
    if (op == "=?") {
      info("0-255");
      return true;
    }
    if (op != "=" || v < 0 || v > 255) return false;
    deferred = true;
    mode_ = Mode::Silence;
    if (name == "FTS") {
      tx_.abort();
      timer_ = loop_.after(v / 100.0, [this] {
        timer_ = 0;
        mode_ = Mode::Command;
        result("OK");
      });
    } else {
      waitSilence(v / 100.0);
    }
    return true;
  }
  // T.31 parameters accepted and stored.
  static const std::set<std::string> params = {"FAR", "FCL", "FDD", "FIT", "FPR", "FAA", "FAE", "FLO"};
  if (params.count(name)) {
    if (op == "?") info(p2_.count(name) ? p2_[name] : "0");
    else if (op == "=?") info("(0-255)");
    else if (op == "=") p2_[name] = value;
    return true;
  }
  if ((name == "FMI" || name == "FMM" || name == "FMR") && op == "?") {
    info(name == "FMI" ? cfg_.manufacturer : name == "FMM" ? cfg_.model : cfg_.revision);
    return true;
  }
  return false;
}

// +FRS: OK once the line has been silent for this long.
void Modem::waitSilence(double seconds) {
  loop_.cancel(silenceTimer_);
  frsSeconds_ = seconds;
  double quietFor = rxCarrier_.none() ? loop_.now() - lastCarrierOff_ : 0;
  if (quietFor + 1e-6 >= seconds) {  // (rounding: a timer set for exactly this long)
    frsSeconds_ = 0;
    mode_ = Mode::Command;
    result("OK");
    return;
  }
  // Checked again when the far carrier drops, and meanwhile now and then.
  silenceTimer_ = loop_.after(rxCarrier_.none() ? std::max(seconds - quietFor, 0.001) : 0.05, [this, seconds] {
    silenceTimer_ = 0;
    waitSilence(seconds);
  });
}

void Modem::startHdlcReceive() {
  mode_ = Mode::RxHdlc;
  rxConnected_ = false;
  if (!rxFrames_.empty()) {
    rxConnected_ = true;
    result("CONNECT");
    auto [f, good] = rxFrames_.front();
    rxFrames_.pop_front();
    deliverFrame(f, good);
  } else if (rxCarrier_ == kV21) {
    rxConnected_ = true;
    result("CONNECT");
  } else if (!rxCarrier_.none()) {
    mode_ = Mode::Command;
    result("+FCERROR");
  }
}

void Modem::startDataReceive(int code) {
  bool longTrain = false;
  modFromClass1(code, wantMod_, longTrain);
  mode_ = Mode::RxData;
  rxConnected_ = false;
  if (!rxFrames_.empty() || rxCarrier_ == kV21) {
    mode_ = Mode::Command;
    result("+FCERROR");
    return;
  }
  // A carrier that is already there can still be caught during its
  // training (plus a little slack for the DTE's turn-round).
  double grace = 0.25 * loop_.factor();
  if (rxCarrier_ == wantMod_ && loop_.now() - rxCarrierStart_ <= trainingSeconds(wantMod_, true) + grace) {
    rxConnected_ = true;
    result("CONNECT");
    if (!rxEarly_.empty()) writeBytes(stuff(rxEarly_));
  }
  rxEarly_.clear();
}

void Modem::abortReceive() {
  if (mode_ == Mode::RxData && rxConnected_) writeBytes({kDle, kEtx});
  mode_ = Mode::Command;
  rxConnected_ = false;
  result("OK");
}

void Modem::deliverFrame(const Bytes& f, bool good) {
  Bytes withFcs = f;
  uint16_t crc = crc16(f.data(), f.size());
  withFcs.push_back(uint8_t(crc & 0xFF));
  withFcs.push_back(uint8_t(crc >> 8));
  Bytes out = stuff(withFcs);
  out.push_back(kDle);
  out.push_back(kEtx);
  writeBytes(out);
  rxConnected_ = false;
  if (frameFinal(f) && rxCarrier_ == kV21) {
    // After the final frame the result waits for the carrier to drop, so
    // that the DTE does not start sending over the closing flags.
    pendingFinal_ = good ? "OK" : "ERROR";
    return;
  }
  mode_ = Mode::Command;
  result(good ? "OK" : "ERROR");
}

void Modem::lineCarrier(const Mod& mod, bool on) {
  if (t30_) {
    t30_->lineCarrier(mod, on);
    return;
  }
  if (on) {
    rxCarrier_ = mod;
    rxCarrierStart_ = loop_.now();
    rxEarly_.clear();
  } else {
    rxCarrier_ = {};
    lastCarrierOff_ = loop_.now();
  }
  if (!on && mode_ == Mode::Silence && frsSeconds_ > 0) {
    double wait = frsSeconds_;
    loop_.cancel(silenceTimer_);
    silenceTimer_ = loop_.after(wait, [this, wait] {
      silenceTimer_ = 0;
      waitSilence(wait);
    });
  }
  if (!isClass1() || tx_.busy()) return;  // half duplex: nothing is heard while sending
  if (!on && !pendingFinal_.empty()) {
    std::string r = std::move(pendingFinal_);
    pendingFinal_.clear();
    mode_ = Mode::Command;
    result(r);
    return;
  }
  if (mode_ == Mode::RxHdlc) {
    if (on && mod == kV21 && !rxConnected_) {
      rxConnected_ = true;
      if (caller_) loop_.cancel(timer_);  // the S7 wait after ATD is over
      result("CONNECT");
    } else if (on && !(mod == kV21) && !rxConnected_) {
      mode_ = Mode::Command;
      result("+FCERROR");
    } else if (!on && rxConnected_ && mod == kV21) {
      mode_ = Mode::Command;
      rxConnected_ = false;
      result("NO CARRIER");
    }
  } else if (mode_ == Mode::RxData) {
    if (on && mod == wantMod_ && !rxConnected_) {
      rxConnected_ = true;
      result("CONNECT");
    } else if (on && mod == kV21 && !rxConnected_) {
      mode_ = Mode::Command;
      result("+FCERROR");
    } else if (!on && rxConnected_) {
      // The demodulator's last bits as the carrier drops (zero fill).
      writeBytes({0, 0, 0, 0, kDle, kEtx});
      mode_ = Mode::Command;
      rxConnected_ = false;
      result("NO CARRIER");
    }
  }
}

void Modem::lineFrame(const Bytes& f, bool good) {
  if (t30_) {
    t30_->lineFrame(f, good);
    return;
  }
  if (tx_.busy() || !isClass1()) return;
  if (mode_ == Mode::RxHdlc) {
    if (!rxConnected_) {
      if (caller_) loop_.cancel(timer_);
      result("CONNECT");
    }
    deliverFrame(f, good);
  } else {
    rxFrames_.emplace_back(f, good);
  }
}

void Modem::lineData(const Bytes& d) {
  if (t30_) {
    t30_->lineData(d);
    return;
  }
  if (tx_.busy()) return;
  if (mode_ == Mode::RxData && rxConnected_) writeBytes(stuff(d));
  else if (rxEarly_.size() < 65536) rxEarly_.insert(rxEarly_.end(), d.begin(), d.end());
}

// Bytes from the DTE in a transmit data mode, with DLE shielding.
void Modem::dataByte(uint8_t c) {
  if (!dle_) {
    if (c == kDle) {
      dle_ = true;
      return;
    }
    frame_.push_back(c);
  } else {
    dle_ = false;
    if (c == kDle) {
      frame_.push_back(kDle);
    } else if (c == kSub) {
      frame_.push_back(kDle);
      frame_.push_back(kDle);
    } else if (c == kEtx) {
      if (mode_ == Mode::TxHdlc) {
        endTxFrame();
        return;
      }
      if (mode_ == Mode::TxData) {
        tx_.pushData(frame_);
        frame_.clear();
        mode_ = Mode::Silence;
        tx_.finishData([this] {
          mode_ = Mode::Command;
          result("OK");
        });
        return;
      }
      if (mode_ == Mode::C2Send && isClass2()) {
        c2EndOfData(-1);
        return;
      }
    } else if (mode_ == Mode::C2Send && isClass20() && (c == ',' || c == ';' || c == '.')) {
      c2EndOfData(c == ',' ? kPpmMps : c == ';' ? kPpmEom : kPpmEop);
      return;
    }
    // Any other DLE pair is dropped.
  }
  if (mode_ != Mode::TxHdlc && frame_.size() >= 256) {
    if (mode_ == Mode::TxData) tx_.pushData(frame_);
    else if (t30_) toLine(frame_);
    frame_.clear();
    flowControl();
  }
  if (mode_ == Mode::TxHdlc && frame_.size() > 512) frame_.clear();  // runaway frame
}

void Modem::endTxFrame() {
  Bytes f = std::move(frame_);
  frame_.clear();
  if (f.empty()) {  // nothing more: closing flags, carrier off
    mode_ = Mode::Silence;
    tx_.abort();
    mode_ = Mode::Command;
    result("OK");
    return;
  }
  bool final = f.size() > 1 && (f[1] & 0x10);
  if (final) {
    mode_ = Mode::Silence;
    tx_.onDone([this] {
      mode_ = Mode::Command;
      result("OK");
    });
    tx_.queueFrame(f);
  } else {
    tx_.queueFrame(f);
    result("CONNECT");  // ready for the next frame
  }
}

}  // namespace faxsim
