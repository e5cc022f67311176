#include "viewer/fax_printer.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <cups/cups.h>
#include <unistd.h>

#include "faximage/apf_file.h"
#include "faximage/fax_errors.h"
#include "platform/data_folder.h"
#include "platform/file_util.h"
#include "viewer/page_raster.h"
#include "viewer/print_layout.h"
#include "viewer/print_status_window.h"

namespace tlm {

QString PrintStatusText(TFaxPrintProgress status) {
  switch (status) {
    case ppComposing: return QStringLiteral("Composing");
    case ppRendering: return QStringLiteral("Rendering");
    case ppSubmitting: return QStringLiteral("Submitting");
    case ppConverting: return QStringLiteral("Converting");
    case ppIdle: break;
  }
  return QStringLiteral("Idle");
}

// ---------------------------------------------------------------------------

std::string TKvFaxPrinterLog::Path() const {
  if (!LogFileName.empty() && LogFileName[0] == '/') return LogFileName;
  return DataFolder() + LogFileName;
}

bool TKvFaxPrinterLog::Write(TFaxPLCode code, const std::string& faxFile) const {
  static const char* const kWhat[] = {" started at ", " finished at ", " aborted at ", " failed at "};
  const QString when = QLocale::system().toString(QDateTime::currentDateTime(), QLocale::ShortFormat);
  std::string entry = "Printing " + faxFile + kWhat[code] + when.toStdString() + "\r\n";
  if (code != lcStart) entry += "\r\n";  // an empty line closes each job
  QFile file(QString::fromStdString(Path()));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return false;
  return file.write(entry.data(), qint64(entry.size())) == qint64(entry.size()) && file.flush();
}

// ---------------------------------------------------------------------------

TKvFaxPrinterStatus::TKvFaxPrinterStatus() = default;

TKvFaxPrinterStatus::~TKvFaxPrinterStatus() { Close(); }

void TKvFaxPrinterStatus::Show(TKvFaxPrinter& printer) {
  if (!Visible) return;
  Close();
  display_ = std::make_unique<TStandardFaxPrinterStatusDisplay>(printer, Caption);
  display_->show();
}

void TKvFaxPrinterStatus::Update(TKvFaxPrinter&) {
  if (display_) display_->Refresh();
}

void TKvFaxPrinterStatus::Close() {
  // The window may be closing from its own Abort button: deleted later.
  if (!display_) return;
  display_->hide();
  display_.release()->deleteLater();
}

// ---------------------------------------------------------------------------

TKvFaxPrinter::TKvFaxPrinter() : printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
  FaxFooter.Caption = QStringLiteral("PAGE: $P of $N");
  FaxFooter.Enabled = true;
  FaxHeader.Caption = QStringLiteral("FILE: $F");
  FaxHeader.Enabled = true;
  unpacker_.Options = 0;
}

TKvFaxPrinter::~TKvFaxPrinter() = default;

void TKvFaxPrinter::SetFileName(const std::string& fileName) {
  fileName_ = fileName;
  pageCount_ = firstPage_ = lastPage_ = 0;
  fine_ = wide_ = false;
  unpacker_.SetInFileName(fileName);
  pageCount_ = unpacker_.NumPages();
  if (pageCount_ > 0) {
    fine_ = unpacker_.FaxResolutionFine();
    wide_ = unpacker_.FaxWidthWide();
    firstPage_ = 1;
    lastPage_ = pageCount_;
  }
  printer_->setFromTo(firstPage_, lastPage_);
}

void TKvFaxPrinter::SetRange(int first, int last) {
  firstPage_ = first;
  lastPage_ = last;
}

bool TKvFaxPrinter::SelectPrinter(const QString& name) {
  pdfPath_.clear();
  printer_->setOutputFormat(QPrinter::NativeFormat);
  const QPrinterInfo info = QPrinterInfo::printerInfo(name);
  if (name.isEmpty() || info.isNull()) return false;
  printer_->setPrinterName(name);
  return true;
}

void TKvFaxPrinter::SetPdfOutput(const QString& path) {
  pdfPath_ = path;
  printer_->setOutputFormat(QPrinter::PdfFormat);
}

QString TKvFaxPrinter::PrinterName() const { return pdfPath_.isEmpty() ? printer_->printerName() : pdfPath_; }

bool TKvFaxPrinter::PrintSetup(QWidget* parent) {
  QPrintDialog dialog(printer_.get(), parent);
  dialog.setMinMax(std::min(1, pageCount_), std::max(1, pageCount_));
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, pageCount_ > 0);
  if (dialog.exec() != QDialog::Accepted) return false;
  if (printer_->outputFormat() == QPrinter::PdfFormat && !printer_->outputFileName().isEmpty()) {
    pdfPath_ = printer_->outputFileName();
  } else {
    pdfPath_.clear();
  }
  if (printer_->printRange() == QPrinter::PageRange && printer_->fromPage() > 0) {
    SetRange(printer_->fromPage(), printer_->toPage());
  }
  return true;
}

void TKvFaxPrinter::SetStatus(TFaxPrintProgress status) {
  if (status != status_) {
    status_ = status;
    if (OnFaxPrintStatus) OnFaxPrintStatus(*this, status);
    if (StatusDisplay) StatusDisplay->Update(*this);
  }
  QApplication::processEvents();
}

void TKvFaxPrinter::Log(TFaxPLCode code) {
  if (OnFaxPrintLog) OnFaxPrintLog(*this, code);
  if (FaxPrinterLog) FaxPrinterLog->Write(code, fileName_);
}

void TKvFaxPrinter::Abort() {
  if (!printing_ || aborted_) return;
  aborted_ = true;
  unpacker_.Options = TUnpackerOptions(unpacker_.Options | uoAbort);
  currentPage_ = 0;
  Log(lcAbort);
  if (StatusDisplay) StatusDisplay->Close();
}

void TKvFaxPrinter::Finish() {
  currentPage_ = 0;
  printing_ = false;
  SetStatus(ppIdle);
  if (StatusDisplay) StatusDisplay->Close();
}

namespace {

// Hands a finished PDF to a CUPS queue; an empty text, or why it failed.
QString SubmitToQueue(const QString& printerName, const QString& pdf, const QString& title, int copies) {
  cups_option_t* options = nullptr;
  int count = 0;
  if (copies > 1) count = cupsAddOption("copies", std::to_string(copies).c_str(), count, &options);
  const int job = cupsPrintFile(printerName.toLocal8Bit().constData(), pdf.toLocal8Bit().constData(),
                                title.toLocal8Bit().constData(), count, options);
  cupsFreeOptions(count, options);
  if (job > 0) return {};
  return QStringLiteral("The printer %1 did not take the job: %2")
      .arg(printerName, QString::fromLocal8Bit(cupsLastErrorString()));
}

}  // namespace

bool TKvFaxPrinter::Print() {
  lastError_.clear();
  if (pageCount_ <= 0 || printing_) return false;
  printing_ = true;
  aborted_ = false;
  currentPage_ = 0;
  SetStatus(ppIdle);
  if (StatusDisplay) StatusDisplay->Show(*this);
  Log(lcStart);

  // Pages are drawn into a PDF file beside the target (or in the temporary
  // folder for a printer): a PDF appears whole or not at all, and a printer
  // gets only a finished job.
  const QString target = pdfPath_;
  const QString printerName = printer_->printerName();
  if (target.isEmpty() && printerName.isEmpty()) {
    lastError_ = QStringLiteral("No printer is available.");
    Log(lcFail);
    Finish();
    return false;
  }
  const QString folder = target.isEmpty() ? QDir::tempPath() : QFileInfo(target).absolutePath();
  const QString work = folder + QStringLiteral("/.faxprint-%1-%2.pdf")
                                    .arg(::getpid())
                                    .arg(QDateTime::currentMSecsSinceEpoch());
  const int copies = printer_->copyCount();
  printer_->setOutputFormat(QPrinter::PdfFormat);
  printer_->setOutputFileName(work);
  printer_->setDocName(Caption);
  printer_->setCreator(QStringLiteral("Tolmera"));

  bool ok = true;
  if (firstPage_ <= lastPage_) {
    QPainter painter;
    if (!painter.begin(printer_.get())) {
      lastError_ = QStringLiteral("Cannot write %1").arg(target.isEmpty() ? work : target);
      ok = false;
    } else {
      ok = PrintPages(painter);
      if (!painter.end() && ok && !aborted_) {
        lastError_ = QStringLiteral("Cannot write %1").arg(target.isEmpty() ? work : target);
        ok = false;
      }
    }
  }
  // The printer keeps its settings for the next job, not the work file
  // (going back to the system's printers picks the default one: name it).
  printer_->setOutputFileName({});
  if (target.isEmpty()) {
    printer_->setOutputFormat(QPrinter::NativeFormat);
    printer_->setPrinterName(printerName);
  }

  if (ok && !aborted_ && firstPage_ <= lastPage_) {
    if (!target.isEmpty()) {
      if (::rename(work.toLocal8Bit().constData(), target.toLocal8Bit().constData()) != 0) {
        lastError_ = QStringLiteral("Cannot write %1").arg(target);
        ok = false;
      }
    } else {
      SetStatus(ppSubmitting);
      lastError_ = SubmitToQueue(printerName, work, Caption, copies);
      ok = lastError_.isEmpty();
    }
  }
  QFile::remove(work);
  if (aborted_) {
    printing_ = false;
    currentPage_ = 0;
    status_ = ppIdle;
    return false;
  }
  Log(ok ? lcFinish : lcFail);
  Finish();
  return ok;
}

bool TKvFaxPrinter::PrintPages(QPainter& painter) {
  const bool landscape = printer_->pageLayout().orientation() == QPageLayout::Landscape;
  const QRect sheet(0, 0, printer_->width(), printer_->height());
  for (int page = firstPage_; page <= lastPage_; ++page) {
    const int index = page - firstPage_;
    currentPage_ = page;
    if (StartsSheet(index, MultiPage, landscape) && !printer_->newPage()) {
      lastError_ = QStringLiteral("Cannot start a new sheet");
      return false;
    }
    QApplication::processEvents();
    if (aborted_) return false;
    if (OnNextPage) OnNextPage(*this, page, pageCount_);
    if (aborted_) return false;
    SetStatus(ppConverting);
    MonoBitmap bitmap;
    ApfPageHeader header;
    try {
      bitmap = unpacker_.UnpackPageToBitmap(page);
      std::uint64_t offset = 0;
      CheckFaxResult(ApfLocatePage(fileName_, page, header, offset));
    } catch (const EUnpackAbort&) {
      return false;
    } catch (const EFaxImageError& e) {
      lastError_ = QStringLiteral("Page %1: %2").arg(page).arg(QString::fromStdString(e.what()));
      return false;
    }
    if (aborted_) return false;
    SetStatus(ppComposing);

    QRect area = PageArea(sheet, index, MultiPage, landscape);
    DrawMargins(painter, area, page);
    if (!bitmap.Empty() && !area.isEmpty()) {
      SetStatus(ppRendering);
      const QImage image = MonoImage(bitmap);
      QSize size;
      QRect source = image.rect();
      if (PrintScale == psFitToPage) {
        size = FitToPageSize(QSize(bitmap.width, bitmap.height), header.Width(), area.size());
      } else {
        int rows = 0;
        size = NaturalSize(QSize(bitmap.width, bitmap.height), printer_->logicalDpiX(), printer_->logicalDpiY(),
                           area.height(), rows);
        source.setHeight(rows);
      }
      if (!size.isEmpty() && !source.isEmpty()) painter.drawImage(QRect(area.topLeft(), size), image, source);
      SetStatus(ppSubmitting);
    }
    if (aborted_) return false;
  }
  return true;
}

void TKvFaxPrinter::DrawMargins(QPainter& painter, QRect& area, int page) {
  const QString name = QString::fromStdString(fileName_);
  auto fontOf = [this](const TKvFaxPrinterMargin& margin) {
    QFont font(margin.Font, printer_.get());
    if (MultiPage && font.pointSizeF() > 0) font.setPointSizeF(font.pointSizeF() / 2);
    return font;
  };
  if (FaxHeader.Enabled) {
    painter.setFont(fontOf(FaxHeader));
    const int h = painter.fontMetrics().height();
    FaxHeader.LastHeight = h;
    const QRect line(area.left(), area.top(), area.width(), h);
    painter.drawText(line, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     ExpandPrintMacros(FaxHeader.Caption, page, pageCount_, name));
    const int y = line.bottom() + 2;
    painter.drawLine(area.left(), y, area.right(), y);
    area.setTop(y + 2);
  }
  if (FaxFooter.Enabled) {
    painter.setFont(fontOf(FaxFooter));
    const int h = painter.fontMetrics().height();
    FaxFooter.LastHeight = h;
    const QRect line(area.left(), area.bottom() - h + 1, area.width(), h);
    painter.drawText(line, Qt::AlignLeft | Qt::AlignBottom | Qt::TextSingleLine,
                     ExpandPrintMacros(FaxFooter.Caption, page, pageCount_, name));
    const int y = line.top() - 2;
    painter.drawLine(area.left(), y, area.right(), y);
    area.setBottom(y - 2);
  }
}

}  // namespace tlm
