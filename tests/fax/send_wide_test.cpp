// Wide (2048-pixel, B4) pages sent through a Class 2 and a Class 2.0 modem:
// the modem must be told the page's width, and the page must arrive whole
// at a remote fax machine that takes wide pages.
#include <gtest/gtest.h>

#include "fax/send_rig.h"
#include "faxsim/faxsim_runner.h"

namespace tlm::testing {
namespace {

using faxsim::Bitmap;

constexpr int kBlankLinesBefore = 8;
constexpr double kAccel = 10;

struct WideCase {
  const char* name;
  TFaxClass faxClass;
  const char* modemClass;
};
void PrintTo(const WideCase& c, std::ostream* os) { *os << c.name; }

class SendWidePage : public ::testing::TestWithParam<WideCase> {};

// A wide page, then a standard-width page: the width changes on the way,
// and each page arrives in its own width, bit for bit.
TEST_P(SendWidePage, ArrivesWideAndWhole) {
  const WideCase& c = GetParam();
  SendRig rig(std::string(":class=") + c.modemClass, {"--remote-receiver", "200:RX:wide=1"}, kAccel);
  ASSERT_TRUE(rig.Ready());
  const std::vector<Bitmap> pages = {PatternPage(1, 60, false, true), PatternPage(2, 50, true, true),
                                     PatternPage(3, 40, false, false)};
  WriteApf(rig.Dir().File("wide.apf"), pages);
  rig.Fax().SetFaxClass(c.faxClass);
  rig.Fax().DesiredBPS = 14400;
  rig.Fax().PhoneNumber = "200";
  rig.Fax().SetFaxFile(rig.Dir().File("wide.apf"));
  const SendOutcome out = rig.Send();
  EXPECT_EQ(out.result, 0);
  const auto got = rig.Received("200", 1, int(pages.size()));
  ASSERT_EQ(got.size(), pages.size());
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const std::string event = rig.Sim().waitFor({"page", "n=" + std::to_string(i + 1) + " "}, 10);
    EXPECT_EQ(faxsim::testing::field(event, "width"), std::to_string(pages[i].width)) << "page " << i + 1;
    ASSERT_EQ(got[i].width, pages[i].width) << "page " << i + 1;
    EXPECT_EQ(faxsim::testing::field(event, "res"), pages[i].fine ? "fine" : "normal") << "page " << i + 1;
    ASSERT_EQ(got[i].height, pages[i].height + kBlankLinesBefore) << "page " << i + 1;
    EXPECT_TRUE(faxsim::testing::sameRows(got[i], kBlankLinesBefore, pages[i], pages[i].height)) << "page " << i + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(Classes, SendWidePage,
                         ::testing::Values(WideCase{"Class2", fcClass2, "2"}, WideCase{"Class20", fcClass2_0, "2.0"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tlm::testing
