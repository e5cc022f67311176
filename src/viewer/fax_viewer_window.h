#pragma once
// The fax viewer window: one fax file in the viewer control, with paging,
// zoom in fixed steps, rotation, export of the current page (BMP, PCX, DCX)
// and of the whole fax as PDF, and printing through the fax printer.
#include <QDialog>
#include <functional>

#include "viewer/fax_printer.h"
#include "viewer/fax_viewer.h"

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QPushButton;

namespace tlm {

class TFaxViewer : public QDialog {
  Q_OBJECT
 public:
  explicit TFaxViewer(QWidget* parent = nullptr);
  ~TFaxViewer() override;

  // The fax and the header printed above its pages; loaded when the window
  // is first shown.
  void Open(const QString& fileName, const QString& headerText);
  void SetTitlePrefix(const QString& prefix) { titlePrefix_ = prefix; }
  // Loads now (the first showing does it otherwise).
  void LoadFile();

  void Zoom(int percent);
  int ZoomPercent() const { return zoom_; }

  // The window's controls, named as on its form.
  TKvFaxViewer* FaxViewer;
  QLabel* StatusPanel;
  QPushButton* FirstButton;
  QPushButton* PrevButton;
  QPushButton* NextButton;
  QPushButton* LastButton;
  QPushButton* ZoomInButton;
  QPushButton* ZoomOutButton;
  QPushButton* PrinterSetupButton;
  QPushButton* Printbutton;
  QPushButton* ExplorerButton1;  // "Print current page"
  QPushButton* CloseButton;
  QPushButton* Helpbutton;
  QMenu* ViewMenu;
  QAction* ExportPdfItem;
  TKvFaxPrinter FaxPrinter;
  TKvFaxPrinterStatus PrinterStatus;
  TKvFaxPrinterLog PrinterLog;

  QAction* ZoomItem(int percent) const;
  QAction* RotationItem(int quarters) const;
  QAction* ExportItem(const QString& format) const;

  // Opens help topic 1021; the program installs its help window here.
  std::function<void(QWidget* parent, int topic)> showHelp;

  void FirstButtonClick();
  void PrevButtonClick();
  void NextButtonClick();
  void LastButtonClick();
  void ZoomInButtonClick();
  void ZoomOutButtonClick();
  void PrinterSetupButtonClick();
  void PrintButtonClick();
  void ExplorerButton1Click();
  void HelpButtonClick();
  void ExportPage(const QString& format);
  void ExportPdf();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildMenu(QWidget* bar);
  void SetRotation(int quarters);
  void FaxViewerPageChange();
  void FaxViewerViewerError(int code);
  void ShowPageStatus();
  // The print range dialog and the job; `currentOnly` fixes the range.
  void RunPrint(bool currentOnly);
  void PointPrinterAtFile();
  // The save dialog for a format, offering "*.<extension>".
  QString ChooseSaveFile(const QString& format, const QString& extension);

  QString fileName_;
  QString headerText_;
  QString titlePrefix_;
  int zoom_ = 100;
  bool rangeSetUp_ = false;
  bool firstActivation_ = true;
  QActionGroup* zoomGroup_;
  QActionGroup* rotationGroup_;
};

}  // namespace tlm
