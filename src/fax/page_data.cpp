#include "fax/page_data.h"

#include "fax/dle.h"

namespace tlm {

std::size_t DleDataReader::Feed(std::string_view in, std::string& out) {
  std::size_t i = 0;
  while (i < in.size() && !ended_) {
    const char c = in[i++];
    if (pendingDle_) {
      pendingDle_ = false;
      if (c == kETX) {
        ended_ = true;
      } else {
        out.push_back(c);
      }
    } else if (c == kDLE) {
      pendingDle_ = true;
    } else {
      out.push_back(c);
    }
  }
  return i;
}

void TrainingCheck::Count(std::string_view data) {
  total_ += static_cast<long>(data.size());
  for (const char c : data) {
    if (c != 0) ++nonZero_;
  }
}

}  // namespace tlm
