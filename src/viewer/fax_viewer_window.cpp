#include "viewer/fax_viewer_window.h"

#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <cstdio>
#include <unistd.h>

#include "app/message_boxes.h"
#include "faximage/fax_errors.h"
#include "viewer/fax_pdf.h"
#include "viewer/pre_print_form.h"
#include "viewer/print_preferences.h"

namespace tlm {

namespace {

constexpr int kZoomSteps[] = {25, 50, 75, 100, 150, 200};
constexpr int kViewerHelpTopic = 1021;

// The zoom step nearest below an initial percentage.
int ZoomStepFor(int p) {
  if (p > 175) return 200;
  if (p > 125) return 150;
  if (p > 87) return 100;
  if (p > 62) return 75;
  if (p > 36) return 50;
  return 25;
}

QPushButton* Button(const QString& text, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  b->setAutoDefault(false);
  return b;
}

}  // namespace

TFaxViewer::TFaxViewer(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Fax Viewer "));
  setSizeGripEnabled(true);

  FaxViewer = new TKvFaxViewer(this);
  FaxViewer->SetScaling(false);
  FaxViewer->SetAutoScaleMode(asHalfWidth);
  FaxViewer->SetBusyCursor(QCursor(Qt::WaitCursor));
  FaxViewer->OnPageChange = [this](TKvFaxViewer&) { FaxViewerPageChange(); };
  FaxViewer->OnViewerError = [this](TKvFaxViewer&, int code) { FaxViewerViewerError(code); };
  FaxViewer->OnDropFile = [this](TKvFaxViewer&, const std::string& name) {
    fileName_ = QString::fromStdString(name);
    rangeSetUp_ = false;
    Zoom(zoom_);
  };
  StatusPanel = new QLabel(QStringLiteral("Loading..."), this);

  FirstButton = Button(QStringLiteral("First page"), this);
  PrevButton = Button(QStringLiteral("Previous page"), this);
  NextButton = Button(QStringLiteral("Next page"), this);
  LastButton = Button(QStringLiteral("Last page"), this);
  ZoomInButton = Button(QStringLiteral("Zoom in"), this);
  ZoomOutButton = Button(QStringLiteral("Zoom out"), this);
  PrinterSetupButton = Button(QStringLiteral("Printer setup"), this);
  Printbutton = Button(QStringLiteral("Print"), this);
  ExplorerButton1 = Button(QStringLiteral("Print current page"), this);
  CloseButton = Button(QStringLiteral("C&lose"), this);
  CloseButton->setToolTip(QStringLiteral("Close the Fax Viewer"));
  Helpbutton = Button(QStringLiteral("&Help"), this);
  Helpbutton->setToolTip(QStringLiteral("Get Windows help for Fax Viewer"));

  connect(FirstButton, &QPushButton::clicked, this, [this] { FirstButtonClick(); });
  connect(PrevButton, &QPushButton::clicked, this, [this] { PrevButtonClick(); });
  connect(NextButton, &QPushButton::clicked, this, [this] { NextButtonClick(); });
  connect(LastButton, &QPushButton::clicked, this, [this] { LastButtonClick(); });
  connect(ZoomInButton, &QPushButton::clicked, this, [this] { ZoomInButtonClick(); });
  connect(ZoomOutButton, &QPushButton::clicked, this, [this] { ZoomOutButtonClick(); });
  connect(PrinterSetupButton, &QPushButton::clicked, this, [this] { PrinterSetupButtonClick(); });
  connect(Printbutton, &QPushButton::clicked, this, [this] { PrintButtonClick(); });
  connect(ExplorerButton1, &QPushButton::clicked, this, [this] { ExplorerButton1Click(); });
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(Helpbutton, &QPushButton::clicked, this, [this] { HelpButtonClick(); });

  auto* menuBar = new QMenuBar(this);
  BuildMenu(menuBar);

  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {FirstButton, PrevButton, NextButton, LastButton, ZoomInButton, ZoomOutButton,
                         PrinterSetupButton, Printbutton, ExplorerButton1}) {
    buttons->addWidget(b);
  }
  buttons->addStretch();
  buttons->addWidget(CloseButton);
  buttons->addWidget(Helpbutton);
  auto* layout = new QVBoxLayout(this);
  layout->setMenuBar(menuBar);
  layout->addLayout(buttons);
  layout->addWidget(FaxViewer, 1);
  layout->addWidget(StatusPanel);
  resize(900, 700);

  FaxPrinter.Caption = QStringLiteral("KOVA Fax Printer");
  FaxPrinter.FaxFooter.Caption = QStringLiteral("Page: $P of $N");
  FaxPrinter.FaxFooter.Enabled = true;
  FaxPrinter.FaxHeader.Caption = QStringLiteral("FILE: $F");
  FaxPrinter.FaxHeader.Enabled = true;
  FaxPrinter.FaxHeader.Font = FaxPrinter.FaxFooter.Font = QFont(QStringLiteral("Arial"), 8);
  FaxPrinter.MultiPage = false;
  FaxPrinter.StatusDisplay = &PrinterStatus;
  FaxPrinter.FaxPrinterLog = &PrinterLog;
  PrinterStatus.Caption = QStringLiteral("Print Status");
  FaxViewer->setFocus();
}

TFaxViewer::~TFaxViewer() = default;

void TFaxViewer::BuildMenu(QWidget* bar) {
  auto* menuBar = static_cast<QMenuBar*>(bar);
  ViewMenu = menuBar->addMenu(QStringLiteral("&View"));
  zoomGroup_ = new QActionGroup(this);
  for (int percent : kZoomSteps) {
    QAction* item = ViewMenu->addAction(QStringLiteral("%1%").arg(percent));
    item->setCheckable(true);
    item->setData(percent);
    zoomGroup_->addAction(item);
    connect(item, &QAction::triggered, this, [this, percent] { Zoom(percent); });
  }
  QMenu* rotation = ViewMenu->addMenu(QStringLiteral("Rotation"));
  rotationGroup_ = new QActionGroup(this);
  const QString names[] = {QStringLiteral("No rotation"), QStringLiteral("Rotate 90 degrees"),
                           QStringLiteral("Rotate 180 degrees"), QStringLiteral("Rotate 270 degrees")};
  for (int q = 0; q < 4; ++q) {
    QAction* item = rotation->addAction(names[q]);
    item->setCheckable(true);
    item->setChecked(q == 0);
    item->setData(q);
    rotationGroup_->addAction(item);
    connect(item, &QAction::triggered, this, [this, q] { SetRotation(q); });
  }
  QMenu* exportMenu = ViewMenu->addMenu(QStringLiteral("Export"));
  for (const QString& format : {QStringLiteral("BMP"), QStringLiteral("PCX"), QStringLiteral("DCX")}) {
    QAction* item = exportMenu->addAction(QStringLiteral("Export Page as ") + format);
    connect(item, &QAction::triggered, this, [this, item] {
      // The format is the one whose name the item's caption holds.
      for (const QString& f : {QStringLiteral("BMP"), QStringLiteral("PCX"), QStringLiteral("DCX")}) {
        if (item->text().contains(f)) ExportPage(f);
      }
    });
  }
  ExportPdfItem = exportMenu->addAction(QStringLiteral("Export as PDF"));
  connect(ExportPdfItem, &QAction::triggered, this, [this] { ExportPdf(); });
}

QAction* TFaxViewer::ZoomItem(int percent) const {
  for (QAction* a : zoomGroup_->actions()) {
    if (a->data().toInt() == percent) return a;
  }
  return nullptr;
}

QAction* TFaxViewer::RotationItem(int quarters) const {
  for (QAction* a : rotationGroup_->actions()) {
    if (a->data().toInt() == quarters) return a;
  }
  return nullptr;
}

QAction* TFaxViewer::ExportItem(const QString& format) const {
  for (QAction* a : findChildren<QAction*>()) {
    if (a->text() == QStringLiteral("Export Page as ") + format) return a;
  }
  return nullptr;
}

void TFaxViewer::Open(const QString& fileName, const QString& headerText) {
  fileName_ = fileName;
  headerText_ = headerText;
}

void TFaxViewer::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!firstActivation_) return;
  firstActivation_ = false;
  // Loaded once the window has its size, which the initial zoom depends on.
  QTimer::singleShot(0, this, [this] { LoadFile(); });
}

void TFaxViewer::LoadFile() {
  firstActivation_ = false;
  FaxViewer->BeginUpdate();
  FaxViewer->SetScaling(false);
  FaxViewer->SetHorizMult(1);
  FaxViewer->SetHorizDiv(1);
  FaxViewer->SetVertMult(1);
  FaxViewer->SetVertDiv(1);
  FaxViewer->EndUpdate();
  bool loaded = false;
  try {
    FaxViewer->SetFileName(fileName_.toStdString());
    loaded = true;
  } catch (const EFaxImageError&) {
  }
  const bool several = loaded && FaxViewer->PageCount() > 1;
  for (QPushButton* b : {FirstButton, PrevButton, NextButton, LastButton}) b->setVisible(several);
  if (!loaded) {
    ShowInformation(this, QStringLiteral("Error opening fax file"));
    StatusPanel->setText(QStringLiteral("No file loaded"));
    return;
  }
  const int pageWidth = FaxViewer->PageDimensions().width();
  const int controlWidth = FaxViewer->width();
  const int p = pageWidth > controlWidth ? int(std::lround(double(controlWidth) / pageWidth * 150)) : 100;
  Zoom(ZoomStepFor(p));
  ShowPageStatus();
}

void TFaxViewer::ShowPageStatus() {
  if (FaxViewer->FileName().empty()) {
    StatusPanel->setText(QStringLiteral("No file loaded"));
    return;
  }
  const QString pages = QStringLiteral("Page %1 of %2").arg(FaxViewer->CurrentPage()).arg(FaxViewer->PageCount());
  StatusPanel->setText(titlePrefix_.isEmpty() ? pages : titlePrefix_ + QStringLiteral(": ") + pages);
}

void TFaxViewer::FaxViewerPageChange() { ShowPageStatus(); }

void TFaxViewer::FaxViewerViewerError(int code) {
  ShowInformation(this, QStringLiteral("Viewer error %1").arg(code));
  ShowPageStatus();
}

void TFaxViewer::Zoom(int percent) {
  zoom_ = percent;
  if (percent == 100) {
    FaxViewer->SetScaling(false);
  } else {
    FaxViewer->BeginUpdate();
    FaxViewer->SetScaling(true);
    FaxViewer->SetHorizMult(percent);
    FaxViewer->SetVertMult(percent);
    FaxViewer->SetHorizDiv(100);
    FaxViewer->SetVertDiv(100);
    FaxViewer->EndUpdate();
  }
  if (QAction* item = ZoomItem(percent)) item->setChecked(true);
}

void TFaxViewer::ZoomInButtonClick() {
  for (int step : kZoomSteps) {
    if (step > zoom_) {
      Zoom(step);
      return;
    }
  }
  QApplication::beep();
}

void TFaxViewer::ZoomOutButtonClick() {
  for (auto it = std::rbegin(kZoomSteps); it != std::rend(kZoomSteps); ++it) {
    if (*it < zoom_) {
      Zoom(*it);
      return;
    }
  }
  QApplication::beep();
}

void TFaxViewer::SetRotation(int quarters) {
  try {
    FaxViewer->SetRotation(quarters);
  } catch (const EFaxImageError& e) {
    ShowInformation(this, QString::fromStdString(e.what()));
  }
  if (QAction* item = RotationItem(FaxViewer->Rotation())) item->setChecked(true);
}

void TFaxViewer::FirstButtonClick() {
  if (FaxViewer->PageCount() > 0) FaxViewer->SetCurrentPage(1);
}

void TFaxViewer::PrevButtonClick() {
  if (FaxViewer->CurrentPage() > 1) FaxViewer->SetCurrentPage(FaxViewer->CurrentPage() - 1);
}

void TFaxViewer::NextButtonClick() {
  if (FaxViewer->CurrentPage() < FaxViewer->PageCount()) FaxViewer->SetCurrentPage(FaxViewer->CurrentPage() + 1);
}

void TFaxViewer::LastButtonClick() {
  if (FaxViewer->PageCount() > 0) FaxViewer->SetCurrentPage(FaxViewer->PageCount());
}

void TFaxViewer::HelpButtonClick() {
  if (showHelp) showHelp(this, kViewerHelpTopic);
}

QString TFaxViewer::ChooseSaveFile(const QString& format, const QString& extension) {
  QFileDialog dialog(this, QStringLiteral("Save As"));
  dialog.setObjectName(QStringLiteral("ExportDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setNameFilter(format + QStringLiteral(" File (*.") + extension + QStringLiteral(")"));
  dialog.selectFile(QStringLiteral("*.") + extension);
  dialog.setDefaultSuffix(extension);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

void TFaxViewer::ExportPage(const QString& format) {
  if (FaxViewer->FileName().empty()) {
    QApplication::beep();
    return;
  }
  const QString chosen = ChooseSaveFile(format, format);
  if (chosen.isEmpty()) return;
  TKvFaxUnpacker unpacker;  // KvFaxUnpacker1
  unpacker.Options = 0;
  unpacker.AutoScaleMode = asNone;
  unpacker.WhitespaceCompression = FaxViewer->WhitespaceCompression();
  unpacker.WhitespaceFrom = FaxViewer->WhitespaceFrom();
  unpacker.WhitespaceTo = FaxViewer->WhitespaceTo();
  unpacker.SetInFileName(FaxViewer->FileName());
  unpacker.OutFileName = chosen.toStdString();
  const std::string target = unpacker.ExportPath(format.toStdString());
  // Written beside the target under a passing name, renamed when whole.
  const std::string work = QFileInfo(QString::fromStdString(target)).absolutePath().toStdString() +
                           "/.tolmera-export-" + std::to_string(::getpid()) + "." + format.toStdString();
  unpacker.OutFileName = work;
  try {
    const int page = FaxViewer->CurrentPage();
    if (format == QLatin1String("BMP")) unpacker.UnpackPageToBmp(page);
    else if (format == QLatin1String("PCX")) unpacker.UnpackPageToPcx(page);
    else unpacker.UnpackPageToDcx(page);
    if (std::rename(work.c_str(), target.c_str()) != 0) {
      std::remove(work.c_str());
      ShowInformation(this, QStringLiteral("Unable to write to %1").arg(QString::fromStdString(target)));
    }
  } catch (const EFaxImageError& e) {
    std::remove(work.c_str());
    ShowInformation(this, QString::fromStdString(e.what()));
  }
}

void TFaxViewer::ExportPdf() {
  if (FaxViewer->FileName().empty()) {
    QApplication::beep();
    return;
  }
  QString chosen = ChooseSaveFile(QStringLiteral("PDF"), QStringLiteral("pdf"));
  if (chosen.isEmpty()) return;
  if (QFileInfo(chosen).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) != 0) chosen += ".pdf";
  const QString title = headerText_.isEmpty() ? QFileInfo(fileName_).fileName() : headerText_;
  QString error;
  if (!ExportFaxAsPdf(FaxViewer->FileName(), chosen.toStdString(), title, &error)) ShowInformation(this, error);
}

void TFaxViewer::PointPrinterAtFile() {
  const int first = FaxPrinter.FirstPage();
  const int last = FaxPrinter.LastPage();
  FaxPrinter.SetFileName(FaxViewer->FileName());
  if (rangeSetUp_) {
    FaxPrinter.SetRange(first, last);
  } else {
    FaxPrinter.SetRange(1, FaxPrinter.PageCount());
    rangeSetUp_ = true;
  }
}

void TFaxViewer::PrinterSetupButtonClick() {
  if (!FaxViewer->FileName().empty()) {
    try {
      PointPrinterAtFile();
    } catch (const EFaxImageError& e) {
      ShowInformation(this, QString::fromStdString(e.what()));
      return;
    }
  }
  FaxPrinter.PrintSetup(this);
}

void TFaxViewer::PrintButtonClick() { RunPrint(false); }

void TFaxViewer::ExplorerButton1Click() { RunPrint(true); }

void TFaxViewer::RunPrint(bool currentOnly) {
  if (FaxViewer->FileName().empty()) {
    QApplication::beep();
    return;
  }
  try {
    PointPrinterAtFile();
  } catch (const EFaxImageError& e) {
    ShowInformation(this, QString::fromStdString(e.what()));
    return;
  }
  PrintPreferences choices = LoadPrintPreferences();
  TPrePrintForm form(this);
  form.SetPageCount(FaxPrinter.PageCount());
  const int current = FaxViewer->CurrentPage();
  form.FromPage->setValue(currentOnly ? current : FaxPrinter.FirstPage());
  form.ToPage->setValue(currentOnly ? current : FaxPrinter.LastPage());
  form.FromPage->setEnabled(!currentOnly);
  form.ToPage->setEnabled(!currentOnly);
  form.PrintHeader->setChecked(choices.header);
  form.PrintFooter->setChecked(choices.footer);
  form.MultiPage->setChecked(!currentOnly && choices.multiPage);
  form.MultiPage->setEnabled(!currentOnly);
  const bool accepted = form.exec() == QDialog::Accepted;
  choices.header = form.PrintHeader->isChecked();
  choices.footer = form.PrintFooter->isChecked();
  if (!currentOnly) choices.multiPage = form.MultiPage->isChecked();
  SavePrintPreferences(choices);
  if (!accepted) return;

  // Without a printer of the system nor a PDF file chosen, the system's
  // print dialog (which always offers a PDF file) asks where to.
  if (FaxPrinter.PrinterName().isEmpty() && !FaxPrinter.PrintSetup(this)) return;
  FaxPrinter.SetRange(form.FromPage->value(), form.ToPage->value());
  FaxPrinter.PrintScale = psFitToPage;
  FaxPrinter.MultiPage = !currentOnly && form.MultiPage->isChecked();
  FaxPrinter.FaxHeader.Enabled = choices.header;
  FaxPrinter.FaxHeader.Caption = choices.header ? headerText_ : QString();
  FaxPrinter.FaxFooter.Enabled = choices.footer;
  FaxPrinter.FaxFooter.Caption = choices.footer ? QStringLiteral("Page: $P of $N") : QString();
  const bool printed = FaxPrinter.Print();
  if (!printed && !FaxPrinter.LastError().isEmpty()) ShowInformation(this, FaxPrinter.LastError());
  if (currentOnly) FaxPrinter.SetRange(1, FaxPrinter.PageCount());
}

}  // namespace tlm
