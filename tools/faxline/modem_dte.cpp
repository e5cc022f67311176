// Bytes between the program under test (the DTE) and the T.31 engine.
//
// What the program writes goes to t31_at_rx() in pieces that end where the
// engine may change mode (a command line, a DLE ETX), so each piece is read
// in the right mode. The engine's output is written to the pty master;
// while nobody has the port open it is lost, as with a real modem.
//
// Flow control: when the engine's transmit buffer fills it asks for CTS off.
// Reading from the pty then stops (the program's writes block once the pty
// buffer is full) and, if the port has IXON set, XOFF goes out in band; XON
// follows when the engine asks for CTS again.
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "diagnostics.h"
#include "line_config.h"
#include "modem.h"

namespace faxline {
namespace {

constexpr size_t kMaxPendingOutput = 256 * 1024;
constexpr size_t kChunk = 256;  // bytes per t31_at_rx() call
constexpr uint8_t kXon = 0x11;
constexpr uint8_t kXoff = 0x13;
constexpr char kDle = 0x10;
constexpr char kEtx = 0x03;

}  // namespace

int Modem::atTxCallback(at_state_t*, void* user, const uint8_t* buf, size_t len) {
  static_cast<Modem*>(user)->dteWrite(buf, len);
  return int(len);
}

void Modem::dteWrite(const uint8_t* buf, size_t len) {
  if (config.trace) traceOut_.append(reinterpret_cast<const char*>(buf), len);
  if (!dtr_ || len == 0) return;
  if (out_.size() + len > kMaxPendingOutput) {
    if (!outOverflow_) logLine("%s: the program does not read; modem output dropped", link_.c_str());
    outOverflow_ = true;
    return;
  }
  out_.append(reinterpret_cast<const char*>(buf), len);
  flushOutput();
}

void Modem::flushOutput() {
  while (!out_.empty()) {
    const ssize_t n = write(master_, out_.data(), out_.size());
    if (n > 0) {
      out_.erase(0, size_t(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      logLine("%s: write to pty failed: %s", link_.c_str(), strerror(errno));
      out_.clear();
    }
    break;
  }
  if (out_.empty()) outOverflow_ = false;
}

void Modem::flushTrace() {
  if (traceOut_.empty()) return;
  logLine("%s -> %s", link_.c_str(),
          escaped(reinterpret_cast<const uint8_t*>(traceOut_.data()), traceOut_.size(), 160).c_str());
  traceOut_.clear();
}

void Modem::readDte() {
  if (!in_.empty() || ctsHold_) return;
  char buf[1024];
  const ssize_t n = read(master_, buf, sizeof buf);
  if (n <= 0) return;           // EAGAIN, or EIO while the pty changes hands
  if (openers_ == 0) portEvent();  // data from a program not yet counted
  if (!dtr_) return;            // that program has gone again
  if (config.trace) {
    flushTrace();
    logLine("%s <- %s", link_.c_str(), escaped(reinterpret_cast<const uint8_t*>(buf), size_t(n), 160).c_str());
  }
  in_.append(buf, size_t(n));
  feedModem();
}

// How many pending bytes go to the engine in one go: at most one command
// line, up to the end of a data block (DLE ETX), or a single abort
// character, so that a mode change takes effect for the bytes after it.
size_t Modem::nextPiece() const {
  const size_t n = std::min(in_.size(), kChunk);
  switch (at()->at_rx_mode) {
    case AT_MODE_ONHOOK_COMMAND:
    case AT_MODE_OFFHOOK_COMMAND: {
      const size_t cr = in_.find(char(at()->p.s_regs[3]));
      return cr < n ? cr + 1 : n;
    }
    case AT_MODE_DELIVERY:
      return 1;
    case AT_MODE_STUFFED: {
      bool dled = t31_->dled;
      for (size_t i = 0; i < n; ++i) {
        if (dled) {
          dled = false;
          if (in_[i] == kEtx) return i + 1;
        } else if (in_[i] == kDle) {
          dled = true;
        }
      }
      return n;
    }
    default:
      return n;
  }
}

void Modem::feedModem() {
  while (!in_.empty() && !ctsHold_) {
    const int mode = at()->at_rx_mode;
    const size_t n = nextPiece();
    std::string piece = in_.substr(0, n);
    in_.erase(0, n);

    // With IXOFF on the port the line discipline sends XON/XOFF to the
    // modem; outside image data they are flow control, not input.
    termios tio{};
    const bool commandOrDelivery =
        mode == AT_MODE_ONHOOK_COMMAND || mode == AT_MODE_OFFHOOK_COMMAND || mode == AT_MODE_DELIVERY;
    if (commandOrDelivery && tcgetattr(slave_, &tio) == 0 && (tio.c_iflag & IXOFF))
      std::erase_if(piece, [](char c) { return c == char(kXon) || c == char(kXoff); });
    if (dialling()) {
      // Any character but line ends aborts a dial in progress (V.250).
      if (piece.find_first_not_of(std::string("\r\n \0", 4)) != std::string::npos) {
        ex_.hangup(call_, this, "dial_aborted");
        t31_call_event(t31_, AT_CALL_EVENT_HANGUP);
        at_put_response_code(at(), AT_RESPONSE_CODE_NO_CARRIER);
        setOffHook(false);
      }
      continue;
    }
    if (mode == AT_MODE_HDLC)
      feedHdlc(piece);
    else if (!piece.empty())
      t31_at_rx(t31_, piece.data(), int(piece.size()));
  }
}

// The engine collects an HDLC frame from the program (AT+FTH) in a fixed
// buffer without a bounds check; bytes that would overflow it are dropped.
void Modem::feedHdlc(const std::string& chunk) {
  for (size_t i = 0; i < chunk.size(); ++i) {
    if (at()->at_rx_mode != AT_MODE_HDLC) {
      t31_at_rx(t31_, chunk.data() + i, int(chunk.size() - i));
      break;
    }
    const bool frameEnd = t31_->dled && chunk[i] == kEtx;
    if (!frameEnd && t31_->hdlc_tx.len >= T31_MAX_HDLC_LEN - 2) {
      if (!hdlcOverflow_) logLine("%s: HDLC frame from the program too long; excess dropped", link_.c_str());
      hdlcOverflow_ = true;
      continue;
    }
    if (frameEnd) hdlcOverflow_ = false;
    t31_at_rx(t31_, chunk.data() + i, 1);
  }
}

// The receive side has the same flaw: a V.21 frame is copied, DLE stuffed,
// into a 256-byte buffer. Frames that would not fit are dropped (real T.30
// frames are far shorter). The engine re-installs its handler whenever the
// V.21 receiver restarts, so the guard is put back before every block.
void Modem::guardHdlcRx() {
  hdlc_rx_state_t& rx = t31_->audio.modems.hdlc_rx;
  if (rx.frame_handler == guardedFrame) return;
  frameHandler_ = rx.frame_handler;
  frameUser_ = rx.frame_user_data;
  rx.frame_handler = guardedFrame;
  rx.frame_user_data = this;
}

void Modem::guardedFrame(void* user, const uint8_t* msg, int len, int ok) {
  auto* m = static_cast<Modem*>(user);
  if (len >= 0) {
    int need = m->t31_->at_state.rx_data_bytes + len + 2 + 2;  // + FCS, DLE ETX
    for (int i = 0; i < len + 2; ++i)
      if (msg[i] == uint8_t(kDle)) need++;
    if (need > int(sizeof(m->t31_->at_state.rx_data)) || len + 3 > 256) {
      logLine("%s: received HDLC frame of %d bytes dropped (too long)", m->link_.c_str(), len);
      return;
    }
  }
  if (m->frameHandler_) m->frameHandler_(m->frameUser_, msg, len, ok);
}

void Modem::flowControl(bool clearToSend) {
  if (clearToSend == !ctsHold_) return;
  ctsHold_ = !clearToSend;
  if (config.trace) logLine("%s flow control: %s", link_.c_str(), clearToSend ? "resume" : "hold");
  termios tio{};
  const bool ixon = tcgetattr(slave_, &tio) == 0 && (tio.c_iflag & IXON);
  if (!clearToSend && ixon && !xoffSent_) {
    dteWrite(&kXoff, 1);
    xoffSent_ = true;
  } else if (clearToSend && xoffSent_) {
    dteWrite(&kXon, 1);
    xoffSent_ = false;
  }
}

}  // namespace faxline
