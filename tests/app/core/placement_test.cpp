#include "app/core/placement.h"

#include <gtest/gtest.h>

#include "platform/profile_file.h"
#include "support/temp_dir.h"

namespace tlm {
namespace {

using testing::TempDir;
using testing::WriteText;

TEST(Placement, SectionNameCarriesTheDensityAbove96) {
  EXPECT_EQ(PlacementSection("TMainScreen", 96), "TMainScreen_Placement");
  EXPECT_EQ(PlacementSection("TMainScreen", 72), "TMainScreen_Placement");
  EXPECT_EQ(PlacementSection("TFaxViewer", 120), "TFaxViewer_Placement120");
}

TEST(Placement, AWideRectangleIsPulledBackOnScreenKeepingItsSize) {
  TempDir dir;
  WriteText(dir.File("TLM.INI"),
            "[TMainScreen_Placement]\nLeft=100\nTop=50\nRight=1300\nBottom=850\nMaximized=0\n");
  ProfileFile ini(dir.File("TLM.INI"));
  const RestoredPlacement p = ComputeRestoredPlacement(ini, "TMainScreen", 96, 1024, 768, false);
  ASSERT_FALSE(p.center);
  EXPECT_EQ(p.rect, (Rect{-176, -32, 1024, 768}));
  EXPECT_EQ(p.rect.Width(), 1200);
  EXPECT_EQ(p.rect.Height(), 800);
  EXPECT_FALSE(p.maximized);
}

TEST(Placement, EachDensityKeepsItsOwnSection) {
  TempDir dir;
  WriteText(dir.File("TLM.INI"),
            "[TFaxViewer_Placement]\nLeft=1\nTop=1\nRight=101\nBottom=101\nMaximized=1\n"
            "[TFaxViewer_Placement120]\nLeft=5\nTop=6\nRight=505\nBottom=406\n");
  ProfileFile ini(dir.File("TLM.INI"));
  const RestoredPlacement p = ComputeRestoredPlacement(ini, "TFaxViewer", 120, 1920, 1080, false);
  EXPECT_EQ(p.rect, (Rect{5, 6, 505, 406}));
  EXPECT_FALSE(p.maximized);  // the 96 section's Maximized=1 is not read

  WritePlacement(ini, "TFaxViewer", 120, Rect{7, 8, 9, 10}, true);
  EXPECT_EQ(ini.Value("TFaxViewer_Placement120", "Left"), "7");
  EXPECT_EQ(ini.Value("TFaxViewer_Placement120", "Maximized"), "1");
  EXPECT_EQ(ini.Value("TFaxViewer_Placement", "Left"), "1");
}

TEST(Placement, NoStoredBottomMeansCentreAndMaximisedDefaultsToTheCurrentState) {
  TempDir dir;
  ProfileFile ini(dir.File("TLM.INI"));
  const RestoredPlacement p = ComputeRestoredPlacement(ini, "TMainScreen", 96, 1024, 768, true);
  EXPECT_TRUE(p.center);
  EXPECT_TRUE(p.maximized);
}

TEST(Placement, CentringRoundsTowardZero) {
  const Rect screen{0, 0, 1025, 769};
  EXPECT_EQ(CenterWindowRect(400, 300, true, screen, {}, false), (Rect{312, 234, 712, 534}));
  const Rect main{100, 100, 601, 401};
  EXPECT_EQ(CenterWindowRect(200, 100, false, screen, main, false), (Rect{250, 200, 450, 300}));
  // A dialog larger than the main window sits left of and above it.
  EXPECT_EQ(CenterWindowRect(503, 303, false, screen, main, false), (Rect{99, 99, 602, 402}));
  EXPECT_EQ(CenterIn(Rect{0, 0, 10, 10}, 13, 13), (Rect{-1, -1, 12, 12}));
  // Over a maximised main window a dialog centres on the screen.
  EXPECT_EQ(CenterWindowRect(400, 300, false, screen, main, true), (Rect{312, 234, 712, 534}));
}

}  // namespace
}  // namespace tlm
