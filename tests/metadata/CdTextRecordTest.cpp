// CD-Text made into record bytes and a proposed disc record: Shift-JIS kept byte for byte, other
// codes converted with the nearest Shift-JIS form, fields filled only where empty.
#include <gtest/gtest.h>

#include "cddb/DatabaseTestSupport.h"
#include "cddb/DiscDatabase.h"
#include "metadata/CdTextRecord.h"
#include "support/CaseName.h"
#include "util/ShiftJis.h"

namespace qvr::test {
namespace {

std::string Sjis(std::string_view utf8) { return Utf8ToSjis(utf8).bytes; }

struct BytesCase {
  std::string name;
  CdTextString text;
  std::size_t capacity;
  std::string record;  // the record bytes, as UTF-8 when `asUtf8`
};

class CdTextRecordBytesTest : public testing::TestWithParam<BytesCase> {};

TEST_P(CdTextRecordBytesTest, NearestShiftJisNeverAQuestionMark) {
  const BytesCase& c = GetParam();
  EXPECT_EQ(CdTextRecordBytes(c.text, c.capacity), c.record);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, CdTextRecordBytesTest,
    testing::Values(
        // Code page 932 characters the plain Shift_JIS table lacks survive byte for byte.
        BytesCase{"MsJisKept", {Sjis("①㈱テスト髙"), CdTextCharset::MsJis}, 96, Sjis("①㈱テスト髙")},
        BytesCase{"MsJisBackslashKept", {"AC\\DC", CdTextCharset::MsJis}, 96, "AC\\DC"},
        BytesCase{"MsJisCutAtCharacter", {Sjis("あいう"), CdTextCharset::MsJis}, 5, Sjis("あい")},
        BytesCase{"MsJisControlsBlank", {Sjis(" 歌\tの\x01題 "), CdTextCharset::MsJis}, 96, Sjis("歌 の 題")},
        BytesCase{"Latin1Accents", {"Caf\xE9 \xC6on \xDF\xF8", CdTextCharset::Latin1}, 96, "Cafe AEon sso"},
        BytesCase{"Latin1SignsWithForms",
                  {"\xB1\xD7\xA7 \xA9\xAE \xA5"
                   "1",
                   CdTextCharset::Latin1},
                  96,
                  Sjis("±×§ (C)(R) ￥1")},
        BytesCase{"Latin1ControlCodesLeftOut",
                  {"A\x85"
                   "B\x9F",
                   CdTextCharset::Latin1},
                  96,
                  "AB"},
        BytesCase{"Windows1252Quotes",
                  {"\x93Hi\x94 \x96 \x80"
                   "5 \x85",
                   CdTextCharset::Windows1252},
                  96,
                  Sjis("“Hi” - EUR5 …")},
        BytesCase{"Utf8", {"Ünïcode ① ♪ 漢字 ✓", CdTextCharset::Utf8}, 96, Sjis("Unicode ① ♪ 漢字")},
        BytesCase{"Utf8Broken", {"A\xC3", CdTextCharset::Utf8}, 96, "AA"}),
    CaseName());

TDiscRecord Disc(std::uint8_t tracks) {
  TDiscRecord disc;
  ClearDisc(disc, FixedDate(45292));
  disc.DiscKey = "0A0B0C0D";
  disc.TrackCount = tracks;
  for (std::uint8_t n = 1; n <= tracks; ++n) disc.Tracks[n].StartPos = n;
  return disc;
}

TEST(CdTextProposal, FieldsOfTheRecord) {
  CdText text;
  text.Disc.Title = {Sjis("アルバム①"), CdTextCharset::MsJis};
  text.Disc.Performer = {"Band", CdTextCharset::Latin1};
  text.Disc.Genre = {"Rock Music", CdTextCharset::Latin1};
  text.Track(1) = {{"One", CdTextCharset::Latin1},      {},
                   {"Lyricist", CdTextCharset::Latin1}, {"Composer", CdTextCharset::Latin1},
                   {"Arranger", CdTextCharset::Latin1}, {}};
  text.Track(2).Title = {"Two", CdTextCharset::Latin1};
  text.Track(2).Genre = {"Ballad", CdTextCharset::Latin1};
  text.Track(5).Title = {"Not on this disc", CdTextCharset::Latin1};
  const std::optional<TDiscRecord> proposed = CdTextProposal(text, Disc(3));
  ASSERT_TRUE(proposed);
  EXPECT_EQ(proposed->DiscKey, "0A0B0C0D");
  EXPECT_EQ(proposed->DiscName, Sjis("アルバム①"));
  EXPECT_EQ(proposed->ArtistName, "Band");
  EXPECT_EQ(proposed->DiscType, 255);
  EXPECT_EQ(proposed->Tracks[1].TrackName, "One");
  EXPECT_EQ(proposed->Tracks[1].Lyricsby, "Lyricist");
  EXPECT_EQ(proposed->Tracks[1].Musicby, "Composer");
  EXPECT_EQ(proposed->Tracks[1].Arrangeby, "Arranger");
  EXPECT_EQ(proposed->Tracks[1].Genre, "Rock Music");
  EXPECT_EQ(proposed->Tracks[2].Genre, "Ballad");
  EXPECT_EQ(proposed->Tracks[2].StartPos, 2u);
  EXPECT_TRUE(proposed->Tracks[3].TrackName.Empty());
  EXPECT_TRUE(proposed->Tracks[5].TrackName.Empty());
  // A genre longer than its field is cut to 16 bytes.
  text.Disc.Genre = {"Contemporary Christian", CdTextCharset::Latin1};
  EXPECT_EQ(CdTextProposal(text, Disc(3))->Tracks[3].Genre, "Contemporary Chr");
  EXPECT_FALSE(CdTextProposal(CdText{}, Disc(3)));
  CdText blanks;
  blanks.Disc.Title = {"   ", CdTextCharset::Latin1};
  EXPECT_FALSE(CdTextProposal(blanks, Disc(3)));
}

TEST(CdTextProposal, FillsOnlyEmptyTexts) {
  TDiscRecord disc = Disc(2);
  disc.DiscName = "Typed";
  disc.Tracks[2].TrackName = " ";
  TDiscRecord proposed = Disc(2);
  proposed.DiscName = "From CD-Text";
  proposed.ArtistName = "Artist";
  proposed.Tracks[1].TrackName = "One";
  proposed.Tracks[2].TrackName = "Two";
  EXPECT_EQ(FillEmptyTexts(disc, proposed), 3u);
  EXPECT_EQ(disc.DiscName, "Typed");
  EXPECT_EQ(disc.ArtistName, "Artist");
  EXPECT_EQ(disc.Tracks[2].TrackName, "Two");
}

}  // namespace
}  // namespace qvr::test
