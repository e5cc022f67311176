#pragma once
// The configuration report: a plain-text description of the system, the
// serial devices and the modem, every fax setting and the programs that
// use serial devices, for pasting into a support request. The facts are
// gathered by the functions below (and by the window, for the screen and
// the locale); BuildConfigReport only lays them out.
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "app/core/settings.h"

namespace tlm {

inline constexpr long long kUnknownSize = -1;

// What the kernel and /proc say about the machine.
struct SystemFacts {
  std::string kernel;        // uname: system, release, version
  std::string machine;       // uname: hardware name ("x86_64")
  std::string distribution;  // PRETTY_NAME of /etc/os-release
  std::string processor;     // "model name" of /proc/cpuinfo
  int processors = 0;
  long long memTotal = kUnknownSize;  // bytes
  long long memAvailable = kUnknownSize;
  long long swapTotal = kUnknownSize;
  long long swapFree = kUnknownSize;
  std::string dataFolder;
  long long diskTotal = kUnknownSize;  // of the data folder's file system
  long long diskAvailable = kUnknownSize;
};

struct ScreenFacts {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
  int dotsPerInch = 96;
};

struct LocaleFacts {
  QString today;         // the date in the long format
  QString userLanguage;  // "English (United States)"
  QString systemLanguage;
  QString userCountry;   // "US"
  QString systemCountry;
  QString timeZone;      // "Europe/Berlin (CET, UTC+01:00)"
  QString shortDate, longDate, shortTime, longTime;  // formats
};

// A serial device as udev knows it.
struct SerialDevice {
  std::string device;  // "/dev/ttyUSB0"
  std::string vendor;
  std::string model;
  std::string driver;
};

// One COM number and the device it maps to.
struct PortMapping {
  int com = 0;
  std::string path;
  bool configured = false;  // from [Ports], not a default
  bool present = false;     // the path exists
};

// A running program that holds a serial device open.
struct SerialUser {
  std::string program;
  int pid = 0;
  std::string device;
};

// The replies of the modem on the configured port, or why there are none.
struct ModemFacts {
  int com = 0;
  std::string device;
  std::vector<std::string> lines;  // "ATI3:  ...\t..." lines, or one line saying what went wrong
};

struct ReportFacts {
  SystemFacts system;
  ScreenFacts screen;
  LocaleFacts locale;
  std::vector<SerialDevice> serialDevices;
  std::vector<PortMapping> ports;
  ModemFacts modem;
  std::vector<SerialUser> serialUsers;
  Settings settings;
  std::string settingsPath;  // TLM.INI
};

// ---- gathering (Linux) -------------------------------------------------------
SystemFacts ReadSystemFacts(const std::string& dataFolder);
// Serial devices with a driver behind them (placeholder 8250 ports without
// hardware are left out). A device that vanishes while it is read is skipped.
std::vector<SerialDevice> ListSerialDevices();
// COM1 to COM12 and every further number [Ports] of `settingsPath` maps.
std::vector<PortMapping> ListPortMappings(const std::string& settingsPath);
// Programs (other than this one) that have one of `devices` open; the paths
// are compared after resolving links.
std::vector<SerialUser> FindSerialUsers(const std::vector<std::string>& devices);
// Opens COM `com` and asks the modem to identify itself, in at most about
// `budgetMs` milliseconds. Never throws.
ModemFacts QueryModem(int com, int budgetMs);

// ---- layout ----------------------------------------------------------------
// Numbers with the locale's thousands separators.
QString GroupedNumber(long long n);
// Colours of a screen depth: 1 -> 2, 4 -> 16, 8 -> 256, 15 -> 32768,
// 16 -> 65536, 24 and 32 -> 16777216, any other value as it is.
long long ColorsOfDepth(int bitsPerPixel);
QStringList BuildConfigReport(const ReportFacts& facts);

}  // namespace tlm
