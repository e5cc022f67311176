#pragma once
// The states of a fax reception, in number order, with how long each waits
// and where it goes when that time runs out.
#include <cstdint>

namespace tlm {

enum TReceiveFaxState : std::uint8_t {
  rfNone = 0,         // idle
  rfInit = 1,         // clear the session; select the class
  rf1Init1 = 2,       // Class 1: class selected
  rf2Init1 = 3,       // Class 2/2.0: class selected; local ID, answer mode, capabilities
  rf2Init1A = 4,      // Class 2.0: flow control
  rf2Init1B = 5,      // Class 2.0: negotiation reporting
  rf2Init2 = 6,       // not entered
  rf2Init3 = 7,       // Class 2/2.0: ready
  rfWaiting = 8,      // counting rings
  rfAnswer = 9,       // "ATA"
  rf1SendCSI = 10,    // Class 1: called station ID
  rf1SendDIS = 11,    // Class 1: our capabilities
  rf1CollFrms = 12,   // Class 1: the sender's frames up to DCS
  rf1CollRtry1 = 13,  // Class 1: no frames: count the retry
  rf1CollRtry2 = 14,  // Class 1: send CSI and DIS again
  rf1StrtTrn = 15,    // Class 1: training check starting
  rf1CollTrn = 16,    // Class 1: training check bytes
  rf1Timeout = 17,    // not entered
  rf1Retrain = 18,    // Class 1: FTT
  rf1FinTrn = 19,     // Class 1: training check over
  rf1SendCFR = 20,    // Class 1: CFR, then page data
  rf1WtPgCnnct = 21,  // Class 1: waiting for the page carrier
  rf2ValCnnct = 22,   // Class 2/2.0: waiting for the fax connection
  rf2GtSndID = 23,    // Class 2/2.0: sender ID and session parameters
  rf2GtCnnct = 24,    // Class 2/2.0: waiting for page data
  rfStartPage = 25,   // a page begins
  rfGtPgDta = 26,     // page data
  rf1FinPage = 27,    // Class 1: page carrier gone
  rf1WaitEOP = 28,    // Class 1: the post-page frame
  rf1WritePage = 29,  // Class 1: page finished in the file
  rf1SendMCF = 30,    // Class 1: page confirmed
  rf1WaitDCN = 31,    // Class 1: the sender's disconnect
  rf1WtHngp = 32,     // Class 1: hanging up
  rf2GtPgRslt = 33,   // Class 2/2.0: page status and post-page message
  rf2GetFHNG = 34,    // Class 2/2.0: hang-up code
  rfComplete = 35,    // a call is over
  rfAbort = 36,       // a call failed or was cancelled
  rfDone = 37,        // the session is over
  // Class 1 with error correction: each page comes in blocks of frames.
  rf1EcmWtBurst = 38,   // waiting for a block's carrier
  rf1EcmGtBurst = 39,   // the block's frames
  rf1EcmFinBurst = 40,  // the block's carrier is gone
  rf1EcmWaitSig = 41,   // PPS, EOR, CTC or RR
  rf1EcmSendResp = 42,  // MCF, PPR, ERR or CTR for a block
  rf1SendAgain = 43,    // Class 1: the last page's answer again (the sender missed it)
  rf1SendRtn = 44,      // Class 1: RTN for a page that never arrived
};

inline constexpr int kReceiveStateCount = rf1SendRtn + 1;

// Waiting times in ticks (18.2 per second).
inline constexpr int kTicksAnswer = 1092;    // 60 s for the fax connection
inline constexpr int kTicksCommand = 182;    // 10 s for a command's result
inline constexpr int kTicksFrames = 54;      // 3 s for the sender's frames
inline constexpr int kTicksPageStart = 546;  // 30 s for page data to begin
inline constexpr int kTicksPageData = 182;   // 10 s of silence within a page
inline constexpr int kTicksRingGap = 182;    // rings of one call come every 6 s

struct ReceiveStateInfo {
  TReceiveFaxState state;
  const char* name;
  // Where an expired timer leads; rfAbort means error 6006 first.
  TReceiveFaxState onTimeout;
};

// One row per state, in number order.
inline constexpr ReceiveStateInfo kReceiveStates[kReceiveStateCount] = {
    {rfNone, "rfNone", rfNone},
    {rfInit, "rfInit", rfAbort},
    {rf1Init1, "rf1Init1", rfAbort},
    {rf2Init1, "rf2Init1", rfAbort},
    {rf2Init1A, "rf2Init1A", rfAbort},
    {rf2Init1B, "rf2Init1B", rfAbort},
    {rf2Init2, "rf2Init2", rfAbort},
    {rf2Init3, "rf2Init3", rfAbort},
    {rfWaiting, "rfWaiting", rfWaiting},
    {rfAnswer, "rfAnswer", rfAbort},
    {rf1SendCSI, "rf1SendCSI", rfAbort},
    {rf1SendDIS, "rf1SendDIS", rfAbort},
    {rf1CollFrms, "rf1CollFrms", rf1CollRtry1},
    {rf1CollRtry1, "rf1CollRtry1", rf1CollRtry2},
    {rf1CollRtry2, "rf1CollRtry2", rf1CollRtry2},
    {rf1StrtTrn, "rf1StrtTrn", rfAbort},
    {rf1CollTrn, "rf1CollTrn", rfAbort},
    {rf1Timeout, "rf1Timeout", rfAbort},
    {rf1Retrain, "rf1Retrain", rfAbort},
    {rf1FinTrn, "rf1FinTrn", rfAbort},
    {rf1SendCFR, "rf1SendCFR", rfAbort},
    {rf1WtPgCnnct, "rf1WtPgCnnct", rfAbort},
    {rf2ValCnnct, "rf2ValCnnct", rfAbort},
    {rf2GtSndID, "rf2GtSndID", rfAbort},
    {rf2GtCnnct, "rf2GtCnnct", rfAbort},
    {rfStartPage, "rfStartPage", rfAbort},
    {rfGtPgDta, "rfGtPgDta", rfAbort},
    {rf1FinPage, "rf1FinPage", rfAbort},
    {rf1WaitEOP, "rf1WaitEOP", rfAbort},
    {rf1WritePage, "rf1WritePage", rfAbort},
    {rf1SendMCF, "rf1SendMCF", rfAbort},
    {rf1WaitDCN, "rf1WaitDCN", rfComplete},
    {rf1WtHngp, "rf1WtHngp", rfComplete},
    {rf2GtPgRslt, "rf2GtPgRslt", rfAbort},
    {rf2GetFHNG, "rf2GetFHNG", rfComplete},
    {rfComplete, "rfComplete", rfAbort},
    {rfAbort, "rfAbort", rfAbort},
    {rfDone, "rfDone", rfDone},
    {rf1EcmWtBurst, "rf1EcmWtBurst", rfAbort},
    {rf1EcmGtBurst, "rf1EcmGtBurst", rfAbort},
    {rf1EcmFinBurst, "rf1EcmFinBurst", rfAbort},
    {rf1EcmWaitSig, "rf1EcmWaitSig", rfAbort},
    {rf1EcmSendResp, "rf1EcmSendResp", rfAbort},
    {rf1SendAgain, "rf1SendAgain", rfComplete},
    {rf1SendRtn, "rf1SendRtn", rfAbort},
};

constexpr bool ReceiveStateTableInOrder() {
  for (int i = 0; i < kReceiveStateCount; ++i) {
    if (kReceiveStates[i].state != i) return false;
  }
  return true;
}
static_assert(ReceiveStateTableInOrder(), "receive states are listed in number order");

}  // namespace tlm
