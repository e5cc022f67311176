#pragma once
// The program's command line: --help and --version in the GNU manner, and an
// optional fax file to show at start. Anything Qt itself understands
// (-platform, -display, ...) is left to Qt.
#include <string>
#include <vector>

namespace tlm {

struct CommandLine {
  enum class Action { Run, Help, Version, Error };
  Action action = Action::Run;
  std::string faxFile;  // a fax file to open at start; empty for none
  std::string error;    // with Action::Error, the message for stderr
};

// `args` are the arguments after the program name.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The program's version, as "2.9".
const char* ProgramVersion();

// The texts of --help and --version, each ending in a line feed.
std::string CommandLineHelp();
std::string CommandLineVersion();

}  // namespace tlm
