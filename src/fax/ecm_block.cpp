#include "fax/ecm_block.h"

#include <algorithm>

#include "fax/hdlc_bits.h"
#include "fax/t30_frames.h"

namespace tlm {

namespace {
constexpr int kRcpCount = 3;
constexpr std::size_t kMapOctets = kEcmFramesPerBlock / 8;
std::string Header(std::uint8_t fcf) { return std::string{char(0xFF), char(t30::kControlNonFinal), char(fcf)}; }
}  // namespace

int EcmSyncFlags(int bps) { return std::max(bps / 40, 1); }

std::string EcmPpsInfo(std::uint8_t postPage, int page, int block, int frames) {
  return std::string{char(postPage), char(page & 0xFF), char(block & 0xFF), char((std::max(frames, 1) - 1) & 0xFF)};
}

bool ParseEcmPps(std::string_view info, EcmPps& pps) {
  if (info.size() < 4) return false;
  pps.postPage = std::uint8_t(info[0]);
  pps.page = std::uint8_t(info[1]);
  pps.block = std::uint8_t(info[2]);
  pps.frames = std::uint8_t(info[3]) + 1;
  return true;
}

std::string EcmRequestMap(const EcmFrameSet& missing, int frames) {
  std::string map(kMapOctets, '\0');
  for (int n = 0; n < kEcmFramesPerBlock; ++n) {
    if (n >= frames || missing.test(std::size_t(n))) map[std::size_t(n / 8)] = char(map[std::size_t(n / 8)] | (1 << (n % 8)));
  }
  return map;
}

EcmFrameSet ParseEcmRequestMap(std::string_view map, int frames) {
  EcmFrameSet set;
  for (int n = 0; n < frames && n < kEcmFramesPerBlock; ++n) {
    const std::size_t octet = std::size_t(n / 8);
    if (octet < map.size() && (std::uint8_t(map[octet]) >> (n % 8)) & 1) set.set(std::size_t(n));
  }
  return set;
}

void EcmPage::Reset(std::string coded, int frameSize) {
  coded_ = std::move(coded);
  frameSize_ = frameSize;
  // The last frame is padded: the frame size is fixed for the page.
  const std::size_t rest = coded_.size() % std::size_t(frameSize_);
  if (rest != 0 || coded_.empty()) coded_.append(std::size_t(frameSize_) - rest, '\0');
}

int EcmPage::BlockCount() const {
  const int frames = int(coded_.size() / std::size_t(frameSize_));
  return (frames + kEcmFramesPerBlock - 1) / kEcmFramesPerBlock;
}

int EcmPage::FrameCount(int block) const {
  const int frames = int(coded_.size() / std::size_t(frameSize_));
  return std::clamp(frames - block * kEcmFramesPerBlock, 0, kEcmFramesPerBlock);
}

std::string EcmPage::Burst(int block, const EcmFrameSet& frames, int syncFlags) const {
  HdlcBitWriter w;
  w.Flags(syncFlags);
  const int count = FrameCount(block);
  for (int n = 0; n < count; ++n) {
    if (!frames.test(std::size_t(n))) continue;
    std::string f = Header(t30::kFCD);
    f.push_back(char(n));
    const std::size_t at = (std::size_t(block) * kEcmFramesPerBlock + std::size_t(n)) * std::size_t(frameSize_);
    f.append(coded_, at, std::size_t(frameSize_));
    w.Frame(f);
  }
  for (int i = 0; i < kRcpCount; ++i) w.Frame(Header(t30::kRCP));
  w.Flags(2);
  return w.Take();
}

void EcmBlock::Reset() {
  for (auto& d : data_) d.clear();
  have_.reset();
  frames_ = 0;
}

bool EcmBlock::Take(std::string_view frame, bool& rcp) {
  rcp = false;
  if (frame.size() < 3 || std::uint8_t(frame[0]) != 0xFF) return false;
  const std::uint8_t fcf = std::uint8_t(frame[2]);
  if (fcf == t30::kRCP) {
    rcp = true;
    return true;
  }
  if (fcf != t30::kFCD || frame.size() < 5) return false;
  const std::size_t n = std::uint8_t(frame[3]);
  data_[n] = std::string(frame.substr(4));
  have_.set(n);
  return true;
}

void EcmBlock::Announce(int frames) { frames_ = std::max(frames_, std::clamp(frames, 0, kEcmFramesPerBlock)); }

EcmFrameSet EcmBlock::Missing() const {
  EcmFrameSet m;
  for (int n = 0; n < frames_; ++n) {
    if (!have_.test(std::size_t(n))) m.set(std::size_t(n));
  }
  return m;
}

std::string EcmBlock::Data() const {
  std::string out;
  for (int n = 0; n < frames_; ++n) out += data_[std::size_t(n)];
  return out;
}

}  // namespace tlm
