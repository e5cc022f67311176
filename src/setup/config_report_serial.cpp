// The serial devices of the configuration report: what udev knows of them,
// and which running programs hold one open.
#include <dirent.h>
#include <libudev.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <set>

#include "setup/config_report.h"

namespace tlm {

namespace {

struct UdevDeleter {
  void operator()(udev* u) const { udev_unref(u); }
  void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
  void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <class T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

std::string Text(const char* value) { return value ? std::string(value) : std::string(); }

std::string FirstOf(std::initializer_list<std::string> values) {
  for (const std::string& v : values) {
    if (!v.empty()) return v;
  }
  return {};
}

// udev's own names are "Foo_Bar" with blanks replaced; the database names
// and the USB strings are the readable ones.
std::string Property(udev_device* dev, const char* name) { return Text(udev_device_get_property_value(dev, name)); }

// The canonical path of a device, or the path itself when it cannot be
// resolved (a device that is gone).
std::string Resolved(const std::string& path) {
  char buffer[PATH_MAX];
  return ::realpath(path.c_str(), buffer) ? std::string(buffer) : path;
}

// The driver of the hardware behind a tty: newer kernels put the serial
// core's own "port" and "ctrl" devices in between.
std::string HardwareDriver(udev_device* parent) {
  for (udev_device* p = parent; p; p = udev_device_get_parent(p)) {
    const std::string driver = Text(udev_device_get_driver(p));
    if (!driver.empty() && driver != "port" && driver != "ctrl") return driver;
  }
  return {};
}

}  // namespace

std::vector<SerialDevice> ListSerialDevices() {
  std::vector<SerialDevice> devices;
  UdevPtr<udev> context(udev_new());
  if (!context) return devices;
  UdevPtr<udev_enumerate> list(udev_enumerate_new(context.get()));
  if (!list) return devices;
  udev_enumerate_add_match_subsystem(list.get(), "tty");
  udev_enumerate_scan_devices(list.get());
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(list.get())) {
    // Every lookup may fail: the device can go away while we read it.
    UdevPtr<udev_device> dev(udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
    if (!dev) continue;
    const std::string node = Text(udev_device_get_devnode(dev.get()));
    udev_device* parent = udev_device_get_parent(dev.get());  // owned by dev
    if (node.empty() || !parent) continue;                    // consoles and pseudo-terminals have no parent
    std::string driver = FirstOf({Property(dev.get(), "ID_USB_DRIVER"), HardwareDriver(parent)});
    if (driver.empty()) continue;
    // The 8250 driver registers placeholder ports; type 0 means no UART.
    if (driver == "serial8250" || driver == "serial") {
      const std::string type = Text(udev_device_get_sysattr_value(dev.get(), "type"));
      if (type.empty() || type == "0") continue;
    }
    SerialDevice d;
    d.device = node;
    d.driver = driver;
    d.vendor = Property(dev.get(), "ID_VENDOR_FROM_DATABASE");
    d.model = Property(dev.get(), "ID_MODEL_FROM_DATABASE");
    if (udev_device* usb = udev_device_get_parent_with_subsystem_devtype(dev.get(), "usb", "usb_device")) {
      if (d.vendor.empty()) d.vendor = Text(udev_device_get_sysattr_value(usb, "manufacturer"));
      if (d.model.empty()) d.model = Text(udev_device_get_sysattr_value(usb, "product"));
      const std::string ids = Text(udev_device_get_sysattr_value(usb, "idVendor")) + ":" +
                              Text(udev_device_get_sysattr_value(usb, "idProduct"));
      if (ids.size() > 1) d.model += (d.model.empty() ? "" : " ") + std::string("[") + ids + "]";
    }
    if (d.vendor.empty()) d.vendor = Property(dev.get(), "ID_VENDOR");
    if (d.model.empty()) d.model = Property(dev.get(), "ID_MODEL");
    devices.push_back(std::move(d));
  }
  std::sort(devices.begin(), devices.end(),
            [](const SerialDevice& a, const SerialDevice& b) { return a.device < b.device; });
  return devices;
}

std::vector<SerialUser> FindSerialUsers(const std::vector<std::string>& devices) {
  std::map<std::string, std::string> wanted;  // resolved path -> the name the report shows
  for (const std::string& d : devices) {
    if (!d.empty()) wanted.emplace(Resolved(d), d);
  }
  std::vector<SerialUser> users;
  if (wanted.empty()) return users;
  const int self = ::getpid();
  std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), ::closedir);
  if (!proc) return users;
  while (dirent* e = ::readdir(proc.get())) {
    char* end = nullptr;
    const long pid = std::strtol(e->d_name, &end, 10);
    if (*end != '\0' || pid <= 0 || pid == self) continue;
    const std::string base = std::string("/proc/") + e->d_name;
    // Other users' processes cannot be looked into; that is not an error.
    std::unique_ptr<DIR, int (*)(DIR*)> fds(::opendir((base + "/fd").c_str()), ::closedir);
    if (!fds) continue;
    std::set<std::string> seen;
    while (dirent* fd = ::readdir(fds.get())) {
      if (fd->d_name[0] == '.') continue;
      char target[PATH_MAX];
      const ssize_t n = ::readlink((base + "/fd/" + fd->d_name).c_str(), target, sizeof target - 1);
      if (n <= 0) continue;
      target[n] = '\0';
      const auto match = wanted.find(target);
      if (match == wanted.end() || !seen.insert(match->second).second) continue;
      std::string program;
      std::ifstream comm(base + "/comm");
      std::getline(comm, program);
      users.push_back({program.empty() ? "?" : program, int(pid), match->second});
    }
  }
  return users;
}

}  // namespace tlm
