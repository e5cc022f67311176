#pragma once
// The APF fax image file: a 64-byte file header, then the pages, each a
// 16-byte page header followed by its T.4 coded image data. All integers are
// little-endian. These records are the one definition every reader and
// writer of the program uses.
#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace tlm {

inline constexpr std::array<std::uint8_t, 6> kApfSignature = {'A', 'P', 'F', '1', '0', 0x1A};

// Page flag bits.
inline constexpr std::uint16_t kApfFine = 1;         // fine resolution
inline constexpr std::uint16_t kApfWide = 2;         // 2048-pixel lines
inline constexpr std::uint16_t kApfLengthWords = 4;  // line records with length words

// Line records hold at most this many bytes; longer length words read as it.
inline constexpr std::size_t kApfMaxRecord = 4096;

struct ApfFileHeader {
  static constexpr std::size_t kSize = 64;
  static constexpr std::size_t kStationIdSize = 20;

  std::array<std::uint8_t, 6> signature = kApfSignature;
  std::uint32_t creationTime = 0;  // MS-DOS packed date and time
  std::uint8_t stationIdLength = 0;
  std::array<char, kStationIdSize> stationId;  // padded with spaces
  std::uint16_t pageCount = 0;
  std::uint32_t firstPageOffset = kSize;

  ApfFileHeader() { stationId.fill(' '); }

  void Encode(std::uint8_t out[kSize]) const;
  static ApfFileHeader Decode(const std::uint8_t in[kSize]);
  bool SignatureOk() const { return signature == kApfSignature; }

  // Stores at most 20 characters, the rest of the field spaces.
  void SetStationId(std::string_view id);
  std::string StationId() const;
};

struct ApfPageHeader {
  static constexpr std::size_t kSize = 16;

  std::uint32_t imageLength = 0;
  std::uint16_t flags = 0;

  void Encode(std::uint8_t out[kSize]) const;
  static ApfPageHeader Decode(const std::uint8_t in[kSize]);
  bool Fine() const { return flags & kApfFine; }
  bool Wide() const { return flags & kApfWide; }
  bool LengthWords() const { return flags & kApfLengthWords; }
  int Width() const { return Wide() ? 2048 : 1728; }
};

// MS-DOS packed date and time of a local time; 0 outside 1980..2099.
std::uint32_t DosDateTime(const std::tm& local);
std::uint32_t DosDateTimeNow();

// True when the first 6 bytes of the file are the APF signature.
bool ApfCheckSignature(const std::string& fileName);

// Finds page `pageNumber` (from 1): its header and the offset of its image
// data. 0, -8001 (not an APF file, no such page, data ends early), -2 for an
// empty name, or a negated errno. The file's pages are walked once and kept
// (see ApfPageIndex), so every page is found as quickly as the first.
int ApfLocatePage(const std::string& fileName, int pageNumber, ApfPageHeader& header,
                  std::uint64_t& dataOffset);

// The file header's page count; 0 or a negative result as above.
int ApfCountPages(const std::string& fileName, int& pageCount);

// Reads and checks the file header; 0 or a negative result.
int ApfReadFileHeader(const std::string& fileName, ApfFileHeader& header);

// Appends the pages of `further` after the last page of `target` and raises
// its page count. On failure `target` is left as it was.
int ApfAppendFile(const std::string& target, const std::string& further);
// The same for several files in order, walking the target's pages once. On
// failure `target` is left as it was.
int ApfAppendFiles(const std::string& target, const std::vector<std::string>& further);

}  // namespace tlm
