#include "faximage/apf_page_index.h"

#include <array>
#include <cstring>
#include <mutex>
#include <sys/stat.h>

#include "faximage/binary_file.h"
#include "faximage/fax_errors.h"

namespace tlm {

namespace {

// What identifies one version of a file: a rewrite changes its size or its
// change time, a replacement its inode.
struct FileVersion {
  std::string path;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  std::int64_t modifiedNs = 0;
  std::int64_t changedNs = 0;
  std::array<std::uint8_t, ApfFileHeader::kSize> header{};
  bool operator==(const FileVersion&) const = default;
};

std::int64_t Nanoseconds(const timespec& t) { return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec; }

// Reads page headers through a buffer so that a file of many small pages
// costs a few reads, not one per page.
class HeaderReader {
 public:
  HeaderReader(BinaryFile& file, std::uint64_t size) : file_(file), size_(size) {}

  int Read(std::uint64_t offset, std::uint8_t out[ApfPageHeader::kSize]) {
    if (offset < start_ || offset + ApfPageHeader::kSize > start_ + length_) {
      start_ = offset;
      length_ = std::min<std::uint64_t>(kBlock, size_ - offset);
      file_.Seek(offset);
      if (const int rc = file_.ReadExact(block_.data(), length_, -ecFaxBadFormat); rc != 0) return rc;
    }
    std::memcpy(out, block_.data() + (offset - start_), ApfPageHeader::kSize);
    return 0;
  }

 private:
  static constexpr std::size_t kBlock = 16384;
  BinaryFile& file_;
  std::uint64_t size_;
  std::array<std::uint8_t, kBlock> block_{};
  std::uint64_t start_ = 0, length_ = 0;
};

std::shared_ptr<const ApfPageChain> Walk(BinaryFile& f, const ApfFileHeader& header, std::uint64_t size) {
  auto chain = std::make_shared<ApfPageChain>();
  chain->header = header;
  chain->pages.reserve(header.pageCount);
  HeaderReader reader(f, size);
  std::uint64_t offset = header.firstPageOffset;
  chain->endOfPages = offset;
  for (int n = 1; n <= header.pageCount; ++n) {
    if (offset + ApfPageHeader::kSize > size) {
      chain->stopResult = -ecFaxBadFormat;
      break;
    }
    std::uint8_t raw[ApfPageHeader::kSize];
    if (const int rc = reader.Read(offset, raw); rc != 0) {
      chain->stopResult = rc;
      break;
    }
    ApfPageEntry page{ApfPageHeader::Decode(raw), offset + ApfPageHeader::kSize};
    chain->pages.push_back(page);
    offset = page.dataOffset + page.header.imageLength;
    chain->endOfPages = offset;
  }
  return chain;
}

// The indexes of the last few files read.
class KeptIndexes {
 public:
  std::shared_ptr<const ApfPageChain> Find(const FileVersion& version) {
    std::lock_guard lock(mutex_);
    for (const Kept& k : kept_) {
      if (k.chain && k.version == version) return k.chain;
    }
    return nullptr;
  }
  void Keep(const FileVersion& version, std::shared_ptr<const ApfPageChain> chain) {
    std::lock_guard lock(mutex_);
    for (Kept& k : kept_) {
      if (k.version.path == version.path) k.chain.reset();
    }
    kept_[next_] = Kept{version, std::move(chain)};
    next_ = (next_ + 1) % kept_.size();
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    for (Kept& k : kept_) k = Kept{};
  }

 private:
  struct Kept {
    FileVersion version;
    std::shared_ptr<const ApfPageChain> chain;
  };
  std::mutex mutex_;
  std::array<Kept, 4> kept_;
  std::size_t next_ = 0;
};

KeptIndexes& Kept() {
  static KeptIndexes kept;
  return kept;
}

}  // namespace

int ApfPageIndex::Open(const std::string& fileName) {
  chain_.reset();
  BinaryFile& f = file_;
  if (const int rc = f.Open(fileName, BinaryFile::Mode::kRead); rc != 0) return rc;
  FileVersion version;
  if (const int rc = f.ReadExact(version.header.data(), version.header.size(), -ecFaxBadFormat); rc != 0) return rc;
  const ApfFileHeader header = ApfFileHeader::Decode(version.header.data());
  if (!header.SignatureOk()) return -ecFaxBadFormat;
  struct stat st {};
  if (const int rc = f.Status(st); rc != 0) return rc;
  version.path = fileName;
  version.device = st.st_dev;
  version.inode = st.st_ino;
  version.size = st.st_size;
  version.modifiedNs = Nanoseconds(st.st_mtim);
  version.changedNs = Nanoseconds(st.st_ctim);
  size_ = static_cast<std::uint64_t>(st.st_size);
  chain_ = Kept().Find(version);
  kept_ = chain_ != nullptr;
  if (!chain_) {
    chain_ = Walk(f, header, size_);
    Kept().Keep(version, chain_);
  }
  return 0;
}

void ApfPageIndex::CheckKept(int pageNumber) {
  if (!kept_ || pageNumber < 1 || std::size_t(pageNumber) > chain_->pages.size()) return;
  // A file rewritten within the resolution of its timestamps keeps its
  // version; its page headers tell.
  const ApfPageEntry& page = chain_->pages[std::size_t(pageNumber - 1)];
  std::uint8_t raw[ApfPageHeader::kSize];
  file_.Seek(page.dataOffset - ApfPageHeader::kSize);
  const bool same = file_.ReadExact(raw, sizeof raw, -ecFaxBadFormat) == 0 &&
                    ApfPageHeader::Decode(raw).imageLength == page.header.imageLength &&
                    ApfPageHeader::Decode(raw).flags == page.header.flags;
  if (!same) {
    chain_ = Walk(file_, chain_->header, size_);
    kept_ = false;
  }
}

int ApfPageIndex::Locate(int pageNumber, ApfPageHeader& header, std::uint64_t& dataOffset) {
  if (!chain_ || pageNumber < 1 || pageNumber > chain_->header.pageCount) return -ecFaxBadFormat;
  CheckKept(pageNumber);
  if (std::size_t(pageNumber) > chain_->pages.size()) return chain_->stopResult;
  const ApfPageEntry& page = chain_->pages[std::size_t(pageNumber - 1)];
  header = page.header;
  dataOffset = page.dataOffset;
  return 0;
}

int ApfPageIndex::EndOfPages(std::uint64_t& end) {
  if (!chain_) return -ecFaxBadFormat;
  CheckKept(static_cast<int>(chain_->pages.size()));
  if (chain_->stopResult != 0) return chain_->stopResult;
  end = chain_->endOfPages;
  return 0;
}

void ApfForgetPageIndexes() { Kept().Clear(); }

}  // namespace tlm
