#include "fax/t30_frames.h"

#include <initializer_list>

#include <algorithm>
#include <array>
#include <cctype>

namespace tlm::t30 {
namespace {

constexpr std::array<Speed, 6> kSpeeds = {{
    {1, 2400, "24", "24"},
    {2, 4800, "48", "48"},
    {3, 7200, "72", "72"},
    {4, 9600, "96", "96"},
    {5, 12000, "121", "122"},
    {6, 14400, "145", "146"},
}};

// DCS rate bits for the modulations a transmitter uses at each index:
// V.27 ter at 2400/4800, V.29 at 7200/9600, V.17 at 12000/14400.
constexpr std::array<std::uint8_t, 7> kDcsRateBits = {0x00, 0x00, 0x08, 0x0C, 0x04, 0x28, 0x20};

// Minimum scan-line time in ms by code (Class 2 ST numbering): standard, fine.
constexpr std::array<std::array<int, 2>, 8> kScanTimes = {{
    {0, 0}, {5, 5}, {10, 5}, {10, 10}, {20, 10}, {20, 20}, {40, 20}, {40, 40},
}};

// DIS/DCS scan-time field (byte 3 & 0x70) to the code above.
constexpr std::array<int, 8> kScanFieldToCode = {5, 1, 3, 4, 7, 6, 2, 0};

// The DCS scan-time field for a time in use.
std::uint8_t DcsScanField(int ms) {
  switch (ms) {
    case 0: return 0x70;
    case 5: return 0x10;
    case 10: return 0x20;
    case 40: return 0x40;
    default: return 0x00;  // 20 ms
  }
}

std::uint8_t Byte(std::string_view s, std::size_t i) {
  return i < s.size() ? static_cast<std::uint8_t>(s[i]) : 0;
}

}  // namespace

// CRC-16/X.25 as the modem computes the frame check sequence.
std::uint16_t FrameCheck(std::string_view bytes) {
  std::uint16_t crc = 0xFFFF;
  for (unsigned char b : bytes) {
    crc ^= b;
    for (int i = 0; i < 8; ++i) crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0x8408) : static_cast<std::uint16_t>(crc >> 1);
  }
  return crc;
}

const char* CodingName(T4Coding coding) {
  switch (coding) {
    case T4Coding::MR: return "MR";
    case T4Coding::MMR: return "MMR";
    default: return "MH";
  }
}

CodingChoice ChooseCoding(const RemoteCapabilities& remote, const Facilities& local) {
  CodingChoice c;
  c.ecm = local.ecm && remote.ecm;
  if (c.ecm && remote.mmr && local.maxCoding >= T4Coding::MMR) c.coding = T4Coding::MMR;
  else if (remote.mr && local.maxCoding >= T4Coding::MR) c.coding = T4Coding::MR;
  return c;
}

const Speed& SpeedByIndex(int index) {
  return kSpeeds[static_cast<std::size_t>(std::clamp(index, kMinSpeedIndex, kMaxSpeedIndex) - 1)];
}

int SpeedIndexOfBps(int bps) {
  for (const Speed& s : kSpeeds) {
    if (s.bps == bps) return s.index;
  }
  return 0;
}

std::vector<int> ParseModulationList(std::string_view list) {
  std::vector<int> codes;
  int value = -1;
  for (char c : list) {
    if (std::isdigit(static_cast<unsigned char>(c))) {
      value = (value < 0 ? 0 : value * 10) + (c - '0');
      if (value > 100000) value = 100000;
    } else if (value >= 0) {
      codes.push_back(value);
      value = -1;
    }
  }
  if (value >= 0) codes.push_back(value);
  return codes;
}

bool IsModulationList(std::string_view line) {
  if (line.substr(0, 2) == "+F") {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return false;
    line.remove_prefix(colon + 1);
  }
  bool digit = false;
  for (const char c : line) {
    if (std::isdigit(static_cast<unsigned char>(c))) digit = true;
    else if (c != ',' && c != '(' && c != ')' && c != ' ') return false;
  }
  return digit;
}

SpeedMask LocalSpeeds(std::string_view ftmList, std::string_view frmList, int desiredBps) {
  const auto tx = ParseModulationList(ftmList);
  const auto rx = ParseModulationList(frmList);
  auto inBoth = [&](const char* code) {
    const int c = std::stoi(code);
    return std::find(tx.begin(), tx.end(), c) != tx.end() && std::find(rx.begin(), rx.end(), c) != rx.end();
  };
  SpeedMask mask = 0;
  for (const Speed& s : kSpeeds) {
    if (s.bps <= desiredBps && inBoth(s.tcfCode) && inBoth(s.pageCode)) mask |= SpeedBit(s.index);
  }
  return mask;
}

int BestSpeed(SpeedMask local, SpeedMask remote) {
  for (int i = kMaxSpeedIndex; i >= kMinSpeedIndex; --i) {
    if ((local & remote & SpeedBit(i)) != 0) return i;
  }
  return 0;
}

int FallbackSpeed(int current, SpeedMask local, SpeedMask remote) {
  for (int i = current - 1; i >= kMinSpeedIndex; --i) {
    if ((local & remote & SpeedBit(i)) != 0) return i;
  }
  return 0;
}

int ScanTimeMs(int scanCode, bool fine) {
  return kScanTimes[static_cast<std::size_t>(std::clamp(scanCode, 0, 7))][fine ? 1 : 0];
}

int MinBytesPerLine(int scanCode, bool fine, int bps) { return ScanTimeMs(scanCode, fine) * bps / 8000; }

int TcfByteCount(int bps) { return std::min(bps / 100 * 18, 8192); }

std::string StationIdField(std::string_view id) {
  if (id.size() > 20) id = id.substr(0, 20);
  std::string field(20 - id.size(), ' ');
  field.append(id.rbegin(), id.rend());
  return field;
}

std::string DecodeStationId(std::string_view field) {
  std::string id(field.rbegin(), field.rend());
  const auto first = id.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const auto last = id.find_last_not_of(' ');
  return id.substr(first, last - first + 1);
}

RemoteCapabilities DecodeDis(std::string_view info) {
  const std::uint8_t f2 = Byte(info, 1);
  const std::uint8_t f3 = Byte(info, 2);
  RemoteCapabilities caps;
  caps.speeds = SpeedBit(1) | SpeedBit(2);
  if (f2 & 0x20) {
    // V.17 (with V.27 ter and V.29): every rate up to 14400.
    caps.speeds |= SpeedBit(3) | SpeedBit(4) | SpeedBit(5) | SpeedBit(6);
  }
  if (f2 & 0x10) caps.speeds |= SpeedBit(5);
  if ((f2 & 0x0C) == 0x04) caps.speeds |= SpeedBit(4);
  if ((f2 & 0x0C) == 0x0C) caps.speeds |= SpeedBit(3) | SpeedBit(4);
  caps.fine = (f2 & 0x40) != 0;
  // Widths 255 mm and more all include 255 mm (2048 pixels).
  caps.wide = (f3 & 0x03) != 0;
  caps.scanCode = kScanFieldToCode[(f3 >> 4) & 7];
  caps.mr = (f2 & 0x80) != 0;
  const std::uint8_t f4 = (f3 & 0x80) ? Byte(info, 3) : 0;
  caps.ecm = (f4 & 0x04) != 0;
  caps.mmr = caps.ecm && (f4 & 0x40) != 0;
  return caps;
}

SessionParameters DecodeDcs(std::string_view info) {
  const std::uint8_t f2 = Byte(info, 1);
  const std::uint8_t f3 = Byte(info, 2);
  SessionParameters p;
  switch (f2 & 0x3C) {
    // Current T.30 V.17 codes.
    case 0x20: p.speedIndex = 6; p.v17 = true; break;
    case 0x28: p.speedIndex = 5; p.v17 = true; break;
    case 0x24: p.speedIndex = 4; p.v17 = true; break;
    case 0x2C: p.speedIndex = 3; p.v17 = true; break;
    // Older transmitters ask for 12000 with these.
    case 0x10:
    case 0x18: p.speedIndex = 5; p.v17 = true; break;
    default:
      if (f2 & 0x20) {
        p.speedIndex = 6;
        p.v17 = true;
      } else if (f2 & 0x10) {
        p.speedIndex = 5;
        p.v17 = true;
      } else {
        switch (f2 & 0x0C) {
          case 0x00: p.speedIndex = 1; break;
          case 0x04: p.speedIndex = 4; break;
          case 0x08: p.speedIndex = 2; break;
          default: p.speedIndex = 3; break;
        }
      }
  }
  p.fine = (f2 & 0x40) != 0;
  p.wide = (f3 & 0x03) != 0;
  p.scanCode = kScanFieldToCode[(f3 >> 4) & 7];
  const std::uint8_t f4 = (f3 & 0x80) ? Byte(info, 3) : 0;
  p.ecm = (f4 & 0x04) != 0;
  p.ecmFrameSize = (f4 & 0x08) ? 64 : 256;
  if (p.ecm && (f4 & 0x40)) p.coding = T4Coding::MMR;
  else if (f2 & 0x80) p.coding = T4Coding::MR;
  return p;
}

std::string EncodeDcs(int speedIndex, bool fine, bool wide, int remoteScanCode, CodingChoice choice) {
  std::string info(4, '\0');
  const bool mr = choice.coding == T4Coding::MR;
  const bool mmr = choice.ecm && choice.coding == T4Coding::MMR;
  info[1] = static_cast<char>(0x02 | (fine ? 0x40 : 0) | (mr ? 0x80 : 0) | RateBits(speedIndex));
  // Error correction sends page data without a minimum line time.
  const int scanMs = choice.ecm ? 0 : ScanTimeMs(remoteScanCode, fine);
  info[2] = static_cast<char>(0x88 | DcsScanField(scanMs) | (wide ? 0x01 : 0));
  info[3] = static_cast<char>((choice.ecm ? 0x04 : 0) | (mmr ? 0x40 : 0));
  return info;
}

std::uint8_t RateBits(int speedIndex) {
  return kDcsRateBits[static_cast<std::size_t>(std::clamp(speedIndex, kMinSpeedIndex, kMaxSpeedIndex))];
}

int SpeedIndexOfRateBits(std::uint8_t bits) {
  std::string info(2, '\0');
  info[1] = static_cast<char>(bits & 0x3C);
  return DecodeDcs(info).speedIndex;
}

std::string EncodeDis(SpeedMask receiveSpeeds, Facilities offer) {
  // Each DIS rate code promises every speed of its modulations (V.29: 9600
  // and 7200; V.17: 14400 down to 7200), so a code is offered only when the
  // modem can receive all of them; else the sender could pick a speed the
  // modem cannot receive.
  auto all = [&](std::initializer_list<int> indexes) {
    for (const int i : indexes) {
      if ((receiveSpeeds & SpeedBit(i)) == 0) return false;
    }
    return true;
  };
  std::uint8_t rate = 0x00;
  if (all({2, 3, 4, 5, 6})) {
    rate = 0x2C;
  } else if (all({2, 3, 4})) {
    rate = 0x0C;
  } else if (all({2})) {
    rate = 0x08;
  }
  std::string info(4, '\0');
  info[1] = static_cast<char>(0x42 | rate | (offer.maxCoding >= T4Coding::MR ? 0x80 : 0));
  info[2] = static_cast<char>(0xF9);
  info[3] = static_cast<char>((offer.ecm ? 0x04 : 0) | (offer.ecm && offer.maxCoding >= T4Coding::MMR ? 0x40 : 0));
  return info;
}

ReceiveModulation ModulationFor(const SessionParameters& params) {
  switch (params.speedIndex) {
    case 1: return {24, 24};
    case 2: return {48, 48};
    case 3: return params.v17 ? ReceiveModulation{73, 74} : ReceiveModulation{72, 72};
    case 4: return params.v17 ? ReceiveModulation{97, 98} : ReceiveModulation{96, 96};
    case 5: return {121, 122};
    default: return {145, 146};
  }
}

std::string BuildHdlcFrame(std::uint8_t fcf, std::string_view info, bool final) {
  std::string frame;
  frame.reserve(info.size() + 8);
  auto put = [&](std::uint8_t b) {
    frame.push_back(static_cast<char>(b));
    if (b == 0x10) frame.push_back(static_cast<char>(0x10));
  };
  put(0xFF);
  put(final ? kControlFinal : kControlNonFinal);
  put(fcf);
  for (char c : info) put(static_cast<std::uint8_t>(c));
  frame.push_back(static_cast<char>(0x10));
  frame.push_back(static_cast<char>(0x03));
  return frame;
}

std::size_t FrameCollector::Feed(std::string_view bytes) {
  std::size_t used = 0;
  auto append = [&](char b) {
    if (!started_) {
      if (static_cast<std::uint8_t>(b) != 0xFF) return;  // noise before the address
      started_ = true;
    }
    if (bytes_.size() < 1024) bytes_.push_back(b);
  };
  while (used < bytes.size() && !complete_) {
    const char b = bytes[used++];
    if (pendingDle_) {
      pendingDle_ = false;
      if (b == 0x03) {
        complete_ = true;
      } else if (b == 0x10) {
        append(b);
      } else if (b == 0x1A) {
        append(0x10);
        append(0x10);
      }
      continue;
    }
    if (b == 0x10) {
      pendingDle_ = true;
      continue;
    }
    append(b);
  }
  return used;
}

std::optional<Frame> FrameCollector::Take() {
  if (!complete_ || bytes_.size() < 3) return std::nullopt;
  std::string_view all = bytes_;
  // Modems pass the frame check sequence on; drop it when it checks out.
  if (all.size() >= 5 && FrameCheck(all) == kFrameCheckGood) all.remove_suffix(2);
  Frame f;
  f.control = static_cast<std::uint8_t>(all[1]);
  f.fcf = static_cast<std::uint8_t>(all[2]);
  f.info = std::string(all.substr(3));
  return f;
}

void FrameCollector::Reset() {
  bytes_.clear();
  started_ = false;
  pendingDle_ = false;
  complete_ = false;
}

}  // namespace tlm::t30
