#pragma once
// Plugs the log maintenance windows into the main window.
namespace tlm {

struct MainScreenHooks;

// "Fax Log Cleanup": the cleanup window over the main window's two logs,
// then, when it deleted anything, Rebuild Indexes.
void InstallMaintenanceHooks(MainScreenHooks& hooks);

}  // namespace tlm
