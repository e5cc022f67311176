#include "viewer/print_status_window.h"

#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "viewer/fax_printer.h"

namespace tlm {

TStandardFaxPrinterStatusDisplay::TStandardFaxPrinterStatusDisplay(TKvFaxPrinter& printer, const QString& caption)
    : printer_(printer) {
  setWindowTitle(caption);
  setModal(false);
  auto* info = new QGroupBox(QStringLiteral("Fax Information"));
  auto* form = new QFormLayout(info);
  auto addRow = [form](const QString& label) {
    auto* value = new QLabel;
    form->addRow(label, value);
    return value;
  };
  FileNameLabel = addRow(QStringLiteral("Filename"));
  TotalPagesLabel = addRow(QStringLiteral("Total Pages"));
  ResolutionLabel = addRow(QStringLiteral("Resolution"));
  WidthLabel = addRow(QStringLiteral("Width"));
  FirstPageLabel = addRow(QStringLiteral("First Page to Print"));
  LastPageLabel = addRow(QStringLiteral("Last Page to Print"));
  auto* status = new QGroupBox(QStringLiteral("Status"));
  auto* statusLayout = new QVBoxLayout(status);
  StatusLabel = new QLabel;
  statusLayout->addWidget(StatusLabel);
  AbortButton = new QPushButton(QStringLiteral("Abort"));
  AbortButton->setDefault(true);
  connect(AbortButton, &QPushButton::clicked, this, [this] { printer_.Abort(); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(info);
  layout->addWidget(status);
  layout->addWidget(AbortButton, 0, Qt::AlignHCenter);
  Refresh();
}

void TStandardFaxPrinterStatusDisplay::Refresh() {
  FileNameLabel->setText(QFileInfo(QString::fromStdString(printer_.FileName())).fileName().toUpper());
  TotalPagesLabel->setText(QString::number(printer_.PageCount()));
  ResolutionLabel->setText(printer_.ResolutionFine() ? QStringLiteral("high") : QStringLiteral("standard"));
  WidthLabel->setText(printer_.WidthWide() ? QStringLiteral("2048") : QStringLiteral("1728"));
  FirstPageLabel->setText(QString::number(printer_.FirstPage()));
  LastPageLabel->setText(QString::number(printer_.LastPage()));
  if (printer_.Status() == ppIdle) {
    StatusLabel->setText(PrintStatusText(ppIdle));
  } else {
    StatusLabel->setText(QStringLiteral("%1 %2 of %3")
                             .arg(PrintStatusText(printer_.Status()))
                             .arg(printer_.CurrentPage())
                             .arg(printer_.LastPage()));
  }
}

void TStandardFaxPrinterStatusDisplay::reject() { printer_.Abort(); }

}  // namespace tlm
