#pragma once
// Sending from the main window: the Send button's workflow (render the
// current outgoing fax, run the send window, record the result) and the
// rendering of the current outgoing record into a temporary fax file.
#include <QDateTime>
#include <QString>
#include <string>

namespace tlm {

struct MainScreenHooks;
class TableAccess;
class TMainScreen;

// Installs the Send workflow (and the outgoing rendering, when no other part
// has installed one) into the main window's hooks.
void InstallSendHooks(MainScreenHooks& hooks);

// The main window's Send button.
void SendButtonClick(TMainScreen& window);

// Renders the current outgoing record into a fax file in the data folder and
// keeps its page count in the main window. Empty when there is nothing to
// send; throws on a converter or file error (no page file is left behind).
std::string RenderCurrentFax(TMainScreen& window);

// Writes the outcome of a send into the current outgoing record: the page
// count (two digits hold at most 99), the result text when not blank, the
// number dialled, and for a fax sent the sent flag, date and "hh:mm" time.
bool RecordSendResult(TableAccess& outgoing, int pages, const QString& resultText, const QString& phoneNumber,
                      const QDateTime& now);

}  // namespace tlm
