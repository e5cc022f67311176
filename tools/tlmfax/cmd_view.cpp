// tlmfax pdf FILE.APF OUT.pdf: the fax as a PDF file, one page per fax page.
// tlmfax print [--printer NAME | --pdf OUT.pdf] [--pages A-B] [--multipage]
//   [--no-header] [--no-footer] FILE.APF: prints through the fax printer of
// the viewer window. Built with the Qt layers only.
#include <QApplication>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "commands.h"
#include "document_input.h"
#include "platform/file_util.h"
#include "viewer/fax_pdf.h"
#include "viewer/fax_printer.h"

namespace tlm::tlmfax {
namespace {

std::unique_ptr<QApplication> StartQt() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  static int argc = 1;
  static char name[] = "tlmfax";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QApplication>(argc, argv);
}

}  // namespace

int RunPdf(const Args& args) {
  if (args.size() != 2 || args[0].empty() || args[0][0] == '-') return Fail("usage: tlmfax pdf FILE.APF OUT.pdf");
  if (!FileExists(args[0])) return Fail("cannot read " + args[0]);
  auto app = StartQt();
  QString error;
  if (!ExportFaxAsPdf(args[0], args[1], QFileInfo(QString::fromStdString(args[0])).fileName(), &error)) {
    return Fail(error.toStdString());
  }
  return 0;
}

int RunPrint(const Args& args) {
  const char* usage =
      "usage: tlmfax print [--printer NAME | --pdf OUT.pdf] [--pages A-B] [--multipage] [--no-header] "
      "[--no-footer] FILE.APF";
  std::string printer, pdf, file;
  int first = 0, last = 0;
  bool multiPage = false, header = true, footer = true;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--printer" && hasValue && pdf.empty()) {
      printer = args[++i];
    } else if (a == "--pdf" && hasValue && printer.empty()) {
      pdf = args[++i];
    } else if (a == "--pages" && hasValue) {
      if (!ParseRange(args[++i], first, last)) return Fail("bad page range " + args[i]);
    } else if (a == "--multipage") {
      multiPage = true;
    } else if (a == "--no-header") {
      header = false;
    } else if (a == "--no-footer") {
      footer = false;
    } else if (file.empty() && !a.empty() && a[0] != '-') {
      file = a;
    } else {
      return Fail(usage);
    }
  }
  if (file.empty()) return Fail(usage);
  if (!FileExists(file)) return Fail("cannot read " + file);
  auto app = StartQt();

  TKvFaxPrinter faxPrinter;
  TKvFaxPrinterLog log;
  faxPrinter.FaxPrinterLog = &log;
  faxPrinter.Caption = QStringLiteral("KOVA Fax Printer");
  faxPrinter.FaxFooter.Caption = QStringLiteral("Page: $P of $N");
  faxPrinter.FaxHeader.Enabled = header;
  faxPrinter.FaxFooter.Enabled = footer;
  faxPrinter.MultiPage = multiPage;
  faxPrinter.SetFileName(file);  // throws for a file that is not a fax
  if (faxPrinter.PageCount() == 0) return Fail(file + " holds no pages");
  if (first > 0) {
    if (last > faxPrinter.PageCount()) return Fail("the fax has " + std::to_string(faxPrinter.PageCount()) + " pages");
    faxPrinter.SetRange(first, last);
  }
  if (!pdf.empty()) {
    faxPrinter.SetPdfOutput(QString::fromStdString(pdf));
  } else if (!printer.empty() && !faxPrinter.SelectPrinter(QString::fromStdString(printer))) {
    std::fprintf(stderr, "tlmfax: no printer %s, printing on %s\n", printer.c_str(),
                 faxPrinter.PrinterName().isEmpty() ? "(none)" : faxPrinter.PrinterName().toLocal8Bit().constData());
  }
  if (!faxPrinter.Print()) {
    return Fail(faxPrinter.LastError().isEmpty() ? "nothing printed" : faxPrinter.LastError().toStdString());
  }
  return 0;
}

}  // namespace tlm::tlmfax
