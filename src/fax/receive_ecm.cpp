// The receive session's error correction: each block's frames are
// collected from the raw bits of the page carrier; the partial page signal
// after it is answered with MCF when every frame is there, else with a
// partial page request naming the missing ones, which come again. The
// page's blocks go into the file once the page is complete.
#include "fax/dle.h"
#include "fax/receive_fax.h"

namespace tlm {

void TKvCustomReceiveFax::EcmStartPage() {
  ecmPage_.clear();
  ecmBlock_.Reset();
  ecmBlockTaken_ = false;
  ecmPageCounted_ = false;
  pageLength_ = 0;
}

void TKvCustomReceiveFax::EcmListen(bool longTraining) {
  Command("AT+FRM=" + (longTraining ? tcfCode_ : pageCode_), rf1EcmWtBurst, kTicksPageStart);
}

void TKvCustomReceiveFax::EcmBurstConnect() {
  if (!ecmPageCounted_) {
    ecmPageCounted_ = true;
    if (afterEom_) {
      // The page starts a new document: the one before is complete.
      afterEom_ = false;
      if (!CloseFaxFile() || !OpenFaxFile()) return;
    }
    currentPage_ = currentPage_ + 1;
    SetStatus(fax_status::kGettingPage);
  }
  SetInputFlow(true);
  dle_.Reset();
  ecmReader_.Reset();
  skipLf_ = true;
  ArmTimeout(kTicksPageStart);
  SetInputMode(FaxInputMode::kRaw);
  Wait(rf1EcmGtBurst);
}

void TKvCustomReceiveFax::EcmBurstData(const FaxInput& in) {
  modemData_.clear();
  const std::string_view data = AfterConnect(in.data);
  const std::size_t used = dle_.Feed(data, modemData_) + (in.data.size() - data.size());
  ecmReader_.Feed(modemData_);
  bytesDone_ = bytesDone_ + static_cast<long>(modemData_.size());
  CarrierDataTaken(used, rf1EcmFinBurst);
}

void TKvCustomReceiveFax::EcmAnswer(std::uint8_t fcf, std::string info, bool longTrainingNext) {
  ecmAnswerFcf_ = fcf;
  ecmAnswerInfo_ = std::move(info);
  ecmLongNext_ = longTrainingNext;
  Command("AT+FTH=3", rf1EcmSendResp);
}

void TKvCustomReceiveFax::EcmEndPage(std::uint8_t postPage, std::uint8_t answer) {
  if (const int rc = file_.BeginPage(fine_, wide_); rc != 0) {
    FailFile(rc);
    return;
  }
  StartRecoding();
  if (const int rc = WritePageData(ecmPage_, true); rc != 0) {
    FailFile(rc);
    return;
  }
  pageAnswer_ = answer;
  const int post = PostPageOfFrame(postPage);
  postPage_ = post != 0 ? post : PostPageOfFrame(t30::kEOP);  // a PPS names MPS, EOM or EOP
  SetStatus(fax_status::kGettingEndOfPage);
  Proceed(rf1WritePage);
}

// A signal after a block, read up to its final frame.
void TKvCustomReceiveFax::EcmSignal() {
  const t30::Frame f = *ecmSignal_;
  ecmSignal_.reset();
  if (t30::SameFrame(f.fcf, t30::kRR)) {
    // Never busy here: the answer given last holds.
    if (ecmAnswerFcf_ != 0) {
      EcmAnswer(ecmAnswerFcf_, ecmAnswerInfo_, ecmLongNext_);
    } else {
      RetryFrames();
    }
    return;
  }
  if (t30::SameFrame(f.fcf, t30::kCTC)) {
    // Continue at the speed the sender names, with long training.
    if (f.info.size() >= 2) dcs_.speedIndex = t30::SpeedIndexOfRateBits(std::uint8_t(f.info[1]));
    const t30::ReceiveModulation mod = t30::ModulationFor(dcs_);
    tcfCode_ = std::to_string(mod.tcf);
    pageCode_ = std::to_string(mod.page);
    sessionBps_ = t30::SpeedByIndex(dcs_.speedIndex).bps;
    EcmAnswer(t30::kCTR, "", true);
    return;
  }
  const bool eor = t30::SameFrame(f.fcf, t30::kEOR);
  EcmPps pps;
  if (eor) {
    pps.postPage = f.info.empty() ? 0 : std::uint8_t(f.info[0]);
  } else if (!ParseEcmPps(f.info, pps)) {
    RetryFrames();
    return;
  } else if (ecmBlock_.Received() == 0 && (pps.page << 8 | pps.block) == ecmConfirmed_) {
    // The signal for the block we confirmed last, with no burst since: our
    // answer was lost. (The counters alone do not tell: some senders start
    // the page counter again for a document after EOM.)
    EcmAnswer(t30::kMCF, "", false);
    return;
  } else {
    ecmBlock_.Announce(pps.frames);
  }
  if (!eor && !ecmBlock_.Complete()) {
    const EcmFrameSet missing = ecmBlock_.Missing();
    retransmittedFrames_ = retransmittedFrames_.load() + int(missing.count());
    PostStatus(false, false);  // the status shows the frames asked for again
    EcmAnswer(t30::kPPR, EcmRequestMap(missing, ecmBlock_.Frames()), false);
    return;
  }
  // The block is whole (or the sender gave up on its holes).
  if (!eor) ecmConfirmed_ = pps.page << 8 | pps.block;
  if (!ecmBlockTaken_) {
    ecmPage_ += ecmBlock_.Data();
    ecmBlockTaken_ = true;
    pageLength_ = static_cast<long>(ecmPage_.size());
  }
  const std::uint8_t answer = eor ? t30::kERR : t30::kMCF;
  if (pps.postPage != 0) {
    EcmEndPage(pps.postPage, answer);
    return;
  }
  ecmBlock_.Reset();
  ecmBlockTaken_ = false;
  EcmAnswer(answer, "", false);
}

}  // namespace tlm
