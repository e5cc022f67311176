#pragma once
// Texts for operating-system error numbers.
#include <string>

namespace tlm {

// The system's text for an errno value, such as "No such file or directory".
std::string OsErrorText(int errnum);

// "<what> <path>: <text of errno>", for a file operation that just failed.
std::string FileErrorMessage(const std::string& what, const std::string& path);

}  // namespace tlm
