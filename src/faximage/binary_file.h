#pragma once
// A file opened for binary reading or writing, reporting failures as the
// layer's negative result codes (a negated errno). Small and explicit: the
// APF, image and export code all read and write through it.
#include <cstddef>
#include <cstdint>
#include <sys/stat.h>
#include <string>
#include <vector>

namespace tlm {

class BinaryFile {
 public:
  enum class Mode { kRead, kReadWrite, kCreate };

  BinaryFile() = default;
  ~BinaryFile();
  BinaryFile(const BinaryFile&) = delete;
  BinaryFile& operator=(const BinaryFile&) = delete;

  // 0, or -2 for an empty name, or the negated errno.
  int Open(const std::string& path, Mode mode);
  // 0 or the negated errno of a failed final write.
  int Close();
  bool IsOpen() const { return fd_ >= 0; }

  // Reads up to `n` bytes at the current position; the count read or a
  // negated errno.
  long Read(void* data, std::size_t n);
  // Reads exactly `n` bytes; 0, or `shortResult` when the file ends first.
  int ReadExact(void* data, std::size_t n, int shortResult);
  int Write(const void* data, std::size_t n);
  int Seek(std::uint64_t offset);
  std::uint64_t Position() const { return position_; }
  // The file's size, or a negated errno.
  std::int64_t Size() const;
  int Truncate(std::uint64_t size);
  // The file's status (identity, size, times); 0 or a negated errno.
  int Status(struct stat& out) const;
  // Waits until the file's data is on the storage device.
  int Sync();

 private:
  int fd_ = -1;
  std::uint64_t position_ = 0;
};

// Reads a whole file; 0, -2 for an empty name, or the negated errno.
// Files above `maxBytes` are refused with `tooBigResult`.
int ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& out, std::uint64_t maxBytes,
                  int tooBigResult);

// Little-endian access to byte buffers.
inline std::uint16_t GetLe16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
inline std::uint32_t GetLe32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}
inline void PutLe16(std::uint8_t* p, std::uint32_t v) {
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
}
inline void PutLe32(std::uint8_t* p, std::uint32_t v) {
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
  p[2] = std::uint8_t(v >> 16);
  p[3] = std::uint8_t(v >> 24);
}

}  // namespace tlm
