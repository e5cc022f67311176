#pragma once
// "Phone Book Browser": the phone book's entries with new, edit, delete,
// import and export, and in choosing mode the entry handed to the fax editor.
#include "compose/table_browser.h"

namespace tlm {

class TPhoneBook : public TableBrowser {
  Q_OBJECT
 public:
  TPhoneBook(TableAccess& table, Mode mode, QWidget* parent = nullptr);

  // The entry copied from the current record on "&Accept".
  const QString& ChosenName() const { return chosenName_; }
  const QString& ChosenNumber() const { return chosenNumber_; }

  void NewEntry();
  void EditEntry();
  void DeleteEntry();
  void ImportEntries();
  void ExportEntries();

  void accept() override;

 private:
  // Writes name and number into the current record; false (after telling
  // the user) when the table refused.
  bool WriteEntry(const QString& name, const QString& number);

  QString chosenName_;
  QString chosenNumber_;
};

}  // namespace tlm
