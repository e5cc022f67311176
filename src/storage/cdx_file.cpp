#include "storage/cdx_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "platform/os_error.h"
#include "storage/xbase_types.h"

namespace tlm::xbase {
namespace {

constexpr unsigned kHeaderBytes = 1024;
constexpr unsigned kTagNameLength = 10;
constexpr unsigned kMaxDepth = 32;
constexpr std::size_t kCacheLimit = 8192;  // cached pages before a write-out
// Our mark in the compound header's reserved bytes: magic, state, record count.
constexpr unsigned kMarkAt = 24;
constexpr char kMagic[4] = {'T', 'L', 'M', 'X'};
constexpr unsigned char kOptCompact = 0x20, kOptCompound = 0x40, kOptStructure = 0x80, kOptFor = 0x08;

std::string Padded(const std::string& name) {
  std::string key = name;
  key.resize(kTagNameLength, ' ');
  return key;
}

}  // namespace

CdxFile::~CdxFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool CdxFile::ReadPage(std::uint32_t offset, unsigned char* page, std::string& error) const {
  if (offset % kCdxPageSize != 0 || offset < kHeaderBytes || offset >= fileEnd_) {
    error = "The index " + path_ + " is damaged: page " + std::to_string(offset) + " lies outside it";
    return false;
  }
  std::size_t done = 0;
  while (done < kCdxPageSize) {
    const ssize_t n = ::pread(fd_, page + done, kCdxPageSize - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n == 0 ? "The index " + path_ + " is damaged: it is cut short" : FileErrorMessage("Cannot read", path_);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool CdxFile::WritePage(std::uint32_t offset, const unsigned char* page, std::string& error) {
  std::size_t done = 0;
  while (done < kCdxPageSize) {
    const ssize_t n = ::pwrite(fd_, page + done, kCdxPageSize - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = FileErrorMessage("Cannot write", path_);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::unique_ptr<CdxFile> CdxFile::Create(const std::string& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = FileErrorMessage("Cannot create", path);
    return nullptr;
  }
  std::unique_ptr<CdxFile> f(new CdxFile);
  f->fd_ = fd;
  f->path_ = path;
  f->fileEnd_ = kHeaderBytes + kCdxPageSize;
  f->directory_ = kHeaderBytes;
  f->foreign_ = false;
  f->directoryDirty_ = true;
  if (!f->WriteDirectory(error) || !f->WriteCompoundHeader(true, 0, error)) return nullptr;
  f->cleanMark_ = true;
  return f;
}

std::unique_ptr<CdxFile> CdxFile::Open(const std::string& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    error = FileErrorMessage("Cannot open", path);
    return nullptr;
  }
  std::unique_ptr<CdxFile> f(new CdxFile);
  f->fd_ = fd;
  f->path_ = path;
  struct stat st{};
  if (::fstat(fd, &st) != 0) {
    error = FileErrorMessage("Cannot read", path);
    return nullptr;
  }
  const auto damaged = [&](const std::string& why) {
    error = "The index " + path + " is damaged: " + why;
    return nullptr;
  };
  if (st.st_size < kHeaderBytes + kCdxPageSize || st.st_size % kCdxPageSize != 0 || st.st_size > 0x7FFFFE00)
    return damaged("its length is not a whole number of pages");
  f->fileEnd_ = static_cast<std::uint32_t>(st.st_size);
  unsigned char h[kCdxPageSize];
  {
    std::size_t done = 0;
    while (done < sizeof h) {
      const ssize_t n = ::pread(fd, h + done, sizeof h - done, static_cast<off_t>(done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return damaged("its header cannot be read");
      done += static_cast<std::size_t>(n);
    }
  }
  if (GetLe16(h + 12) != kTagNameLength) return damaged("its header is not a compound index header");
  f->directory_ = GetLe32(h);
  if (std::memcmp(h + kMarkAt, kMagic, 4) == 0) {
    f->foreign_ = false;
    f->cleanMark_ = h[kMarkAt + 4] == 0;
    f->markedCount_ = GetLe32(h + kMarkAt + 8);
  }
  // Free page chain (ignored when damaged: those pages are only lost space).
  std::uint32_t free = GetLe32(h + 4);
  std::vector<std::uint32_t> chain;
  while (free != 0 && free != kCdxNoPage && chain.size() < f->fileEnd_ / kCdxPageSize) {
    unsigned char page[kCdxPageSize];
    std::string ignored;
    if (!f->ReadPage(free, page, ignored)) {
      chain.clear();
      break;
    }
    chain.push_back(free);
    free = GetLe32(page);
  }
  f->freePages_ = chain;

  unsigned char dir[kCdxPageSize];
  if (!f->ReadPage(f->directory_, dir, error)) return nullptr;
  CdxNode directory;
  std::string why;
  if (!DecodeCdxNode(dir, kTagNameLength, ' ', directory, why)) return damaged("tag directory: " + why);
  if (!directory.IsLeaf()) return damaged("its tag directory has more than one page");
  for (const auto& e : directory.entries) {
    std::string name = e.key;
    while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.pop_back();
    if (name.empty()) return damaged("a tag has no name");
    if (!f->LoadTag(name, e.rec, error)) return nullptr;
  }
  f->tagHeaderDirty_.assign(f->tags_.size(), false);
  return f;
}

bool CdxFile::LoadTag(const std::string& name, std::uint32_t header, std::string& error) {
  unsigned char h[kHeaderBytes];
  if (!ReadPage(header, h, error) || !ReadPage(header + kCdxPageSize, h + kCdxPageSize, error)) return false;
  Tag tag;
  tag.name = name;
  tag.header = header;
  tag.root = GetLe32(h);
  tag.keyLength = GetLe16(h + 12);
  tag.descending = GetLe16(h + 502) != 0;
  const auto damaged = [&](const std::string& why) {
    error = "The index " + path_ + " is damaged: tag " + name + ": " + why;
    return false;
  };
  if (tag.keyLength < 1 || tag.keyLength > kCdxMaxKeyLength) return damaged("bad key length");
  // The expression pool: the key text, then the FOR text, each ending in 0.
  const char* pool = reinterpret_cast<const char*>(h + 512);
  const auto text = [&](unsigned at) {
    std::string s;
    for (unsigned i = at; i < 512 && pool[i] != 0; ++i) s.push_back(pool[i]);
    return s;
  };
  const unsigned keyAt = GetLe16(h + 508);
  const unsigned forAt = GetLe16(h + 504), forLength = GetLe16(h + 506);
  if (keyAt >= 512) return damaged("bad key expression position");
  tag.key = text(keyAt);
  if (tag.key.empty()) return damaged("no key expression");
  if (forLength > 1) {
    const unsigned at = forAt > 0 && forAt < 512 ? forAt : static_cast<unsigned>(tag.key.size() + 1);
    if (at >= 512) return damaged("bad FOR expression position");
    tag.condition = text(at);
  }
  unsigned char root[kCdxPageSize];
  CdxNode node;
  std::string why;
  // An index left open for update is rebuilt from the data: only its tag
  // definitions need to be readable.
  const bool unclean = !foreign_ && !cleanMark_;
  if (!unclean) {
    if (!ReadPage(tag.root, root, error)) return false;
    if (!DecodeCdxNode(root, tag.keyLength, ' ', node, why)) return damaged(why);
    if (!node.IsRoot()) return damaged("its root page is not marked as root");
  }
  tags_.push_back(std::move(tag));
  return true;
}

bool CdxFile::IsCurrentFor(std::uint32_t recordCount) const {
  if (foreign_) return true;
  return cleanMark_ && markedCount_ == recordCount;
}

void CdxFile::SetKeyPad(int tag, char pad) {
  Tag& t = tags_[static_cast<std::size_t>(tag)];
  if (t.pad == pad) return;
  rawLeaf_ = kCdxNoPage;
  std::string ignored;
  WriteDirtyNodes(ignored);
  for (auto it = cache_.begin(); it != cache_.end();) it = it->second.tag == tag ? cache_.erase(it) : std::next(it);
  t.pad = pad;
}

int CdxFile::FindTag(const std::string& name) const {
  std::string upper = name;
  for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (std::size_t i = 0; i < tags_.size(); ++i)
    if (tags_[i].name == upper) return static_cast<int>(i);
  return -1;
}

std::uint32_t CdxFile::Allocate(unsigned pages) {
  if (pages == 1 && !freePages_.empty()) {
    const std::uint32_t p = freePages_.back();
    freePages_.pop_back();
    freeListDirty_ = true;
    return p;
  }
  const std::uint32_t p = fileEnd_;
  fileEnd_ += pages * kCdxPageSize;
  return p;
}

void CdxFile::FreePage(std::uint32_t offset) {
  cache_.erase(offset);
  freePages_.push_back(offset);
  freeListDirty_ = true;
}

bool CdxFile::MarkOpenForUpdate(std::string& error) {
  if (openForUpdate_) return true;
  // The mark must be on disk before any changed page is.
  if (!WriteCompoundHeader(false, 0, error)) return false;
  openForUpdate_ = true;
  cleanMark_ = false;
  foreign_ = false;
  return true;
}

bool CdxFile::WriteCompoundHeader(bool clean, std::uint32_t recordCount, std::string& error) {
  unsigned char h[kHeaderBytes] = {};
  PutLe32(h, directory_);
  PutLe32(h + 4, freePages_.empty() ? kCdxNoPage : freePages_.back());
  PutLe16(h + 12, kTagNameLength);
  h[14] = kOptStructure | kOptCompound | kOptCompact;
  h[15] = 1;
  std::memcpy(h + kMarkAt, kMagic, 4);
  h[kMarkAt + 4] = clean ? 0 : 1;
  PutLe32(h + kMarkAt + 8, recordCount);
  PutLe16(h + 504, 1);  // empty FOR and key expressions
  PutLe16(h + 506, 1);
  PutLe16(h + 510, 1);
  return WritePage(0, h, error) && WritePage(kCdxPageSize, h + kCdxPageSize, error);
}

bool CdxFile::WriteTagHeader(const Tag& tag, std::string& error) {
  unsigned char h[kHeaderBytes] = {};
  PutLe32(h, tag.root);
  PutLe32(h + 4, kCdxNoPage);
  PutLe16(h + 12, static_cast<std::uint16_t>(tag.keyLength));
  h[14] = kOptCompound | kOptCompact | (tag.condition.empty() ? 0 : kOptFor);
  h[15] = 1;
  PutLe16(h + 502, tag.descending ? 1 : 0);
  const std::size_t keyLen = std::min<std::size_t>(tag.key.size(), 400);
  const std::size_t forLen = std::min<std::size_t>(tag.condition.size(), 510 - keyLen);
  std::memcpy(h + 512, tag.key.data(), keyLen);
  std::memcpy(h + 512 + keyLen + 1, tag.condition.data(), forLen);
  PutLe16(h + 504, static_cast<std::uint16_t>(keyLen + 1));
  PutLe16(h + 506, static_cast<std::uint16_t>(forLen + 1));
  PutLe16(h + 508, 0);
  PutLe16(h + 510, static_cast<std::uint16_t>(keyLen + 1));
  return WritePage(tag.header, h, error) && WritePage(tag.header + kCdxPageSize, h + kCdxPageSize, error);
}

bool CdxFile::WriteDirectory(std::string& error) {
  CdxNode dir;
  dir.attributes = 3;
  std::vector<const Tag*> sorted;
  for (const auto& t : tags_) sorted.push_back(&t);
  std::sort(sorted.begin(), sorted.end(), [](const Tag* a, const Tag* b) { return a->name < b->name; });
  for (const Tag* t : sorted) dir.entries.push_back({Padded(t->name), t->header, 0});
  unsigned char page[kCdxPageSize];
  if (!EncodeCdxNode(dir, kTagNameLength, ' ', page)) {
    error = "The index " + path_ + " cannot hold more tags";
    return false;
  }
  if (!WritePage(directory_, page, error)) return false;
  directoryDirty_ = false;
  return true;
}

CdxFile::CachedNode* CdxFile::Node(int tag, std::uint32_t offset, std::string& error) {
  auto it = cache_.find(offset);
  if (it != cache_.end()) {
    if (it->second.tag != tag) {
      error = "The index " + path_ + " is damaged: a page is shared by two tags";
      return nullptr;
    }
    return &it->second;
  }
  unsigned char page[kCdxPageSize];
  if (!ReadPage(offset, page, error)) return nullptr;
  CachedNode cached{tag, {}, false};
  const Tag& t = tags_[static_cast<std::size_t>(tag)];
  std::string why;
  if (!DecodeCdxNode(page, t.keyLength, t.pad, cached.node, why)) {
    error = "The index " + path_ + " is damaged: tag " + t.name + ": " + why;
    return nullptr;
  }
  return &cache_.emplace(offset, std::move(cached)).first->second;
}

CdxFile::CachedNode* CdxFile::NewNode(int tag, std::uint32_t& offset, std::string& /*error*/) {
  offset = Allocate(1);
  CachedNode& n = cache_[offset];
  n = CachedNode{tag, {}, true};
  return &n;
}

bool CdxFile::WriteDirtyNodes(std::string& error) {
  unsigned char page[kCdxPageSize];
  for (auto& [offset, cached] : cache_) {
    if (!cached.dirty) continue;
    const Tag& t = tags_[static_cast<std::size_t>(cached.tag)];
    if (!EncodeCdxNode(cached.node, t.keyLength, t.pad, page)) {
      error = "Internal error: an index page of tag " + t.name + " overflowed";
      return false;
    }
    if (!WritePage(offset, page, error)) return false;
    cached.dirty = false;
  }
  return true;
}

// A full cache is written out and its leaves dropped; inner pages, which
// every descent passes, stay.
bool CdxFile::TrimCache(std::string& error) {
  if (cache_.size() < kCacheLimit) return true;
  if (!WriteDirtyNodes(error)) return false;
  for (auto it = cache_.begin(); it != cache_.end();) it = it->second.node.IsLeaf() ? cache_.erase(it) : std::next(it);
  if (cache_.size() >= kCacheLimit / 2) cache_.clear();
  return true;
}

bool CdxFile::Flush(std::uint32_t recordCount, std::string& error) {
  if (!WriteDirtyNodes(error)) return false;
  for (std::size_t i = 0; i < tags_.size(); ++i)
    if (tagHeaderDirty_[i]) {
      if (!WriteTagHeader(tags_[i], error)) return false;
      tagHeaderDirty_[i] = false;
    }
  if (directoryDirty_ && !WriteDirectory(error)) return false;
  if (freeListDirty_) {
    unsigned char page[kCdxPageSize] = {};
    for (std::size_t i = 0; i < freePages_.size(); ++i) {
      PutLe32(page, i == 0 ? kCdxNoPage : freePages_[i - 1]);
      if (!WritePage(freePages_[i], page, error)) return false;
    }
    freeListDirty_ = false;
  }
  struct stat st{};
  if (::fstat(fd_, &st) == 0 && static_cast<std::uint64_t>(st.st_size) != fileEnd_ &&
      ::ftruncate(fd_, fileEnd_) != 0) {
    error = FileErrorMessage("Cannot write", path_);
    return false;
  }
  if (!openForUpdate_ && cleanMark_ && markedCount_ == recordCount) return true;
  if (!WriteCompoundHeader(true, recordCount, error)) return false;
  openForUpdate_ = false;
  cleanMark_ = true;
  foreign_ = false;
  markedCount_ = recordCount;
  return true;
}

bool CdxFile::Descend(int tag, const std::string& key, std::uint32_t rec, std::vector<Step>& path,
                      std::uint32_t& leaf, std::string& error) {
  path.clear();
  std::uint32_t page = tags_[static_cast<std::size_t>(tag)].root;
  for (unsigned depth = 0; depth < kMaxDepth; ++depth) {
    CachedNode* n = Node(tag, page, error);
    if (!n) return false;
    if (n->node.IsLeaf()) {
      leaf = page;
      return true;
    }
    const auto& entries = n->node.entries;
    if (entries.empty()) {
      error = "The index " + path_ + " is damaged: an empty inner page";
      return false;
    }
    std::size_t i = 0;
    while (i + 1 < entries.size() && CompareEntry(entries[i].key, entries[i].rec, key, rec) < 0) ++i;
    path.push_back({page, i});
    page = entries[i].child;
  }
  error = "The index " + path_ + " is damaged: its tree is too deep";
  return false;
}

// After a node's last entry changed, its parents' entries for it follow.
bool CdxFile::PropagateMax(int tag, std::vector<Step>& path, std::uint32_t page, std::string& error) {
  while (!path.empty()) {
    CachedNode* child = Node(tag, page, error);
    if (!child) return false;
    if (child->node.entries.empty()) return true;
    const CdxEntry& last = child->node.entries.back();
    const Step step = path.back();
    path.pop_back();
    CachedNode* parent = Node(tag, step.page, error);
    if (!parent) return false;
    CdxEntry& e = parent->node.entries[step.index];
    if (e.key == last.key && e.rec == last.rec) return true;
    e.key = last.key;
    e.rec = last.rec;
    parent->dirty = true;
    if (step.index + 1 != parent->node.entries.size()) return true;
    page = step.page;
  }
  return true;
}

bool CdxFile::Fits(CachedNode& n, const Tag& t) {
  if (!n.node.IsLeaf()) return n.node.entries.size() <= CdxInteriorCapacity(t.keyLength);
  if (n.boundKnown && n.bound <= kCdxLeafSpace) return true;
  unsigned used, entryBytes;
  std::uint32_t maxRec;
  if (!CdxLeafUsage(n.node, t.keyLength, t.pad, used, entryBytes, maxRec)) return false;
  n.boundKnown = true;
  n.bound = used;
  n.boundEntryBytes = entryBytes;
  n.boundMaxRec = maxRec;
  return used <= kCdxLeafSpace;
}

// Splits overfull nodes from `page` upwards, then fixes the parents' keys.
bool CdxFile::Settle(int tag, std::vector<Step>& path, std::uint32_t page, bool atEnd, std::string& error) {
  Tag& t = tags_[static_cast<std::size_t>(tag)];
  for (;;) {
    CachedNode* n = Node(tag, page, error);
    if (!n) return false;
    if (Fits(*n, t)) return PropagateMax(tag, path, page, error);
    auto& entries = n->node.entries;
    const std::size_t count = entries.size();
    // Appending at the far right end keeps full pages behind it.
    std::size_t split = n->node.right == kCdxNoPage && atEnd && count > 2 ? count - 1 : count / 2;
    CdxNode left, right;
    left.attributes = right.attributes = n->node.attributes & 2;
    for (;;) {
      left.entries.assign(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(split));
      right.entries.assign(entries.begin() + static_cast<std::ptrdiff_t>(split), entries.end());
      const bool leftFits = CdxNodeFits(left, t.keyLength, t.pad);
      const bool rightFits = CdxNodeFits(right, t.keyLength, t.pad);
      if (leftFits && rightFits) break;
      if (!leftFits && split > 1) --split;
      else if (!rightFits && split + 1 < count) ++split;
      else {
        error = "Internal error: an index page of tag " + t.name + " cannot be split";
        return false;
      }
    }
    std::uint32_t newPage;
    CachedNode* m = NewNode(tag, newPage, error);
    n = Node(tag, page, error);  // the cache may have moved nothing, but be explicit
    if (!m || !n) return false;
    const bool wasRoot = n->node.IsRoot();
    m->node.attributes = right.attributes;
    m->node.entries = std::move(right.entries);
    m->node.left = page;
    m->node.right = n->node.right;
    if (n->node.right != kCdxNoPage) {
      CachedNode* r = Node(tag, n->node.right, error);
      if (!r) return false;
      r->node.left = newPage;
      r->dirty = true;
    }
    n->node.right = newPage;
    n->node.entries = std::move(left.entries);
    n->node.attributes = left.attributes;
    n->dirty = true;
    m->dirty = true;
    n->boundKnown = m->boundKnown = false;
    const CdxEntry leftMax{n->node.entries.back().key, n->node.entries.back().rec, page};
    const CdxEntry rightMax{m->node.entries.back().key, m->node.entries.back().rec, newPage};
    if (wasRoot) {
      std::uint32_t rootPage;
      CachedNode* root = NewNode(tag, rootPage, error);
      if (!root) return false;
      root->node.attributes = 1;
      root->node.entries = {leftMax, rightMax};
      t.root = rootPage;
      tagHeaderDirty_[static_cast<std::size_t>(tag)] = true;
      return true;
    }
    const Step step = path.back();
    path.pop_back();
    CachedNode* parent = Node(tag, step.page, error);
    if (!parent) return false;
    parent->node.entries[step.index] = leftMax;
    parent->node.entries.insert(parent->node.entries.begin() + static_cast<std::ptrdiff_t>(step.index) + 1, rightMax);
    parent->dirty = true;
    atEnd = step.index + 2 == parent->node.entries.size();
    page = step.page;
  }
}

bool CdxFile::Insert(int tag, const std::string& key, std::uint32_t rec, std::string& error) {
  rawLeaf_ = kCdxNoPage;  // pages change from here on
  if (!TrimCache(error) || !MarkOpenForUpdate(error)) return false;
  Tag& t = tags_[static_cast<std::size_t>(tag)];
  std::string k = key;
  k.resize(t.keyLength, t.pad);
  std::vector<Step> path;
  std::uint32_t leaf;
  if (!Descend(tag, k, rec, path, leaf, error)) return false;
  CachedNode* n = Node(tag, leaf, error);
  if (!n) return false;
  auto& entries = n->node.entries;
  auto it = std::lower_bound(entries.begin(), entries.end(), 0, [&](const CdxEntry& e, int) {
    return CompareEntry(e.key, e.rec, k, rec) < 0;
  });
  if (it != entries.end() && it->key == k && it->rec == rec) return true;
  const bool atEnd = it == entries.end();
  const std::size_t at = static_cast<std::size_t>(it - entries.begin());
  if (n->boundKnown && rec <= n->boundMaxRec) {
    // The new key's bytes, and the next key's change of shared prefix.
    const std::string* before = at > 0 ? &entries[at - 1].key : nullptr;
    n->bound += n->boundEntryBytes + CdxStoredBytes(before, k, t.keyLength, t.pad);
    if (!atEnd) {
      n->bound += CdxStoredBytes(&k, entries[at].key, t.keyLength, t.pad);
      n->bound -= CdxStoredBytes(before, entries[at].key, t.keyLength, t.pad);
    }
  } else {
    n->boundKnown = false;
  }
  entries.insert(it, CdxEntry{std::move(k), rec, 0});
  n->dirty = true;
  ++t.changes;
  return Settle(tag, path, leaf, atEnd, error);
}

bool CdxFile::Remove(int tag, const std::string& key, std::uint32_t rec, std::string& error) {
  rawLeaf_ = kCdxNoPage;
  if (!TrimCache(error) || !MarkOpenForUpdate(error)) return false;
  Tag& t = tags_[static_cast<std::size_t>(tag)];
  std::string k = key;
  k.resize(t.keyLength, t.pad);
  std::vector<Step> path;
  std::uint32_t page;
  if (!Descend(tag, k, rec, path, page, error)) return false;
  CachedNode* n = Node(tag, page, error);
  if (!n) return false;
  auto& entries = n->node.entries;
  auto it = std::find_if(entries.begin(), entries.end(), [&](const CdxEntry& e) { return e.rec == rec && e.key == k; });
  if (it == entries.end()) return true;
  if (n->boundKnown) {
    const std::size_t at = static_cast<std::size_t>(it - entries.begin());
    const std::string* before = at > 0 ? &entries[at - 1].key : nullptr;
    n->bound -= n->boundEntryBytes + CdxStoredBytes(before, it->key, t.keyLength, t.pad);
    if (at + 1 < entries.size()) {
      n->bound -= CdxStoredBytes(&it->key, entries[at + 1].key, t.keyLength, t.pad);
      n->bound += CdxStoredBytes(before, entries[at + 1].key, t.keyLength, t.pad);
    }
  }
  entries.erase(it);
  n->dirty = true;
  ++t.changes;
  // Empty pages leave the tree; the root becomes an empty leaf.
  while (n->node.entries.empty()) {
    if (n->node.IsRoot() || path.empty()) {
      n->node.attributes = 3;
      n->node.left = n->node.right = kCdxNoPage;
      return true;
    }
    const std::uint32_t left = n->node.left, right = n->node.right;
    if (left != kCdxNoPage) {
      CachedNode* l = Node(tag, left, error);
      if (!l) return false;
      l->node.right = right;
      l->dirty = true;
    }
    if (right != kCdxNoPage) {
      CachedNode* r = Node(tag, right, error);
      if (!r) return false;
      r->node.left = left;
      r->dirty = true;
    }
    FreePage(page);
    const Step step = path.back();
    path.pop_back();
    n = Node(tag, step.page, error);
    if (!n) return false;
    n->node.entries.erase(n->node.entries.begin() + static_cast<std::ptrdiff_t>(step.index));
    n->dirty = true;
    page = step.page;
  }
  return PropagateMax(tag, path, page, error);
}

bool CdxFile::Seek(int tag, const std::string& key, std::uint32_t rec, Cursor& out, std::string& error) {
  if (!TrimCache(error)) return false;
  out = Cursor{tag, kCdxNoPage, -1};
  std::uint32_t page = tags_[static_cast<std::size_t>(tag)].root;
  for (unsigned depth = 0; depth < kMaxDepth; ++depth) {
    if (!cache_.count(page)) {
      // A leaf not in the cache is searched in its page as read.
      unsigned char raw[kCdxPageSize];
      if (!ReadPage(page, raw, error)) return false;
      if (GetLe16(raw) & 2) return SeekInRawLeaf(tag, page, raw, key, rec, out, error);
    }
    CachedNode* n = Node(tag, page, error);
    if (!n) return false;
    const auto& entries = n->node.entries;
    if (!n->node.IsLeaf()) {
      if (entries.empty()) {
        error = "The index " + path_ + " is damaged: an empty inner page";
        return false;
      }
      std::size_t i = 0;
      while (i + 1 < entries.size() && CompareEntry(entries[i].key, entries[i].rec, key, rec) < 0) ++i;
      page = entries[i].child;
      continue;
    }
    std::size_t i = 0;
    while (i < entries.size() && CompareEntry(entries[i].key, entries[i].rec, key, rec) < 0) ++i;
    if (i < entries.size()) {
      out.leaf = page;
      out.index = static_cast<int>(i);
      return true;
    }
    if (entries.empty()) return true;
    out.leaf = page;
    out.index = static_cast<int>(entries.size()) - 1;
    return Next(out, error);
  }
  error = "The index " + path_ + " is damaged: its tree is too deep";
  return false;
}

bool CdxFile::SeekInRawLeaf(int tag, std::uint32_t page, const unsigned char* raw, const std::string& key,
                            std::uint32_t rec, Cursor& out, std::string& error) {
  const Tag& t = tags_[static_cast<std::size_t>(tag)];
  CdxLeafReader reader(raw, t.keyLength, t.pad);
  std::string why;
  if (!reader.Valid(why)) {
    error = "The index " + path_ + " is damaged: tag " + t.name + ": " + why;
    return false;
  }
  const std::size_t compared = std::min<std::size_t>(key.size(), t.keyLength);
  int index = 0;
  for (; reader.Next(why); ++index) {
    // (entry key, entry record) >= (key, rec), as CompareEntry would say.
    int c = std::memcmp(reader.Key(), key.data(), compared);
    if (c == 0) c = t.keyLength < key.size() ? -1 : (t.keyLength > key.size() ? 1 : 0);
    if (c > 0 || (c == 0 && reader.Rec() >= rec)) break;
  }
  if (!why.empty()) {
    error = "The index " + path_ + " is damaged: tag " + t.name + ": " + why;
    return false;
  }
  std::memcpy(rawPage_, raw, kCdxPageSize);
  rawLeaf_ = page;
  out.leaf = page;
  if (index < static_cast<int>(reader.Count())) {
    out.index = index;
    return true;
  }
  if (reader.Count() == 0) {
    out.leaf = kCdxNoPage;
    return true;
  }
  out.index = static_cast<int>(reader.Count()) - 1;
  return Next(out, error);
}

bool CdxFile::First(int tag, Cursor& out, std::string& error) { return Edge(tag, true, out, error); }

bool CdxFile::Last(int tag, Cursor& out, std::string& error) { return Edge(tag, false, out, error); }

// Goes down the tree's outer edge (the left one for the first entry) to a
// leaf, and on past empty leaves.
bool CdxFile::Edge(int tag, bool forward, Cursor& out, std::string& error) {
  if (!TrimCache(error)) return false;
  out = Cursor{tag, kCdxNoPage, -1};
  std::uint32_t page = tags_[static_cast<std::size_t>(tag)].root;
  for (unsigned depth = 0; depth < kMaxDepth; ++depth) {
    CachedNode* n = Node(tag, page, error);
    if (!n) return false;
    const auto& entries = n->node.entries;
    if (n->node.IsLeaf()) {
      if (entries.empty()) return StepLeaf(out, n, forward, error);
      out.leaf = page;
      out.index = forward ? 0 : static_cast<int>(entries.size()) - 1;
      return true;
    }
    if (entries.empty()) return true;
    page = forward ? entries.front().child : entries.back().child;
  }
  error = "The index " + path_ + " is damaged: its tree is too deep";
  return false;
}

bool CdxFile::Next(Cursor& c, std::string& error) {
  if (!c.Valid()) return true;
  CachedNode* n = Node(c.tag, c.leaf, error);
  if (!n) return false;
  if (c.index + 1 < static_cast<int>(n->node.entries.size())) {
    ++c.index;
    return true;
  }
  return StepLeaf(c, n, true, error);
}

bool CdxFile::Prev(Cursor& c, std::string& error) {
  if (!c.Valid()) return true;
  if (c.index > 0) {
    --c.index;
    return true;
  }
  CachedNode* n = Node(c.tag, c.leaf, error);
  if (!n) return false;
  return StepLeaf(c, n, false, error);
}

// Moves the cursor from leaf `n` to the nearest sibling leaf with entries in
// the given direction (its first or last entry), or past the end. Empty pages
// are skipped; the walk is bounded by the file's page count.
bool CdxFile::StepLeaf(Cursor& c, CachedNode* n, bool forward, std::string& error) {
  for (std::uint32_t steps = 0; steps <= fileEnd_ / kCdxPageSize; ++steps) {
    const std::uint32_t sibling = forward ? n->node.right : n->node.left;
    if (sibling == kCdxNoPage) {
      c.leaf = kCdxNoPage;
      c.index = -1;
      return true;
    }
    n = Node(c.tag, sibling, error);
    if (!n) return false;
    if (!n->node.IsLeaf()) {
      error = "The index " + path_ + " is damaged: a leaf links to an inner page";
      return false;
    }
    if (!n->node.entries.empty()) {
      c.leaf = sibling;
      c.index = forward ? 0 : static_cast<int>(n->node.entries.size()) - 1;
      return true;
    }
  }
  error = "The index " + path_ + " is damaged: its pages link in a circle";
  return false;
}

bool CdxFile::Entry(const Cursor& c, std::string* key, std::uint32_t* rec, std::string& error) {
  if (!c.Valid()) {
    error = "no index entry here";
    return false;
  }
  if (c.leaf == rawLeaf_ && !cache_.count(c.leaf)) {
    const Tag& t = tags_[static_cast<std::size_t>(c.tag)];
    CdxLeafReader reader(rawPage_, t.keyLength, t.pad);
    std::string why;
    for (int i = 0; reader.Next(why); ++i) {
      if (i != c.index) continue;
      if (key) key->assign(reader.Key(), t.keyLength);
      if (rec) *rec = reader.Rec();
      return true;
    }
    error = why.empty() ? "no index entry here" : "The index " + path_ + " is damaged: " + why;
    return false;
  }
  CachedNode* n = Node(c.tag, c.leaf, error);
  if (!n) return false;
  if (c.index < 0 || c.index >= static_cast<int>(n->node.entries.size())) {
    error = "no index entry here";
    return false;
  }
  const CdxEntry& e = n->node.entries[static_cast<std::size_t>(c.index)];
  if (key) *key = e.key;
  if (rec) *rec = e.rec;
  return true;
}

bool CdxFile::CollectPages(int tag, std::vector<std::uint32_t>& pages, std::string& error) {
  std::vector<std::uint32_t> level{tags_[static_cast<std::size_t>(tag)].root};
  for (unsigned depth = 0; depth < kMaxDepth && !level.empty(); ++depth) {
    std::vector<std::uint32_t> next;
    for (std::uint32_t p : level) {
      CachedNode* n = Node(tag, p, error);
      if (!n) return false;
      pages.push_back(p);
      if (!n->node.IsLeaf())
        for (const auto& e : n->node.entries) next.push_back(e.child);
      if (pages.size() + next.size() > fileEnd_ / kCdxPageSize) {
        error = "The index " + path_ + " is damaged: its pages are shared";
        return false;
      }
    }
    level = std::move(next);
  }
  return true;
}

// Writes a tag's tree from sorted keys, level by level: pages are filled in
// order and written as soon as the next one starts, and each level is built
// from the last key of every page below until a single root remains.
bool CdxFile::BuildTree(int tag, const SortedKeys& sorted, std::string& error) {
  Tag& t = tags_[static_cast<std::size_t>(tag)];
  unsigned char page[kCdxPageSize];
  const auto write = [&](CdxNode& n, std::uint32_t offset) {
    if (!EncodeCdxNode(n, t.keyLength, t.pad, page)) {
      error = "Internal error: an index page of tag " + t.name + " overflowed";
      return false;
    }
    cache_.erase(offset);
    return WritePage(offset, page, error);
  };
  struct Level {
    std::vector<CdxEntry> uppers;  // (last key, record, page) of each written page
    CdxNode pending;               // the newest page, written when the next one starts
    std::uint32_t offset = kCdxNoPage;
    std::uint32_t previous = kCdxNoPage;
    std::size_t count = 0;
  };
  const auto push = [&](Level& level, CdxNode&& node) {
    const std::uint32_t offset = Allocate(1);
    if (level.count > 0) {
      level.pending.right = offset;
      if (!write(level.pending, level.offset)) return false;
      const CdxEntry& last = level.pending.entries.back();
      level.uppers.push_back({last.key, last.rec, level.offset});
      level.previous = level.offset;
    }
    node.left = level.previous;
    node.right = kCdxNoPage;
    level.pending = std::move(node);
    level.offset = offset;
    ++level.count;
    return true;
  };
  // True when the level was the top one (its page is the root).
  const auto finish = [&](Level& level, bool& top) {
    top = level.count == 1;
    if (top) {
      level.pending.attributes |= 1;
      level.pending.left = level.pending.right = kCdxNoPage;
      t.root = level.offset;
      return write(level.pending, level.offset);
    }
    if (!write(level.pending, level.offset)) return false;
    const CdxEntry& last = level.pending.entries.back();
    level.uppers.push_back({last.key, last.rec, level.offset});
    return true;
  };

  Level level;
  CdxLeafSizer sizer(t.keyLength, t.pad);
  CdxNode leaf;
  leaf.attributes = 2;
  for (const auto& [key, rec] : sorted) {
    std::string k = key;
    k.resize(t.keyLength, t.pad);
    if (!sizer.Add(k, rec)) {
      if (!push(level, std::move(leaf))) return false;
      leaf = CdxNode{};
      leaf.attributes = 2;
      sizer.Reset();
      sizer.Add(k, rec);
    }
    leaf.entries.push_back(CdxEntry{std::move(k), rec, 0});
  }
  if (!push(level, std::move(leaf))) return false;
  const unsigned capacity = CdxInteriorCapacity(t.keyLength);
  for (unsigned depth = 0; depth < kMaxDepth; ++depth) {
    bool top = false;
    if (!finish(level, top)) return false;
    if (top) {
      tagHeaderDirty_[static_cast<std::size_t>(tag)] = true;
      ++t.changes;
      return true;
    }
    Level above;
    const std::vector<CdxEntry> children = std::move(level.uppers);
    for (std::size_t i = 0; i < children.size(); i += capacity) {
      CdxNode inner;
      inner.attributes = 0;
      inner.entries.assign(children.begin() + static_cast<std::ptrdiff_t>(i),
                           children.begin() + static_cast<std::ptrdiff_t>(std::min(children.size(), i + capacity)));
      if (!push(above, std::move(inner))) return false;
    }
    level = std::move(above);
  }
  error = "Internal error: tag " + t.name + " grew too deep";
  return false;
}

int CdxFile::PutTag(const Tag& def, const SortedKeys& sorted, std::string& error) {
  rawLeaf_ = kCdxNoPage;
  if (!MarkOpenForUpdate(error)) return -1;
  int tag = FindTag(def.name);
  if (tag < 0) {
    if (tags_.size() >= 32) {
      error = "The index " + path_ + " cannot hold more tags";
      return -1;
    }
    Tag t = def;
    for (auto& c : t.name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    t.header = Allocate(2);
    tags_.push_back(t);
    tagHeaderDirty_.push_back(true);
    directoryDirty_ = true;
    tag = static_cast<int>(tags_.size()) - 1;
    if (!BuildTree(tag, sorted, error)) return -1;
  } else {
    Tag& t = tags_[static_cast<std::size_t>(tag)];
    std::vector<std::uint32_t> old;
    if (!CollectPages(tag, old, error)) old.clear();  // a damaged old tree is abandoned
    for (std::uint32_t p : old) FreePage(p);
    const std::uint32_t header = t.header;
    const std::uint64_t changes = t.changes;
    t = def;
    for (auto& c : t.name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    t.header = header;
    t.changes = changes + 1;
    tagHeaderDirty_[static_cast<std::size_t>(tag)] = true;
    if (!BuildTree(tag, sorted, error)) return -1;
  }
  // The tag's definition is on disk at once; its pages were written by BuildTree.
  if (!WriteTagHeader(tags_[static_cast<std::size_t>(tag)], error) || !WriteDirectory(error)) return -1;
  tagHeaderDirty_[static_cast<std::size_t>(tag)] = false;
  return tag;
}

bool CdxFile::RebuildTag(int tag, const SortedKeys& sorted, std::string& error) {
  return PutTag(tags_[static_cast<std::size_t>(tag)], sorted, error) >= 0;
}

bool CdxFile::Verify(std::string& error) {
  for (int tag = 0; tag < TagCount(); ++tag) {
    const Tag& t = tags_[static_cast<std::size_t>(tag)];
    std::vector<std::uint32_t> pages;
    if (!CollectPages(tag, pages, error)) return false;
    std::size_t leafKeys = 0;
    for (std::uint32_t p : pages) {
      CachedNode* n = Node(tag, p, error);
      if (!n) return false;
      if (n->node.IsLeaf()) leafKeys += n->node.entries.size();
      for (std::size_t i = 1; i < n->node.entries.size(); ++i) {
        const auto& a = n->node.entries[i - 1];
        const auto& b = n->node.entries[i];
        if (CompareEntry(a.key, a.rec, b.key, b.rec) >= 0) {
          error = "tag " + t.name + ": keys out of order";
          return false;
        }
      }
    }
    Cursor c;
    if (!First(tag, c, error)) return false;
    std::size_t walked = 0;
    std::string previous;
    std::uint32_t previousRec = 0;
    while (c.Valid()) {
      std::string key;
      std::uint32_t rec;
      if (!Entry(c, &key, &rec, error)) return false;
      if (walked > 0 && CompareEntry(previous, previousRec, key, rec) >= 0) {
        error = "tag " + t.name + ": leaves out of order";
        return false;
      }
      previous = key;
      previousRec = rec;
      if (++walked > leafKeys) break;
      if (!Next(c, error)) return false;
    }
    if (walked != leafKeys) {
      error = "tag " + t.name + ": the leaf chain does not hold every key";
      return false;
    }
  }
  return true;
}

}  // namespace tlm::xbase
