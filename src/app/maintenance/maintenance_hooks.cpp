#include "app/maintenance/maintenance_hooks.h"

#include "app/main_screen.h"
#include "app/maintenance/log_cleanup_form.h"
#include "app/window_placement.h"

namespace tlm {

void InstallMaintenanceHooks(MainScreenHooks& hooks) {
  hooks.faxLogCleanup = [](TMainScreen& main) {
    if (!main.FaxTable() || !main.RecTable()) return;
    bool rebuild = false;
    {
      TDMForm form(*main.FaxTable(), *main.RecTable(), main.DestinationDir(), &main);
      CenterWindow(&form);
      form.exec();
      rebuild = form.RebuildNeeded();
    }
    if (rebuild) main.RebuildIndexes();
  };
}

}  // namespace tlm
