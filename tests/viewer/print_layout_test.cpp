// Header and footer macros, where pages go on a sheet, and the sizes pages
// are printed at.
#include <gtest/gtest.h>

#include "viewer/print_layout.h"

namespace tlm {
namespace {

TEST(PrintMacros, ExpandAsTheFooterAndHeaderUseThem) {
  EXPECT_EQ(ExpandPrintMacros("Page: $P of $N", 2, 3, "f.apf"), "Page: 2 of 3");
  EXPECT_EQ(ExpandPrintMacros("FILE: $f", 1, 1, "/r/FAX1.APF"), "FILE: /r/FAX1.APF");
  EXPECT_EQ(ExpandPrintMacros("$X", 1, 1, "f"), "");  // an unknown macro prints nothing
  EXPECT_EQ(ExpandPrintMacros("$P, next", 7, 9, "f"), "7 next");  // the comma belongs to the macro
  EXPECT_EQ(ExpandPrintMacros("cost $", 1, 1, "f"), "cost ");
  // A "$" brought in by a file name is printed, not expanded again.
  EXPECT_EQ(ExpandPrintMacros("$F $N", 1, 4, "a$Pb"), "a$Pb 4");
  EXPECT_FALSE(ExpandPrintMacros("$D", 1, 1, "f").isEmpty());
  EXPECT_FALSE(ExpandPrintMacros("$T", 1, 1, "f").isEmpty());
}

TEST(PrintPlacement, FourToASheetInPortraitTwoInLandscape) {
  const QRect sheet(0, 0, 1000, 1400);
  EXPECT_EQ(PageArea(sheet, 0, false, false), QRect(2, 2, 996, 1396));
  EXPECT_EQ(PageArea(sheet, 0, true, false), QRect(2, 2, 496, 696));      // top left
  EXPECT_EQ(PageArea(sheet, 1, true, false), QRect(502, 2, 496, 696));    // top right
  EXPECT_EQ(PageArea(sheet, 2, true, false), QRect(2, 702, 496, 696));    // bottom left
  EXPECT_EQ(PageArea(sheet, 3, true, false), QRect(502, 702, 496, 696));  // bottom right
  EXPECT_EQ(PageArea(sheet, 4, true, false), QRect(2, 2, 496, 696));
  const QRect wide(0, 0, 1400, 1000);
  EXPECT_EQ(PageArea(wide, 0, true, true), QRect(2, 2, 696, 996));
  EXPECT_EQ(PageArea(wide, 1, true, true), QRect(702, 2, 696, 996));
  EXPECT_EQ(PageArea(wide, 2, true, true), QRect(2, 2, 696, 996));

  // Pages 1..6 four a sheet: sheets start at the first and the fifth.
  std::vector<int> starts;
  for (int i = 0; i < 6; ++i) if (StartsSheet(i, true, false)) starts.push_back(i);
  EXPECT_EQ(starts, std::vector<int>({4}));
  EXPECT_TRUE(StartsSheet(2, true, true));
  EXPECT_TRUE(StartsSheet(1, false, false));
  EXPECT_FALSE(StartsSheet(0, false, false));
}

TEST(PrintScaling, FitToPageKeepsThePagesProportions) {
  // A fine letter page (1728 × 2200) on a tall area: 93% of the width, the
  // height in proportion (lines a little taller than pixels are wide).
  QSize s = FitToPageSize({1728, 2200}, 1728, {4000, 6000});
  EXPECT_EQ(s.width(), 3720);
  EXPECT_NEAR(double(s.height()) / s.width(), 2200.0 / 1728 * (1728.0 / 215 / 7.7), 0.002);
  // Too tall for the area: the height decides, the proportions stay.
  s = FitToPageSize({1728, 2200}, 1728, {4000, 2000});
  EXPECT_EQ(s.height(), 2000);
  EXPECT_NEAR(double(s.height()) / s.width(), 2200.0 / 1728 * (1728.0 / 215 / 7.7), 0.002);
  // A bitmap narrower than its page (white margin cut off) keeps its scale.
  EXPECT_EQ(FitToPageSize({864, 100}, 1728, {4000, 6000}).width(), 1860);
  EXPECT_TRUE(FitToPageSize({0, 0}, 1728, {100, 100}).isEmpty());

  int rows = 0;
  EXPECT_EQ(NaturalSize({1728, 2200}, 600, 600, 10000, rows), QSize(5184, 6600));
  EXPECT_EQ(rows, 2200);
  // Rows that pass the foot are left off, not squeezed.
  EXPECT_EQ(NaturalSize({1728, 2200}, 600, 600, 3000, rows), QSize(5184, 3000));
  EXPECT_EQ(rows, 1000);
}

}  // namespace
}  // namespace tlm
