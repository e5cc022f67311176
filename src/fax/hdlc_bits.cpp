#include "fax/hdlc_bits.h"

#include "fax/t30_frames.h"

namespace tlm {

namespace {
constexpr std::uint8_t kFlag = 0x7E;
constexpr std::size_t kMaxFrame = 4096;
}  // namespace

void HdlcBitWriter::Bit(int bit) {
  current_ = static_cast<std::uint8_t>(current_ | (bit << bits_));
  if (++bits_ == 8) {
    out_.push_back(static_cast<char>(current_));
    current_ = 0;
    bits_ = 0;
  }
}

void HdlcBitWriter::Byte(std::uint8_t byte, bool stuff) {
  for (int i = 0; i < 8; ++i) {
    const int bit = (byte >> i) & 1;
    Bit(bit);
    if (!stuff) continue;
    ones_ = bit ? ones_ + 1 : 0;
    if (ones_ == 5) {
      Bit(0);
      ones_ = 0;
    }
  }
}

void HdlcBitWriter::Flags(int count) {
  for (int i = 0; i < count; ++i) Byte(kFlag, false);
  ones_ = 0;
}

void HdlcBitWriter::Frame(std::string_view bytes) {
  ones_ = 0;
  for (const char c : bytes) Byte(static_cast<std::uint8_t>(c), true);
  const std::uint16_t fcs = static_cast<std::uint16_t>(~t30::FrameCheck(bytes));
  Byte(static_cast<std::uint8_t>(fcs & 0xFF), true);
  Byte(static_cast<std::uint8_t>(fcs >> 8), true);
  Flags(1);
}

std::string HdlcBitWriter::Take() {
  // Complete the last byte with the start of a further flag: the receiver
  // sees idle flag bits, never a stray frame.
  for (int i = 0; bits_ != 0; ++i) Bit((kFlag >> i) & 1);
  std::string out;
  out.swap(out_);
  return out;
}

void HdlcBitReader::Reset() {
  frame_.clear();
  current_ = 0;
  bits_ = ones_ = 0;
  inFrame_ = false;
  bad_ = 0;
}

void HdlcBitReader::Feed(std::string_view bytes) {
  for (const char c : bytes) {
    const auto byte = static_cast<std::uint8_t>(c);
    for (int i = 0; i < 8; ++i) Bit((byte >> i) & 1);
  }
}

void HdlcBitReader::Bit(int bit) {
  if (bit) {
    if (++ones_ >= 7) {  // abort (or an idle line): no frame here
      if (inFrame_ && !frame_.empty()) ++bad_;
      inFrame_ = false;
      frame_.clear();
      bits_ = 0;
    }
    if (inFrame_) {
      current_ = static_cast<std::uint8_t>(current_ | (1 << bits_));
      if (++bits_ == 8) {
        if (frame_.size() < kMaxFrame) frame_.push_back(static_cast<char>(current_));
        current_ = 0;
        bits_ = 0;
      }
    }
    return;
  }
  if (ones_ == 6) {  // a flag: ends one frame, starts the next
    // The flag's first seven bits went into the frame being collected.
    EndFrame();
    inFrame_ = true;
    ones_ = 0;
    return;
  }
  if (ones_ == 5) {  // an inserted zero
    ones_ = 0;
    return;
  }
  ones_ = 0;
  if (inFrame_) {
    if (++bits_ == 8) {
      if (frame_.size() < kMaxFrame) frame_.push_back(static_cast<char>(current_));
      current_ = 0;
      bits_ = 0;
    }
  }
}

void HdlcBitReader::EndFrame() {
  // The flag's leading 0 and six 1s were taken as data bits: the frame is
  // the whole bytes before them.
  const int flagBits = 7;
  const int extra = bits_;  // bits of the incomplete byte
  std::size_t keepBits = frame_.size() * 8 + std::size_t(extra);
  keepBits = keepBits >= flagBits ? keepBits - flagBits : 0;
  const bool whole = keepBits % 8 == 0;
  const std::size_t bytes = keepBits / 8;
  if (inFrame_ && bytes > 0) {
    if (!whole || bytes < minLength_ + 2) {
      ++bad_;
    } else {
      const std::string_view f(frame_.data(), bytes);
      if (t30::FrameCheck(f) == t30::kFrameCheckGood) onFrame_(f.substr(0, bytes - 2));
      else ++bad_;
    }
  }
  frame_.clear();
  current_ = 0;
  bits_ = 0;
}

}  // namespace tlm
