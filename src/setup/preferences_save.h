#pragma once
// Saving what the set-up windows edited: the settings record and any new
// `Ports` entries (a modem found on a device no port named), in one atomic
// replacement of TLM.INI.
#include <map>
#include <string>

#include "app/core/settings.h"

namespace tlm {

// COM number to device path.
using PortMappings = std::map<int, std::string>;

// Writes `settings` and `newPorts` into the settings file at `path`, keeping
// everything else in it. Throws ProfileWriteError; the old file is then
// left whole.
void SavePreferencesFile(const std::string& path, const Settings& settings, const PortMappings& newPorts);

// The device of a COM number as the set-up windows show it: a new entry
// not yet saved, else the mapping of the settings file at `path`.
std::string SetupDevicePath(int comNumber, const std::string& path, const PortMappings& newPorts);

}  // namespace tlm
