#pragma once
// HDLC framing done by this program rather than by the modem: error
// correction bursts go through "AT+FTM"/"AT+FRM" as raw bits, so the flags,
// the zero-bit insertion and the frame check sequence are ours. Bits are
// packed into bytes least significant bit first, as the modem sends them.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tlm {

// Builds a burst of frames as the bytes to write after CONNECT (not yet
// DLE-shielded).
class HdlcBitWriter {
 public:
  // `count` flags (0x7E), never stuffed.
  void Flags(int count);
  // One frame: `bytes` (address, control, FCF, information) and its check
  // sequence, with a 0 inserted after every five 1s; then one flag.
  void Frame(std::string_view bytes);
  // The bytes so far, the last one completed with flag bits.
  std::string Take();

 private:
  void Bit(int bit);
  void Byte(std::uint8_t byte, bool stuff);

  std::string out_;
  std::uint8_t current_ = 0;
  int bits_ = 0;
  int ones_ = 0;
};

// Finds the frames in received raw bits: flags located bit by bit, inserted
// zeros dropped, seven 1s abort a frame. Only frames of at least
// `minLength` bytes whose check sequence is right reach `onFrame` (without
// the check sequence).
class HdlcBitReader {
 public:
  explicit HdlcBitReader(std::function<void(std::string_view frame)> onFrame, std::size_t minLength = 3)
      : onFrame_(std::move(onFrame)), minLength_(minLength) {}
  void Feed(std::string_view bytes);
  void Reset();
  // Frames dropped for a wrong check sequence or an abort since Reset().
  int BadFrames() const { return bad_; }

 private:
  void Bit(int bit);
  void EndFrame();

  std::function<void(std::string_view)> onFrame_;
  std::size_t minLength_;
  std::string frame_;
  std::uint8_t current_ = 0;
  int bits_ = 0;
  int ones_ = 0;
  bool inFrame_ = false;  // a flag was seen: bytes after it belong to a frame
  int bad_ = 0;
};

}  // namespace tlm
