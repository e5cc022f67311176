#include "setup/troubleshooter_hooks.h"

#include "app/main_screen.h"
#include "setup/config_report_window.h"
#include "setup/troubleshooter_window.h"

namespace tlm {

void InstallHelpHooks(MainScreenHooks& hooks) {
  hooks.problemSolver = [](TMainScreen& main) { ShowProblemSolver(&main, main.CurrentSettings(), -1); };
  hooks.configurationInformation = [](TMainScreen& main) {
    ShowConfigurationInformation(&main, main.CurrentSettings(), !main.ReceiveMode());
  };
}

}  // namespace tlm
