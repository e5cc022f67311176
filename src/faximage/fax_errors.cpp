#include "faximage/fax_errors.h"

#include <cstdlib>

#include "platform/strings/messages.h"

namespace tlm {

std::string FaxErrorText(int code) { return ErrorText(std::abs(code)); }

EFaxImageError::EFaxImageError(int result, const std::string& text)
    : std::runtime_error(text.empty() ? FaxErrorText(result) : text), result_(result > 0 ? -result : result) {}

void ThrowFaxError(int code, const std::string& text) {
  const int positive = code < 0 ? -code : code;
  switch (positive) {
    case ecFaxBadFormat: throw EFaxBadFormat(code, text);
    case ecBadGraphicsFormat: throw EBadGraphicsFormat(code, text);
    case ecConvertAbort: throw EConvertAbort(code, text);
    case ecUnpackAbort: throw EUnpackAbort(code, text);
    case ecCantMakeBitmap: throw ECantMakeBitmap(code, text);
    default: throw EFaxImageError(code, text);
  }
}

}  // namespace tlm
