#pragma once
// Faults requested on the command line, per telephone number.
#include <map>
#include <string>

namespace faxsim {

struct Faults {
  // Exchange: what happens when this number is called.
  bool busy = false;
  int busyCalls = 0;  // with busy: only the first N calls are busy (0: every call)
  bool noAnswer = false;
  bool voiceAnswer = false;
  bool dataAnswer = false;
  double slowAnswer = 0;  // extra seconds before answering
  // Exchange: this number cannot dial.
  bool noDialTone = false;
  // Line, on calls of this number.
  int trainFailAbove = 0;     // TCF faster than this (bit/s) arrives damaged
  int carrierLossPage = 0;    // the line dies one second into this page
  double bitErrorRate = 0;    // flipped bits in page data
  // Remote fax machine behaviour.
  int rtnPage = 0;            // answer RTN to this page (first attempt)
  std::string dcnAt;          // send DCN instead of this frame ("MCF" or "MCF@2")
  std::string hangupAt;       // hang up instead of sending this frame
  // Modem: garbage lines before result codes.
  bool garbage = false;
};

// Parses "KIND[=VALUE]"; returns an error text or "".
std::string applyFault(Faults& f, const std::string& kind);

}  // namespace faxsim
