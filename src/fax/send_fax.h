#pragma once
// The transmit session: sends APF fax files (with an optional APF or text
// cover) to one or more numbers through a Class 1, 2 or 2.0 fax modem. The
// states are listed in send_states.h and run in send_states.cpp; the page
// data writer is in send_pages.cpp.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fax/abstract_fax.h"
#include "fax/ecm_block.h"
#include "fax/header_line.h"
#include "fax/page_source.h"
#include "fax/send_states.h"

namespace tlm {

class TKvCustomSendFax : public TKvAbstractFax {
 public:
  TKvCustomSendFax();
  ~TKvCustomSendFax() override;

  // ---- properties ----------------------------------------------------------
  std::string PhoneNumber;
  std::string CoverFile;
  std::vector<std::string> FaxFileList;
  std::string DialPrefix;
  bool ToneDial = true;
  bool BlindDial = false;
  bool DetectBusy = true;
  int DialWait = 60;       // seconds
  int DialAttempts = 3;
  int DialRetryWait = 60;  // seconds
  int MaxSendCount = 50;
  int BufferMinimum = 1000;
  bool SafeMode = true;
  std::string HeaderLine;
  std::string HeaderSender;
  std::string HeaderRecipient;
  std::string HeaderTitle;
  bool EnhTextEnabled = false;  // the built-in font is used either way
  int DialAttempt() const { return dialAttempt_; }

  // Class 1: true announces further pages with MPS, false ends each page
  // with EOM (capabilities, parameters and training again).
  void SetMultiPageSwitch(bool on) { multiPage_ = on; }
  bool MultiPageSwitch() const { return multiPage_; }

  // Supplies the next job; an empty number ends the list.
  std::function<void(TKvCustomSendFax&, std::string& phoneNumber, std::string& faxFile, std::string& coverFile)>
      OnFaxNext;

  // ---- operations ------------------------------------------------------------
  // Starts sending (the job from PhoneNumber, FaxFile and CoverFile, or the
  // jobs OnFaxNext gives). 0 or a negative code; the outcome comes with
  // OnFaxFinish.
  int StartTransmit();
  // Joins the files of FaxFileList into `destination`: 0 or a negative code
  // (-8001 when a further file is not an APF file).
  int ConcatFaxes(const std::string& destination);

  // Session values.
  TSendState SendState() const { return TSendState(State()); }

 protected:
  void Step(const FaxInput& input) override;
  void TimeoutRule() override;
  void Abort(int error) override;
  std::string DialOptionInit() const override { return DialOptionInitString(BlindDial, DetectBusy); }
  void FillLogContext(FaxLogContext& context) const override;

 private:
  // One page of the job.
  struct Page {
    bool textCover = false;
    std::string file;  // APF file
    int number = 0;    // page in that file (from 1)
    bool fine = false;
    bool wide = false;
  };

  // States (send_states.cpp).
  void GetEntry();
  void Init();
  void Dial();
  void BusyRule();
  void AbortStart();
  void AbortHangUp();
  bool CommonRules(const FaxInput& in);
  void Class1Connect(const FaxInput& in);
  void WaitCfr(const FaxInput& in);
  // Collects the answer frame after "AT+FRH=3": keeps each frame and turns
  // to frame input at CONNECT. True when `in` needs nothing more.
  bool CollectAnswerFrame(const FaxInput& in);
  void WaitMcf(const FaxInput& in);
  void Class2Params(const FaxInput& in);
  void Class2PageStatus(const FaxInput& in);
  void Class20CheckPage(const FaxInput& in);
  void DrainPage();
  void CloseJob(TFaxLogCode code);
  // Error correction (send_ecm.cpp).
  void EcmPrepPage();
  void EcmBurstConnect();
  void EcmSendBurst();
  void EcmSendSignal();
  void EcmResponse(const FaxInput& in);
  void EcmBlockDone();
  void EcmRetransmit(const EcmFrameSet& frames);
  std::uint8_t EcmPostPage() const;

  // Pages (send_pages.cpp).
  int BuildPageList();
  // The page's coded bytes as they would be written (header line, cover
  // or file page), without DLE shielding: 0 or a negative code.
  int ComposePage(std::string& coded);
  int MinBytesPerLine() const;
  int MinBitsPerLine() const;
  void CodeRow(const std::string& row, std::string& raw);
  void AddBlankLines(std::string& raw);
  int PageWidth() const;
  void SendPageStart();
  void SendCoverLines();
  void SendPageData();
  void WriteFill(std::size_t wanted);
  bool WriteStuffed(const std::string& raw);
  void WriteDleEtx();
  void SendFrame(std::uint8_t fcf, const std::string& info, bool final);
  void Command(const std::string& command, std::int32_t ticks);
  bool PageNeedsUnsupported() const;
  bool MorePages() const { return pageIndex_ + 1 < pages_.size(); }
  bool ResolutionChange() const;
  HeaderValues TokenValues() const;
  std::string HeaderText() const;

  bool multiPage_ = true;
  int dialAttempt_ = 0;
  bool jobFromProperties_ = false;
  int jobError_ = 0;
  int lastJobError_ = 0;

  // The current job.
  std::string jobFaxFile_;
  std::string jobCover_;
  std::vector<Page> pages_;
  std::size_t pageIndex_ = 0;
  ApfPageSource source_;
  // Class 1: the page's lines coded by the program itself in the session's
  // coding, compactly (Class 2 modems take the stored records).
  T4Coding lineCoding_ = T4Coding::MH;
  std::unique_ptr<T4PageEncoder> lineCoder_;
  std::string coverText_;
  std::vector<std::string> coverRows_;
  std::size_t coverRow_ = 0;
  std::string pending_;  // stuffed bytes not yet written
  std::string* capture_ = nullptr;  // ComposePage collects the page here

  // Error correction.
  t30::CodingChoice choice_;
  EcmPage ecmPage_;
  int ecmPageCount_ = 0;      // pages sent in this call (the PPS page counter)
  int ecmBlock_ = 0;          // block of the page
  EcmFrameSet ecmFrames_;     // frames of the next burst
  int ecmRequests_ = 0;       // partial page requests for this block
  std::uint8_t ecmSignal_ = 0;     // PPS, EOR, CTC or RR
  int ecmSignalTries_ = 0;
  bool ecmLongTraining_ = false;   // after CTC/CTR
  int ecmCtcSpeed_ = 0;
  TickTimer ecmT5_;                // runs from the first RNR
  bool ecmT5Running_ = false;
  bool ecmAskReady_ = false;       // the remote said RNR: RR goes instead of the signal

  // Negotiation.
  t30::RemoteCapabilities remote_;
  bool haveFrame_ = false;
  t30::Frame lastFrame_;
  int speedIndex_ = 0;
  int scanCode_ = 0;
  int postPageRetries_ = 0;
  int pageRetries_ = 0;
  std::uint8_t postPageFrame_ = 0;
  int abortedFrom_ = 0;  // the state a failure or cancel left
  bool drainOnAbort_ = false;  // tfAbort waits for the modem to finish page data
};

class TKvSendFax : public TKvCustomSendFax {};

}  // namespace tlm
