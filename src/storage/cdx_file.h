#pragma once
// A FoxPro compact compound index (CDX): a compound header, a tag directory
// and, per tag, a header with the key and FOR expressions and a B-tree of
// 512-byte pages. Keys are kept in ascending (key, record) order on disk;
// descending tags are read backwards.
//
// Pages are cached and written at Flush. While unflushed changes exist the
// compound header carries an "open for update" mark, so an index left behind
// by a killed program is known to be stale and is rebuilt from the data.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "storage/cdx_node.h"

namespace tlm::xbase {

class CdxFile {
 public:
  struct Tag {
    std::string name;       // upper case, at most 10 characters
    std::string key;        // key expression text
    std::string condition;  // FOR expression text, empty when none
    bool descending = false;
    unsigned keyLength = 0;
    char pad = ' ';         // ' ' for character keys, 0 for numeric and date keys
    std::uint32_t header = 0;
    std::uint32_t root = 0;
    std::uint64_t changes = 0;  // bumped by every change (cursors check it)
  };

  struct Cursor {
    int tag = -1;
    std::uint32_t leaf = kCdxNoPage;
    int index = -1;
    bool Valid() const { return leaf != kCdxNoPage; }
  };

  using SortedKeys = std::vector<std::pair<std::string, std::uint32_t>>;

  ~CdxFile();
  CdxFile(const CdxFile&) = delete;
  CdxFile& operator=(const CdxFile&) = delete;

  // A new, empty compound index (replaces any file of that name).
  static std::unique_ptr<CdxFile> Create(const std::string& path, std::string& error);
  // Opens and checks the headers, the tag directory and every tag's root.
  static std::unique_ptr<CdxFile> Open(const std::string& path, std::string& error);

  const std::string& Path() const { return path_; }
  // False when the index was not closed cleanly, or was written for a table
  // with another record count: its keys cannot be trusted.
  bool IsCurrentFor(std::uint32_t recordCount) const;

  int TagCount() const { return static_cast<int>(tags_.size()); }
  const Tag& TagAt(int i) const { return tags_[static_cast<std::size_t>(i)]; }
  int FindTag(const std::string& name) const;  // -1 when absent
  // The byte that pads keys of the tag: ' ' for character keys, 0 for
  // numeric and date keys. Set from the key expression's type before use.
  void SetKeyPad(int tag, char pad);

  // Adds the tag (or replaces the one of that name) holding `sorted`, which
  // must be in ascending (key, record) order with keys of def.keyLength bytes.
  // Returns the tag's index.
  int PutTag(const Tag& def, const SortedKeys& sorted, std::string& error);
  bool RebuildTag(int tag, const SortedKeys& sorted, std::string& error);

  bool Insert(int tag, const std::string& key, std::uint32_t rec, std::string& error);
  bool Remove(int tag, const std::string& key, std::uint32_t rec, std::string& error);

  // Positions on the first entry >= (key, rec); an invalid cursor past the end.
  bool Seek(int tag, const std::string& key, std::uint32_t rec, Cursor& out, std::string& error);
  bool First(int tag, Cursor& out, std::string& error);
  bool Last(int tag, Cursor& out, std::string& error);
  // Steps in ascending order; an invalid cursor past either end.
  bool Next(Cursor& c, std::string& error);
  bool Prev(Cursor& c, std::string& error);
  bool Entry(const Cursor& c, std::string* key, std::uint32_t* rec, std::string& error);

  // Writes every change and marks the file clean for `recordCount` records.
  bool Flush(std::uint32_t recordCount, std::string& error);

  // Checks every tag's tree completely: order, links and key counts (tests, fuzzing).
  bool Verify(std::string& error);

 private:
  CdxFile() = default;
  struct CachedNode {
    int tag;
    CdxNode node;
    bool dirty = false;
    // Leaves: an upper bound of the bytes used, kept across inserts so that
    // most inserts need no full size count; valid while records stay within
    // boundMaxRec (the entry size does not change).
    bool boundKnown = false;
    unsigned bound = 0;
    unsigned boundEntryBytes = 0;
    std::uint32_t boundMaxRec = 0;
  };
  bool Fits(CachedNode& n, const Tag& t);
  bool Edge(int tag, bool forward, Cursor& out, std::string& error);
  bool StepLeaf(Cursor& c, CachedNode* n, bool forward, std::string& error);
  struct Step {
    std::uint32_t page;
    std::size_t index;
  };

  bool ReadPage(std::uint32_t offset, unsigned char* page, std::string& error) const;
  bool WritePage(std::uint32_t offset, const unsigned char* page, std::string& error);
  CachedNode* Node(int tag, std::uint32_t offset, std::string& error);
  CachedNode* NewNode(int tag, std::uint32_t& offset, std::string& error);
  std::uint32_t Allocate(unsigned pages);
  void FreePage(std::uint32_t offset);
  bool MarkOpenForUpdate(std::string& error);
  bool WriteCompoundHeader(bool clean, std::uint32_t recordCount, std::string& error);
  bool WriteTagHeader(const Tag& tag, std::string& error);
  bool WriteDirectory(std::string& error);
  bool WriteDirtyNodes(std::string& error);
  bool TrimCache(std::string& error);
  bool Descend(int tag, const std::string& key, std::uint32_t rec, std::vector<Step>& path, std::uint32_t& leaf,
               std::string& error);
  bool Settle(int tag, std::vector<Step>& path, std::uint32_t page, bool atEnd, std::string& error);
  bool PropagateMax(int tag, std::vector<Step>& path, std::uint32_t page, std::string& error);
  bool CollectPages(int tag, std::vector<std::uint32_t>& pages, std::string& error);
  bool BuildTree(int tag, const SortedKeys& sorted, std::string& error);
  bool LoadTag(const std::string& name, std::uint32_t header, std::string& error);

  // Lookups read a leaf that is not cached straight from its page, without
  // building (and caching) the node; the last such page is kept for Entry.
  bool SeekInRawLeaf(int tag, std::uint32_t page, const unsigned char* raw, const std::string& key,
                     std::uint32_t rec, Cursor& out, std::string& error);
  std::uint32_t rawLeaf_ = kCdxNoPage;
  unsigned char rawPage_[kCdxPageSize] = {};

  std::string path_;
  int fd_ = -1;
  std::uint32_t fileEnd_ = 0;
  std::uint32_t directory_ = 0;
  std::vector<Tag> tags_;
  std::vector<std::uint32_t> freePages_;
  std::unordered_map<std::uint32_t, CachedNode> cache_;
  std::vector<bool> tagHeaderDirty_;
  bool directoryDirty_ = false;
  bool freeListDirty_ = false;
  bool openForUpdate_ = false;  // the mark is on disk
  bool foreign_ = true;         // no clean/dirty mark of ours in the header
  bool cleanMark_ = false;
  std::uint32_t markedCount_ = 0;
};

}  // namespace tlm::xbase
