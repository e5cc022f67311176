#include "platform/com_ports.h"

#include "platform/data_folder.h"
#include "platform/profile_file.h"

namespace tlm {

std::string DefaultComDevice(int comNumber) {
  if (comNumber >= 1 && comNumber <= 4) return "/dev/ttyS" + std::to_string(comNumber - 1);
  if (comNumber >= 5 && comNumber <= 8) return "/dev/ttyACM" + std::to_string(comNumber - 5);
  if (comNumber >= 9 && comNumber <= 12) return "/dev/ttyUSB" + std::to_string(comNumber - 9);
  return {};
}

std::string ComDevicePath(int comNumber, const ProfileFile& settings) {
  const std::string mapped = settings.ReadString("Ports", "COM" + std::to_string(comNumber), "");
  return mapped.empty() ? DefaultComDevice(comNumber) : mapped;
}

std::string ComDevicePath(int comNumber) {
  return ComDevicePath(comNumber, ProfileFile(DataFolder() + "TLM.INI"));
}

std::string ComPortDisplayName(int comNumber, const std::string& devicePath) {
  std::string name = "COM" + std::to_string(comNumber);
  if (!devicePath.empty()) name += " (" + devicePath + ")";
  return name;
}

}  // namespace tlm
