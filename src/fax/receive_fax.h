#pragma once
// The receive component: waits for calls on a Class 1, 2 or 2.0 fax modem,
// answers after `AnswerOnRing` rings, receives the pages into an APF file
// in `DestinationDir` and goes back to waiting (unless `OneFax`).
//
// The session runs as the state machine of receive_states.h on the port's
// dispatch thread (see TKvCustomAbstractFax); OnFaxAccept and OnFaxName run
// on the application's thread while the engine waits.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "fax/abstract_fax.h"
#include "fax/ecm_block.h"
#include "fax/hdlc_bits.h"
#include "fax/page_bit_order.h"
#include "fax/page_data.h"
#include "fax/receive_file.h"
#include "fax/receive_states.h"
#include "fax/t30_frames.h"

namespace tlm {

// How long the accept question may take before the call counts as rejected.
inline constexpr std::int64_t kFaxAcceptTimeoutMs = 1000;
// "AT+FRH=3" repeated after damaged frames or lost carrier before giving up.
inline constexpr int kMaxFrameTries = 5;

class TKvCustomReceiveFax : public TKvAbstractFax {
 public:
  TKvCustomReceiveFax() = default;
  ~TKvCustomReceiveFax() override;

  int AnswerOnRing = 1;
  bool FaxAndData = false;
  bool OneFax = false;
  bool ConstantStatus = false;
  std::string DestinationDir;

  // (sender, var accept); not assigned: every call is taken.
  std::function<void(TKvCustomAbstractFax&, bool& accept)> OnFaxAccept;
  // (sender, var name); not assigned or left empty: a generated name.
  std::function<void(TKvCustomAbstractFax&, std::string& name)> OnFaxName;

  // Starts waiting for calls. 0 or a negative code.
  int StartReceive();
  TReceiveFaxState ReceiveState() const { return static_cast<TReceiveFaxState>(State()); }
  int RingCount() const { return rings_; }

 protected:
  void Step(const FaxInput& input) override;
  void TimeoutRule() override;
  void Abort(int error) override;
  // While waiting for a call only with ConstantStatus.
  bool PeriodicStatusDue() const override;

 private:
  // Handles what every state treats alike; true when `input` was used up.
  bool CommonInput(const FaxInput& input);
  void StepClass1(const FaxInput& input);
  void StepClass2(const FaxInput& input);

  // Sends a command, remembering it to skip its echo.
  void ModemCommand(std::string_view command);
  void Command(std::string_view command, TReceiveFaxState next, int ticks = kTicksCommand);
  // "AT+FRH=3": the next frame; `rearm` false keeps the running time-out.
  void ReceiveFrames(TReceiveFaxState next, bool rearm = true);
  void SendFrame(std::uint8_t fcf, std::string_view info, bool final);
  void RetryFrames();
  bool CollectFrame(const FaxInput& in);
  // After each batch of a carrier's data: at its DLE ETX, on to `next`.
  void CarrierDataTaken(std::size_t used, TReceiveFaxState next);
  static int PostPageOfFrame(std::uint8_t fcf);
  bool PostPageAfterAnswer() const;
  void AnswerPostPageAgain();
  void StartTraining();
  void TrainingData(const FaxInput& input);
  void PageData(const FaxInput& input);
  std::string_view AfterConnect(std::string_view data);
  void ClassInit2Step();
  // On "ERROR": when it answers the capabilities command offering pages
  // 2048 pixels wide, sends the command again for 1728 only; true when it
  // did.
  bool NarrowCapabilities();
  // Sends the last set-up command again after an ERROR; false when its
  // tries are used up.
  bool RetryInitCommand();
  static constexpr int kMaxInitRetries = 2;

  // Asks OnFaxAccept; true when the call is taken and its file is open.
  bool AcceptCall();
  bool OpenFaxFile();
  bool CloseFaxFile();
  // A file operation failed: the session ends with `error` (a receive
  // folder that cannot be written fails every later call the same way).
  void FailFile(int error);
  void FailedFaxFile();
  void SetNegotiated(bool fine, bool wide, int bps);
  // Received two-dimensional pages are stored as MH.
  void StartRecoding();
  int WritePageData(const std::string& data, bool last);

  // Error correction (receive_ecm.cpp).
  void EcmStartPage();
  void EcmListen(bool longTraining);
  void EcmBurstConnect();
  void EcmBurstData(const FaxInput& in);
  void EcmSignal();
  void EcmAnswer(std::uint8_t fcf, std::string info, bool longTrainingNext);
  // The page's blocks are in: the page goes into the file and the session
  // goes on as after a page without error correction.
  void EcmEndPage(std::uint8_t postPage, std::uint8_t answer);

  bool Class1() const { return ClassInUse() == fcClass1; }

  // Session values (dispatch thread).
  int rings_ = 0;
  int retries_ = 0;
  int frameTries_ = 0;
  int initStep_ = 0;
  int initRetries_ = 0;       // set-up commands sent again after ERROR
  std::string lastCommand_;  // the command Command() sent last
  bool capsWide_ = false;  // the capabilities command offering wide pages awaits its answer
  bool fine_ = false;
  bool wide_ = false;
  t30::SessionParameters dcs_;
  bool haveDcs_ = false;
  std::string tcfCode_ = "24";
  std::string pageCode_ = "24";
  bool frameFinal_ = false;
  bool frameSeen_ = false;
  std::uint8_t frameFcf_ = 0;  // the last frame's function (while collecting the sender's frames)
  bool dcnSeen_ = false;
  bool repeatSeen_ = false;  // the last page's signal came again while waiting for DCN
  int postPage_ = 0;  // 2 MPS, 3 EOM, 4 EOP (Class 2: +FET 0, 1, 2)
  bool afterEom_ = false;
  bool pageStatusSeen_ = false;
  bool logOpen_ = false;  // a log 4 awaits its 5 or 7
  bool hungUp_ = false;
  bool failedInSetup_ = false;
  bool fileFailed_ = false;
  std::string echo_;
  bool skipLf_ = false;
  DleDataReader dle_;
  TrainingCheck training_;
  ReceiveFaxFile file_;
  PageBitOrder bitOrder_;
  std::string modemData_;
  std::string pageBuffer_;
  std::string recoded_;
  std::unique_ptr<T4ReceivedPageRecoder> recoder_;  // MR and MMR pages
  std::uint8_t pageAnswer_ = t30::kMCF;             // MCF, or ERR after EOR
  std::uint8_t lastPageAnswer_ = t30::kMCF;         // the answer sent for the last page

  // Error correction.
  EcmBlock ecmBlock_;
  HdlcBitReader ecmReader_{[this](std::string_view f) {
    bool rcp = false;
    ecmBlock_.Take(f, rcp);
  }};
  std::string ecmPage_;          // the page's blocks so far
  // The page and block counters (page << 8 | block) of the block confirmed
  // last; -1 before the first.
  int ecmConfirmed_ = -1;
  bool ecmBlockTaken_ = false;   // the block's data is in ecmPage_
  bool ecmPageCounted_ = false;  // the page's first burst came
  std::optional<t30::Frame> ecmSignal_;
  std::uint8_t ecmAnswerFcf_ = 0;
  std::string ecmAnswerInfo_;
  bool ecmLongNext_ = false;     // the next burst comes with long training (after CTR)
};

class TKvReceiveFax : public TKvCustomReceiveFax {};

}  // namespace tlm
