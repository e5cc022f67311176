#pragma once
// A DBF data file (FoxPro 2.x style): header, field descriptors and
// fixed-length records, opened for exclusive use.
//
// Write order keeps the file honest under a crash: a record's bytes are
// written before the header's record count is raised, so the count never
// claims a record that is not there. Opening a file whose count and length
// disagree keeps every complete record and corrects the count.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "storage/xbase_types.h"

namespace tlm::xbase {

class DbfFile {
 public:
  ~DbfFile();
  DbfFile(const DbfFile&) = delete;
  DbfFile& operator=(const DbfFile&) = delete;

  // Writes a new, empty table (and an empty memo file beside it when a field
  // is a memo). Fails when the file exists already.
  static bool Create(const std::string& path, const std::vector<FieldDef>& fields, std::string& error);

  // Opens for exclusive use. A table locked by another open (this process or
  // another) fails with an "in use" error. `repaired` tells whether the record
  // count had to be corrected from the file length.
  static std::unique_ptr<DbfFile> Open(const std::string& path, std::string& error, bool* repaired = nullptr);

  // Parses a header held in memory (the fuzz target and Open share it).
  static bool ParseHeader(const unsigned char* data, std::size_t size, std::vector<FieldDef>& fields,
                          unsigned& headerLength, unsigned& recordLength, std::uint32_t& recordCount,
                          unsigned char& version, std::string& error);

  const std::string& Path() const { return path_; }
  const std::vector<FieldDef>& Fields() const { return fields_; }
  int FieldIndex(const std::string& name) const;  // -1 when absent (any letter case)
  unsigned RecordLength() const { return recordLength_; }
  unsigned HeaderLength() const { return headerLength_; }
  std::uint32_t RecordCount() const { return count_; }
  bool HasMemo() const;
  unsigned char Version() const { return version_; }

  // Record `recno` (1-based) into `out` (RecordLength bytes).
  bool Read(std::uint32_t recno, char* out, std::string& error) const;
  // Reads records first..first+n-1 in one go (sequential scans).
  bool ReadMany(std::uint32_t first, std::uint32_t n, char* out, std::string& error) const;
  bool Write(std::uint32_t recno, const char* record, std::string& error);
  // Adds a record at the end: its bytes (and the end-of-file mark) first,
  // then the header's count.
  bool Append(const char* record, std::string& error);

  // Sets or clears header flag 0x01 ("a structural CDX exists").
  bool SetStructuralIndexFlag(bool on, std::string& error);

  // Rewrites the table keeping the records for which keep(recno, record)
  // returns kKeep (the record may be changed on the way); kAbort stops with
  // the table unchanged. A new file is written beside the table and renamed
  // over it, so a crash leaves either the old or the new table; the lock is
  // kept throughout.
  //
  // `memoTemp`, when not empty, is a new memo file (already written) that
  // replaces the table's memo file together with the table: a marker file
  // makes the two renames one step that the next Open completes.
  enum PackVerdict { kDrop, kKeep, kAbort };
  template <typename Keep>
  bool Pack(Keep keep, const std::string& memoTemp, std::string& error) {
    std::vector<char> rec(recordLength_);
    return PackImpl([&](std::uint32_t n, std::vector<char>& r) { return keep(n, r.data()); }, rec, memoTemp, error);
  }

  // Names of the files a pack writes beside the table.
  static std::string PackTempPath(const std::string& path) { return path + ".pack"; }
  static std::string PackMarkerPath(const std::string& path) { return path + ".packed"; }

  // Bytes of an empty field of this type (blanks).
  static void BlankField(const FieldDef& field, char* at);

 private:
  DbfFile() = default;
  bool PackImpl(const std::function<PackVerdict(std::uint32_t, std::vector<char>&)>& keep, std::vector<char>& rec,
                const std::string& memoTemp, std::string& error);
  // Completes a pack that was cut off after its marker was written, or
  // removes the files of one cut off before.
  static bool FinishPack(const std::string& path, std::string& error);
  bool WriteHeaderCount(std::string& error);
  bool StampDate(std::string& error);

  std::string path_;
  int fd_ = -1;
  std::vector<FieldDef> fields_;
  unsigned headerLength_ = 0;
  unsigned recordLength_ = 0;
  std::uint32_t count_ = 0;
  unsigned char version_ = 0x03;
  bool dateStamped_ = false;
};

}  // namespace tlm::xbase
