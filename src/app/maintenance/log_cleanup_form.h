#pragma once
// The fax log cleanup window ("Fax Log Cleanup Utility"): both logs with
// every record, and the operations that delete faxes singly or by
// condition, received fax files included. Each operation says how many
// faxes it deleted. The logs' filters are lifted while the window is open
// and given back when it closes; the caller rebuilds the indexes afterwards
// when RebuildNeeded().
#include <QDialog>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QTabWidget;
class QTableView;

namespace tlm {

class LogTableModel;
class TableAccess;

inline constexpr int kHelpFaxLogCleanup = 21071;

class TDMForm : public QDialog {
  Q_OBJECT
 public:
  // `receiveDir` is the receive folder (with a trailing '/').
  TDMForm(TableAccess& faxLog, TableAccess& recLog, const QString& receiveDir, QWidget* parent = nullptr);
  ~TDMForm() override;

  // Some fax was deleted: the tables want packing and their indexes rebuilding.
  bool RebuildNeeded() const { return rebuildNeeded_; }
  // What the last operation did, e.g. "Delete All Faxes: 4 deleted."
  QString LastResult() const;

  // The operations, as the menu items run them.
  void DeleteCurrentFax();
  void DeleteBeforeDate();
  void DeleteSent();
  void DeleteNotSent();
  void DeleteForConditions();
  void DeleteAllFaxes();
  // Deletes the faxes of the shown log for which the xBase `condition`
  // holds and reports the count.
  void DeleteWhere(const std::string& condition, const QString& operation);

  void ShowTab(int index);  // 0 outgoing, 1 incoming
  bool OutgoingShown() const;

  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormActivate();
  void UpdateMenus();
  void Refresh();
  void Report(const QString& operation, long count);
  void DeleteOneFax(TableAccess& log, bool incoming);
  TableAccess& ShownLog() const;
  LogTableModel* ShownModel() const;
  QTableView* ShownGrid() const;
  QString ShownLogWord() const;  // "outgoing" or "received"

  TableAccess& faxLog_;
  TableAccess& recLog_;
  QString receiveDir_;
  std::string faxFilter_;
  std::string recFilter_;
  bool rebuildNeeded_ = false;
  bool firstActivation_ = true;
  bool filtersLifted_ = false;

  QMenuBar* menuBar_;
  QMenu* actionsMenu_;
  QMenu* popupMenu_;
  QAction* deleteCurrentItem_;
  QAction* deleteBeforeItem_;
  QAction* deleteSentItem_;
  QAction* deleteNotSentItem_;
  QAction* deleteConditionsItem_;
  QAction* deleteAllItem_;
  QTabWidget* tabs_;
  QTableView* SendGrid;
  QTableView* RecGrid;
  LogTableModel* sendModel_;
  LogTableModel* recModel_;
  QLabel* result_;
};

}  // namespace tlm
