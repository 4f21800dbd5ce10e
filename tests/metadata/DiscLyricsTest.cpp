// Timed lyrics from LRCLIB against a local stand-in that answers in LRCLIB's documented form
// (the "get" call's object, the "search" call's array, 404 for an unknown track): found, found
// only by search, not found, instrumental, untimed only, slow, garbage, huge and deeply nested
// answers; and the synced lyrics' time tags.
#include "metadata/DiscLyrics.h"

#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>

#include "lyrics/LrcFile.h"
#include "metadata/OnlineLookup.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"
#include "util/Msf.h"
#include "util/ShiftJis.h"

namespace qvr {
namespace {

using namespace std::chrono_literals;
using test::HttpReply;
using test::HttpRequest;
using Json = nlohmann::json;

// Three tracks of 3:20, 4:00 and 2:30, titled in Japanese.
TDiscRecord ThreeTrackDisc() {
  TDiscRecord disc;
  disc.DiscKey = "00ABCDEF";
  disc.TrackCount = 3;
  disc.DiscName = Utf8ToSjis("夜明けの盤").bytes;
  disc.ArtistName = Utf8ToSjis("歌う人").bytes;
  const int seconds[] = {200, 240, 150};
  std::uint32_t start = 150;
  for (std::size_t n = 1; n <= 3; ++n) {
    disc.Tracks[n].StartPos = FramesToMSF(start);
    disc.Tracks[n].Length = FramesToMSF(static_cast<std::uint32_t>(seconds[n - 1] * 75));
    disc.Tracks[n].TrackName = Utf8ToSjis("曲" + std::to_string(n)).bytes;
    start += static_cast<std::uint32_t>(seconds[n - 1] * 75);
  }
  return disc;
}

// An entry as LRCLIB documents it; null lyrics where the entry has none.
Json Entry(const std::string& track, double duration, const char* synced, const char* plain,
           bool instrumental = false) {
  return {{"id", 3396226},
          {"trackName", track},
          {"artistName", "歌う人"},
          {"albumName", "夜明けの盤"},
          {"duration", duration},
          {"instrumental", instrumental},
          {"plainLyrics", plain ? Json(plain) : Json(nullptr)},
          {"syncedLyrics", synced ? Json(synced) : Json(nullptr)}};
}

HttpReply TrackNotFound() {
  return {404, R"({"code":404,"name":"TrackNotFound","message":"Failed to find specified track"})"};
}

bool IsGet(const HttpRequest& request, int track) {
  return request.Target.starts_with("/api/get?") &&
         request.Target.find("track_name=" + UrlEncode("曲" + std::to_string(track))) != std::string::npos;
}

class DiscLyricsTest : public testing::Test {
 protected:
  DiscLyrics Fetch(const test::LocalHttpServer& server, std::chrono::milliseconds timeout = 2s) {
    HttpClient http(QvrUserAgent(), timeout);
    CancelFlag cancel;
    return FetchDiscLyrics(http, server.Url() + "/", disc_, cancel);
  }

  // The failure of a fetch that must fail, with a one-line message.
  LookupError FailureOf(const test::LocalHttpServer& server, std::chrono::milliseconds timeout = 2s) {
    try {
      Fetch(server, timeout);
    } catch (const LookupError& error) {
      EXPECT_EQ(std::string(error.what()).find('\n'), std::string::npos);
      return error;
    }
    ADD_FAILURE() << "the fetch succeeded";
    return LookupError(LookupFailure::Cancelled, "");
  }

  TDiscRecord disc_ = ThreeTrackDisc();
};

TEST_F(DiscLyricsTest, FoundTracksBecomeOneLrcWithATrackSectionEach) {
  test::LocalHttpServer server([](const HttpRequest& request) {
    if (IsGet(request, 1))
      return HttpReply{200, Entry("曲1", 200, "[00:12.34] 夜が明ける\n[00:15.00] Björk ♪", "x").dump()};
    if (IsGet(request, 3)) return HttpReply{200, Entry("曲3", 150, "[01:02.50]三番\n", "三番").dump()};
    if (request.Target.starts_with("/api/search?")) return HttpReply{200, "[]"};
    return TrackNotFound();
  });
  const DiscLyrics lyrics = Fetch(server);
  EXPECT_EQ(lyrics.Count(TrackLyricsState::Timed), 2u);
  EXPECT_EQ(lyrics.Count(TrackLyricsState::NotFound), 1u);
  EXPECT_EQ(lyrics.Summary(), "3 曲中 2 曲の時間付き歌詞を取得しました (除いた曲: 見つからない 1 曲)");

  // What the lyrics reader gives back: each track's lines at their times (1/75 s).
  const std::vector<TimedLyricsLine> read = ParseLrc(lyrics.Lrc());
  const std::vector<TimedLyricsLine> expected = {
      {TMSFTimeOrder(PackTMSF(1, 0, 12, 25)), "夜が明ける"},
      {TMSFTimeOrder(PackTMSF(1, 0, 15, 0)), "Björk ♪"},
      {TMSFTimeOrder(PackTMSF(3, 1, 2, 37)), "三番"},
  };
  EXPECT_EQ(read, expected);
  EXPECT_NE(lyrics.Lrc().find(Utf8ToSjis("[00:12.34]夜が明ける\r\n").bytes), std::string::npos)
      << "a text Shift-JIS has is written in Shift-JIS";

  const auto requests = server.Requests();
  ASSERT_FALSE(requests.empty());
  const std::string& first = requests.front().Target;
  for (const char* part : {"track_name=", "artist_name=", "album_name=", "duration=200"}) {
    EXPECT_NE(first.find(part), std::string::npos) << first;
  }
  EXPECT_TRUE(requests.front().UserAgent.starts_with("QVR/1.")) << requests.front().UserAgent;
}

TEST_F(DiscLyricsTest, ATrackFoundOnlyBySearchTakesTheEntryOfItsLength) {
  test::LocalHttpServer server([](const HttpRequest& request) {
    if (request.Target.starts_with("/api/search?") && request.Target.find(UrlEncode("曲2")) != std::string::npos) {
      Json entries = Json::array({Entry("曲2", 300, "[00:01.00]ほかの版", nullptr),  // another length
                                  Entry("曲2", 241, nullptr, "時間なし"),            // untimed
                                  Entry("曲2", 239.5, "[00:02.00]この版", nullptr),  // fits
                                  "not an entry"});
      return HttpReply{200, entries.dump()};
    }
    if (request.Target.starts_with("/api/search?")) return HttpReply{200, "[]"};
    return TrackNotFound();
  });
  const DiscLyrics lyrics = Fetch(server);
  ASSERT_EQ(lyrics.Tracks.size(), 3u);
  EXPECT_EQ(lyrics.Tracks[1].State, TrackLyricsState::Timed);
  EXPECT_EQ(lyrics.Tracks[1].Lines, (std::vector<LyricsLine>{{2000, "この版"}}));
}

TEST_F(DiscLyricsTest, InstrumentalAndUntimedTracksAreLeftOutAndNamed) {
  test::LocalHttpServer server([](const HttpRequest& request) {
    if (IsGet(request, 1)) return HttpReply{200, Entry("曲1", 200, "[00:01.00]歌", "歌").dump()};
    if (IsGet(request, 2)) return HttpReply{200, Entry("曲2", 240, nullptr, nullptr, true).dump()};
    if (IsGet(request, 3)) return HttpReply{200, Entry("曲3", 150, nullptr, "時間のない歌詞").dump()};
    return HttpReply{200, "[]"};
  });
  const DiscLyrics lyrics = Fetch(server);
  EXPECT_EQ(lyrics.Tracks[1].State, TrackLyricsState::Instrumental);
  EXPECT_EQ(lyrics.Tracks[2].State, TrackLyricsState::UntimedOnly);
  EXPECT_EQ(lyrics.Summary(),
            "3 曲中 1 曲の時間付き歌詞を取得しました (除いた曲: 時間なしの歌詞だけの 1 曲、歌のない 1 曲)");
  EXPECT_EQ(ParseLrc(lyrics.Lrc()).size(), 1u);
}

TEST_F(DiscLyricsTest, FailuresSayWhyAndGiveNothing) {
  const std::string huge = Entry("曲1", 200, nullptr, nullptr).dump() + std::string(5u << 20, ' ');
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  struct Case {
    const char* name;
    std::function<HttpReply(const HttpRequest&)> answer;
    LookupFailure failure;
    const char* message;
  };
  const Case cases[] = {
      {"not found",
       [](const HttpRequest& r) {
         return r.Target.starts_with("/api/get") ? TrackNotFound() : HttpReply{200, "[]"};
       },
       LookupFailure::NotFound, "時間付きの歌詞は見つかりませんでした (除いた曲: 見つからない 3 曲)"},
      {"untimed only",
       [](const HttpRequest& r) {
         const Json entry = Entry("曲", 200, nullptr, "歌詞");
         return HttpReply{200, r.Target.starts_with("/api/get") ? entry.dump() : Json::array({entry}).dump()};
       },
       LookupFailure::NotFound, "時間付きの歌詞は見つかりませんでした (除いた曲: 時間なしの歌詞だけの 3 曲)"},
      {"slow",
       [](const HttpRequest&) {
         return HttpReply{200, "{}", "application/json", {}, 3s};
       },
       LookupFailure::TimedOut, "から時間内に応答がありません"},
      {"garbage",
       [](const HttpRequest&) {
         return HttpReply{200, "<html>502 Bad Gateway</html>", "text/html"};
       },
       LookupFailure::BadAnswer, "LRCLIB の応答を読めません"},
      {"an array where an object belongs",
       [](const HttpRequest&) {
         return HttpReply{200, "[1, 2]"};
       },
       LookupFailure::BadAnswer, "LRCLIB の応答を読めません"},
      {"huge",
       [&](const HttpRequest&) {
         return HttpReply{200, huge};
       },
       LookupFailure::BadAnswer, "LRCLIB の応答が大きすぎます"},
      {"deeply nested",
       [&](const HttpRequest&) {
         return HttpReply{200, deep};
       },
       LookupFailure::BadAnswer, "LRCLIB の応答を読めません"},
      {"server error",
       [](const HttpRequest&) {
         return HttpReply{500, "{}"};
       },
       LookupFailure::ServerError, "(HTTP 500)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::LocalHttpServer server(c.answer);
    const LookupError error = FailureOf(server, 1s);
    EXPECT_EQ(error.Failure(), c.failure);
    EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
  }
}

TEST_F(DiscLyricsTest, ADiscWithoutArtistOrTitlesIsNotAsked) {
  test::LocalHttpServer server([](const HttpRequest&) { return TrackNotFound(); });
  disc_.ArtistName = "";
  EXPECT_EQ(FailureOf(server).Failure(), LookupFailure::NotFound);
  disc_ = ThreeTrackDisc();
  for (std::size_t n = 1; n <= 3; ++n) disc_.Tracks[n].TrackName = "  ";
  EXPECT_STREQ(FailureOf(server).what(), "曲名がないため歌詞を検索できません");
  EXPECT_TRUE(server.Requests().empty());
}

TEST(SyncedLyrics, TimeTagsAsLrclibWritesThem) {
  EXPECT_EQ(ParseSyncedLyrics("[00:17.12] 一行目\r\n[01:02.5][00:03.004] 繰り返し\n[00:05.00]\n"
                              "[ar:artist]\nno tag\n[99:99.00]bad\n[00:04.00 unclosed"),
            (std::vector<LyricsLine>{{3004, "繰り返し"}, {5000, ""}, {17120, "一行目"}, {62500, "繰り返し"}}));
}

// A line repeated by many time tags costs its text once per tag: lines and text in all are
// bounded, the first ones of the answer kept.
TEST(SyncedLyrics, KeepWhatOneAnswerCostsBounded) {
  std::string tags;
  for (int n = 0; n < 3000; ++n) tags += "[00:01.00]";
  const std::string text(100u << 10, 'a');
  const std::vector<LyricsLine> repeated = ParseSyncedLyrics(tags + text + "\n[00:00.50]late");
  ASSERT_EQ(repeated.size(), kMaxSyncedTextBytes / text.size());
  EXPECT_EQ(repeated.front(), (LyricsLine{1000, text}));

  std::string many;
  for (std::size_t n = 0; n <= kMaxSyncedLines; ++n) many += "[00:02.00]b\n";
  const std::vector<LyricsLine> lines = ParseSyncedLyrics(many + "[00:00.50]late\n");
  EXPECT_EQ(lines.size(), kMaxSyncedLines);
  EXPECT_EQ(lines.front(), (LyricsLine{2000, "b"}));
}

TEST(DiscLyricsFile, IsWrittenAtomicallyIntoItsFolderUnderTheDiscKey) {
  test::TempDir dir;
  const std::filesystem::path path = LyricsFileIn(dir.Path() / "Lyrics", "00AB/CD ");
  EXPECT_EQ(path.filename(), "00AB%2FCD%20.lrc");
  WriteLyricsFile(path, "[track:1]\r\n[00:01.00]a\r\n");
  ASSERT_TRUE(ReadLrcFile(path));
  EXPECT_EQ(ReadLrcFile(path)->size(), 1u);
}

}  // namespace
}  // namespace qvr
