#pragma once
// The command line of faxsim.
#include <string>
#include <vector>

#include "modem.h"
#include "remote_fax.h"

namespace faxsim {

struct Options {
  std::vector<ModemConfig> modems;
  std::vector<RemoteConfig> remotes;
  std::vector<std::pair<std::string, std::string>> faults;  // number, kind
  double factor = 1.0;
  std::string eventsFile;
  double ringInterval = 6.0;
  double duration = 0;
  int exitAfterCalls = 0;
  bool trace = false;
  std::string demoDir;
  bool help = false;
};

// Parses argv; returns an error text or "".
std::string parseOptions(int argc, char** argv, Options& o);
// Fills in the demo line's parties for o.demoDir.
std::string setUpDemo(Options& o);
extern const char* kUsage;

}  // namespace faxsim
