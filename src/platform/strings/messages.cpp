#include "platform/strings/messages.h"

#include <cstdlib>

#include "platform/os_error.h"

namespace tlm {
namespace {

constexpr long long kFirstLibraryError = 1000;

const StringManager& Table(const char* name) {
  // Opened once, read-only afterwards: safe to share between threads.
  static const StringManager errors(kErrorStringsTable, true);
  static const StringManager faxStatus(kFaxStringsTable, true);
  return name == kErrorStringsTable ? errors : faxStatus;
}

}  // namespace

std::string ErrorText(int code) {
  const long long magnitude = std::llabs(static_cast<long long>(code));
  // Below 1000 a code is an operating-system error number (errno). The
  // table's file and device texts in that range carry DOS numbering, which
  // would name the wrong error here (5 is EIO, not "File access denied").
  const bool osError = magnitude > 0 && magnitude < kFirstLibraryError;
  if (!osError && magnitude <= 0xFFFFFFFFLL) {
    std::string text = Table(kErrorStringsTable).GetString(static_cast<std::uint32_t>(magnitude));
    if (!text.empty()) return text;
  }
  std::string text = OsErrorText(static_cast<int>(magnitude > 0x7FFFFFFF ? 0x7FFFFFFF : magnitude));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

std::string FaxStatusText(int code) {
  if (code < 0) return {};
  return Table(kFaxStringsTable).GetString(static_cast<std::uint32_t>(code));
}

std::string LogNameText(int id) {
  if (id < 0) return {};
  return Table(kErrorStringsTable).GetString(static_cast<std::uint32_t>(id));
}

}  // namespace tlm
