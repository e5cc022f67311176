#pragma once
// Class 2 and Class 2.0 modem commands and responses.
#include <string>
#include <string_view>

#include "fax/fax_codes.h"

namespace tlm::class2 {

// The command and response names of one class. Commands are sent as
// "AT+F" + name, responses arrive as "+F" + name; the hang-up entry is the
// bare response name.
struct CommandTable {
  const char* classSelect;
  const char* modelQuery;
  const char* manufacturerQuery;
  const char* revisionQuery;
  const char* capabilities;        // command: session parameters wanted
  const char* localId;
  const char* modemCapabilities;
  const char* connect;             // response
  const char* remoteCapabilities;  // response
  const char* sessionParameters;   // response
  const char* transmittingId;      // response
  const char* calledId;            // response
  const char* pageStatus;          // response
  const char* hangup;              // response
};

// The table for fcClass2 or fcClass2_0.
const CommandTable& TableFor(TFaxClass faxClass);

// "AT+F" + name.
std::string Command(const char* name);

// Session parameters "VR,BR,WD,LN,DF,EC,BF,ST".
struct Parameters {
  bool fine = false;
  int bps = 9600;
  bool wide = false;
  bool ecm = false;
  int scanCode = 0;
};
Parameters ParseParameters(std::string_view text);

// The bit-rate digit of a speed for the capabilities command.
char BitRateCode(int bps);

// The capabilities command "AT+FDIS=" / "AT+FIS=" with every sub-parameter:
// resolution, bit rate, width (0 = 1728 pixels, 1 = up to 2048), page
// length 2 (unlimited), data format 0 (modified Huffman), error correction,
// no file transfer, scan time 0.
std::string CapabilitiesCommand(const CommandTable& table, bool fine, int bps, bool wide, bool ecm);

// When `line` is the response `name` ("+F" + name, then ':' or end),
// returns the text after the colon with blanks trimmed.
bool MatchResponse(std::string_view line, std::string_view name, std::string* rest = nullptr);

// When `line` is the table's hang-up response ("+FHNG:..." or "+FHS:...").
bool MatchHangup(std::string_view line, const CommandTable& table, std::string* rest = nullptr);

// A station ID from an ID response: quotes and surrounding blanks removed,
// at most 20 characters.
std::string ParseStationId(std::string_view rest);

// The hang-up code: up to three digits after the colon; 0 when none.
int ParseHangupCode(std::string_view rest);

}  // namespace tlm::class2
