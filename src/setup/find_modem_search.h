#pragma once
// The modem search without its window: which devices to try, one port's
// probe, and the COM number a modem found on an unmapped device is offered
// under. Qt-free; the probes run on worker threads of the search window.
#include <functional>
#include <string>
#include <vector>

namespace tlm {

class ProfileFile;

// The ports the search always tries: COM1 to COM6.
inline constexpr int kSearchedComPorts = 6;

// What one port's probe found.
struct PortProbe {
  std::string text;    // what follows "Com N: " in the window
  bool modem = false;  // a modem answered
  bool inUse = false;  // held by another program
};

// The line settings the probing ports copy from the caller's port.
struct ProbePortSettings {
  int inSize = 8192;
  int outSize = 8192;
  int hwFlow = 0;
};

// Opens `device` (shown as COM `comNumber`; 0 for an unmapped device),
// checks that a modem answers (ProbeModem with `resetString`) and closes it
// again. Never throws; bounded in time (about 0.7 s plus one or two replies
// of 2 s each).
PortProbe ProbePort(int comNumber, const std::string& device, const std::string& resetString,
                    const ProbePortSettings& settings);

// Serial devices beyond the mapped ports, in the order they are tried:
// stable names under `devDir`/serial/by-id first (one per device), then
// `devDir`/ttyUSB* and `devDir`/ttyACM* not reached through one of them.
// Devices that resolve to one in `mapped` are left out.
std::vector<std::string> UnmappedSerialDevices(const std::string& devDir, const std::vector<std::string>& mapped);

// Every device path the `Ports` section names, and the devices of COM1 to
// COM6 through `deviceOf`: the devices the search counts as mapped.
std::vector<std::string> MappedDevices(const ProfileFile& ini, const std::function<std::string(int)>& deviceOf);

// The COM number (1..6) a newly found device is offered under: the first
// without a `Ports` entry whose default device does not exist, else the
// first whose device does not exist; 0 when all six are in use.
int FirstFreeComNumber(const ProfileFile& ini, const std::function<std::string(int)>& deviceOf);

// True when `a` and `b` name the same device (links resolved).
bool SameDevice(const std::string& a, const std::string& b);

}  // namespace tlm
