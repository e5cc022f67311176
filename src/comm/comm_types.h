#pragma once
// Enumerations, message codes and bit values of the serial port layer.
#include <cerrno>
#include <cstdint>

namespace tlm {

// Device layers. dlWin32 names the platform's native serial layer: on Linux
// that is the POSIX layer (termios, poll, modem-status ioctls). The other
// values are kept for settings written by older versions; opening a port
// with them fails with ecNoDeviceLayer.
enum TDeviceLayer { dlWin16, dlFossil, dlWin32, dlWinsock };

enum TParity { pNone, pOdd, pEven, pMark, pSpace };

enum THWFlowOption : std::uint8_t {
  hwfUseDTR = 1,
  hwfUseRTS = 2,
  hwfRequireDSR = 4,
  hwfRequireCTS = 8,
};
using THWFlowOptions = std::uint8_t;  // a set of THWFlowOption bits

enum TSWFlowOptions { swfNone, swfReceive, swfTransmit, swfBoth };

// Tracing and dispatch-log states.
enum TTraceLogState { tlOff, tlOn, tlDump, tlAppend, tlClear, tlPause };

enum TTapiMode { tmNone, tmAuto, tmOn, tmOff };

// Notification message codes; a notification's data word is
// (dispatcher handle << 16) + value.
inline constexpr std::uint16_t kMsgTriggerAvail = 0x7E01;
inline constexpr std::uint16_t kMsgTriggerData = 0x7E02;
inline constexpr std::uint16_t kMsgTriggerTimer = 0x7E03;
inline constexpr std::uint16_t kMsgTriggerStatus = 0x7E04;
inline constexpr std::uint16_t kMsgPortClose = 0x7E0A;

// Status trigger types (the low three bits of a status trigger's handle).
enum TStatusTriggerType : std::uint16_t {
  stModem = 1,
  stLine = 2,
  stOutBuffFree = 3,
  stOutBuffUsed = 4,
  stOutSent = 5,
};

// Modem status byte: lines in the upper nibble, their changes in the lower.
inline constexpr std::uint8_t msDeltaCTS = 0x01;
inline constexpr std::uint8_t msDeltaDSR = 0x02;
inline constexpr std::uint8_t msTrailingRI = 0x04;
inline constexpr std::uint8_t msDeltaDCD = 0x08;
inline constexpr std::uint8_t msCTS = 0x10;
inline constexpr std::uint8_t msDSR = 0x20;
inline constexpr std::uint8_t msRI = 0x40;
inline constexpr std::uint8_t msDCD = 0x80;

// Line error bits (five of them).
inline constexpr std::uint16_t leBufferOverrun = 0x01;  // input ring or driver queue full
inline constexpr std::uint16_t leOverrun = 0x02;        // the UART lost characters
inline constexpr std::uint16_t leParity = 0x04;
inline constexpr std::uint16_t leFraming = 0x08;
inline constexpr std::uint16_t leBreak = 0x10;

inline constexpr int kInputRingSize = 8192;
inline constexpr int kMaxTraceSize = 4000000;
inline constexpr int kMaxLogSize = 16000000;

// Error codes of the layer (reported negated).
enum TComErrorCode {
  ecOutOfMemory = ENOMEM,  // an operating-system error number, like every code below 1000
  ecBadHandle = 1001,
  ecBadArgument = 1002,
  ecBadId = 2001,
  ecBaudrate = 2002,
  ecByteSize = 2003,
  ecHardware = 2005,
  ecNotOpen = 2007,
  ecAlreadyOpen = 2008,
  ecNoPortSelected = 2011,
  ecNoDeviceLayer = 3001,
  ecNotSupported = 3002,
  ecPutBlockFailed = 3004,
  ecGetBlockFailed = 3005,
  ecOutputTooSmall = 3006,
  ecBufferIsEmpty = 3007,
  ecTracingNotEnabled = 3008,
  ecLoggingNotEnabled = 3009,
  ecNoMoreTriggers = 5001,
  ecTriggerTooLong = 5002,
  ecBadTriggerHandle = 5003,
};

}  // namespace tlm
