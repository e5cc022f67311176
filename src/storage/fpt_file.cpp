#include "storage/fpt_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/file_util.h"
#include "platform/os_error.h"
#include "storage/xbase_types.h"

namespace tlm::xbase {
namespace {

constexpr unsigned kHeaderSize = 512;
constexpr std::uint32_t kTextBlock = 1;


std::uint64_t BlocksFor(std::uint64_t bytes, unsigned blockSize) { return (bytes + blockSize - 1) / blockSize; }

}  // namespace

std::string MemoPathFor(const std::string& tablePath) {
  std::string memo = tablePath;
  if (memo.size() >= 3) {
    const bool lower = std::islower(static_cast<unsigned char>(memo.back()));
    memo.replace(memo.size() - 3, 3, lower ? "fpt" : "FPT");
  }
  return memo;
}

FptFile::~FptFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool FptFile::Create(const std::string& path, unsigned blockSize, std::string& error) {
  unsigned char header[kHeaderSize] = {};
  PutBe32(header, static_cast<std::uint32_t>(BlocksFor(kHeaderSize, blockSize)));
  PutBe16(header + 6, static_cast<std::uint16_t>(blockSize));
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const bool ok = fd >= 0 && PWriteAll(fd, header, sizeof header, 0);
  if (!ok) error = FileErrorMessage("Cannot create", path);
  if (fd >= 0) ::close(fd);
  return ok;
}

std::unique_ptr<FptFile> FptFile::Open(const std::string& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    error = FileErrorMessage("Cannot open the memo file", path);
    return nullptr;
  }
  std::unique_ptr<FptFile> f(new FptFile);
  f->fd_ = fd;
  f->path_ = path;
  struct stat st{};
  if (::fstat(fd, &st) != 0) {
    error = FileErrorMessage("Cannot read", path);
    return nullptr;
  }
  f->size_ = static_cast<std::uint64_t>(st.st_size);
  unsigned char h[8];
  if (f->FileSize() < 8 || !PReadAll(fd, h, 8, 0)) {
    error = "The memo file " + path + " is damaged: it is too short";
    return nullptr;
  }
  f->nextFree_ = GetBe32(h);
  f->blockSize_ = GetBe16(h + 6);
  if (f->blockSize_ == 0) {
    error = "The memo file " + path + " is damaged: its block size is 0";
    return nullptr;
  }
  return f;
}

bool FptFile::ReadFromImage(const unsigned char* data, std::size_t size, std::uint32_t block, std::string& text,
                            std::string& error) {
  text.clear();
  if (size < 8) {
    error = "the memo file is too short";
    return false;
  }
  const unsigned blockSize = GetBe16(data + 6);
  if (blockSize == 0) {
    error = "the memo file's block size is 0";
    return false;
  }
  if (block == 0) return true;
  const std::uint64_t at = std::uint64_t(block) * blockSize;
  if (at < kHeaderSize || at + 8 > size) {
    error = "memo block " + std::to_string(block) + " lies outside the memo file";
    return false;
  }
  const std::uint32_t length = GetBe32(data + at + 4);
  if (at + 8 + length > size) {
    error = "memo block " + std::to_string(block) + " runs past the end of the memo file";
    return false;
  }
  text.assign(reinterpret_cast<const char*>(data + at + 8), length);
  return true;
}

bool FptFile::Read(std::uint32_t block, std::string& text, std::string& error) const {
  text.clear();
  if (block == 0) return true;
  const std::uint64_t size = FileSize();
  const std::uint64_t at = std::uint64_t(block) * blockSize_;
  unsigned char h[8];
  if (at < kHeaderSize || at + 8 > size || !PReadAll(fd_, h, 8, static_cast<off_t>(at))) {
    error = "The memo file " + path_ + " is damaged: memo block " + std::to_string(block) + " lies outside it";
    return false;
  }
  const std::uint32_t length = GetBe32(h + 4);
  if (at + 8 + length > size) {
    error = "The memo file " + path_ + " is damaged: the memo at block " + std::to_string(block) +
            " runs past its end";
    return false;
  }
  text.resize(length);
  if (length && !PReadAll(fd_, text.data(), length, static_cast<off_t>(at + 8))) {
    error = FileErrorMessage("Cannot read", path_);
    text.clear();
    return false;
  }
  return true;
}

bool FptFile::Write(std::uint32_t oldBlock, const std::string& text, std::uint32_t& block, std::string& error) {
  const std::uint64_t size = FileSize();
  const std::uint64_t need = BlocksFor(8 + text.size(), blockSize_);
  std::uint64_t target = 0;
  if (oldBlock != 0) {
    const std::uint64_t at = std::uint64_t(oldBlock) * blockSize_;
    unsigned char h[8];
    if (at >= kHeaderSize && at + 8 <= size && PReadAll(fd_, h, 8, static_cast<off_t>(at))) {
      const std::uint64_t oldLength = GetBe32(h + 4);
      if (at + 8 + oldLength <= size && BlocksFor(8 + oldLength, blockSize_) >= need) target = oldBlock;
    }
  }
  const bool append = target == 0;
  if (append) {
    // Never trust a next-free pointer that points into used blocks.
    target = std::max<std::uint64_t>({nextFree_, BlocksFor(size, blockSize_), BlocksFor(kHeaderSize, blockSize_)});
  }
  if (target + need > 0xFFFFFFFFull) {
    error = "The memo file " + path_ + " is full";
    return false;
  }
  std::vector<unsigned char> buf(8 + text.size());
  PutBe32(buf.data(), kTextBlock);
  PutBe32(buf.data() + 4, static_cast<std::uint32_t>(text.size()));
  if (!text.empty()) std::memcpy(buf.data() + 8, text.data(), text.size());
  if (!PWriteAll(fd_, buf.data(), buf.size(), static_cast<off_t>(target * blockSize_))) {
    error = FileErrorMessage("Cannot write", path_);
    struct stat st{};
    if (::fstat(fd_, &st) == 0) size_ = static_cast<std::uint64_t>(st.st_size);
    return false;
  }
  size_ = std::max<std::uint64_t>(size_, target * blockSize_ + buf.size());
  if (append) {
    unsigned char nf[4];
    PutBe32(nf, static_cast<std::uint32_t>(target + need));
    if (!PWriteAll(fd_, nf, 4, 0)) {
      error = FileErrorMessage("Cannot write", path_);
      return false;
    }
    nextFree_ = static_cast<std::uint32_t>(target + need);
  }
  block = static_cast<std::uint32_t>(target);
  return true;
}

FptBuilder::FptBuilder(std::string path, unsigned blockSize) : path_(std::move(path)), blockSize_(blockSize) {}

FptBuilder::~FptBuilder() {
  if (fd_ >= 0) ::close(fd_);
}

bool FptBuilder::Start(std::string& error) {
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    error = FileErrorMessage("Cannot create", path_);
    return false;
  }
  nextBlock_ = BlocksFor(kHeaderSize, blockSize_);
  bufferStart_ = nextBlock_ * blockSize_;
  // The header's place is filled at Finish; until then the file is not used.
  buffer_.clear();
  return true;
}

bool FptBuilder::FlushBuffer(std::string& error) {
  if (buffer_.empty()) return true;
  if (!PWriteAll(fd_, buffer_.data(), buffer_.size(), static_cast<off_t>(bufferStart_))) {
    error = FileErrorMessage("Cannot write", path_);
    return false;
  }
  bufferStart_ += buffer_.size();
  buffer_.clear();
  return true;
}

bool FptBuilder::Append(const std::string& text, std::uint32_t& block, std::string& error) {
  const std::uint64_t blocks = BlocksFor(8 + text.size(), blockSize_);
  if (nextBlock_ + blocks > 0xFFFFFFFFull) {
    error = "The memo file " + path_ + " is full";
    return false;
  }
  unsigned char h[8];
  PutBe32(h, kTextBlock);
  PutBe32(h + 4, static_cast<std::uint32_t>(text.size()));
  buffer_.append(reinterpret_cast<const char*>(h), 8);
  buffer_.append(text);
  buffer_.append(static_cast<std::size_t>(blocks * blockSize_ - 8 - text.size()), '\0');
  block = static_cast<std::uint32_t>(nextBlock_);
  nextBlock_ += blocks;
  return buffer_.size() < (1u << 20) || FlushBuffer(error);
}

bool FptBuilder::Finish(std::string& error) {
  if (!FlushBuffer(error)) return false;
  unsigned char header[kHeaderSize] = {};
  PutBe32(header, static_cast<std::uint32_t>(nextBlock_));
  PutBe16(header + 6, static_cast<std::uint16_t>(blockSize_));
  if (!PWriteAll(fd_, header, sizeof header, 0) || ::ftruncate(fd_, static_cast<off_t>(bufferStart_)) != 0) {
    error = FileErrorMessage("Cannot write", path_);
    return false;
  }
  ::close(fd_);
  fd_ = -1;
  return true;
}

}  // namespace tlm::xbase
