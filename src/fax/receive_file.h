#pragma once
// The file side of a fax reception: the name a received fax gets, and the
// APF file the pages are written into as they arrive.
//
// Pages are stored in the raw layout (the modem's bit stream as is). The
// file is built under a temporary name beside its final name and renamed
// when it is complete and on disk, so a failed reception never leaves a
// partial file behind.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "faximage/apf_writer.h"

namespace tlm {

// Highest counter of generated names; when all are taken the fixed
// fallback name is used.
inline constexpr int kMaxReceiveCounter = 9999;

// "FAX" + four-digit counter + "." + extension in `dir` (a separator is
// added when missing): the first such name that `exists` says is free, the
// counter running from 1; "NONAME.APF" in `dir` when all 9999 are taken.
std::string GenerateReceiveName(std::string_view dir, std::string_view extension,
                                const std::function<bool(const std::string&)>& exists);
// The same against the file system.
std::string GenerateReceiveName(std::string_view dir, std::string_view extension);

// One received fax file. Every operation returns 0 or a negative result
// (a negated errno for file errors).
class ReceiveFaxFile {
 public:
  ReceiveFaxFile() = default;
  ~ReceiveFaxFile() { Remove(); }
  ReceiveFaxFile(const ReceiveFaxFile&) = delete;
  ReceiveFaxFile& operator=(const ReceiveFaxFile&) = delete;

  int Open(const std::string& path);
  // A page header with bit 0 = fine, bit 1 = wide and bit 2 clear.
  int BeginPage(bool fine, bool wide);
  int Write(const std::uint8_t* data, std::size_t size);
  int Write(std::string_view data) {
    return Write(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
  }
  // Rewrites the page header with the page's length; counts the page.
  int EndPage();
  // Truncates the file back to where the current page began.
  int DiscardPage();
  // Ends an open page, rewrites the file header with the station ID, the
  // time stamp and the page count, flushes the file to disk and gives it
  // its final name. Afterwards the file is complete on disk.
  int Close(std::string_view stationId);
  // Deletes an unfinished file (nothing happens when none is open).
  void Remove();

  bool IsOpen() const { return writer_ != nullptr; }
  bool InPage() const { return writer_ && writer_->InPage(); }
  int PageCount() const { return writer_ ? writer_->PageCount() : 0; }
  const std::string& Path() const { return path_; }

 private:
  int Guard(const std::function<void()>& step);

  std::unique_ptr<ApfWriter> writer_;
  std::string path_;
};

}  // namespace tlm
