#pragma once
// The notes window: the user's note (NOTES, 60 characters) on a received fax.
#include <QDialog>

class QLineEdit;
class QLabel;

namespace tlm {

class TableAccess;

class TEditReceiveNotes : public QDialog {
  Q_OBJECT
 public:
  // Shows the current record of the received log.
  explicit TEditReceiveNotes(TableAccess& recLog, QWidget* parent = nullptr);
  QLineEdit* NotesEdit() const { return notes_; }

  // Stores the text in NOTES of the record that was current when the window
  // opened.
  void accept() override;

 private:
  TableAccess& recLog_;
  int recNo_;
  QLabel* from_;
  QLineEdit* notes_;
};

}  // namespace tlm
