#include "fax/header_line.h"

#include <cctype>

namespace tlm {

std::string ExpandHeaderTokens(std::string_view text, const HeaderValues& v) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c != '$' || i + 1 >= text.size() || !std::isalpha(static_cast<unsigned char>(text[i + 1]))) {
      out.push_back(c);
      ++i;
      continue;
    }
    switch (std::toupper(static_cast<unsigned char>(text[i + 1]))) {
      case 'D': out += v.date; break;
      case 'T': out += v.time; break;
      case 'I': out += v.stationId; break;
      case 'S': out += v.sender; break;
      case 'R': out += v.recipient; break;
      case 'F': out += v.title; break;
      case 'N': out += std::to_string(v.totalPages); break;
      case 'P': out += std::to_string(v.currentPage); break;
      default: break;
    }
    // The token runs to the next space, which stays.
    i += 2;
    while (i < text.size() && text[i] != ' ') ++i;
  }
  return out;
}

}  // namespace tlm
