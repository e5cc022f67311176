#include "faximage/apf_writer.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

#include "faximage/fax_errors.h"

namespace tlm {

namespace {
constexpr std::size_t kWriteBuffer = 4096;
}

ApfWriter::~ApfWriter() {
  if (open_) Abandon();
}

void ApfWriter::Create(const std::string& path, bool inPlace) {
  if (path.empty()) ThrowFaxError(ecFileNotFound);
  path_ = path;
  tempPath_ = inPlace ? path : path + ".part" + std::to_string(::getpid());
  CheckFaxResult(file_.Open(tempPath_, BinaryFile::Mode::kCreate));
  open_ = true;
  header_ = ApfFileHeader();
  buffer_.clear();
  buffer_.reserve(kWriteBuffer);
  std::uint8_t raw[ApfFileHeader::kSize];
  header_.Encode(raw);
  Put(raw, sizeof raw);
}

void ApfWriter::Put(const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const std::size_t n = std::min(size, kWriteBuffer - buffer_.size());
    buffer_.insert(buffer_.end(), data, data + n);
    data += n;
    size -= n;
    if (buffer_.size() == kWriteBuffer) Flush();
  }
}

void ApfWriter::Flush() {
  if (buffer_.empty()) return;
  CheckFaxResult(file_.Write(buffer_.data(), buffer_.size()));
  buffer_.clear();
}

void ApfWriter::WriteAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
  Flush();
  const std::uint64_t end = file_.Position();
  file_.Seek(offset);
  CheckFaxResult(file_.Write(data, size));
  file_.Seek(end);
}

void ApfWriter::BeginPage(std::uint16_t flags) {
  if (header_.pageCount == 0xFFFF) ThrowFaxError(ecBadArgument);
  pageOffset_ = BytesWritten();
  page_ = ApfPageHeader();
  page_.flags = flags;
  std::uint8_t raw[ApfPageHeader::kSize];
  page_.Encode(raw);
  Put(raw, sizeof raw);
  inPage_ = true;
}

void ApfWriter::WriteRecord(const std::uint8_t* data, std::size_t size) {
  if (size > kApfMaxRecord) ThrowFaxError(ecBadArgument);
  std::uint8_t length[2];
  PutLe16(length, std::uint32_t(size));
  Put(length, 2);
  Put(data, size);
  page_.imageLength += std::uint32_t(size + 2);
}

void ApfWriter::WriteRaw(const std::uint8_t* data, std::size_t size) {
  Put(data, size);
  page_.imageLength += std::uint32_t(size);
}

void ApfWriter::EndPage() {
  std::uint8_t raw[ApfPageHeader::kSize];
  page_.Encode(raw);
  WriteAt(pageOffset_, raw, sizeof raw);
  ++header_.pageCount;
  inPage_ = false;
}

void ApfWriter::DiscardPage() {
  if (!inPage_) return;
  Flush();
  CheckFaxResult(file_.Truncate(pageOffset_));
  CheckFaxResult(file_.Seek(pageOffset_));
  inPage_ = false;
}

void ApfWriter::Finish(std::string_view stationId) {
  header_.creationTime = DosDateTimeNow();
  header_.SetStationId(stationId);
  std::uint8_t raw[ApfFileHeader::kSize];
  header_.Encode(raw);
  WriteAt(0, raw, sizeof raw);
  Flush();
  CheckFaxResult(file_.Sync());
  CheckFaxResult(file_.Close());
  if (tempPath_ != path_ && std::rename(tempPath_.c_str(), path_.c_str()) != 0) ThrowFaxError(-errno);
  open_ = false;
}

void ApfWriter::Abandon() {
  file_.Close();
  buffer_.clear();
  if (open_) std::remove(tempPath_.c_str());
  open_ = false;
  inPage_ = false;
}

}  // namespace tlm
