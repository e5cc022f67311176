#include "viewer/print_preferences.h"

#include "app/core/settings.h"
#include "platform/data_folder.h"
#include "platform/profile_file.h"

namespace tlm {

namespace {
constexpr const char* kSection = "Printing";
std::string SettingsPath() { return DataFolder() + kSettingsFileName; }
}  // namespace

PrintPreferences LoadPrintPreferences() {
  const ProfileFile ini(SettingsPath());
  PrintPreferences p;
  p.multiPage = ini.ReadBool(kSection, "MultiPage", p.multiPage);
  p.header = ini.ReadBool(kSection, "Header", p.header);
  p.footer = ini.ReadBool(kSection, "Footer", p.footer);
  return p;
}

bool SavePrintPreferences(const PrintPreferences& preferences) {
  ProfileFile ini(SettingsPath());
  ini.WriteBool(kSection, "MultiPage", preferences.multiPage);
  ini.WriteBool(kSection, "Header", preferences.header);
  ini.WriteBool(kSection, "Footer", preferences.footer);
  try {
    ini.Save();
    return true;
  } catch (const ProfileWriteError&) {
    return false;
  }
}

}  // namespace tlm
