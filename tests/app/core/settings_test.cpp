#include "app/core/settings.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <sstream>

#include "platform/profile_file.h"
#include "support/temp_dir.h"

namespace tlm {
namespace {

using testing::ReadText;
using testing::TempDir;
using testing::WriteText;

// The keys of a saved file, as "Section/Key", in file order.
std::vector<std::string> KeysInOrder(const std::string& text) {
  std::vector<std::string> keys;
  std::istringstream in(text);
  std::string line, section;
  while (std::getline(in, line)) {
    if (!line.empty() && line.front() == '[') {
      section = line.substr(1, line.find(']') - 1);
    } else if (auto eq = line.find('='); eq != std::string::npos) {
      keys.push_back(section + "/" + line.substr(0, eq));
    }
  }
  return keys;
}

TEST(Settings, FirstStartGivesTheDefaultsAndWritesEveryKeyInOrder) {
  TempDir dir;
  const std::string path = dir.File("TLM.INI");
  Settings s = LoadSettingsFile(path);
  EXPECT_TRUE(ApplyFirstStartRule(s));
  EXPECT_EQ(s.comPort, 0);
  EXPECT_EQ(s.faxClass, 1);
  EXPECT_EQ(s.maximumBps, 9600);
  EXPECT_EQ(s.dialAttempts, 3);
  EXPECT_EQ(s.retryWait, 60);
  EXPECT_EQ(s.answerOnRing, 1);
  EXPECT_TRUE(s.hintsOn);
  EXPECT_EQ(s.fontName, "Arial");
  EXPECT_EQ(s.fontSize, 10);
  EXPECT_EQ(s.printOnReceiptPrinter, "Default Windows Printer");
  EXPECT_FALSE(ApplyFirstStartRule(s));

  SaveSettingsFile(path, s);
  // Sections appear in the order of their first key; keys keep their order
  // inside each section.
  const std::vector<std::string> expected = {
      "Receive/Wav", "Receive/AtStartup", "Receive/AnswerOnRing", "Receive/ECMReceive",
      "Receive/PrintOnReceipt", "Receive/PrintOnReceiptPrinter",
      "User/Fax", "User/Name", "User/PrefixDisable", "User/SuffixDisable",
      "Dialing/DialPrefix", "Dialing/DialSuffix", "Dialing/DialAttempts", "Dialing/RetryWait",
      "Dialing/BlindDial", "Dialing/IgnoreBusy", "Dialing/ToneOrPulse", "Dialing/Timeout", "Dialing/ECM",
      "Modem/InitString", "Modem/ComPort", "Modem/FaxClass", "Modem/InitStringReceive",
      "Modem/FaxClassReceive", "Modem/MaximumBPSReceive", "Modem/MaximumBPS", "Modem/RenegotiateBetween",
      "Default Font/Name", "Default Font/Size", "Default Font/Bold", "Default Font/Italic",
      "Default Font/Underline",
      "Resetting/String", "Resetting/AfterString",
      "Hints/On",
      "Version/Version"};
  const std::string text = ReadText(path);
  EXPECT_EQ(KeysInOrder(text), expected);
  ProfileFile ini(path);
  EXPECT_EQ(ini.ReadInteger("Modem", "ComPort", -1), 0);
  EXPECT_EQ(ini.ReadString("Version", "Version", ""), "2.9q");
  EXPECT_EQ(ini.SectionNames().back(), "Version");
}

TEST(Settings, HexadecimalAndBooleanValues) {
  TempDir dir;
  const std::string path = dir.File("TLM.INI");
  WriteText(path, "[Modem]\nMaximumBPS=0x3840\n[Receive]\nAtStartup=2\n");
  Settings s = LoadSettingsFile(path);
  EXPECT_EQ(s.maximumBps, 14400);
  EXPECT_EQ(s.maximumBpsReceive, 14400);
  EXPECT_TRUE(s.atStartup);
  SaveSettingsFile(path, s);
  ProfileFile ini(path);
  EXPECT_EQ(ini.Value("Receive", "AtStartup"), "1");
  EXPECT_EQ(ini.Value("Modem", "MaximumBPS"), "14400");
}

TEST(Settings, ReceiveKeysDefaultToTheirSendingCounterparts) {
  TempDir dir;
  const std::string path = dir.File("TLM.INI");
  WriteText(path, "[Dialing]\nECM=1\n[Modem]\nInitString=AT&F\nFaxClass=3\nMaximumBPS=4800\n");
  Settings s = LoadSettingsFile(path);
  EXPECT_TRUE(s.ecmReceive);
  EXPECT_EQ(s.initStringReceive, "AT&F");
  EXPECT_EQ(s.faxClassReceive, 3);
  EXPECT_EQ(s.maximumBpsReceive, 4800);
  SaveSettingsFile(path, s);
  ProfileFile ini(path);
  EXPECT_EQ(ini.Value("Dialing", "ECM"), "1");
  EXPECT_EQ(ini.Value("Receive", "ECMReceive"), "1");

  // Once present, the receive keys stand on their own.
  WriteText(path, "[Dialing]\nECM=1\n[Receive]\nECMReceive=0\n");
  EXPECT_FALSE(LoadSettingsFile(path).ecmReceive);
}

TEST(Settings, UnparsableNumbersTakeTheirDefaults) {
  TempDir dir;
  const std::string path = dir.File("TLM.INI");
  WriteText(path, "[Dialing]\nDialAttempts=three\n[Modem]\nComPort=\n");
  Settings s = LoadSettingsFile(path);
  EXPECT_EQ(s.dialAttempts, 3);
  EXPECT_EQ(s.comPort, -1);
}

TEST(Settings, SaveKeepsUnknownSectionsKeysAndComments) {
  TempDir dir;
  const std::string path = dir.File("TLM.INI");
  WriteText(path,
            "; my modem setup\n[Ports]\nCOM1=/tmp/modemA\n\n[Modem]\nComPort=0\nVendorNote=keep me\n\n"
            "[TMainScreen_Placement]\nLeft=1\nTop=2\nRight=300\nBottom=400\nMaximized=0\n");
  Settings s = LoadSettingsFile(path);
  s.comPort = 1;
  SaveSettingsFile(path, s);
  const std::string text = ReadText(path);
  EXPECT_EQ(text.rfind("; my modem setup\n", 0), 0u);
  ProfileFile ini(path);
  EXPECT_EQ(ini.Value("Ports", "COM1"), "/tmp/modemA");
  EXPECT_EQ(ini.Value("Modem", "VendorNote"), "keep me");
  EXPECT_EQ(ini.Value("Modem", "ComPort"), "1");
  EXPECT_EQ(ini.Value("TMainScreen_Placement", "Right"), "300");
}

TEST(Settings, KillingTheProcessDuringSavesNeverLeavesAHalfFile) {
  TempDir dir;
  const std::string path = dir.File("TLM.INI");
  Settings s;
  s.userName = std::string(3000, 'n');  // a file large enough to take several writes
  SaveSettingsFile(path, s);
  std::mt19937 rng(12345);
  for (int round = 0; round < 300; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      Settings mine = s;
      for (int i = 0;; ++i) {
        mine.dialAttempts = i;
        mine.userFax = std::string(static_cast<std::size_t>(i % 97), '5');
        try {
          SaveSettingsFile(path, mine);
        } catch (...) {
          ::_exit(3);
        }
      }
    }
    ::usleep(std::uniform_int_distribution<useconds_t>(0, 3000)(rng));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the saver stopped by itself in round " << round;
    const std::string text = ReadText(path);
    ASSERT_FALSE(text.empty()) << "round " << round;
    ProfileFile ini(path);
    ASSERT_EQ(ini.Value("Version", "Version"), "2.9q") << "round " << round;
    ASSERT_EQ(ini.ReadString("User", "Name", ""), std::string(1023, 'n')) << "round " << round;
  }
}

}  // namespace
}  // namespace tlm
