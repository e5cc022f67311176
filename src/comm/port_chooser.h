#pragma once
// The ports the "Select Port" window offers: COM1 to COM50 whose device
// opens, or whose open is refused because it is busy or not permitted.
#include <functional>
#include <string>
#include <vector>

namespace tlm {

struct UsableComPort {
  int number = 0;
  std::string device;
  bool busy = false;       // held by another program
  bool permitted = true;   // false: the user lacks access (see the "dialout" group)
};

// Probes COM1..COM50; `deviceOf` maps a number to its device path (by
// default the settings' mapping, ComDevicePath).
std::vector<UsableComPort> UsableComPorts(const std::function<std::string(int)>& deviceOf = {});

}  // namespace tlm
