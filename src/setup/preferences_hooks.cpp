#include "setup/preferences_hooks.h"

#include "app/main_screen.h"
#include "comm/com_port.h"
#include "setup/com_select_form.h"
#include "setup/preferences_form.h"
#include "setup/quick_setup_form.h"

namespace tlm {

void InstallPreferencesHooks(MainScreenHooks& hooks) {
  hooks.preferences = [](TMainScreen& main) { ShowPreferences(main, &main); };
  hooks.quickSetup = [](TMainScreen& main) { ShowQuickSetup(main, &main); };
  TKvCustomComPort::SetPortPrompt([] { return ChooseComPort(nullptr); });
}

bool RunPreferences(TMainScreen& main, QWidget* parent) { return ShowPreferences(main, parent); }

}  // namespace tlm
