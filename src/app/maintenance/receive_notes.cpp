#include "app/maintenance/receive_notes.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/field_text.h"
#include "app/log_table_model.h"
#include "app/table_access.h"
#include "app/message_boxes.h"
#include "app/table_text.h"

namespace tlm {

namespace {
constexpr int kNotesWidth = 60;

}  // namespace

TEditReceiveNotes::TEditReceiveNotes(TableAccess& recLog, QWidget* parent)
    : QDialog(parent),
      recLog_(recLog),
      recNo_(recLog.RecNo()),
      from_(new QLabel(QStringLiteral("From: ") + TrimmedField(recLog.Field("FROM")), this)),
      notes_(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("Received Fax Notes"));
  notes_->setObjectName(QStringLiteral("Notes"));
  notes_->setMaxLength(kNotesWidth);
  std::string stored = recLog.Field("NOTES");
  stored.erase(stored.find_last_not_of(' ') + 1);
  notes_->setText(FromTableText(stored));
  notes_->setMinimumWidth(notes_->fontMetrics().averageCharWidth() * kNotesWidth);

  auto* accept = new QPushButton(QStringLiteral("&Accept"), this);
  auto* cancel = new QPushButton(QStringLiteral("Cance&l"), this);
  accept->setDefault(true);
  connect(accept, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);  // Escape rejects as well

  auto* label = new QLabel(QStringLiteral("Notes"), this);
  label->setBuddy(notes_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(accept);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(from_);
  layout->addWidget(label);
  layout->addWidget(notes_);
  layout->addLayout(buttons);
}

void TEditReceiveNotes::accept() {
  // The window stays open on a refused text, so the user can correct it.
  if (!recLog_.Go(recNo_)) {
    ShowInformation(this, tr("The note could not be stored."));
    return;
  }
  if (StoreTextField(this, recLog_, "NOTES", notes_->text())) QDialog::accept();
}

}  // namespace tlm
