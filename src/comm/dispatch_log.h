#pragma once
// The dispatch log: dispatcher events with a time stamp, a type, a subtype
// and data, in a ring of LogSize entries, dumped as a text table.
//
// Type and subtype names come from the error table (ids 15001 + type and
// 15101 + subtype). Dump layout: "KOVA v2.56", "Compiler : ...",
// "Operating System : ...", an empty line, the two column heads, then one
// line per entry: "%8s  %-8s  %-12s  %08.8x  " (seconds since logging
// began, type, subtype, data) followed by a detail: the other data in hex
// or a status text such as "(Modem status)" or "(Not active)".
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace tlm {

enum TDispatchLogType : std::uint16_t {
  ltNone, ltDispatch, ltTrigger, ltError, ltThread, ltTrigAlloc, ltTrigDisp,
  ltTrigHandlerAlloc, ltTrigHandlerDisp, ltTrigDataChange, ltTelnet, ltFax,
  ltXModem, ltYModem, ltZModem, ltKermit, ltAscii, ltBPlus, ltPacket, ltUser,
};

enum TDispatchLogSubtype : std::uint16_t {
  lsReadCom, lsWriteCom, lsLineStatus, lsModemStatus, lsAvail, lsTimer, lsData,
  lsStatus, lsStart, lsExit, lsSleep, lsWake, lsAllocData, lsAllocTimer,
  lsAllocStatus, lsAllocAvail, lsWindow, lsProcedure, lsMethod,
  lsCommand = 27, lsSentTerm = 28,
  // Fax session states: lsTransmitState + state (tfNone..tfDone), and
  // lsReceiveState + state (rfNone..rfDone).
  lsTransmitState = 29,
  lsReceiveState = 78,
};

// What follows the data column.
enum TDispatchLogDetail : std::uint8_t {
  ldOtherData,       // the other data in hex
  ldModemStatus,     // "(Modem status)" and the lines set in the data
  ldLineStatus,      // "(Line status)"
  ldOutBuffFree,     // "(Output buffer free)"
  ldOutBuffUsed,     // "(Output buffer used)"
  ldOutSent,         // "(Output sent)"
  ldNotActive,       // "(Not active)"
};

struct DispatchLogEntry {
  std::uint32_t timeMs = 0;  // since logging began
  std::uint16_t type = 0;
  std::uint16_t subtype = 0;
  std::uint32_t data = 0;
  std::uint32_t other = 0;
  std::uint8_t detail = ldOtherData;
};

class DispatchLog {
 public:
  // 0, or -ecBadArgument when `entries` is above the cap or not positive.
  int Start(int entries);
  void Stop();
  void Clear();
  void SetPaused(bool paused);
  bool Active() const;
  bool Allocated() const;

  void Add(std::uint16_t type, std::uint16_t subtype, std::uint32_t data, std::uint32_t other = 0,
           std::uint8_t detail = ldOtherData);

  std::string Format() const;
  int Dump(const std::string& path, bool append) const;  // 0 or -errno

  // One formatted entry line, without the line break.
  static std::string FormatEntry(const DispatchLogEntry& entry);
  // The three header lines and the column heads.
  static std::string Header();

 private:
  mutable std::mutex mutex_;
  std::vector<DispatchLogEntry> ring_;
  std::size_t next_ = 0;
  bool wrapped_ = false;
  bool paused_ = false;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace tlm
