#include "fax/receive_fax.h"

#include <memory>

#include "fax/class2.h"
#include "fax/dle.h"

namespace tlm {

namespace {

bool IsNoCarrier(const FaxInput& in) { return in.kind == FaxInput::kLine && in.text.find("RRIER") != std::string::npos; }

// Post-page kinds, as Class 1 frames and Class 2 "+FET" codes name them.
constexpr int kPostMps = 2;
constexpr int kPostEom = 3;
constexpr int kPostEop = 4;

// The results that end an "AT+FRH=3".
bool IsFrameResult(const FaxInput& in) {
  return in.Is("OK") || in.Is("ERROR") || in.Starts("+FCERROR") || IsNoCarrier(in);
}

int PostPageOfFet(std::string_view code) {
  switch (code.empty() ? '2' : code.front()) {
    case '0':
    case '3': return kPostMps;
    case '1':
    case '4': return kPostEom;
    default: return kPostEop;
  }
}

}  // namespace

TKvCustomReceiveFax::~TKvCustomReceiveFax() {
  StopSession();
  file_.Remove();
}

int TKvCustomReceiveFax::StartReceive() { return StartSession(rfInit); }

// ---- the state procedure ---------------------------------------------------------------

void TKvCustomReceiveFax::Step(const FaxInput& in) {
  if (in.kind == FaxInput::kLine && !echo_.empty() && in.text == echo_) {
    echo_.clear();  // a modem that echoes commands
    return;
  }
  if (CommonInput(in)) return;
  switch (State()) {
    case rfNone:
      break;

    case rfInit:  // clear the session; select the class
      rings_ = retries_ = initStep_ = initRetries_ = 0;
      ecmConfirmed_ = -1;
      retransmittedFrames_ = 0;
      sessionEcm_ = false;
      sessionCoding_ = T4Coding::MH;
      haveDcs_ = afterEom_ = hungUp_ = capsWide_ = false;
      postPage_ = 0;
      currentPage_ = 0;
      SetRemoteId("");
      if (ConstantStatus) PostStatus(true, false);
      if (Class1()) {
        Command("AT+FCLASS=1", rf1Init1);
      } else {
        Command(class2::Command(table_->classSelect), rf2Init1);
      }
      break;

    case rf1Init1:  // "OK": ready to wait for calls
      if (in.Is("OK")) {
        DisarmTimeout();
        SetStatus(fax_status::kWaitingForCall);
        Wait(rfWaiting);
      } else if (in.Is("ERROR") && !RetryInitCommand()) {
        Fail(-fax_error::kModemInitFailed);
      }
      break;

    case rf2Init1:  // "OK": the next set-up command, capabilities last
      if (in.Is("OK")) {
        ClassInit2Step();
      } else if (in.Is("ERROR") && !RetryInitCommand()) {
        Fail(-fax_error::kModemInitFailed);
      }
      break;

    case rf2Init1A:  // Class 2.0: flow control by the port's handshake lines
      if (in.Is("OK")) {
        capsWide_ = false;
        Command("AT+FLO=2", rf2Init1B);
      } else if (in.Is("ERROR") && !NarrowCapabilities()) {
        Fail(-fax_error::kModemInitFailed);
      }
      break;

    case rf2Init1B:  // Class 2.0: report the negotiation
      if (in.Is("OK")) {
        Command("AT+FNR=1,1,1,0", rf2Init3);
      } else if (in.Is("ERROR") && !RetryInitCommand()) {
        Fail(-fax_error::kModemInitFailed);
      }
      break;

    case rf2Init2:
      break;

    case rf2Init3:  // "OK": ready to wait for calls
      if (in.Is("OK")) {
        capsWide_ = false;
        DisarmTimeout();
        SetStatus(fax_status::kWaitingForCall);
        Wait(rfWaiting);
      } else if (in.Is("ERROR") && !NarrowCapabilities()) {
        Fail(-fax_error::kModemInitFailed);
      }
      break;

    case rfWaiting:  // count rings; calls that are not fax calls fail
      if (in.Is("RING")) {
        ++rings_;
        ArmTimeout(kTicksRingGap);
        if (rings_ >= AnswerOnRing) {
          if (!ConstantStatus) PostStatus(true, false);
          Proceed(rfAnswer);
        }
      } else if (in.Starts("NO C")) {
        SetStatus(fax_status::kNoConnect);
      } else if (in.Starts("CONNECT")) {
        Fail(-fax_error::kDataCall);
      } else if (in.Starts("VOICE") || in.Starts("VCON")) {
        Fail(-fax_error::kVoiceAnswer);
      }
      break;

    case rfAnswer:
      ModemCommand("ATA");
      ArmTimeout(kTicksAnswer);
      SetStatus(fax_status::kAnswering);
      Wait(Class1() ? rf1SendCSI : rf2ValCnnct);
      break;

    default:
      if (Class1()) {
        StepClass1(in);
      } else {
        StepClass2(in);
      }
      break;
  }
}

void TKvCustomReceiveFax::StepClass1(const FaxInput& in) {
  switch (State()) {
    case rf1SendCSI:  // "CONNECT": our ID, more frames follow
      if (in.Starts("CONNECT")) {
        SendFrame(t30::kCSI, t30::StationIdField(StationID()), false);
        Wait(rf1SendDIS);
      } else if (IsNoCarrier(in)) {
        Fail(-fax_error::kConnectFailed);
      }
      break;

    case rf1SendDIS:  // "CONNECT": our capabilities; "OK": listen for the answer
      if (in.Starts("CONNECT")) {
        SendFrame(t30::kDIS, t30::EncodeDis(localSpeeds_, LocalFacilities()), true);
      } else if (in.Is("OK")) {
        Pause(200);
        Pause(200);
        frameSeen_ = false;
        ReceiveFrames(rf1CollFrms);
      } else if (IsNoCarrier(in)) {
        Fail(-fax_error::kConnectFailed);
      }
      break;

    case rf1CollFrms:  // the sender's frames up to DCS and the training check
      if (CollectFrame(in)) break;
      if (in.Is("OK") && frameSeen_ && frameFinal_ && !haveDcs_ && PostPageAfterAnswer()) {
        AnswerPostPageAgain();
      } else if (in.Is("OK") && frameSeen_ && frameFinal_ && haveDcs_) {
        const t30::ReceiveModulation mod = t30::ModulationFor(dcs_);
        tcfCode_ = std::to_string(mod.tcf);
        pageCode_ = std::to_string(mod.page);
        SetNegotiated(dcs_.fine, dcs_.wide, t30::SpeedByIndex(dcs_.speedIndex).bps);
        sessionEcm_ = dcs_.ecm;
        sessionCoding_ = dcs_.coding;
        SetInputFlow(true);
        Command("AT+FRM=" + tcfCode_, rf1StrtTrn);
      } else if (IsFrameResult(in)) {
        // A non-final frame, a frame the modem found damaged, or no carrier:
        // listen again while the time-out runs.
        RetryFrames();
      }
      break;

    case rf1CollRtry1:  // no answer to DIS: count the try
      if (++retries_ > 3) {
        Fail(-fax_error::kTimeout);
      } else {
        Command("AT", rf1CollRtry2);
      }
      break;

    case rf1CollRtry2:  // send CSI and DIS again
      if (in.kind == FaxInput::kEnter || in.kind == FaxInput::kLine) Command("AT+FTH=3", rf1SendCSI);
      break;

    case rf1StrtTrn:  // "CONNECT": the training check begins
      if (in.Starts("CONNECT")) {
        StartTraining();
      } else if (in.Starts("+FCERROR")) {
        ReceiveFrames(rf1CollFrms);  // the sender is still sending frames
      } else if (IsNoCarrier(in)) {
        Fail(-fax_error::kTrainingFailed);
      }
      break;

    case rf1CollTrn:  // count the check's bytes up to DLE ETX
      if (in.kind == FaxInput::kData) TrainingData(in);
      break;

    case rf1Timeout:
      break;

    case rf1Retrain:  // "CONNECT": FTT; "OK": listen for the next DCS
      if (in.Starts("CONNECT")) {
        SendFrame(t30::kFTT, "", true);
        if (tcfCode_ == "24") Fail(-fax_error::kTrainingFailed);
      } else if (in.Is("OK")) {
        haveDcs_ = frameSeen_ = false;
        ReceiveFrames(rf1CollFrms);
      }
      break;

    case rf1FinTrn:  // the check's carrier is gone: confirm
      if (IsNoCarrier(in) || in.Is("OK")) {
        SetInputFlow(false);
        Pause(20);
        Command("AT+FTH=3", rf1SendCFR);
      }
      break;

    case rf1SendCFR:  // "CONNECT": CFR; "OK": the page carrier
      if (in.Starts("CONNECT")) {
        SetInputFlow(true);
        SendFrame(t30::kCFR, "", true);
      } else if (in.Is("OK")) {
        if (!file_.IsOpen() && !AcceptCall()) break;
        if (dcs_.ecm) {
          ecmConfirmed_ = -1;  // a new document's counters may start again
          EcmStartPage();
          EcmListen(false);
          break;
        }
        Command("AT+FRM=" + pageCode_, rf1WtPgCnnct, kTicksPageStart);
      }
      break;

    case rf1WtPgCnnct:  // "CONNECT": page data follows
      if (in.Starts("CONNECT")) {
        // Again for each page after MPS: the end of the last page's data
        // switched the flow off.
        SetInputFlow(true);
        Proceed(rfStartPage);
      } else if (in.Starts("+FCERROR") || IsNoCarrier(in)) {
        // The sender did not hear our answer and sends frames again.
        haveDcs_ = frameSeen_ = false;
        ReceiveFrames(rf1CollFrms);
      }
      break;

    case rf1FinPage:  // the page carrier is gone: the post-page frame
      if (IsNoCarrier(in) || in.Is("OK")) {
        frameSeen_ = false;
        postPage_ = 0;
        ReceiveFrames(rf1WaitEOP);
      }
      break;

    case rf1WaitEOP:  // MPS, EOM or EOP
      if (CollectFrame(in)) {
        if (in.kind == FaxInput::kFrame && PostPageOfFrame(frameFcf_) != 0) postPage_ = PostPageOfFrame(frameFcf_);
      } else if (in.Is("OK") && frameSeen_ && frameFinal_ && postPage_ != 0) {
        SetStatus(fax_status::kGettingEndOfPage);
        Proceed(rf1WritePage);
      } else if (IsFrameResult(in)) {
        RetryFrames();
      }
      break;

    case rf1WritePage:  // the page is whole: finish it in the file
      if (const int rc = file_.EndPage(); rc != 0) {
        FailFile(rc);
        break;
      }
      Command("AT+FTH=3", rf1SendMCF);
      SetStatus(fax_status::kGettingEndOfDocument);
      break;

    case rf1SendMCF:  // "CONNECT": MCF; "OK": next page, or the end
      if (in.Starts("CONNECT")) {
        if (postPage_ == kPostEom) {
          // A new document follows: CSI and DIS go out in the same burst.
          afterEom_ = true;
          haveDcs_ = false;
          SendFrame(pageAnswer_, "", false);
          Wait(rf1SendCSI);
        } else {
          SendFrame(pageAnswer_, "", true);
        }
        lastPageAnswer_ = pageAnswer_;
        pageAnswer_ = t30::kMCF;
      } else if (in.Is("OK")) {
        if (postPage_ == kPostMps && dcs_.ecm) {
          EcmStartPage();
          EcmListen(false);
        } else if (postPage_ == kPostMps) {
          Command("AT+FRM=" + pageCode_, rf1WtPgCnnct, kTicksPageStart);
        } else {
          Pause(200);
          dcnSeen_ = frameSeen_ = repeatSeen_ = false;
          ReceiveFrames(rf1WaitDCN);
          if (!CloseFaxFile()) break;
          SetStatus(fax_status::kGettingHangup);
        }
      }
      break;

    case rf1WaitDCN:  // the sender's disconnect
      if (CollectFrame(in)) {
        const std::uint8_t fcf = frameFcf_;
        if (in.kind == FaxInput::kFrame &&
            (t30::SameFrame(fcf, t30::kEOP) || t30::SameFrame(fcf, t30::kPPS) || t30::SameFrame(fcf, t30::kEOR)))
          repeatSeen_ = true;
      } else if (in.Is("OK") && dcnSeen_) {
        Command("ATH", rf1WtHngp);
      } else if (in.Is("OK") && frameSeen_ && frameFinal_ && repeatSeen_) {
        // The sender did not hear our answer to its last page: without it
        // the sender would count a fax we hold as failed.
        repeatSeen_ = false;
        Command("AT+FTH=3", rf1SendAgain);
      } else if (IsNoCarrier(in)) {
        Proceed(rfComplete);  // the sender hung up without a DCN we heard
      } else if (IsFrameResult(in)) {
        RetryFrames();
      }
      break;

    case rf1SendAgain:  // "CONNECT": the last page's answer; "OK": the disconnect again
      if (in.Starts("CONNECT")) {
        SendFrame(lastPageAnswer_, "", true);
      } else if (in.Is("OK")) {
        frameSeen_ = false;
        ReceiveFrames(rf1WaitDCN);
      }
      break;

    case rf1SendRtn:  // "CONNECT": RTN; "OK": the sender trains again, or hangs up
      if (in.Starts("CONNECT")) {
        SendFrame(t30::kRTN, "", true);
      } else if (in.Is("OK")) {
        frameSeen_ = false;
        ReceiveFrames(rf1CollFrms);
      }
      break;

    case rf1WtHngp:  // "OK": on hook
      if (in.Is("OK")) {
        hungUp_ = true;
        SetStatus(fax_status::kGotHangupCode);
        Proceed(rfComplete);
      }
      break;

    case rfStartPage:
    case rfGtPgDta:
    case rfComplete:
    case rfAbort:
    case rfDone:
      StepClass2(in);  // shared by both classes
      break;

    case rf1EcmWtBurst:  // "CONNECT": a block's frames follow
      if (in.Starts("CONNECT")) {
        EcmBurstConnect();
      } else if (in.Starts("+FCERROR") || IsNoCarrier(in)) {
        // The sender sends frames instead: a signal again (our answer was
        // not heard), CTC or EOR.
        frameSeen_ = false;
        ReceiveFrames(rf1EcmWaitSig);
      }
      break;

    case rf1EcmGtBurst:  // the block's frames up to DLE ETX
      if (in.kind == FaxInput::kData) EcmBurstData(in);
      break;

    case rf1EcmFinBurst:  // the block's carrier is gone: its signal
      if (IsNoCarrier(in) || in.Is("OK")) {
        frameSeen_ = false;
        ecmSignal_.reset();
        ReceiveFrames(rf1EcmWaitSig);
      }
      break;

    case rf1EcmWaitSig:  // PPS, EOR, CTC or RR
      if (CollectFrame(in)) {
        const std::uint8_t fcf = frameFcf_;
        if (in.kind == FaxInput::kFrame && (t30::SameFrame(fcf, t30::kPPS) || t30::SameFrame(fcf, t30::kEOR) ||
                                            t30::SameFrame(fcf, t30::kCTC) || t30::SameFrame(fcf, t30::kRR)))
          ecmSignal_ = in.frame;
      } else if (in.Is("OK") && frameSeen_ && frameFinal_ && ecmSignal_) {
        EcmSignal();
      } else if (in.Is("OK") && frameSeen_ && frameFinal_ && haveDcs_) {
        // The sender did not hear our CFR and starts over with DCS.
        Wait(rf1CollFrms);
        Step(in);
      } else if (IsFrameResult(in)) {
        RetryFrames();
      }
      break;

    case rf1EcmSendResp:  // "CONNECT": the answer; "OK": the next burst
      if (in.Starts("CONNECT")) {
        SendFrame(ecmAnswerFcf_, ecmAnswerInfo_, true);
      } else if (in.Is("OK")) {
        EcmListen(ecmLongNext_);
      }
      break;

    default:
      break;
  }
}

void TKvCustomReceiveFax::StepClass2(const FaxInput& in) {
  std::string rest;
  switch (State()) {
    case rf2ValCnnct:  // the fax connection is made
      if (class2::MatchResponse(in.text, table_->connect)) {
        ArmTimeout(kTicksPageStart);
        SetStatus(fax_status::kCallIsFax);
        Wait(rf2GtSndID);
      } else if (IsNoCarrier(in)) {
        Fail(-fax_error::kConnectFailed);
      }
      break;

    case rf2GtSndID:  // sender ID and session parameters; "OK": page data
      if (in.kind != FaxInput::kLine) break;
      if (class2::MatchResponse(in.text, table_->transmittingId, &rest)) {
        SetRemoteId(class2::ParseStationId(rest));
        SetStatus(fax_status::kGotCalledId);
        if (!file_.IsOpen()) AcceptCall();
      } else if (class2::MatchResponse(in.text, table_->sessionParameters, &rest)) {
        const class2::Parameters p = class2::ParseParameters(rest);
        SetNegotiated(p.fine, p.wide, p.bps);
        SetStatus(fax_status::kGettingParams);
      } else if (in.Is("OK")) {
        if (!file_.IsOpen() && !AcceptCall()) break;  // a sender without an ID
        Command("AT+FDR", rf2GtCnnct, kTicksPageStart);
      }
      break;

    case rf2GtCnnct:  // "CONNECT": the next page
      if (class2::MatchResponse(in.text, table_->sessionParameters, &rest)) {
        const class2::Parameters p = class2::ParseParameters(rest);
        SetNegotiated(p.fine, p.wide, p.bps);
        SetStatus(fax_status::kGettingParams);
      } else if (in.Starts("CONNECT")) {
        SetInputFlow(true);
        Proceed(rfStartPage);
      }
      break;

    case rfStartPage: {  // a page begins
      if (afterEom_) {
        // The page starts a new document: the one before is complete.
        afterEom_ = false;
        if (!CloseFaxFile() || !OpenFaxFile()) break;
      }
      if (const int rc = file_.BeginPage(fine_, wide_); rc != 0) {
        FailFile(rc);
        break;
      }
      currentPage_ = currentPage_ + 1;
      pageLength_ = 0;
      pageStatusSeen_ = false;
      postPage_ = 0;
      dle_.Reset();
      skipLf_ = true;
      bitOrder_.StartPage(!Class1());
      StartRecoding();
      if (!Class1()) Send(std::string(1, kDC2));
      SetStatus(fax_status::kGettingPage);
      ArmTimeout(kTicksPageStart);
      SetInputMode(FaxInputMode::kRaw);
      Wait(rfGtPgDta);
      break;
    }

    case rfGtPgDta:  // page data up to DLE ETX
      if (in.kind == FaxInput::kData) PageData(in);
      break;

    case rf2GtPgRslt:  // page status, post-page message; "OK": go on
      if (in.kind != FaxInput::kLine) break;
      if (class2::MatchResponse(in.text, table_->pageStatus, &rest)) {
        pageStatusSeen_ = true;
        const char code = rest.empty() ? '0' : rest.front();
        const int rc = (code == '1' || code == '3' || code == '5') ? file_.EndPage() : file_.DiscardPage();
        if (rc != 0) FailFile(rc);
      } else if (class2::MatchResponse(in.text, "ET", &rest)) {
        postPage_ = PostPageOfFet(rest);
      } else if (in.Is("OK")) {
        if (!pageStatusSeen_) {
          if (const int rc = file_.EndPage(); rc != 0) {
            FailFile(rc);
            break;
          }
        }
        if (postPage_ == kPostEom) afterEom_ = true;
        if (postPage_ == kPostEop) {
          if (!CloseFaxFile()) break;
          SetStatus(fax_status::kGettingHangup);
          Command("AT+FDR", rf2GetFHNG);
        } else {
          Command("AT+FDR", rf2GtCnnct, kTicksPageStart);
        }
      } else if (in.Is("ERROR")) {
        if (const int rc = file_.DiscardPage(); rc != 0) {
          FailFile(rc);
          break;
        }
        Command("AT+FDR", rf2GtCnnct, kTicksPageStart);
      }
      break;

    case rf2GetFHNG:  // the hang-up code; "OK": done
      if (class2::MatchHangup(in.text, *table_, &rest)) {
        hangupCode_ = class2::ParseHangupCode(rest);
        hungUp_ = true;
        SetStatus(fax_status::kGotHangupCode);
      } else if (in.Is("OK") || in.Is("ERROR")) {
        Proceed(rfComplete);
      }
      break;

    case rfComplete:  // the call is over
      DisarmTimeout();
      SetInputFlow(false);
      SetInputMode(FaxInputMode::kLines);
      if (!hungUp_) HangUp();
      PostStatus(false, true);  // the call is over
      if (OneFax) {
        SetStatus(fax_status::kFinished);
        Wait(rfDone);
        EndSession(0);
      } else {
        Proceed(rfInit);
      }
      break;

    case rfAbort: {  // the call failed or was cancelled
      DisarmTimeout();
      SetInputFlow(false);
      SetInputMode(FaxInputMode::kLines);
      FailedFaxFile();
      HangUp();
      PostStatus(false, true);  // the call (or the attempt to wait for one) is over
      // A failure while setting the modem up would only repeat itself, and
      // so would a receive folder that cannot be written: every later call
      // would be answered and lost the same way.
      const bool end = userAbort_ || ExitOnError || failedInSetup_ || fileFailed_;
      failedInSetup_ = fileFailed_ = false;
      if (end) {
        Wait(rfDone);
        EndSession(LastError());
      } else {
        Proceed(rfInit);
      }
      break;
    }

    case rfDone:
      break;

    default:
      break;
  }
}

// ---- input every state treats alike -----------------------------------------------------

bool TKvCustomReceiveFax::CommonInput(const FaxInput& in) {
  const int state = State();
  if (state == rfNone || state == rfDone || state == rfAbort || state == rfComplete) return false;
  if (in.kind == FaxInput::kFrame) {
    const t30::Frame& f = in.frame;
    if (t30::SameFrame(f.fcf, t30::kTSI)) {
      SetRemoteId(t30::DecodeStationId(f.info));
      SetStatus(fax_status::kGotCalledId);
    } else if (t30::SameFrame(f.fcf, t30::kDCS)) {
      dcs_ = t30::DecodeDcs(f.info);
      haveDcs_ = true;
    } else if (t30::SameFrame(f.fcf, t30::kDCN)) {
      if (state == rf1WaitDCN) {
        dcnSeen_ = true;
      } else {
        Fail(-fax_error::kCancelRequested);
        return true;
      }
    } else if (t30::SameFrame(f.fcf, t30::kCRP)) {
      // The sender asks for our last frames again.
      Pause(200);
      ReceiveFrames(rf1CollFrms);
      return true;
    }
    return false;
  }
  if (in.kind != FaxInput::kLine) return false;
  if (table_ && state != rf2GetFHNG) {
    std::string rest;
    if (class2::MatchHangup(in.text, *table_, &rest)) {
      hangupCode_ = class2::ParseHangupCode(rest);
      hungUp_ = true;
      Fail(-fax_error::kMidSessionFailure);
      return true;
    }
  }
  if (in.Is("ERROR")) {
    // States that expect ERROR as an answer handle it themselves.
    const bool own = state <= rf2Init3 || state == rf1CollFrms || state == rf1WaitEOP || state == rf1WaitDCN ||
                     state == rf1EcmWaitSig ||
                     state == rf2GtPgRslt || state == rf2GetFHNG || state == rf1CollRtry2;
    if (!own) {
      Fail(-fax_error::kBadModemResponse);
      return true;
    }
  }
  return false;
}

void TKvCustomReceiveFax::TimeoutRule() {
  const TReceiveFaxState next = kReceiveStates[State()].onTimeout;
  if (State() == rfWaiting) {
    rings_ = 0;  // the call stopped ringing before it was answered
  } else if (next == rfAbort) {
    Fail(-fax_error::kTimeout);
  } else {
    Proceed(next);
  }
}

bool TKvCustomReceiveFax::PeriodicStatusDue() const {
  // Setting the modem up and waiting for a call count as waiting.
  return ConstantStatus || State() > rfWaiting;
}

void TKvCustomReceiveFax::Abort(int error) {
  if (State() == rfDone || State() == rfAbort) return;
  if (State() <= rf2Init3) failedInSetup_ = true;
  if (error_.load() == 0) error_ = error;
  Proceed(rfAbort);
}

// ---- helpers ---------------------------------------------------------------------------------

void TKvCustomReceiveFax::ModemCommand(std::string_view command) {
  echo_ = command;
  SendCommand(command);
}

void TKvCustomReceiveFax::Command(std::string_view command, TReceiveFaxState next, int ticks) {
  lastCommand_ = command;
  ModemCommand(command);
  ArmTimeout(ticks);
  Wait(next);
}

bool TKvCustomReceiveFax::RetryInitCommand() {
  // After a failed call the modem may still deliver that call's result code
  // (ERROR) as the answer to the first set-up command: a set-up command is
  // sent once more before the modem counts as failed.
  if (initRetries_ >= kMaxInitRetries) return false;
  ++initRetries_;
  Command(lastCommand_, static_cast<TReceiveFaxState>(State()));
  return true;
}

void TKvCustomReceiveFax::ReceiveFrames(TReceiveFaxState next, bool rearm) {
  SetInputMode(FaxInputMode::kLines);
  ModemCommand("AT+FRH=3");
  if (rearm) frameTries_ = 0;
  if (rearm) ArmTimeout(next == rf1CollFrms ? kTicksFrames : kTicksCommand);
  Wait(next);
}

void TKvCustomReceiveFax::RetryFrames() {
  frameSeen_ = false;
  if (++frameTries_ <= kMaxFrameTries) {
    ReceiveFrames(static_cast<TReceiveFaxState>(State()), false);
  } else if (State() == rf1CollFrms) {
    Proceed(rf1CollRtry1);
  } else {
    Fail(-fax_error::kMidSessionFailure);
  }
}

// "CONNECT" and the frames after it, alike in every state that collects the
// sender's frames: true when `in` was one of them. Once a burst has begun
// it gets a command's time to end, whatever was left of the wait for its
// start: a sender whose receiver took line noise for a carrier answers
// seconds late, and its frames must not be cut off.
bool TKvCustomReceiveFax::CollectFrame(const FaxInput& in) {
  if (in.Starts("CONNECT")) {
    SetInputMode(FaxInputMode::kFrame);
    ArmTimeout(kTicksCommand);
    return true;
  }
  if (in.kind != FaxInput::kFrame) return false;
  frameSeen_ = true;
  frameFinal_ = in.frame.Final();
  frameFcf_ = in.frame.fcf;
  return true;
}

int TKvCustomReceiveFax::PostPageOfFrame(std::uint8_t fcf) {
  if (t30::SameFrame(fcf, t30::kMPS)) return kPostMps;
  if (t30::SameFrame(fcf, t30::kEOM)) return kPostEom;
  if (t30::SameFrame(fcf, t30::kEOP)) return kPostEop;
  return 0;
}

bool TKvCustomReceiveFax::PostPageAfterAnswer() const {
  return postPage_ != 0 && !dcs_.ecm && PostPageOfFrame(frameFcf_) != 0;
}

// A post-page command while we wait for the next page or document: either
// the sender missed our answer and repeats its command, or it sent a page we
// never heard and now ends that one. The same command is taken as the
// first: it gets the same answer. Another command can only be the second:
// RTN, so that the sender trains again and repeats the page, or counts it as
// failed, instead of taking our silence or an old answer for the page.
void TKvCustomReceiveFax::AnswerPostPageAgain() {
  frameSeen_ = false;
  if (PostPageOfFrame(frameFcf_) == kPostEop && postPage_ == kPostEop) {
    Command("AT+FTH=3", rf1SendAgain);  // the file is closed: only the answer goes again
  } else if (PostPageOfFrame(frameFcf_) == postPage_) {
    pageAnswer_ = lastPageAnswer_;
    Command("AT+FTH=3", rf1SendMCF);
  } else {
    Command("AT+FTH=3", rf1SendRtn);
  }
}

void TKvCustomReceiveFax::SendFrame(std::uint8_t fcf, std::string_view info, bool final) {
  Send(t30::BuildHdlcFrame(fcf, info, final));
}

void TKvCustomReceiveFax::ClassInit2Step() {
  switch (initStep_++) {
    case 0:
      Command("AT+FCR=1", rf2Init1);
      break;
    case 1:
      Command(class2::Command(table_->localId) + "=\"" + StationID() + "\"", rf2Init1);
      break;
    case 2:
      Command(std::string("AT+FAA=") + (FaxAndData ? '1' : '0'), rf2Init1);
      break;
    default:
      // Fine resolution and pages up to 2048 pixels wide, which the APF
      // page flags can record.
      capsWide_ = true;
      Command(class2::CapabilitiesCommand(*table_, true, DesiredBPS, true, DesiredECM),
              ClassInUse() == fcClass2_0 ? rf2Init1A : rf2Init3);
      break;
  }
}

bool TKvCustomReceiveFax::NarrowCapabilities() {
  // A modem without B4 pages refuses the width: offer 1728 pixels only.
  if (!capsWide_) return false;
  capsWide_ = false;
  Command(class2::CapabilitiesCommand(*table_, true, DesiredBPS, false, DesiredECM),
          static_cast<TReceiveFaxState>(State()));
  return true;
}

void TKvCustomReceiveFax::StartTraining() {
  skipLf_ = true;
  training_.Reset();
  dle_.Reset();
  ArmTimeout(kTicksCommand);
  SetInputMode(FaxInputMode::kRaw);
  Wait(rf1CollTrn);
}

std::string_view TKvCustomReceiveFax::AfterConnect(std::string_view data) {
  // The line feed that ends the modem's "CONNECT" line precedes the data.
  if (skipLf_ && !data.empty()) {
    skipLf_ = false;
    if (data.front() == '\n') data.remove_prefix(1);
  }
  return data;
}

void TKvCustomReceiveFax::TrainingData(const FaxInput& in) {
  pageBuffer_.clear();
  const std::string_view data = AfterConnect(in.data);
  const std::size_t used = dle_.Feed(data, pageBuffer_) + (in.data.size() - data.size());
  training_.Count(pageBuffer_);
  if (!dle_.Ended()) return;
  ConsumeRaw(used);
  SetInputMode(FaxInputMode::kLines);
  if (training_.Good()) {
    ArmTimeout(kTicksCommand);
    Wait(rf1FinTrn);
  } else {
    Command("AT+FTH=3", rf1Retrain);
  }
}

void TKvCustomReceiveFax::PageData(const FaxInput& in) {
  modemData_.clear();
  pageBuffer_.clear();
  const std::string_view data = AfterConnect(in.data);
  const std::size_t used = dle_.Feed(data, modemData_) + (in.data.size() - data.size());
  bitOrder_.Feed(modemData_, pageBuffer_);
  if (dle_.Ended()) bitOrder_.Finish(pageBuffer_);
  if (const int rc = WritePageData(pageBuffer_, dle_.Ended()); rc != 0) {
    FailFile(rc);
    return;
  }
  pageLength_ = pageLength_ + static_cast<long>(pageBuffer_.size());
  bytesDone_ = bytesDone_ + static_cast<long>(pageBuffer_.size());
  CarrierDataTaken(used, Class1() ? rf1FinPage : rf2GtPgRslt);
}

void TKvCustomReceiveFax::CarrierDataTaken(std::size_t used, TReceiveFaxState next) {
  ArmTimeout(kTicksPageData);
  if (!dle_.Ended()) return;
  // DLE ETX: the carrier's data is over; its result code follows.
  ConsumeRaw(used);
  SetInputFlow(false);
  SetInputMode(FaxInputMode::kLines);
  ArmTimeout(kTicksCommand);
  Wait(next);
}

bool TKvCustomReceiveFax::AcceptCall() {
  auto accept = std::make_shared<bool>(true);
  if (OnFaxAccept) {
    *accept = false;
    const bool answered = RunOnMainThread(
        [this, accept] {
          bool a = true;
          OnFaxAccept(*this, a);
          *accept = a;
        },
        kFaxAcceptTimeoutMs);
    if (!answered) *accept = false;
  }
  if (!*accept) {
    ModemCommand("AT+FKS");
    error_ = -fax_error::kFileRejected;
    PostLog(lfaxReceiveSkip);
    Fail(-fax_error::kFileRejected);
    return false;
  }
  return OpenFaxFile();
}

bool TKvCustomReceiveFax::OpenFaxFile() {
  std::string name;
  if (OnFaxName) {
    RunOnMainThread([&] { OnFaxName(*this, name); });
  }
  if (name.empty()) name = GenerateReceiveName(DestinationDir, FaxFileExt);
  if (const int rc = file_.Open(name); rc != 0) {
    FailFile(rc);
    return false;
  }
  SetFaxFile(name);
  currentPage_ = 0;
  PostLog(lfaxReceiveStart);
  logOpen_ = true;
  return true;
}

bool TKvCustomReceiveFax::CloseFaxFile() {
  totalPages_ = file_.PageCount();
  if (const int rc = file_.Close(RemoteID()); rc != 0) {
    FailFile(rc);
    return false;
  }
  // The file is complete on disk before it is reported.
  logOpen_ = false;
  PostLog(lfaxReceiveOk);
  return true;
}

void TKvCustomReceiveFax::FailFile(int error) {
  fileFailed_ = true;
  Fail(error);
}

void TKvCustomReceiveFax::FailedFaxFile() {
  file_.Remove();
  if (logOpen_) {
    logOpen_ = false;
    PostLog(lfaxReceiveFail);
  }
}

void TKvCustomReceiveFax::StartRecoding() {
  recoder_.reset();
  if (Class1() && dcs_.coding != T4Coding::MH) recoder_ = std::make_unique<T4ReceivedPageRecoder>(dcs_.coding, wide_ ? 2048 : 1728);
}

int TKvCustomReceiveFax::WritePageData(const std::string& data, bool last) {
  if (!recoder_) return file_.Write(data);
  recoded_.clear();
  recoder_->Feed(reinterpret_cast<const std::uint8_t*>(data.data()), data.size(), recoded_);
  if (last) recoder_->Finish(recoded_);
  return file_.Write(recoded_);
}

void TKvCustomReceiveFax::SetNegotiated(bool fine, bool wide, int bps) {
  fine_ = fine;
  wide_ = wide;
  sessionFine_ = fine;
  sessionBps_ = bps;
}

}  // namespace tlm
