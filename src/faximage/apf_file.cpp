#include "faximage/apf_file.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "faximage/apf_page_index.h"
#include "faximage/binary_file.h"
#include "faximage/fax_errors.h"

namespace tlm {

void ApfFileHeader::Encode(std::uint8_t out[kSize]) const {
  std::memset(out, 0, kSize);
  std::memcpy(out, signature.data(), signature.size());
  PutLe32(out + 6, creationTime);
  out[10] = stationIdLength;
  std::memcpy(out + 11, stationId.data(), kStationIdSize);
  PutLe16(out + 32, pageCount);
  PutLe32(out + 34, firstPageOffset);
}

ApfFileHeader ApfFileHeader::Decode(const std::uint8_t in[kSize]) {
  ApfFileHeader h;
  std::memcpy(h.signature.data(), in, h.signature.size());
  h.creationTime = GetLe32(in + 6);
  h.stationIdLength = in[10];
  std::memcpy(h.stationId.data(), in + 11, kStationIdSize);
  h.pageCount = GetLe16(in + 32);
  h.firstPageOffset = GetLe32(in + 34);
  return h;
}

void ApfFileHeader::SetStationId(std::string_view id) {
  const std::size_t n = std::min(id.size(), kStationIdSize);
  stationId.fill(' ');
  std::memcpy(stationId.data(), id.data(), n);
  stationIdLength = static_cast<std::uint8_t>(n);
}

std::string ApfFileHeader::StationId() const {
  return std::string(stationId.data(), std::min<std::size_t>(stationIdLength, kStationIdSize));
}

void ApfPageHeader::Encode(std::uint8_t out[kSize]) const {
  std::memset(out, 0, kSize);
  PutLe32(out, imageLength);
  PutLe16(out + 4, flags);
}

ApfPageHeader ApfPageHeader::Decode(const std::uint8_t in[kSize]) {
  ApfPageHeader h;
  h.imageLength = GetLe32(in);
  h.flags = GetLe16(in + 4);
  return h;
}

std::uint32_t DosDateTime(const std::tm& t) {
  const int year = t.tm_year + 1900;
  if (year < 1980 || year > 2099) return 0;
  const std::uint32_t date = (std::uint32_t(year - 1980) << 9) | (std::uint32_t(t.tm_mon + 1) << 5) |
                             std::uint32_t(t.tm_mday);
  const std::uint32_t time = (std::uint32_t(t.tm_hour) << 11) | (std::uint32_t(t.tm_min) << 5) |
                             std::uint32_t(t.tm_sec / 2);
  return (date << 16) | time;
}

std::uint32_t DosDateTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return DosDateTime(local);
}

namespace {

int ReadHeader(BinaryFile& f, ApfFileHeader& header) {
  std::uint8_t raw[ApfFileHeader::kSize];
  if (const int rc = f.ReadExact(raw, sizeof raw, -ecFaxBadFormat); rc != 0) return rc;
  header = ApfFileHeader::Decode(raw);
  return header.SignatureOk() ? 0 : -ecFaxBadFormat;
}

}  // namespace

bool ApfCheckSignature(const std::string& fileName) {
  BinaryFile f;
  if (f.Open(fileName, BinaryFile::Mode::kRead) != 0) return false;
  std::uint8_t raw[6];
  if (f.ReadExact(raw, sizeof raw, -1) != 0) return false;
  return std::equal(raw, raw + 6, kApfSignature.begin());
}

int ApfReadFileHeader(const std::string& fileName, ApfFileHeader& header) {
  BinaryFile f;
  if (const int rc = f.Open(fileName, BinaryFile::Mode::kRead); rc != 0) return rc;
  return ReadHeader(f, header);
}

int ApfLocatePage(const std::string& fileName, int pageNumber, ApfPageHeader& header,
                  std::uint64_t& dataOffset) {
  ApfPageIndex index;
  if (const int rc = index.Open(fileName); rc != 0) return rc;
  return index.Locate(pageNumber, header, dataOffset);
}

int ApfCountPages(const std::string& fileName, int& pageCount) {
  pageCount = 0;
  ApfFileHeader fh;
  if (const int rc = ApfReadFileHeader(fileName, fh); rc != 0) return rc;
  pageCount = fh.pageCount;
  return 0;
}

int ApfAppendFile(const std::string& target, const std::string& further) {
  return ApfAppendFiles(target, {further});
}

int ApfAppendFiles(const std::string& target, const std::vector<std::string>& further) {
  BinaryFile dst;
  if (const int rc = dst.Open(target, BinaryFile::Mode::kReadWrite); rc != 0) return rc;
  ApfFileHeader dstHeader;
  if (const int rc = ReadHeader(dst, dstHeader); rc != 0) return rc;
  const std::int64_t dstSize = dst.Size();
  if (dstSize < 0) return static_cast<int>(dstSize);

  // The pages of the target end after its last page (or at its first page
  // offset when it has none); its chain is walked once for all sources.
  ApfPageIndex index;
  if (const int rc = index.Open(target); rc != 0) return rc;
  std::uint64_t end = 0;
  if (const int rc = index.EndOfPages(end); rc != 0) return rc;
  if (end > static_cast<std::uint64_t>(dstSize)) return -ecFaxBadFormat;

  auto fail = [&](int rc) {
    dst.Truncate(static_cast<std::uint64_t>(dstSize));
    return rc;
  };
  std::uint32_t pageCount = dstHeader.pageCount;
  std::vector<std::uint8_t> buffer(64 * 1024);
  dst.Seek(end);
  for (const std::string& name : further) {
    BinaryFile src;
    if (const int rc = src.Open(name, BinaryFile::Mode::kRead); rc != 0) return fail(rc);
    ApfFileHeader srcHeader;
    if (const int rc = ReadHeader(src, srcHeader); rc != 0) return fail(rc);
    const std::int64_t srcSize = src.Size();
    if (srcSize < 0) return fail(static_cast<int>(srcSize));
    if (srcHeader.firstPageOffset > static_cast<std::uint64_t>(srcSize)) return fail(-ecFaxBadFormat);
    pageCount += srcHeader.pageCount;
    if (pageCount > 0xFFFF) return fail(-ecBadArgument);
    src.Seek(srcHeader.firstPageOffset);
    for (;;) {
      const long got = src.Read(buffer.data(), buffer.size());
      if (got < 0) return fail(static_cast<int>(got));
      if (got == 0) break;
      if (const int rc = dst.Write(buffer.data(), static_cast<std::size_t>(got)); rc != 0) return fail(rc);
    }
  }
  if (const int rc = dst.Truncate(dst.Position()); rc != 0) return fail(rc);
  dstHeader.pageCount = static_cast<std::uint16_t>(pageCount);
  std::uint8_t raw[ApfFileHeader::kSize];
  dstHeader.Encode(raw);
  dst.Seek(0);
  if (const int rc = dst.Write(raw, sizeof raw); rc != 0) return fail(rc);
  return dst.Close();
}

}  // namespace tlm
