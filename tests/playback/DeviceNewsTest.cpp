// The device's news handled as it arrives: ranges handed over so that the next one follows at
// the next sample in every play mode, a play mode switched while playing, and news that waits
// while the timer is off or a lookup runs, as a tick would.
#include <gtest/gtest.h>

#include <deque>

#include "app/ControllerFixture.h"

namespace qvr::test {
namespace {

enum class Mode { None, RepeatOne, RepeatAll, Random };

class DeviceNewsTest : public ControllerFixture {
 protected:
  // A disc of three 3-second tracks, stopped.
  TQVRDM& StartWithDisc(const std::string& other = "") {
    WriteSettings(other);
    drive.InsertDisc(toc);
    return Started();
  }

  static void Switch(TQVRDM& dm, Mode mode) {
    if (mode == Mode::RepeatOne) dm.RepeatOneMNUClick();
    if (mode == Mode::RepeatAll) dm.RepeatAllMNUClick();
    if (mode == Mode::Random) dm.RandomMNUClick();
  }

  // Plays on and notes each track as the head enters it (a jump back into the same track counts
  // again), and whether the drive ever stopped before the end.
  void PlayAndListen(std::uint32_t milliseconds, const std::function<void()>& each = {}) {
    PlayFor(milliseconds, [&] {
      const std::uint32_t frame = drive.HeadFrame();
      const std::uint32_t track = toc.TrackAt(frame);
      if (drive.Mode() == kModePlaying && (heard.empty() || track != heard.back() || frame < last_frame)) {
        heard.push_back(track);
      }
      if (drive.Mode() != kModePlaying) stopped = true;
      last_frame = frame;
      if (each) each();
    });
  }

  const DiscToc toc = Toc({3, 3, 3});
  std::vector<std::uint32_t> heard;
  std::uint32_t last_frame = 0;
  bool stopped = false;
};

struct FollowCase {
  const char* name;
  std::vector<std::string> order;
  Mode mode;
  std::size_t start;
  std::deque<std::size_t> draws;
  std::vector<std::uint32_t> heard;  // in the first 10 s
};

class RangesFollow : public DeviceNewsTest, public testing::WithParamInterface<FollowCase> {};

// One play request at the start; every later range is handed over and follows without a stop.
TEST_P(RangesFollow, AtTheNextSampleInEveryMode) {
  TQVRDM& dm = StartWithDisc();
  dm.PlayOrder = GetParam().order;
  Switch(dm, GetParam().mode);
  random.draws = GetParam().draws;
  dm.PlayIndex = GetParam().start;
  dm.PlayMNUClick();
  PlayAndListen(10000);
  EXPECT_EQ(heard, GetParam().heard);
  EXPECT_EQ(PlayRequests(), 1);
  EXPECT_FALSE(stopped);
  EXPECT_EQ(dm.CD.CDState, cdPlaying);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, RangesFollow,
    testing::Values(
        FollowCase{"RepeatAllWraps", {"1", "2", "3"}, Mode::RepeatAll, 1, {}, {1, 2, 3, 1}},
        FollowCase{"PlayOrderRangeByRange", {"3", "1", "2", "3"}, Mode::None, 1, {}, {3, 1, 2, 3}},
        FollowCase{"RepeatOneRepeatsItsEntry", {"1", "2", "3"}, Mode::RepeatOne, 2, {}, {2, 2, 2, 2}},
        FollowCase{"RepeatOneAtTheLastEntry", {"1", "2", "3"}, Mode::RepeatOne, 3, {}, {3, 3, 3, 3}},
        // Drawn 2 after 1; then 2 twice more (the entry just heard) before 3; 1; 1, 3.
        FollowCase{
            "RandomNeverTheEntryJustHeard", {"1", "2", "3"}, Mode::Random, 1, {2, 2, 2, 3, 1, 1, 3}, {2, 3, 1, 3}}),
    CaseName());

TEST_F(DeviceNewsTest, TitleFollowsTheTrackHeardAndThePlayOrderEnds) {
  Register(toc, "Alpha", "Beta", {"One", "Two", "Three"});
  TQVRDM& dm = StartWithDisc();
  dm.PlayOrder = {"3", "1", "2"};
  dm.PlayMNUClick();
  std::vector<std::string> titles;
  PlayAndListen(9500, [&] {
    if (titles.empty() || titles.back() != view.lyrics_text) titles.push_back(view.lyrics_text);
  });
  EXPECT_EQ(titles, (std::vector<std::string>{"[Three]", "[One]", "[Two]", "[Alpha]  Beta"}));
  EXPECT_EQ(heard, (std::vector<std::uint32_t>{3, 1, 2}));
  EXPECT_EQ(PlayRequests(), 1);
  EXPECT_EQ(dm.CD.CDState, cdStopped);  // the end of the play order: at once, not at the next tick
  EXPECT_EQ(view.tray_icon, "STOP");
  EXPECT_EQ(dm.PlayIndex, 1u);
}

struct SwitchCase {
  const char* name;
  Mode before;
  std::size_t start;
  std::uint32_t at_ms;  // when the mode is switched
  Mode to;              // the mode switched (on, or off when it is `before`)
  std::deque<std::size_t> draws;
  std::vector<std::uint32_t> heard;  // in the first 10 s
};

class ModeSwitchedWhilePlaying : public DeviceNewsTest, public testing::WithParamInterface<SwitchCase> {};

TEST_P(ModeSwitchedWhilePlaying, AppliesToTheEntryBeingHeard) {
  TQVRDM& dm = StartWithDisc();
  Switch(dm, GetParam().before);
  random.draws = GetParam().draws;
  dm.PlayIndex = GetParam().start;
  dm.PlayMNUClick();
  PlayAndListen(GetParam().at_ms);
  Switch(dm, GetParam().to);
  PlayAndListen(10000 - GetParam().at_ms);
  EXPECT_EQ(heard, GetParam().heard);
  EXPECT_EQ(PlayRequests(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Switches, ModeSwitchedWhilePlaying,
    testing::Values(
        // The range 1..3 plays; repeat-one ends it with track 1, which then repeats.
        SwitchCase{"RepeatOneOnRepeatsTheTrackHeard", Mode::None, 1, 1000, Mode::RepeatOne, {}, {1, 1, 1, 1}},
        SwitchCase{"RandomOnPicksWhenTheTrackEnds", Mode::None, 1, 1000, Mode::Random, {3, 2}, {1, 3, 2, 1}},
        // Repeat-one on track 2 switched off: the play order goes on from it, and ends.
        SwitchCase{"RepeatOneOffGoesOnFromIt", Mode::RepeatOne, 2, 1000, Mode::RepeatOne, {}, {2, 3}},
        // Switched off after the repeat was handed over (2.4 s of 3): the hand-over is redone.
        SwitchCase{"RepeatOneOffAtTheLastMoment", Mode::RepeatOne, 2, 2400, Mode::RepeatOne, {}, {2, 3}}),
    CaseName());

// News that arrives while the timer is off (a question to the user, the play order being
// replaced) is not acted on; the next tick does what it would have done.
TEST_F(DeviceNewsTest, NewsWaitsWhileTheTimerIsOff) {
  TQVRDM& dm = StartWithDisc();
  dm.RepeatAllMNUClick();
  dm.PlayMNUClick();
  PlayAndListen(7500);
  timer.SetEnabled(false);
  PlayAndListen(500);  // 8 s: the range is read through
  EXPECT_FALSE(drive.NextPending());
  timer.SetEnabled(true);
  Tick(0);
  EXPECT_TRUE(drive.NextPending());
  PlayAndListen(1500);
  EXPECT_EQ(heard, (std::vector<std::uint32_t>{1, 2, 3, 1}));
  EXPECT_EQ(PlayRequests(), 1);
}

// While the registration dialog is up the ticks run, and so does the news.
TEST_F(DeviceNewsTest, NewsIsHandledWhileADialogIsUp) {
  TQVRDM& dm = StartWithDisc();
  dm.RepeatOneMNUClick();
  dm.PlayMNUClick();
  view.dialog_actions[DialogKind::Registration] = [&] {
    PlayAndListen(7000);
    return ModalResult::Cancel;
  };
  dm.LibraryEditMNUClick();
  EXPECT_EQ(heard, (std::vector<std::uint32_t>{1, 1, 1}));
  EXPECT_EQ(PlayRequests(), 1);
}

// A lookup lets pending work run: news arriving then is left to the tick that follows it, and
// that tick hands the next range over.
TEST_F(DeviceNewsTest, NewsDuringALookupWaitsForTheTickAfterIt) {
  Register(Toc({20}), "Other", "Disc");
  TQVRDM& dm = StartWithDisc("AutoPlay=1\r\n");
  dm.RepeatAllMNUClick();
  PlayAndListen(7500);
  // The drive is lost for a moment and comes back playing with another identity: the already-
  // playing steps look the disc up again.
  drive.SetNotReady(true);
  Tick(0);
  drive.SetNotReady(false);
  drive.SetMediaIdentity("12345");
  std::size_t requests_inside = 0;
  progress.on_step = [&] {
    const std::size_t before = drive.Requests.size();
    PlayAndListen(600);  // the range is read through during the lookup
    requests_inside += drive.Requests.size() - before;
  };
  Tick(0);
  progress.on_step = nullptr;
  EXPECT_EQ(requests_inside, 0u);
  EXPECT_TRUE(drive.NextPending());  // handed over by the tick once the lookup was done
  EXPECT_EQ(dm.PlayIndex, 3u);
  PlayAndListen(1500);
  EXPECT_EQ(heard, (std::vector<std::uint32_t>{1, 2, 3, 1}));
  EXPECT_EQ(PlayRequests(), 1);
}

}  // namespace
}  // namespace qvr::test
