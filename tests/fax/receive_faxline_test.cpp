// A spandsp fax machine calls over the faxline exchange (real modem audio,
// real time) and sends a TIFF page; the received page must decode to
// exactly the TIFF's bitmap. Build faxline first:
//   make -C ../shared/tools/faxline OUT=<build dir>/faxline
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include "receive_rig.h"

namespace tlm::testing {
namespace {

using faxsim::Bitmap;
namespace fs = faxsim::testing;

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

struct Line {
  std::string modems;  // spandsp's image modems: v27, v29, v17
  bool fine;
};

class ReceiveFromSpandsp : public ::testing::TestWithParam<Line> {};

TEST_P(ReceiveFromSpandsp, PageDecodesToTheSentTiff) {
  const std::string faxline = FAXLINE_BINARY;
  if (!Exists(faxline)) GTEST_SKIP() << "faxline not built at " << faxline;
  if (!fs::haveEfax()) GTEST_SKIP() << "efix not installed";
  const Line& c = GetParam();
  ReceiveRig rig;
  const Bitmap page = TestPage(1, c.fine ? 1400 : 500);
  ASSERT_EQ(faxsim::writePbm(rig.Path("p.pbm"), page), "");
  const std::string tif = rig.Path("p.tif");
  ASSERT_EQ(fs::run(std::string("efix -i pbm -o tiffg3 -r ") + (c.fine ? "204x196 " : "204x98 ") + rig.Path("p.pbm") +
                    " > " + tif + " 2>/dev/null"),
            0);
  Bitmap sent;
  ASSERT_TRUE(fs::tiffToBitmap(tif, sent));
  const std::string modem = rig.Path("modem");
  const int pid = fs::spawn(faxline + " --modem " + modem + "=100 --sender 777:" + tif + ":100:2:modems=" + c.modems +
                            ":ecm=0:ident=SPANDSP --exit-after-calls 1 > " + rig.Path("events") + " 2>&1");
  ASSERT_GT(pid, 0);
  rig.Pump(5, [&] { return Exists(modem); });
  rig.fax.SetFaxClass(fcClass1);
  rig.fax.DesiredBPS = 14400;
  ASSERT_EQ(rig.Run(modem, 90), 0);
  ::kill(pid, SIGTERM);
  fs::waitPid(pid, 10);
  EXPECT_EQ(rig.finish, 0) << fs::run("cat " + rig.Path("events"));
  ASSERT_EQ(rig.files.size(), 1u);
  const std::vector<Bitmap> got = ReadPages(rig.files[0]);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].fine, c.fine);
  ASSERT_EQ(got[0].height, sent.height);
  EXPECT_TRUE(got[0].bits == sent.bits);
}

INSTANTIATE_TEST_SUITE_P(Modems, ReceiveFromSpandsp,
                         ::testing::Values(Line{"v27", false}, Line{"v29", true}, Line{"v17", false}),
                         [](const auto& info) { return info.param.modems + (info.param.fine ? "_fine" : "_std"); });

}  // namespace
}  // namespace tlm::testing
