#include "app/core/working_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/working_folder.h"
#include "support/temp_dir.h"

namespace tlm {
namespace {

// What a killed copy leaves in the data folder goes at the next start; the
// logs, settings, finished faxes and a working folder still in use stay.
TEST(WorkingFiles, LeftoversOfAKilledCopyAreRemovedAtStart) {
  testing::TempDir dir;
  const std::string f = dir.Folder();
  for (const char* name : {"Eraseme.rtf", "_TMP.BMP", "TLMAX2.APF", "TLMAX117.APF", "TLM.DBF", "TLM.INI",
                           "TLM_1.APF", "TLMAX.APF", "TLMAXa.APF", "notes.txt"}) {
    testing::WriteText(f + name, "x");
  }
  std::filesystem::create_directories(f + "receive");
  std::filesystem::create_directories(f + "tlmfax-render-Q1w2E3");
  testing::WriteText(f + "tlmfax-render-Q1w2E3/.owner", "");
  testing::WriteText(f + "tlmfax-render-Q1w2E3/TLMAX2.APF", "x");
  WorkingFolder inUse;
  ASSERT_TRUE(inUse.Create(f, kRenderFolderPrefix));

  EXPECT_EQ(RemoveStaleWorkingFiles(f), 5);
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(f)) left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  const std::string inUseName = std::filesystem::path(inUse.Path()).parent_path().filename().string();
  std::vector<std::string> expected = {"TLM.DBF",    "TLM.INI",   "TLMAX.APF", "TLMAXa.APF",
                                       "TLM_1.APF",  "notes.txt", "receive",   inUseName};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(left, expected);
  inUse.Remove();
  EXPECT_FALSE(std::filesystem::exists(f + inUseName));
}

}  // namespace
}  // namespace tlm
