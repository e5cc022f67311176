// The receive component answers the simulator's remote fax machine in each
// class and speed; every page must arrive bit for bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "faximage/apf_file.h"
#include "receive_rig.h"

namespace tlm::testing {
namespace {

using faxsim::Bitmap;
using faxsim::testing::FaxsimProcess;

struct Case {
  std::string faxClass;  // "1", "2", "2.0"
  int bps;
  int pages;
  int rows;       // above 1300: fine
  int width;      // 1728 or 2048
  bool mixed;     // alternate standard and fine pages: EOM between them
};

std::string Name(const ::testing::TestParamInfo<Case>& info) {
  const Case& c = info.param;
  std::string n = "C" + c.faxClass + "_" + std::to_string(c.bps) + "_" + std::to_string(c.pages) + "p";
  n += c.rows > 1300 ? "_fine" : "_std";
  if (c.width == 2048) n += "_wide";
  if (c.mixed) n += "_eom";
  for (char& ch : n) {
    if (ch == '.') ch = '_';
  }
  return n;
}

class ReceiveFromSimulator : public ::testing::TestWithParam<Case> {};

TEST_P(ReceiveFromSimulator, PagesArriveWhole) {
  const Case& c = GetParam();
  ReceiveRig rig;
  std::vector<Bitmap> sent;
  std::string files;
  for (int i = 1; i <= c.pages; ++i) {
    const int rows = c.mixed && i % 2 == 0 ? 1400 : c.rows;
    sent.push_back(TestPage(i, rows, c.width));
    const std::string pbm = rig.Path("p" + std::to_string(i) + ".pbm");
    ASSERT_EQ(faxsim::writePbm(pbm, sent.back()), "");
    files += (files.empty() ? "" : ",") + pbm;
  }
  const std::string modem = rig.Path("modem");
  // The sender's top speed sets the call's speed; the modem offers all.
  std::vector<std::string> args = {"--modem", modem + "=100:class=" + c.faxClass,
                                   "--remote-sender",
                                   "777:" + files + ":100:delay=1:ident=SENDER 777:rate=" + std::to_string(c.bps),
                                   "--speed", "accelerated", "--accel", "10", "--ring-interval", "1"};
  if (std::getenv("FAXSIM_TRACE")) args.push_back("--trace");
  FaxsimProcess sim(rig.dir.Folder(), args);
  ASSERT_TRUE(sim.started());
  rig.fax.SetFaxClass(c.faxClass == "1" ? fcClass1 : c.faxClass == "2" ? fcClass2 : fcClass2_0);
  rig.fax.DesiredBPS = 14400;
  rig.fax.SetStationID("TOLMERA RX");
  rig.fax.OneFax = !c.mixed;
  if (c.mixed) {
    // Several documents in one call: stop once the simulator's call is over.
    rig.port.SetDeviceName(modem);
    ASSERT_EQ(rig.fax.StartReceive(), 0);
    rig.Pump(90, [&] { return rig.files.size() == 2; });
    // The call ends and the component waits for the next one.
    rig.Pump(30, [&] { return rig.fax.ReceiveState() == rfWaiting; });
    EXPECT_EQ(rig.logs, (std::vector<int>{lfaxReceiveStart, lfaxReceiveOk, lfaxReceiveStart, lfaxReceiveOk}));
  } else {
    ASSERT_EQ(rig.Run(modem, 90), 0);
    EXPECT_EQ(rig.finish, 0);
    EXPECT_EQ(rig.fax.RemoteID(), "SENDER 777");
    EXPECT_EQ(rig.fax.SessionBPS(), c.bps);
  }
  ASSERT_FALSE(rig.files.empty());

  std::vector<Bitmap> got;
  for (const std::string& f : rig.files) {
    for (Bitmap& b : ReadPages(f)) got.push_back(std::move(b));
    ApfFileHeader header;
    ASSERT_EQ(ApfReadFileHeader(f, header), 0);
    EXPECT_EQ(header.StationId(), "SENDER 777");
  }
  ASSERT_EQ(got.size(), sent.size());
  for (std::size_t i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(got[i].width, sent[i].width) << "page " << i + 1;
    EXPECT_EQ(got[i].fine, sent[i].fine) << "page " << i + 1;
    EXPECT_EQ(got[i].height, sent[i].height) << "page " << i + 1;
    EXPECT_TRUE(got[i].bits == sent[i].bits) << "page " << i + 1;
  }
  // Raw layout: no length words; flags from resolution and width only.
  ApfPageHeader page;
  std::uint64_t offset = 0;
  ASSERT_EQ(ApfLocatePage(rig.files[0], 1, page, offset), 0);
  EXPECT_EQ(page.flags, (sent[0].fine ? kApfFine : 0) | (sent[0].width == 2048 ? kApfWide : 0));
}

INSTANTIATE_TEST_SUITE_P(Class1, ReceiveFromSimulator,
                         ::testing::Values(Case{"1", 2400, 1, 600, 1728, false}, Case{"1", 4800, 1, 600, 1728, false},
                                           Case{"1", 7200, 1, 600, 1728, false}, Case{"1", 9600, 5, 600, 1728, false},
                                           Case{"1", 12000, 1, 1400, 1728, false},
                                           Case{"1", 14400, 1, 600, 2048, false},
                                           Case{"1", 9600, 2, 600, 1728, true}),
                         Name);
INSTANTIATE_TEST_SUITE_P(Class2, ReceiveFromSimulator,
                         ::testing::Values(Case{"2", 2400, 1, 600, 1728, false}, Case{"2", 4800, 1, 1400, 1728, false},
                                           Case{"2", 7200, 1, 600, 1728, false}, Case{"2", 9600, 1, 600, 1728, false},
                                           Case{"2", 12000, 1, 1400, 1728, false},
                                           Case{"2", 14400, 5, 1400, 1728, false},
                                           Case{"2", 9600, 2, 600, 1728, true}, Case{"2", 14400, 2, 600, 2048, false}),
                         Name);
INSTANTIATE_TEST_SUITE_P(Class20, ReceiveFromSimulator,
                         ::testing::Values(Case{"2.0", 2400, 1, 1400, 1728, false},
                                           Case{"2.0", 7200, 1, 1400, 1728, false},
                                           Case{"2.0", 9600, 1, 600, 1728, false},
                                           Case{"2.0", 12000, 1, 600, 1728, false},
                                           Case{"2.0", 14400, 5, 1400, 1728, false},
                                           Case{"2.0", 4800, 2, 600, 1728, true},
                                           Case{"2.0", 9600, 1, 1400, 2048, false}),
                         Name);

// A Class 2 modem that takes 1728-pixel pages only refuses the wide
// capabilities: the receiver offers 1728 pixels instead, and the remote
// sends its wide page cut to that width.
TEST(ReceiveWidth, ModemWithoutWidePagesReceivesAtStandardWidth) {
  ReceiveRig rig;
  const Bitmap wide = TestPage(1, 300, 2048);
  const std::string pbm = rig.Path("wide.pbm");
  ASSERT_EQ(faxsim::writePbm(pbm, wide), "");
  const std::string modem = rig.Path("modem");
  FaxsimProcess sim(rig.dir.Folder(), {"--modem", modem + "=100:class=2:wide=0", "--remote-sender",
                                       "777:" + pbm + ":100:delay=1", "--speed", "accelerated", "--accel", "10",
                                       "--ring-interval", "1"});
  ASSERT_TRUE(sim.started());
  rig.fax.SetFaxClass(fcClass2);
  ASSERT_EQ(rig.Run(modem, 60), 0);
  EXPECT_EQ(rig.finish, 0);
  std::vector<std::string> commands;
  for (const std::string& e : sim.events()) {
    if (e.rfind("EVENT command", 0) == 0) commands.push_back(faxsim::testing::field(e, "text"));
  }
  const auto at = std::find(commands.begin(), commands.end(), "AT+FDIS=1,3,1,2,0,0,0,0");
  ASSERT_NE(at, commands.end());
  ASSERT_NE(at + 1, commands.end());
  EXPECT_EQ(*(at + 1), "AT+FDIS=1,3,0,2,0,0,0,0");
  ASSERT_EQ(rig.files.size(), 1u);
  const std::vector<Bitmap> got = ReadPages(rig.files[0]);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].width, 1728);
  ApfPageHeader page;
  std::uint64_t offset = 0;
  ASSERT_EQ(ApfLocatePage(rig.files[0], 1, page, offset), 0);
  EXPECT_EQ(page.flags & kApfWide, 0);
}

}  // namespace
}  // namespace tlm::testing
