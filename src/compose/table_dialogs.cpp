#include "compose/table_dialogs.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLocale>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>

#include "compose/dialog_buttons.h"
#include "richtext/table_editing.h"

namespace tlm {
namespace {

constexpr double kTwipsPerInch = 1440.0;
constexpr double kTwipsPerCm = 566.929;
constexpr int kLeastColumnTwips = 144;

}  // namespace

TInsertTableDlg::TInsertTableDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Insert Table"));
  RowsEdit = new QSpinBox(this);
  RowsEdit->setObjectName(QStringLiteral("RowsEdit"));
  RowsEdit->setRange(1, kMaxInsertRows);
  RowsEdit->setValue(2);
  ColumnsEdit = new QSpinBox(this);
  ColumnsEdit->setObjectName(QStringLiteral("ColumnsEdit"));
  ColumnsEdit->setRange(1, kMaxInsertColumns);
  ColumnsEdit->setValue(2);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Rows:"), RowsEdit);
  form->addRow(QStringLiteral("&Columns:"), ColumnsEdit);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(OkCancelButtons(this));
  RowsEdit->setFocus();
  RowsEdit->selectAll();
}

int TInsertTableDlg::Rows() const { return RowsEdit->value(); }
int TInsertTableDlg::Columns() const { return ColumnsEdit->value(); }

TColumnWidthDlg::TColumnWidthDlg(int twips, int maxTwips, QWidget* parent)
    : QDialog(parent),
      twipsPerUnit_(QLocale().measurementSystem() == QLocale::MetricSystem ? kTwipsPerCm : kTwipsPerInch) {
  setWindowTitle(QStringLiteral("Column Width"));
  WidthEdit = new QDoubleSpinBox(this);
  WidthEdit->setObjectName(QStringLiteral("WidthEdit"));
  WidthEdit->setDecimals(2);
  WidthEdit->setSingleStep(0.1);
  WidthEdit->setRange(kLeastColumnTwips / twipsPerUnit_, std::max(maxTwips, kLeastColumnTwips) / twipsPerUnit_);
  WidthEdit->setSuffix(twipsPerUnit_ == kTwipsPerInch ? QStringLiteral(" in") : QStringLiteral(" cm"));
  WidthEdit->setValue(twips / twipsPerUnit_);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Width:"), WidthEdit);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(OkCancelButtons(this));
  WidthEdit->setFocus();
  WidthEdit->selectAll();
}

int TColumnWidthDlg::Twips() const { return static_cast<int>(std::lround(WidthEdit->value() * twipsPerUnit_)); }

}  // namespace tlm
