#include "app/receive/receive_hooks.h"

#include "app/main_screen.h"

namespace tlm {

void InstallReceiveHooks(MainScreenHooks& hooks, TReceiveMode::Services services) {
  TReceiveMode::SetDefaultServices(std::move(services));
  hooks.receiveButton = [](TMainScreen& window) { TReceiveMode::Of(window).ReceiveButtonClick(); };
}

}  // namespace tlm
