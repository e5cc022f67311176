// The program's command line: help, version, a fax file, Qt's own options.
#include <gtest/gtest.h>

#include "app/command_line.h"

namespace tlm {
namespace {

using Action = CommandLine::Action;

TEST(CommandLine, HelpAndVersionWinWhereverTheyStand) {
  EXPECT_EQ(ParseCommandLine({"--help"}).action, Action::Help);
  EXPECT_EQ(ParseCommandLine({"fax.apf", "-h"}).action, Action::Help);
  EXPECT_EQ(ParseCommandLine({"--version"}).action, Action::Version);
  EXPECT_EQ(ParseCommandLine({"-platform", "offscreen", "-V"}).action, Action::Version);
  EXPECT_NE(CommandLineHelp().find("Usage: tolmera [OPTION]... [FILE.APF]"), std::string::npos);
  EXPECT_EQ(CommandLineVersion(), std::string("tolmera (Tolmera) ") + ProgramVersion() + "\n");
}

TEST(CommandLine, AFaxFileIsOpenedAndQtOptionsAreLeftToQt) {
  const CommandLine plain = ParseCommandLine({});
  EXPECT_EQ(plain.action, Action::Run);
  EXPECT_TRUE(plain.faxFile.empty());

  const CommandLine withFile = ParseCommandLine({"-platform", "offscreen", "/tmp/FAX0001.APF", "-reverse"});
  EXPECT_EQ(withFile.action, Action::Run);
  EXPECT_EQ(withFile.faxFile, "/tmp/FAX0001.APF");

  // A value of a Qt option is not mistaken for a fax file.
  EXPECT_TRUE(ParseCommandLine({"--display", ":1"}).faxFile.empty());
}

TEST(CommandLine, MistakesAreReportedTheGnuWay) {
  const CommandLine unknown = ParseCommandLine({"--frobnicate"});
  EXPECT_EQ(unknown.action, Action::Error);
  EXPECT_EQ(unknown.error,
            "tolmera: unrecognized option '--frobnicate'\nTry 'tolmera --help' for more information.\n");
  // Of several files the first is shown.
  EXPECT_EQ(ParseCommandLine({"a.apf", "b.apf"}).faxFile, "a.apf");
}

}  // namespace
}  // namespace tlm
