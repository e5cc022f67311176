#include "app/log_table_model.h"

#include <QDate>
#include <QLocale>
#include <algorithm>

#include "app/table_access.h"

namespace tlm {

namespace {

constexpr int kCachedRows = 512;

QString RightTrimmed(const std::string& text) {
  std::size_t end = text.find_last_not_of(' ');
  return QString::fromLocal8Bit(text.data(), end == std::string::npos ? 0 : static_cast<qsizetype>(end + 1));
}

}  // namespace

QString TrimmedField(const std::string& stored) { return QString::fromLocal8Bit(stored.c_str()).trimmed(); }

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
  currentRow_ = -1;
  if (table_) {
    const bool hadRecord = table_->HasCurrentRecord();
    const int current = table_->RecNo();
    for (bool more = table_->First(); more && !table_->Eof(); more = table_->Next()) records_.push_back(table_->RecNo());
    if (hadRecord && table_->Go(current)) {
      currentRow_ = RowOfRecord(current);
    } else if (!records_.empty()) {
      table_->First();
      currentRow_ = 0;
    }
  }
  endResetModel();
}

int LogTableModel::RecordOfRow(int row) const {
  return row >= 0 && row < static_cast<int>(records_.size()) ? records_[static_cast<std::size_t>(row)] : 0;
}

int LogTableModel::RowOfRecord(int recNo) const {
  const auto it = std::find(records_.begin(), records_.end(), recNo);
  return it == records_.end() ? -1 : static_cast<int>(it - records_.begin());
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
  return parent.isValid() ? 0 : static_cast<int>(records_.size());
}

int LogTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QString LogTableModel::CellText(const LogColumn& column) const {
  switch (column.kind) {
    case LogColumn::Kind::kText:
      return RightTrimmed(table_->Field(column.field));
    case LogColumn::Kind::kDate:
      return DisplayDate(table_->Field(column.field));
    case LogColumn::Kind::kNumber:
      return RightTrimmed(table_->Field(column.field)).trimmed();
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
