#pragma once
// One 512-byte page of a compact CDX index: an interior node with full keys,
// or a leaf with the compact encoding (duplicate and trailing counts packed
// with the record number, key bytes stored backwards from the page end).
#include <cstdint>
#include <string>
#include <vector>

namespace tlm::xbase {

inline constexpr std::uint32_t kCdxPageSize = 512;
inline constexpr std::uint32_t kCdxNoPage = 0xFFFFFFFFu;
inline constexpr unsigned kCdxMaxKeyLength = 240;

struct CdxEntry {
  std::string key;          // exactly the tag's key length
  std::uint32_t rec = 0;
  std::uint32_t child = 0;  // interior nodes: byte offset of the child
};

struct CdxNode {
  std::uint16_t attributes = 3;  // bit 0 root, bit 1 leaf
  std::uint32_t left = kCdxNoPage;
  std::uint32_t right = kCdxNoPage;
  std::vector<CdxEntry> entries;

  bool IsLeaf() const { return attributes & 2; }
  bool IsRoot() const { return attributes & 1; }
};

// (key, record) order: bytewise keys, then record numbers.
int CompareEntry(const std::string& key, std::uint32_t rec, const std::string& otherKey, std::uint32_t otherRec);

bool DecodeCdxNode(const unsigned char* page, unsigned keyLength, char pad, CdxNode& out, std::string& error);

// Walks the entries of a leaf page in order without building the node (the
// decoder and read-only lookups share it).
class CdxLeafReader {
 public:
  CdxLeafReader(const unsigned char* page, unsigned keyLength, char pad);
  // Checks the page's entry layout.
  bool Valid(std::string& error) const;
  unsigned Count() const { return count_; }
  // Moves to the next entry (the first one on the first call); false at the
  // end, or with `error` set when the entry is damaged.
  bool Next(std::string& error);
  const char* Key() const { return key_; }  // the entry's key, keyLength bytes
  std::uint32_t Rec() const { return rec_; }

 private:
  const unsigned char* page_;
  unsigned keyLength_;
  char pad_;
  unsigned count_;
  std::uint32_t recMask_;
  unsigned dupMask_, trailMask_, recBits_, dupBits_, bytes_;
  unsigned index_ = 0;
  unsigned end_ = kCdxPageSize;
  std::uint32_t rec_ = 0;
  char key_[kCdxMaxKeyLength] = {};
};

// False when the entries do not fit in one page.
bool EncodeCdxNode(const CdxNode& node, unsigned keyLength, char pad, unsigned char* page);

bool CdxNodeFits(const CdxNode& node, unsigned keyLength, char pad);

// Bytes a leaf's entries take (of the 488 available) with the entry size
// and the largest record number that size was chosen for; false when no
// entry layout can hold the record numbers.
bool CdxLeafUsage(const CdxNode& node, unsigned keyLength, char pad, unsigned& used, unsigned& entryBytes,
                  std::uint32_t& maxRec);

inline constexpr unsigned kCdxLeafSpace = 488;

// Key bytes a leaf stores for `key` after `previous` (nullptr: first in the page).
unsigned CdxStoredBytes(const std::string* previous, const std::string& key, unsigned keyLength, char pad);

// Most entries an interior node holds.
unsigned CdxInteriorCapacity(unsigned keyLength);

// Tracks the encoded size of a leaf while entries are added in order.
class CdxLeafSizer {
 public:
  CdxLeafSizer(unsigned keyLength, char pad) : keyLength_(keyLength), pad_(pad) {}
  // True when the entry fits after the ones added so far (it is then added).
  bool Add(const std::string& key, std::uint32_t rec);
  void Reset() { count_ = 0, stored_ = 0, maxRec_ = 0, previous_.clear(); }

 private:
  unsigned keyLength_;
  char pad_;
  unsigned count_ = 0;
  unsigned stored_ = 0;
  std::uint32_t maxRec_ = 0;
  std::string previous_;  // empty before the first key
};

}  // namespace tlm::xbase
