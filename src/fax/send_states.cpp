// The transmit state machine: one case per state in number order, each with
// its time-out rule in TimeoutRule(). Time-outs give 6006 unless a state
// says otherwise.
#include <algorithm>
#include <cctype>

#include "comm/com_port.h"
#include "fax/dle.h"
#include "fax/send_fax.h"
#include "platform/ticks.h"

namespace tlm {

namespace {

constexpr std::int32_t kTicks1s = 18;
constexpr std::int32_t kTicks3s = 54;
constexpr std::int32_t kTicks10s = 182;
constexpr std::int32_t kTicks30s = 546;
constexpr std::int32_t kHangupTicks = 26;
// T.30 wants 75 +/- 20 ms of silence before each signal we send, whether it
// follows the remote's frame or our own page data; the modem's OK comes once
// the previous carrier is off, so that silence is all there is to wait. A
// receive command goes out at once: waiting there could only miss the
// remote's preamble.
constexpr int kFrameGapMs = 75;
constexpr int kPostPageGapMs = 75;
// Between Class 2 pages the modem runs the protocol; this only paces +FDT.
constexpr int kClass2PageGapMs = 200;
constexpr int kMaxPostPageTries = 3;
constexpr int kMaxPageRetries = 2;

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}
bool Contains(std::string_view s, std::string_view part) { return s.find(part) != std::string_view::npos; }
// "NO CARRIER" (and the abbreviated forms some modems print).
bool LineDropped(const FaxInput& in) { return in.kind == FaxInput::kLine && EndsWith(in.text, "RRIER"); }

}  // namespace

void TKvCustomSendFax::Step(const FaxInput& in) {
  if (CommonRules(in)) return;
  const bool ok = in.Is("OK");
  const bool connect = in.Starts("CONNECT");
  const bool class1 = ClassInUse() == fcClass1;
  switch (SendState()) {
    case tfNone:
      break;
    case tfGetEntry:
      GetEntry();
      break;
    case tfInit:
      Init();
      break;
    case tf1Init1:
      if (ok) Proceed(tfDial);
      else if (in.kind == FaxInput::kLine) Fail(-fax_error::kModemInitFailed);
      break;
    case tf2Init1:
      if (ok) {
        Command(class2::Command(table_->localId) + "=\"" + StationID() + "\"", kTicks10s);
        Wait(ClassInUse() == fcClass2_0 ? tf2Init1A : tf2Init2);
      } else if (in.kind == FaxInput::kLine) {
        Fail(-fax_error::kModemInitFailed);
      }
      break;
    case tf2Init1A:
      if (ok) {
        Command("AT+FLO=2", kTicks10s);
        Wait(tf2Init1B);
      }
      break;
    case tf2Init1B:
      if (ok) {
        Command("AT+FNR=1,1,1,0", kTicks10s);
        Wait(tf2Init2);
      }
      break;
    case tf2Init2:
      if (ok) {
        const Page& p = pages_.front();
        Command(class2::CapabilitiesCommand(*table_, p.fine, DesiredBPS, p.wide, DesiredECM), kTicks10s);
        Wait(tf2Init3);
      }
      break;
    case tf2Init3:
      if (ok) Proceed(tfDial);
      break;
    case tfDial:
      Dial();
      break;
    case tfRetryWait:
      break;  // the time-out rule dials again
    case tf1Connect:
      Class1Connect(in);
      break;
    case tf1SendTSI:
      if (connect) {
        SendFrame(t30::kTSI, t30::StationIdField(StationID()), false);
        Wait(tf1TSIRespns);
      }
      break;
    case tf1TSIRespns:
      if (connect) {
        choice_ = t30::ChooseCoding(remote_, LocalFacilities());
        SendFrame(t30::kDCS,
                  t30::EncodeDcs(speedIndex_, pages_[pageIndex_].fine, pages_[pageIndex_].wide, remote_.scanCode, choice_),
                  true);
        sessionEcm_ = choice_.ecm;
        sessionCoding_ = choice_.coding;
        lineCoding_ = choice_.coding;
        sessionBps_ = t30::SpeedByIndex(speedIndex_).bps;
        sessionFine_ = pages_[pageIndex_].fine;
        sessionWide_ = pages_[pageIndex_].wide;
        Wait(tf1DCSRspns);
      }
      break;
    case tf1DCSRspns:
      if (ok) {
        Pause(75);
        Command(std::string("AT+FTM=") + t30::SpeedByIndex(speedIndex_).tcfCode, kTicks10s);
        Wait(tf1TrainStrt);
      }
      break;
    case tf1TrainStrt:
      if (connect) {
        SetOutputFlow(true);
        Send(std::string(std::size_t(t30::TcfByteCount(t30::SpeedByIndex(speedIndex_).bps)), '\0'));
        WriteDleEtx();
        ArmTimeout(kTicks10s);
        Wait(tf1TrainFnsh);
      }
      break;
    case tf1TrainFnsh:
      if (ok) {
        SetOutputFlow(false);
        haveFrame_ = false;
        Command("AT+FRH=3", kTicks10s);
        Wait(tf1WaitCFR);
      }
      break;
    case tf1WaitCFR:
      WaitCfr(in);
      break;
    case tf1WaitPgCn:
      // A Class 1 modem takes page data as soon as it says CONNECT (it
      // buffers it, under flow control, while it trains); only Class 2
      // modems announce their readiness with XON.
      if (connect) Proceed(tfWaitFrHead);
      break;
    case tf2Connect:
      if (in.kind == FaxInput::kLine && class2::MatchResponse(in.text, table_->connect)) {
        ArmTimeout(kTicks10s);
        SetStatus(fax_status::kConnecting);
        Wait(tf2GetParams);
      } else if (in.kind == FaxInput::kLine) {
        if (in.Is("BUSY") || Contains(in.text, "ANSWER")) BusyRule();
        else if (in.Is("VOICE") || in.Is("VCON")) Fail(-fax_error::kVoiceAnswer);
        else if (in.Starts("NO DIAL")) Fail(-fax_error::kNoDialTone);
        else if (EndsWith(in.text, "RRIER")) Fail(-fax_error::kConnectFailed);
      }
      break;
    case tf2GetParams:
      Class2Params(in);
      break;
    case tfWaitXon:
      if (in.kind == FaxInput::kXon) {
        DisarmTimeout();
        Proceed(tfWaitFrHead);
      }
      break;
    case tfWaitFrHead:
      if (in.kind == FaxInput::kEnter) {
        SetInputMode(FaxInputMode::kDiscard);
        ArmOutputFree(kPageBlockSize);
        ArmTimeout(kTicks30s);
      } else if (in.kind == FaxInput::kOutputFree) {
        currentPage_ = int(pageIndex_) + 1;
        SetStatus(fax_status::kSendingPage);
        SetOutputFlow(true);
        Proceed(tfSndPgeHdr);
      }
      break;
    case tfSndPgeHdr:
      SendPageStart();
      Proceed(pages_[pageIndex_].textCover ? tfOpenCover : tfPrepPage);
      break;
    case tfOpenCover:
      SetStatus(fax_status::kSendingPage);
      Proceed(tfSendCover);
      break;
    case tfSendCover:
      SendCoverLines();
      break;
    case tfPrepPage:
      if (const int rc = source_.Open(pages_[pageIndex_].file, pages_[pageIndex_].number); rc != 0) {
        Fail(rc);
        break;
      }
      if (lineCoder_) source_.RecodeWith(*lineCoder_);
      bytesDone_ = 0;
      pageLength_ = long(source_.Header().imageLength);
      pending_.clear();
      Proceed(tfSendPage);
      break;
    case tfSendPage:
      SendPageData();
      break;
    case tfDrainPage:
      if (in.kind == FaxInput::kOutputUsed) DrainPage();
      break;
    case tf1PageEnd:
      if (ok) {
        SetInputMode(FaxInputMode::kLines);
        postPageRetries_ = 0;
        SetStatus(fax_status::kSendingEop);
        Proceed(tf1PrepEOP);
      }
      break;
    case tf1PrepEOP:
      if (++postPageRetries_ > kMaxPostPageTries) {
        Fail(-fax_error::kTimeout);
        break;
      }
      Pause(kPostPageGapMs);
      Command("AT+FTH=3", kTicks10s);
      Wait(tf1SendEOP);
      break;
    case tf1SendEOP:
      if (connect) {
        postPageFrame_ = !MorePages() ? t30::kEOP : (multiPage_ && !ResolutionChange() ? t30::kMPS : t30::kEOM);
        SendFrame(postPageFrame_, "", true);
        Wait(postPageFrame_ == t30::kMPS ? tf1WaitMPS : tf1WaitEOP);
      }
      break;
    case tf1WaitMPS:
    case tf1WaitEOP:
      if (ok) {
        haveFrame_ = false;
        Command("AT+FRH=3", kTicks3s);
        Wait(tf1WaitMCF);
      } else if (in.Is("ERROR")) {
        Proceed(tf1PrepEOP);
      }
      break;
    case tf1WaitMCF:
      WaitMcf(in);
      break;
    case tf1SendDCN:
      if (connect) {
        SendFrame(t30::kDCN, "", true);
        Wait(tf1Hangup);
      } else if (LineDropped(in)) {
        // Every page was confirmed: a remote that hangs up before our DCN
        // has still received the fax.
        Command("ATH", kHangupTicks);
        Wait(tf1WaitHngp);
      }
      break;
    case tf1Hangup:
      // Some modems report the line drop that follows the DCN instead of OK.
      if (ok || LineDropped(in)) {
        Command("ATH", kHangupTicks);
        Wait(tf1WaitHngp);
      }
      break;
    case tf1WaitHngp:
      if (ok) {
        DisarmTimeout();
        Proceed(tfClose);
      }
      break;
    case tf2SendEOP:
      ArmTimeout(kTicks30s);
      SetStatus(fax_status::kSendingEop);
      SetInputMode(FaxInputMode::kLines);
      Wait(ClassInUse() == fcClass2 ? tf2WaitFPTS : tf20ChckPg);
      break;
    case tf2WaitFPTS:
      if (ok) {
        Command(std::string("AT+FET=") + (!MorePages() ? "2" : ResolutionChange() ? "1" : "0"), kTicks30s);
        Wait(tf2WaitFET);
      } else if (in.kind == FaxInput::kLine) {
        Fail(-fax_error::kMidSessionFailure);
      }
      break;
    case tf2WaitFET:
      Class2PageStatus(in);
      break;
    case tf2WaitPgOK:
      if (ok) {
        if (++pageRetries_ > kMaxPageRetries) {
          SendCommand("AT+FKS");
          Fail(-fax_error::kMidSessionFailure);
          break;
        }
        Command("AT+FDT", kTicks30s);
        source_.Rewind();
        coverRow_ = 0;
        Wait(tf2GetParams);
      }
      break;
    case tf2SndNwPrm:
      if (MorePages()) {
        ++pageIndex_;
        // The whole parameter set: the width may change along with the
        // resolution, and a modem keeps whatever it is not told.
        const Page& p = pages_[pageIndex_];
        Command(class2::CapabilitiesCommand(*table_, p.fine, DesiredBPS, p.wide, DesiredECM), kTicks10s);
        Wait(tf2GetParams);
      } else {
        Proceed(tfClose);
      }
      break;
    case tf2NextPage:
      if (MorePages()) {
        ++pageIndex_;
        Pause(kClass2PageGapMs);
        Command("AT+FDT", kTicks30s);
        Wait(tf2GetParams);
      } else {
        Proceed(tfClose);
      }
      break;
    case tf20ChckPg:
      Class20CheckPage(in);
      break;
    case tfClose:
      DisarmTimeout();
      source_.Close();
      SetStatus(fax_status::kFinished);
      CloseJob(lfaxTransmitOk);
      Proceed(tfGetEntry);
      break;
    case tfCompleteOK:
      Wait(tfDone);
      EndSession(lastJobError_);
      break;
    case tfAbort:
      if (in.kind == FaxInput::kEnter) {
        AbortStart();
      } else if (drainOnAbort_ && in.kind == FaxInput::kLine &&
                 (ClassifyResult(in.text) != ResultLine::kNone || (table_ && class2::MatchHangup(in.text, *table_)))) {
        AbortHangUp();
      }
      break;
    case tfDone:
      break;
    case tf1EcmPrepPage:
      EcmPrepPage();
      break;
    case tf1EcmStartBurst: {
      const t30::Speed& speed = t30::SpeedByIndex(speedIndex_);
      Pause(kFrameGapMs);
      Command(std::string("AT+FTM=") + (ecmLongTraining_ ? speed.tcfCode : speed.pageCode), kTicks10s);
      Wait(tf1EcmBurstCn);
      break;
    }
    case tf1EcmBurstCn:
      if (connect) EcmBurstConnect();
      break;
    case tf1EcmSendBurst:
      if (in.kind == FaxInput::kEnter || in.kind == FaxInput::kOutputFree) EcmSendBurst();
      break;
    case tf1EcmDrainBurst:
      if (in.kind == FaxInput::kOutputUsed) {
        SetOutputFlow(false);
        SetInputMode(FaxInputMode::kLines);
        ArmTimeout(kTicks30s);
        Wait(tf1EcmBurstEnd);
      }
      break;
    case tf1EcmBurstEnd:
      if (ok) {
        ecmLongTraining_ = false;
        ecmSignal_ = t30::kPPS;  // every burst ends with a partial page signal
        ecmSignalTries_ = 0;
        Proceed(tf1EcmPrepSignal);
      }
      break;
    case tf1EcmPrepSignal:
      if (++ecmSignalTries_ > kMaxPostPageTries) {
        Fail(-fax_error::kTimeout);
        break;
      }
      Pause(kPostPageGapMs);
      Command("AT+FTH=3", kTicks10s);
      Wait(tf1EcmSendSignal);
      break;
    case tf1EcmSendSignal:
      if (connect) {
        EcmSendSignal();
        Wait(tf1EcmSignalSent);
      }
      break;
    case tf1EcmSignalSent:
      if (ok) {
        haveFrame_ = false;
        Command("AT+FRH=3", kTicks3s);
        Wait(tf1EcmWaitResp);
      } else if (in.Is("ERROR")) {
        Proceed(tf1EcmPrepSignal);
      }
      break;
    case tf1EcmWaitResp:
      EcmResponse(in);
      break;
  }
  (void)class1;
}

// Rules that hold in every state.
bool TKvCustomSendFax::CommonRules(const FaxInput& in) {
  const TSendState s = SendState();
  if (s == tfAbort || s == tfDone || s == tfCompleteOK) return false;
  if (in.kind == FaxInput::kLine) {
    if (in.Is("ERROR") && s != tf1SendEOP && s != tf1WaitMPS && s != tf1WaitEOP && s != tf1WaitMCF && s != tf20ChckPg &&
        s != tf1Init1 && s != tf2Init1 && s != tf1EcmSendSignal && s != tf1EcmSignalSent && s != tf1EcmWaitResp) {
      Fail(-fax_error::kBadModemResponse);
      return true;
    }
    std::string rest;
    if (table_ && class2::MatchHangup(in.text, *table_, &rest)) {
      hangupCode_ = class2::ParseHangupCode(rest);
      if (s != tf2WaitFET && s != tf20ChckPg) {
        Fail(-fax_error::kBadModemResponse);
        return true;
      }
    }
  }
  if (in.kind == FaxInput::kFrame && t30::SameFrame(in.frame.fcf, t30::kDCN) && s != tf1WaitHngp) {
    Fail(-fax_error::kCancelRequested);
    return true;
  }
  return false;
}

void TKvCustomSendFax::TimeoutRule() {
  switch (SendState()) {
    case tfRetryWait:
      Proceed(tfDial);
      break;
    case tf1Connect:
    case tf2Connect:
      Fail(-fax_error::kNoAnswer);
      break;
    case tfWaitXon:
      SetInputMode(FaxInputMode::kLines);
      Proceed(tfWaitFrHead);
      break;
    case tf1WaitMCF:
      Send(" ");  // stops the modem's receiver
      SetInputMode(FaxInputMode::kLines);
      Proceed(tf1PrepEOP);
      break;
    case tf1EcmWaitResp:
      Send(" ");
      SetInputMode(FaxInputMode::kLines);
      Proceed(tf1EcmPrepSignal);
      break;
    case tf1SendDCN:
    case tf1Hangup:
    case tf1WaitHngp:
      // The pages are confirmed: a silent modem at the end does not undo that.
      HangUp();
      Proceed(tfClose);
      break;
    case tfAbort:
      if (drainOnAbort_) AbortHangUp();  // the modem never finished its data
      break;
    case tfDone:
    case tfNone:
      break;
    default:
      Fail(-fax_error::kTimeout);
      break;
  }
}

void TKvCustomSendFax::Abort(int error) {
  if (SendState() == tfAbort || SendState() == tfDone) return;
  if (error_.load() == 0) error_ = error;
  abortedFrom_ = SendState();
  Proceed(tfAbort);
}

// ---- the states with more to do ---------------------------------------------------------

void TKvCustomSendFax::GetEntry() {
  error_ = 0;
  jobError_ = 0;
  hangupCode_ = 0;
  std::string phone, fax, cover;
  if (OnFaxNext) {
    RunOnMainThread([&] { OnFaxNext(*this, phone, fax, cover); });
  } else if (!jobFromProperties_) {
    jobFromProperties_ = true;
    phone = PhoneNumber;
    fax = FaxFile();
    cover = CoverFile;
  }
  if (phone.empty()) {
    Proceed(tfCompleteOK);
    return;
  }
  PhoneNumber = phone;
  SetFaxFile(fax);
  jobFaxFile_ = fax;
  jobCover_ = cover;
  dialAttempt_ = 0;
  pageIndex_ = 0;
  pageRetries_ = 0;
  postPageRetries_ = 0;
  currentPage_ = 0;
  totalPages_ = 0;
  bytesDone_ = 0;
  sessionWide_ = false;
  sessionEcm_ = false;
  sessionCoding_ = T4Coding::MH;
  retransmittedFrames_ = 0;
  SetRemoteId("");
  PostLog(lfaxTransmitStart);
  if (fax.empty() && cover.empty()) {
    Fail(-fax_error::kNoFilename);
    return;
  }
  if (!fax.empty()) {
    ApfFileHeader header;
    if (const int rc = ApfReadFileHeader(fax, header); rc != 0) {
      Fail(rc);
      return;
    }
  }
  Proceed(tfInit);
}

void TKvCustomSendFax::Init() {
  std::string id = StationID();
  std::transform(id.begin(), id.end(), id.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  SetStationID(id);
  if (const int rc = BuildPageList(); rc != 0) {
    Fail(rc);
    return;
  }
  SetStatus(fax_status::kInitializing);
  SetInputMode(FaxInputMode::kLines);
  if (ClassInUse() == fcClass1) {
    Command("AT+FCLASS=1", kTicks10s);
    Wait(tf1Init1);
  } else {
    Command(class2::Command(table_->classSelect), kTicks10s);
    Wait(tf2Init1);
  }
}

void TKvCustomSendFax::Dial() {
  SetInputMode(FaxInputMode::kLines);
  haveFrame_ = false;
  remote_ = {};
  choice_ = {};
  speedIndex_ = 0;
  pageIndex_ = 0;
  ecmPageCount_ = 0;
  ecmAskReady_ = ecmT5Running_ = ecmLongTraining_ = false;
  SendCommand(std::string(ToneDial ? "ATDT" : "ATDP") + DialPrefix + PhoneNumber);
  ArmTimeout(SecsToTicks(DialWait));
  SetStatus(fax_status::kDialing);
  Wait(ClassInUse() == fcClass1 ? tf1Connect : tf2Connect);
}

void TKvCustomSendFax::AbortStart() {
  DisarmTimeout();
  source_.Close();
  pending_.clear();
  CloseJob(lfaxTransmitFail);
  SetOutputFlow(false);
  try {
    ComPort()->FlushOutBuffer();
  } catch (const std::exception&) {
  }
  drainOnAbort_ = (abortedFrom_ >= tfWaitFrHead && abortedFrom_ <= tfDrainPage) || abortedFrom_ == tf1EcmSendBurst ||
                  abortedFrom_ == tf1EcmDrainBurst;
  if (!drainOnAbort_) {
    AbortHangUp();
    return;
  }
  // The modem is taking page data: end the data, and hang up once the
  // modem has sent what it holds and answers again (commands before that
  // would go out as page data).
  SetInputMode(FaxInputMode::kLines);
  Send(std::string{kDLE, kETX});
  ArmTimeout(kTicks10s);
  Wait(tfAbort);
}

void TKvCustomSendFax::AbortHangUp() {
  drainOnAbort_ = false;
  DisarmTimeout();
  HangUp();
  if (userAbort_ || ExitOnError || AbortNoConnect) {
    SetStatus(fax_status::kUserAbort);
    Wait(tfDone);
    EndSession(error_.load());
  } else {
    Proceed(tfGetEntry);
  }
}

void TKvCustomSendFax::BusyRule() {
  ++dialAttempt_;
  if (DialAttempts != 0 && dialAttempt_ >= DialAttempts) {
    if (AbortNoConnect) {
      Fail(-fax_error::kBusy);
      return;
    }
    error_ = -fax_error::kBusy;
    PostError(-fax_error::kBusy);
    DisarmTimeout();
    CloseJob(lfaxTransmitFail);
    Proceed(tfGetEntry);
    return;
  }
  SetStatus(fax_status::kBusyWaiting);
  ArmTimeout(SecsToTicks(DialRetryWait));
  Wait(tfRetryWait);
}

void TKvCustomSendFax::Class1Connect(const FaxInput& in) {
  if (in.kind == FaxInput::kFrame) {
    haveFrame_ = true;
    lastFrame_ = in.frame;
    if (t30::SameFrame(in.frame.fcf, t30::kDIS)) {
      remote_ = t30::DecodeDis(in.frame.info);
      if (PageNeedsUnsupported()) {
        Fail(-fax_error::kIncompatible);
        return;
      }
      speedIndex_ = t30::BestSpeed(localSpeeds_, remote_.speeds);
      if (speedIndex_ == 0) {
        Fail(-fax_error::kTrainingFailed);
        return;
      }
      SetStatus(fax_status::kGettingParams);
    } else if (t30::SameFrame(in.frame.fcf, t30::kCSI)) {
      SetRemoteId(t30::DecodeStationId(in.frame.info));
      SetStatus(fax_status::kGotCalledId);
    }
    return;
  }
  if (in.kind != FaxInput::kLine) return;
  if (in.Starts("CONNECT")) {
    SetInputMode(FaxInputMode::kFrame);
    if (!haveFrame_) SetStatus(fax_status::kConnecting);
  } else if (in.Is("OK")) {
    if (haveFrame_ && lastFrame_.Final() && speedIndex_ != 0) {
      Pause(kFrameGapMs);
      Command("AT+FTH=3", kTicks10s);
      Wait(tf1SendTSI);
    } else {
      Command("AT+FRH=3", kTicks10s);
    }
  } else if (in.Is("BUSY") || Contains(in.text, "ANSWER")) {
    BusyRule();
  } else if (in.Is("VOICE") || in.Is("VCON")) {
    Fail(-fax_error::kVoiceAnswer);
  } else if (in.Starts("NO DIAL")) {
    Fail(-fax_error::kNoDialTone);
  } else if (EndsWith(in.text, "RRIER")) {
    Fail(-fax_error::kConnectFailed);
  }
}

void TKvCustomSendFax::WaitCfr(const FaxInput& in) {
  if (in.kind == FaxInput::kFrame) {
    haveFrame_ = true;
    lastFrame_ = in.frame;
    return;
  }
  if (in.Starts("CONNECT")) {
    SetInputMode(FaxInputMode::kFrame);
    return;
  }
  if (!in.Is("OK")) {
    if (in.kind == FaxInput::kLine && EndsWith(in.text, "RRIER")) Command("AT+FRH=3", kTicks10s);
    return;
  }
  if (!haveFrame_ || !lastFrame_.Final()) {
    Command("AT+FRH=3", kTicks10s);
    return;
  }
  if (t30::SameFrame(lastFrame_.fcf, t30::kCFR)) {
    if (choice_.ecm) {
      Proceed(tf1EcmPrepPage);
      return;
    }
    Pause(kFrameGapMs);
    Command(std::string("AT+FTM=") + t30::SpeedByIndex(speedIndex_).pageCode, kTicks10s);
    Wait(tf1WaitPgCn);
    return;
  }
  if (t30::SameFrame(lastFrame_.fcf, t30::kDIS)) {
    // The remote repeated its capabilities: our DCS went unheard; send it again.
    remote_ = t30::DecodeDis(lastFrame_.info);
  } else {
    speedIndex_ = t30::FallbackSpeed(speedIndex_, localSpeeds_, remote_.speeds);
    if (speedIndex_ == 0) {
      Fail(-fax_error::kTrainingFailed);
      return;
    }
  }
  Pause(kFrameGapMs);
  Command("AT+FTH=3", kTicks10s);
  Wait(tf1TSIRespns);
}

bool TKvCustomSendFax::CollectAnswerFrame(const FaxInput& in) {
  if (in.kind == FaxInput::kFrame) {
    haveFrame_ = true;
    lastFrame_ = in.frame;
    return true;
  }
  if (in.kind != FaxInput::kLine) return true;
  if (in.Starts("CONNECT")) {
    SetInputMode(FaxInputMode::kFrame);
    ArmTimeout(kTicks10s);
    return true;
  }
  return false;
}

void TKvCustomSendFax::WaitMcf(const FaxInput& in) {
  if (CollectAnswerFrame(in)) return;
  if (in.Is("ERROR") || EndsWith(in.text, "RRIER")) {
    Proceed(tf1PrepEOP);
    return;
  }
  if (!in.Is("OK")) return;
  if (!haveFrame_) {
    Command("AT+FRH=3", kTicks3s);
    return;
  }
  const std::uint8_t fcf = lastFrame_.fcf;
  if (t30::SameFrame(fcf, t30::kRTN)) {
    SetStatus(fax_status::kPageError);
    Fail(-fax_error::kMidSessionFailure);
  } else if (t30::SameFrame(fcf, t30::kMCF) || t30::SameFrame(fcf, t30::kRTP)) {
    SetStatus(fax_status::kPageAccepted);
    const bool rtp = t30::SameFrame(fcf, t30::kRTP);
    if (!MorePages()) {
      Pause(kFrameGapMs);
      Command("AT+FTH=3", kTicks10s);
      Wait(tf1SendDCN);
      return;
    }
    ++pageIndex_;
    if (postPageFrame_ == t30::kMPS && !rtp) {
      Pause(kFrameGapMs);
      Command(std::string("AT+FTM=") + t30::SpeedByIndex(speedIndex_).pageCode, kTicks10s);
      Wait(tf1WaitPgCn);
    } else if (rtp) {
      Pause(kFrameGapMs);
      Command("AT+FTH=3", kTicks10s);
      Wait(tf1TSIRespns);
    } else {
      // After EOM the remote sends its capabilities again.
      haveFrame_ = false;
      Command("AT+FRH=3", kTicks10s);
      Wait(tf1Connect);
    }
  } else {
    haveFrame_ = false;
    Command("AT+FRH=3", kTicks3s);
  }
}

void TKvCustomSendFax::Class2Params(const FaxInput& in) {
  if (in.kind != FaxInput::kLine) return;
  std::string rest;
  if (class2::MatchResponse(in.text, table_->remoteCapabilities, &rest)) {
    const class2::Parameters p = class2::ParseParameters(rest);
    remote_.fine = p.fine;
    remote_.wide = p.wide;
    if (PageNeedsUnsupported()) {
      Fail(-fax_error::kIncompatible);
      return;
    }
    SetStatus(fax_status::kGettingParams);
  } else if (class2::MatchResponse(in.text, table_->calledId, &rest)) {
    SetRemoteId(class2::ParseStationId(rest));
    SetStatus(fax_status::kGotCalledId);
  } else if (class2::MatchResponse(in.text, table_->sessionParameters, &rest)) {
    const class2::Parameters p = class2::ParseParameters(rest);
    sessionBps_ = p.bps;
    sessionFine_ = p.fine;
    sessionWide_ = p.wide;
    sessionEcm_ = p.ecm;
    scanCode_ = p.scanCode;
    SetStatus(fax_status::kGettingParams);
  } else if (in.Is("OK")) {
    Command("AT+FDT", kTicks30s);
  } else if (in.Starts("CONNECT")) {
    if (ClassInUse() == fcClass2_0) {
      Proceed(tfWaitFrHead);
    } else {
      ArmTimeout(kTicks1s);
      SetInputMode(FaxInputMode::kXonWait);
      Wait(tfWaitXon);
    }
  }
}

void TKvCustomSendFax::Class2PageStatus(const FaxInput& in) {
  if (in.kind != FaxInput::kLine) return;
  std::string rest;
  if (class2::MatchResponse(in.text, table_->pageStatus, &rest)) {
    const char code = rest.empty() ? '0' : rest[0];
    if (code == '1' || code == '3') {
      SetStatus(fax_status::kPageAccepted);
    } else if (code == '2') {
      SetStatus(fax_status::kPageError);
      Wait(tf2WaitPgOK);
    } else if (code == '4' || code == '5') {
      Fail(-fax_error::kCancelRequested);
    } else {
      Fail(-fax_error::kPageEndFailure);
    }
  } else if (in.Is("OK")) {
    Proceed(ResolutionChange() ? tf2SndNwPrm : tf2NextPage);
  }
}

void TKvCustomSendFax::Class20CheckPage(const FaxInput& in) {
  if (in.kind != FaxInput::kLine) return;
  std::string rest;
  if (in.Is("OK")) {
    SetStatus(fax_status::kPageAccepted);
    Proceed(ResolutionChange() ? tf2SndNwPrm : tf2NextPage);
  } else if (in.Is("ERROR")) {
    Command("AT+FPS?", kTicks10s);
    SetStatus(fax_status::kPageError);
    Wait(tf2WaitPgOK);
  } else if (class2::MatchHangup(in.text, *table_, &rest)) {
    hangupCode_ = class2::ParseHangupCode(rest);
    // A normal end of call (code 0) after the last page precedes its "OK".
    if (hangupCode_.load() != 0 || MorePages()) Fail(-fax_error::kPageEndFailure);
  }
}

void TKvCustomSendFax::DrainPage() {
  SetOutputFlow(false);
  SetInputMode(FaxInputMode::kLines);
  switch (ClassInUse()) {
    case fcClass1:
      ArmTimeout(kTicks30s);
      Wait(tf1PageEnd);
      break;
    case fcClass2:
      WriteDleEtx();
      Proceed(tf2SendEOP);
      break;
    default: {
      const char code = !MorePages() ? '.' : ResolutionChange() ? ';' : ',';
      Send(std::string{kDLE, code});
      Proceed(tf2SendEOP);
      break;
    }
  }
}

void TKvCustomSendFax::CloseJob(TFaxLogCode code) {
  if (code == lfaxTransmitFail) {
    jobError_ = error_.load() ? error_.load() : -fax_error::kTimeout;
    lastJobError_ = jobError_;
  } else {
    lastJobError_ = 0;
  }
  PostLog(code);
}

}  // namespace tlm
