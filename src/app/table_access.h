#pragma once
// One open xBase table as the windows use it: navigation in the current
// order, the fields of the current record, deletion, and the maintenance
// operations of the rebuild. The program's implementation sits on the
// storage layer's table engine; the windows see only this.
//
// Record numbers count from 1. With no current record (an empty or
// exhausted filtered list) RecNo() is RecordCount() + 1.
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tlm {

class TableAccess {
 public:
  virtual ~TableAccess() = default;

  // The table's data file, e.g. "<data folder>/TLM.DBF".
  virtual std::string DataFilePath() const = 0;

  // Navigation through the records that pass the filter, in the current order.
  virtual int RecordCount() = 0;  // every record of the file
  virtual int FilteredCount() = 0;  // the records that pass the filter
  virtual int RecNo() = 0;
  virtual bool Go(int recNo) = 0;
  virtual bool First() = 0;
  virtual bool Next() = 0;
  virtual bool Eof() = 0;
  bool HasCurrentRecord() { return RecNo() != RecordCount() + 1; }

  // Index order: a tag's number (0 when absent), the current one (0 =
  // natural record order).
  virtual int TagNumber(const std::string& tag) = 0;
  virtual int Order() = 0;
  virtual void SetOrder(int tagNumber) = 0;

  // The current record. Field() gives a field as text: character fields
  // without trailing blanks, dates as "YYYYMMDD" ("" when empty), logicals
  // as "T"/"F".
  virtual std::string Field(const std::string& name) = 0;
  virtual bool Deleted() = 0;
  // Replaces a field of the current record and writes the record.
  virtual bool SetField(const std::string& name, const std::string& value) = 0;
  // Replaces several fields of the current record. The program's tables
  // write the record once, after every value is taken (nothing when one is
  // refused); this fallback writes field by field.
  virtual bool SetFields(const std::vector<std::pair<std::string, std::string>>& values) {
    for (const auto& [name, value] : values)
      if (!SetField(name, value)) return false;
    return true;
  }
  // Sets the current record's deletion mark; it then drops out of the list.
  virtual bool DeleteRecord() = 0;
  // Appends a blank record, writes it and makes it current.
  virtual bool AppendRecord() { return false; }
  // A memo field of the current record written into a file, or replaced by
  // a file's contents (the record is written at once).
  virtual bool MemoToFile(const std::string& /*field*/, const std::string& /*path*/) { return false; }
  virtual bool MemoFromFile(const std::string& /*field*/, const std::string& /*path*/) { return false; }

  // The filter the list is limited by ("" for none, which shows every
  // record without a deletion mark) and setting another.
  virtual std::string Filter() = 0;
  virtual bool SetFilter(const std::string& expression) = 0;

  // Marks every record for which the xBase `condition` holds and that has no
  // deletion mark yet; `beforeMark` runs while each such record is current.
  // Returns how many were marked, -1 when the condition is not a valid
  // logical expression; `error` names a failure (storage/log_cleanup.h).
  virtual long DeleteWhere(const std::string& condition, const std::function<void()>& beforeMark,
                           std::string& error) = 0;

  // Closes and opens the table again with its filter, and goes back to the
  // record that was current (a failure to go there is ignored).
  virtual bool ReopenAtSameRecord() = 0;

  // The two halves of a rebuild. First: close the index files, delete the
  // index file and pack (a failed pack is tried once more; a second failure
  // leaves the records in place). Then: create the table's tags and make
  // the first one the current order.
  virtual void RemoveMarkedRecords() = 0;
  virtual bool BuildIndexTags() = 0;
};

// A stored logical value ("T", "t", "Y" or "y") is true.
inline bool IsTrueLogical(const std::string& stored) {
  return !stored.empty() && (stored[0] == 'T' || stored[0] == 't' || stored[0] == 'Y' || stored[0] == 'y');
}

// Opens or creates the four tables of the data folder. nullptr when a table
// cannot be opened or created.
class TableProvider {
 public:
  virtual ~TableProvider() = default;
  virtual std::unique_ptr<TableAccess> OpenFaxLog() = 0;      // TLM.DBF
  virtual std::unique_ptr<TableAccess> OpenRecFaxLog() = 0;   // TLMREC.DBF
  virtual std::unique_ptr<TableAccess> OpenPhoneBook() = 0;   // TLMPB.DBF
  virtual std::unique_ptr<TableAccess> OpenCoverTable() = 0;  // TLMCOV.DBF
  // Sets a property of the table engine (the main window sets 1009 to 0).
  virtual void SetEngineProperty(int property, int value) = 0;
};

}  // namespace tlm
