#include "viewer/viewer_hooks.h"

#include <QApplication>
#include <QFileInfo>
#include <exception>

#include "app/help_window.h"
#include "app/main_screen.h"
#include "compose/fax_document_assembly.h"
#include "faximage/fax_converter.h"
#include "faximage/fax_errors.h"
#include "platform/data_folder.h"
#include "platform/file_util.h"
#include "richtext/rich_text_editor.h"
#include "viewer/fax_printer.h"
#include "viewer/fax_viewer_window.h"

namespace tlm {

namespace {

// A memo field of the outgoing log's current record, written where the
// assembly wants it; an empty memo is no text.
MemoToFile MemoOfRecord(TableAccess& table, const std::string& field) {
  return [&table, field](const std::string& path) {
    const std::string text = table.Field(field);
    return !text.empty() && WriteFileAtomically(path, text);
  };
}

std::string RenderOutgoingFax(TMainScreen& main) {
  TableAccess* table = main.FaxTable();
  if (!table) return {};
  RichTextEditor cover, document;
  TKvFaxConverter converter;
  WidgetAssemblyHost host(&main, nullptr, [&main](const QString& text) { main.SetStatus(text); });
  FaxDocumentAssembler assembler(DataFolder(), cover, document, converter, host);
  try {
    return assembler.CreateFaxFile(MemoOfRecord(*table, "RTFCOVER"), MemoOfRecord(*table, "RTFDOC"));
  } catch (const std::exception&) {
    host.SetBusy(false);
    return {};  // the main window says "Error creating fax file"
  }
}

}  // namespace

void ViewFaxFile(QWidget* parent, const QString& faxFile, const QString& headerText) {
  TFaxViewer viewer(parent);
  viewer.Open(faxFile, headerText);
  viewer.showHelp = [](QWidget* owner, int topic) { ShowHelpTopic(owner, topic); };
  viewer.exec();
}

void InstallViewerHooks(MainScreenHooks& hooks) {
  hooks.renderFax = [](TMainScreen& main) { return RenderOutgoingFax(main); };
  hooks.viewFax = [](TMainScreen& main, const QString& faxFile, const QString& description) {
    ViewFaxFile(&main, faxFile, description);
  };
}

bool PrintReceivedFax(const QString& faxFile, const QString& printer, const QString& pdfFile, QString* error) {
  TKvFaxPrinter faxPrinter;
  TKvFaxPrinterLog log;
  faxPrinter.FaxPrinterLog = &log;
  faxPrinter.Caption = QFileInfo(faxFile).fileName();
  faxPrinter.FaxHeader.Enabled = false;
  faxPrinter.FaxFooter.Enabled = false;
  faxPrinter.MultiPage = false;
  try {
    faxPrinter.SetFileName(faxFile.toStdString());
  } catch (const std::exception& e) {
    if (error) *error = QString::fromLocal8Bit(e.what());
    return false;
  }
  if (pdfFile.isEmpty()) {
    faxPrinter.SelectPrinter(printer);  // an unknown name keeps the current printer
  } else {
    faxPrinter.SetPdfOutput(pdfFile);
  }
  const bool printed = faxPrinter.Print();
  if (!printed && error) *error = faxPrinter.LastError();
  return printed;
}

}  // namespace tlm
