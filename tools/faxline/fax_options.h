#pragma once
// The options of one remote fax machine (the ":key=value" items of
// --receiver and --sender).
#include <string>

#include "spandsp_internals.h"

namespace faxline {

struct FaxOptions {
  std::string ident;  // station ident sent as TSI/CSI; default: the number
  bool ecm = true;
  int modems = T30_SUPPORT_V27TER | T30_SUPPORT_V29 | T30_SUPPORT_V17;
  bool fine = true;
  bool superfine = true;
  int compressions = T30_SUPPORT_T4_1D_COMPRESSION | T30_SUPPORT_T4_2D_COMPRESSION;
  int rings = -1;       // rings before answering; -1: the line's --rings
  bool answer = true;   // false: let it ring for ever
  std::string header;   // page header line a sender prints on each page
  std::string poll;     // receivers: document offered to a caller that polls
  int calls = 1;        // senders: calls to place
  int intervalS = 20;   // senders: pause between the end of a call and the next
};

// Applies one "key=value" item to `o`; the error text when it is not valid.
std::string applyFaxOption(const std::string& item, FaxOptions& o);

}  // namespace faxline
