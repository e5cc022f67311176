#include "setup/find_modem_search.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "app/core/modem_probe.h"
#include "comm/com_port.h"
#include "platform/com_ports.h"
#include "platform/os_error.h"
#include "platform/profile_file.h"

namespace tlm {

namespace {

namespace fs = std::filesystem;

constexpr int kPortInUse = -2005;
constexpr int kAlreadyOpen = -2008;
constexpr int kNoSuchPort = -2001;

std::string Canonical(const std::string& path) {
  std::error_code ec;
  const fs::path resolved = fs::canonical(path, ec);
  return ec ? path : resolved.string();
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::exists(path, ec);
}

// "ttyUSB10" after "ttyUSB9": by prefix, then by number.
bool TtyOrder(const std::string& a, const std::string& b) {
  const auto split = [](const std::string& s) {
    std::size_t digits = s.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(s[digits - 1]))) --digits;
    const std::string number = s.substr(digits);
    return std::make_pair(s.substr(0, digits), number.empty() ? -1L : std::stol(number.substr(0, 9)));
  };
  return split(a) < split(b);
}

std::vector<std::string> Entries(const fs::path& folder, const std::function<bool(const std::string&)>& wanted) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (wanted(name)) names.push_back(name);
  }
  return names;
}

}  // namespace

bool SameDevice(const std::string& a, const std::string& b) { return Canonical(a) == Canonical(b); }

PortProbe ProbePort(int comNumber, const std::string& device, const std::string& resetString,
                    const ProbePortSettings& settings) {
  PortProbe probe;
  TKvComPort port;
  try {
    port.SetPromptForPort(false);
    port.SetAutoOpen(false);
    port.SetInSize(settings.inSize);
    port.SetOutSize(settings.outSize);
    port.SetHWFlowOptions(static_cast<THWFlowOptions>(settings.hwFlow));
    if (comNumber > 0) port.SetComNumber(comNumber);
    port.SetDeviceName(device);
    port.SetOpen(true);
  } catch (const EComError& e) {
    const int code = e.Code();
    if (code == kAlreadyOpen || code == kPortInUse) {
      probe.text = "Port is already open (could be modem)";
      probe.inUse = true;
    } else if (code == kNoSuchPort) {
      probe.text = "Port does not exist";
    } else {
      // The table's text, or the system's with the device and, for a
      // refused open, the group the user must join.
      probe.text = e.what();
      if (probe.text.empty()) probe.text = "Unknown Error";
    }
    return probe;
  } catch (const std::exception& e) {
    probe.text = std::string("ERROR: ") + e.what();
    return probe;
  }
  if (!port.Open()) {
    probe.text = "Unknown";
    return probe;
  }
  bool answered = false;
  try {
    answered = ProbeModem(port, resetString);
  } catch (const std::exception&) {
    answered = false;
  }
  const int lost = port.Dispatcher() ? port.Dispatcher()->DeviceLostErrno() : 0;
  if (answered) {
    probe.text = "MODEM";
    probe.modem = true;
  } else if (lost != 0) {
    probe.text = "Unknown (the device went away: " + OsErrorText(lost) + ")";
  } else {
    probe.text = "Unknown";
  }
  try {
    port.SetOpen(false);
  } catch (const std::exception&) {
    // A device that went away closes as well as it can.
  }
  return probe;
}

std::vector<std::string> UnmappedSerialDevices(const std::string& devDir, const std::vector<std::string>& mapped) {
  std::set<std::string> taken;
  for (const std::string& m : mapped) taken.insert(Canonical(m));
  std::vector<std::string> found;
  const auto offer = [&](const fs::path& path) {
    const std::string target = Canonical(path.string());
    if (!Exists(path.string()) || !taken.insert(target).second) return;
    found.push_back(path.string());
  };
  const fs::path byId = fs::path(devDir) / "serial" / "by-id";
  std::vector<std::string> ids = Entries(byId, [](const std::string&) { return true; });
  std::sort(ids.begin(), ids.end());
  for (const std::string& id : ids) offer(byId / id);
  std::vector<std::string> ttys = Entries(devDir, [](const std::string& name) {
    return name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0;
  });
  std::sort(ttys.begin(), ttys.end(), TtyOrder);
  for (const std::string& tty : ttys) offer(fs::path(devDir) / tty);
  return found;
}

std::vector<std::string> MappedDevices(const ProfileFile& ini, const std::function<std::string(int)>& deviceOf) {
  std::vector<std::string> devices;
  for (const std::string& key : ini.KeyNames("Ports")) {
    const std::string path = ini.ReadString("Ports", key, "");
    if (!path.empty()) devices.push_back(path);
  }
  for (int n = 1; n <= kSearchedComPorts; ++n) {
    const std::string path = deviceOf(n);
    if (!path.empty()) devices.push_back(path);
  }
  return devices;
}

int FirstFreeComNumber(const ProfileFile& ini, const std::function<std::string(int)>& deviceOf) {
  for (int n = 1; n <= kSearchedComPorts; ++n) {
    if (!ini.Value("Ports", "COM" + std::to_string(n)) && !Exists(deviceOf(n))) return n;
  }
  for (int n = 1; n <= kSearchedComPorts; ++n) {
    if (!Exists(deviceOf(n))) return n;
  }
  return 0;
}

}  // namespace tlm
