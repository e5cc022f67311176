#pragma once
// The main window's composing commands: New, Clone and Edit of a fax in the
// fax editor, "C&over Sheets" and "&Phone Book".
namespace tlm {

class TMainScreen;
struct MainScreenHooks;

void InstallComposeHooks(MainScreenHooks& hooks);

// The commands themselves, as the hooks run them.
void NewFax(TMainScreen& window, bool clone);
void EditFax(TMainScreen& window);
void OpenPhoneBook(TMainScreen& window);
void OpenCoverSheets(TMainScreen& window);

}  // namespace tlm
