#include "fax/modem_setup.h"

#include <algorithm>
#include <cctype>

namespace tlm {

std::string NormalizeModemInit(std::string_view init) {
  std::string s(init.substr(0, std::min(init.size(), kModemInitMax)));
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  if (!s.empty() && s.find("AT") == std::string::npos) s = "AT" + s;
  return s;
}

std::string DialOptionInitString(bool blindDial, bool detectBusy) {
  char x = '4';
  if (!blindDial && !detectBusy) x = '2';
  if (blindDial && detectBusy) x = '3';
  if (blindDial && !detectBusy) x = '1';
  return std::string("ATE0Q0V1X") + x + "S0=0S2=43";
}

ClassSupport ParseClassList(std::string_view reply) {
  ClassSupport s;
  const auto has = [&](std::string_view item) { return reply.find(item) != std::string_view::npos; };
  s.class1 = has("1");
  s.class2_0 = has("2.0");
  s.class2 = s.class2_0 ? has("2,") : has("2");
  return s;
}

bool IsClassList(std::string_view line) {
  if (line.substr(0, 8) == "+FCLASS:") line.remove_prefix(8);
  bool digit = false;
  for (const char c : line) {
    if (std::isdigit(static_cast<unsigned char>(c))) digit = true;
    else if (std::string_view(".,() ").find(c) == std::string_view::npos) return false;
  }
  return digit;
}

TFaxClass ResolveDetectedClass(const ClassSupport& support) {
  if (support.class2_0) return fcClass2_0;
  if (support.class2) return fcClass2;
  if (support.class1) return fcClass1;
  return fcUnknown;
}

ResultLine ClassifyResult(std::string_view line) {
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  if (line == "OK") return ResultLine::kOk;
  if (line.substr(0, 7) == "CONNECT") return ResultLine::kConnect;
  if (line == "ERROR") return ResultLine::kError;
  if (line.size() >= 5 && line.substr(line.size() - 5) == "RRIER") return ResultLine::kNoCarrier;
  return ResultLine::kNone;
}

}  // namespace tlm
