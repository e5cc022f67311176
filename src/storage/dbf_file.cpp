#include "storage/dbf_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/file_util.h"
#include "platform/os_error.h"
#include "storage/fpt_file.h"

namespace tlm::xbase {
namespace {

constexpr unsigned char kVersionPlain = 0x03;
constexpr unsigned char kVersionFoxMemo = 0xF5;
constexpr unsigned char kEndOfFile = 0x1A;
constexpr unsigned char kCodePage1252 = 0x03;
constexpr unsigned kMaxRecordLength = 65500;


// Locks the whole file for this open; false with errno EWOULDBLOCK when held.
bool LockExclusive(int fd) {
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

std::string InUseText(const std::string& path) {
  return "The table " + path + " is in use by another program";
}

std::vector<unsigned char> BuildHeader(const std::vector<FieldDef>& fields, unsigned recordLength,
                                       bool hasMemo) {
  const unsigned headerLength = 32 + 32 * static_cast<unsigned>(fields.size()) + 1;
  std::vector<unsigned char> h(headerLength, 0);
  h[0] = hasMemo ? kVersionFoxMemo : kVersionPlain;
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&now, &tm);
  h[1] = static_cast<unsigned char>(tm.tm_year % 100);
  h[2] = static_cast<unsigned char>(tm.tm_mon + 1);
  h[3] = static_cast<unsigned char>(tm.tm_mday);
  PutLe32(&h[4], 0);
  PutLe16(&h[8], static_cast<std::uint16_t>(headerLength));
  PutLe16(&h[10], static_cast<std::uint16_t>(recordLength));
  h[29] = kCodePage1252;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    unsigned char* d = &h[32 + 32 * i];
    std::memcpy(d, fields[i].name.data(), std::min<std::size_t>(fields[i].name.size(), 10));
    d[11] = static_cast<unsigned char>(fields[i].type);
    PutLe32(d + 12, static_cast<std::uint32_t>(fields[i].offset));
    d[16] = static_cast<unsigned char>(fields[i].width);
    d[17] = static_cast<unsigned char>(fields[i].decimals);
  }
  h[headerLength - 1] = 0x0D;
  return h;
}

}  // namespace

DbfFile::~DbfFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool DbfFile::HasMemo() const {
  for (const auto& f : fields_)
    if (f.type == FieldType::kMemo) return true;
  return false;
}

int DbfFile::FieldIndex(const std::string& name) const {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    const std::string& n = fields_[i].name;
    if (n.size() != name.size()) continue;
    bool same = true;
    for (std::size_t k = 0; k < n.size() && same; ++k)
      same = std::toupper(static_cast<unsigned char>(n[k])) == std::toupper(static_cast<unsigned char>(name[k]));
    if (same) return static_cast<int>(i);
  }
  return -1;
}

void DbfFile::BlankField(const FieldDef& field, char* at) { std::memset(at, ' ', field.width); }

bool DbfFile::ParseHeader(const unsigned char* data, std::size_t size, std::vector<FieldDef>& fields,
                          unsigned& headerLength, unsigned& recordLength, std::uint32_t& recordCount,
                          unsigned char& version, std::string& error) {
  fields.clear();
  if (size < 32) {
    error = "the file is too short for a table header";
    return false;
  }
  version = data[0];
  switch (version) {
    case 0x03: case 0x83: case 0xF5: case 0x30: case 0x31: case 0x8B: break;
    default:
      error = "unknown table version byte " + std::to_string(version);
      return false;
  }
  recordCount = GetLe32(data + 4);
  headerLength = GetLe16(data + 8);
  recordLength = GetLe16(data + 10);
  if (headerLength < 32 + 32 + 1 || recordLength < 2) {
    error = "the table header is damaged (lengths out of range)";
    return false;
  }
  if (size < headerLength) {
    error = "the table header is cut short";
    return false;
  }
  unsigned offset = 1;
  for (unsigned at = 32; at + 32 <= headerLength && data[at] != 0x0D; at += 32) {
    const unsigned char* d = data + at;
    FieldDef f;
    for (int i = 0; i < 11 && d[i] != 0; ++i) f.name.push_back(static_cast<char>(d[i]));
    if (f.name.empty()) {
      error = "the table has a field without a name";
      return false;
    }
    for (char c : f.name)
      if (!std::isprint(static_cast<unsigned char>(c))) {
        error = "the table has a damaged field name";
        return false;
      }
    char type = static_cast<char>(std::toupper(d[11]));
    if (type == 'F') type = 'N';
    if (!IsKnownFieldType(type)) {
      error = "field " + f.name + " has the unsupported type '" + std::string(1, static_cast<char>(d[11])) + "'";
      return false;
    }
    f.type = static_cast<FieldType>(type);
    f.width = d[16];
    f.decimals = d[17];
    const bool widthOk = f.width >= 1 && (f.type != FieldType::kDate || f.width == 8) &&
                         (f.type != FieldType::kLogical || f.width == 1) &&
                         (f.type != FieldType::kMemo || f.width == 10 || f.width == 4) &&
                         (f.type != FieldType::kNumeric || (f.width <= 20 && f.decimals < f.width));
    if (!widthOk) {
      error = "field " + f.name + " has an invalid width";
      return false;
    }
    if (f.type != FieldType::kNumeric) f.decimals = 0;
    f.offset = static_cast<int>(offset);
    offset += static_cast<unsigned>(f.width);
    fields.push_back(std::move(f));
    if (fields.size() > 255) break;
  }
  if (fields.empty()) {
    error = "the table has no fields";
    return false;
  }
  if (offset != recordLength) {
    error = "the table header is damaged (record length does not match the fields)";
    return false;
  }
  if (32 + 32 * fields.size() + 1 > headerLength) {
    error = "the table header is damaged (field list runs past the header)";
    return false;
  }
  return true;
}

bool DbfFile::Create(const std::string& path, const std::vector<FieldDef>& given, std::string& error) {
  if (given.empty() || given.size() > 255) {
    error = "a table needs 1 to 255 fields";
    return false;
  }
  std::vector<FieldDef> fields = given;
  unsigned offset = 1;
  bool hasMemo = false;
  for (auto& f : fields) {
    for (auto& c : f.name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (f.name.empty() || f.name.size() > 10) {
      error = "field name \"" + f.name + "\" must have 1 to 10 characters";
      return false;
    }
    const int fixed = FixedWidthOf(f.type);
    if (fixed) f.width = fixed, f.decimals = 0;
    if (f.width < 1 || f.width > 254 || (f.type == FieldType::kNumeric && (f.width > 20 || f.decimals >= f.width)) ||
        f.decimals < 0) {
      error = "field " + f.name + " has an invalid width";
      return false;
    }
    if (f.type != FieldType::kNumeric) f.decimals = 0;
    f.offset = static_cast<int>(offset);
    offset += static_cast<unsigned>(f.width);
    hasMemo = hasMemo || f.type == FieldType::kMemo;
  }
  if (offset > kMaxRecordLength) {
    error = "the record is too long";
    return false;
  }
  for (std::size_t i = 0; i < fields.size(); ++i)
    for (std::size_t k = 0; k < i; ++k)
      if (fields[i].name == fields[k].name) {
        error = "field " + fields[i].name + " is listed twice";
        return false;
      }
  std::vector<unsigned char> header = BuildHeader(fields, offset, hasMemo);
  header.push_back(kEndOfFile);

  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = FileErrorMessage("Cannot create", path);
    return false;
  }
  bool ok = PWriteAll(fd, header.data(), header.size(), 0);
  if (!ok) error = FileErrorMessage("Cannot write", path);
  ::close(fd);
  if (ok && hasMemo) ok = FptFile::Create(MemoPathFor(path), 64, error);
  if (!ok) ::unlink(path.c_str());
  return ok;
}

std::unique_ptr<DbfFile> DbfFile::Open(const std::string& path, std::string& error, bool* repaired) {
  if (repaired) *repaired = false;
  {
    // A pack cut off by a crash is completed (or undone) under the lock of
    // the table as it is now.
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd >= 0) {
      const bool locked = LockExclusive(fd);
      const bool finished = !locked || FinishPack(path, error);
      ::close(fd);
      if (!finished) return nullptr;
    }
  }
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    error = FileErrorMessage("Cannot open", path);
    return nullptr;
  }
  std::unique_ptr<DbfFile> t(new DbfFile);
  t->fd_ = fd;
  t->path_ = path;
  if (!LockExclusive(fd)) {
    error = errno == EWOULDBLOCK ? InUseText(path) : FileErrorMessage("Cannot lock", path);
    return nullptr;
  }
  struct stat st{};
  if (::fstat(fd, &st) != 0) {
    error = FileErrorMessage("Cannot read", path);
    return nullptr;
  }
  const std::size_t fileSize = static_cast<std::size_t>(st.st_size);
  unsigned char fixed[32];
  if (fileSize < 32 || !PReadAll(fd, fixed, 32, 0)) {
    error = "The table " + path + " is damaged: the file is too short for a table header";
    return nullptr;
  }
  const unsigned headerLength = GetLe16(fixed + 8);
  std::vector<unsigned char> header(std::max<unsigned>(headerLength, 32));
  if (headerLength > fileSize || !PReadAll(fd, header.data(), header.size(), 0) ||
      !ParseHeader(header.data(), header.size(), t->fields_, t->headerLength_, t->recordLength_, t->count_,
                   t->version_, error)) {
    if (headerLength > fileSize) error = "the table header is cut short";
    error = "The table " + path + " is damaged: " + error;
    return nullptr;
  }
  // Trust the complete records actually in the file.
  const std::uint64_t complete = (fileSize - t->headerLength_) / t->recordLength_;
  if (complete != t->count_) {
    t->count_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(complete, 0xFFFFFFFFu));
    std::string ignored;
    if (!t->WriteHeaderCount(ignored)) {
      error = ignored;
      return nullptr;
    }
    if (repaired) *repaired = true;
  }
  return t;
}

bool DbfFile::Read(std::uint32_t recno, char* out, std::string& error) const {
  return ReadMany(recno, 1, out, error);
}

bool DbfFile::ReadMany(std::uint32_t first, std::uint32_t n, char* out, std::string& error) const {
  if (first < 1 || n == 0 || first - 1 + std::uint64_t(n) > count_) {
    error = "record " + std::to_string(first) + " is out of range";
    return false;
  }
  const off_t at = static_cast<off_t>(headerLength_) + static_cast<off_t>(first - 1) * recordLength_;
  if (!PReadAll(fd_, out, std::size_t(n) * recordLength_, at)) {
    error = FileErrorMessage("Cannot read", path_);
    return false;
  }
  return true;
}

bool DbfFile::StampDate(std::string& error) {
  if (dateStamped_) return true;
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&now, &tm);
  const unsigned char ymd[3] = {static_cast<unsigned char>(tm.tm_year % 100),
                                static_cast<unsigned char>(tm.tm_mon + 1), static_cast<unsigned char>(tm.tm_mday)};
  if (!PWriteAll(fd_, ymd, 3, 1)) {
    error = FileErrorMessage("Cannot write", path_);
    return false;
  }
  dateStamped_ = true;
  return true;
}

bool DbfFile::Write(std::uint32_t recno, const char* record, std::string& error) {
  if (recno < 1 || recno > count_) {
    error = "record " + std::to_string(recno) + " is out of range";
    return false;
  }
  if (!StampDate(error)) return false;
  const off_t at = static_cast<off_t>(headerLength_) + static_cast<off_t>(recno - 1) * recordLength_;
  if (!PWriteAll(fd_, record, recordLength_, at)) {
    error = FileErrorMessage("Cannot write", path_);
    return false;
  }
  return true;
}

bool DbfFile::WriteHeaderCount(std::string& error) {
  unsigned char c[4];
  PutLe32(c, count_);
  if (!PWriteAll(fd_, c, 4, 4)) {
    error = FileErrorMessage("Cannot write", path_);
    return false;
  }
  return true;
}

bool DbfFile::Append(const char* record, std::string& error) {
  if (count_ == 0xFFFFFFFFu) {
    error = "the table is full";
    return false;
  }
  if (!StampDate(error)) return false;
  std::vector<char> buf(recordLength_ + 1);
  std::memcpy(buf.data(), record, recordLength_);
  buf[recordLength_] = static_cast<char>(kEndOfFile);
  const off_t at = static_cast<off_t>(headerLength_) + static_cast<off_t>(count_) * recordLength_;
  if (!PWriteAll(fd_, buf.data(), buf.size(), at)) {
    error = FileErrorMessage("Cannot write", path_);
    // Remove a partly written record so the file keeps whole records only.
    if (::ftruncate(fd_, at) == 0) {
      const char eof = static_cast<char>(kEndOfFile);
      PWriteAll(fd_, &eof, 1, at);
    }
    return false;
  }
  ++count_;
  if (!WriteHeaderCount(error)) {
    --count_;
    return false;
  }
  return true;
}

bool DbfFile::SetStructuralIndexFlag(bool on, std::string& error) {
  unsigned char flags = 0;
  if (!PReadAll(fd_, &flags, 1, 28)) {
    error = FileErrorMessage("Cannot read", path_);
    return false;
  }
  const unsigned char want = on ? (flags | 0x01) : (flags & ~0x01);
  if (want == flags) return true;
  if (!PWriteAll(fd_, &want, 1, 28)) {
    error = FileErrorMessage("Cannot write", path_);
    return false;
  }
  return true;
}

bool DbfFile::FinishPack(const std::string& path, std::string& error) {
  const std::string temp = PackTempPath(path), marker = PackMarkerPath(path);
  const std::string memo = MemoPathFor(path), memoTemp = PackTempPath(memo);
  if (::access(marker.c_str(), F_OK) == 0) {
    // Both new files were complete when the marker was written.
    if (::access(memoTemp.c_str(), F_OK) == 0 && ::rename(memoTemp.c_str(), memo.c_str()) != 0) {
      error = FileErrorMessage("Cannot finish packing", memo);
      return false;
    }
    if (::access(temp.c_str(), F_OK) == 0 && ::rename(temp.c_str(), path.c_str()) != 0) {
      error = FileErrorMessage("Cannot finish packing", path);
      return false;
    }
    ::unlink(marker.c_str());
    return true;
  }
  ::unlink(temp.c_str());
  ::unlink(memoTemp.c_str());
  return true;
}

bool DbfFile::PackImpl(const std::function<PackVerdict(std::uint32_t, std::vector<char>&)>& keep,
                       std::vector<char>& rec, const std::string& memoTemp, std::string& error) {
  const std::string temp = PackTempPath(path_);
  const int nfd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (nfd < 0) {
    error = FileErrorMessage("Cannot create", temp);
    return false;
  }
  bool ok = LockExclusive(nfd);
  std::vector<unsigned char> header(headerLength_);
  ok = ok && PReadAll(fd_, header.data(), header.size(), 0);
  std::uint32_t kept = 0;
  off_t out = headerLength_;
  std::vector<char> chunk;
  constexpr std::uint32_t kBatch = 256;
  for (std::uint32_t first = 1; ok && first <= count_; first += kBatch) {
    const std::uint32_t n = std::min(kBatch, count_ - first + 1);
    chunk.resize(std::size_t(n) * recordLength_);
    ok = ReadMany(first, n, chunk.data(), error);
    std::string keptBytes;
    for (std::uint32_t i = 0; ok && i < n; ++i) {
      std::memcpy(rec.data(), chunk.data() + std::size_t(i) * recordLength_, recordLength_);
      const PackVerdict verdict = keep(first + i, rec);
      if (verdict == kAbort) ok = false;
      if (verdict != kKeep) continue;
      keptBytes.append(rec.data(), recordLength_);
      ++kept;
    }
    if (ok && !keptBytes.empty()) {
      ok = PWriteAll(nfd, keptBytes.data(), keptBytes.size(), out);
      out += static_cast<off_t>(keptBytes.size());
      if (!ok) error = FileErrorMessage("Cannot write", temp);
    }
  }
  if (ok) {
    PutLe32(&header[4], kept);
    const char eof = static_cast<char>(kEndOfFile);
    ok = PWriteAll(nfd, header.data(), header.size(), 0) && PWriteAll(nfd, &eof, 1, out) && ::fsync(nfd) == 0;
    if (!ok) error = FileErrorMessage("Cannot write", temp);
  }
  const std::string marker = PackMarkerPath(path_);
  if (ok && !memoTemp.empty()) {
    // From here on the pack completes, now or at the next Open.
    // The new memo file is on disk before the marker says it is complete.
    const int tfd = ::open(memoTemp.c_str(), O_RDONLY | O_CLOEXEC);
    ok = tfd >= 0 && ::fsync(tfd) == 0;
    if (tfd >= 0) ::close(tfd);
    if (!ok) {
      error = FileErrorMessage("Cannot write", memoTemp);
    } else {
      const int mfd = ::open(marker.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      ok = mfd >= 0 && ::fsync(mfd) == 0;
      if (!ok) error = FileErrorMessage("Cannot create", marker);
      if (mfd >= 0) ::close(mfd);
    }
    const std::string memo = MemoPathFor(path_);
    if (ok && ::rename(memoTemp.c_str(), memo.c_str()) != 0) {
      error = FileErrorMessage("Cannot replace", memo);
      ::unlink(marker.c_str());
      ok = false;
    }
  }
  if (ok && ::rename(temp.c_str(), path_.c_str()) != 0) {
    // The memo file may already be the new one: leave the marker so that the
    // next Open finishes the pack.
    error = FileErrorMessage("Cannot replace", path_);
    ::close(nfd);
    return false;
  }
  if (!ok) {
    ::close(nfd);
    ::unlink(temp.c_str());
    if (!memoTemp.empty()) ::unlink(memoTemp.c_str());
    return false;
  }
  ::unlink(marker.c_str());
  ::close(fd_);
  fd_ = nfd;
  count_ = kept;
  return true;
}

}  // namespace tlm::xbase
