#pragma once
// T.30 control frames as a Class 1 session writes and reads them through the
// modem: frame control field values, station identification, the DIS and
// DCS information fields, the speed table and the scan-line timing.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "faximage/t4_page_coding.h"

namespace tlm::t30 {

// Facsimile control field values as sent on the line by this station.
inline constexpr std::uint8_t kTSI = 0x43;
inline constexpr std::uint8_t kCSI = 0x40;
inline constexpr std::uint8_t kDIS = 0x80;
inline constexpr std::uint8_t kDCS = 0x83;
inline constexpr std::uint8_t kCFR = 0x84;
inline constexpr std::uint8_t kFTT = 0x44;
inline constexpr std::uint8_t kMPS = 0x4F;
inline constexpr std::uint8_t kEOM = 0x8F;
inline constexpr std::uint8_t kEOP = 0x2F;
inline constexpr std::uint8_t kMCF = 0x8C;
inline constexpr std::uint8_t kRTN = 0x4C;
inline constexpr std::uint8_t kRTP = 0xCC;
inline constexpr std::uint8_t kDCN = 0xFB;
inline constexpr std::uint8_t kCRP = 0x58;  // command repeat

// Error correction frames. FCD and RCP travel inside the image-rate burst
// and have no sender bit; the others go as ordinary control frames.
inline constexpr std::uint8_t kFCD = 0x06;  // facsimile coded data
inline constexpr std::uint8_t kRCP = 0x86;  // return to control for partial page
inline constexpr std::uint8_t kPPS = 0xBF;  // partial page signal
inline constexpr std::uint8_t kEOR = 0xCF;  // end of retransmission
inline constexpr std::uint8_t kCTC = 0x13;  // continue to correct
inline constexpr std::uint8_t kRR = 0x6F;   // receive ready (asking whether the remote is)
inline constexpr std::uint8_t kPPR = 0xBC;  // partial page request
inline constexpr std::uint8_t kCTR = 0xC4;  // response to CTC
inline constexpr std::uint8_t kERR = 0x1C;  // response to EOR
inline constexpr std::uint8_t kRNR = 0xEC;  // receive not ready

// Frames are matched without their sender (X) bit.
constexpr bool SameFrame(std::uint8_t received, std::uint8_t fcf) { return (received & 0xFE) == (fcf & 0xFE); }

inline constexpr std::uint8_t kControlFinal = 0x13;
inline constexpr std::uint8_t kControlNonFinal = 0x03;

// Class 1 speeds by index 1..6, with the modulation codes of the training
// check (long training) and of the page data (short training).
struct Speed {
  int index;
  int bps;
  const char* tcfCode;
  const char* pageCode;
};
inline constexpr int kMinSpeedIndex = 1;
inline constexpr int kMaxSpeedIndex = 6;
const Speed& SpeedByIndex(int index);  // index clamped to 1..6
// The index of a rate in bit/s, or 0 when it is not a Class 1 fax rate.
int SpeedIndexOfBps(int bps);

// A set of speed indexes (bit i set = index i usable).
using SpeedMask = std::uint8_t;
constexpr SpeedMask SpeedBit(int index) { return static_cast<SpeedMask>(1u << index); }

// The speeds whose modulation codes the local modem lists for both
// transmitting and receiving (+FTM=? and +FRM=? replies), up to `desiredBps`.
SpeedMask LocalSpeeds(std::string_view ftmList, std::string_view frmList, int desiredBps);
// Parses a comma-separated modulation list ("24,48,72,96" or "(24,48)").
std::vector<int> ParseModulationList(std::string_view list);
// True when a reply line is a modulation list: digits, commas, parentheses
// and blanks only, with at least one digit, after an optional "+Fxxx:".
bool IsModulationList(std::string_view line);

// The highest index from 6 down present in both masks; 0 when none.
int BestSpeed(SpeedMask local, SpeedMask remote);
// The next lower index present in both masks; 0 when none (training failed).
int FallbackSpeed(int current, SpeedMask local, SpeedMask remote);

// The frame check sequence of HDLC frames (CRC-16, reflected, as T.30
// frames carry it low byte first). A frame with its check sequence gives
// kFrameCheckGood; the sequence itself is the complement of the value over
// the frame, low byte first.
std::uint16_t FrameCheck(std::string_view bytes);
inline constexpr std::uint16_t kFrameCheckGood = 0xF0B8;

const char* CodingName(T4Coding coding);  // "MH", "MR", "MMR"

// Minimum scan-line time codes, numbered as the Class 2 ST parameter:
// code: standard ms / fine ms.
int ScanTimeMs(int scanCode, bool fine);
// Minimum bytes per coded line: scan time (ms) x speed (bit/s) / 8000.
int MinBytesPerLine(int scanCode, bool fine, int bps);
// Bytes of zeros in a training check: speed / 100 * 18, at most 8192.
int TcfByteCount(int bps);

// The 20-byte station identification field: (20 - length) spaces, then the
// ID's characters from last to first. Longer IDs are cut to 20.
std::string StationIdField(std::string_view id);
// The station ID carried by a received field: reversed, blanks trimmed.
std::string DecodeStationId(std::string_view field);

// What a received DIS says the remote can do.
struct RemoteCapabilities {
  SpeedMask speeds = 0;
  bool fine = false;
  bool wide = false;
  int scanCode = 5;
  bool mr = false;   // two-dimensional coding
  bool ecm = false;  // error correction
  bool mmr = false;  // T.6 coding (only with error correction)
};
RemoteCapabilities DecodeDis(std::string_view info);

// What a received DCS asks of the receiver.
struct SessionParameters {
  int speedIndex = 1;
  bool v17 = false;  // the modulation is V.17 (Class 1 codes 73/74, 97/98, ...)
  bool fine = false;
  bool wide = false;
  int scanCode = 5;
  T4Coding coding = T4Coding::MH;
  bool ecm = false;
  int ecmFrameSize = 256;  // octets of page data per error correction frame
};
SessionParameters DecodeDcs(std::string_view info);

// What this station can do beyond MH without error correction.
struct Facilities {
  T4Coding maxCoding = T4Coding::MH;  // the most compact coding allowed
  bool ecm = false;
};
// The coding and error correction a transmitter picks from the remote's
// DIS and its own facilities: MMR with error correction, else MR (with
// error correction when both have it), else MH.
struct CodingChoice {
  T4Coding coding = T4Coding::MH;
  bool ecm = false;
};
CodingChoice ChooseCoding(const RemoteCapabilities& remote, const Facilities& local);

// The four-byte DCS for a session at `speedIndex`, at the resolution and
// width of the page and with the scan time the remote asked for.
// With error correction the scan time is 0 and 256-octet frames are used.
std::string EncodeDcs(int speedIndex, bool fine, bool wide, int remoteScanCode, CodingChoice choice = {});
// The four-byte DIS offering the speeds of `receiveSpeeds` and `offer`'s
// codings and error correction (MMR only along with error correction).
std::string EncodeDis(SpeedMask receiveSpeeds, Facilities offer = {});
// The rate byte of a CTC (DCS byte 2's rate bits) and back to an index.
std::uint8_t RateBits(int speedIndex);
int SpeedIndexOfRateBits(std::uint8_t bits);

// The Class 1 modulation codes for receiving a session of `params`.
struct ReceiveModulation {
  int tcf;
  int page;
};
ReceiveModulation ModulationFor(const SessionParameters& params);

// A frame as written after "AT+FTH=3" and CONNECT: address, control, FCF,
// information, with 0x10 bytes doubled, then DLE ETX.
std::string BuildHdlcFrame(std::uint8_t fcf, std::string_view info, bool final);

// A received frame.
struct Frame {
  std::uint8_t control = 0;
  std::uint8_t fcf = 0;
  std::string info;
  bool Final() const { return (control & 0x10) != 0; }
};

// Collects the bytes of one frame after "AT+FRH=3" and CONNECT, up to DLE
// ETX. Bytes before the 0xFF address are dropped; DLE DLE is one 0x10.
class FrameCollector {
 public:
  // Feeds bytes; returns how many were consumed (it stops after DLE ETX).
  std::size_t Feed(std::string_view bytes);
  bool Complete() const { return complete_; }
  // The frame, once complete and at least address, control and FCF arrived.
  std::optional<Frame> Take();
  void Reset();

 private:
  std::string bytes_;
  bool started_ = false;
  bool pendingDle_ = false;
  bool complete_ = false;
};

}  // namespace tlm::t30
