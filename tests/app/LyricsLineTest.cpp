// The lyrics line's commands (visibility, dragging, right click) and the timed lyrics: reading
// the disc's lyrics file when its record is loaded or stored, and the step that follows the
// play head.
#include <gtest/gtest.h>

#include "app/ControllerFixture.h"

namespace qvr::test {
namespace {

using LyricsLineTest = ControllerFixture;

TEST_F(LyricsLineTest, ViewCommandTogglesWindowButtonAndCheckMark) {
  WriteSettings();
  TQVRDM& dm = Started();
  dm.LyricsViewMNUClick();
  EXPECT_FALSE(dm.QVRMenu.Checked(MenuItemId::LyricsViewMNU));
  EXPECT_FALSE(view.lyrics_visible);
  EXPECT_FALSE(view.toggles[PadToggle::LyricsViewBTN]);
  dm.LyricsViewMNUClick();
  EXPECT_TRUE(dm.QVRMenu.Checked(MenuItemId::LyricsViewMNU));
  EXPECT_TRUE(view.lyrics_visible);
  EXPECT_TRUE(view.toggles[PadToggle::LyricsViewBTN]);
}

struct DragCase {
  const char* name;
  bool left_only;
  double y;
  bool starts_at_top;
  bool ends_at_top;
};

class LyricsDrag : public ControllerFixture, public testing::WithParamInterface<DragCase> {};

TEST_P(LyricsDrag, JumpsToTheEdgeOfThePointersHalf) {
  const DragCase& c = GetParam();
  WriteSettings("", std::string("[Lyrics]\r\nPosition=") + (c.starts_at_top ? "1" : "0") + "\r\n");
  TQVRDM& dm = Started();
  const std::size_t applied = view.Lines("ApplyLyricsAppearance").size();
  dm.LrcLinePosChange(c.left_only, c.y, 768);
  EXPECT_EQ(dm.LyricsAtTop, c.ends_at_top);
  EXPECT_EQ(view.at_top, c.ends_at_top);
  EXPECT_EQ(view.Lines("ApplyLyricsAppearance").size(), applied + (c.starts_at_top != c.ends_at_top ? 1 : 0));
}

INSTANTIATE_TEST_SUITE_P(Cases, LyricsDrag,
                         testing::Values(DragCase{"DownToTheBottom", true, 500, true, false},
                                         DragCase{"UpToTheTop", true, 100, false, true},
                                         DragCase{"ExactlyHalfIsTheBottom", true, 384, true, false},
                                         DragCase{"JustAboveHalfIsTheTop", true, 383.9, false, true},
                                         DragCase{"ModifierOrOtherButtonDoesNothing", false, 700, true, true}),
                         CaseName());

TEST_F(LyricsLineTest, OnlyTheRightButtonOpensTheMenu) {
  WriteSettings();
  TQVRDM& dm = Started();
  dm.LrcLineMouseUp(TQVRDM::MouseButton::Left);
  dm.LrcLineMouseUp(TQVRDM::MouseButton::Middle);
  EXPECT_TRUE(view.Lines("PopupMenu").empty());
  dm.LrcLineMouseUp(TQVRDM::MouseButton::Right);
  EXPECT_EQ(view.Lines("PopupMenu").size(), 1u);
}

class TimedLyricsTest : public ControllerFixture {
 protected:
  // Two 10-second tracks with titles; the lyrics file holds `lrc` and the disc names it.
  TQVRDM& PlayWithLyrics(const std::string& lrc) {
    WriteFile(dir / "song.lrc", lrc);
    Register(Toc({10, 10}), "Alpha", "Beta", {"One", "Two"}, "", (dir / "song.lrc").string());
    WriteSettings("AutoPlay=1\r\n");
    drive.InsertDisc(Toc({10, 10}));
    return Started();
  }
};

TEST_F(TimedLyricsTest, LinesFollowThePlayHeadInTimeOrder) {
  TQVRDM& dm = PlayWithLyrics("[00:01.00]first\n[00:02.70]second\n[00:05.00]third &\n[track:2]\n[00:01.00]two-one\n");
  ASSERT_TRUE(dm.LyricsLoaded);
  EXPECT_EQ(dm.LyricsTexts.size(), 4u);
  EXPECT_EQ(view.lyrics_text, "[One]");
  Tick(1500);  // 0:01.50
  EXPECT_EQ(view.lyrics_text, "first");
  EXPECT_FALSE(dm.TitleShown);
  Tick(1000);  // 0:02.50, before 0:02 frame 52
  EXPECT_EQ(view.lyrics_text, "first");
  Tick(600);  // 0:03 frame 7: after 0:02 frame 52 in time, though its packed value is smaller
  EXPECT_EQ(view.lyrics_text, "second");
  Tick(3000);  // 0:06.10
  EXPECT_EQ(view.lyrics_text, "third &&");
  EXPECT_EQ(dm.LyricsIndex, 3);
  Tick(4500);  // track 2 at 0:00.60: the title stays, not the last line of track 1
  EXPECT_EQ(view.lyrics_text, "[Two]");
  Tick(1000);  // track 2 at 0:01.60: the last line of the file
  EXPECT_EQ(view.lyrics_text, "two-one");
  EXPECT_EQ(dm.LyricsIndex, 4);
}

TEST_F(TimedLyricsTest, NothingBeforeTheFirstLine) {
  PlayWithLyrics("[00:05.00]late\n");
  Tick(2000);
  EXPECT_EQ(view.lyrics_text, "[One]");
}

TEST_F(TimedLyricsTest, MissingOrEmptyFileLeavesTheTitlesWithoutAMessage) {
  for (const char* lrc : {"", "no times at all\n"}) {
    TQVRDM& dm = PlayWithLyrics(lrc);
    EXPECT_FALSE(dm.LyricsLoaded);
    Tick(2000);
    EXPECT_EQ(view.lyrics_text, "[One]");
  }
  std::filesystem::remove(dir / "song.lrc");
  TQVRDM& dm = Started();
  EXPECT_FALSE(dm.LyricsLoaded);
  EXPECT_TRUE(view.errors.empty());
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(TimedLyricsTest, StoringARecordReadsItsLyricsAndRemovingTheDiscDropsThem) {
  WriteFile(dir / "song.lrc", "[00:00.50]hello\n");
  WriteSettings();
  drive.InsertDisc(Toc({10, 10}));
  const std::string file = (dir / "song.lrc").string();
  view.dialog_actions[DialogKind::Registration] = [&] {
    controller->Disc.DiscName = "Alpha";
    controller->Disc.LyricsFile = file;
    return ModalResult::Update;
  };
  TQVRDM& dm = Started();
  EXPECT_FALSE(dm.LyricsLoaded);
  dm.LibraryEditMNUClick();
  EXPECT_TRUE(dm.LyricsLoaded);
  drive.OpenTray();
  Tick();
  EXPECT_FALSE(dm.LyricsLoaded);
}

}  // namespace
}  // namespace qvr::test
