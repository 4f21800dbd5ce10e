// The drive watch without udev: the drives are searched at the first question, then at most
// once every ten seconds on its clock, however often the layer polls.
#include "cdda/DriveWatch.h"

#include <gtest/gtest.h>

namespace qvr {
namespace {

using namespace std::chrono_literals;

TEST(DriveWatchTest, WithoutUdevSearchesAtMostEveryTenSeconds) {
  auto now = std::chrono::steady_clock::time_point{} + 1h;
  DriveWatch watch([&] { return now; }, false);
  EXPECT_FALSE(watch.UsesUdev());
  EXPECT_TRUE(watch.SearchDue());
  int searches = 0;
  // A poll a second for 35 s: searches at 10, 20 and 30 s.
  for (int second = 1; second <= 35; ++second) {
    now += 1s;
    if (watch.SearchDue()) ++searches;
  }
  EXPECT_EQ(searches, 3);
  now += 4999ms;  // 9.999 s after the last search
  EXPECT_FALSE(watch.SearchDue());
  now += 1ms;
  EXPECT_TRUE(watch.SearchDue());
}

}  // namespace
}  // namespace qvr
