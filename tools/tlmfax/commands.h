#pragma once
// The subcommands of tlmfax. Each takes its own arguments (after the
// subcommand name) and returns the process exit code.
#include <exception>
#include <string>
#include <vector>

namespace tlm::tlmfax {

using Args = std::vector<std::string>;

int RunInfo(const Args& args);
int RunConvert(const Args& args);
int RunUnpack(const Args& args);
int RunSend(const Args& args);
int RunReceive(const Args& args);
int RunQueue(const Args& args);
#ifdef TLMFAX_RENDER
int RunRender(const Args& args);  // needs the Qt layers
#endif
#ifdef TLMFAX_VIEWER
int RunPdf(const Args& args);  // need the viewer layer
int RunPrint(const Args& args);
#endif

// A subcommand with the texts of `tlmfax --help` and `tlmfax help NAME`.
struct Command {
  const char* name;
  int (*run)(const Args&);
  const char* summary;   // one line, no final full stop
  const char* synopsis;  // the command line
  const char* details;   // options and notes, lines ending in '\n'; may be empty
};

// Every subcommand of this build, in the order `--help` lists them.
const std::vector<Command>& Commands();
const Command* FindCommand(const std::string& name);

// Prints "tlmfax: <text>" to stderr and returns the exit code for failures.
int Fail(const std::string& text);
// The message of a failure of the fax image layer, with its code.
int FailWith(const std::exception& e);

}  // namespace tlm::tlmfax
