#include "setup/preferences_save.h"

#include "platform/com_ports.h"
#include "platform/profile_file.h"

namespace tlm {

void SavePreferencesFile(const std::string& path, const Settings& settings, const PortMappings& newPorts) {
  ProfileFile ini(path);
  for (const auto& [number, device] : newPorts) ini.WriteString("Ports", "COM" + std::to_string(number), device);
  SaveSettings(ini, settings);  // saves the whole file at once
}

std::string SetupDevicePath(int comNumber, const std::string& path, const PortMappings& newPorts) {
  if (const auto it = newPorts.find(comNumber); it != newPorts.end()) return it->second;
  return ComDevicePath(comNumber, ProfileFile(path));
}

}  // namespace tlm
