#pragma once
// Codes shared by the fax sessions and the windows that show them: fax
// classes, status codes, log codes and the session error codes.
#include <cstdint>

namespace tlm {

enum TFaxClass : std::uint8_t {
  fcUnknown = 0,
  fcDetect = 1,
  fcClass1 = 2,
  fcClass2 = 3,
  fcClass2_0 = 4,
};

// Status codes reported to the status display and OnFaxStatus.
namespace fax_status {
inline constexpr int kInitializing = 1;
inline constexpr int kDialing = 2;
inline constexpr int kBusyWaiting = 3;
inline constexpr int kSendingPage = 4;
inline constexpr int kSendingEop = 5;
inline constexpr int kPageError = 6;
inline constexpr int kPageAccepted = 7;
inline constexpr int kConnecting = 8;
inline constexpr int kWaitingForCall = 20;
inline constexpr int kNoConnect = 21;
inline constexpr int kAnswering = 22;
inline constexpr int kCallIsFax = 23;
inline constexpr int kGettingPage = 24;
inline constexpr int kGettingEndOfPage = 25;
inline constexpr int kGettingEndOfDocument = 26;
inline constexpr int kGettingHangup = 27;
inline constexpr int kGotHangupCode = 28;
inline constexpr int kGettingParams = 40;
inline constexpr int kGotCalledId = 41;
inline constexpr int kUserAbort = 42;
inline constexpr int kFinished = 43;
}  // namespace fax_status

// Log codes sent to the fax log and OnFaxLog.
enum TFaxLogCode : std::uint8_t {
  lfaxNone = 0,
  lfaxTransmitStart = 1,
  lfaxTransmitOk = 2,
  lfaxTransmitFail = 3,
  lfaxReceiveStart = 4,
  lfaxReceiveOk = 5,
  lfaxReceiveSkip = 6,
  lfaxReceiveFail = 7,
};

// Session errors (reported negated by the components).
namespace fax_error {
inline constexpr int kCancelRequested = 6005;
inline constexpr int kTimeout = 6006;
inline constexpr int kNoFilename = 6010;
inline constexpr int kFileRejected = 6011;
inline constexpr int kNotAnApfFile = 8001;
inline constexpr int kIncompatible = 8060;
inline constexpr int kBadModemResponse = 8061;
inline constexpr int kTrainingFailed = 8062;
inline constexpr int kModemInitFailed = 8063;
inline constexpr int kBusy = 8064;
inline constexpr int kVoiceAnswer = 8065;
inline constexpr int kDataCall = 8066;
inline constexpr int kNoDialTone = 8067;
inline constexpr int kConnectFailed = 8068;
inline constexpr int kMidSessionFailure = 8069;
inline constexpr int kPageEndFailure = 8070;
inline constexpr int kMultipleResolutions = 8072;
inline constexpr int kNoAnswer = 8074;
}  // namespace fax_error

}  // namespace tlm
