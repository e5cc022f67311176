#pragma once
// The print range dialog of the viewer window: the pages to print and the
// three print choices.
#include <QDialog>

class QCheckBox;
class QPushButton;
class QSpinBox;

namespace tlm {

class TPrePrintForm : public QDialog {
  Q_OBJECT
 public:
  explicit TPrePrintForm(QWidget* parent = nullptr);

  QSpinBox* FromPage;
  QSpinBox* ToPage;
  QCheckBox* PrintHeader;
  QCheckBox* PrintFooter;
  QCheckBox* MultiPage;
  QPushButton* OkButton;
  QPushButton* CancelButton;

  // The page count bounds both spin edits.
  void SetPageCount(int pages);

 public slots:
  void accept() override;  // a range that ends before it starts only beeps
};

}  // namespace tlm
