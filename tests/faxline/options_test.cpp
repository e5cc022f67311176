// faxline's options: the remote machines' key=value items, the event line
// format tests parse, and the start-up errors of the command line.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <memory>
#include <string>

#include "event.h"
#include "fax_options.h"
#include "support/temp_dir.h"

namespace faxline {
namespace {

TEST(FaxOptions, ParsesEachKeyAndRejectsBadItems) {
  FaxOptions o;
  EXPECT_EQ(applyFaxOption("modems=v27,v29", o), "");
  EXPECT_EQ(o.modems, T30_SUPPORT_V27TER | T30_SUPPORT_V29);
  EXPECT_EQ(applyFaxOption("modems=4", o), "");
  EXPECT_EQ(o.modems, T30_SUPPORT_V17);
  EXPECT_EQ(applyFaxOption("compression=mmr", o), "");
  EXPECT_EQ(o.compressions, T30_SUPPORT_T4_1D_COMPRESSION | T30_SUPPORT_T6_COMPRESSION);  // MH always
  EXPECT_EQ(applyFaxOption("ecm=0", o), "");
  EXPECT_FALSE(o.ecm);
  EXPECT_EQ(applyFaxOption("fine=no", o), "");
  EXPECT_FALSE(o.fine);
  EXPECT_EQ(applyFaxOption("rings=0", o), "");
  EXPECT_EQ(o.rings, 0);
  EXPECT_EQ(applyFaxOption("ident=+1 555 0100 and far too long", o), "");
  EXPECT_EQ(o.ident, "+1 555 0100 and far ");
  EXPECT_EQ(o.ident.size(), 20u);

  EXPECT_EQ(applyFaxOption("modems=v34", o), "bad value in option 'modems=v34'");
  EXPECT_EQ(applyFaxOption("modems=8", o), "bad value in option 'modems=8'");
  EXPECT_EQ(applyFaxOption("ecm=maybe", o), "bad value in option 'ecm=maybe'");
  EXPECT_EQ(applyFaxOption("rings=-1", o), "bad value in option 'rings=-1'");
  EXPECT_EQ(applyFaxOption("speed=9600", o), "unknown option 'speed'");
  EXPECT_EQ(applyFaxOption("ecm", o), "option 'ecm' is not key=value");
}

TEST(EventLine, QuotesValuesThatNeedIt) {
  ::testing::internal::CaptureStdout();
  Event("phase_e").num("status", 0).str("ident", "TOLMERA 1").str("empty", "").str("q", "a\"b\\c=d").str("plain", "555")
      .emit();
  const std::string line = ::testing::internal::GetCapturedStdout();
  ASSERT_EQ(line.rfind("EVENT phase_e t=", 0), 0u) << line;
  EXPECT_NE(line.find(" status=0 ident=\"TOLMERA 1\" empty=\"\" q=\"a\\\"b\\\\c=d\" plain=555\n"), std::string::npos)
      << line;
}

// Runs faxline; its exit status and what it wrote on stderr.
int RunFaxline(const std::string& args, std::string& err) {
  const std::string cmd = std::string(FAXLINE_BINARY) + " " + args + " 2>&1 >/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(cmd.c_str(), "r"), pclose);
  char buf[512];
  err.clear();
  for (size_t n; (n = fread(buf, 1, sizeof buf, pipe.get())) > 0;) err.append(buf, n);
  const int status = pclose(pipe.release());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(FaxlineCommandLine, StartUpErrorsExitWithStatusTwo) {
  tlm::testing::TempDir dir;
  std::string err;
  EXPECT_EQ(RunFaxline("", err), 2);
  EXPECT_NE(err.find("nothing on the line"), std::string::npos) << err;
  EXPECT_EQ(RunFaxline("--modem " + dir.File("m") + "=12a", err), 2);
  EXPECT_NE(err.find("bad modem number '12a' (digits only)"), std::string::npos) << err;
  EXPECT_EQ(RunFaxline("--modem " + dir.File("m") + "=100 --receiver 100:" + dir.File("in"), err), 2);
  EXPECT_NE(err.find("number 100 is used twice"), std::string::npos) << err;
  EXPECT_EQ(RunFaxline("--sender 777:" + dir.File("missing.tif") + ":100", err), 2);
  EXPECT_NE(err.find("sender file " + dir.File("missing.tif") + ": cannot open it as TIFF"), std::string::npos) << err;
  EXPECT_EQ(RunFaxline("--receiver '555:" + dir.File("in") + ":ecm=2'", err), 2);
  EXPECT_NE(err.find("bad value in option 'ecm=2'"), std::string::npos) << err;
  EXPECT_EQ(RunFaxline("--modem " + dir.File("m") + "=100 --noise 5", err), 2);
  EXPECT_NE(err.find("bad value for --noise: '5'"), std::string::npos) << err;
  EXPECT_EQ(RunFaxline("--help", err), 0);
}

}  // namespace
}  // namespace faxline
