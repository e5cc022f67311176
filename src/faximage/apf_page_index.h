#pragma once
// The page chain of an APF file, walked once. Each page header says where
// the next one starts, so finding page N means reading the headers before
// it; the index reads them all in one buffered pass and then finds any page
// at once. A file damaged after page 3 still gives pages 1 to 3: the walk
// remembers why it stopped and reports that only for the pages beyond.
//
// Indexes of recently read files are kept (by path, inode, size and change
// time) and shared, so a reader that asks for one page per call, such as
// ApfLocatePage, pays for the walk once per file version too.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "faximage/apf_file.h"
#include "faximage/binary_file.h"

namespace tlm {

struct ApfPageEntry {
  ApfPageHeader header;
  std::uint64_t dataOffset = 0;  // file offset of the page's image data
};

// The result of one walk; never changed afterwards.
struct ApfPageChain {
  ApfFileHeader header;
  std::vector<ApfPageEntry> pages;  // the pages whose headers lie in the file
  int stopResult = 0;               // why the walk ended before the page count
  std::uint64_t endOfPages = 0;     // just past the last page's image data
};

class ApfPageIndex {
 public:
  // Reads the file header and walks the pages: 0, -8001 (no APF file), -2
  // for an empty name or a negated errno.
  int Open(const std::string& fileName);

  // After a successful Open only.
  const ApfFileHeader& FileHeader() const { return chain_->header; }
  int PageCount() const { return chain_ ? chain_->header.pageCount : 0; }
  // Page `pageNumber` (from 1): 0, or -8001 when there is no such page or
  // its header lies outside the file, or the error that stopped the walk.
  // A kept index is checked against the page's header in the file and
  // walked again when the file was rewritten unnoticed.
  int Locate(int pageNumber, ApfPageHeader& header, std::uint64_t& dataOffset);
  // The offset just past the last page's image data (the first page offset
  // of a file without pages); -8001 when a page lies outside the file.
  int EndOfPages(std::uint64_t& end);

 private:
  void CheckKept(int pageNumber);

  BinaryFile file_;
  std::uint64_t size_ = 0;
  bool kept_ = false;  // the chain came from an earlier walk
  std::shared_ptr<const ApfPageChain> chain_;
};

// Forgets the kept indexes (for tests and benchmarks that time a cold walk).
void ApfForgetPageIndexes();

}  // namespace tlm
