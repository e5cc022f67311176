#pragma once
// The table dialogs of the editors' "Table" menu: "Insert Table" (rows and
// columns) and "Column Width" (of the caret's column, in inches or
// centimetres as the locale measures).
#include <QDialog>

class QDoubleSpinBox;
class QSpinBox;

namespace tlm {

class TInsertTableDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TInsertTableDlg(QWidget* parent = nullptr);
  int Rows() const;
  int Columns() const;

 private:
  QSpinBox* RowsEdit = nullptr;
  QSpinBox* ColumnsEdit = nullptr;
};

class TColumnWidthDlg : public QDialog {
  Q_OBJECT
 public:
  TColumnWidthDlg(int twips, int maxTwips, QWidget* parent = nullptr);
  int Twips() const;

 private:
  double twipsPerUnit_;
  QDoubleSpinBox* WidthEdit = nullptr;
};

}  // namespace tlm
