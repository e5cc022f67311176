#include "faximage/binary_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "faximage/fax_errors.h"

namespace tlm {

BinaryFile::~BinaryFile() { Close(); }

int BinaryFile::Open(const std::string& path, Mode mode) {
  Close();
  if (path.empty()) return -ecFileNotFound;
  int flags = O_RDONLY;
  if (mode == Mode::kReadWrite) flags = O_RDWR;
  if (mode == Mode::kCreate) flags = O_RDWR | O_CREAT | O_TRUNC;
  fd_ = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
  if (fd_ < 0) return -errno;
  struct stat st {};
  if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
    Close();
    return -EISDIR;
  }
  position_ = 0;
  return 0;
}

int BinaryFile::Close() {
  if (fd_ < 0) return 0;
  const int rc = ::close(fd_);
  fd_ = -1;
  return rc == 0 ? 0 : -errno;
}

long BinaryFile::Read(void* data, std::size_t n) {
  for (;;) {
    const ssize_t got = ::pread(fd_, data, n, static_cast<off_t>(position_));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -errno;
    position_ += static_cast<std::uint64_t>(got);
    return static_cast<long>(got);
  }
}

int BinaryFile::ReadExact(void* data, std::size_t n, int shortResult) {
  auto* p = static_cast<std::uint8_t*>(data);
  while (n > 0) {
    const long got = Read(p, n);
    if (got < 0) return static_cast<int>(got);
    if (got == 0) return shortResult;
    p += got;
    n -= static_cast<std::size_t>(got);
  }
  return 0;
}

int BinaryFile::Write(const void* data, std::size_t n) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  while (n > 0) {
    const ssize_t put = ::pwrite(fd_, p, n, static_cast<off_t>(position_));
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return -errno;
    if (put == 0) return -ENOSPC;
    position_ += static_cast<std::uint64_t>(put);
    p += put;
    n -= static_cast<std::size_t>(put);
  }
  return 0;
}

int BinaryFile::Seek(std::uint64_t offset) {
  position_ = offset;
  return 0;
}

std::int64_t BinaryFile::Size() const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return -errno;
  return st.st_size;
}

int BinaryFile::Status(struct stat& out) const { return ::fstat(fd_, &out) == 0 ? 0 : -errno; }

int BinaryFile::Truncate(std::uint64_t size) {
  return ::ftruncate(fd_, static_cast<off_t>(size)) == 0 ? 0 : -errno;
}

int BinaryFile::Sync() { return ::fsync(fd_) == 0 ? 0 : -errno; }

int ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& out, std::uint64_t maxBytes,
                  int tooBigResult) {
  out.clear();
  BinaryFile f;
  if (const int rc = f.Open(path, BinaryFile::Mode::kRead); rc != 0) return rc;
  const std::int64_t size = f.Size();
  if (size < 0) return static_cast<int>(size);
  if (static_cast<std::uint64_t>(size) > maxBytes) return tooBigResult;
  out.resize(static_cast<std::size_t>(size));
  const int rc = f.ReadExact(out.data(), out.size(), tooBigResult);
  if (rc != 0) out.clear();
  return rc;
}

}  // namespace tlm
