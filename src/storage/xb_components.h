#pragma once
// The program's view of one table: the table object (`TXbTable`: open,
// close, move, read and write fields) and the `TXbEngine` component bound to
// it (create, index tags, order, filter, counts, pack, memo transfer).
//
// Both select the table's work area before every engine call and select the
// previously selected area again afterwards, so several tables can be used
// side by side. Failures return false / 0 and leave a text in LastError().
#include <string>
#include <vector>

#include "storage/xb_library.h"

namespace tlm {

class TXbTable {
 public:
  explicit TXbTable(XbLibrary& library = XbLibrary::Default());
  ~TXbTable();  // closes the table (writing a changed record first)
  TXbTable(const TXbTable&) = delete;
  TXbTable& operator=(const TXbTable&) = delete;

  XbLibrary& Library() const { return library_; }

  // The data file this object stands for, e.g. folder + "TLM.DBF".
  void SetFileName(const std::string& path) { fileName_ = path; }
  const std::string& FileName() const { return fileName_; }
  // The table's compound index file: the file name with its last three
  // characters replaced by "CDX".
  std::string IndexFileName() const;

  // Opens the table for exclusive use (with its CDX when present) and applies
  // the filter stored by a bound TXbEngine. Closing writes a changed record.
  bool Open();
  void Close();
  bool Active() const { return area_ != 0; }
  int WorkArea() const { return area_; }

  // Filter applied at every Open (set through TXbEngine::SetFilter).
  void SetStoredFilter(const std::string& expression) { storedFilter_ = expression; }
  const std::string& StoredFilter() const { return storedFilter_; }

  // Moves in the current order, skipping filtered and (when hidden) deleted records.
  bool First();
  bool Last();
  bool Next();
  bool Prior();
  bool Bof() const;
  bool Eof() const;
  // No visible record at all (an empty or fully filtered list).
  bool IsEmpty() const;
  // The current record number; RecCount + 1 when there is no current record.
  long RecNo() const;
  bool GoTo(long recno);
  // The record numbers of the visible records in the current order (what a
  // list shows, row by row); the current record stays current.
  std::vector<long> RecordNumbers();

  // Fields of the current record (see XbLibrary::xb_FieldText for the forms).
  int FieldCount() const;
  bool HasField(const std::string& field) const;
  std::string AsString(const std::string& field) const;
  bool AsBool(const std::string& field) const;
  long AsInteger(const std::string& field) const;
  bool SetString(const std::string& field, const std::string& value);
  bool SetBool(const std::string& field, bool value);
  bool SetInteger(const std::string& field, long value);
  // Date fields: "YYYYMMDD", or "" for the empty date.
  bool SetDate(const std::string& field, const std::string& yyyymmdd);

  // Appends a blank record and makes it current; set its fields, then Post.
  bool Append();
  // Writes the changed record (and updates every index tag).
  bool Post();
  // Sets the current record's deletion mark and writes it. When deleted
  // records are hidden the record leaves the list at once and the next
  // visible record (or the last one) becomes current.
  bool Delete();
  bool Deleted() const;

  const std::string& LastError() const;

 private:
  friend class TXbEngine;
  class Selection;

  XbLibrary& library_;
  std::string fileName_;
  std::string storedFilter_;
  int area_ = 0;
  mutable std::string error_;
};

class TXbEngine {
 public:
  // Bound to one table object (the table's "data source").
  explicit TXbEngine(TXbTable& table);

  TXbTable& Table() const { return table_; }

  // Creating a table file: CreateNew (path, field count), CreateField per
  // field in order, CreateExec writes it.
  bool CreateNew(const std::string& path, int fieldCount);
  bool CreateField(const std::string& name, const std::string& type, int width, int decimals);
  bool CreateExec();

  // Adds or replaces a tag in the table's CDX (created when missing), builds
  // it and makes it the current order.
  bool IndexTag(const std::string& tag, const std::string& key, bool descending,
                const std::string& condition);
  int TagArea(const std::string& tag);  // 0 when absent
  bool SetOrder(int tagNumber);         // 0 = natural order
  int IndexOrd();
  bool Reindex();

  // Stores the filter, applies it now when the table is open and at every Open.
  bool SetFilter(const std::string& expression);
  const std::string& Filter() const { return table_.storedFilter_; }
  long QueryRecCount();
  long RecCount();
  long RecNo();  // RecCount + 1 when there is no current record
  bool Go(long recno);
  bool Deleted();
  bool Pack();
  // Memo transfer: write a memo field's text to a file / fill it from a file
  // (the record is written at once).
  bool BlobToFile(const std::string& field, const std::string& path);
  bool FileToBlob(const std::string& field, const std::string& path);
  bool CloseIndexes();
  // True when the table's index file was found damaged at Open.
  bool IndexDamaged();
  void SysProp(int property, int value);

  const std::string& LastError() const { return table_.LastError(); }

 private:
  TXbTable& table_;
};

}  // namespace tlm
