#include "app/storage_tables.h"

#include <cstdio>
#include <string>

#include "platform/data_folder.h"
#include "storage/log_cleanup.h"
#include "storage/log_tables.h"
#include "storage/xb_components.h"

namespace tlm {

namespace {

// One open table: its table object with the engine component bound to it.
class StorageTable final : public TableAccess {
 public:
  explicit StorageTable(LogTable kind) : kind_(kind), engine_(table_) {}

  bool Open(const std::string& folder) { return OpenLogDBF(kind_, table_, engine_, folder); }

  std::string DataFilePath() const override { return table_.FileName(); }
  int RecordCount() override { return static_cast<int>(engine_.RecCount()); }
  int FilteredCount() override { return static_cast<int>(engine_.QueryRecCount()); }
  int RecNo() override { return static_cast<int>(table_.RecNo()); }
  bool Go(int recNo) override { return table_.GoTo(recNo); }
  bool First() override { return table_.First(); }
  bool Next() override { return table_.Next(); }
  bool Eof() override { return table_.Eof(); }
  int TagNumber(const std::string& tag) override { return engine_.TagArea(tag); }
  int Order() override { return engine_.IndexOrd(); }
  void SetOrder(int tagNumber) override { engine_.SetOrder(tagNumber); }
  std::string Field(const std::string& name) override { return table_.AsString(name); }
  bool Deleted() override { return table_.Deleted(); }
  bool SetField(const std::string& name, const std::string& value) override {
    return table_.SetString(name, value) && table_.Post();
  }
  bool SetFields(const std::vector<std::pair<std::string, std::string>>& values) override {
    for (const auto& [name, value] : values)
      if (!table_.SetString(name, value)) return false;
    return table_.Post();
  }
  bool DeleteRecord() override { return table_.Delete(); }
  std::string Filter() override { return engine_.Filter(); }
  bool SetFilter(const std::string& expression) override { return engine_.SetFilter(expression); }
  long DeleteWhere(const std::string& condition, const std::function<void()>& beforeMark,
                   std::string& error) override {
    return tlm::DeleteWhere(table_, engine_, condition, beforeMark, error);
  }
  bool AppendRecord() override { return table_.Append() && table_.Post(); }
  bool MemoToFile(const std::string& field, const std::string& path) override {
    return engine_.BlobToFile(field, path);
  }
  bool MemoFromFile(const std::string& field, const std::string& path) override {
    return engine_.FileToBlob(field, path);
  }
  bool ReopenAtSameRecord() override { return tlm::ReopenAtSameRecord(table_, engine_); }

  void RemoveMarkedRecords() override {
    engine_.CloseIndexes();
    std::remove(table_.IndexFileName().c_str());
    // A pack that fails twice leaves the records in place.
    if (!engine_.Pack()) engine_.Pack();
  }

  bool BuildIndexTags() override {
    const std::vector<LogTagDef>& tags = RebuildLogTags(kind_);
    bool ok = true;
    for (const LogTagDef& tag : tags) ok = engine_.IndexTag(tag.name, tag.key, tag.descending, tag.condition) && ok;
    if (!tags.empty()) engine_.SetOrder(engine_.TagArea(tags.front().name));
    return ok;
  }

 private:
  LogTable kind_;
  TXbTable table_;
  TXbEngine engine_;
};

class StorageTables final : public TableProvider {
 public:
  // Records with a deletion mark are never current, whatever a table's
  // filter: set once for the engine the whole program shares.
  StorageTables() { XbLibrary::Default().xb_SetDeleted(true); }

  std::unique_ptr<TableAccess> OpenFaxLog() override { return Open(LogTable::kOutgoing); }
  std::unique_ptr<TableAccess> OpenRecFaxLog() override { return Open(LogTable::kReceived); }
  std::unique_ptr<TableAccess> OpenPhoneBook() override { return Open(LogTable::kPhone); }
  std::unique_ptr<TableAccess> OpenCoverTable() override { return Open(LogTable::kCover); }
  void SetEngineProperty(int property, int value) override { XbLibrary::Default().xb_SysProp(property, value); }

 private:
  static std::unique_ptr<TableAccess> Open(LogTable kind) {
    auto table = std::make_unique<StorageTable>(kind);
    if (!table->Open(DataFolder())) return nullptr;
    return table;
  }
};

}  // namespace

std::unique_ptr<TableProvider> CreateStorageTables() { return std::make_unique<StorageTables>(); }

}  // namespace tlm
