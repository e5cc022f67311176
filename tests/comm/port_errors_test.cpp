// Error codes and texts of opening ports, and the port chooser's list.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <cstring>
#include <unistd.h>

#include "comm/com_port.h"
#include "comm/comm_types.h"
#include "comm/port_chooser.h"
#include "comm/posix_serial.h"
#include "support/temp_dir.h"
#include "comm/pty_pair.h"

namespace tlm {
namespace {

using testing::PtyPair;

// The exception of opening `device`, or a failure.
EComError OpenError(const std::string& device) {
  TKvComPort port;
  port.SetDeviceName(device);
  try {
    port.SetOpen(true);
  } catch (const EComError& e) {
    return e;
  }
  ADD_FAILURE() << device << " opened";
  return EComError(0, "");
}

TEST(PortErrors, MissingNotATerminalAndDirectory) {
  testing::TempDir dir;
  EComError missing = OpenError(dir.File("ttyNONE"));
  EXPECT_EQ(missing.Code(), -2001);
  EXPECT_EQ(std::string(missing.what()).rfind("ie_BadId - Specified comport doesn't exist", 0), 0u);

  testing::WriteText(dir.File("plain.txt"), "text");
  EComError file = OpenError(dir.File("plain.txt"));
  EXPECT_EQ(file.Code(), -ENOTTY);
  EXPECT_NE(std::string(file.what()).find("is not a serial device"), std::string::npos) << file.what();

  EComError folder = OpenError(dir.Folder());
  EXPECT_EQ(folder.Code(), -EISDIR);
  EXPECT_NE(std::string(folder.what()).find(std::strerror(EISDIR)), std::string::npos) << folder.what();
}

TEST(PortErrors, ABusyDeviceIsRefused) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  // Held by another process.
  int ready[2], release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = OpenSerialDevice(pty.SlavePath());
    const char ok = fd >= 0 ? 'y' : 'n';
    [[maybe_unused]] auto w = ::write(ready[1], &ok, 1);
    char c;
    [[maybe_unused]] auto r = ::read(release[0], &c, 1);
    ::_exit(0);
  }
  char ok = 0;
  ASSERT_EQ(::read(ready[0], &ok, 1), 1);
  ASSERT_EQ(ok, 'y');
  EComError busy = OpenError(pty.SlavePath());
  EXPECT_EQ(busy.Code(), -2005);
  EXPECT_EQ(std::string(busy.what()).rfind("ie_Hardware - Specified comport in use", 0), 0u);
  ASSERT_EQ(::write(release[1], "x", 1), 1);
  ::waitpid(child, nullptr, 0);
  for (int fd : {ready[0], ready[1], release[0], release[1]}) ::close(fd);

  // Held by another port of this process.
  TKvComPort first;
  first.SetDeviceName(pty.SlavePath());
  first.SetOpen(true);
  EComError again = OpenError(pty.SlavePath());
  EXPECT_EQ(again.Code(), -2008);
  EXPECT_EQ(std::string(again.what()).rfind("ie_Open - device already open", 0), 0u);
}

TEST(PortErrors, NoPortChosen) {
  TKvComPort port;
  port.SetPromptForPort(false);
  try {
    port.SetOpen(true);
    FAIL();
  } catch (const ENoPortSelected& e) {
    EXPECT_EQ(e.Code(), -2011);
    EXPECT_STREQ(e.what(), "The ComNumber property of the TKvComPort has not been set");
  }
  // The chooser is asked; cancelling is the same error, a choice opens.
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  testing::TempDir home;
  testing::WriteText(home.File("TLM.INI"), "[Ports]\nCOM3=" + pty.SlavePath() + "\n");
  ::setenv("TOLMERA_HOME", home.Folder().c_str(), 1);
  int asked = 0;
  TKvCustomComPort::SetPortPrompt([&] { return asked++ == 0 ? 0 : 3; });
  port.SetPromptForPort(true);
  EXPECT_THROW(port.SetOpen(true), ENoPortSelected);
  port.SetOpen(true);
  EXPECT_EQ(port.ComNumber(), 3);
  EXPECT_TRUE(port.Open());
  TKvCustomComPort::SetPortPrompt({});
  ::unsetenv("TOLMERA_HOME");
}

TEST(PortErrors, OtherDeviceLayersAreNotBuilt) {
  TKvComPort port;
  port.SetDeviceLayer(dlFossil);
  port.SetDeviceName("/dev/null");
  try {
    port.SetOpen(true);
    FAIL();
  } catch (const EComError& e) {
    EXPECT_EQ(e.Code(), -3001);
  }
}

TEST(PortErrors, ADeviceTheUserMayNotOpenSaysWhichGroupIsMissing) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  ASSERT_EQ(::chmod(pty.SlavePath().c_str(), 0600), 0);
  // A user other than the device's owner tries it (root drops to nobody).
  int result[2];
  ASSERT_EQ(::pipe(result), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(1);
    const int fd = OpenSerialDevice(pty.SlavePath());
    const std::string text = std::to_string(fd) + "|" + OpenErrorDetail(fd, pty.SlavePath());
    [[maybe_unused]] auto w = ::write(result[1], text.data(), text.size());
    ::_exit(0);
  }
  ::close(result[1]);
  std::string text;
  char buffer[512];
  for (ssize_t n; (n = ::read(result[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
  ::close(result[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "could not change user";
  EXPECT_EQ(text.substr(0, text.find('|')), std::to_string(-EACCES)) << text;
  EXPECT_NE(text.find("add the user to the group \""), std::string::npos) << text;
}

TEST(PortErrors, PermissionProblemsNameTheGroup) {
  const std::string text = OpenErrorDetail(-EACCES, "/dev/ttyS0");
  EXPECT_NE(text.find("/dev/ttyS0"), std::string::npos);
  EXPECT_NE(text.find("group \""), std::string::npos) << text;
  // Where the device exists its own group is named (dialout on Debian).
  EXPECT_NE(OpenErrorDetail(-EACCES, "/nonexistent").find("\"dialout\""), std::string::npos);
}

TEST(PortChooser, ListsPortsThatOpenOrAreBusy) {
  PtyPair free, held;
  ASSERT_TRUE(free.Ok() && held.Ok());
  TKvComPort holder;
  holder.SetDeviceName(held.SlavePath());
  holder.SetOpen(true);
  testing::TempDir dir;
  testing::WriteText(dir.File("file"), "");
  const auto ports = UsableComPorts([&](int n) -> std::string {
    switch (n) {
      case 2: return free.SlavePath();
      case 5: return held.SlavePath();
      case 6: return dir.File("file");     // not a serial device
      case 7: return dir.File("missing");  // absent
      default: return {};
    }
  });
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0].number, 2);
  EXPECT_FALSE(ports[0].busy);
  EXPECT_EQ(ports[1].number, 5);
  EXPECT_TRUE(ports[1].busy);
}

}  // namespace
}  // namespace tlm
