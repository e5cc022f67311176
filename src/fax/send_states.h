#pragma once
// The states of a transmit session, in number order.

namespace tlm {

enum TSendState : int {
  tfNone = 0,
  tfGetEntry,
  tfInit,
  tf1Init1,
  tf2Init1,
  tf2Init1A,
  tf2Init1B,
  tf2Init2,
  tf2Init3,
  tfDial,
  tfRetryWait,
  tf1Connect,
  tf1SendTSI,
  tf1TSIRespns,
  tf1DCSRspns,
  tf1TrainStrt,
  tf1TrainFnsh,
  tf1WaitCFR,
  tf1WaitPgCn,
  tf2Connect,
  tf2GetParams,
  tfWaitXon,
  tfWaitFrHead,
  tfSndPgeHdr,
  tfOpenCover,
  tfSendCover,
  tfPrepPage,
  tfSendPage,
  tfDrainPage,
  tf1PageEnd,
  tf1PrepEOP,
  tf1SendEOP,
  tf1WaitMPS,
  tf1WaitEOP,
  tf1WaitMCF,
  tf1SendDCN,
  tf1Hangup,
  tf1WaitHngp,
  tf2SendEOP,
  tf2WaitFPTS,
  tf2WaitFET,
  tf2WaitPgOK,
  tf2SndNwPrm,
  tf2NextPage,
  tf20ChckPg,
  tfClose,
  tfCompleteOK,
  tfAbort,
  tfDone,
  // Class 1 with error correction: a page goes in blocks of frames.
  tf1EcmPrepPage,    // the page coded and cut into frames
  tf1EcmStartBurst,  // "AT+FTM" for a block's frames
  tf1EcmBurstCn,     // CONNECT: the burst goes out
  tf1EcmSendBurst,   // writing the burst
  tf1EcmDrainBurst,  // the modem sends what it holds
  tf1EcmBurstEnd,    // "OK": the burst is out
  tf1EcmPrepSignal,  // "AT+FTH=3" for PPS, EOR, CTC or RR
  tf1EcmSendSignal,  // CONNECT: the signal
  tf1EcmSignalSent,  // "OK": listen for the answer
  tf1EcmWaitResp,    // MCF, PPR, RNR, CTR or ERR
};
static_assert(tfDone == 48);

}  // namespace tlm
