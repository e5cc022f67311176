#include "comm/byte_ring.h"

#include <algorithm>
#include <cstring>

namespace tlm {

void ByteRing::Resize(std::size_t size) {
  data_.assign(size, 0);
  Clear();
}

std::size_t ByteRing::Used() const {
  if (full_) return data_.size();
  return head_ >= tail_ ? head_ - tail_ : data_.size() - tail_ + head_;
}

std::size_t ByteRing::Write(const std::uint8_t* bytes, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    std::size_t room = 0;
    std::uint8_t* to = WritePointer(room);
    if (room == 0) break;
    const std::size_t piece = std::min(room, count - done);
    std::memcpy(to, bytes + done, piece);
    CommitWrite(piece);
    done += piece;
  }
  return done;
}

bool ByteRing::Peek(std::size_t offset, std::uint8_t* out, std::size_t count) const {
  if (offset + count > Used()) return false;
  std::size_t from = (tail_ + offset) % std::max<std::size_t>(data_.size(), 1);
  for (std::size_t done = 0; done < count;) {
    const std::size_t piece = std::min(count - done, data_.size() - from);
    std::memcpy(out + done, data_.data() + from, piece);
    done += piece;
    from = 0;
  }
  return true;
}

void ByteRing::Advance(std::size_t count) {
  count = std::min(count, Used());
  if (count == 0) return;
  tail_ = (tail_ + count) % data_.size();
  full_ = false;
}

std::uint8_t* ByteRing::WritePointer(std::size_t& contiguous) {
  if (full_ || data_.empty()) {
    contiguous = 0;
    return nullptr;
  }
  contiguous = head_ >= tail_ ? data_.size() - head_ : tail_ - head_;
  return data_.data() + head_;
}

const std::uint8_t* ByteRing::ReadPointer(std::size_t& contiguous) const {
  if (Empty()) {
    contiguous = 0;
    return nullptr;
  }
  // Not empty: either the bytes run up to the head, or (wrapped or full)
  // up to the end of the buffer.
  contiguous = head_ > tail_ ? head_ - tail_ : data_.size() - tail_;
  return data_.data() + tail_;
}

void ByteRing::CommitWrite(std::size_t count) {
  if (count == 0) return;
  head_ = (head_ + count) % data_.size();
  if (head_ == tail_) full_ = true;
}

}  // namespace tlm
