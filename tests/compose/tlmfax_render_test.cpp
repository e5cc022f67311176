// tlmfax render: the same assembly from the command line, without a window.
#include <gtest/gtest.h>

#include <array>
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

}  // namespace
}  // namespace tlm
