#include "faximage/fax_errors.h"

#include <cstdlib>

#include "platform/strings/messages.h"

namespace tlm {

std::string FaxErrorText(int code) { return ErrorText(std::abs(code)); }

EFaxImageError::EFaxImageError(int result)
    : std::runtime_error(FaxErrorText(result)), result_(result > 0 ? -result : result) {}

void ThrowFaxError(int code) {
  const int positive = code < 0 ? -code : code;
  switch (positive) {
    case ecFaxBadFormat: throw EFaxBadFormat(code);
    case ecBadGraphicsFormat: throw EBadGraphicsFormat(code);
    case ecConvertAbort: throw EConvertAbort(code);
    case ecUnpackAbort: throw EUnpackAbort(code);
    case ecCantMakeBitmap: throw ECantMakeBitmap(code);
    default: throw EFaxImageError(code);
  }
}

}  // namespace tlm
