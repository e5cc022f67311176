#pragma once
// In-memory tables behind the TableAccess interface, for driving the main
// window without the table engine: records with deletion marks, tags with
// descending order, the ".not. deleted()" filter, and a per-table record of
// which tags exist (so a missing "DATEND" can be staged).
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/table_access.h"

namespace tlm::testing {

struct FakeTag {
  std::string name;
  std::vector<std::string> keyFields;
  bool descending = false;
};

struct FakeTableData {
  std::string path;
  std::vector<std::map<std::string, std::string>> records;
  std::vector<bool> deleted;
  std::vector<FakeTag> tags;          // the tags the index file holds now
  std::vector<FakeTag> rebuildTags;   // what a rebuild creates
  bool failOpen = false;

  int Append(std::map<std::string, std::string> fields) {
    records.push_back(std::move(fields));
    deleted.push_back(false);
    return static_cast<int>(records.size());
  }
};

class FakeTable final : public TableAccess {
 public:
  explicit FakeTable(std::shared_ptr<FakeTableData> data) : d_(std::move(data)) { First(); }

  std::string DataFilePath() const override { return d_->path; }
  int RecordCount() override { return static_cast<int>(d_->records.size()); }
  int FilteredCount() override {
    return static_cast<int>(std::count(d_->deleted.begin(), d_->deleted.end(), false));
  }
  int RecNo() override { return pos_ < static_cast<int>(rows_.size()) ? rows_[pos_] : RecordCount() + 1; }
  bool Go(int recNo) override {
    Rows();
    const auto it = std::find(rows_.begin(), rows_.end(), recNo);
    if (it == rows_.end()) return false;
    pos_ = static_cast<int>(it - rows_.begin());
    return true;
  }
  bool First() override {
    Rows();
    pos_ = 0;
    return !rows_.empty();
  }
  bool Next() override {
    Rows();
    ++moves;
    if (pos_ < static_cast<int>(rows_.size())) ++pos_;
    return pos_ < static_cast<int>(rows_.size());
  }
  bool Eof() override { return pos_ >= static_cast<int>(rows_.size()); }
  int TagNumber(const std::string& tag) override {
    for (std::size_t i = 0; i < d_->tags.size(); ++i) {
      if (d_->tags[i].name == tag) return static_cast<int>(i + 1);
    }
    return 0;
  }
  int Order() override { return order_; }
  void SetOrder(int tagNumber) override {
    const int current = RecNo();
    order_ = tagNumber;
    Rows();
    if (!Go(current)) pos_ = static_cast<int>(rows_.size());
  }
  std::string Field(const std::string& name) override {
    if (Eof()) return {};
    return d_->records[static_cast<std::size_t>(RecNo() - 1)][name];
  }
  bool Deleted() override { return !Eof() && d_->deleted[static_cast<std::size_t>(RecNo() - 1)]; }
  bool SetField(const std::string& name, const std::string& value) override {
    if (Eof()) return false;
    d_->records[static_cast<std::size_t>(RecNo() - 1)][name] = value;
    ++edits_;
    return true;
  }
  bool DeleteRecord() override {
    if (Eof()) return false;
    d_->deleted[static_cast<std::size_t>(RecNo() - 1)] = true;
    const int keep = pos_;
    Rows();
    pos_ = std::min(keep, std::max(0, static_cast<int>(rows_.size()) - 1));
    if (rows_.empty()) pos_ = 0;
    return true;
  }
  std::string Filter() override { return filter_; }
  bool SetFilter(const std::string& expression) override {
    filter_ = expression;
    return true;
  }
  // Conditions need the table engine: the fake evaluates none.
  long DeleteWhere(const std::string&, const std::function<void()>&, std::string& error) override {
    error = "The fake tables evaluate no conditions";
    return -1;
  }
  bool ReopenAtSameRecord() override {
    const int current = RecNo();
    ++reopens;
    Rows();
    Go(current);
    return true;
  }
  void RemoveMarkedRecords() override {
    d_->tags.clear();
    order_ = 0;
    std::vector<std::map<std::string, std::string>> kept;
    for (std::size_t i = 0; i < d_->records.size(); ++i) {
      if (!d_->deleted[i]) kept.push_back(d_->records[i]);
    }
    d_->records = std::move(kept);
    d_->deleted.assign(d_->records.size(), false);
    First();
  }
  bool BuildIndexTags() override {
    d_->tags = d_->rebuildTags;
    SetOrder(1);
    return true;
  }

  int reopens = 0;
  int moves = 0;  // Next() calls: how far the table was walked

 private:
  // Lists the visible records in the current order again when the table
  // changed since the last time.
  void Rows() {
    const std::size_t signature = std::hash<std::vector<bool>>()(d_->deleted) ^ (d_->records.size() << 20) ^
                                  (static_cast<std::size_t>(order_) << 40) ^ (static_cast<std::size_t>(edits_) << 48);
    if (signature == signature_ && !rows_.empty()) return;
    signature_ = signature;
    const int current = pos_ < static_cast<int>(rows_.size()) ? rows_[pos_] : 0;
    rows_.clear();
    for (std::size_t i = 0; i < d_->records.size(); ++i) {
      if (!d_->deleted[i]) rows_.push_back(static_cast<int>(i + 1));
    }
    if (order_ > 0 && order_ <= static_cast<int>(d_->tags.size())) {
      const FakeTag& tag = d_->tags[static_cast<std::size_t>(order_ - 1)];
      auto key = [&](int rec) {
        std::string k;
        for (const auto& f : tag.keyFields) k += d_->records[static_cast<std::size_t>(rec - 1)][f] + '|';
        return k;
      };
      std::stable_sort(rows_.begin(), rows_.end(), [&](int a, int b) {
        return tag.descending ? key(a) > key(b) : key(a) < key(b);
      });
    }
    const auto it = std::find(rows_.begin(), rows_.end(), current);
    pos_ = it == rows_.end() ? std::min(pos_, static_cast<int>(rows_.size())) : static_cast<int>(it - rows_.begin());
  }

  std::shared_ptr<FakeTableData> d_;
  std::vector<int> rows_;
  std::size_t signature_ = 0;
  int edits_ = 0;
  int pos_ = 0;
  int order_ = 0;
  std::string filter_ = ".not. deleted()";
};

// The four tables of one data folder; they outlive the windows that open
// them, as files do.
class FakeTables final : public TableProvider {
 public:
  explicit FakeTables(const std::string& folder) {
    fax = Make(folder + "TLM.DBF", {{"DATESENT", {"DATESENT", "TIMESENT"}, true}},
               {{"DATESENT", {"DATESENT"}, true},
                {"DATEND", {"DATESENT", "TIMESENT"}, false},
                {"SUBJECT", {"SUBJECT"}, false},
                {"RECIPIENT", {"RECIPIENT"}, false}});
    rec = Make(folder + "TLMREC.DBF", {{"DATETIME", {"DATEREC", "TIMEREC"}, true}},
               {{"DATETIME", {"DATEREC", "TIMEREC"}, true},
                {"DATEND", {"DATEREC", "TIMEREC"}, false},
                {"FROM", {"FROM"}, true}});
    phone = Make(folder + "TLMPB.DBF", {{"NAME", {"NAME"}, false}}, {{"NAME", {"NAME"}, false}});
    cover = Make(folder + "TLMCOV.DBF", {{"DESCRIPT", {"DESCRIPT"}, false}}, {{"DESCRIPT", {"DESCRIPT"}, false}});
  }

  // Gives both logs every tag a rebuild makes, so no reindex is offered.
  void MarkRebuilt() {
    for (auto* d : {fax.get(), rec.get(), phone.get(), cover.get()}) d->tags = d->rebuildTags;
  }

  std::unique_ptr<TableAccess> OpenFaxLog() override { return Open(fax); }
  std::unique_ptr<TableAccess> OpenRecFaxLog() override { return Open(rec); }
  std::unique_ptr<TableAccess> OpenPhoneBook() override { return Open(phone); }
  std::unique_ptr<TableAccess> OpenCoverTable() override { return Open(cover); }
  void SetEngineProperty(int property, int value) override { engineProperties[property] = value; }

  std::shared_ptr<FakeTableData> fax, rec, phone, cover;
  std::map<int, int> engineProperties;

 private:
  static std::shared_ptr<FakeTableData> Make(const std::string& path, std::vector<FakeTag> tags,
                                             std::vector<FakeTag> rebuildTags) {
    auto d = std::make_shared<FakeTableData>();
    d->path = path;
    d->tags = std::move(tags);
    d->rebuildTags = std::move(rebuildTags);
    return d;
  }
  static std::unique_ptr<TableAccess> Open(const std::shared_ptr<FakeTableData>& d) {
    if (d->failOpen) return nullptr;
    auto table = std::make_unique<FakeTable>(d);
    table->First();
    return table;
  }
};

}  // namespace tlm::testing
