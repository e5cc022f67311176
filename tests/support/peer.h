#pragma once
// Tests that need an outside program (efax, netpbm, libtiff's tools): on a
// developer's machine without it such a test is skipped; under CI (CI=true),
// where scripts/setup.sh installs every peer, a missing one fails the test
// so the suite never quietly tests less.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace tlm::testing {

inline bool UnderCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string(ci) == "true";
}

}  // namespace tlm::testing

// Use in a test body: REQUIRE_PEER(haveEfax(), "efax");
#define REQUIRE_PEER(available, what)                                                  \
  do {                                                                                 \
    if (!(available)) {                                                                \
      if (::tlm::testing::UnderCi()) FAIL() << what << " is not installed (CI=true)";  \
      GTEST_SKIP() << what << " is not installed";                                     \
    }                                                                                  \
  } while (0)
