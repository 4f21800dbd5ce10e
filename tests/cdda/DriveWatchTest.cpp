// The drive watch: without announcements the drives are searched at the first question, then at
// most once every nine seconds on its clock, however often the layer polls; watching a device
// folder, only after a node a drive may have came or went, which the watch's own thread passes
// on as it happens.
#include "cdda/DriveWatch.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>

#include "support/TempDir.h"

namespace qvr {
namespace {

using namespace std::chrono_literals;

TEST(DriveWatchTest, WithoutAnnouncementsSearchesAtMostEveryNineSeconds) {
  auto now = std::chrono::steady_clock::time_point{} + 1h;
  DriveWatch watch([&] { return now; }, {}, {.udev = false, .devices = {}});
  EXPECT_FALSE(watch.Announces());
  EXPECT_TRUE(watch.SearchDue());
  int searches = 0;
  // A poll a second for 30 s: searches at 9, 18 and 27 s.
  for (int second = 1; second <= 30; ++second) {
    now += 1s;
    if (watch.SearchDue()) ++searches;
  }
  EXPECT_EQ(searches, 3);
  now += 5999ms;  // 8.999 s after the last search
  EXPECT_FALSE(watch.SearchDue());
  now += 1ms;
  EXPECT_TRUE(watch.SearchDue());
}

TEST(DriveWatchTest, NodeNamesADriveMayHave) {
  for (auto [name, drive] : {std::pair{"sr0", true},
                             {"scd1", true},
                             {"cdrom", true},
                             {"cdrw", true},
                             {"dvd", true},
                             {"hdc", true},
                             {"sda", false},
                             {"nvme0n1", false},
                             {"tty0", false},
                             {"loop0", false}}) {
    EXPECT_EQ(DriveWatch::DriveNodeName(name), drive) << name;
  }
}

// A temporary folder stands in for /dev.
class FolderDriveWatchTest : public testing::Test {
 protected:
  void Start() {
    watch = std::make_unique<DriveWatch>([this] { return now; },
                                         [this] {
                                           std::lock_guard lock(mutex_);
                                           ++announced;
                                           changed_.notify_all();
                                         },
                                         DriveWatch::Sources{.udev = false, .devices = dir.Path()});
  }
  void Touch(const char* name) { test::WriteFile(dir / name, ""); }
  // Waits (at most `limit`) until `count` announcements have been passed on.
  bool AnnouncedTimes(int count, std::chrono::milliseconds limit = 5s) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return announced >= count; });
  }

  test::TempDir dir;
  std::chrono::steady_clock::time_point now = std::chrono::steady_clock::time_point{} + 1h;
  std::unique_ptr<DriveWatch> watch;
  int announced = 0;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
};

TEST_F(FolderDriveWatchTest, SearchesOnlyAfterADriveNodeCameOrWent) {
  Start();
  ASSERT_TRUE(watch->Announces());
  EXPECT_TRUE(watch->SearchDue());
  now += 1h;
  EXPECT_FALSE(watch->SearchDue());  // time alone brings no search
  Touch("tty7");                     // not a drive's name
  EXPECT_FALSE(AnnouncedTimes(1, 300ms));
  EXPECT_FALSE(watch->SearchDue());
  Touch("sr0");
  ASSERT_TRUE(AnnouncedTimes(1));
  EXPECT_TRUE(watch->SearchDue());
  EXPECT_FALSE(watch->SearchDue());  // once per announcement
  std::filesystem::remove(dir / "sr0");
  ASSERT_TRUE(AnnouncedTimes(2));
  EXPECT_TRUE(watch->SearchDue());
}

// A folder that cannot be watched leaves the clock to decide; the watch ends its thread when it
// goes.
TEST_F(FolderDriveWatchTest, MissingFolderFallsBackToTheClockAndTheThreadEnds) {
  DriveWatch missing([this] { return now; }, {}, {.udev = false, .devices = dir / "gone"});
  EXPECT_FALSE(missing.Announces());
  Start();
  watch.reset();
  Touch("sr1");
  EXPECT_EQ(announced, 0);
}

}  // namespace
}  // namespace qvr
