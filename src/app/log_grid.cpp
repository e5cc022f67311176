#include "app/log_grid.h"

#include <QHeaderView>
#include <QTableView>
#include <algorithm>

#include "app/log_table_model.h"
#include "app/table_access.h"

namespace tlm {

void SetUpLogGrid(QTableView* grid, LogTableModel* model) {
  grid->setModel(model);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setAlternatingRowColors(true);
  grid->setWordWrap(false);
  grid->horizontalHeader()->setHighlightSections(false);
  grid->horizontalHeader()->setStretchLastSection(true);
  QHeaderView* rows = grid->verticalHeader();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(grid->fontMetrics().height() + 6);
  rows->setMinimumWidth(18);
  const int charWidth = grid->fontMetrics().averageCharWidth();
  const auto& columns = model->Columns();
  for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
    const LogColumn& column = columns[static_cast<std::size_t>(i)];
    const int titleWidth = grid->fontMetrics().horizontalAdvance(column.title) + 16;
    // Dates take whatever room the short date format needs.
    const int textWidth = column.kind == LogColumn::Kind::kDate
                              ? grid->fontMetrics().horizontalAdvance(DisplayDate("20281231")) + 16
                              : column.widthChars * charWidth + 12;
    grid->setColumnWidth(i, std::max(titleWidth, textWidth));
  }
  QObject::connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, model,
                   [model](const QModelIndex& current) {
                     if (current.isValid()) model->SetCurrentRow(current.row());
                   });
}

void SelectCurrentRecordRow(QTableView* grid, LogTableModel* model) {
  TableAccess* table = model->Table();
  const int row = table && table->HasCurrentRecord() ? model->RowOfRecord(table->RecNo()) : -1;
  if (row < 0) return;
  const QModelIndex index = model->index(row, std::max(0, grid->currentIndex().column()));
  grid->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  grid->scrollTo(index);
}

}  // namespace tlm
