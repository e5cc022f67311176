#pragma once
// The subcommands of tlmfax. Each takes its own arguments (after the
// subcommand name) and returns the process exit code.
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

// Prints "tlmfax: <text>" to stderr and returns the exit code for failures.
int Fail(const std::string& text);
// The message of a failure of the fax image layer, with its code.
int FailWith(const std::exception& e);

}  // namespace tlm::tlmfax
