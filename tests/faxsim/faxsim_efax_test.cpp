// efax, an independent fax program, sends and receives through faxsim's
// modems in Class 1, 2 and 2.0; the pages must arrive bit for bit.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "faxsim_runner.h"
#include "support/peer.h"
#include "support/temp_dir.h"
#include "t4.h"

namespace faxsim::testing {
namespace {

// efax measures each page's transmission in whole seconds and divides by
// it, so a page must take at least a second of real time: 3x acceleration
// at 9600 bit/s keeps a page above that.
const std::vector<std::string> kSpeed = {"--speed", "accelerated", "--accel", "3"};

Bitmap testPage(int n) {
  Bitmap b = samplePage(n);
  b.height = 600;
  b.fine = false;
  b.bits.resize(size_t(b.height) * size_t(b.stride()));
  return b;
}

struct Fixture {
  tlm::testing::TempDir dir;
  std::string path(const std::string& name) const { return dir.File(name); }
  // A TIFF-G3 page for efax to send and the bitmap it holds.
  bool makeTiff(const std::string& name, Bitmap& sent) {
    Bitmap page = testPage(1);
    if (!writePbm(path(name + ".pbm"), page).empty()) return false;
    if (run("efix -i pbm -o tiffg3 -r 204x196 " + path(name + ".pbm") + " > " + path(name) + " 2>/dev/null") != 0)
      return false;
    return tiffToBitmap(path(name), sent);
  }
};

// efax logs this once it has set the modem up and waits for a call.
bool efaxWaiting(const std::string& log) {
  for (int i = 0; i < 200; ++i) {
    if (run("grep -q \"waiting for activity\" " + log, 5) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

std::string efaxClass(const std::string& c) { return c == "1" ? "-o1" : c == "2" ? "-o2" : "-o0"; }

class EfaxByClass : public ::testing::TestWithParam<std::string> {};

TEST_P(EfaxByClass, SendsToTheRemoteMachine) {
  REQUIRE_PEER(haveEfax(), "efax or netpbm");
  Fixture f;
  Bitmap sent;
  ASSERT_TRUE(f.makeTiff("page.tif", sent));
  std::vector<std::string> args = {"--modem", f.path("modem") + "=100:class=" + GetParam() + ":rate=9600",
                                   "--remote-receiver", "555:" + f.dir.Folder() + ":ident=REMOTE 555"};
  args.insert(args.end(), kSpeed.begin(), kSpeed.end());
  FaxsimProcess sim(f.dir.Folder(), args);
  ASSERT_TRUE(sim.started());
  int rc = run("efax -d " + f.path("modem") + " " + efaxClass(GetParam()) + " -l \"+1 100\" -t 555 " +
               f.path("page.tif") + " > " + f.path("efax.log") + " 2>&1");
  EXPECT_EQ(rc, 0) << run("cat " + f.path("efax.log"));
  std::string page = sim.waitFor({"EVENT page", "fax=555", "role=receiver"}, 10);
  ASSERT_FALSE(page.empty());
  EXPECT_EQ(field(page, "response"), "MCF");
  EXPECT_EQ(field(page, "bad_lines"), "0");
  EXPECT_EQ(field(page, "rate"), "9600");
  std::string done = sim.waitFor({"EVENT fax_done", "fax=555"}, 10);
  EXPECT_EQ(field(done, "status"), "0");
  EXPECT_EQ(field(done, "remote_ident"), "+1 100");
  // efax puts a 20-line header above the page.
  Bitmap got;
  ASSERT_EQ(readPbm(field(page, "file"), got), "");
  EXPECT_EQ(got.height, 20 + sent.height);
  EXPECT_TRUE(sameRows(got, 20, sent, sent.height));
  // netpbm's decoder reads the stored raw data the same way.
  std::string g3 = field(page, "file");
  g3.replace(g3.size() - 3, 3, "g3");
  ASSERT_EQ(run("g3topbm -reversebits " + g3 + " > " + f.path("netpbm.pbm") + " 2>/dev/null"), 0);
  Bitmap theirs;
  ASSERT_EQ(readPbm(f.path("netpbm.pbm"), theirs), "");
  EXPECT_EQ(theirs.bits, got.bits);
}

TEST_P(EfaxByClass, ReceivesFromTheRemoteMachine) {
  REQUIRE_PEER(haveEfax(), "efax or netpbm");
  Fixture f;
  Bitmap p1 = testPage(1), p2 = testPage(2);
  ASSERT_EQ(writePbm(f.path("p1.pbm"), p1), "");
  ASSERT_EQ(writePbm(f.path("p2.pbm"), p2), "");
  std::vector<std::string> args = {"--modem", f.path("modem") + "=100:class=" + GetParam(),
                                   "--remote-sender", "777:" + f.path("p1.pbm") + "," + f.path("p2.pbm") +
                                                          ":100:delay=100000:ident=SENDER 777",
                                   "--speed", "accelerated", "--accel", "4"};
  FaxsimProcess sim(f.dir.Folder(), args);
  ASSERT_TRUE(sim.started());
  int receiver = spawn("efax -d " + f.path("modem") + " " + efaxClass(GetParam()) + " -l \"+1 100\" -w -iS0=1 -r " +
                       f.path("rx") + " > " + f.path("efax.log") + " 2>&1");
  ASSERT_TRUE(efaxWaiting(f.path("efax.log")));
  sim.signal(SIGUSR1);  // the remote machine calls now
  EXPECT_EQ(waitPid(receiver, 120), 0) << run("cat " + f.path("efax.log"));
  std::string done = sim.waitFor({"EVENT fax_done", "fax=777"}, 10);
  EXPECT_EQ(field(done, "status"), "0");
  EXPECT_EQ(field(done, "pages"), "2");
  Bitmap got1, got2;
  ASSERT_TRUE(tiffToBitmap(f.path("rx.001"), got1));
  ASSERT_TRUE(tiffToBitmap(f.path("rx.002"), got2)) << run("cat " + f.path("efax.log") + " | grep -v Input/output | tail -25; ls -la " + f.dir.Folder());
  EXPECT_EQ(got1.bits, p1.bits);
  EXPECT_EQ(got2.bits, p2.bits);
  // The frames of the call, in order, as the line carried them.
  std::string names;
  for (const auto& e : sim.events())
    if (e.rfind("EVENT frame", 0) == 0) names += field(e, "name") + " ";
  EXPECT_NE(names.find("DIS TSI DCS CFR MPS MCF EOP MCF DCN"), std::string::npos) << names;
}

INSTANTIATE_TEST_SUITE_P(Classes, EfaxByClass, ::testing::Values("1", "2", "2.0"),
                         [](const auto& info) { return info.param == "2.0" ? std::string("Class20") : "Class" + info.param; });

class EfaxToEfax : public ::testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(EfaxToEfax, PagesArriveIntact) {
  REQUIRE_PEER(haveEfax(), "efax or netpbm");
  Fixture f;
  Bitmap sent;
  ASSERT_TRUE(f.makeTiff("page.tif", sent));
  auto [from, to] = GetParam();
  // Two programs answering each other within tens of milliseconds: 2x.
  std::vector<std::string> args = {"--modem", f.path("modemA") + "=100:class=" + from + ":rate=9600",
                                   "--modem", f.path("modemB") + "=200:class=" + to,
                                   "--speed", "accelerated", "--accel", "2"};
  FaxsimProcess sim(f.dir.Folder(), args);
  ASSERT_TRUE(sim.started());
  int receiver = spawn("efax -d " + f.path("modemB") + " " + efaxClass(to) + " -l \"+1 200\" -w -iS0=1 -r " +
                       f.path("rx") + " > " + f.path("efaxB.log") + " 2>&1");
  ASSERT_TRUE(efaxWaiting(f.path("efaxB.log")));
  int rc = run("efax -d " + f.path("modemA") + " " + efaxClass(from) + " -l \"+1 100\" -t 200 " +
               f.path("page.tif") + " > " + f.path("efaxA.log") + " 2>&1");
  EXPECT_EQ(rc, 0) << run("cat " + f.path("efaxA.log") + " " + f.dir.Folder() + "events.log");
  EXPECT_EQ(waitPid(receiver, 60), 0) << run("cat " + f.path("efaxB.log"));
  Bitmap got;
  ASSERT_TRUE(tiffToBitmap(f.path("rx.001"), got));
  EXPECT_EQ(got.height, 20 + sent.height);
  EXPECT_TRUE(sameRows(got, 20, sent, sent.height));
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, EfaxToEfax,
    ::testing::Values(std::make_pair(std::string("1"), std::string("1")), std::make_pair(std::string("2"), std::string("2")),
                      std::make_pair(std::string("2.0"), std::string("2.0")),
                      std::make_pair(std::string("2"), std::string("1")), std::make_pair(std::string("1"), std::string("2.0"))),
    [](const auto& info) {
      auto name = [](std::string c) { return c == "2.0" ? std::string("20") : c; };
      return "Class" + name(info.param.first) + "ToClass" + name(info.param.second);
    });

TEST(FaxsimDemo, SendsTheSampleFaxOnRequestAndStoresWhatItReceives) {
  REQUIRE_PEER(haveEfax(), "efax or netpbm");
  Fixture f;
  std::string demo = f.path("demo");
  FaxsimProcess sim(f.dir.Folder(), {"--demo", demo, "--speed", "accelerated", "--accel", "4"});
  ASSERT_TRUE(sim.started());
  EXPECT_FALSE(sim.waitFor({"EVENT ready", "fax=5550100", "role=receiver"}, 1).empty());
  // The program waits for calls; a request makes the demo machine call it.
  int receiver = spawn("efax -d " + demo + "/modem -o1 -w -iS0=1 -r " + f.path("rx") + " > " +
                       f.path("efax.log") + " 2>&1");
  // Once efax waits for calls, request the call.
  ASSERT_TRUE(efaxWaiting(f.path("efax.log")));
  sim.signal(SIGUSR1);
  EXPECT_EQ(waitPid(receiver, 120), 0) << run("cat " + f.path("efax.log"));
  for (int n = 1; n <= 2; ++n) {
    Bitmap got;
    ASSERT_TRUE(tiffToBitmap(f.path("rx.00" + std::to_string(n)), got));
    EXPECT_EQ(got.bits, samplePage(n).bits) << "page " << n;
  }
  // Sending to the demo machine leaves the page in DIR/received.
  Bitmap sent;
  ASSERT_TRUE(f.makeTiff("page.tif", sent));
  EXPECT_EQ(run("efax -d " + demo + "/modem -o0 -t 5550100 " + f.path("page.tif") + " > " + f.path("tx.log") + " 2>&1"), 0)
      << run("cat " + f.path("tx.log"));
  std::string page = sim.waitFor({"EVENT page", "fax=5550100", "response=MCF"}, 10);
  EXPECT_NE(field(page, "file").find(demo + "/received/"), std::string::npos);
}

}  // namespace
}  // namespace faxsim::testing
