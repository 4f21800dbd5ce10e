// The play commands: range selection from the play order, the play modes and their release,
// pause and resume, next and previous, the tray icon's clicks and the dialog commands.
#include <gtest/gtest.h>

#include "app/ControllerFixture.h"

namespace qvr::test {
namespace {

class CommandsTest : public ControllerFixture {
 protected:
  TQVRDM& StartWithDisc(const std::string& other = "", const std::string& sections = "", int tracks = 12) {
    WriteSettings(other, sections);
    drive.InsertDisc(Toc(std::vector<int>(static_cast<std::size_t>(tracks), 10)));
    return Started();
  }
};

enum class Mode { None, RepeatOne, RepeatAll, Random };

struct RangeCase {
  const char* name;
  std::vector<std::string> order;
  Mode mode;
  std::size_t index;
  int from, to;
};

class SelectPlayRangeTest : public CommandsTest, public testing::WithParamInterface<RangeCase> {};

TEST_P(SelectPlayRangeTest, PicksTheRange) {
  TQVRDM& dm = StartWithDisc();
  dm.PlayOrder = GetParam().order;
  if (GetParam().mode == Mode::RepeatOne) dm.RepeatOneMNUClick();
  if (GetParam().mode == Mode::RepeatAll) dm.RepeatAllMNUClick();
  dm.PlayIndex = GetParam().index;
  dm.PlayMNUClick();
  EXPECT_EQ(dm.CD.PlayFrom, GetParam().from);
  EXPECT_EQ(dm.CD.PlayTo, GetParam().to);
  EXPECT_EQ(dm.PlayIndex, GetParam().index);  // the extension does not move the position
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SelectPlayRangeTest,
    testing::Values(
        RangeCase{"WholeDisc", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"}, Mode::None, 1, 1, 12},
        RangeCase{"FirstRun", {"5", "6", "7", "2", "3"}, Mode::None, 1, 5, 7},
        RangeCase{"SecondRun", {"5", "6", "7", "2", "3"}, Mode::None, 4, 2, 3},
        RangeCase{"RepeatAllNoWrapWithoutSuccessor", {"5", "6", "7", "2", "3"}, Mode::RepeatAll, 4, 2, 3},
        RangeCase{"RepeatAllWrapsToTheStart", {"3", "4", "1", "2"}, Mode::RepeatAll, 3, 1, 4},
        RangeCase{"NoWrapWithoutRepeatAll", {"3", "4", "1", "2"}, Mode::None, 3, 1, 2},
        RangeCase{"RepeatOneSingleEntry", {"2", "4", "6"}, Mode::RepeatOne, 2, 4, 4},
        RangeCase{"RepeatOneInsideARun", {"1", "2", "3"}, Mode::RepeatOne, 1, 1, 1},
        RangeCase{"RepeatedEntries", {"2", "2", "3"}, Mode::None, 1, 2, 2},
        RangeCase{"SingleTrack", {"7"}, Mode::None, 1, 7, 7}),
    CaseName());

TEST_F(CommandsTest, RandomNeverPicksTheSameEntryTwiceInARow) {
  TQVRDM& dm = StartWithDisc();
  dm.RandomMNUClick();
  dm.PlayOrder = {"1", "2", "3", "4", "5"};
  dm.PlayIndex = 3;
  random.draws = {3, 3, 5};
  dm.PlayMNUClick();
  EXPECT_EQ(dm.PlayIndex, 5u);
  EXPECT_EQ((std::pair(dm.CD.PlayFrom, dm.CD.PlayTo)), (std::pair<std::uint8_t, std::uint8_t>(5, 5)));

  dm.PlayOrder = {"4", "9"};
  dm.PlayIndex = 1;
  std::vector<int> played;
  for (int i = 0; i < 3; ++i) {
    dm.PlayMNUClick();
    played.push_back(dm.CD.PlayFrom);
  }
  EXPECT_EQ(played, (std::vector<int>{9, 4, 9}));

  dm.PlayOrder = {"6"};
  dm.PlayMNUClick();
  EXPECT_EQ(dm.PlayIndex, 1u);
  EXPECT_EQ(dm.CD.PlayFrom, 6);
}

TEST_F(CommandsTest, ModesAreExclusiveAndThePadFollows) {
  TQVRDM& dm = StartWithDisc();
  dm.RepeatOneMNUClick();
  dm.RepeatAllMNUClick();
  EXPECT_FALSE(dm.QVRMenu.Checked(MenuItemId::RepeatOneMNU));
  EXPECT_TRUE(dm.QVRMenu.Checked(MenuItemId::RepeatAllMNU));
  EXPECT_FALSE(view.toggles[PadToggle::RepeatOneBTN]);
  EXPECT_TRUE(view.toggles[PadToggle::RepeatAllBTN]);
  dm.RepeatAllMNUClick();
  EXPECT_FALSE(dm.QVRMenu.Checked(MenuItemId::RepeatAllMNU));
  EXPECT_FALSE(view.toggles[PadToggle::RepeatAllBTN]);
}

TEST_F(CommandsTest, StopReleasesOnlyModesWithUnlockZero) {
  struct {
    int unlock;
    bool kept;
  } cases[] = {{0, false}, {1, true}, {2, true}};
  for (const auto& c : cases) {
    TQVRDM& dm = StartWithDisc("", "[Repeat]\r\nAllUnlock=" + std::to_string(c.unlock) + "\r\n");
    dm.RepeatAllMNUClick();
    dm.PlayMNUClick();
    dm.StopMNUClick();
    EXPECT_EQ(dm.QVRMenu.Checked(MenuItemId::RepeatAllMNU), c.kept) << c.unlock;
    EXPECT_EQ(drive.Requests.back(), "Stop");
    EXPECT_EQ(view.tray_icon, "STOP");
    EXPECT_EQ(dm.PlayIndex, 1u);
  }
}

TEST_F(CommandsTest, PauseShowsThePauseTextAndResumeTheTitle) {
  Register(Toc({10, 10}), "Alpha", "Beta", {"One", "Two"});
  WriteSettings();
  drive.InsertDisc(Toc({10, 10}));
  TQVRDM& dm = Started();
  dm.PlayMNUClick();
  dm.PauseMNUClick();
  EXPECT_EQ(view.tray_icon, "PAUSE");
  EXPECT_EQ(dm.PauseSavedText, "[One]");
  EXPECT_EQ(view.lyrics_text, "一時停止中...");
  EXPECT_EQ(dm.QVRMenu.Caption(MenuItemId::PauseMNU), "一時停止解除");
  Tick();
  EXPECT_EQ(view.lyrics_text, "[One]");  // the pause text blinks with the title
  Tick();
  EXPECT_EQ(view.lyrics_text, "一時停止中...");
  dm.PauseMNUClick();
  EXPECT_EQ(view.tray_icon, "PLAY1");
  EXPECT_EQ(view.lyrics_text, "[One]");
  EXPECT_EQ(dm.QVRMenu.Caption(MenuItemId::PauseMNU), "一時停止");
  EXPECT_EQ(dm.CD.CDState, cdPlaying);
}

TEST_F(CommandsTest, NextAndPreviousWrapAround) {
  TQVRDM& dm = StartWithDisc("", "", 3);
  dm.PlayOrder = {"3", "1", "2"};
  dm.PlayIndex = 3;
  dm.NextMNUClick();
  EXPECT_EQ(dm.PlayIndex, 1u);
  EXPECT_EQ(dm.CD.PlayFrom, 3);
  dm.PreviousMNUClick();
  EXPECT_EQ(dm.PlayIndex, 3u);
  EXPECT_EQ(dm.CD.PlayFrom, 2);
}

TEST_F(CommandsTest, EmptyPlayOrderPlaysNothing) {
  TQVRDM& dm = StartWithDisc();
  dm.PlayOrder.clear();
  const std::size_t requests = drive.Requests.size();
  dm.PlayMNUClick();
  dm.NextMNUClick();
  dm.PreviousMNUClick();
  EXPECT_EQ(drive.Requests.size(), requests);
  EXPECT_EQ(dm.CD.CDState, cdStopped);
}

TEST_F(CommandsTest, LongPlayOrdersReachEveryPosition) {
  TQVRDM& dm = StartWithDisc("", "", 3);
  dm.PlayOrder.clear();
  for (int i = 0; i < 300; ++i) dm.PlayOrder.push_back(std::to_string(i % 3 + 1));
  dm.PlayIndex = 299;
  dm.NextMNUClick();
  EXPECT_EQ(dm.PlayIndex, 300u);
  EXPECT_EQ(dm.CD.PlayFrom, 3);
  dm.NextMNUClick();
  EXPECT_EQ(dm.PlayIndex, 1u);
}

TEST_F(CommandsTest, TrayClicksFollowTheState) {
  TQVRDM& dm = StartWithDisc();
  dm.TaskTrayClick(TQVRDM::MouseButton::Left);  // stopped: play
  EXPECT_EQ(dm.CD.CDState, cdPlaying);
  dm.TaskTrayClick(TQVRDM::MouseButton::Left);  // playing: pause
  EXPECT_EQ(dm.CD.CDState, cdPaused);
  dm.TaskTrayClick(TQVRDM::MouseButton::Middle);
  EXPECT_EQ(dm.CD.CDState, cdPaused);
  dm.TaskTrayClick(TQVRDM::MouseButton::Right);
  EXPECT_EQ(view.Lines("PopupMenu").size(), 1u);
  dm.DialogState = 4;
  dm.TaskTrayClick(TQVRDM::MouseButton::Right);
  EXPECT_EQ(view.Lines("PopupMenu").size(), 1u);

  drive.OpenTray();
  Tick();
  const std::size_t requests = drive.Requests.size();
  dm.TaskTrayClick(TQVRDM::MouseButton::Left);  // no disc: nothing
  EXPECT_EQ(drive.Requests.size(), requests);
}

TEST_F(CommandsTest, RegistrationStoresOnUpdateOnly) {
  TQVRDM& dm = StartWithDisc("AutoWall=1\r\n", "", 2);
  view.dialog_actions[DialogKind::Registration] = [&] {
    dm.Disc.DiscName = "Cancelled";
    return ModalResult::Cancel;
  };
  dm.LibraryEditMNUClick();
  EXPECT_EQ(StoredName(dm.Disc), "");
  view.dialog_actions[DialogKind::Registration] = [&] {
    dm.Disc.DiscName = "R&B";
    dm.Disc.JacketFile = "/pictures/rb.bmp";
    return ModalResult::Update;
  };
  dm.LibraryEditMNUClick();
  EXPECT_EQ(StoredName(dm.Disc), "R&B");
  EXPECT_EQ(wallpaper.current, "/pictures/rb.bmp");
  EXPECT_EQ(view.pad_caption, "[R&B] アーティスト名未登録");
  EXPECT_EQ(dm.DialogState, 0);
}

TEST_F(CommandsTest, JacketViewNeedsAnExistingFile) {
  TQVRDM& dm = StartWithDisc();
  dm.JacketViewMNUClick();
  dm.Disc.JacketFile = (dir / "missing.bmp").string();
  dm.JacketViewMNUClick();
  WriteFile(dir / "found.bmp", "BM");
  dm.Disc.JacketFile = (dir / "found.bmp").string();
  dm.JacketViewMNUClick();
  EXPECT_EQ(view.messages,
            (std::vector<std::string>{"ジャケット無し: ジャケットファイルが指定されていません",
                                      "読み込みエラー: ファイルが見つかりません\n" + (dir / "missing.bmp").string()}));
  EXPECT_EQ(view.Lines("RunDialog 3").size(), 1u);
  EXPECT_EQ(dm.DialogState, 0);
}

}  // namespace
}  // namespace qvr::test
