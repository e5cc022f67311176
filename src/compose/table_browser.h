#pragma once
// The frame the phone book and the template browser share: a read-only grid
// over one table, a row of buttons, and the two modes: managing the records
// ("C&lose") or choosing one ("&Accept" / "Cance&l").
#include <QDialog>
#include <vector>

#include "app/log_table_model.h"

class QHBoxLayout;
class QPushButton;
class QTableView;

namespace tlm {

class TableAccess;

class TableBrowser : public QDialog {
  Q_OBJECT
 public:
  enum class Mode { kManaging, kChoosing };

  TableAccess& Table() const { return table_; }
  QTableView* Grid() const { return grid_; }
  LogTableModel* Model() const { return model_; }

 protected:
  TableBrowser(TableAccess& table, std::vector<LogColumn> columns, Mode mode, const char* gridName,
               QWidget* parent);

  // A button of the left-hand group, before "&Accept".
  QPushButton* AddButton(const char* name, const QString& caption, const QString& hint);
  // The closing buttons and "&Help"; called once the left-hand group is in.
  void AddClosingButtons(const QString& acceptHint, const QString& cancelHint, int helpTopic);

  bool HasCurrent() const;
  // Re-reads the rows and marks the table's current record in the grid.
  void RefreshList();
  // Enables the buttons that need a current record.
  void UpdateButtons();
  // The buttons that need a current record; "&Accept" follows them.
  std::vector<QPushButton*> recordButtons_;

  void showEvent(QShowEvent* event) override;

 private:
  TableAccess& table_;
  Mode mode_;
  LogTableModel* model_;
  QTableView* grid_;
  QHBoxLayout* buttons_;
  QPushButton* accept_ = nullptr;
};

}  // namespace tlm
