#pragma once
// An FPT memo file: a 512-byte header (next free block, block size, both
// big-endian) and memos stored in runs of blocks, each with an 8-byte header
// (type, length).
#include <cstdint>
#include <memory>
#include <string>

namespace tlm::xbase {

class FptFile {
 public:
  ~FptFile();
  FptFile(const FptFile&) = delete;
  FptFile& operator=(const FptFile&) = delete;

  static std::unique_ptr<FptFile> Open(const std::string& path, std::string& error);
  // Writes an empty memo file (replacing any file of that name).
  static bool Create(const std::string& path, unsigned blockSize, std::string& error);

  // Memo text starting at `block` (0 = no memo, gives ""). A memo whose length
  // runs past the end of the file, or a block outside it, is an error.
  bool Read(std::uint32_t block, std::string& text, std::string& error) const;

  // Stores `text` and returns its block in `block`: in place when it fits in
  // the blocks of the memo at `oldBlock`, otherwise at the end. The data is
  // written before the header's next-free pointer moves past it.
  bool Write(std::uint32_t oldBlock, const std::string& text, std::uint32_t& block, std::string& error);

  unsigned BlockSize() const { return blockSize_; }

  // Reads a memo from a file image in memory (shared with the fuzz target).
  static bool ReadFromImage(const unsigned char* data, std::size_t size, std::uint32_t block, std::string& text,
                            std::string& error);

 private:
  FptFile() = default;
  std::uint64_t FileSize() const { return size_; }

  std::string path_;
  int fd_ = -1;
  unsigned blockSize_ = 64;
  std::uint32_t nextFree_ = 0;
  std::uint64_t size_ = 0;  // the file is ours alone while open
};

// Writes a new memo file from start to end (a pack copies live memos into
// one): memos are gathered in a buffer and written in large pieces, and the
// header last.
class FptBuilder {
 public:
  FptBuilder(std::string path, unsigned blockSize);
  ~FptBuilder();
  FptBuilder(const FptBuilder&) = delete;
  FptBuilder& operator=(const FptBuilder&) = delete;

  bool Start(std::string& error);
  bool Append(const std::string& text, std::uint32_t& block, std::string& error);
  // Writes the rest and the header; the file is complete afterwards.
  bool Finish(std::string& error);

 private:
  bool FlushBuffer(std::string& error);

  std::string path_;
  unsigned blockSize_;
  int fd_ = -1;
  std::uint64_t nextBlock_ = 0;    // the block the next memo starts at
  std::uint64_t bufferStart_ = 0;  // file offset of buffer_[0]
  std::string buffer_;
};

// Path of the memo file of a table: its extension replaced by FPT.
std::string MemoPathFor(const std::string& tablePath);

}  // namespace tlm::xbase
