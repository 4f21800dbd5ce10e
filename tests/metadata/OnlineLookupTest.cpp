// The online lookup against a local HTTP server started by each test: exact match, several
// releases, no match, the fall-back to gnudb, 503 with retry, time-outs, cancellation, refused
// connections, malformed answers, the pace of MusicBrainz requests and the cover download.
#include "metadata/OnlineLookup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "OnlineFixtures.h"
#include "metadata/DiscIds.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

namespace qvr {
namespace {

using namespace std::chrono_literals;
using test::HttpReply;
using test::HttpRequest;

constexpr const char* kDiscId = "6U80GKjWJ2Wfrg8V.1dSw5PZL9E-";
const std::string kJpeg = std::string("\xFF\xD8\xFF\xE0", 4) + "jacket picture";

HttpReply NotFound() { return {404, R"({"error": "Not Found"})"}; }

bool IsDiscIdLookup(const HttpRequest& request) {
  return request.Target.starts_with(std::string("/ws/2/discid/") + kDiscId + "?");
}

class OnlineLookupTest : public testing::Test {
 protected:
  OnlineLookupSettings SettingsFor(const test::LocalHttpServer& server) {
    OnlineLookupSettings settings;
    settings.MusicBrainzServer = server.Url();
    settings.GnudbServer = server.Url();
    settings.CoverArtServer = server.Url() + "/caa/";
    settings.MusicBrainzInterval = 0ms;
    settings.Timeout = 2s;
    return settings;
  }

  std::vector<DiscProposal> Find(const OnlineLookupSettings& settings) {
    OnlineLookup lookup(settings);
    CancelFlag cancel;
    return lookup.Find(TocOfRecord(disc_), disc_, cancel);
  }

  LookupFailure FailureOf(const OnlineLookupSettings& settings) {
    try {
      Find(settings);
    } catch (const LookupError& error) {
      EXPECT_FALSE(std::string(error.what()).empty());
      EXPECT_EQ(std::string(error.what()).find('\n'), std::string::npos) << "one line for the status bar";
      return error.Failure();
    }
    ADD_FAILURE() << "the lookup succeeded";
    return LookupFailure::Cancelled;
  }

  TDiscRecord disc_ = test::TwelveTrackDisc();
};

TEST_F(OnlineLookupTest, ExactMatchIsAskedForWithTheProgramsName) {
  test::ReleaseFixture release;
  release.title = "ひとつだけ";
  test::LocalHttpServer server([&](const HttpRequest& request) {
    return IsDiscIdLookup(request) ? HttpReply{200, test::DiscIdAnswer(kDiscId, {release})} : NotFound();
  });
  const auto proposals = Find(SettingsFor(server));
  ASSERT_EQ(proposals.size(), 1u);
  EXPECT_EQ(proposals[0].Record.DiscName.ToUtf8(), "ひとつだけ");
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_NE(requests[0].Target.find("fmt=json"), std::string::npos);
  EXPECT_TRUE(requests[0].UserAgent.starts_with("QVR/1.")) << requests[0].UserAgent;
  EXPECT_NE(requests[0].UserAgent.find(" ( "), std::string::npos) << requests[0].UserAgent;
}

TEST_F(OnlineLookupTest, SeveralReleasesAreAllProposed) {
  test::ReleaseFixture first, second;
  first.title = "First";
  second.title = "Second";
  second.country = "JP";
  test::LocalHttpServer server([&](const HttpRequest& request) {
    return IsDiscIdLookup(request) ? HttpReply{200, test::DiscIdAnswer(kDiscId, {first, second})} : NotFound();
  });
  const auto proposals = Find(SettingsFor(server));
  ASSERT_EQ(proposals.size(), 2u);
  EXPECT_EQ(proposals[0].Title, "Second");
  EXPECT_EQ(proposals[1].Title, "First");
}

TEST_F(OnlineLookupTest, UnknownToMusicBrainzAsksGnudb) {
  test::LocalHttpServer server([&](const HttpRequest& request) {
    if (request.Target.starts_with("/~cddb/cddb.cgi?cmd=cddb+query+930d1e0c+12+183+")) {
      return HttpReply{200, "200 rock 930d1e0c CDDB Artist / CDDB Title\r\n", "text/plain"};
    }
    if (request.Target.starts_with("/~cddb/cddb.cgi?cmd=cddb+read+rock+930d1e0c&hello=") &&
        request.Target.ends_with("&proto=6")) {
      return HttpReply{200, test::CddbReadAnswer("rock", "930d1e0c"), "text/plain"};
    }
    return NotFound();
  });
  OnlineLookupSettings settings = SettingsFor(server);
  settings.GnudbEmail = "hanako@example.jp";
  const auto proposals = Find(settings);
  ASSERT_EQ(proposals.size(), 1u);
  EXPECT_EQ(proposals[0].Source, "gnudb");
  EXPECT_EQ(proposals[0].Record.DiscName.ToUtf8(), "CDDB Title");
  ASSERT_EQ(server.Requests().size(), 3u);
  for (std::size_t n : {1, 2}) {
    EXPECT_NE(server.Requests()[n].Target.find("&hello=hanako+example.jp+QVR+"), std::string::npos)
        << "the user's address greets gnudb: " << server.Requests()[n].Target;
  }
}

// An enhanced CD whose data track follows the audio too closely has no MusicBrainz disc ID
// (libdiscid refuses the layout); gnudb is asked all the same, and the reason is told.
TEST_F(OnlineLookupTest, ADiscWithoutMusicBrainzIdIsLookedUpOnGnudb) {
  DiscToc toc;
  toc.Tracks = {{150, true}, {1000, false}};
  toc.LeadOut = 20000;
  bool gnudb_knows = true;
  test::LocalHttpServer server([&](const HttpRequest& request) {
    if (request.Target.starts_with("/~cddb/cddb.cgi?cmd=cddb+query+")) {
      return gnudb_knows ? HttpReply{200, "200 rock 0a00f802 CDDB Artist / CDDB Title\r\n", "text/plain"}
                         : HttpReply{200, "202 No match\r\n", "text/plain"};
    }
    if (request.Target.starts_with("/~cddb/cddb.cgi?cmd=cddb+read+rock+0a00f802&")) {
      return HttpReply{200, test::CddbReadAnswer("rock", "0a00f802"), "text/plain"};
    }
    return NotFound();
  });
  OnlineLookup lookup(SettingsFor(server));
  CancelFlag cancel;
  std::vector<std::string> steps;
  const auto proposals = lookup.Find(toc, disc_, cancel, [&](const std::string& step) { steps.push_back(step); });
  ASSERT_EQ(proposals.size(), 1u);
  EXPECT_EQ(proposals[0].Source, "gnudb");
  ASSERT_EQ(steps.size(), 2u);
  EXPECT_NE(steps[1].find("MusicBrainz では検索できません: ディスク ID を計算できません"), std::string::npos)
      << steps[1];
  EXPECT_NE(steps[1].find("gnudb で検索しています"), std::string::npos) << steps[1];
  for (const HttpRequest& request : server.Requests()) EXPECT_TRUE(request.Target.starts_with("/~cddb/"));

  gnudb_knows = false;
  try {
    lookup.Find(toc, disc_, cancel);
    ADD_FAILURE() << "found";
  } catch (const LookupError& error) {
    EXPECT_EQ(error.Failure(), LookupFailure::NotFound);
    EXPECT_NE(std::string(error.what()).find("ディスク ID を計算できません"), std::string::npos) << error.what();
  }
}

TEST_F(OnlineLookupTest, NoMatchAnywhereIsNotFound) {
  test::LocalHttpServer server([&](const HttpRequest& request) {
    if (request.Target.starts_with("/~cddb/"))
      return HttpReply{200, "202 No match for disc ID 930d1e0c.\r\n", "text/plain"};
    return NotFound();
  });
  EXPECT_EQ(FailureOf(SettingsFor(server)), LookupFailure::NotFound);
}

TEST_F(OnlineLookupTest, BusyServerIsAskedAgain) {
  std::atomic<int> asked{0};
  test::LocalHttpServer server([&](const HttpRequest&) {
    if (asked++ == 0) return HttpReply{503, "busy", "text/plain", {"Retry-After: 1"}};
    return HttpReply{200, test::DiscIdAnswer(kDiscId, {test::ReleaseFixture{}})};
  });
  const auto proposals = Find(SettingsFor(server));
  EXPECT_EQ(proposals.size(), 1u);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_GE(requests[1].At - requests[0].At, 900ms) << "the server's Retry-After is kept";
}

TEST_F(OnlineLookupTest, ServerThatStaysBusyIsAnError) {
  test::LocalHttpServer server([&](const HttpRequest& request) {
    if (request.Target.starts_with("/~cddb/")) return HttpReply{200, "202 No match\r\n", "text/plain"};
    return HttpReply{503, "busy", "text/plain"};
  });
  EXPECT_EQ(FailureOf(SettingsFor(server)), LookupFailure::ServerError);
  EXPECT_EQ(server.Requests().size(), 3u + 1u) << "three attempts at MusicBrainz, then gnudb";
}

TEST_F(OnlineLookupTest, SlowServerRunsIntoTheTimeLimit) {
  test::LocalHttpServer server([&](const HttpRequest&) { return HttpReply{200, "{}", "application/json", {}, 5s}; });
  OnlineLookupSettings settings = SettingsFor(server);
  settings.GnudbServer.clear();
  settings.Timeout = 500ms;
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(FailureOf(settings), LookupFailure::TimedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
}

TEST_F(OnlineLookupTest, CancelEndsAWaitingRequestAtOnce) {
  test::LocalHttpServer server([&](const HttpRequest&) { return HttpReply{200, "{}", "application/json", {}, 5s}; });
  OnlineLookup lookup(SettingsFor(server));
  CancelFlag cancel;
  std::thread canceller([&] {
    std::this_thread::sleep_for(200ms);
    cancel.Cancel();
  });
  const auto started = std::chrono::steady_clock::now();
  try {
    lookup.Find(TocOfRecord(disc_), disc_, cancel);
    ADD_FAILURE() << "not cancelled";
  } catch (const LookupError& error) {
    EXPECT_EQ(error.Failure(), LookupFailure::Cancelled);
  }
  canceller.join();
  EXPECT_LT(std::chrono::steady_clock::now() - started, 1500ms);
  EXPECT_EQ(server.Requests().size(), 1u) << "gnudb is not asked after a cancel";
}

TEST_F(OnlineLookupTest, RefusedConnectionIsReported) {
  int port = 0;
  {
    test::LocalHttpServer closed([](const HttpRequest&) { return HttpReply{}; });
    port = closed.Port();
  }
  OnlineLookupSettings settings;
  settings.MusicBrainzServer = "http://127.0.0.1:" + std::to_string(port);
  settings.GnudbServer = settings.MusicBrainzServer;
  settings.MusicBrainzInterval = 0ms;
  EXPECT_EQ(FailureOf(settings), LookupFailure::Refused);
}

TEST_F(OnlineLookupTest, MalformedJsonIsReportedWhenGnudbHasNothing) {
  test::LocalHttpServer server([&](const HttpRequest& request) {
    if (request.Target.starts_with("/~cddb/")) return HttpReply{200, "202 No match\r\n", "text/plain"};
    return HttpReply{200, R"({"releases": [{"title": "cut off)"};
  });
  EXPECT_EQ(FailureOf(SettingsFor(server)), LookupFailure::BadAnswer);
}

TEST_F(OnlineLookupTest, MusicBrainzIsAskedAtMostOnceASecond) {
  test::LocalHttpServer server([&](const HttpRequest&) {
    return HttpReply{200, test::DiscIdAnswer(kDiscId, {test::ReleaseFixture{}})};
  });
  OnlineLookupSettings settings = SettingsFor(server);
  settings.MusicBrainzInterval = 1000ms;
  Find(settings);
  Find(settings);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_GE(requests[1].At - requests[0].At, 950ms);
}

TEST_F(OnlineLookupTest, FrontCoverIsSavedInTheJacketFolder) {
  test::ReleaseFixture release;
  test::LocalHttpServer server([&](const HttpRequest& request) {
    if (request.Target == "/caa/release/" + release.id + "/front-1200") {
      return HttpReply{307, "", "text/plain", {"Location: /files/cover.jpg"}};
    }
    if (request.Target == "/files/cover.jpg") return HttpReply{200, kJpeg, "image/jpeg"};
    return IsDiscIdLookup(request) ? HttpReply{200, test::DiscIdAnswer(kDiscId, {release})} : NotFound();
  });
  test::TempDir folder;
  OnlineLookup lookup(SettingsFor(server));
  CancelFlag cancel;
  const auto proposals = lookup.Find(TocOfRecord(disc_), disc_, cancel);
  const std::filesystem::path saved = lookup.FetchCover(proposals.at(0), folder / "DB" / "Jacket", cancel);
  EXPECT_EQ(saved, folder / "DB" / "Jacket" / "0137EBFA.jpg");
  std::ifstream file(saved, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), kJpeg);
}

TEST_F(OnlineLookupTest, MissingOrBrokenCover) {
  test::ReleaseFixture release;
  std::atomic<bool> broken{false};
  test::LocalHttpServer server([&](const HttpRequest& request) {
    if (request.Target.starts_with("/caa/")) return broken ? HttpReply{200, "<html>", "text/html"} : NotFound();
    return HttpReply{200, test::DiscIdAnswer(kDiscId, {release})};
  });
  test::TempDir folder;
  OnlineLookup lookup(SettingsFor(server));
  CancelFlag cancel;
  const auto proposals = lookup.Find(TocOfRecord(disc_), disc_, cancel);
  EXPECT_EQ(lookup.FetchCover(proposals.at(0), folder / "Jacket", cancel), std::filesystem::path());
  broken = true;
  EXPECT_THROW(lookup.FetchCover(proposals.at(0), folder / "Jacket", cancel), LookupError);
  EXPECT_FALSE(std::filesystem::exists(folder / "Jacket" / "0137EBFA.jpg"));
}

}  // namespace
}  // namespace qvr
