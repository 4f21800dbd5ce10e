// The drive watch: without announcements the drives are searched at the first question, then at
// most once every nine seconds on its clock, however often the layer polls; with them, only
// after each announcement, which the watch's own thread passes on as it comes.
#include "cdda/DriveWatch.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace qvr {
namespace {

using namespace std::chrono_literals;

TEST(DriveWatchTest, WithoutAnnouncementsSearchesAtMostEveryNineSeconds) {
  auto now = std::chrono::steady_clock::time_point{} + 1h;
  DriveWatch watch([&] { return now; }, {}, false);
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

// A pipe stands in for udev's monitor socket: each write is an announcement.
class AnnouncedDriveWatchTest : public testing::Test {
 protected:
  AnnouncedDriveWatchTest() { EXPECT_EQ(::pipe(ends_), 0); }
  ~AnnouncedDriveWatchTest() override {
    watch.reset();
    ::close(ends_[0]);
    ::close(ends_[1]);
  }

  void Start() {
    watch = std::make_unique<DriveWatch>([this] { return now; },
                                         [this] {
                                           std::lock_guard lock(mutex_);
                                           ++announced;
                                           changed_.notify_all();
                                         },
                                         ends_[0],
                                         [this] {
                                           char buffer[64];
                                           [[maybe_unused]] const ssize_t got = ::read(ends_[0], buffer, sizeof buffer);
                                         });
  }
  void Announce() { ASSERT_EQ(::write(ends_[1], "x", 1), 1); }
  // Waits (at most 5 s) until `count` announcements have been passed on.
  bool AnnouncedTimes(int count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 5s, [&] { return announced >= count; });
  }

  std::chrono::steady_clock::time_point now = std::chrono::steady_clock::time_point{} + 1h;
  std::unique_ptr<DriveWatch> watch;
  int announced = 0;

 private:
  int ends_[2] = {-1, -1};
  std::mutex mutex_;
  std::condition_variable changed_;
};

TEST_F(AnnouncedDriveWatchTest, SearchesOnlyAfterAnAnnouncement) {
  Start();
  EXPECT_TRUE(watch->Announces());
  EXPECT_TRUE(watch->SearchDue());
  now += 1h;
  EXPECT_FALSE(watch->SearchDue());  // time alone brings no search
  Announce();
  ASSERT_TRUE(AnnouncedTimes(1));
  EXPECT_TRUE(watch->SearchDue());
  EXPECT_FALSE(watch->SearchDue());  // once per announcement
  Announce();
  ASSERT_TRUE(AnnouncedTimes(2));
  EXPECT_TRUE(watch->SearchDue());
}

// The watch ends its thread when it goes, also while nothing was ever announced.
TEST_F(AnnouncedDriveWatchTest, EndsItsThreadWhenDestroyed) {
  Start();
  watch.reset();
  Announce();
  EXPECT_EQ(announced, 0);
}

}  // namespace
}  // namespace qvr
