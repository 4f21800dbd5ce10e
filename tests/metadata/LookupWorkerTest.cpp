// The lookup's worker thread: news posted while it runs, the result handed over once, a cancel
// from the calling thread, one job at a time.
#include "metadata/LookupWorker.h"

#include <gtest/gtest.h>

#include <condition_variable>

#include "OnlineFixtures.h"
#include "metadata/DiscIds.h"
#include "support/LocalHttpServer.h"

namespace qvr {
namespace {

using namespace std::chrono_literals;
using test::HttpReply;
using test::HttpRequest;

// Stands for the GUI thread's queue: counts the posts and wakes the waiting test.
class Posts {
 public:
  void Post() {
    std::lock_guard lock(mutex_);
    ++count_;
    changed_.notify_all();
  }
  // Waits (at most 10 s) until `done` holds for the worker's news, polling after each post.
  LookupNews WaitFor(LookupWorker& worker, const std::function<bool(const LookupNews&)>& done) {
    const auto give_up = std::chrono::steady_clock::now() + 10s;
    for (;;) {
      LookupNews news = worker.Poll();
      if (done(news) || std::chrono::steady_clock::now() > give_up) return news;
      std::unique_lock lock(mutex_);
      changed_.wait_for(lock, 50ms);
    }
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int count_ = 0;
};

OnlineLookupSettings SettingsFor(const test::LocalHttpServer& server) {
  OnlineLookupSettings settings;
  settings.MusicBrainzServer = server.Url();
  settings.GnudbServer.clear();
  settings.CoverArtServer = server.Url();
  settings.MusicBrainzInterval = 0ms;
  return settings;
}

TEST(LookupWorkerTest, FindsOnItsThreadAndHandsTheResultOverOnce) {
  test::LocalHttpServer server([](const HttpRequest&) {
    return HttpReply{200,
                     test::DiscIdAnswer("6U80GKjWJ2Wfrg8V.1dSw5PZL9E-", {test::ReleaseFixture{}}),
                     "application/json",
                     {},
                     200ms};
  });
  Posts posts;
  LookupWorker worker(SettingsFor(server), [&] { posts.Post(); });
  ASSERT_TRUE(worker.StartFind(TocOfRecord(test::TwelveTrackDisc()), test::TwelveTrackDisc()));
  EXPECT_FALSE(worker.StartFind(TocOfRecord(test::TwelveTrackDisc()), test::TwelveTrackDisc())) << "one job at a time";
  const LookupNews running = posts.WaitFor(worker, [](const LookupNews& news) { return !news.Progress.empty(); });
  EXPECT_EQ(running.Progress, "MusicBrainz で検索しています…");
  const LookupNews news = posts.WaitFor(worker, [](const LookupNews& now) { return now.Finished; });
  ASSERT_TRUE(news.Finished);
  EXPECT_FALSE(news.Failure);
  EXPECT_EQ(news.Proposals.size(), 1u);
  EXPECT_FALSE(worker.Poll().Finished);
  EXPECT_TRUE(worker.StartFind(TocOfRecord(test::TwelveTrackDisc()), test::TwelveTrackDisc()))
      << "a new job once the last ended";
}

TEST(LookupWorkerTest, CancelEndsTheJobAsCancelled) {
  test::LocalHttpServer server([](const HttpRequest&) { return HttpReply{200, "{}", "application/json", {}, 5s}; });
  Posts posts;
  LookupWorker worker(SettingsFor(server), [&] { posts.Post(); });
  ASSERT_TRUE(worker.StartFind(TocOfRecord(test::TwelveTrackDisc()), test::TwelveTrackDisc()));
  posts.WaitFor(worker, [](const LookupNews& news) { return !news.Progress.empty(); });
  worker.Cancel();
  const LookupNews news = posts.WaitFor(worker, [](const LookupNews& now) { return now.Finished; });
  ASSERT_TRUE(news.Finished);
  EXPECT_EQ(news.Failure, LookupFailure::Cancelled);
}

TEST(LookupWorkerTest, DestroyingARunningWorkerEndsItsJob) {
  test::LocalHttpServer server([](const HttpRequest&) { return HttpReply{200, "{}", "application/json", {}, 5s}; });
  const auto started = std::chrono::steady_clock::now();
  {
    LookupWorker worker(SettingsFor(server), [] {});
    ASSERT_TRUE(worker.StartFind(TocOfRecord(test::TwelveTrackDisc()), test::TwelveTrackDisc()));
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
}

}  // namespace
}  // namespace qvr
