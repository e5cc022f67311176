#pragma once
// TKvFaxPrinter: prints the pages of an APF file on a printer of the system
// (through CUPS) or into a PDF file, one page a sheet or several, each with
// an optional header and footer line built from macros, fitted to the sheet
// or at 200 pixels an inch. Progress goes to an event, an optional status
// window with an Abort button and an optional log file.
//
// Printing a received fax without header or footer, as print on receipt
// does:
//   TKvFaxPrinter printer;
//   printer.SelectPrinter(name);          // unknown or empty: the current one
//   printer.FaxHeader.Enabled = printer.FaxFooter.Enabled = false;
//   printer.SetFileName(file);
//   printer.Print();                      // false: LastError() says why
#include <QFont>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "faximage/fax_unpacker.h"

class QPrinter;
class QPainter;
class QWidget;

namespace tlm {

enum TFaxPrintScale { psNone, psFitToPage };
enum TFaxPrintProgress { ppIdle, ppComposing, ppRendering, ppSubmitting, ppConverting };
enum TFaxPLCode { lcStart, lcFinish, lcAbort, lcFail };

// The status text of a print progress code: "Idle", "Composing", ...
QString PrintStatusText(TFaxPrintProgress status);

// A header or footer line.
class TKvFaxPrinterMargin {
 public:
  QString Caption;
  bool Enabled = false;
  QFont Font;
  int LastHeight = 0;  // of the text last drawn, in printer units
};

// The print log: one entry a line, appended and closed at each event. A
// relative LogFileName is taken in the data folder.
class TKvFaxPrinterLog {
 public:
  std::string LogFileName = "FAXPRINT.LOG";
  std::string Path() const;
  // False when the entry could not be written.
  bool Write(TFaxPLCode code, const std::string& faxFile) const;
};

class TKvFaxPrinter;
class TStandardFaxPrinterStatusDisplay;

// The holder of the status window: creates it when printing starts and
// destroys it at the end.
class TKvFaxPrinterStatus {
 public:
  TKvFaxPrinterStatus();
  ~TKvFaxPrinterStatus();
  bool Visible = true;
  QString Caption = QStringLiteral("Print Status");

  void Show(TKvFaxPrinter& printer);
  void Update(TKvFaxPrinter& printer);
  void Close();
  TStandardFaxPrinterStatusDisplay* Display() const { return display_.get(); }

 private:
  std::unique_ptr<TStandardFaxPrinterStatusDisplay> display_;
};

class TKvFaxPrinter {
 public:
  TKvFaxPrinter();
  ~TKvFaxPrinter();
  TKvFaxPrinter(const TKvFaxPrinter&) = delete;
  TKvFaxPrinter& operator=(const TKvFaxPrinter&) = delete;

  QString Caption;  // the job title in the print queue
  TKvFaxPrinterMargin FaxHeader;
  TKvFaxPrinterMargin FaxFooter;
  TKvFaxPrinterLog* FaxPrinterLog = nullptr;
  TKvFaxPrinterStatus* StatusDisplay = nullptr;
  bool MultiPage = false;
  TFaxPrintScale PrintScale = psFitToPage;

  std::function<void(TKvFaxPrinter& sender, int currentPage, int totalPages)> OnNextPage;
  std::function<void(TKvFaxPrinter& sender, TFaxPLCode code)> OnFaxPrintLog;
  std::function<void(TKvFaxPrinter& sender, TFaxPrintProgress status)> OnFaxPrintStatus;

  // Reads the page count and page 1's resolution and width; the range
  // becomes 1..page count (0..0 without pages). Throws the unpacker's
  // exceptions for a file that is not a fax.
  void SetFileName(const std::string& fileName);
  const std::string& FileName() const { return fileName_; }
  int PageCount() const { return pageCount_; }
  int FirstPage() const { return firstPage_; }
  int LastPage() const { return lastPage_; }
  void SetRange(int first, int last);
  int CurrentPage() const { return currentPage_; }
  bool ResolutionFine() const { return fine_; }
  bool WidthWide() const { return wide_; }
  TFaxPrintProgress Status() const { return status_; }
  bool Printing() const { return printing_; }

  // The output: a printer of the system by name (an unknown or empty name
  // keeps the current printer; false then), or a PDF file.
  bool SelectPrinter(const QString& name);
  void SetPdfOutput(const QString& path);
  QString PrinterName() const;
  // The system's print dialog; when accepted its page range becomes the
  // range. False when cancelled.
  bool PrintSetup(QWidget* parent);
  QPrinter& Printer() { return *printer_; }

  // Prints the range. True when the job was finished; false when it was
  // aborted, failed (LastError() says why) or there was nothing to print.
  bool Print();
  // From the status window or an event handler while printing.
  void Abort();
  const QString& LastError() const { return lastError_; }

 private:
  void SetStatus(TFaxPrintProgress status);
  void Log(TFaxPLCode code);
  bool PrintPages(QPainter& painter);
  void DrawMargins(QPainter& painter, QRect& area, int page);
  void Finish();

  std::unique_ptr<QPrinter> printer_;
  QString pdfPath_;  // set: the output is this PDF file
  TKvFaxUnpacker unpacker_;
  std::string fileName_;
  int pageCount_ = 0;
  int firstPage_ = 0;
  int lastPage_ = 0;
  int currentPage_ = 0;
  bool fine_ = false;
  bool wide_ = false;
  TFaxPrintProgress status_ = ppIdle;
  bool printing_ = false;
  bool aborted_ = false;
  QString lastError_;
};

}  // namespace tlm
