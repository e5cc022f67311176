#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/com_ports.h"
#include "platform/data_folder.h"
#include "platform/file_util.h"
#include "platform/os_error.h"
#include "platform/profile_file.h"
#include "support/temp_dir.h"

namespace tlm {
namespace {

using testing::TempDir;
using testing::WriteText;

TEST(ComPorts, DefaultsCoverSerialAcmAndUsbDevices) {
  EXPECT_EQ(DefaultComDevice(1), "/dev/ttyS0");
  EXPECT_EQ(DefaultComDevice(4), "/dev/ttyS3");
  EXPECT_EQ(DefaultComDevice(5), "/dev/ttyACM0");
  EXPECT_EQ(DefaultComDevice(8), "/dev/ttyACM3");
  EXPECT_EQ(DefaultComDevice(9), "/dev/ttyUSB0");
  EXPECT_EQ(DefaultComDevice(12), "/dev/ttyUSB3");
  EXPECT_EQ(DefaultComDevice(13), "");
  EXPECT_EQ(DefaultComDevice(0), "");
}

TEST(ComPorts, PortsSectionOverridesTheDefaults) {
  TempDir dir;
  WriteText(dir.File("TLM.INI"), "[ports]\ncom2=/tmp/line/modemA\nCOM20=/dev/ttyUSB7\n");
  ProfileFile ini(dir.File("TLM.INI"));
  EXPECT_EQ(ComDevicePath(2, ini), "/tmp/line/modemA");
  EXPECT_EQ(ComDevicePath(20, ini), "/dev/ttyUSB7");
  EXPECT_EQ(ComDevicePath(1, ini), "/dev/ttyS0");
  EXPECT_EQ(ComDevicePath(30, ini), "");
  EXPECT_EQ(ComPortDisplayName(2, "/tmp/line/modemA"), "COM2 (/tmp/line/modemA)");
}

TEST(DataFolder, TolmeraHomeWinsAndEndsInASlash) {
  TempDir dir;
  const std::string home = dir.Folder() + "data";
  ::setenv("TOLMERA_HOME", home.c_str(), 1);
  EXPECT_EQ(DataFolder(), home + "/");
  EXPECT_TRUE(DirectoryExists(home));
  ::setenv("TOLMERA_HOME", (home + "//").c_str(), 1);
  EXPECT_EQ(DataFolder(), home + "/");
  ::unsetenv("TOLMERA_HOME");
  const std::string folder = DataFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
}

TEST(FileUtil, FolderHelpers) {
  EXPECT_EQ(FolderOf("/a/b/c.txt"), "/a/b/");
  EXPECT_EQ(FolderOf("c.txt"), "");
  EXPECT_EQ(WithTrailingSlash("/a/b"), "/a/b/");
  EXPECT_EQ(WithTrailingSlash("/a/b/"), "/a/b/");
  EXPECT_EQ(AbsolutePath("/x"), "/x");
  EXPECT_EQ(AbsolutePath("x").front(), '/');
  EXPECT_EQ(OsErrorText(ENOENT), "No such file or directory");
}

}  // namespace
}  // namespace tlm
