#pragma once
// Result codes of the fax image layer and the exceptions that carry them.
//
// Codes are positive here; the layer's functions report failures negated
// (0 is success), and operating-system file errors as the negated errno.
// The component boundary turns a failure into one of the exception classes
// below; the text comes from the shared message table.
#include <cerrno>
#include <stdexcept>
#include <string>

namespace tlm {

inline constexpr int ecFileNotFound = 2;          // empty file name
inline constexpr int ecOutOfMemory = ENOMEM;      // a raster would exceed its bound (an OS error number)
inline constexpr int ecBadArgument = 1002;
inline constexpr int ecGotQuitMsg = 1003;
inline constexpr int ecFaxBadFormat = 8001;       // "File is not an APF file"
inline constexpr int ecBadGraphicsFormat = 8002;  // "Unsupported graphics file format"
inline constexpr int ecConvertAbort = 8003;
inline constexpr int ecUnpackAbort = 8004;
inline constexpr int ecCantMakeBitmap = 8005;
inline constexpr int ecFontFileNotFound = 8052;
inline constexpr int ecBmpTooBig = 8054;
inline constexpr int ecEnhFontTooBig = 8055;
inline constexpr int ecConverterInitFailed = 8073;  // no outline-font rasteriser

// Any failure of the fax image layer; Code() is the positive code (for
// system errors the errno value as given by the negative result).
class EFaxImageError : public std::runtime_error {
 public:
  // `text` replaces the code's table text where a reader can say more
  // (a PDF file protected by a password, say).
  explicit EFaxImageError(int result, const std::string& text = {});
  // The result code as the layer's functions return it: negative.
  int Result() const { return result_; }
  // The code as the message table is keyed: its absolute value.
  int Code() const { return result_ < 0 ? -result_ : result_; }

 private:
  int result_;
};

class EFaxBadFormat : public EFaxImageError { using EFaxImageError::EFaxImageError; };
class EBadGraphicsFormat : public EFaxImageError { using EFaxImageError::EFaxImageError; };
class EConvertAbort : public EFaxImageError { using EFaxImageError::EFaxImageError; };
class EUnpackAbort : public EFaxImageError { using EFaxImageError::EFaxImageError; };
class ECantMakeBitmap : public EFaxImageError { using EFaxImageError::EFaxImageError; };

// Throws the exception class that belongs to `code` (positive or negative),
// with `text` as its message when given.
[[noreturn]] void ThrowFaxError(int code, const std::string& text = {});

// Throws for a failure result (negative); does nothing for 0.
inline void CheckFaxResult(int result) {
  if (result != 0) ThrowFaxError(result);
}

// The user-visible text of a code (positive or negative).
std::string FaxErrorText(int code);

}  // namespace tlm
