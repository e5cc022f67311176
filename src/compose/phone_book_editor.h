#pragma once
// "Phone Book Editor": the name and fax number of one phone book entry.
#include <QDialog>

class QLineEdit;

namespace tlm {

class TPhoneBookEditor : public QDialog {
  Q_OBJECT
 public:
  explicit TPhoneBookEditor(QWidget* parent = nullptr);

  void SetEntry(const QString& name, const QString& number);
  QString EntryName() const;
  QString EntryNumber() const;

  void accept() override;

 private:
  QLineEdit* Name = nullptr;
  QLineEdit* Number = nullptr;
};

}  // namespace tlm
