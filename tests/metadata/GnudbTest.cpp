// The CDDB protocol's requests and answers as gnudb gives them over HTTP.
#include "metadata/Gnudb.h"

#include <gtest/gtest.h>

#include "OnlineFixtures.h"
#include "metadata/HttpClient.h"
#include "support/CaseName.h"

namespace qvr {
namespace {

TEST(GnudbTest, QueryCommandNamesTheTableOfContents) {
  const TDiscRecord disc = test::TwelveTrackDisc();
  EXPECT_EQ(CddbQueryCommand(TocOfRecord(disc)),
            "cddb query 930d1e0c 12 183 20465 39505 58588 81753 105820 133440 154833 180973 195203 212088 234705 3360");
  EXPECT_EQ(CddbRequestQuery("cddb read rock 930d1e0c", "1.2"),
            "cmd=cddb+read+rock+930d1e0c&hello=qvr+localhost+QVR+1.2&proto=6");
}

// The user's address is the greeting's name and host; one that cannot be an address is not sent.
TEST(GnudbTest, GreetingSendsTheUsersAddress) {
  const struct {
    const char* email;
    const char* hello;
  } cases[] = {
      {"", "qvr+localhost"},
      {"hanako@example.jp", "hanako+example.jp"},
      {"a+b@mail.example.com", "a%2Bb+mail.example.com"},
      {"hanako", "qvr+localhost"},
      {"@example.jp", "qvr+localhost"},
      {"hanako@", "qvr+localhost"},
      {"a@b@c", "qvr+localhost"},
      {"han ako@example.jp", "qvr+localhost"},
      {"花子@example.jp", "qvr+localhost"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CddbRequestQuery("cddb query 1", "1.2", c.email),
              std::string("cmd=cddb+query+1&hello=") + c.hello + "+QVR+1.2&proto=6")
        << c.email;
  }
}

struct QueryCase {
  const char* name;
  const char* answer;
  std::vector<std::string> categories;  // empty: refused with `failure`
  LookupFailure failure = LookupFailure::BadAnswer;
};

class CddbQueryTest : public testing::TestWithParam<QueryCase> {};

TEST_P(CddbQueryTest, ListsMatches) {
  if (GetParam().categories.empty()) {
    try {
      ParseCddbQuery(GetParam().answer);
      FAIL() << "accepted";
    } catch (const LookupError& error) {
      EXPECT_EQ(error.Failure(), GetParam().failure);
    }
    return;
  }
  std::vector<std::string> categories;
  for (const CddbMatch& match : ParseCddbQuery(GetParam().answer)) categories.push_back(match.Category);
  EXPECT_EQ(categories, GetParam().categories);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, CddbQueryTest,
    testing::Values(
        QueryCase{"Exact", "200 rock 930d1e0c Artist / Title\r\n", {"rock"}},
        QueryCase{"Several",
                  "210 Found exact matches, list follows (until terminating `.')\r\n"
                  "rock 930d1e0c A / B\r\nmisc 930d1e0d C / D\r\n.\r\n",
                  {"rock", "misc"}},
        QueryCase{
            "Inexact", "211 Found inexact matches, list follows\r\nsoundtrack 930d1e0c A / B\r\n.\r\n", {"soundtrack"}},
        QueryCase{"UnsafeWordsLeftOut", "210 list\r\n../x 1 A / B\r\nrock 930d1e0c A / B\r\n.\r\n", {"rock"}},
        QueryCase{"NoMatch", "202 No match for disc ID 930d1e0c.\r\n", {}, LookupFailure::NotFound},
        QueryCase{"ServerError", "500 Command syntax error\r\n", {}, LookupFailure::ServerError},
        QueryCase{"Garbage", "<html>busy</html>", {}, LookupFailure::BadAnswer},
        QueryCase{"EmptyList", "210 list\r\n.\r\n", {}, LookupFailure::NotFound}),
    test::CaseName());

TEST(GnudbTest, ReadFillsDiscNameArtistGenreAndTitles) {
  const TDiscRecord disc = test::TwelveTrackDisc();
  const CddbMatch match{"rock", "930d1e0c", "CDDB Artist / CDDB Title"};
  const DiscProposal proposal = ParseCddbRead(test::CddbReadAnswer("rock", "930d1e0c"), match, disc);
  EXPECT_EQ(proposal.Source, "gnudb");
  EXPECT_EQ(proposal.Record.DiscName.ToUtf8(), "CDDB Title");
  EXPECT_EQ(proposal.Record.ArtistName.ToUtf8(), "CDDB Artist");
  EXPECT_EQ(proposal.Record.DiscType, kNoDiscType);
  EXPECT_EQ(proposal.Record.Tracks[1].TrackName.ToUtf8(), "Song 1");
  EXPECT_EQ(proposal.Record.Tracks[12].TrackName.ToUtf8(), "Song 12 (long version)");
  EXPECT_EQ(proposal.Record.Tracks[7].Genre.ToUtf8(), "J-Pop");
  EXPECT_EQ(proposal.Record.Tracks[7].StartPos, disc.Tracks[7].StartPos);
}

// Entries stored before gnudb spoke UTF-8 come in Latin-1 (code page 1252): their letters are
// kept, and nothing invalid reaches the chooser. A UTF-8 answer is read as it is.
TEST(GnudbTest, Latin1AnswersAreReadAsLatin1) {
  const std::vector<CddbMatch> matches = ParseCddbQuery("200 misc 1234abcd Bj\xF6rk / Caf\xE9\r\n");
  ASSERT_EQ(matches.size(), 1u);
  EXPECT_EQ(matches[0].Title, "Björk / Café");

  const std::string read = "210 misc 1234abcd entry\r\nDTITLE=Bj\xF6rk / Caf\xE9\r\nTTITLE0=Don\x92t \x80 1\r\n.\r\n";
  const DiscProposal proposal = ParseCddbRead(read, matches[0], test::TwelveTrackDisc());
  EXPECT_EQ(proposal.Artist, "Björk");
  EXPECT_EQ(proposal.Title, "Café");
  EXPECT_EQ(proposal.Record.DiscName.ToUtf8(), "Cafe");
  EXPECT_EQ(proposal.Record.Tracks[1].TrackName.ToUtf8(), "Don't EUR 1");

  const DiscProposal utf8 =
      ParseCddbRead("210 misc 1234abcd entry\r\nDTITLE=Björk / Café\r\n.\r\n", matches[0], test::TwelveTrackDisc());
  EXPECT_EQ(utf8.Artist, "Björk");
  EXPECT_EQ(utf8.Title, "Café");
}

TEST(GnudbTest, ReadRefusesAnError) {
  const CddbMatch match{"rock", "930d1e0c", ""};
  EXPECT_THROW(ParseCddbRead("401 rock 930d1e0c No such CD entry in database.\r\n", match, test::TwelveTrackDisc()),
               LookupError);
}

}  // namespace
}  // namespace qvr
