#include "storage/cdx_node.h"

#include <cstring>

#include "storage/xbase_types.h"

namespace tlm::xbase {
namespace {

constexpr unsigned kLeafSpace = 488;  // 512 - 24 bytes of leaf header
constexpr unsigned kInteriorSpace = 500;

unsigned BitsFor(std::uint64_t value) {
  unsigned bits = 0;
  while (value) ++bits, value >>= 1;
  return bits;
}

struct LeafLayout {
  unsigned dupBits = 0, trailBits = 0, recBits = 0, bytes = 0;
};

// Entry size for a leaf: duplicate and trailing counts get the bits of the
// key length; the record number gets the rest of 3 or more bytes.
bool ChooseLayout(unsigned keyLength, std::uint32_t maxRec, LeafLayout& out) {
  out.dupBits = out.trailBits = BitsFor(keyLength);
  const unsigned need = std::max(1u, BitsFor(maxRec));
  for (unsigned bytes = 3; bytes <= 8; ++bytes) {
    const int rec = int(bytes * 8) - int(out.dupBits + out.trailBits);
    if (rec >= int(need) && rec <= 32) {
      out.bytes = bytes;
      out.recBits = static_cast<unsigned>(rec);
      return true;
    }
  }
  return false;
}

unsigned Trailing(const std::string& key, char pad) {
  unsigned n = 0;
  for (std::size_t i = key.size(); i > 0 && key[i - 1] == pad; --i) ++n;
  return n;
}

unsigned Common(const std::string& a, const std::string& b) {
  unsigned n = 0;
  const std::size_t len = std::min(a.size(), b.size());
  while (n < len && a[n] == b[n]) ++n;
  return n;
}

// Stored bytes of one leaf entry after its predecessor in the node.
void Compress(const std::string& key, const std::string* previous, unsigned keyLength, char pad, unsigned& dup,
              unsigned& trail) {
  trail = std::min<unsigned>(Trailing(key, pad), keyLength);
  dup = previous ? Common(*previous, key) : 0;
  if (dup + trail > keyLength) dup = keyLength - trail;
}

}  // namespace

int CompareEntry(const std::string& key, std::uint32_t rec, const std::string& otherKey, std::uint32_t otherRec) {
  const int c = key.compare(otherKey);
  if (c != 0) return c < 0 ? -1 : 1;
  return rec < otherRec ? -1 : (rec > otherRec ? 1 : 0);
}

unsigned CdxInteriorCapacity(unsigned keyLength) { return kInteriorSpace / (keyLength + 8); }

bool CdxLeafSizer::Add(const std::string& key, std::uint32_t rec) {
  unsigned dup, trail;
  Compress(key, count_ ? &previous_ : nullptr, keyLength_, pad_, dup, trail);
  const unsigned stored = stored_ + keyLength_ - dup - trail;
  const std::uint32_t maxRec = std::max(maxRec_, rec);
  LeafLayout layout;
  if (!ChooseLayout(keyLength_, maxRec, layout)) return false;
  if ((count_ + 1) * layout.bytes + stored > kLeafSpace) return false;
  ++count_;
  stored_ = stored;
  maxRec_ = maxRec;
  previous_ = key;
  return true;
}

bool CdxNodeFits(const CdxNode& node, unsigned keyLength, char pad) {
  if (!node.IsLeaf()) return node.entries.size() <= CdxInteriorCapacity(keyLength);
  CdxLeafSizer sizer(keyLength, pad);
  for (const auto& e : node.entries)
    if (!sizer.Add(e.key, e.rec)) return false;
  return true;
}

unsigned CdxStoredBytes(const std::string* previous, const std::string& key, unsigned keyLength, char pad) {
  unsigned dup, trail;
  Compress(key, previous, keyLength, pad, dup, trail);
  return keyLength - dup - trail;
}

bool CdxLeafUsage(const CdxNode& node, unsigned keyLength, char pad, unsigned& used, unsigned& entryBytes,
                  std::uint32_t& maxRec) {
  maxRec = 0;
  unsigned stored = 0;
  const std::string* previous = nullptr;
  for (const auto& e : node.entries) {
    unsigned dup, trail;
    Compress(e.key, previous, keyLength, pad, dup, trail);
    stored += keyLength - dup - trail;
    maxRec = std::max(maxRec, e.rec);
    previous = &e.key;
  }
  LeafLayout layout;
  if (!ChooseLayout(keyLength, maxRec, layout)) return false;
  entryBytes = layout.bytes;
  used = static_cast<unsigned>(node.entries.size()) * layout.bytes + stored;
  return true;
}

bool DecodeCdxNode(const unsigned char* page, unsigned keyLength, char pad, CdxNode& out, std::string& error) {
  out.attributes = GetLe16(page);
  const unsigned count = GetLe16(page + 2);
  out.left = GetLe32(page + 4);
  out.right = GetLe32(page + 8);
  out.entries.clear();
  if (out.attributes > 3) {
    error = "bad node attributes";
    return false;
  }
  if (!out.IsLeaf()) {
    if (count * (keyLength + 8) > kInteriorSpace) {
      error = "interior node holds too many keys";
      return false;
    }
    out.entries.resize(count);
    const unsigned char* p = page + 12;
    for (unsigned i = 0; i < count; ++i, p += keyLength + 8) {
      out.entries[i].key.assign(reinterpret_cast<const char*>(p), keyLength);
      out.entries[i].rec = GetBe32(p + keyLength);
      out.entries[i].child = GetBe32(p + keyLength + 4);
    }
    return true;
  }
  CdxLeafReader reader(page, keyLength, pad);
  if (!reader.Valid(error)) return false;
  out.entries.resize(count);
  for (unsigned i = 0; i < count; ++i) {
    if (!reader.Next(error)) return false;
    out.entries[i].rec = reader.Rec();
    out.entries[i].key.assign(reader.Key(), keyLength);
  }
  return true;
}

CdxLeafReader::CdxLeafReader(const unsigned char* page, unsigned keyLength, char pad)
    : page_(page),
      keyLength_(std::min(keyLength, kCdxMaxKeyLength)),
      pad_(pad),
      count_(GetLe16(page + 2)),
      recMask_(GetLe32(page + 14)),
      dupMask_(page[18]),
      trailMask_(page[19]),
      recBits_(page[20]),
      dupBits_(page[21]),
      bytes_(page[23]) {}

bool CdxLeafReader::Valid(std::string& error) const {
  const unsigned trailBits = page_[22];
  if (count_ > 0 && (bytes_ < 1 || bytes_ > 8 || recBits_ > 32 || dupBits_ > 8 || trailBits > 8 ||
                     recBits_ + dupBits_ + trailBits > bytes_ * 8 || count_ * bytes_ > kLeafSpace)) {
    error = "bad leaf layout";
    return false;
  }
  return true;
}

bool CdxLeafReader::Next(std::string& error) {
  if (index_ >= count_) return false;
  std::uint64_t v = 0;
  for (unsigned b = 0; b < bytes_; ++b) v |= std::uint64_t(page_[24 + index_ * bytes_ + b]) << (8 * b);
  const unsigned dup = static_cast<unsigned>((v >> recBits_) & dupMask_);
  const unsigned trail = static_cast<unsigned>((v >> (recBits_ + dupBits_)) & trailMask_);
  if (dup + trail > keyLength_ || (dup > 0 && index_ == 0)) {
    error = "bad leaf entry";
    return false;
  }
  const unsigned stored = keyLength_ - dup - trail;
  if (end_ < 24 + count_ * bytes_ + stored) {
    error = "leaf key bytes overlap its entries";
    return false;
  }
  end_ -= stored;
  // The first `dup` bytes are still those of the previous key.
  std::memcpy(key_ + dup, page_ + end_, stored);
  std::memset(key_ + dup + stored, pad_, trail);
  rec_ = static_cast<std::uint32_t>(v & recMask_);
  ++index_;
  return true;
}

bool EncodeCdxNode(const CdxNode& node, unsigned keyLength, char pad, unsigned char* page) {
  std::memset(page, 0, kCdxPageSize);
  PutLe16(page, node.attributes);
  PutLe16(page + 2, static_cast<std::uint16_t>(node.entries.size()));
  PutLe32(page + 4, node.left);
  PutLe32(page + 8, node.right);
  if (!node.IsLeaf()) {
    if (node.entries.size() > CdxInteriorCapacity(keyLength)) return false;
    unsigned char* p = page + 12;
    for (const auto& e : node.entries) {
      std::memcpy(p, e.key.data(), keyLength);
      PutBe32(p + keyLength, e.rec);
      PutBe32(p + keyLength + 4, e.child);
      p += keyLength + 8;
    }
    return true;
  }
  std::uint32_t maxRec = 0;
  for (const auto& e : node.entries) maxRec = std::max(maxRec, e.rec);
  LeafLayout layout;
  if (!ChooseLayout(keyLength, maxRec, layout)) return false;
  const std::uint32_t recMask = layout.recBits >= 32 ? 0xFFFFFFFFu : (1u << layout.recBits) - 1;
  PutLe32(page + 14, recMask);
  page[18] = static_cast<unsigned char>((1u << layout.dupBits) - 1);
  page[19] = static_cast<unsigned char>((1u << layout.trailBits) - 1);
  page[20] = static_cast<unsigned char>(layout.recBits);
  page[21] = static_cast<unsigned char>(layout.dupBits);
  page[22] = static_cast<unsigned char>(layout.trailBits);
  page[23] = static_cast<unsigned char>(layout.bytes);
  unsigned end = kCdxPageSize;
  const std::string* previous = nullptr;
  unsigned used = 0;
  for (std::size_t i = 0; i < node.entries.size(); ++i) {
    const CdxEntry& e = node.entries[i];
    unsigned dup, trail;
    Compress(e.key, previous, keyLength, pad, dup, trail);
    const unsigned stored = keyLength - dup - trail;
    used += layout.bytes + stored;
    if (used > kLeafSpace) return false;
    end -= stored;
    std::memcpy(page + end, e.key.data() + dup, stored);
    const std::uint64_t v = std::uint64_t(e.rec) | (std::uint64_t(dup) << layout.recBits) |
                            (std::uint64_t(trail) << (layout.recBits + layout.dupBits));
    for (unsigned b = 0; b < layout.bytes; ++b) page[24 + i * layout.bytes + b] = static_cast<unsigned char>(v >> (8 * b));
    previous = &e.key;
  }
  PutLe16(page + 12, static_cast<std::uint16_t>(kLeafSpace - used));
  return true;
}

}  // namespace tlm::xbase
