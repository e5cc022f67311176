#pragma once
// SIGINT and SIGTERM for commands that make working files: the first one is
// only noted, so that the command stops at its next step and removes what it
// made; a second one ends the process at once.
namespace tlm::tlmfax {

void CatchInterrupts();
bool Interrupted();

}  // namespace tlm::tlmfax
