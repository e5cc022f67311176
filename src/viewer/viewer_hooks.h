#pragma once
// Plugs the viewer into the main window: View/Print of a received fax and
// of an outgoing one (rendered first by document assembly).
#include <QString>

class QWidget;

namespace tlm {

struct MainScreenHooks;

void InstallViewerHooks(MainScreenHooks& hooks);

// Shows the viewer window modally on `faxFile`, printing `headerText`
// above its pages.
void ViewFaxFile(QWidget* parent, const QString& faxFile, const QString& headerText);

// Prints a fax as it arrives: on the printer named `printer` (empty or
// unknown: the current one) or, with `pdfFile`, into that PDF file; without
// header and footer, one page a sheet, logged in the print log. False when
// it could not be printed (`error` says why).
bool PrintReceivedFax(const QString& faxFile, const QString& printer, const QString& pdfFile = {},
                      QString* error = nullptr);

}  // namespace tlm
