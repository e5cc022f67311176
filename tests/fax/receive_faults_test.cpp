// Calls that go wrong on the simulated line, and tlmfax receive.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>

#include "receive_rig.h"

namespace tlm::testing {
namespace {

using faxsim::testing::FaxsimProcess;

std::vector<std::string> ApfFilesIn(const std::string& dir) {
  std::vector<std::string> out;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      if (name.find("FAX") == 0 || name.find(".APF") != std::string::npos) out.push_back(name);
    }
    ::closedir(d);
  }
  return out;
}

std::vector<std::string> SimArgs(ReceiveRig& rig, const std::string& faxClass, int pages,
                                 std::vector<std::string> extra) {
  std::string files;
  for (int i = 1; i <= pages; ++i) {
    const std::string pbm = rig.Path("p" + std::to_string(i) + ".pbm");
    faxsim::writePbm(pbm, TestPage(i, 600));
    files += (files.empty() ? "" : ",") + pbm;
  }
  std::vector<std::string> args = {"--modem", rig.Path("modem") + "=100:class=" + faxClass, "--remote-sender",
                                   "777:" + files + ":100:delay=1:ident=SENDER 777", "--speed", "accelerated",
                                   "--accel", "10", "--ring-interval", "1"};
  args.insert(args.end(), extra.begin(), extra.end());
  if (std::getenv("FAXSIM_TRACE")) args.push_back("--trace");
  return args;
}

class ReceiveFaults : public ::testing::TestWithParam<std::string> {};

TEST_P(ReceiveFaults, CarrierLossInAPageLeavesNoFile) {
  ReceiveRig rig;
  FaxsimProcess sim(rig.dir.Folder(), SimArgs(rig, GetParam(), 2, {"--fault", "777:carrier-loss=2"}));
  ASSERT_TRUE(sim.started());
  rig.fax.SetFaxClass(GetParam() == "1" ? fcClass1 : GetParam() == "2" ? fcClass2 : fcClass2_0);
  rig.fax.ExitOnError = true;  // end the session at the failure
  ASSERT_EQ(rig.Run(rig.Path("modem"), 90), 0);
  EXPECT_NE(rig.finish, 0);
  EXPECT_NE(rig.finish, INT_MIN);
  EXPECT_EQ(rig.logs, (std::vector<int>{lfaxReceiveStart, lfaxReceiveFail}));
  EXPECT_TRUE(ApfFilesIn(rig.dir.Folder()).empty());
}

// A garbage line before every result code, the Class 1 speed lists too.
TEST_P(ReceiveFaults, GarbageLinesFromTheModemAreIgnored) {
  ReceiveRig rig;
  FaxsimProcess sim(rig.dir.Folder(), SimArgs(rig, GetParam(), 1, {"--fault", "100:garbage"}));
  ASSERT_TRUE(sim.started());
  rig.fax.SetFaxClass(GetParam() == "1" ? fcClass1 : GetParam() == "2" ? fcClass2 : fcClass2_0);
  ASSERT_EQ(rig.Run(rig.Path("modem"), 90), 0);
  EXPECT_EQ(rig.finish, 0);
  ASSERT_EQ(rig.files.size(), 1u);
  const std::vector<faxsim::Bitmap> pages = ReadPages(rig.files[0]);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_TRUE(pages[0].bits == TestPage(1, 600).bits);
}

INSTANTIATE_TEST_SUITE_P(Classes, ReceiveFaults, ::testing::Values("1", "2", "2.0"),
                         [](const auto& info) { return info.param == "2.0" ? std::string("C2_0") : "C" + info.param; });

// Each call that ends, well or badly, ends with a status event flagged
// "last", so an application knows the call is over.
class ReceiveCallSeries : public ::testing::TestWithParam<std::string> {};

TEST_P(ReceiveCallSeries, EachCallEndsWithALastStatusAndTheNextCallIsTaken) {
  ReceiveRig rig;
  FaxsimProcess sim(rig.dir.Folder(),
                    SimArgs(rig, GetParam(), 1, {"--fault", "777:carrier-loss=1", "--remote-sender",
                                          "778:" + rig.Path("p1.pbm") + ":100:delay=60:ident=SECOND"}));
  ASSERT_TRUE(sim.started());
  rig.fax.SetFaxClass(GetParam() == "1" ? fcClass1 : GetParam() == "2" ? fcClass2 : fcClass2_0);
  rig.fax.OneFax = false;
  ASSERT_EQ(rig.Run(rig.Path("modem"), 0.1), 0);
  rig.Pump(90, [&] { return rig.files.size() == 1; });
  ASSERT_EQ(rig.files.size(), 1u) << "finish " << rig.finish;
  // The failed first call and the good second one.
  EXPECT_EQ(rig.logs, (std::vector<int>{lfaxReceiveStart, lfaxReceiveFail, lfaxReceiveStart, lfaxReceiveOk}));
  rig.Pump(5, [&] { return rig.lastStatuses >= 2; });
  EXPECT_EQ(rig.lastStatuses, 2);
}

INSTANTIATE_TEST_SUITE_P(Classes, ReceiveCallSeries, ::testing::Values("1", "2", "2.0"),
                         [](const auto& info) { return info.param == "2.0" ? std::string("C2_0") : "C" + info.param; });

// A receive folder that cannot be written ends the session at the first
// call instead of answering and losing every later one.
TEST(ReceiveCalls, AnUnwritableReceiveFolderEndsTheSession) {
  ReceiveRig rig;
  FaxsimProcess sim(rig.dir.Folder(), SimArgs(rig, "2", 1, {}));
  ASSERT_TRUE(sim.started());
  rig.fax.SetFaxClass(fcClass2);
  rig.fax.OneFax = false;
  rig.fax.DestinationDir = rig.Path("gone/");  // removed before the call
  ASSERT_EQ(rig.Run(rig.Path("modem"), 90), 0);
  EXPECT_EQ(rig.finish, -ENOENT);
  EXPECT_FALSE(rig.fax.InProgress());
  EXPECT_TRUE(ApfFilesIn(rig.dir.Folder()).empty());
}

// A history file that cannot be written is reported; the fax is still taken.
TEST(ReceiveCalls, AHistoryFileThatCannotBeWrittenIsReported) {
  ReceiveRig rig;
  FaxsimProcess sim(rig.dir.Folder(), SimArgs(rig, "2.0", 1, {}));
  ASSERT_TRUE(sim.started());
  TKvFaxLog history;
  history.FaxHistoryName = rig.Path("no-such-folder/KOVAFAX.HIS");
  rig.fax.FaxLog = &history;
  rig.fax.SetFaxClass(fcClass2_0);
  ASSERT_EQ(rig.Run(rig.Path("modem"), 90), 0);
  EXPECT_EQ(rig.finish, 0);
  EXPECT_EQ(rig.files.size(), 1u);
  ASSERT_FALSE(rig.errors.empty());
  EXPECT_EQ(rig.errors.front(), -ENOENT);
}

TEST(TlmfaxReceive, StoresOneFaxAndExits) {
  ReceiveRig rig;  // only for its folder and page files
  FaxsimProcess sim(rig.dir.Folder(), SimArgs(rig, "2.0", 1, {}));
  ASSERT_TRUE(sim.started());
  const std::string out = rig.Path("out.txt");
  const int rc = faxsim::testing::run(std::string(TLMFAX_BINARY) + " receive --port " + rig.Path("modem") +
                                          " --class auto --dir " + rig.dir.Folder() + " --once > " + out + " 2>&1",
                                      90);
  EXPECT_EQ(rc, 0) << faxsim::testing::run("cat " + out);
  std::vector<std::uint8_t> text;
  FILE* f = std::fopen(out.c_str(), "r");
  ASSERT_NE(f, nullptr);
  char buffer[8192] = {};
  const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
  std::fclose(f);
  const std::string printed(buffer, n);
  EXPECT_NE(printed.find("status 20: "), std::string::npos) << printed;
  EXPECT_NE(printed.find("received " + rig.dir.Folder() + "FAX0001.APF"), std::string::npos) << printed;
  const std::vector<faxsim::Bitmap> pages = ReadPages(rig.dir.Folder() + "FAX0001.APF");
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_TRUE(pages[0].bits == TestPage(1, 600).bits);
}

// The one call of --once fails: tlmfax ends at once, says so and exits 1
// (not 124, the status of `timeout` stopping a receiver that waits on).
TEST(TlmfaxReceive, OnceEndsAfterAFailedCallWithFailure) {
  ReceiveRig rig;
  FaxsimProcess sim(rig.dir.Folder(), SimArgs(rig, "2.0", 2, {"--fault", "777:carrier-loss=2"}));
  ASSERT_TRUE(sim.started());
  const std::string out = rig.Path("out.txt");
  const int rc = faxsim::testing::run(std::string(TLMFAX_BINARY) + " receive --port " + rig.Path("modem") +
                                          " --class auto --dir " + rig.dir.Folder() + " --once > " + out + " 2>&1",
                                      60);
  ASSERT_TRUE(WIFEXITED(rc));
  EXPECT_EQ(WEXITSTATUS(rc), 1) << faxsim::testing::run("cat " + out);
  EXPECT_TRUE(ApfFilesIn(rig.dir.Folder()).empty());
}

}  // namespace
}  // namespace tlm::testing
