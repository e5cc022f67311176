#pragma once
// The rebuild window: packs the four tables and builds their index files
// afresh, naming each step as it goes, then closes itself.
#include <QDialog>
#include <QStringList>

class QLabel;

namespace tlm {

class TableAccess;
class TableProvider;

class TRebuildInd : public QDialog {
  Q_OBJECT
 public:
  // The two logs stay open (they belong to the main window); the phone book
  // and the cover table are opened through `tables` and closed again.
  TRebuildInd(TableAccess& faxLog, TableAccess& recLog, TableProvider& tables, QWidget* parent = nullptr);

  // Every step text shown, in order (for the record of what was done).
  const QStringList& StepsShown() const { return steps_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Run();
  void Step(const QString& text);
  void Rebuild(TableAccess& table, const QString& removingText, const QString& rebuildingText);

  TableAccess& faxLog_;
  TableAccess& recLog_;
  TableProvider& tables_;
  QLabel* stepLabel_;
  QStringList steps_;
  bool started_ = false;
};

}  // namespace tlm
