// The single-instance guard: a second guard on the same lock sees the first; a lock file that
// cannot be made does not stop the program.
#include "platform/SingleInstance.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace qvr {
namespace {

TEST(SingleInstance, SecondGuardSeesTheFirstUntilItEnds) {
  test::TempDir dir;
  const auto lock = dir / "hZLQVR";
  {
    SingleInstance first(lock);
    EXPECT_TRUE(first.Acquired());
    EXPECT_FALSE(first.OtherInstanceRunning());
    SingleInstance second(lock);
    EXPECT_FALSE(second.Acquired());
    EXPECT_TRUE(second.OtherInstanceRunning());
  }
  SingleInstance after(lock);
  EXPECT_TRUE(after.Acquired());
}

TEST(SingleInstance, UnusableLockFileDoesNotStopTheProgram) {
  test::TempDir dir;
  SingleInstance guard(dir / "missing-folder" / "hZLQVR");
  EXPECT_FALSE(guard.Acquired());
  EXPECT_FALSE(guard.OtherInstanceRunning());
}

}  // namespace
}  // namespace qvr
