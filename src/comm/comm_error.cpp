#include "comm/comm_error.h"

#include <cstdlib>

#include "comm/comm_types.h"
#include "platform/os_error.h"
#include "platform/strings/messages.h"

namespace tlm {
namespace {

std::string WithDetail(std::string text, const std::string& detail) {
  if (!detail.empty()) text += " (" + detail + ")";
  return text;
}

}  // namespace

void RaiseComError(int code, const std::string& detail) {
  const int magnitude = std::abs(code);
  const std::string text = WithDetail(ErrorText(magnitude), detail);
  switch (magnitude) {
    case ecNoPortSelected: throw ENoPortSelected(-magnitude, text);
    case ecBadTriggerHandle: throw EBadTriggerHandle(-magnitude, text);
    case ecBufferIsEmpty: throw EBufferIsEmpty(-magnitude, text);
    case ecBadArgument: throw EBadArgument(-magnitude, text);
    case ecBadId:
    case ecHardware:
    case ecAlreadyOpen: throw EPortOpenError(-magnitude, text);
    default: throw EComError(-magnitude, text);
  }
}

void RaiseOsError(int errnum, const std::string& detail) {
  throw EComError(-std::abs(errnum), WithDetail(OsErrorText(std::abs(errnum)), detail));
}

void CheckResult(int result, const std::string& detail) {
  if (result >= 0) return;
  if (result > -1000) RaiseOsError(-result, detail);
  RaiseComError(result, detail);
}

}  // namespace tlm
