#pragma once
// A read-only grid model over a TableAccess. The row count comes from the
// table's filtered count; the record number of each row is learnt by walking
// the current order only as far as the grid has looked, and a row's fields
// are read when the grid asks for them (a small cache keeps scrolling cheap).
// So a log of any size opens at once and costs memory only for what was seen.
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

  // Forgets the rows after a change of order or records; the table's
  // current record stays.
  void Refresh();

  int RecordOfRow(int row) const;     // 0 when there is no such row
  int RowOfRecord(int recNo) const;  // -1 when the record is not listed
  // Rows whose record numbers are known so far.
  int KnownRows() const { return static_cast<int>(records_.size()); }

  // Moves the table to a row's record and marks it in the row indicator.
  void SetCurrentRow(int row);
  int CurrentRow() const { return currentRow_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  // Learns the record numbers up to `row` (and a stretch beyond); false
  // when the list ends before it.
  bool WalkTo(int row) const;
  void CutToWalkedRows();
  const QStringList* RowTexts(int row) const;
  QString CellText(const LogColumn& column) const;

  std::vector<LogColumn> columns_;
  TableAccess* table_ = nullptr;
  int count_ = 0;                      // rows that pass the filter
  mutable std::vector<int> records_;   // record numbers of the first rows, in order
  mutable bool walkedToEnd_ = false;
  int currentRow_ = -1;
  mutable QCache<int, QStringList> cache_;
};

// A stored field as text (FieldText of app/field_text.h) with the blanks at
// both ends dropped.
QString TrimmedField(const std::string& stored);

// Display text of a stored "YYYYMMDD" date in the short date format; empty
// for a blank or impossible date.
QString DisplayDate(const std::string& stored);

}  // namespace tlm
