// The play list's rows without widgets: inserts, deletes, moves and reset as a table of edits,
// the total time across 60 s, 60 min and 256 min, and what a row shows.
#include <gtest/gtest.h>

#include <functional>

#include "dialogs/PlayListModel.h"
#include "support/CaseName.h"
#include "util/Msf.h"

namespace qvr::test {
namespace {

using Entries = std::vector<std::string>;

// A disc of `lengths` (packed MSF); track 2 has no title, the others are named "曲<n>".
TDiscRecord Disc(const std::vector<std::uint32_t>& lengths) {
  TDiscRecord disc;
  disc.TrackCount = static_cast<std::uint8_t>(lengths.size());
  for (std::size_t n = 1; n <= lengths.size(); ++n) {
    disc.Tracks[n].Length = lengths[n - 1];
    if (n != 2) disc.Tracks[n].TrackName = ShortString<96>::FromUtf8("曲" + std::to_string(n));
  }
  return disc;
}

struct EditCase {
  const char* name;
  Entries before;
  std::function<bool(PlayListModel&)> edit;  // returns whether the edit changed something
  Entries after;
  bool changed;
};

class PlayListEditTest : public testing::TestWithParam<EditCase> {};

TEST_P(PlayListEditTest, Edits) {
  const TDiscRecord disc = Disc({PackMSF(1, 0, 0), PackMSF(2, 0, 0), PackMSF(3, 0, 0), PackMSF(4, 0, 0)});
  PlayListModel model(disc, GetParam().before);
  EXPECT_EQ(GetParam().edit(model), GetParam().changed);
  EXPECT_EQ(model.Entries(), GetParam().after);
}

bool Insert(PlayListModel& model, std::size_t at, int track) {
  model.Insert(at, track);
  return true;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlayListEditTest,
    testing::Values(
        EditCase{"AddAtEnd", {"1", "2"}, [](auto& m) { return Insert(m, 2, 3); }, {"1", "2", "3"}, true},
        EditCase{"AddInFrontOfRow1", {"1", "2"}, [](auto& m) { return Insert(m, 1, 3); }, {"1", "3", "2"}, true},
        EditCase{"AddPastTheEndAppends", {"1"}, [](auto& m) { return Insert(m, 9, 4); }, {"1", "4"}, true},
        EditCase{"AddToEmpty", {}, [](auto& m) { return Insert(m, 0, 2); }, {"2"}, true},
        EditCase{"AddRepeatsATrack", {"3"}, [](auto& m) { return Insert(m, 0, 3); }, {"3", "3"}, true},
        EditCase{"DeleteNothingSelected", {"1", "2"}, [](auto& m) { return m.Delete({}); }, {"1", "2"}, false},
        EditCase{"DeleteSelectionFromTheLastRowBack",
                 {"1", "2", "3", "4"},
                 [](auto& m) {
                   return m.Delete({3, 0, 2});
                 },
                 {"2"},
                 true},
        EditCase{"DeleteIgnoresRepeatsAndMissingRows",
                 {"1", "2", "3"},
                 [](auto& m) {
                   return m.Delete({1, 1, 7});
                 },
                 {"1", "3"},
                 true},
        EditCase{"DeleteOnlyMissingRows", {"1"}, [](auto& m) { return m.Delete({4}); }, {"1"}, false},
        EditCase{"MoveDown", {"1", "2", "3", "4"}, [](auto& m) { return m.Move(0, 2); }, {"2", "3", "1", "4"}, true},
        EditCase{"MoveUp", {"1", "2", "3", "4"}, [](auto& m) { return m.Move(3, 0); }, {"4", "1", "2", "3"}, true},
        EditCase{"MoveOntoItself", {"1", "2", "3"}, [](auto& m) { return m.Move(1, 1); }, {"1", "2", "3"}, false},
        EditCase{"MoveBelowTheLastRow",
                 {"1", "2", "3", "4"},
                 [](auto& m) { return m.Move(0, std::nullopt); },
                 {"2", "3", "4", "1"},
                 true},
        EditCase{"MoveTheLastRowBelowItself",
                 {"1", "2"},
                 [](auto& m) { return m.Move(1, std::nullopt); },
                 {"1", "2"},
                 false},
        EditCase{"MoveFromNoRow", {"1", "2"}, [](auto& m) { return m.Move(5, 0); }, {"1", "2"}, false},
        EditCase{"MoveInEmptyList", {}, [](auto& m) { return m.Move(0, std::nullopt); }, {}, false},
        EditCase{"ResetToDiscOrder",
                 {"3", "3", "1"},
                 [](auto& m) {
                   m.Reset();
                   return true;
                 },
                 {"1", "2", "3", "4"},
                 true}),
    CaseName());

struct TotalCase {
  const char* name;
  std::vector<std::uint32_t> lengths;
  Entries entries;
  const char* total;
};

class PlayListTotalTest : public testing::TestWithParam<TotalCase> {};

TEST_P(PlayListTotalTest, AddsTheLengthsOfAllRows) {
  const TDiscRecord disc = Disc(GetParam().lengths);
  EXPECT_EQ(PlayListModel(disc, GetParam().entries).TotalText(), std::string("総演奏時間：") + GetParam().total);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlayListTotalTest,
    testing::Values(
        TotalCase{"Empty", {PackMSF(4, 5, 12)}, {}, "0:0:0"},
        TotalCase{"NoLeadingZeros", {PackMSF(4, 5, 12)}, {"1"}, "4:5:12"},
        TotalCase{"FramesAndSecondsCarry", {PackMSF(0, 59, 40)}, {"1", "1"}, "1:59:5"},
        TotalCase{"Crosses60Minutes", {PackMSF(30, 0, 0), PackMSF(29, 59, 74)}, {"1", "2", "2"}, "89:59:73"},
        // Nine times 29 minutes: an eight-bit minute counter would show 5.
        TotalCase{"Crosses256Minutes", {PackMSF(29, 0, 1)}, {"1", "1", "1", "1", "1", "1", "1", "1", "1"}, "261:0:9"},
        TotalCase{"EntriesThatNameNoTrackAddNothing", {PackMSF(1, 0, 0)}, {"0", "1", "2", "x", "99"}, "1:0:0"}),
    CaseName());

TEST(PlayListModelTest, RowsShowTitleOrTrackNumberAndLength) {
  const TDiscRecord disc = Disc({PackMSF(4, 5, 12), PackMSF(0, 3, 0)});
  PlayListModel model(disc, {"1", "2", "7"});
  EXPECT_EQ(model.Row(0), (PlayListRow{"1", "曲1", "4:5:12"}));
  EXPECT_EQ(model.Row(1), (PlayListRow{"2", "トラック 2", "0:3:0"}));
  // An entry that is no track of this disc is shown but never looked up.
  EXPECT_EQ(model.Row(2), (PlayListRow{"7", "トラック 7", ""}));
  EXPECT_EQ(model.TrackOf(2), std::nullopt);

  const std::vector<PlayListTrackItem> items = model.TrackItems();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].caption, "曲1");
  EXPECT_EQ(items[1].track, 2);
  EXPECT_EQ(items[1].caption, "トラック 2");
}

// A disc with a hidden first track offers it as track 0 before track 1, rows of entry 0 show it
// with its length and count it in the total, and the disc's own order still starts at track 1.
TEST(PlayListModelTest, HiddenTrackIsTrackZeroBeforeTrackOne) {
  const TDiscRecord disc = Disc({PackMSF(4, 5, 12), PackMSF(0, 3, 0)});
  PlayListModel model(disc, {"0", "2"}, PackMSF(1, 2, 3));
  EXPECT_EQ(model.Row(0), (PlayListRow{"0", "トラック 0 (隠しトラック)", "1:2:3"}));
  EXPECT_EQ(model.TotalText(), "総演奏時間：1:5:3");
  const std::vector<PlayListTrackItem> items = model.TrackItems();
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].track, 0);
  EXPECT_EQ(items[0].caption, "トラック 0 (隠しトラック)");
  EXPECT_EQ(items[1].track, 1);
  model.Insert(0, 0);
  EXPECT_EQ(model.Entries(), (Entries{"0", "0", "2"}));
  model.Reset();
  EXPECT_EQ(model.Entries(), (Entries{"1", "2"}));
  // Without one, entry 0 names no track.
  EXPECT_EQ(PlayListModel(disc, {"0"}).TrackOf(0), std::nullopt);
}

}  // namespace
}  // namespace qvr::test
