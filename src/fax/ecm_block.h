#pragma once
// Error correction in blocks: a coded page is cut into frames of 256
// octets, up to 256 frames make a block (partial page); after each block
// the receiver names the frames it lacks and only those are sent again.
// EcmPage is the sender's side, EcmBlock the receiver's.
#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tlm {

inline constexpr int kEcmFrameSize = 256;
inline constexpr int kEcmFramesPerBlock = 256;
inline constexpr int kEcmMaxRequests = 4;  // partial page requests per block before CTC or EOR
// Flags before a burst's first frame: 200 ms at the burst's rate.
int EcmSyncFlags(int bps);

// A set of frame numbers of one block (bit n = frame n).
using EcmFrameSet = std::bitset<kEcmFramesPerBlock>;

// The partial page signal's information field: the post-page command (0
// for more blocks of this page), the page and block counters and the
// block's frame count.
std::string EcmPpsInfo(std::uint8_t postPage, int page, int block, int frames);
struct EcmPps {
  std::uint8_t postPage = 0;
  int page = 0;
  int block = 0;
  int frames = 0;
};
bool ParseEcmPps(std::string_view info, EcmPps& pps);
// The 32-octet map of a partial page request: set bits are frames to send
// again (every bit from `frames` up is set).
std::string EcmRequestMap(const EcmFrameSet& missing, int frames);
EcmFrameSet ParseEcmRequestMap(std::string_view map, int frames);

// The sender's page.
class EcmPage {
 public:
  void Reset(std::string coded, int frameSize = kEcmFrameSize);
  int BlockCount() const;
  int FrameCount(int block) const;
  // The raw burst (flags, the chosen frames of `block`, three RCPs), not
  // DLE-shielded.
  std::string Burst(int block, const EcmFrameSet& frames, int syncFlags) const;
  std::size_t Size() const { return coded_.size(); }

 private:
  std::string coded_;
  int frameSize_ = kEcmFrameSize;
};

// The receiver's block.
class EcmBlock {
 public:
  void Reset();
  // A frame received in a burst (address, control, FCF, number, data).
  // False when it is not an FCD or RCP frame; `rcp` is set for an RCP.
  bool Take(std::string_view frame, bool& rcp);
  // The frame count the sender announced (the largest seen).
  void Announce(int frames);
  int Frames() const { return frames_; }
  EcmFrameSet Missing() const;
  bool Complete() const { return frames_ > 0 && Missing().none(); }
  // The block's data in frame order (missing frames left out).
  std::string Data() const;
  int Received() const { return int(have_.count()); }

 private:
  std::vector<std::string> data_ = std::vector<std::string>(kEcmFramesPerBlock);
  EcmFrameSet have_;
  int frames_ = 0;
};

}  // namespace tlm
