// tlmfax render: the same assembly from the command line, without a window.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <thread>
#include <vector>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "faximage/apf_file.h"
#include "support/temp_dir.h"

namespace tlm {
namespace {

int RunTool(const std::string& command, std::string& out) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>&1").c_str(), "r"), pclose);
  std::array<char, 4096> buffer;
  size_t n;
  out.clear();
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0) out.append(buffer.data(), n);
  int status = pclose(pipe.release());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(TlmfaxRender, BuildsTheFaxAndPrintsItsPageCount) {
  testing::TempDir dir;
  const std::string rtf = std::string(TOLMERA_FIXTURES_DIR) + "/rtf/";
  const std::string tool = TLMFAX_PATH;
  std::string out;
  ASSERT_EQ(RunTool(tool + " render --cover " + rtf + "cover-libreoffice.rtf --doc " + rtf +
                    "letter-libreoffice.rtf " + dir.File("fax.APF"),
                out),
            0)
      << out;
  EXPECT_NE(out.find("3\n"), std::string::npos) << out;
  int pages = 0;
  ASSERT_EQ(ApfCountPages(dir.File("fax.APF"), pages), 0);
  EXPECT_EQ(pages, 3);  // the cover, then the letter's two pages
  size_t entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.Folder())) entries += e.exists();
  EXPECT_EQ(entries, 1u) << "no working files are left";

  EXPECT_EQ(RunTool(tool + " render --doc " + rtf + "memo-pandoc.rtf " + dir.File("memo.APF"), out), 0) << out;
  EXPECT_EQ(RunTool(tool + " render " + dir.File("none.APF"), out), 1);
  EXPECT_NE(out.find("Fax has no contents or cover sheet"), std::string::npos) << out;
  EXPECT_FALSE(std::filesystem::exists(dir.File("none.APF")));
  EXPECT_EQ(RunTool(tool + " render --doc " + dir.File("missing.rtf") + " " + dir.File("x.APF"), out), 1);
}

std::vector<std::string> RenderFolders(const std::string& folder) {
  std::vector<std::string> out;
  for (auto& e : std::filesystem::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    if (name.rfind("tlmfax-render-", 0) == 0) out.push_back(name);
  }
  return out;
}

// A document of `pages` pages of one line each.
std::string PagesRtf(int pages) {
  std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Serif;}}\\f0\\fs24 ";
  for (int i = 1; i <= pages; ++i) rtf += "Page " + std::to_string(i) + (i < pages ? "\\page " : "\\par ");
  return rtf + "}";
}

TEST(TlmfaxRender, AnInterruptedRenderLeavesNoWorkingFolder) {
  testing::TempDir dir;
  testing::WriteText(dir.File("long.rtf"), PagesRtf(400));
  for (int sig : {SIGTERM, SIGINT}) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      execl(TLMFAX_PATH, "tlmfax", "render", "--doc", dir.File("long.rtf").c_str(), dir.File("fax.APF").c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    // Stopped once some pages are on disk.
    bool pagesMade = false;
    for (int i = 0; i < 600 && !pagesMade; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      for (const std::string& f : RenderFolders(dir.Folder())) {
        pagesMade |= std::filesystem::exists(dir.File(f + "/TLMAX3.APF"));
      }
    }
    ASSERT_TRUE(pagesMade);
    kill(pid, sig);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << status;
    EXPECT_TRUE(RenderFolders(dir.Folder()).empty());
    EXPECT_FALSE(std::filesystem::exists(dir.File("fax.APF")));
  }
}

TEST(TlmfaxRender, FoldersOfRunsThatDiedAreRemoved) {
  testing::TempDir dir;
  // One left with its lock file, one that died before it had one.
  std::filesystem::create_directories(dir.File("tlmfax-render-Ab12Cd"));
  testing::WriteText(dir.File("tlmfax-render-Ab12Cd/.owner"), "");
  testing::WriteText(dir.File("tlmfax-render-Ab12Cd/TLMAX2.APF"), "page");
  std::filesystem::create_directories(dir.File("tlmfax-render-Xy34Zw"));
  std::filesystem::last_write_time(dir.File("tlmfax-render-Xy34Zw"),
                                   std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
  // Not a working folder of the tool.
  std::filesystem::create_directories(dir.File("tlmfax-render-notmine"));
  testing::WriteText(dir.File("doc.rtf"), PagesRtf(1));
  std::string out;
  ASSERT_EQ(RunTool(std::string(TLMFAX_PATH) + " render --doc " + dir.File("doc.rtf") + " " + dir.File("fax.APF"), out),
            0)
      << out;
  EXPECT_EQ(RenderFolders(dir.Folder()), std::vector<std::string>{"tlmfax-render-notmine"});
}

}  // namespace
}  // namespace tlm
