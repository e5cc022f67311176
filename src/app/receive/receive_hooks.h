#pragma once
// Plugs receive mode into the main window's Receive button.
#include "app/receive/receive_mode.h"

namespace tlm {

struct MainScreenHooks;

// `services` print received faxes and play the sound.
void InstallReceiveHooks(MainScreenHooks& hooks, TReceiveMode::Services services);

}  // namespace tlm
