#pragma once
// Modem initialisation strings and fax-class detection.
#include <string>
#include <string_view>

#include "fax/fax_codes.h"

namespace tlm {

inline constexpr std::size_t kModemInitMax = 40;

// The user's init string as sent: at most 40 characters, upper-cased, with
// "AT" put in front when it is missing.
std::string NormalizeModemInit(std::string_view init);

// "ATE0Q0V1X4S0=0S2=43" with the X digit chosen by the dial options:
// X4 (wait for dial tone, detect busy), X2 (dial tone, no busy), X3 (blind,
// busy), X1 (blind, no busy).
std::string DialOptionInitString(bool blindDial, bool detectBusy);

// The classes an "AT+FCLASS=?" reply lists.
struct ClassSupport {
  bool class1 = false;
  bool class2 = false;
  bool class2_0 = false;
  bool Any() const { return class1 || class2 || class2_0; }
};
ClassSupport ParseClassList(std::string_view reply);
// True when a reply line is a class list ("0,1,2,2.0"), after an optional
// "+FCLASS:": digits, '.', ',', parentheses and blanks, with at least one
// digit.
bool IsClassList(std::string_view line);

// fcDetect resolves to Class 2.0, else 2, else 1, else fcUnknown.
TFaxClass ResolveDetectedClass(const ClassSupport& support);

// A modem result line that ends a synchronous command.
enum class ResultLine { kNone, kOk, kConnect, kError, kNoCarrier };
ResultLine ClassifyResult(std::string_view line);

}  // namespace tlm
