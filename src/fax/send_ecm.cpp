// The transmit session's error correction: each page is coded whole, cut
// into frames and sent in blocks; after every block a partial page signal
// asks which frames arrived, and only the missing ones go again. After four
// requests for the same block the session continues to correct at a lower
// speed (CTC) or, at the lowest, ends the block with its holes (EOR).
#include <cstdio>

#include "comm/com_port.h"
#include "fax/dle.h"
#include "fax/send_fax.h"

namespace tlm {

namespace {
constexpr std::int32_t kTicks3s = 54;
constexpr std::int32_t kTicks10s = 182;
constexpr std::int32_t kTicks30s = 546;
constexpr std::int32_t kTicksT5 = 1092;  // 60 s of "receive not ready"
constexpr std::size_t kBurstChunk = 4096;
}  // namespace

std::uint8_t TKvCustomSendFax::EcmPostPage() const {
  if (ecmBlock_ + 1 < ecmPage_.BlockCount()) return 0;  // more blocks of this page
  if (!MorePages()) return t30::kEOP;
  return multiPage_ && !ResolutionChange() ? t30::kMPS : t30::kEOM;
}

void TKvCustomSendFax::EcmPrepPage() {
  currentPage_ = int(pageIndex_) + 1;
  SetStatus(fax_status::kSendingPage);
  std::string coded;
  if (const int rc = ComposePage(coded); rc != 0) {
    Fail(rc);
    return;
  }
  ecmPage_.Reset(std::move(coded));
  pageLength_ = long(ecmPage_.Size());
  bytesDone_ = 0;
  ecmBlock_ = 0;
  ecmRequests_ = 0;
  ecmFrames_.set();
  Proceed(tf1EcmStartBurst);
}

void TKvCustomSendFax::EcmBurstConnect() {
  const int bps = t30::SpeedByIndex(speedIndex_).bps;
  pending_.clear();
  AppendDleStuffed(pending_, ecmPage_.Burst(ecmBlock_, ecmFrames_, EcmSyncFlags(bps)));
  SetInputMode(FaxInputMode::kDiscard);
  SetOutputFlow(true);
  Proceed(tf1EcmSendBurst);
}

// Writes the burst as the modem takes it: a gap inside a frame would ruin it.
void TKvCustomSendFax::EcmSendBurst() {
  while (!pending_.empty()) {
    const std::size_t room = OutputFree();
    if (room < std::min(pending_.size(), kBurstChunk)) {
      ArmOutputFree(std::uint16_t(std::min(pending_.size(), kBurstChunk)));
      ArmTimeout(kTicks30s);
      Wait(tf1EcmSendBurst);
      return;
    }
    const std::size_t n = std::min({pending_.size(), room, kBurstChunk});
    Send(std::string_view(pending_).substr(0, n));
    if (error_.load() != 0) return;
    pending_.erase(0, n);
    bytesDone_ = std::min<long>(pageLength_.load(), bytesDone_.load() + long(n));
  }
  WriteDleEtx();
  ArmOutputUsed(0);
  ArmTimeout(kTicks30s);
  Wait(tf1EcmDrainBurst);
}

void TKvCustomSendFax::EcmSendSignal() {
  const int frames = ecmPage_.FrameCount(ecmBlock_);
  if (ecmAskReady_) {
    SendFrame(t30::kRR, "", true);
  } else if (ecmSignal_ == t30::kPPS) {
    SendFrame(t30::kPPS, EcmPpsInfo(EcmPostPage(), ecmPageCount_, ecmBlock_, frames), true);
  } else if (ecmSignal_ == t30::kEOR) {
    SendFrame(t30::kEOR, std::string(1, char(EcmPostPage())), true);
  } else if (ecmSignal_ == t30::kCTC) {
    SendFrame(t30::kCTC, std::string{'\0', char(t30::RateBits(ecmCtcSpeed_))}, true);
  }
}

void TKvCustomSendFax::EcmRetransmit(const EcmFrameSet& frames) {
  ecmFrames_ = frames;
  ecmSignal_ = t30::kPPS;
  Proceed(tf1EcmStartBurst);
}

// MCF (or ERR after EOR): the block is done.
void TKvCustomSendFax::EcmBlockDone() {
  ecmT5Running_ = false;
  ecmRequests_ = 0;
  if (ecmBlock_ + 1 < ecmPage_.BlockCount()) {
    ++ecmBlock_;
    ecmFrames_.set();
    Proceed(tf1EcmStartBurst);
    return;
  }
  SetStatus(fax_status::kPageAccepted);
  const std::uint8_t post = EcmPostPage();
  ++ecmPageCount_;
  if (!MorePages()) {
    Pause(200);
    Command("AT+FTH=3", kTicks10s);
    Wait(tf1SendDCN);
    return;
  }
  ++pageIndex_;
  if (post == t30::kMPS) {
    Proceed(tf1EcmPrepPage);
  } else {
    // After EOM the remote sends its capabilities again.
    haveFrame_ = false;
    Command("AT+FRH=3", kTicks10s);
    Wait(tf1Connect);
  }
}

void TKvCustomSendFax::EcmResponse(const FaxInput& in) {
  if (CollectAnswerFrame(in)) return;
  if (in.Is("ERROR") || in.text.find("RRIER") != std::string::npos) {
    Proceed(tf1EcmPrepSignal);  // nothing heard: the signal again
    return;
  }
  if (!in.Is("OK")) return;
  if (!haveFrame_ || !lastFrame_.Final()) {
    haveFrame_ = false;
    Command("AT+FRH=3", kTicks3s);
    return;
  }
  // After RR the remote answers the block's own signal once it is ready.
  const std::uint8_t fcf = lastFrame_.fcf;
  const std::uint8_t asked = ecmSignal_;
  if (!t30::SameFrame(fcf, t30::kRNR)) {
    ecmAskReady_ = false;
    ecmT5Running_ = false;
  }
  if (t30::SameFrame(fcf, t30::kMCF) || t30::SameFrame(fcf, t30::kERR)) {
    EcmBlockDone();
  } else if (t30::SameFrame(fcf, t30::kPPR) && asked == t30::kPPS) {
    const EcmFrameSet missing = ParseEcmRequestMap(lastFrame_.info, ecmPage_.FrameCount(ecmBlock_));
    if (missing.none()) {
      EcmBlockDone();
      return;
    }
    ecmFrames_ = missing;
    retransmittedFrames_ = retransmittedFrames_.load() + int(missing.count());
    PostStatus(false, false);  // the status shows the frames asked for again
    if (++ecmRequests_ < kEcmMaxRequests) {
      EcmRetransmit(missing);
      return;
    }
    // The line keeps losing frames: go on more slowly, or give up on them.
    ecmCtcSpeed_ = t30::FallbackSpeed(speedIndex_, localSpeeds_, remote_.speeds);
    ecmSignal_ = ecmCtcSpeed_ != 0 ? t30::kCTC : t30::kEOR;
    ecmSignalTries_ = 0;
    Proceed(tf1EcmPrepSignal);
  } else if (t30::SameFrame(fcf, t30::kCTR) && asked == t30::kCTC) {
    speedIndex_ = ecmCtcSpeed_;
    sessionBps_ = t30::SpeedByIndex(speedIndex_).bps;
    ecmRequests_ = 0;
    ecmLongTraining_ = true;
    EcmRetransmit(ecmFrames_);
  } else if (t30::SameFrame(fcf, t30::kRNR)) {
    if (!ecmT5Running_) {
      ecmT5Running_ = true;
      ecmT5_ = NewTimer(kTicksT5);
    } else if (TimerExpired(ecmT5_)) {
      Fail(-fax_error::kTimeout);
      return;
    }
    ecmAskReady_ = true;
    ecmSignalTries_ = 0;
    Pause(500);
    Proceed(tf1EcmPrepSignal);
  } else {
    haveFrame_ = false;
    Command("AT+FRH=3", kTicks3s);
  }
}

}  // namespace tlm
