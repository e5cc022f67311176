#pragma once
// Where the program keeps its files.
//
// The data folder holds TLM.INI, the log tables and the receive folder:
//   1. $TOLMERA_HOME when set;
//   2. else the executable's folder when it is writable (portable use);
//   3. else $XDG_DATA_HOME/tolmera (default ~/.local/share/tolmera), created
//      on first use.
// Files shipped with the program (help pages, dictionaries) come from the
// share folder instead: <exe>/../share/tolmera when installed, else the
// source tree's share/ folder.
#include <string>

namespace tlm {

// The data folder, with a trailing '/'.
std::string DataFolder();

// The folder of the running executable, with a trailing '/'.
std::string ExecutableFolder();

// The folder of shipped read-only files, with a trailing '/'.
std::string ShareFolder();

}  // namespace tlm
