#include "compose/phone_book_editor.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/field_text.h"
#include "app/help_window.h"
#include "app/message_boxes.h"

namespace tlm {

namespace {

constexpr int kHelpPhoneBookEditor = 1020;

}  // namespace

TPhoneBookEditor::TPhoneBookEditor(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TPhoneBookEditor"));
  setWindowTitle(QStringLiteral("Phone Book Editor"));
  Name = new QLineEdit(this);
  Name->setObjectName(QStringLiteral("Name"));
  Name->setMaxLength(35);
  Name->setToolTip(QStringLiteral("Type the recipient's name here"));
  Number = new QLineEdit(this);
  Number->setObjectName(QStringLiteral("Number"));
  Number->setMaxLength(25);
  Number->setToolTip(QStringLiteral("Type the fax number here"));
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Name"), Name);
  form->addRow(QStringLiteral("Fax Number"), Number);

  auto* ok = new QPushButton(QStringLiteral("&Accept"), this);
  ok->setObjectName(QStringLiteral("OKButton"));
  ok->setToolTip(QStringLiteral("Accept changes made and exit"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cance&l"), this);
  cancel->setObjectName(QStringLiteral("CancelButton"));
  cancel->setToolTip(QStringLiteral("Cancel changes made and exit"));
  auto* help = new QPushButton(QStringLiteral("&Help"), this);
  help->setObjectName(QStringLiteral("HelpButton"));
  help->setAutoDefault(false);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [this] { ShowHelpTopic(this, kHelpPhoneBookEditor); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  buttons->addWidget(help);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addStretch();
  layout->addLayout(buttons);
  resize(420, sizeHint().height());
}

void TPhoneBookEditor::SetEntry(const QString& name, const QString& number) {
  Name->setText(name);
  Number->setText(number);
}

QString TPhoneBookEditor::EntryName() const { return Name->text(); }
QString TPhoneBookEditor::EntryNumber() const { return Number->text(); }

void TPhoneBookEditor::accept() {
  // Names and numbers may be empty; a number that cannot be dialled is not
  // stored.
  const std::pair<QLineEdit*, QString> checks[] = {
      {Number, FaxNumberProblem(Number->text())},
      {Name, TypedFieldProblem(QStringLiteral("The name"), Name->text(), Name->maxLength())},
      {Number, TypedFieldProblem(QStringLiteral("The fax number"), Number->text(), Number->maxLength())}};
  for (const auto& [edit, problem] : checks) {
    if (problem.isEmpty()) continue;
    ShowInformation(this, problem);
    edit->setFocus();
    return;
  }
  QDialog::accept();
}

}  // namespace tlm
