#pragma once
// A byte ring: head (write index), tail (read index) and a full flag that
// tells a full ring from an empty one when head == tail. Not locked: the
// dispatcher guards each ring with its own lock.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tlm {

class ByteRing {
 public:
  explicit ByteRing(std::size_t size = 0) : data_(size) {}

  void Resize(std::size_t size);  // also empties the ring
  void Clear() { head_ = tail_ = 0; full_ = false; }

  std::size_t Size() const { return data_.size(); }
  std::size_t Used() const;
  std::size_t Free() const { return Size() - Used(); }
  bool Empty() const { return !full_ && head_ == tail_; }
  bool Full() const { return full_; }
  std::size_t Head() const { return head_; }
  std::size_t Tail() const { return tail_; }

  // Appends up to `count` bytes; returns how many fitted.
  std::size_t Write(const std::uint8_t* bytes, std::size_t count);
  // Copies `count` bytes starting `offset` bytes after the tail, without
  // consuming them; false when fewer are held.
  bool Peek(std::size_t offset, std::uint8_t* out, std::size_t count) const;
  std::uint8_t At(std::size_t offset) const { return data_[(tail_ + offset) % data_.size()]; }
  // The byte at absolute ring index `index` (wrapping).
  std::uint8_t AtIndex(std::size_t index) const { return data_[index % data_.size()]; }
  // Consumes `count` bytes (at most Used()).
  void Advance(std::size_t count);

  // The contiguous free region at the head / used region at the tail, for
  // reading from or writing to the device without a copy.
  std::uint8_t* WritePointer(std::size_t& contiguous);
  const std::uint8_t* ReadPointer(std::size_t& contiguous) const;
  void CommitWrite(std::size_t count);  // after filling WritePointer

 private:
  std::vector<std::uint8_t> data_;
  std::size_t head_ = 0;
  std::size_t tail_ = 0;
  bool full_ = false;
};

}  // namespace tlm
