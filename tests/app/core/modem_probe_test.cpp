// The probe routines against a modem played on a pseudo-terminal.
#include "app/core/modem_probe.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "comm/com_port.h"
#include "comm/pty_pair.h"
#include "support/temp_dir.h"

namespace tlm::testing {
namespace {

// Answers each command line with what `reply` returns ("" = silence) and
// records the lines.
class PlayedModem {
 public:
  explicit PlayedModem(std::function<std::string(const std::string&)> reply) : reply_(std::move(reply)) {
    port.SetPromptForPort(false);
    port.SetDeviceName(pty_.SlavePath());
    thread_ = std::thread([this] {
      std::string line;
      while (!stop_) {
        const std::string got = pty_.Read(1, 20);
        if (got.empty()) continue;
        if (got[0] != '\r') {
          line += got;
          continue;
        }
        {
          std::lock_guard<std::mutex> lock(mutex_);
          lines_.push_back(line);
        }
        const std::string answer = reply_(line);
        if (!answer.empty()) pty_.Write("\r\n" + answer + "\r\n");
        line.clear();
      }
    });
  }
  ~PlayedModem() {
    stop_ = true;
    thread_.join();
  }
  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }

  TKvComPort port;

 private:
  PtyPair pty_;
  std::function<std::string(const std::string&)> reply_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

TEST(ModemProbe, CommandForms) {
  PlayedModem modem([](const std::string&) { return "OK"; });
  std::string message;
  ASSERT_TRUE(OpenPort(modem.port, message)) << message;
  EXPECT_TRUE(message.empty());
  EXPECT_TRUE(SendModemCommand(modem.port, "&F"));
  EXPECT_TRUE(SendModemCommand(modem.port, "at&f"));
  EXPECT_TRUE(SendModemCommand(modem.port, "S0=0"));
  EXPECT_TRUE(ResetModem(modem.port));
  EXPECT_EQ(modem.Lines(), (std::vector<std::string>{"AT&F", "at&f", "ATS0=0", "AT&F"}));
}

TEST(ModemProbe, LowerCaseOkPassesEveryProbe) {
  PlayedModem modem([](const std::string&) { return "ok"; });
  std::string message;
  ASSERT_TRUE(OpenPort(modem.port, message));
  EXPECT_TRUE(ResetModem(modem.port));
  EXPECT_TRUE(SendModemCommand(modem.port, "Z"));
  EXPECT_TRUE(ProbeModem(modem.port, ""));
}

TEST(ModemProbe, SilentModem) {
  PlayedModem modem([](const std::string&) { return ""; });
  std::string message;
  ASSERT_TRUE(OpenPort(modem.port, message));
  int pumped = 0;
  EXPECT_FALSE(ProbeModem(modem.port, "   ", [&] { ++pumped; }));
  EXPECT_GT(pumped, 0);
  EXPECT_FALSE(ResetModem(modem.port));
  EXPECT_FALSE(SendModemCommand(modem.port, "AT"));
  // A blank reset string: one unanswered "AT" and nothing more.
  EXPECT_EQ(modem.Lines().front(), "AT");
  EXPECT_EQ(modem.Lines().size(), 3u);
}

TEST(ModemProbe, ResetStringRescuesTheProbe) {
  PlayedModem modem([](const std::string& line) { return line == " ATZ " ? "OK" : ""; });
  std::string message;
  ASSERT_TRUE(OpenPort(modem.port, message));
  EXPECT_TRUE(ProbeModem(modem.port, " ATZ "));
  EXPECT_EQ(modem.Lines(), (std::vector<std::string>{"AT", " ATZ "}));
}

TEST(ModemProbe, OpenFailureMessages) {
  TempDir dir;
  TKvComPort missing;
  missing.SetPromptForPort(false);
  missing.SetComNumber(7);
  missing.SetDeviceName(dir.File("no-such-device"));
  std::string message;
  EXPECT_FALSE(OpenPort(missing, message));
  EXPECT_EQ(message.rfind("Unable to open the specified communications port ( Com7 )", 0), 0u) << message;

  PtyPair pty;
  TKvComPort first, second;
  for (TKvComPort* p : {&first, &second}) {
    p->SetPromptForPort(false);
    p->SetComNumber(3);
    p->SetDeviceName(pty.SlavePath());
  }
  ASSERT_TRUE(OpenPort(first, message));
  EXPECT_FALSE(OpenPort(second, message));
  EXPECT_EQ(message,
            "The communications port is in use ( Com 3 )\r\n\r\nPlease make sure that all communication programs "
            "(internet, AOL, etc) are closed, and then try again.");

  TKvComPort folder;
  folder.SetPromptForPort(false);
  folder.SetComNumber(4);
  folder.SetDeviceName(dir.Folder());
  EXPECT_FALSE(OpenPort(folder, message));
  EXPECT_EQ(message.rfind("Unable to open the specified communications port ( Com4 )\r\nError message: ", 0), 0u)
      << message;
}

}  // namespace
}  // namespace tlm::testing
