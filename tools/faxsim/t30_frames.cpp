#include "t30_frames.h"

#include <algorithm>

namespace faxsim {

std::string Mod::name() const {
  switch (family) {
    case 'H': return "V21";
    case '7': return "V27ter-" + std::to_string(rate);
    case '9': return "V29-" + std::to_string(rate);
    case 'G': return "V17-" + std::to_string(rate);
    case '3': return "V33-" + std::to_string(rate);
    default: return "none";
  }
}

namespace {
struct Class1Mod { int code; Mod mod; bool longTrain; };
constexpr Class1Mod kClass1[] = {
    {3, {'H', 300}, false},    {24, {'7', 2400}, false},  {48, {'7', 4800}, false},
    {72, {'9', 7200}, false},  {96, {'9', 9600}, false},  {73, {'G', 7200}, true},
    {74, {'G', 7200}, false},  {97, {'G', 9600}, true},   {98, {'G', 9600}, false},
    {121, {'G', 12000}, true}, {122, {'G', 12000}, false}, {145, {'G', 14400}, true},
    {146, {'G', 14400}, false}};

// DCS rate field (byte 2 & 0x3C) per modulation.
struct RateBits { uint8_t bits; Mod mod; };
constexpr RateBits kDcsRates[] = {
    {0x00, {'7', 2400}}, {0x08, {'7', 4800}}, {0x0C, {'9', 7200}}, {0x04, {'9', 9600}},
    {0x2C, {'G', 7200}}, {0x24, {'G', 9600}}, {0x28, {'G', 12000}}, {0x20, {'G', 14400}},
    {0x18, {'3', 12000}}, {0x10, {'3', 14400}}};

// Minimum scan line time codes (bits 21-23): DIS (normal, fine) and DCS.
constexpr int kScanNormal[8] = {20, 5, 10, 20, 40, 40, 10, 0};
constexpr int kScanFine[8] = {20, 5, 10, 10, 40, 20, 5, 0};

int scanCode(int ms) {
  switch (ms) {
    case 5: return 1;
    case 10: return 2;
    case 20: return 0;
    case 40: return 4;
    default: return 7;
  }
}
}  // namespace

bool modFromClass1(int code, Mod& mod, bool& longTrain) {
  for (const auto& m : kClass1)
    if (m.code == code) {
      mod = m.mod;
      longTrain = m.longTrain;
      return true;
    }
  return false;
}

int class1Code(const Mod& mod, bool longTrain) {
  for (const auto& m : kClass1)
    if (m.mod == mod && (mod.family != 'G' || m.longTrain == longTrain)) return m.code;
  return 0;
}

double trainingSeconds(const Mod& mod, bool longTrain) {
  switch (mod.family) {
    case '7': return mod.rate == 2400 ? 0.943 : 0.708;
    case '9': return 0.253;
    case 'G': return longTrain ? 1.393 : 0.142;
    case '3': return 1.393;
    default: return 0;
  }
}

const std::vector<Mod>& modulationOrder() {
  static const std::vector<Mod> order = {{'G', 14400}, {'G', 12000}, {'G', 9600}, {'G', 7200},
                                         {'9', 9600},  {'9', 7200},  {'7', 4800}, {'7', 2400}};
  return order;
}

Bytes encodeDis(const Caps& c) {
  uint8_t rate = c.v17 ? 0x2C : (c.v29 && c.v27) ? 0x0C : c.v29 ? 0x04 : c.v27 ? 0x08 : 0x00;
  uint8_t scan = 7;
  for (int v = 0; v < 8; ++v)
    if (kScanNormal[v] == c.scanMs && kScanFine[v] == (c.fine ? c.scanMsFine : c.scanMs)) {
      scan = uint8_t(v);
      break;
    }
  uint8_t b2 = uint8_t((c.receive ? 0x02 : 0) | rate | (c.fine ? 0x40 : 0) | (c.mr ? 0x80 : 0));
  uint8_t b3 = uint8_t((c.wide ? 0x01 : 0) | 0x08 | scan << 4 | 0x80);
  return {0x00, b2, b3, uint8_t(c.ecm ? 0x04 : 0x00)};
}

Bytes encodeDcs(const Caps& c) {
  uint8_t rate = 0;
  for (const auto& r : kDcsRates)
    if (r.mod == c.mod) rate = r.bits;
  uint8_t b2 = uint8_t(0x02 | rate | (c.fine ? 0x40 : 0));
  uint8_t b3 = uint8_t((c.wide ? 0x01 : 0) | 0x08 | scanCode(c.scanMs) << 4 | 0x80);
  return {0x00, b2, b3, uint8_t(c.ecm ? 0x04 : 0x00)};
}

Caps decodeDis(const Bytes& f) {
  Caps c;
  uint8_t b2 = f.size() > 1 ? f[1] : 0, b3 = f.size() > 2 ? f[2] : 0;
  uint8_t rate = b2 & 0x3C;
  c.v27 = rate == 0x08 || rate == 0x0C || rate == 0x2C || rate == 0x1C;
  c.v29 = rate == 0x04 || rate == 0x0C || rate == 0x2C || rate == 0x1C;
  c.v17 = rate == 0x2C;
  c.receive = b2 & 0x02;
  c.fine = b2 & 0x40;
  c.mr = b2 & 0x80;
  c.wide = (b3 & 0x03) != 0;
  int v = (b3 >> 4) & 7;
  c.scanMs = kScanNormal[v];
  c.scanMsFine = kScanFine[v];
  c.ecm = (b3 & 0x80) && f.size() > 3 && (f[3] & 0x04);
  return c;
}

Caps decodeDcs(const Bytes& f) {
  Caps c;
  uint8_t b2 = f.size() > 1 ? f[1] : 0, b3 = f.size() > 2 ? f[2] : 0;
  c.mod = {};
  for (const auto& r : kDcsRates)
    if (r.bits == (b2 & 0x3C)) c.mod = r.mod;
  c.fine = b2 & 0x40;
  c.mr = b2 & 0x80;
  c.wide = (b3 & 0x03) == 1;
  c.scanMs = kScanNormal[(b3 >> 4) & 7];
  c.ecm = (b3 & 0x80) && f.size() > 3 && (f[3] & 0x04);
  return c;
}

Bytes makeFrame(uint8_t fcf, bool final, const Bytes& fif) {
  Bytes f;
  f.reserve(3 + fif.size());
  f.push_back(0xFF);
  f.push_back(uint8_t(final ? 0x13 : 0x03));
  f.push_back(fcf);
  f.insert(f.end(), fif.begin(), fif.end());
  return f;
}

Bytes makeIdFrame(uint8_t fcf, const std::string& id) {
  Bytes fif(20, ' ');
  std::string s = id.substr(0, 20);
  for (size_t i = 0; i < s.size(); ++i) fif[i] = uint8_t(s[s.size() - 1 - i]);
  return makeFrame(fcf, false, fif);
}

std::string decodeId(const Bytes& frame) {
  Bytes fif = frameFif(frame);
  std::string s(fif.rbegin(), fif.rend());
  size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
  if (a == std::string::npos) return "";
  s = s.substr(a, b - a + 1);
  for (char& ch : s)
    if (static_cast<unsigned char>(ch) < 0x20 || static_cast<unsigned char>(ch) > 0x7E) ch = '?';
  return s;
}

uint8_t frameKind(uint8_t fcf) {
  switch (fcf) {
    case kDIS: case kCSI: case kNSF: case kDTC: case kCIG: case kNSC: return fcf;
    default: return fcf & 0xFE;
  }
}

std::string frameName(uint8_t fcf) {
  switch (frameKind(fcf)) {
    case kDIS: return "DIS"; case kCSI: return "CSI"; case kNSF: return "NSF";
    case kDTC: return "DTC"; case kCIG: return "CIG"; case kNSC: return "NSC";
    case kDCS: return "DCS"; case kTSI: return "TSI"; case kNSS: return "NSS";
    case kCFR: return "CFR"; case kFTT: return "FTT"; case kEOM: return "EOM";
    case kMPS: return "MPS"; case kEOP: return "EOP"; case kPRI_EOM: return "PRI-EOM";
    case kPRI_MPS: return "PRI-MPS"; case kPRI_EOP: return "PRI-EOP"; case kMCF: return "MCF";
    case kRTP: return "RTP"; case kRTN: return "RTN"; case kPIP: return "PIP";
    case kPIN: return "PIN"; case kDCN: return "DCN"; case kCRP: return "CRP";
    default: return "UNKNOWN";
  }
}

uint16_t crc16(const uint8_t* d, size_t n) {
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < n; ++i) {
    crc ^= d[i];
    for (int b = 0; b < 8; ++b) crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0x8408) : uint16_t(crc >> 1);
  }
  return uint16_t(crc ^ 0xFFFF);
}

}  // namespace faxsim
