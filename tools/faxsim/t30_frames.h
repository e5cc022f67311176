#pragma once
// T.30 control frames and their fields, in the byte order of the line
// (least significant bit first), as a Class 1 modem hands them over.
#include <string>

#include "bitmap.h"

namespace faxsim {

// Frame control field values as sent by the station that sent the DIS
// (X bit clear); recognise received frames by fcf & 0xFE.
enum Fcf : uint8_t {
  kDIS = 0x80, kCSI = 0x40, kNSF = 0x20, kDTC = 0x81, kCIG = 0x41, kNSC = 0x21,
  kDCS = 0x82, kTSI = 0x42, kNSS = 0x22, kCFR = 0x84, kFTT = 0x44,
  kEOM = 0x8E, kMPS = 0x4E, kEOP = 0x2E, kPRI_EOM = 0x9E, kPRI_MPS = 0x5E, kPRI_EOP = 0x3E,
  kMCF = 0x8C, kRTP = 0xCC, kRTN = 0x4C, kPIP = 0xAC, kPIN = 0x2C,
  kDCN = 0xFA, kCRP = 0x1A,
};

// A modulation on the line: V.21 (control), V.27 ter, V.29, V.17 or V.33.
struct Mod {
  char family = 0;  // 'H' V.21, '7' V.27 ter, '9' V.29, 'G' V.17, '3' V.33, 0 none
  int rate = 0;
  bool operator==(const Mod& o) const { return family == o.family && rate == o.rate; }
  bool none() const { return family == 0; }
  std::string name() const;
};
inline constexpr Mod kV21{'H', 300};

// Class 1 modulation code <-> modulation; training time in seconds.
bool modFromClass1(int code, Mod& mod, bool& longTrain);
int class1Code(const Mod& mod, bool longTrain);
double trainingSeconds(const Mod& mod, bool longTrain);

// The fallback order of high-speed modulations.
const std::vector<Mod>& modulationOrder();

// What a station can do (DIS) or has chosen (DCS).
struct Caps {
  bool v27 = true, v29 = true, v17 = true;  // DIS: families offered
  Mod mod;          // DCS: the modulation in use
  bool fine = true;
  bool wide = false;
  int scanMs = 0;   // DIS: minimum scan line time required (normal res.)
  int scanMsFine = 0;
  bool ecm = false;
  bool mr = false;
  bool receive = true;  // DIS: can receive; DCS: receiver command bit
};

Bytes encodeDis(const Caps& c);
Bytes encodeDcs(const Caps& c);
Caps decodeDis(const Bytes& fif);
Caps decodeDcs(const Bytes& fif);

// A frame as FF, control, FCF, FIF.
Bytes makeFrame(uint8_t fcf, bool final, const Bytes& fif = {});
Bytes makeIdFrame(uint8_t fcf, const std::string& id);
std::string decodeId(const Bytes& frame);
std::string frameName(uint8_t fcf);
inline uint8_t frameFcf(const Bytes& f) { return f.size() > 2 ? f[2] : 0; }
inline bool frameFinal(const Bytes& f) { return f.size() > 1 && (f[1] & 0x10); }
inline Bytes frameFif(const Bytes& f) { return f.size() > 3 ? Bytes(f.begin() + 3, f.end()) : Bytes{}; }
// Frame kind without the X bit (DIS-group frames keep their value).
uint8_t frameKind(uint8_t fcf);

uint16_t crc16(const uint8_t* d, size_t n);

}  // namespace faxsim
