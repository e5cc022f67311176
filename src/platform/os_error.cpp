#include "platform/os_error.h"

#include <cerrno>
#include <cstring>

namespace tlm {

std::string OsErrorText(int errnum) {
  char buffer[256];
  // GNU strerror_r returns the text, which may or may not live in `buffer`.
  const char* text = ::strerror_r(errnum, buffer, sizeof buffer);
  return text ? std::string(text) : "Unknown error " + std::to_string(errnum);
}

std::string FileErrorMessage(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + OsErrorText(errno);
}

}  // namespace tlm
