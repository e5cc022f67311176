#include "fax/dle.h"

namespace tlm {

void AppendDleStuffed(std::string& out, std::string_view data) {
  out.reserve(out.size() + data.size() + data.size() / 64 + 4);
  std::size_t start = 0;
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (data[i] == kDLE) {
      out.append(data.substr(start, i + 1 - start));
      out.push_back(kDLE);
      start = i + 1;
    }
  }
  out.append(data.substr(start));
}

}  // namespace tlm
