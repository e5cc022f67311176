#pragma once
// Plugs the set-up windows into the program: the main window's
// "Preferences" and the quick set-up of a first start, and the "Select
// Port" window the serial port asks for when no port is chosen.
class QWidget;

namespace tlm {

class TMainScreen;
struct MainScreenHooks;

void InstallPreferencesHooks(MainScreenHooks& hooks);

// The preferences wizard on the main window's settings, for other windows'
// "Preferences" buttons; true when the user saved.
bool RunPreferences(TMainScreen& main, QWidget* parent);

}  // namespace tlm
