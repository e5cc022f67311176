#include "fax_options.h"

#include <cctype>
#include <cstdlib>
#include <vector>

namespace faxline {
namespace {

bool parseBool(const std::string& v, bool& out) {
  if (v == "1" || v == "yes" || v == "on" || v == "true") {
    out = true;
    return true;
  }
  if (v == "0" || v == "no" || v == "off" || v == "false") {
    out = false;
    return true;
  }
  return false;
}

bool parseInt(const std::string& v, int& out) {
  char* end = nullptr;
  const long n = std::strtol(v.c_str(), &end, 10);
  if (v.empty() || *end != '\0' || n < 0 || n > 1000000) return false;
  out = int(n);
  return true;
}

// "a,b+c/d" in lower case.
std::vector<std::string> splitList(const std::string& v) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : v) {
    if (c == ',' || c == '+' || c == '/') {
      if (!cur.empty()) out.push_back(cur);
      cur.clear();
    } else {
      cur += char(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

// v27, v29, v17 by name, or the bit mask (1 V.27ter, 2 V.29, 4 V.17).
bool parseModems(const std::string& v, int& modems) {
  const int all = T30_SUPPORT_V27TER | T30_SUPPORT_V29 | T30_SUPPORT_V17;
  modems = 0;
  int bits = 0;
  if (parseInt(v, bits)) {
    modems = bits & all;
    return modems != 0;
  }
  for (const std::string& m : splitList(v)) {
    if (m == "v27" || m == "v27ter")
      modems |= T30_SUPPORT_V27TER;
    else if (m == "v29")
      modems |= T30_SUPPORT_V29;
    else if (m == "v17")
      modems |= T30_SUPPORT_V17;
    else
      return false;
  }
  return modems != 0;
}

bool parseCompressions(const std::string& v, int& compressions) {
  compressions = T30_SUPPORT_T4_1D_COMPRESSION;  // MH is mandatory
  for (const std::string& m : splitList(v)) {
    if (m == "mh" || m == "1d")
      compressions |= T30_SUPPORT_T4_1D_COMPRESSION;
    else if (m == "mr" || m == "2d")
      compressions |= T30_SUPPORT_T4_2D_COMPRESSION;
    else if (m == "mmr" || m == "t6")
      compressions |= T30_SUPPORT_T6_COMPRESSION;
    else
      return false;
  }
  return true;
}

}  // namespace

std::string applyFaxOption(const std::string& item, FaxOptions& o) {
  const size_t eq = item.find('=');
  if (eq == std::string::npos) return "option '" + item + "' is not key=value";
  const std::string key = item.substr(0, eq), v = item.substr(eq + 1);
  bool ok = true;
  if (key == "ident")
    o.ident = v.substr(0, 20);
  else if (key == "ecm")
    ok = parseBool(v, o.ecm);
  else if (key == "fine")
    ok = parseBool(v, o.fine);
  else if (key == "superfine")
    ok = parseBool(v, o.superfine);
  else if (key == "answer")
    ok = parseBool(v, o.answer);
  else if (key == "rings")
    ok = parseInt(v, o.rings);
  else if (key == "calls")
    ok = parseInt(v, o.calls);
  else if (key == "interval")
    ok = parseInt(v, o.intervalS);
  else if (key == "header")
    o.header = v;
  else if (key == "poll")
    o.poll = v;
  else if (key == "modems")
    ok = parseModems(v, o.modems);
  else if (key == "compression")
    ok = parseCompressions(v, o.compressions);
  else
    return "unknown option '" + key + "'";
  return ok ? std::string() : "bad value in option '" + item + "'";
}

}  // namespace faxline
