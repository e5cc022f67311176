#pragma once
// One open table: its data file, memo file and compound index, the current
// record (buffered), the current order and the filter. The engine's xb_
// operations act on a work area.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "storage/cdx_file.h"
#include "storage/dbf_file.h"
#include "storage/fpt_file.h"
#include "storage/xbase_expr.h"

namespace tlm::xbase {

class WorkArea {
 public:
  // `hideDeleted` points at the engine-wide SET DELETED switch.
  static std::unique_ptr<WorkArea> Open(const std::string& path, const bool* hideDeleted, std::string& error);
  ~WorkArea();
  WorkArea(const WorkArea&) = delete;
  WorkArea& operator=(const WorkArea&) = delete;

  // Writes the record buffer and every index change; the area stays usable.
  bool Close(std::string& error);

  const DbfFile& Table() const { return *dbf_; }
  const std::string& Path() const { return dbf_->Path(); }

  // --- Index
  // Opens `path` (creating an empty index when it does not exist). An index
  // whose keys cannot be trusted (left open by a killed program, or written
  // for another record count) is rebuilt from the data.
  bool OpenIndex(const std::string& path, std::string& error);
  bool CloseIndex(std::string& error);
  bool HasIndex() const { return cdx_ != nullptr; }
  bool IndexDamaged() const { return indexDamaged_; }
  const std::string& IndexProblem() const { return indexProblem_; }
  std::string StructuralIndexPath() const;
  bool AddTag(const std::string& name, const std::string& key, bool descending, const std::string& condition,
              std::string& error);
  int TagCount() const { return cdx_ ? cdx_->TagCount() : 0; }
  int TagNumber(const std::string& name) const;  // 1-based, 0 when absent
  std::string TagName(int number) const;
  bool SetOrder(int number, std::string& error);
  int Order() const { return order_; }
  bool Reindex(std::string& error);
  // Checks every tag against the data: each visible key present, in order (tests).
  bool VerifyIndex(std::string& error);

  // --- Filter
  bool SetFilter(const std::string& expression, std::string& error);
  const std::string& Filter() const { return filterText_; }
  bool CountVisible(long& count, std::string& error);

  // --- Navigation
  long RecNo() const { return recno_; }
  long RecCount() const { return static_cast<long>(dbf_->RecordCount()) + (pendingAppend_ ? 1 : 0); }
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }
  bool Go(long recno, std::string& error);
  bool GoTop(std::string& error);
  bool GoBottom(std::string& error);
  bool Skip(long count, std::string& error);
  bool Seek(const std::string& key, bool& found, std::string& error);

  // --- Record buffer
  const std::string& Buffer() const { return buffer_; }
  bool PutBuffer(const std::string& record, std::string& error);
  int FieldIndex(const std::string& name) const { return dbf_->FieldIndex(name); }
  bool FieldRaw(int field, std::string& out, std::string& error) const;
  bool FieldText(int field, std::string& out, std::string& error) const;
  bool Replace(int field, const std::string& value, std::string& error);
  bool AppendBlank(std::string& error);
  bool Commit(std::string& error);
  bool SetDeletionMark(bool deleted, std::string& error);
  bool Deleted() const { return !buffer_.empty() && buffer_[0] == '*'; }
  bool Pack(std::string& error);

 private:
  struct TagRuntime {
    std::unique_ptr<Expression> key;
    std::unique_ptr<Expression> condition;
    unsigned keyLength = 0;
    char pad = ' ';
  };

  WorkArea() = default;
  RecordView View(const char* record, std::uint32_t recno) const;
  std::string KeyOf(const TagRuntime& tag, const char* record, std::uint32_t recno) const;
  bool InTag(const TagRuntime& tag, const char* record, std::uint32_t recno) const;
  std::string KeyOf(int tag, const char* record, std::uint32_t recno) const {
    return KeyOf(tagRuntime_[static_cast<std::size_t>(tag)], record, recno);
  }
  bool InTag(int tag, const char* record, std::uint32_t recno) const {
    return InTag(tagRuntime_[static_cast<std::size_t>(tag)], record, recno);
  }
  // Parses a tag's expressions; the key's type settles its length and pad.
  bool MakeRuntime(const std::string& key, const std::string& condition, TagRuntime& out, std::string& error) const;
  bool Visible(const char* record, std::uint32_t recno) const;
  bool CompileTag(int tag, std::string& error);
  // Reads the table once and gathers each tag's keys in ascending order.
  bool CollectKeys(std::vector<CdxFile::SortedKeys>& keys, const std::vector<const TagRuntime*>& tags,
                   std::string& error);
  bool Load(std::uint32_t recno, std::string& error);
  // Makes `record` (just read) the current record.
  void Take(std::uint32_t recno, std::string& record);
  void SetEof();
  bool ReadRecord(std::uint32_t recno, std::string& out, std::string& error) const;
  bool IndexFailure(const std::string& what, std::string& error);
  // Ordered moves: the neighbour of the current record in the order's direction.
  bool Neighbour(bool forward, CdxFile::Cursor& out, std::string& error);
  bool StepOrdered(CdxFile::Cursor& c, bool forward, std::string& error);
  bool SettleOrdered(CdxFile::Cursor c, bool forward, std::string& error);
  bool SettleNatural(long from, bool forward, std::string& error);

  std::unique_ptr<DbfFile> dbf_;
  std::unique_ptr<FptFile> fpt_;
  std::unique_ptr<CdxFile> cdx_;
  std::vector<TagRuntime> tagRuntime_;
  bool indexDamaged_ = false;
  std::string indexProblem_;
  const bool* hideDeleted_ = nullptr;
  int order_ = 0;
  std::string filterText_;
  std::unique_ptr<Expression> filter_;
  bool filterIsNotDeleted_ = false;  // the filter is just ".not. deleted()"

  long recno_ = 0;
  bool bof_ = true;
  bool eof_ = true;
  std::string buffer_;  // the current record as it is being edited
  std::string disk_;    // the current record as written
  bool dirty_ = false;
  bool pendingAppend_ = false;
  CdxFile::Cursor cursor_;
  std::uint64_t cursorChanges_ = 0;
};

}  // namespace tlm::xbase
