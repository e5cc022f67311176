#include "fax/class2.h"

#include <cctype>

namespace tlm::class2 {
namespace {

constexpr CommandTable kClass2 = {"CLASS=2", "MDL?", "MFR?", "REV?", "DIS", "LID", "DCC",
                                  "CON",     "DIS",  "DCS",  "TSI",  "CSI", "PTS", "FHNG"};
constexpr CommandTable kClass20 = {"CLASS=2.0", "MI?", "MM?", "MR?", "IS", "LI", "CC",
                                   "CO",        "IS",  "CS",  "TI",  "CI", "PS", "FHS"};

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
  return s;
}

}  // namespace

const CommandTable& TableFor(TFaxClass faxClass) { return faxClass == fcClass2_0 ? kClass20 : kClass2; }

std::string Command(const char* name) { return std::string("AT+F") + name; }

Parameters ParseParameters(std::string_view text) {
  // Each field is one digit; only its first character counts.
  char field[8] = {};
  for (int i = 0; i < 8 && !text.empty(); ++i) {
    const auto comma = text.find(',');
    const std::string_view value = Trim(text.substr(0, comma));
    field[i] = value.empty() ? '\0' : value.front();
    text.remove_prefix(comma == std::string_view::npos ? text.size() : comma + 1);
  }
  Parameters p;
  p.fine = field[0] == '1';
  switch (field[1]) {
    case '0': p.bps = 2400; break;
    case '1': p.bps = 4800; break;
    case '2': p.bps = 7200; break;
    case '4': p.bps = 12000; break;
    case '5': p.bps = 14400; break;
    default: p.bps = 9600; break;
  }
  p.wide = field[2] == '1';
  p.ecm = field[5] == '1' || field[5] == '2';
  p.scanCode = (field[7] >= '0' && field[7] <= '7') ? field[7] - '0' : 0;
  return p;
}

char BitRateCode(int bps) {
  switch (bps) {
    case 2400: return '0';
    case 4800: return '1';
    case 7200: return '2';
    case 12000: return '4';
    case 14400: return '5';
    default: return '3';
  }
}

std::string CapabilitiesCommand(const CommandTable& table, bool fine, int bps, bool wide, bool ecm) {
  std::string command = Command(table.capabilities) + "=";
  command += fine ? '1' : '0';
  command += ',';
  command += BitRateCode(bps);
  command += wide ? ",1" : ",0";
  command += ",2,0,";
  command += ecm ? '1' : '0';
  command += ",0,0";
  return command;
}

namespace {

bool MatchPrefixed(std::string_view line, std::string_view prefix, std::string_view name, std::string* rest) {
  line = Trim(line);
  const std::size_t head = prefix.size() + name.size();
  if (line.size() < head || line.substr(0, prefix.size()) != prefix || line.substr(prefix.size(), name.size()) != name) {
    return false;
  }
  std::string_view after = line.substr(head);
  if (!after.empty() && after.front() != ':') return false;
  if (!after.empty()) after.remove_prefix(1);
  if (rest) *rest = std::string(Trim(after));
  return true;
}

}  // namespace

bool MatchResponse(std::string_view line, std::string_view name, std::string* rest) {
  return MatchPrefixed(line, "+F", name, rest);
}

bool MatchHangup(std::string_view line, const CommandTable& table, std::string* rest) {
  return MatchPrefixed(line, "+", table.hangup, rest);
}

std::string ParseStationId(std::string_view rest) {
  rest = Trim(rest);
  if (!rest.empty() && rest.front() == '"') rest.remove_prefix(1);
  if (!rest.empty() && rest.back() == '"') rest.remove_suffix(1);
  rest = Trim(rest);
  return std::string(rest.substr(0, 20));
}

int ParseHangupCode(std::string_view rest) {
  rest = Trim(rest);
  int code = 0;
  for (std::size_t i = 0; i < rest.size() && i < 3 && std::isdigit(static_cast<unsigned char>(rest[i])); ++i) {
    code = code * 10 + (rest[i] - '0');
  }
  return code;
}

}  // namespace tlm::class2
