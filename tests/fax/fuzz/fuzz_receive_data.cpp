// Page data and training checks as a modem delivers them: any bytes, cut
// into any batches, must be unshielded and bit-ordered without a crash, and
// the bytes consumed must stop exactly after DLE ETX.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fax/page_bit_order.h"
#include "fax/page_data.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t batch = 1 + data[0] % 64;
  const std::string_view in(reinterpret_cast<const char*>(data) + 1, size - 1);
  tlm::DleDataReader reader;
  tlm::PageBitOrder order;
  order.StartPage(true);
  tlm::TrainingCheck check;
  std::string raw, out;
  std::size_t pos = 0;
  while (pos < in.size() && !reader.Ended()) {
    const std::string_view part = in.substr(pos, batch);
    raw.clear();
    const std::size_t used = reader.Feed(part, raw);
    if (used == 0 || used > part.size()) __builtin_trap();
    check.Count(raw);
    order.Feed(raw, out);
    pos += used;
  }
  order.Finish(out);
  if (check.Total() < check.NonZero()) __builtin_trap();
  return 0;
}
