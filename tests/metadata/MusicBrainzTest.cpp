// Reading MusicBrainz disc ID answers into proposals.
#include "metadata/MusicBrainz.h"

#include <gtest/gtest.h>

#include "OnlineFixtures.h"
#include "cddb/DateSource.h"
#include "metadata/HttpClient.h"
#include "support/CaseName.h"
#include "util/ShiftJis.h"

namespace qvr {
namespace {

using test::DiscIdAnswer;
using test::ReleaseFixture;

constexpr const char* kDiscId = "6U80GKjWJ2Wfrg8V.1dSw5PZL9E-";

TEST(MusicBrainzTest, ProposalCarriesDiscTextsAndCredits) {
  ReleaseFixture release;
  release.title = "ベスト・アルバム";
  release.artist = "歌手";
  release.label = "ソニー";
  const TDiscRecord disc = test::TwelveTrackDisc();
  const auto proposals = ParseMusicBrainzDiscId(DiscIdAnswer(kDiscId, {release}), kDiscId, disc);
  ASSERT_EQ(proposals.size(), 1u);
  const DiscProposal& proposal = proposals[0];
  EXPECT_EQ(proposal.Source, "MusicBrainz");
  EXPECT_EQ(proposal.Artist, "歌手 & Guest");
  EXPECT_EQ(proposal.ReleaseId, release.id);
  EXPECT_TRUE(proposal.FrontCover);
  const TDiscRecord& record = proposal.Record;
  EXPECT_EQ(record.DiscName.ToUtf8(), "ベスト・アルバム");
  EXPECT_EQ(record.ArtistName.ToUtf8(), "歌手 & Guest");
  EXPECT_EQ(record.LabelName.ToUtf8(), "ソニー");
  EXPECT_EQ(record.SaleDate, DateFromCivil({2001, 3, 7}));
  EXPECT_EQ(record.DiscType, dtAlbum);
  // Identity and positions stay the disc's own.
  EXPECT_EQ(record.DiscKey, disc.DiscKey);
  EXPECT_EQ(record.Tracks[5].StartPos, disc.Tracks[5].StartPos);
  // The tracks of the medium that carries the disc ID (the second), titled as on the release.
  EXPECT_EQ(record.Tracks[1].TrackName.ToUtf8(), "ベスト・アルバム 1");
  EXPECT_EQ(record.Tracks[12].TrackName.ToUtf8(), "ベスト・アルバム 12");
  EXPECT_EQ(record.Tracks[1].Lyricsby.ToUtf8(), "作詞者");
  EXPECT_EQ(record.Tracks[1].Musicby.ToUtf8(), "作曲者、Second Composer");
  EXPECT_EQ(record.Tracks[1].Arrangeby.ToUtf8(), "編曲者");
  EXPECT_EQ(record.Tracks[2].Lyricsby.ToUtf8(), "");
}

TEST(MusicBrainzTest, JapaneseReleasesComeFirst) {
  ReleaseFixture us, jp, japanese_text, uk;
  us.title = "US";
  jp.title = "JP";
  jp.country = "JP";
  japanese_text.title = "Japanese";
  japanese_text.country = "XW";
  japanese_text.language = "jpn";
  uk.title = "UK";
  uk.country = "GB";
  const auto proposals =
      ParseMusicBrainzDiscId(DiscIdAnswer(kDiscId, {us, jp, uk, japanese_text}), kDiscId, test::TwelveTrackDisc());
  std::vector<std::string> order;
  for (const DiscProposal& proposal : proposals) order.push_back(proposal.Title);
  EXPECT_EQ(order, (std::vector<std::string>{"JP", "Japanese", "US", "UK"}));
  EXPECT_EQ(proposals[0].Country, "JP");
  EXPECT_EQ(proposals[0].Label, "Label");
  EXPECT_EQ(proposals[0].Date, "2001-03-07");
}

struct GroupCase {
  const char* name;
  const char* type;
  const char* date;
  std::uint8_t disc_type;
  CivilDate sale_day;  // Year 0: no date
};

class ReleaseGroupTest : public testing::TestWithParam<GroupCase> {};

TEST_P(ReleaseGroupTest, TypeAndDate) {
  ReleaseFixture release;
  release.type = GetParam().type;
  release.date = GetParam().date;
  const auto proposals = ParseMusicBrainzDiscId(DiscIdAnswer(kDiscId, {release}), kDiscId, test::TwelveTrackDisc());
  EXPECT_EQ(proposals[0].Record.DiscType, GetParam().disc_type);
  EXPECT_EQ(proposals[0].Record.SaleDate, GetParam().sale_day.Year ? DateFromCivil(GetParam().sale_day) : 0.0);
}

INSTANTIATE_TEST_SUITE_P(Groups, ReleaseGroupTest,
                         testing::Values(GroupCase{"Single", "Single", "1998-11", dtSingle, {1998, 11, 1}},
                                         GroupCase{"Album", "Album", "2003", dtAlbum, {2003, 1, 1}},
                                         GroupCase{"EP", "EP", "2010-02-29", dtMiniAlbum, {0, 1, 1}},
                                         GroupCase{"Broadcast", "Broadcast", "", kNoDiscType, {0, 1, 1}}),
                         test::CaseName());

struct BadCase {
  const char* name;
  const char* answer;
  LookupFailure failure;
};

class BadAnswerTest : public testing::TestWithParam<BadCase> {};

TEST_P(BadAnswerTest, IsRefusedWithItsReason) {
  try {
    ParseMusicBrainzDiscId(GetParam().answer, kDiscId, test::TwelveTrackDisc());
    FAIL() << "accepted";
  } catch (const LookupError& error) {
    EXPECT_EQ(error.Failure(), GetParam().failure);
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, BadAnswerTest,
                         testing::Values(BadCase{"NotJson", "{\"releases\": [", LookupFailure::BadAnswer},
                                         BadCase{"NoReleaseList", "{\"error\": \"Not Found\"}",
                                                 LookupFailure::BadAnswer},
                                         BadCase{"ReleasesNotAList", "{\"releases\": 3}", LookupFailure::BadAnswer},
                                         BadCase{"NoRelease", "{\"releases\": []}", LookupFailure::NotFound}),
                         test::CaseName());

// A parsed tree costs many times its text: an answer nested deeper or holding more values than
// any real one is refused before it is built, while the largest real ones still read.
TEST(MusicBrainzTest, AnswerBeyondAnyRealOneIsRefusedBeforeParsing) {
  const std::size_t deep = 100000;
  const std::string nested = std::string(deep, '[') + std::string(deep, ']');
  std::string flat = "[";
  for (std::size_t i = 0; i < 300000; ++i) flat += i ? ",1" : "1";
  flat += "]";
  for (const std::string& junk : {nested, flat}) {
    const std::string answer = R"({"releases": [{"title": "Album", "junk": )" + junk + "}]}";
    try {
      ParseMusicBrainzDiscId(answer, kDiscId, test::TwelveTrackDisc());
      FAIL() << "accepted " << junk.substr(0, 8);
    } catch (const LookupError& error) {
      EXPECT_EQ(error.Failure(), LookupFailure::BadAnswer);
      EXPECT_NE(std::string(error.what()).find("大きすぎるか深すぎる"), std::string::npos) << error.what();
    }
  }
  // Twenty releases of a 99-track disc with their credits.
  std::vector<ReleaseFixture> releases(20);
  for (ReleaseFixture& release : releases) release.tracks = 99;
  EXPECT_EQ(ParseMusicBrainzDiscId(DiscIdAnswer(kDiscId, releases), kDiscId, test::TwelveTrackDisc()).size(), 20u);
}

TEST(MusicBrainzTest, FieldsOfOtherTypesCountAsAbsent) {
  const std::string answer =
      R"({"releases": [{"title": 5, "artist-credit": "x", "media": [{"tracks": [{"title": null}, 7]}],
          "release-group": [], "cover-art-archive": {"front": "yes"}}]})";
  const auto proposals = ParseMusicBrainzDiscId(answer, kDiscId, test::TwelveTrackDisc());
  ASSERT_EQ(proposals.size(), 1u);
  EXPECT_TRUE(proposals[0].Record.DiscName.Empty());
  EXPECT_TRUE(proposals[0].Record.Tracks[1].TrackName.Empty());
  EXPECT_EQ(proposals[0].Record.DiscType, kNoDiscType);
  EXPECT_FALSE(proposals[0].FrontCover);
}

TEST(MusicBrainzTest, LookupPathAsksForJson) {
  const std::string path = MusicBrainzDiscIdPath(kDiscId);
  EXPECT_TRUE(path.starts_with("/ws/2/discid/6U80GKjWJ2Wfrg8V.1dSw5PZL9E-?inc=")) << path;
  EXPECT_NE(path.find("fmt=json"), std::string::npos);
  EXPECT_NE(path.find("release-groups"), std::string::npos);
  EXPECT_NE(path.find("work-level-rels"), std::string::npos);
}

}  // namespace
}  // namespace qvr
