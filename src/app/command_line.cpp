#include "app/command_line.h"

#ifndef TOLMERA_VERSION
#define TOLMERA_VERSION "unknown"
#endif

namespace tlm {

namespace {

// Qt's own options that take a value: they are Qt's, not fax files.
bool QtOptionWithValue(const std::string& arg) {
  static const char* const options[] = {"-platform", "-platformpluginpath", "-platformtheme", "-plugin",
                                        "-qmljsdebugger", "-display", "-geometry", "-title",
                                        "-style", "-stylesheet", "-session", "-qwindowgeometry",
                                        "-qwindowtitle", "-qwindowicon", "-name"};
  for (const char* option : options) {
    if (arg == option || arg == std::string("-") + option) return true;
  }
  return false;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine result;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      result.action = CommandLine::Action::Help;
      return result;
    }
    if (arg == "--version" || arg == "-V") {
      result.action = CommandLine::Action::Version;
      return result;
    }
    if (QtOptionWithValue(arg)) {
      ++i;  // Qt reads the value itself
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      // A long option of ours that we do not know is a mistake; short ones
      // may be Qt's switches (-reverse, -nograb, ...).
      if (arg.rfind("--", 0) == 0 && !QtOptionWithValue(arg.substr(1))) {
        result.action = CommandLine::Action::Error;
        result.error = "tolmera: unrecognized option '" + arg + "'\nTry 'tolmera --help' for more information.\n";
        return result;
      }
      continue;
    }
    // The first file is shown; further ones are ignored, as a file
    // manager may hand over several.
    if (result.faxFile.empty()) result.faxFile = arg;
  }
  return result;
}

std::string CommandLineHelp() {
  return "Usage: tolmera [OPTION]... [FILE.APF]\n"
         "Compose, send and receive faxes through a fax modem, and keep logs of them.\n"
         "With FILE.APF, show that fax file in the fax viewer.\n"
         "\n"
         "  -h, --help     display this help and exit\n"
         "  -V, --version  output version information and exit\n"
         "\n"
         "The settings, the fax logs and received faxes live in the data folder:\n"
         "$TOLMERA_HOME when set, else ~/.local/share/tolmera for an installed program.\n"
         "The modem's port is chosen in Preferences; the [Ports] section of TLM.INI maps\n"
         "COM1, COM2, ... to serial devices. To use a modem, your user must be in the\n"
         "'dialout' group: sudo adduser $USER dialout (then log in again).\n"
         "'tlmfax --help' describes the command-line tool.\n";
}

const char* ProgramVersion() { return TOLMERA_VERSION; }

std::string CommandLineVersion() {
  return std::string("tolmera (Tolmera) ") + TOLMERA_VERSION + "\n";
}

}  // namespace tlm
