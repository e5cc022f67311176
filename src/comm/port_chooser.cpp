#include "comm/port_chooser.h"

#include <unistd.h>

#include <cerrno>

#include "comm/comm_types.h"
#include "comm/posix_serial.h"
#include "platform/com_ports.h"
#include "platform/data_folder.h"
#include "platform/profile_file.h"

namespace tlm {

std::vector<UsableComPort> UsableComPorts(const std::function<std::string(int)>& deviceOf) {
  std::vector<UsableComPort> ports;
  ProfileFile settings;
  if (!deviceOf) settings = ProfileFile(DataFolder() + "TLM.INI");
  for (int number = 1; number <= kMaxComPort; ++number) {
    const std::string device = deviceOf ? deviceOf(number) : ComDevicePath(number, settings);
    if (device.empty()) continue;
    const int result = OpenSerialDevice(device);
    UsableComPort port;
    port.number = number;
    port.device = device;
    if (result >= 0) {
      ::close(result);
    } else if (result == -ecHardware || result == -EBUSY) {
      port.busy = true;
    } else if (result == -EACCES || result == -EPERM) {
      port.permitted = false;
    } else {
      continue;
    }
    ports.push_back(port);
  }
  return ports;
}

}  // namespace tlm
