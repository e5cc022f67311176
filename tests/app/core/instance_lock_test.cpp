#include "app/core/instance_lock.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace tlm {
namespace {

TEST(InstanceLock, TheSecondHolderOfTheSameNameFindsTheFirstUntilItIsReleased) {
  testing::TempDir dir;
  auto first = std::make_unique<InstanceLock>(dir.Folder(), "tolmera");
  EXPECT_FALSE(first->AnotherInstance());
  EXPECT_EQ(first->Path(), dir.Folder() + "tolmera.lock");
  {
    InstanceLock second(dir.Folder(), "tolmera");
    EXPECT_TRUE(second.AnotherInstance());
    InstanceLock otherName(dir.Folder(), "tolmera2");
    EXPECT_FALSE(otherName.AnotherInstance());
  }
  first.reset();
  InstanceLock later(dir.Folder(), "tolmera");
  EXPECT_FALSE(later.AnotherInstance());
}

TEST(InstanceLock, AFolderThatCannotHoldTheFileMeansNoOtherInstance) {
  InstanceLock lock("/nonexistent-folder/", "tolmera");
  EXPECT_FALSE(lock.AnotherInstance());
}

TEST(InstanceLock, BaseNameDropsAnUpperCaseExeOnly) {
  EXPECT_EQ(ProgramBaseName("TLM.EXE"), "TLM");
  EXPECT_EQ(ProgramBaseName("tlm.exe"), "tlm.exe");
  EXPECT_EQ(ProgramBaseName("tolmera"), "tolmera");
}

}  // namespace
}  // namespace tlm
