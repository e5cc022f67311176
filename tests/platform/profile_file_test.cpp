#include "platform/profile_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/temp_dir.h"

namespace tlm {
namespace {

using testing::ReadText;
using testing::TempDir;
using testing::WriteText;

TEST(ProfileFile, MissingFileGivesDefaults) {
  TempDir dir;
  ProfileFile ini(dir.File("none.ini"));
  EXPECT_EQ(ini.ReadString("A", "b", "dflt"), "dflt");
  EXPECT_EQ(ini.ReadInteger("A", "b", 7), 7);
  EXPECT_TRUE(ini.ReadBool("A", "b", true));
  EXPECT_FALSE(ini.HasSection("A"));
}

TEST(ProfileFile, SectionsAndKeysIgnoreLetterCase) {
  TempDir dir;
  WriteText(dir.File("t.ini"), "[Modem]\r\nComPort = 3\r\n[dialing]\nDialPrefix=9,\n");
  ProfileFile ini(dir.File("t.ini"));
  EXPECT_EQ(ini.ReadInteger("MODEM", "comport", -1), 3);
  EXPECT_EQ(ini.ReadString("Dialing", "DIALPREFIX", ""), "9,");
}

TEST(ProfileFile, IntegerParsingRules) {
  EXPECT_EQ(ProfileFile::ParseInteger("0x3840"), 14400);
  EXPECT_EQ(ProfileFile::ParseInteger("0X3840"), 14400);
  EXPECT_EQ(ProfileFile::ParseInteger("-1"), -1);
  EXPECT_EQ(ProfileFile::ParseInteger(" 42 "), 42);
  EXPECT_EQ(ProfileFile::ParseInteger("0xFFFFFFFF"), -1);
  EXPECT_EQ(ProfileFile::ParseInteger("0x"), std::nullopt);  // too short for hex, not decimal
  EXPECT_EQ(ProfileFile::ParseInteger("0"), 0);
  EXPECT_EQ(ProfileFile::ParseInteger("12abc"), std::nullopt);
  EXPECT_EQ(ProfileFile::ParseInteger(""), std::nullopt);
  EXPECT_EQ(ProfileFile::ParseInteger("0x1G"), std::nullopt);
  EXPECT_EQ(ProfileFile::ParseInteger("99999999999"), std::nullopt);

  TempDir dir;
  WriteText(dir.File("t.ini"), "[S]\nbad=nine\nhex=0x10\nflag=2\nzero=0\n");
  ProfileFile ini(dir.File("t.ini"));
  EXPECT_EQ(ini.ReadInteger("S", "bad", 9600), 9600);
  EXPECT_EQ(ini.ReadInteger("S", "hex", 0), 16);
  EXPECT_TRUE(ini.ReadBool("S", "flag", false));
  EXPECT_FALSE(ini.ReadBool("S", "zero", true));
  EXPECT_TRUE(ini.ReadBool("S", "bad", true));  // unparsable: the default
}

TEST(ProfileFile, LongValuesAreCutTo1023Characters) {
  TempDir dir;
  WriteText(dir.File("t.ini"), "[S]\nlong=" + std::string(5000, 'x') + "\n");
  ProfileFile ini(dir.File("t.ini"));
  EXPECT_EQ(ini.ReadString("S", "long", "").size(), 1023u);
}

TEST(ProfileFile, SaveKeepsWhatTheProgramDoesNotKnow) {
  TempDir dir;
  const std::string original =
      "; written by hand\n"
      "[Ports]\n"
      "COM1=/dev/ttyUSB0\n"
      "\n"
      "[Modem]\n"
      "# the port\n"
      "comport=2\n"
      "Vendor=acme\n"
      "\n"
      "[Other]\n"
      "x=y\n";
  WriteText(dir.File("t.ini"), original);
  ProfileFile ini(dir.File("t.ini"));
  ini.WriteInteger("Modem", "ComPort", 4);
  ini.WriteString("Modem", "InitString", "ATZ");
  ini.WriteString("New Section", "Key", "v");
  ini.Save();
  EXPECT_EQ(ReadText(dir.File("t.ini")),
            "; written by hand\n"
            "[Ports]\n"
            "COM1=/dev/ttyUSB0\n"
            "\n"
            "[Modem]\n"
            "# the port\n"
            "comport=4\n"
            "Vendor=acme\n"
            "InitString=ATZ\n"
            "\n"
            "[Other]\n"
            "x=y\n"
            "\n"
            "[New Section]\n"
            "Key=v\n");
}

TEST(ProfileFile, ValuesStayOnOneLine) {
  TempDir dir;
  ProfileFile ini(dir.File("t.ini"));
  ini.WriteString("S", "k", "two\nlines");
  ini.Save();
  ProfileFile again(dir.File("t.ini"));
  EXPECT_EQ(again.ReadString("S", "k", ""), "two lines");
  EXPECT_EQ(again.KeyNames("S").size(), 1u);
}

// The message of a refused save, or "" when the save went through.
std::string SaveError(const ProfileFile& ini) {
  try {
    ini.Save();
  } catch (const ProfileWriteError& e) {
    return e.what();
  }
  return {};
}

TEST(ProfileFile, AFullDiskKeepsTheOldFileWhole) {
  TempDir dir;
  const std::string path = dir.File("t.ini");
  WriteText(path, "[S]\nk=old\n");
  // A file size limit makes every write beyond 16 bytes fail, as a full
  // disk does, even for root.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{16, 16};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ProfileFile ini(path);
    ini.WriteString("S", "k", std::string(200, 'n'));
    ::_exit(SaveError(ini) == "Unable to write to " + path ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the save was not refused with the file's full path";
  EXPECT_EQ(ReadText(path), "[S]\nk=old\n");
  // No temporary file is left behind.
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.Folder())) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1);
}

TEST(ProfileFile, RefusedWriteIntoAMissingFolder) {
  TempDir dir;
  ProfileFile ini(dir.File("no/such/folder/t.ini"));
  ini.WriteString("S", "k", "v");
  EXPECT_EQ(SaveError(ini), "Unable to write to " + dir.File("no/such/folder/t.ini"));
  // A relative path is reported in full.
  ProfileFile relative("no-such-folder-here/TLM.INI");
  relative.WriteString("S", "k", "v");
  EXPECT_EQ(SaveError(relative).rfind("Unable to write to /", 0), 0u);
}

TEST(ProfileFile, SaveKeepsThePermissionsOfTheOldFile) {
  TempDir dir;
  WriteText(dir.File("t.ini"), "[S]\n");
  ASSERT_EQ(::chmod(dir.File("t.ini").c_str(), 0640), 0);
  ProfileFile ini(dir.File("t.ini"));
  ini.WriteString("S", "k", "v");
  ini.Save();
  struct stat st {};
  ASSERT_EQ(::stat(dir.File("t.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

}  // namespace
}  // namespace tlm
