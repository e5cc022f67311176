// Transmit sessions in Class 1 against spandsp: faxline's emulated modem
// and its T.30 fax machine, in real time. The pages the spandsp machine
// stores must decode to the bitmaps that were sent.
#include <gtest/gtest.h>

#include <filesystem>

#include "fax/faxline_process.h"
#include "fax/send_rig.h"
#include "faxsim/faxsim_runner.h"

namespace tlm::testing {
namespace {

using faxsim::Bitmap;

constexpr int kBlankLinesBefore = 8;

struct LineCase {
  int bps;
  bool fine;
  int pages;
  bool mps;
};

std::string Name(const LineCase& c) {
  return std::to_string(c.bps) + (c.fine ? "Fine" : "Standard") + std::to_string(c.pages) + "Pages" +
         (c.mps ? "Mps" : "Eom");
}

void SendAndCompare(const std::vector<Bitmap>& pages, int bps, bool mps) {
  TempDir dir;
  // One modem (100) and one receiving fax machine (555).
  std::filesystem::create_directories(dir.File("in"));
  FaxlineProcess line(dir.Folder(), "--modem " + dir.File("modem") + "=100 --receiver '555:" + dir.File("in") + ":ecm=0'");
  ASSERT_TRUE(line.Started());
  PumpedBridge bridge;
  TKvComPort port;
  port.SetMainThreadBridge(&bridge);
  port.SetPromptForPort(false);
  port.SetDeviceName(dir.File("modem"));
  TKvSendFax fax;
  fax.SetComPort(&port);
  fax.SetFaxClass(fcClass1);
  fax.DesiredBPS = bps;
  fax.SetMultiPageSwitch(mps);
  fax.SetStationID("TOLMERA");
  fax.PhoneNumber = "555";
  WriteApf(dir.File("doc.apf"), pages);
  fax.SetFaxFile(dir.File("doc.apf"));
  bool finished = false;
  int result = 1;
  fax.OnFaxFinish = [&](TKvCustomAbstractFax&, int e) {
    finished = true;
    result = e;
  };
  port.SetOpen(true);
  fax.StartTransmit();
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60 + 40 * int(pages.size()));
  while (!finished && std::chrono::steady_clock::now() < end) bridge.Pump(100, [&] { return finished; });
  if (!finished) {
    fax.CancelFax();
    while (!finished) bridge.Pump(100, [&] { return finished; });
  }
  port.SetOpen(false);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(fax.SessionBPS(), bps);
  const std::string done = line.WaitFor({"EVENT phase_e"}, 20);
  EXPECT_EQ(faxsim::testing::field(done, "status"), "0") << done;
  EXPECT_EQ(faxsim::testing::field(done, "pages"), std::to_string(pages.size())) << done;
  EXPECT_EQ(faxsim::testing::field(done, "remote_ident").substr(0, 8), "TOLMERA ") << done;
  EXPECT_EQ(faxsim::testing::field(done, "bit_rate"), std::to_string(bps)) << done;
  for (std::size_t i = 0; i < pages.size(); ++i) {
    Bitmap got;
    ASSERT_TRUE(faxsim::testing::tiffPageToBitmap(dir.File("in/rx-555-1.tif"), int(i), got)) << "page " << i;
    ASSERT_EQ(got.width, pages[i].width);
    ASSERT_EQ(got.height, pages[i].height + kBlankLinesBefore) << "page " << i;
    EXPECT_TRUE(faxsim::testing::sameRows(got, kBlankLinesBefore, pages[i], pages[i].height)) << "page " << i;
  }
}

class SendFaxline : public ::testing::TestWithParam<LineCase> {};

TEST_P(SendFaxline, PagesArriveIntact) {
  const LineCase& c = GetParam();
  // About two seconds of page data at every speed keeps the real-time calls short.
  const int lines = c.bps / 480;
  std::vector<Bitmap> pages;
  for (int i = 0; i < c.pages; ++i) pages.push_back(PatternPage(i + c.bps / 2400, lines, c.fine));
  SendAndCompare(pages, c.bps, c.mps);
}

// Every speed with a standard one-page fax and a fine five-page fax; the
// five-page faxes alternate between the multi-page switch (MPS) and EOM.
INSTANTIATE_TEST_SUITE_P(Speeds, SendFaxline,
                         ::testing::Values(LineCase{2400, false, 1, true}, LineCase{2400, true, 5, true},
                                           LineCase{4800, false, 1, true}, LineCase{4800, true, 5, false},
                                           LineCase{7200, false, 1, true}, LineCase{7200, true, 5, true},
                                           LineCase{9600, false, 1, true}, LineCase{9600, true, 5, false},
                                           LineCase{12000, false, 1, true}, LineCase{12000, true, 5, true},
                                           LineCase{14400, false, 1, true}, LineCase{14400, true, 5, false}),
                         [](const auto& info) { return Name(info.param); });

// ITU chart 1 at fine resolution and the top speed.
TEST(SendFaxlineChart, ItuChartOne) {
  Bitmap chart;
  ASSERT_EQ(faxsim::readPbm(TOLMERA_BUILT_FIXTURES_DIR "/itu/itu1.pbm", chart), "");
  chart.fine = true;
  SendAndCompare({chart}, 14400, true);
}

}  // namespace
}  // namespace tlm::testing
