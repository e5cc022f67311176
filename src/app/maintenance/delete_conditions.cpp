#include "app/maintenance/delete_conditions.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <iterator>
#include <optional>

#include "app/message_boxes.h"
#include "app/table_text.h"
#include "storage/log_cleanup.h"

namespace tlm {

TDeleteForConditions::TDeleteForConditions(bool outgoing, const QString& recipient, const QString& phone,
                                           const QString& from, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(QStringLiteral("Delete Faxes Where...."));
  FromChoice = new QRadioButton(QStringLiteral("Fax is &FROM:"), this);
  RecipientChoice = new QRadioButton(QStringLiteral("&RECIPIENT is:"), this);
  PhoneChoice = new QRadioButton(QStringLiteral("FAX &# is:"), this);
  FaxFROM = new QLineEdit(this);
  FaxRECIPIENT = new QLineEdit(this);
  FaxPHONE = new QLineEdit(this);
  FaxFROM->setObjectName(QStringLiteral("FaxFROM"));
  FaxRECIPIENT->setObjectName(QStringLiteral("FaxRECIPIENT"));
  FaxPHONE->setObjectName(QStringLiteral("FaxPHONE"));
  ExactMatch = new QCheckBox(QStringLiteral("Text must match &exactly"), this);
  ExactMatch->setObjectName(QStringLiteral("ExactMatch"));
  ExactMatch->setChecked(true);
  auto* note = new QLabel(QStringLiteral("(uncheck to allow  partial matches)"), this);

  auto* grid = new QGridLayout;
  const std::pair<QRadioButton*, QLineEdit*> rows[] = {
      {FromChoice, FaxFROM}, {RecipientChoice, FaxRECIPIENT}, {PhoneChoice, FaxPHONE}};
  int row = 0;
  for (const auto& [choice, box] : rows) {
    grid->addWidget(choice, row, 0);
    grid->addWidget(box, row, 1);
    box->setMinimumWidth(box->fontMetrics().averageCharWidth() * 36);
    // Typing in a box chooses it.
    QRadioButton* owner = choice;
    connect(box, &QLineEdit::textEdited, owner, [owner] { owner->setChecked(true); });
    ++row;
  }
  grid->setColumnStretch(1, 1);

  if (outgoing) {
    FromChoice->setEnabled(false);
    FaxFROM->setEnabled(false);
    RecipientChoice->setChecked(true);
    FaxRECIPIENT->setText(recipient.trimmed());
    FaxPHONE->setText(phone.trimmed());
    FaxRECIPIENT->setFocus();
  } else {
    for (QWidget* w : std::initializer_list<QWidget*>{RecipientChoice, FaxRECIPIENT, PhoneChoice, FaxPHONE}) {
      w->setEnabled(false);
    }
    FromChoice->setChecked(true);
    FaxFROM->setText(from.trimmed());
    FaxFROM->setFocus();
  }

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("Ok"), QDialogButtonBox::AcceptRole);
  QPushButton* cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  // Tab goes down the choices, each followed by its box.
  QWidget* order[] = {FromChoice, FaxFROM, RecipientChoice, FaxRECIPIENT, PhoneChoice, FaxPHONE, ExactMatch,
                      ok, cancel};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(ExactMatch);
  layout->addWidget(note);
  layout->addStretch();
  layout->addWidget(buttons);
}

void TDeleteForConditions::accept() {
  QLineEdit* box = FromChoice->isChecked() ? FaxFROM : RecipientChoice->isChecked() ? FaxRECIPIENT : FaxPHONE;
  const char* field = FromChoice->isChecked() ? "FROM" : RecipientChoice->isChecked() ? "RECIPIENT" : "PHONE";
  const QString value = box->text().trimmed();
  if (value.isEmpty()) {
    ShowInformation(this, QStringLiteral("Please enter a value"));
    box->setFocus();
    return;
  }
  // A text the tables cannot hold matches no record; the user is told.
  QString refusal;
  const std::optional<std::string> bytes = ToTableText(value, &refusal);
  if (!bytes) {
    ShowInformation(this, refusal);
    box->setFocus();
    return;
  }
  if (!AskYesNo(this, QStringLiteral("Are you sure you wish to delete all faxes matching this criteria?"),
                QStringLiteral("VERIFY DELETE"))) {
    return;
  }
  condition_ = FieldMatchCondition(field, *bytes, ExactMatch->isChecked());
  QDialog::accept();
}

}  // namespace tlm
