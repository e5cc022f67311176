#pragma once
// Line settings and status records exchanged with a device layer.
#include <cstddef>
#include <cstdint>

#include "comm/comm_types.h"

namespace tlm {

enum TDtrControl : std::uint8_t { dtrDisable, dtrEnable, dtrHandshake };
enum TRtsControl : std::uint8_t { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };

// The device control block: line settings and flow control.
struct TDeviceControlBlock {
  std::uint32_t baud = 19200;
  TParity parity = pNone;
  int dataBits = 8;
  int stopBits = 1;
  TDtrControl dtrControl = dtrEnable;
  TRtsControl rtsControl = rtsEnable;
  bool outCtsFlow = false;
  bool outDsrFlow = false;
  bool outX = false;  // XON/XOFF on output
  bool inX = false;   // XON/XOFF on input
  std::uint16_t xonLimit = 0;
  std::uint16_t xoffLimit = 0;
  std::uint8_t xonChar = 17;
  std::uint8_t xoffChar = 19;
};

// Communication events (the bits a comm thread waits for).
inline constexpr std::uint32_t evRxChar = 0x0001;
inline constexpr std::uint32_t evCts = 0x0008;
inline constexpr std::uint32_t evDsr = 0x0010;
inline constexpr std::uint32_t evRlsd = 0x0020;
inline constexpr std::uint32_t evBreak = 0x0040;
inline constexpr std::uint32_t evErr = 0x0080;
inline constexpr std::uint32_t evRing = 0x0100;
inline constexpr std::uint32_t evRingTrailing = 0x2000;
inline constexpr std::uint32_t evHangup = 0x40000000u;  // the device went away

enum class TEscape { kSetDtr, kClearDtr, kSetRts, kClearRts, kSetBreak, kClearBreak };

}  // namespace tlm
