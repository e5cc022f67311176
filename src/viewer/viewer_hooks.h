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

}  // namespace tlm
