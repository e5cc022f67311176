#pragma once
// Writes an APF file page by page: the file header first, each page's header
// rewritten in place with its final image length when the page ends, and
// the file header rewritten with the page count, creation time and station
// ID when the file is finished. Output goes through a 4096-byte buffer.
//
// The pages are written to a temporary file beside the target, which
// Finish() renames over it: a failed conversion never leaves a partial file
// and never destroys an older file of the same name. Abandon() (also run by
// the destructor of an unfinished writer) deletes the temporary file.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "faximage/apf_file.h"
#include "faximage/binary_file.h"

namespace tlm {

class ApfWriter {
 public:
  ApfWriter() = default;
  ~ApfWriter();
  ApfWriter(const ApfWriter&) = delete;
  ApfWriter& operator=(const ApfWriter&) = delete;

  // Creates the file and writes a header with page count 0. Throws.
  // `inPlace` writes the target itself instead of a temporary file (for a
  // receiver that wants the pages on disk as they arrive); Abandon() then
  // deletes the target.
  void Create(const std::string& path, bool inPlace = false);
  // Starts a page with these flags (image length 0 until it ends).
  void BeginPage(std::uint16_t flags);
  // One line record: the 2-byte length, then the data (at most 4096 bytes).
  void WriteRecord(const std::uint8_t* data, std::size_t size);
  // Image data as is (the raw layout).
  void WriteRaw(const std::uint8_t* data, std::size_t size);
  // Rewrites the page header with the image length; raises the page count.
  void EndPage();
  // Drops the current page: the file is cut back to where it began.
  void DiscardPage();
  // Writes the creation time and station ID, rewrites the file header and
  // closes the file; its data is on disk before it gets its name. Throws.
  void Finish(std::string_view stationId);
  // Closes and deletes an unfinished file.
  void Abandon();

  bool InPage() const { return inPage_; }
  int PageCount() const { return header_.pageCount; }
  std::uint64_t BytesWritten() const { return file_.Position() + buffer_.size(); }

 private:
  void Put(const std::uint8_t* data, std::size_t size);
  void Flush();
  void WriteAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size);

  std::string path_;
  std::string tempPath_;
  BinaryFile file_;
  std::vector<std::uint8_t> buffer_;
  ApfFileHeader header_;
  ApfPageHeader page_;
  std::uint64_t pageOffset_ = 0;
  bool inPage_ = false;
  bool open_ = false;
};

}  // namespace tlm
