// A writer killed at random moments (also while packing) loses no posted
// record, and its table (with memo file and index) opens afterwards with
// every tag in order.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <random>
#include <string>

#include "area_access.h"
#include "storage/log_tables.h"
#include "support/temp_dir.h"

namespace tlm {
namespace {

// The child: appends faxes forever, reporting each posted record number;
// some rounds pack the table first (nothing is marked, so nothing goes).
[[noreturn]] void Writer(const std::string& folder, int reportFd, bool packFirst) {
  XbLibrary lib;
  lib.xb_SetDeleted(true);
  TXbTable t(lib);
  TXbEngine e(t);
  if (!OpenFaxDBF(t, e, folder)) _exit(2);
  if (!HasTag(e, "DATEND") && !RebuildLogIndexes(LogTable::kOutgoing, e)) _exit(3);
  if (packFirst && !e.Pack()) _exit(7);
  for (;;) {
    if (!t.Append()) _exit(4);
    const long n = e.RecCount();
    t.SetString("SUBJECT", "rec " + std::to_string(n));
    t.SetDate("DATESENT", "2024" + std::string(n % 12 < 9 ? "0" : "") + std::to_string(n % 12 + 1) + "15");
    t.SetString("TIMESENT", n % 2 ? "09:30" : "17:05");
    t.SetString("RTFDOC", "doc " + std::to_string(n) + std::string(static_cast<std::size_t>(n % 200), '.'));
    if (!t.Post()) _exit(5);
    const std::uint32_t posted = static_cast<std::uint32_t>(n);
    if (::write(reportFd, &posted, sizeof posted) != sizeof posted) _exit(6);
  }
}

TEST(CrashTest, KilledWriterLosesNoPostedRecord) {
  testing::TempDir dir;
  std::mt19937 rng(20240315);
  long posted = 0;
  long checked = 0;
  constexpr int kRounds = 200;
  for (int round = 0; round < kRounds; ++round) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(fds[0]);
      Writer(dir.Folder(), fds[1], round % 16 == 3);
    }
    ::close(fds[1]);
    // Let it post a few records (or none), then kill it at a random moment.
    const int wanted = static_cast<int>(rng() % 6);
    std::uint32_t n = 0;
    for (int i = 0; i < wanted && ::read(fds[0], &n, sizeof n) == sizeof n; ++i) posted = std::max<long>(posted, n);
    ::usleep(static_cast<useconds_t>(rng() % 300));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "writer ended by itself: " << WEXITSTATUS(status);
    while (::read(fds[0], &n, sizeof n) == sizeof n) posted = std::max<long>(posted, n);
    ::close(fds[0]);

    XbLibrary lib;
    TXbTable t(lib);
    TXbEngine e(t);
    ASSERT_TRUE(OpenFaxDBF(t, e, dir.Folder())) << "round " << round << ": " << t.LastError();
    ASSERT_GE(e.RecCount(), posted) << "round " << round;
    for (long r = checked + 1; r <= posted; ++r) {
      ASSERT_TRUE(t.GoTo(r));
      ASSERT_EQ(t.AsString("SUBJECT"), "rec " + std::to_string(r)) << "round " << round;
      ASSERT_EQ(t.AsString("RTFDOC").substr(0, 4 + std::to_string(r).size()), "doc " + std::to_string(r));
    }
    checked = posted;
    if (round % 20 == 19 || round == kRounds - 1) {
      std::string error;
      lib.xb_Select(t.WorkArea());
      ASSERT_TRUE(XbLibraryTestAccess::Selected(lib)->VerifyIndex(error)) << "round " << round << ": " << error;
    }
  }
  EXPECT_GT(posted, 200);
  RecordProperty("posted", static_cast<int>(posted));
}

}  // namespace
}  // namespace tlm
