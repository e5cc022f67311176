#include "viewer/pre_print_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace tlm {

TPrePrintForm::TPrePrintForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Print"));
  FromPage = new QSpinBox;
  ToPage = new QSpinBox;
  for (QSpinBox* box : {FromPage, ToPage}) {
    box->setRange(1, 1000);
    box->setValue(1);
  }
  PrintHeader = new QCheckBox(QStringLiteral("Print Header"));
  PrintFooter = new QCheckBox(QStringLiteral("Print Footer"));
  PrintHeader->setChecked(true);
  PrintFooter->setChecked(true);
  MultiPage = new QCheckBox(QStringLiteral("Print 4 faxes to a page"));
  OkButton = new QPushButton(QStringLiteral("Ok"));
  CancelButton = new QPushButton(QStringLiteral("Cancel"));
  OkButton->setDefault(true);
  connect(OkButton, &QPushButton::clicked, this, &TPrePrintForm::accept);
  connect(CancelButton, &QPushButton::clicked, this, &TPrePrintForm::reject);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("From Page:"), FromPage);
  form->addRow(QStringLiteral("To Page:"), ToPage);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OkButton);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(PrintHeader);
  layout->addWidget(PrintFooter);
  layout->addWidget(MultiPage);
  layout->addLayout(buttons);
  setTabOrder(FromPage, ToPage);
  setTabOrder(ToPage, PrintHeader);
  setTabOrder(PrintHeader, PrintFooter);
  setTabOrder(PrintFooter, MultiPage);
  setTabOrder(MultiPage, OkButton);
  setTabOrder(OkButton, CancelButton);
}

void TPrePrintForm::SetPageCount(int pages) {
  FromPage->setMaximum(std::max(1, pages));
  ToPage->setMaximum(std::max(1, pages));
}

void TPrePrintForm::accept() {
  if (ToPage->value() < FromPage->value()) {
    QApplication::beep();
    return;
  }
  QDialog::accept();
}

}  // namespace tlm
