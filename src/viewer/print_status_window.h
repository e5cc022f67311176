#pragma once
// The status window of the fax printer: what is printed and how far it got,
// with an Abort button.
#include <QDialog>

class QLabel;
class QPushButton;

namespace tlm {

class TKvFaxPrinter;

class TStandardFaxPrinterStatusDisplay : public QDialog {
  Q_OBJECT
 public:
  TStandardFaxPrinterStatusDisplay(TKvFaxPrinter& printer, const QString& caption);

  // Shows the printer's file, range and status.
  void Refresh();

  QLabel* FileNameLabel = nullptr;
  QLabel* TotalPagesLabel = nullptr;
  QLabel* ResolutionLabel = nullptr;
  QLabel* WidthLabel = nullptr;
  QLabel* FirstPageLabel = nullptr;
  QLabel* LastPageLabel = nullptr;
  QLabel* StatusLabel = nullptr;
  QPushButton* AbortButton = nullptr;

 protected:
  void reject() override;  // Escape and the close box abort as the button does

 private:
  TKvFaxPrinter& printer_;
};

}  // namespace tlm
