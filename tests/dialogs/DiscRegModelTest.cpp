// The registration dialog's working copy: moving between tracks, committing the shown track,
// trimming, byte limits, dates, the disc type and texts the user never touched. Each case edits
// a model and states the whole record Update must leave behind.
#include <gtest/gtest.h>

#include <functional>

#include "cddb/DatabaseTestSupport.h"
#include "dialogs/DiscRegModel.h"
#include "dialogs/SaleDateText.h"
#include "support/CaseName.h"
#include "util/ShiftJis.h"

namespace qvr::test {
namespace {

std::string Sjis(std::string_view utf8) { return Utf8ToSjis(utf8).bytes; }
std::string Repeat(std::string_view text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

struct ModelCase {
  std::string name;
  std::function<TDiscRecord()> disc;
  // Edits the model (and checks what it shows on the way).
  std::function<void(DiscRegModel&)> edit;
  // Turns the record as it was into the record Update must leave.
  std::function<void(TDiscRecord&)> expect;
};

TDiscRecord Unregistered(std::uint8_t tracks) { return DriveDisc("0137EBFA", tracks, PackMSF(40, 2, 3)); }
TDiscRecord Registered(std::uint8_t tracks) { return RegisteredDisc("0137EBFA", tracks, PackMSF(40, 2, 3)); }

const ModelCase kCases[] = {
    {"OneTrackHasNowhereToMove", [] { return Unregistered(1); },
     [](DiscRegModel& m) {
       EXPECT_EQ(m.CurrentTrackText(), "1/1");
       EXPECT_FALSE(m.StepTrack(+1));
       EXPECT_FALSE(m.StepTrack(-1));
       m.SetTrackText(TrackField::TrackName, "唯一の曲");
     },
     [](TDiscRecord& d) { d.Tracks[1].TrackName = Sjis("唯一の曲"); }},
    {"NinetyNineTracksReachTheLast", [] { return Unregistered(99); },
     [](DiscRegModel& m) {
       EXPECT_TRUE(m.SelectTrack(99));
       EXPECT_EQ(m.CurrentTrackText(), "99/99");
       EXPECT_FALSE(m.StepTrack(+1));
       m.SetTrackText(TrackField::Genre, "J-POP");
       EXPECT_TRUE(m.StepTrack(-1));
       EXPECT_EQ(m.CurrentTrackText(), "98/99");
     },
     [](TDiscRecord& d) { d.Tracks[99].Genre = "J-POP"; }},
    {"MovesPastTheEndsAreRefused", [] { return Unregistered(5); },
     [](DiscRegModel& m) {
       EXPECT_FALSE(m.SelectTrack(0));
       EXPECT_FALSE(m.SelectTrack(6));
       EXPECT_FALSE(m.SelectTrack(1));
       EXPECT_EQ(m.CurrentTrack(), 1u);
       EXPECT_EQ(m.StartPosText(), "開始時間  4:0:0");
       EXPECT_EQ(m.LengthText(), "演奏時間  3:1:10");
       EXPECT_EQ(m.DiscTimeText(), "40:2:3");
     },
     [](TDiscRecord&) {}},
    {"EditsOfATrackComeBackUntrimmedAndAreStoredTrimmed", [] { return Unregistered(5); },
     [](DiscRegModel& m) {
       m.SelectTrack(3);
       m.SetTrackText(TrackField::Lyricsby, "  作詞家 ");
       EXPECT_TRUE(m.StepTrack(+1));
       EXPECT_EQ(m.TrackText(TrackField::Lyricsby), "");
       EXPECT_TRUE(m.StepTrack(-1));
       EXPECT_EQ(m.TrackText(TrackField::Lyricsby), "  作詞家 ");
       EXPECT_EQ(m.StartPosText(), "開始時間  12:0:0");
     },
     [](TDiscRecord& d) { d.Tracks[3].Lyricsby = Sjis("作詞家"); }},
    {"UpdateCommitsTheTrackShownNow", [] { return Registered(4); },
     [](DiscRegModel& m) {
       m.SelectTrack(2);
       m.SetTrackText(TrackField::TrackName, "新しい題");
       m.SetTrackText(TrackField::Arrangeby, "");
     },
     [](TDiscRecord& d) {
       d.Tracks[2].TrackName = Sjis("新しい題");
       d.Tracks[2].Arrangeby = "";
     }},
    {"TrimsBlanksAndControlsButNotAFullWidthBlank", [] { return Unregistered(2); },
     [](DiscRegModel& m) {
       m.SetDiscText(DiscField::DiscName, " \t名前\r\n ");
       m.SetDiscText(DiscField::ArtistName, "　全角空白　");
       m.SetDiscText(DiscField::JacketFile, "  /pictures/a b.png  ");
     },
     [](TDiscRecord& d) {
       d.DiscName = Sjis("名前");
       d.ArtistName = Sjis("　全角空白　");
       d.JacketFile = "/pictures/a b.png";
     }},
    {"FullFieldsAtADoubleByteBoundaryAreStoredWhole", [] { return Unregistered(2); },
     [](DiscRegModel& m) {
       m.SetDiscText(DiscField::DiscName, Repeat("漢", 48));            // 96 bytes
       m.SetTrackText(TrackField::Genre, "a" + Repeat("曲", 7) + "b");  // 16 bytes
       EXPECT_FALSE(m.FirstUnstorable());
     },
     [](TDiscRecord& d) {
       d.DiscName = Sjis(Repeat("漢", 48));
       d.Tracks[1].Genre = Sjis("a" + Repeat("曲", 7) + "b");
     }},
    {"TextsPastTheirBytesAreReportedAndNeverCut", [] { return Registered(2); },
     [](DiscRegModel& m) {
       m.SetDiscText(DiscField::LabelName, "a" + Repeat("漢", 48));  // 97 bytes
       auto problem = m.FirstUnstorable();
       ASSERT_TRUE(problem);
       EXPECT_FALSE(problem->on_track_page);
       EXPECT_EQ(problem->field, static_cast<std::size_t>(DiscField::LabelName));
       EXPECT_EQ(problem->check.status, EditCheck::Status::TooLong);
       m.SetDiscText(DiscField::LabelName, "Label 0137EBFA");
       m.SelectTrack(2);
       m.SetTrackText(TrackField::Genre, Repeat("曲", 8) + "x");  // 17 bytes, on the shown track
       problem = m.FirstUnstorable();
       ASSERT_TRUE(problem);
       EXPECT_TRUE(problem->on_track_page);
       EXPECT_EQ(problem->track, 2u);
       EXPECT_EQ(problem->capacity, 16u);
     },
     [](TDiscRecord&) {}},  // what cannot be stored whole keeps the record's bytes
    {"ACharacterWithoutShiftJisIsReportedNotStoredAsQuestionMark", [] { return Registered(2); },
     [](DiscRegModel& m) {
       m.SetDiscText(DiscField::DiscName, "Title 😀");
       m.SetDiscText(DiscField::ArtistName, "新しい人");
       const auto problem = m.FirstUnstorable();
       ASSERT_TRUE(problem);
       EXPECT_EQ(problem->check.status, EditCheck::Status::Unencodable);
       EXPECT_EQ(problem->check.offending, "😀");
     },
     [](TDiscRecord& d) { d.ArtistName = Sjis("新しい人"); }},
    {"UntouchedTextsKeepTheirBytesEvenWhenNotShiftJis",
     [] {
       TDiscRecord d = Registered(3);
       d.DiscName = std::string("\x81 bad\xFF ", 7);
       d.Tracks[2].Musicby = std::string(" \xA0\x82", 3);
       d.Tracks[3].Genre = "  padded  ";
       return d;
     },
     [](DiscRegModel& m) {
       EXPECT_FALSE(m.FirstUnstorable());
       m.SelectTrack(2);
       m.SelectTrack(3);
     },
     [](TDiscRecord&) {}},
    {"ADayPickedAgainKeepsTheStoredTimeOfDay", [] { return Registered(1); },
     [](DiscRegModel& m) {
       const CivilDate stored = *CivilFromDate(40000.5);
       EXPECT_EQ(m.SaleDay(), stored);
       m.SetSaleDay(CivilDate{2021, 3, 4});
       EXPECT_EQ(m.SaleDay(), (CivilDate{2021, 3, 4}));
       m.SetSaleDay(std::nullopt);
       m.SetSaleDay(stored);
     },
     [](TDiscRecord&) {}},
    {"APickedDayIsStoredAsThatDay", [] { return Registered(1); },
     [](DiscRegModel& m) {
       m.SetSaleDay(CivilDate{2021, 3, 4});
     },
     [](TDiscRecord& d) {
       d.SaleDate = DateFromCivil({2021, 3, 4});
     }},
    {"UnknownChosenIsStoredAsTheUnknownDate", [] { return Registered(1); },
     [](DiscRegModel& m) { m.SetSaleDay(std::nullopt); }, [](TDiscRecord& d) { d.SaleDate = kUnknownDate; }},
    // A new disc's record holds the day it was made, which is no sale date.
    {"ANewDiscStartsUnknownAndIsStoredUnknown", [] { return Unregistered(3); },
     [](DiscRegModel& m) { EXPECT_FALSE(m.SaleDay()); }, [](TDiscRecord&) {}},
    {"AProposalCarryingTheRecordsOwnDateLeavesItUnknown", [] { return Unregistered(2); },
     [](DiscRegModel& m) {
       m.Propose(Unregistered(2));  // as a CD-Text proposal carries the record's date
       EXPECT_FALSE(m.SaleDay());
     },
     [](TDiscRecord&) {}},
    {"AnInvalidStoredDateShowsUnknownAndStaysUntilPicked",
     [] {
       TDiscRecord d = Registered(1);
       d.SaleDate = -1e300;
       return d;
     },
     [](DiscRegModel& m) { EXPECT_FALSE(m.SaleDay()); }, [](TDiscRecord&) {}},
    {"NoTypeSelectedKeepsTheRecordsType",
     [] {
       TDiscRecord d = Registered(1);
       d.DiscType = 7;  // outside the list: shown with no selection
       return d;
     },
     [](DiscRegModel& m) {
       EXPECT_EQ(m.DiscTypeIndex(), -1);
       m.SetDiscTypeIndex(1);
       m.SetDiscTypeIndex(-1);
     },
     [](TDiscRecord&) {}},
    {"ASelectedTypeIsStored", [] { return Unregistered(5); },
     [](DiscRegModel& m) {
       EXPECT_EQ(m.DiscTypeIndex(), 0);
       m.SetDiscTypeIndex(3);
     },
     [](TDiscRecord& d) { d.DiscType = 3; }},
    {"AProposalFillsOnlyWhatIsStillEmpty",
     [] {
       TDiscRecord d = Unregistered(3);
       d.DiscType = 9;
       d.Tracks[3].Genre = "Rock";
       return d;
     },
     [](DiscRegModel& m) {
       m.SetDiscText(DiscField::DiscName, "自分の題");
       m.SetTrackText(TrackField::TrackName, "一曲目 (手入力)");  // on the page, not yet committed
       TDiscRecord proposed = Registered(5);
       proposed.ArtistName = std::string("  CD-Text \x82\xA0  ");
       m.Propose(proposed);
       EXPECT_EQ(m.DiscText(DiscField::DiscName), "自分の題");
       EXPECT_EQ(m.DiscText(DiscField::ArtistName), "CD-Text あ");
       EXPECT_EQ(m.TrackText(TrackField::TrackName), "一曲目 (手入力)");
       EXPECT_EQ(m.TrackText(TrackField::Lyricsby), "Lyricist 0137EBFA-1");
       EXPECT_EQ(m.DiscTypeIndex(), 3);
     },
     [](TDiscRecord& d) {
       const TDiscRecord proposed = Registered(5);
       d.DiscName = Sjis("自分の題");
       d.ArtistName = std::string("CD-Text \x82\xA0");
       d.LabelName = proposed.LabelName;
       d.DiscType = 3;
       d.JacketFile = proposed.JacketFile;
       d.LyricsFile = proposed.LyricsFile;
       for (std::size_t n = 1; n <= 3; ++n) {
         d.Tracks[n].TrackName = proposed.Tracks[n].TrackName;
         d.Tracks[n].Lyricsby = proposed.Tracks[n].Lyricsby;
         d.Tracks[n].Musicby = proposed.Tracks[n].Musicby;
         d.Tracks[n].Arrangeby = proposed.Tracks[n].Arrangeby;
         d.Tracks[n].Genre = proposed.Tracks[n].Genre;
       }
       d.Tracks[1].TrackName = Sjis("一曲目 (手入力)");
       d.Tracks[3].Genre = "Rock";
       d.SaleDate = DateFromCivil(*CivilFromDate(proposed.SaleDate));  // not registered yet
     }},
    // An unregistered disc's type is only guessed from its track count and its date is the day
    // its record was made: a proposal's type and date replace them.
    {"AProposalGivesAnUnregisteredDiscItsTypeAndDate", [] { return Unregistered(5); },
     [](DiscRegModel& m) {
       TDiscRecord proposed = Unregistered(5);
       proposed.DiscType = dtAlbum;
       proposed.SaleDate = DateFromCivil({2005, 6, 7});
       m.Propose(proposed);
       EXPECT_EQ(m.DiscTypeIndex(), dtAlbum);
       EXPECT_EQ(m.SaleDay(), (CivilDate{2005, 6, 7}));
     },
     [](TDiscRecord& d) {
       d.DiscType = dtAlbum;
       d.SaleDate = DateFromCivil({2005, 6, 7});
     }},
    {"ATypeAndDayTheUserChoseStay", [] { return Unregistered(5); },
     [](DiscRegModel& m) {
       m.SetDiscTypeIndex(dtMaxiSingle);
       m.SetSaleDay(CivilDate{2020, 1, 2});
       TDiscRecord proposed = Unregistered(5);
       proposed.DiscType = dtAlbum;
       proposed.SaleDate = DateFromCivil({2005, 6, 7});
       m.Propose(proposed);
     },
     [](TDiscRecord& d) {
       d.DiscType = dtMaxiSingle;
       d.SaleDate = DateFromCivil({2020, 1, 2});
     }},
    {"ARegisteredDiscKeepsItsTypeAndDate", [] { return Registered(5); },
     [](DiscRegModel& m) {
       TDiscRecord proposed = Unregistered(5);
       proposed.DiscType = dtSingle;
       proposed.SaleDate = DateFromCivil({2005, 6, 7});
       m.Propose(proposed);
     },
     [](TDiscRecord&) {}},
};

class DiscRegModelTest : public testing::TestWithParam<ModelCase> {};

TEST_P(DiscRegModelTest, UpdateLeavesTheExpectedRecord) {
  const ModelCase& c = GetParam();
  const TDiscRecord before = c.disc();
  DiscRegModel model(before);
  c.edit(model);
  TDiscRecord expected = before;
  // A disc registered now has no known sale date unless one was chosen or proposed.
  if (before.DiscName.Empty()) expected.SaleDate = kUnknownDate;
  c.expect(expected);
  TDiscRecord after = before;
  model.CommitInto(after);
  // The unknown date is a NaN, which equals nothing: compared by kind.
  EXPECT_EQ(IsUnknownDate(after.SaleDate), IsUnknownDate(expected.SaleDate));
  if (IsUnknownDate(after.SaleDate) && IsUnknownDate(expected.SaleDate)) after.SaleDate = expected.SaleDate = 0;
  EXPECT_EQ(after, expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, DiscRegModelTest, testing::ValuesIn(kCases), CaseName());

// The date field's texts: what it shows for a day, and what typed texts mean.
TEST(SaleDateTextTest, ReadsTheWaysADateIsTyped) {
  EXPECT_EQ(SaleDateText(CivilDate{2024, 3, 15}), "2024年3月15日");
  EXPECT_EQ(SaleDateText(std::nullopt), "");
  const struct {
    const char* text;
    bool ok;
    std::optional<CivilDate> day;
  } cases[] = {
      {"2024年3月15日", true, CivilDate{2024, 3, 15}},
      {"2024/3/15", true, CivilDate{2024, 3, 15}},
      {" 2024-03-15 ", true, CivilDate{2024, 3, 15}},
      {"2024.3.15", true, CivilDate{2024, 3, 15}},
      {"２０２４／３／１５", true, CivilDate{2024, 3, 15}},
      {"20240315", true, CivilDate{2024, 3, 15}},
      {"2024年3月15日(金)", true, CivilDate{2024, 3, 15}},
      {"", true, std::nullopt},
      {"　", true, std::nullopt},
      {"不明", true, std::nullopt},
      {"2023/2/29", false, std::nullopt},  // no such day
      {"2024/13/1", false, std::nullopt},
      {"2024/3", false, std::nullopt},
      {"きのう", false, std::nullopt},
      {"99999/1/1", false, std::nullopt},
  };
  for (const auto& c : cases) {
    const SaleDateReading reading = ReadSaleDate(c.text);
    EXPECT_EQ(reading.ok, c.ok) << c.text;
    EXPECT_EQ(reading.day, c.day) << c.text;
  }
}

// A record opened and updated without an edit is the record it was, byte for byte; the texts
// the controls show are the record's texts decoded.
TEST(DiscRegModelTest, OpensWithTheRecordsTextsAndUpdatesToTheSameRecord) {
  const TDiscRecord disc = Registered(12);
  DiscRegModel model(disc);
  EXPECT_EQ(model.DiscText(DiscField::DiscName), "Title 0137EBFA");
  EXPECT_EQ(model.DiscText(DiscField::LyricsFile), "/lyrics/0137EBFA.txt");
  EXPECT_EQ(model.TrackText(TrackField::Musicby), "Composer 0137EBFA-1");
  EXPECT_EQ(model.CurrentTrackText(), "1/12");
  EXPECT_EQ(model.DiscTypeIndex(), 3);
  TDiscRecord after = disc;
  model.CommitInto(after);
  EXPECT_EQ(after, disc);
}

}  // namespace
}  // namespace qvr::test
