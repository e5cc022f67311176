#include "app/core/rate_index.h"

#include <gtest/gtest.h>

namespace tlm {
namespace {

TEST(RateIndex, ConvertsBothWaysWithTheirDefaults) {
  const int rates[] = {2400, 4800, 7200, 9600, 12000, 14400};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(RateIndexToBps(i), rates[i]);
    EXPECT_EQ(BpsToRateIndex(rates[i]), i);
  }
  EXPECT_EQ(RateIndexToBps(3), 9600);
  EXPECT_EQ(RateIndexToBps(9), 9600);
  EXPECT_EQ(RateIndexToBps(-1), 9600);
  EXPECT_EQ(BpsToRateIndex(28800), 3);
}

}  // namespace
}  // namespace tlm
