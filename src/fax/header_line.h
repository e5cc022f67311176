#pragma once
// The header line printed at the top of every sent page, and the lines of a
// text cover: "$" and a letter start a token that runs to the next space.
#include <string>
#include <string_view>

namespace tlm {

struct HeaderValues {
  std::string date;       // $D
  std::string time;       // $T
  std::string stationId;  // $I
  std::string sender;     // $S
  std::string recipient;  // $R
  std::string title;      // $F
  int totalPages = 0;     // $N: pages plus cover
  int currentPage = 0;    // $P: counting the cover page
};

// Replaces every token (letter in either case); an unknown letter gives an
// empty text. A "$" not followed by a letter stays as it is.
std::string ExpandHeaderTokens(std::string_view text, const HeaderValues& values);

}  // namespace tlm
