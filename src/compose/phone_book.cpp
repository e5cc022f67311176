#include "compose/phone_book.h"

#include <QApplication>
#include <QFileDialog>
#include <QPushButton>
#include <QTableView>

#include "app/field_text.h"
#include "app/message_boxes.h"
#include "app/table_access.h"
#include "app/window_placement.h"
#include "compose/phone_book_editor.h"
#include "compose/phone_book_exchange.h"

namespace tlm {

namespace {

constexpr int kHelpPhoneBook = 1019;
// The program's own file dialog: the same on every desktop, and driven by
// the tests like every other window.
constexpr QFileDialog::Options kFileDialogOptions = QFileDialog::DontUseNativeDialog;

std::vector<LogColumn> PhoneColumns() {
  return {{QStringLiteral("Name"), "NAME", LogColumn::Kind::kText, 50},
          {QStringLiteral("Fax #"), "PHONE", LogColumn::Kind::kText, 0}};
}

}  // namespace

TPhoneBook::TPhoneBook(TableAccess& table, Mode mode, QWidget* parent)
    : TableBrowser(table, PhoneColumns(), mode, "PhoneGrid", parent) {
  setObjectName(QStringLiteral("TPhoneBook"));
  setWindowTitle(QStringLiteral("Phone Book Browser"));
  QPushButton* add = AddButton("NewButton", QStringLiteral("&New"), QStringLiteral("Create a new phone book entry"));
  QPushButton* edit =
      AddButton("EditButton", QStringLiteral("&Edit"), QStringLiteral("Edit the currently selected phone book entry"));
  QPushButton* remove = AddButton("DeleteButton", QStringLiteral("&Delete"),
                                  QStringLiteral("Delete the currently selected phone book entry"));
  QPushButton* import = AddButton("ImportButton", QStringLiteral("Import..."),
                                  QStringLiteral("Add entries from a CSV or vCard file"));
  QPushButton* exportButton = AddButton("ExportButton", QStringLiteral("Export..."),
                                        QStringLiteral("Write every entry into a CSV or vCard file"));
  recordButtons_ = {edit, remove};
  AddClosingButtons(QStringLiteral("Use this phone book entry"),
                    QStringLiteral("Cancel - do not use any of these phone book entries"), kHelpPhoneBook);
  connect(add, &QPushButton::clicked, this, &TPhoneBook::NewEntry);
  connect(edit, &QPushButton::clicked, this, &TPhoneBook::EditEntry);
  connect(remove, &QPushButton::clicked, this, &TPhoneBook::DeleteEntry);
  connect(import, &QPushButton::clicked, this, &TPhoneBook::ImportEntries);
  connect(exportButton, &QPushButton::clicked, this, &TPhoneBook::ExportEntries);
  connect(Grid(), &QTableView::doubleClicked, this, [this, mode] {
    if (mode == Mode::kChoosing) {
      accept();
    } else {
      EditEntry();
    }
  });
}

bool TPhoneBook::WriteEntry(const QString& name, const QString& number) {
  if (Table().SetField("NAME", TextToField(name)) && Table().SetField("PHONE", TextToField(number))) return true;
  ShowInformation(this, QStringLiteral("The phone book entry could not be saved."));
  return false;
}

void TPhoneBook::NewEntry() {
  TPhoneBookEditor editor(this);
  CenterWindow(&editor);
  if (editor.exec() != QDialog::Accepted) return;
  if (!Table().AppendRecord()) {
    ShowInformation(this, QStringLiteral("The phone book entry could not be saved."));
  } else if (!WriteEntry(editor.EntryName(), editor.EntryNumber())) {
    Table().DeleteRecord();  // no half-written entry stays
  }
  RefreshList();
}

void TPhoneBook::EditEntry() {
  if (!HasCurrent()) {
    QApplication::beep();
    return;
  }
  const int recNo = Table().RecNo();
  TPhoneBookEditor editor(this);
  editor.SetEntry(FieldText(Table().Field("NAME")), FieldText(Table().Field("PHONE")));
  CenterWindow(&editor);
  if (editor.exec() != QDialog::Accepted) return;
  if (Table().Go(recNo)) WriteEntry(editor.EntryName(), editor.EntryNumber());
  RefreshList();
}

void TPhoneBook::DeleteEntry() {
  if (!HasCurrent()) {
    QApplication::beep();
    return;
  }
  const QString question =
      QStringLiteral("Delete the current phone book entry?:\r") + FieldText(Table().Field("NAME"));
  if (AskYesNo(this, question, QStringLiteral("Delete"))) Table().DeleteRecord();
  RefreshList();
}

void TPhoneBook::accept() {
  if (!HasCurrent()) {
    QApplication::beep();
    return;
  }
  chosenName_ = FieldText(Table().Field("NAME"));
  chosenNumber_ = FieldText(Table().Field("PHONE"));
  QDialog::accept();
}

void TPhoneBook::ImportEntries() {
  const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Import"), {},
                                                    QStringLiteral("Phone book files (*.csv *.vcf);;All files (*)"),
                                                    nullptr, kFileDialogOptions);
  if (path.isEmpty()) return;
  ImportPhoneBookFile(this, Table(), path);
  RefreshList();
}

void TPhoneBook::ExportEntries() {
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export"), QStringLiteral("phonebook.csv"),
                                                    QStringLiteral("CSV files (*.csv);;vCard files (*.vcf)"), nullptr,
                                                    kFileDialogOptions);
  if (path.isEmpty()) return;
  ExportPhoneBookFile(this, Table(), path);
  RefreshList();
}

}  // namespace tlm
