#include "platform/strings/messages.h"

#include <cstdlib>

#include "platform/os_error.h"

namespace tlm {
namespace {

const StringManager& Table(const char* name) {
  // Opened once, read-only afterwards: safe to share between threads.
  static const StringManager errors(kErrorStringsTable, true);
  static const StringManager faxStatus(kFaxStringsTable, true);
  return name == kErrorStringsTable ? errors : faxStatus;
}

}  // namespace

std::string ErrorText(int code) {
  const long long magnitude = std::llabs(static_cast<long long>(code));
  if (magnitude <= 0xFFFFFFFFLL) {
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
