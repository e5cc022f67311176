#include "app/log_table_model.h"

#include <QDate>
#include <QLocale>
#include <algorithm>

#include "app/field_text.h"
#include "app/table_access.h"

namespace tlm {

namespace {

constexpr int kCachedRows = 512;
// Rows read past the one asked for, so scrolling does not walk row by row.
constexpr int kWalkAhead = 256;


}  // namespace

QString TrimmedField(const std::string& stored) { return FieldText(stored).trimmed(); }

QString YesNoText(bool value) { return value ? QStringLiteral("Yes") : QStringLiteral("No "); }

QString DisplayDate(const std::string& stored) {
  const QDate date = QDate::fromString(QString::fromLatin1(stored.c_str()).trimmed(), QStringLiteral("yyyyMMdd"));
  return date.isValid() ? QLocale::system().toString(date, QLocale::ShortFormat) : QString();
}

LogTableModel::LogTableModel(std::vector<LogColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), columns_(std::move(columns)), cache_(kCachedRows) {}

void LogTableModel::SetTable(TableAccess* table) {
  table_ = table;
  Refresh();
}

void LogTableModel::Refresh() {
  beginResetModel();
  cache_.clear();
  records_.clear();
  walkedToEnd_ = false;
  count_ = 0;
  currentRow_ = -1;
  if (table_) {
    count_ = std::max(0, table_->FilteredCount());
    const bool hadRecord = table_->HasCurrentRecord();
    const int current = table_->RecNo();
    currentRow_ = hadRecord ? RowOfRecord(current) : -1;
    if (currentRow_ < 0 && count_ > 0 && RecordOfRow(0) != 0) {
      table_->Go(RecordOfRow(0));
      currentRow_ = 0;
    }
  }
  endResetModel();
}

bool LogTableModel::WalkTo(int row) const {
  if (row < static_cast<int>(records_.size())) return true;
  if (walkedToEnd_ || !table_) return false;
  // The walk moves the table; the grid's record is made current again after.
  const bool hadRecord = table_->HasCurrentRecord();
  const int current = table_->RecNo();
  const int target = row + kWalkAhead;
  bool positioned = records_.empty() ? table_->First() : table_->Go(records_.back());
  if (positioned && !records_.empty()) table_->Next();
  while (positioned && !table_->Eof() && static_cast<int>(records_.size()) <= target) {
    records_.push_back(table_->RecNo());
    if (static_cast<int>(records_.size()) > target) break;
    table_->Next();
  }
  if (!positioned || table_->Eof()) walkedToEnd_ = true;
  if (hadRecord) table_->Go(current);
  if (walkedToEnd_ && static_cast<int>(records_.size()) < count_) {
    // Fewer records than counted: the list is shortened once painting is done.
    QMetaObject::invokeMethod(const_cast<LogTableModel*>(this), &LogTableModel::CutToWalkedRows,
                              Qt::QueuedConnection);
  }
  return row < static_cast<int>(records_.size());
}

void LogTableModel::CutToWalkedRows() {
  if (!walkedToEnd_ || static_cast<int>(records_.size()) >= count_) return;
  beginResetModel();
  count_ = static_cast<int>(records_.size());
  cache_.clear();
  endResetModel();
}

int LogTableModel::RecordOfRow(int row) const {
  if (row < 0 || row >= count_ || !WalkTo(row)) return 0;
  return records_[static_cast<std::size_t>(row)];
}

int LogTableModel::RowOfRecord(int recNo) const {
  for (std::size_t from = 0;;) {
    const auto it = std::find(records_.begin() + static_cast<std::ptrdiff_t>(from), records_.end(), recNo);
    if (it != records_.end()) return static_cast<int>(it - records_.begin());
    from = records_.size();
    if (!WalkTo(static_cast<int>(records_.size()))) return -1;
  }
}

void LogTableModel::SetCurrentRow(int row) {
  if (!table_ || row < 0 || row >= rowCount()) return;
  table_->Go(RecordOfRow(row));
  const int old = currentRow_;
  currentRow_ = row;
  if (old >= 0 && old < rowCount()) emit headerDataChanged(Qt::Vertical, old, old);
  emit headerDataChanged(Qt::Vertical, row, row);
}

int LogTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : count_;
}

int LogTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QString LogTableModel::CellText(const LogColumn& column) const {
  switch (column.kind) {
    case LogColumn::Kind::kText:
      return FieldText(table_->Field(column.field));
    case LogColumn::Kind::kDate:
      return DisplayDate(table_->Field(column.field));
    case LogColumn::Kind::kNumber:
      return FieldText(table_->Field(column.field)).trimmed();
    case LogColumn::Kind::kSentYesNo:
      return YesNoText(IsTrueLogical(table_->Field(column.field)));
    case LogColumn::Kind::kIsDeleted:
      return YesNoText(table_->Deleted());
  }
  return {};
}

const QStringList* LogTableModel::RowTexts(int row) const {
  if (const QStringList* cached = cache_.object(row)) return cached;
  // Reading moves the table; its current record (the grid's row) is put back.
  const int current = table_->RecNo();
  const bool hadRecord = table_->HasCurrentRecord();
  auto* texts = new QStringList;
  if (table_->Go(RecordOfRow(row))) {
    for (const LogColumn& column : columns_) texts->append(CellText(column));
  }
  if (hadRecord) table_->Go(current);
  cache_.insert(row, texts);
  return texts;
}

QVariant LogTableModel::data(const QModelIndex& index, int role) const {
  if (!table_ || !index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
  const LogColumn& column = columns_[static_cast<std::size_t>(index.column())];
  if (role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(column.kind == LogColumn::Kind::kNumber ? (Qt::AlignRight | Qt::AlignVCenter)
                                                                        : (Qt::AlignLeft | Qt::AlignVCenter));
  }
  if (role != Qt::DisplayRole) return {};
  const QStringList* texts = RowTexts(index.row());
  return index.column() < texts->size() ? texts->at(index.column()) : QString();
}

QVariant LogTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal) {
    return section >= 0 && section < columnCount() ? columns_[static_cast<std::size_t>(section)].title : QVariant();
  }
  // The row indicator: a marker on the current row.
  return section == currentRow_ ? QStringLiteral("\u25B6") : QString();
}

}  // namespace tlm
