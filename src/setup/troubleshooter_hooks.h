#pragma once
// Plugs the help windows of set-up into the main window: the troubleshooter
// ("Problem Solver") and the configuration report ("Configuration
// Information").
namespace tlm {

struct MainScreenHooks;

void InstallHelpHooks(MainScreenHooks& hooks);

}  // namespace tlm
