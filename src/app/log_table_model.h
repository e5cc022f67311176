#pragma once
// A read-only grid model over a TableAccess. It walks the table's current order
// once per refresh, keeping only the record number of each row, and reads a
// row's fields when the grid asks for them (a small cache keeps scrolling
// cheap), so a log of any size opens at once.
#include <QAbstractTableModel>
#include <QCache>
#include <QStringList>
#include <string>
#include <vector>

namespace tlm {

class TableAccess;

struct LogColumn {
  enum class Kind {
    kText,       // a character field, trailing blanks dropped
    kDate,       // a date field in the short date format
    kNumber,     // a numeric field, right-aligned
    kSentYesNo,  // calculated from SENT: "Yes" or "No "
    kIsDeleted,  // calculated from the deletion mark: "Yes" or "No "
  };
  QString title;
  std::string field;  // empty for kIsDeleted
  Kind kind = Kind::kText;
  int widthChars = 0;  // display width; 0: the field's own width
};

// "Yes" or "No " (with the trailing blank).
QString YesNoText(bool value);

class LogTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  LogTableModel(std::vector<LogColumn> columns, QObject* parent = nullptr);

  // nullptr detaches the model (an empty list).
  void SetTable(TableAccess* table);
  TableAccess* Table() const { return table_; }
  const std::vector<LogColumn>& Columns() const { return columns_; }

  // Walks the current order again; the table's current record stays.
  void Refresh();

  int RecordOfRow(int row) const;
  int RowOfRecord(int recNo) const;  // -1 when the record is not listed

  // Moves the table to a row's record and marks it in the row indicator.
  void SetCurrentRow(int row);
  int CurrentRow() const { return currentRow_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const QStringList* RowTexts(int row) const;
  QString CellText(const LogColumn& column) const;

  std::vector<LogColumn> columns_;
  TableAccess* table_ = nullptr;
  std::vector<int> records_;  // record number of each row, in order
  int currentRow_ = -1;
  mutable QCache<int, QStringList> cache_;
};

// A stored field as text with the blanks at both ends dropped.
QString TrimmedField(const std::string& stored);

// Display text of a stored "YYYYMMDD" date in the short date format; empty
// for a blank or impossible date.
QString DisplayDate(const std::string& stored);

}  // namespace tlm
