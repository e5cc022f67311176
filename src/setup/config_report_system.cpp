// The facts of the configuration report that come from the kernel: uname,
// /etc/os-release, /proc and the file system of the data folder; and the
// COM port mapping of TLM.INI.
#include <sys/statvfs.h>
#include <sys/utsname.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <sys/stat.h>

#include "platform/com_ports.h"
#include "platform/profile_file.h"
#include "setup/config_report.h"

namespace tlm {

namespace {

constexpr int kDefaultComPorts = 12;

std::string Trimmed(std::string text) {
  const auto notSpace = [](unsigned char c) { return !std::isspace(c); };
  text.erase(text.begin(), std::find_if(text.begin(), text.end(), notSpace));
  text.erase(std::find_if(text.rbegin(), text.rend(), notSpace).base(), text.end());
  return text;
}

// A value of os-release: quotes and backslash escapes removed.
std::string OsReleaseValue(std::string value) {
  value = Trimmed(value);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) ++i;
    out += value[i];
  }
  return out;
}

std::string Distribution() {
  for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind("PRETTY_NAME=", 0) == 0) return OsReleaseValue(line.substr(12));
    }
  }
  return {};
}

void ReadCpuInfo(SystemFacts& facts) {
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string key = Trimmed(line.substr(0, colon));
    if (key == "processor") ++facts.processors;
    // "model name" on x86; other architectures name it differently.
    if (facts.processor.empty() && (key == "model name" || key == "cpu model" || key == "Model" || key == "cpu")) {
      facts.processor = Trimmed(line.substr(colon + 1));
    }
  }
}

void ReadMemInfo(SystemFacts& facts) {
  std::ifstream in("/proc/meminfo");
  std::string key;
  long long kib = 0;
  std::string unit;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    if (!(fields >> key >> kib)) continue;
    const long long bytes = kib * 1024;
    if (key == "MemTotal:") facts.memTotal = bytes;
    if (key == "MemAvailable:") facts.memAvailable = bytes;
    if (key == "SwapTotal:") facts.swapTotal = bytes;
    if (key == "SwapFree:") facts.swapFree = bytes;
  }
}

bool Exists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

}  // namespace

SystemFacts ReadSystemFacts(const std::string& dataFolder) {
  SystemFacts facts;
  utsname names{};
  if (::uname(&names) == 0) {
    facts.kernel = std::string(names.sysname) + " " + names.release + " " + names.version;
    facts.machine = names.machine;
  }
  facts.distribution = Distribution();
  ReadCpuInfo(facts);
  ReadMemInfo(facts);
  facts.dataFolder = dataFolder;
  struct statvfs fs {};
  if (::statvfs(dataFolder.c_str(), &fs) == 0) {
    facts.diskTotal = static_cast<long long>(fs.f_blocks) * static_cast<long long>(fs.f_frsize);
    facts.diskAvailable = static_cast<long long>(fs.f_bavail) * static_cast<long long>(fs.f_frsize);
  }
  return facts;
}

std::vector<PortMapping> ListPortMappings(const std::string& settingsPath) {
  const ProfileFile ini(settingsPath);
  std::set<int> numbers;
  for (int com = 1; com <= kDefaultComPorts; ++com) numbers.insert(com);
  for (const std::string& key : ini.KeyNames("Ports")) {
    if (key.size() < 4 || (key.compare(0, 3, "COM") != 0 && key.compare(0, 3, "com") != 0)) continue;
    const std::optional<int> n = ProfileFile::ParseInteger(key.substr(3));
    if (n && *n >= 1 && *n <= kMaxComPort) numbers.insert(*n);
  }
  std::vector<PortMapping> ports;
  for (int com : numbers) {
    PortMapping p;
    p.com = com;
    p.path = ComDevicePath(com, ini);
    p.configured = !ini.ReadString("Ports", "COM" + std::to_string(com), "").empty();
    p.present = Exists(p.path);
    ports.push_back(p);
  }
  return ports;
}

}  // namespace tlm
