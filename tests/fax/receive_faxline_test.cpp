// A spandsp fax machine calls over the faxline exchange (real modem audio,
// real time) and sends a TIFF document; every received page must decode to
// exactly the TIFF's bitmap.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <signal.h>

#include "fax/faxline_process.h"
#include "receive_rig.h"
#include "support/peer.h"

namespace tlm::testing {
namespace {

using faxsim::Bitmap;
namespace fs = faxsim::testing;

struct Line {
  std::string modems;  // spandsp's image modems: v27 (4800), v29 (9600), v17 (14400)
  int bps;             // the receiver's DesiredBPS: 2400 leaves only V.27ter's fallback speed in the DIS
  bool fine;
  int pages;
};

// The spandsp machine's document: `pages` test pages.
std::string MakeTiff(ReceiveRig& rig, const Line& c) {
  std::vector<Bitmap> pages;
  for (int i = 0; i < c.pages; ++i) {
    // Page data of a few seconds at every speed keeps the real-time calls short.
    const int rows = std::max(60, (c.pages == 1 ? 400 : 120) * c.bps / 9600);
    pages.push_back(TestPage(i + 1, c.fine ? rows * 2 : rows));
  }
  return WriteSenderTiff(rig.Path(""), pages, c.fine);
}

class ReceiveFromSpandsp : public ::testing::TestWithParam<Line> {};

TEST_P(ReceiveFromSpandsp, PagesDecodeToTheSentTiff) {
  const std::string faxline = FAXLINE_BINARY;
  REQUIRE_PEER(fs::haveEfax(), "efax or netpbm");
  const Line& c = GetParam();
  ReceiveRig rig;
  const std::string tif = MakeTiff(rig, c);
  ASSERT_FALSE(tif.empty());
  const std::string modem = rig.Path("modem");
  const int pid = fs::spawn(faxline + " --modem " + modem + "=100 --sender 777:" + tif + ":100:2:modems=" + c.modems +
                            ":ecm=0:ident=SPANDSP --exit-after-calls 1 > " + rig.Path("events") + " 2>&1");
  ASSERT_GT(pid, 0);
  rig.Pump(5, [&] { return std::filesystem::exists(modem); });
  rig.fax.SetFaxClass(fcClass1);
  rig.fax.DesiredBPS = c.bps;
  ASSERT_EQ(rig.Run(modem, 60 + 30 * c.pages), 0);
  EXPECT_EQ(rig.fax.SessionBPS(), c.bps);
  ::kill(pid, SIGTERM);
  fs::waitPid(pid, 10);
  EXPECT_EQ(rig.finish, 0);
  if (rig.finish != 0) fs::run("cat " + rig.Path("events"));  // spandsp's account of the call
  ASSERT_EQ(rig.files.size(), 1u);
  const std::vector<Bitmap> got = ReadPages(rig.files[0]);
  ASSERT_EQ(got.size(), std::size_t(c.pages));
  for (int i = 0; i < c.pages; ++i) {
    Bitmap sent;
    ASSERT_TRUE(fs::tiffPageToBitmap(tif, i, sent)) << "page " << i + 1;
    EXPECT_EQ(got[std::size_t(i)].fine, c.fine) << "page " << i + 1;
    ASSERT_EQ(got[std::size_t(i)].height, sent.height) << "page " << i + 1;
    EXPECT_TRUE(got[std::size_t(i)].bits == sent.bits) << "page " << i + 1;
  }
}

// Every speed a receiver can ask for in its DIS (7200 and 12000 are reached
// only by a sender's fallback), each with a standard one-page fax and a fine
// five-page fax.
INSTANTIATE_TEST_SUITE_P(Modems, ReceiveFromSpandsp,
                         ::testing::Values(Line{"v27", 2400, false, 1}, Line{"v27", 2400, true, 5},
                                           Line{"v27", 4800, false, 1}, Line{"v27", 4800, true, 5},
                                           Line{"v29", 9600, false, 1}, Line{"v29", 9600, true, 5},
                                           Line{"v17", 14400, false, 1}, Line{"v17", 14400, true, 5}),
                         [](const auto& info) {
                           return info.param.modems + "_" + std::to_string(info.param.bps) +
                                  (info.param.fine ? "_fine_" : "_std_") + std::to_string(info.param.pages) + "pages";
                         });

}  // namespace
}  // namespace tlm::testing
