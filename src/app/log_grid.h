#pragma once
// A read-only grid over a log: whole rows selected, columns as wide as their
// fields, and the selected row made the table's current record.
class QTableView;

namespace tlm {

class LogTableModel;

void SetUpLogGrid(QTableView* grid, LogTableModel* model);

// Selects and shows the row of the table's current record (nothing when the
// table has none).
void SelectCurrentRecordRow(QTableView* grid, LogTableModel* model);

}  // namespace tlm
