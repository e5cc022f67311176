#include "app/core/rate_index.h"

namespace tlm {
namespace {
constexpr int kRates[] = {2400, 4800, 7200, 9600, 12000, 14400};
}

int RateIndexToBps(int index) { return index >= 0 && index <= 5 ? kRates[index] : 9600; }

int BpsToRateIndex(int bps) {
  for (int i = 0; i <= 5; ++i) {
    if (kRates[i] == bps) return i;
  }
  return 3;
}

}  // namespace tlm
