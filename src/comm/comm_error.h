#pragma once
// Exceptions of the serial port layer: each carries a negative error code
// and its text.
#include <stdexcept>
#include <string>

namespace tlm {

class EComError : public std::runtime_error {
 public:
  EComError(int code, const std::string& text) : std::runtime_error(text), code_(code) {}
  // The negative error code (a negated errno for system errors).
  int Code() const { return code_; }

 private:
  int code_;
};

class ENoPortSelected : public EComError { using EComError::EComError; };
class EBadTriggerHandle : public EComError { using EComError::EComError; };
class EBufferIsEmpty : public EComError { using EComError::EComError; };
class EBadArgument : public EComError { using EComError::EComError; };
class EPortOpenError : public EComError { using EComError::EComError; };

// Raises the exception for `code` (either sign) with the error table's text,
// followed by `detail` (such as the device path) when given.
[[noreturn]] void RaiseComError(int code, const std::string& detail = {});

// Raises the exception for a system error: code -errnum, the system's text.
[[noreturn]] void RaiseOsError(int errnum, const std::string& detail = {});

// Raises for a negative result code of the layer: codes of magnitude below
// 1000 are negated errno values (the system's text), the others table codes.
// Does nothing for 0 or positive results.
void CheckResult(int result, const std::string& detail = {});

}  // namespace tlm
