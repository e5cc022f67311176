#include "faults.h"

#include <cstdlib>

namespace faxsim {

std::string applyFault(Faults& f, const std::string& text) {
  auto eq = text.find('=');
  std::string kind = text.substr(0, eq);
  std::string value = eq == std::string::npos ? "" : text.substr(eq + 1);
  auto number = [&](double& out) {
    char* end = nullptr;
    out = std::strtod(value.c_str(), &end);
    return !value.empty() && *end == 0 && out >= 0;
  };
  double v = 0;
  if (kind == "busy" && value.empty()) f.busy = true;
  else if (kind == "busy" && number(v) && v >= 1 && v == double(int(v))) {
    f.busy = true;
    f.busyCalls = int(v);
  }
  else if (kind == "no-answer") f.noAnswer = true;
  else if (kind == "voice") f.voiceAnswer = true;
  else if (kind == "data") f.dataAnswer = true;
  else if (kind == "no-dialtone") f.noDialTone = true;
  else if (kind == "garbage") f.garbage = true;
  else if (kind == "slow-answer" && number(v)) f.slowAnswer = v;
  else if (kind == "train-fail-above" && number(v)) f.trainFailAbove = int(v);
  else if (kind == "carrier-loss" && number(v) && v >= 1) f.carrierLossPage = int(v);
  else if (kind == "bit-errors" && number(v) && v <= 1) f.bitErrorRate = v;
  else if (kind == "rtn" && number(v) && v >= 1) f.rtnPage = int(v);
  else if (kind == "dcn" && !value.empty()) f.dcnAt = value;
  else if (kind == "hangup" && !value.empty()) f.hangupAt = value;
  else return "unknown or incomplete fault '" + text + "'";
  return "";
}

}  // namespace faxsim
