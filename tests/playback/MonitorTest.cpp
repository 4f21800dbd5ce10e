// The playback monitor: what each tick does for each change of the drive state, the disc
// check, ranges that run out, track changes, and the dialogs that lose their disc.
#include <gtest/gtest.h>

#include "app/ControllerFixture.h"
#include "platform/NoWallpaper.h"

namespace qvr::test {
namespace {

class MonitorTest : public ControllerFixture {
 protected:
  // Starts the program with a disc of three 10-second tracks in the drive, stopped.
  TQVRDM& StartWithDisc(const std::string& other = "", const std::string& sections = "",
                        const std::vector<int>& seconds = {10, 10, 10}) {
    WriteSettings(other, sections);
    drive.InsertDisc(Toc(seconds));
    return Started();
  }
};

TEST_F(MonitorTest, NotReadyShowsItsIconEveryTickAndLeavesTheTexts) {
  drive.SetNotReady(true);
  WriteSettings();
  TQVRDM& dm = Started();
  view.lyrics_text = "last text";
  Tick();
  Tick();
  EXPECT_EQ(view.Lines("SetTrayIcon NOTREADY").size(), 3u);
  EXPECT_EQ(view.lyrics_text, "last text");
  EXPECT_EQ(dm.CD.CDState, cdNotReady);
  EXPECT_FALSE(dm.QVRMenu.Enabled(MenuItemId::PlayMNU));
  EXPECT_EQ(timer.pace, QVRTimer::Pace::EverySecond);  // a drive that is there is watched every second
}

// With no drive on the computer the timer sleeps until news of the drives changing, or ticks
// every ten seconds where the device cannot tell; the drive plugged in is taken at its news or
// that tick, its disc plays, and the timer ticks every second again.
TEST_F(MonitorTest, NoDriveLetsTheTimerSleepUntilOneIsPluggedIn) {
  for (const bool announced : {true, false}) {
    SCOPED_TRACE(announced ? "announced" : "not announced");
    drive.SetDriveMissing(true, announced);
    drive.InsertDisc(Toc({10, 10, 10}));
    WriteSettings("AutoPlay=1\r\n");
    TQVRDM& dm = Started();
    Tick();
    EXPECT_EQ(dm.CD.CDState, cdNotReady);
    EXPECT_EQ(timer.pace, announced ? QVRTimer::Pace::OnNewsOnly : QVRTimer::Pace::EveryTenSeconds);
    drive.SetDriveMissing(false, announced);
    if (announced) {
      DeliverNews();
    } else {
      Tick(10000);
    }
    EXPECT_EQ(dm.CD.CDState, cdPlaying);
    EXPECT_EQ(timer.pace, QVRTimer::Pace::EverySecond);
    dm.QVRDMDestroy();
  }
}

// News of a drive plugged in while the timer is off (a question to the user) is not lost: the
// timer wakes, and its next tick finds the drive.
TEST_F(MonitorTest, DriveNewsWhileTheTimerIsOffWakesTheTimer) {
  drive.SetDriveMissing(true);
  drive.InsertDisc(Toc({10, 10, 10}));
  WriteSettings("AutoPlay=1\r\n");
  TQVRDM& dm = Started();
  ASSERT_EQ(timer.pace, QVRTimer::Pace::OnNewsOnly);
  timer.SetEnabled(false);
  drive.SetDriveMissing(false);
  DeliverNews();
  EXPECT_EQ(dm.CD.CDState, cdNotReady);
  EXPECT_EQ(timer.pace, QVRTimer::Pace::EverySecond);
  timer.SetEnabled(true);
  Tick();
  EXPECT_EQ(dm.CD.CDState, cdPlaying);
}

TEST_F(MonitorTest, NotReadyTextsSayWhyFromTheFirstTick) {
  drive.RefuseOpen(true);
  WriteSettings();
  Started();
  EXPECT_EQ(view.lyrics_text, "シミュレーションのドライブが開けません　" + kChooseDriveAdvice);
  EXPECT_EQ(view.tray_hint, "Not Ready: シミュレーションのドライブが開けません\n" + kChooseDriveAdvice);
  drive.RefuseOpen(false);
  drive.SetNotReady(true);
  Tick();
  EXPECT_EQ(view.lyrics_text, "ＣＤ－ＲＯＭドライブを使用できません　" + kChooseDriveAdvice);
  EXPECT_EQ(view.tray_hint, "Not Ready\n" + kChooseDriveAdvice);
  drive.SetProblem("R&B.cue がありません");
  Tick();
  EXPECT_EQ(view.lyrics_text, "R&&B.cue がありません　" + kChooseDriveAdvice);
  EXPECT_EQ(view.tray_hint, "Not Ready: R&&B.cue がありません\n" + kChooseDriveAdvice);
}

TEST_F(MonitorTest, ArrivingRegisteredDiscIsLookedUpAndPlayed) {
  Register(Toc({10, 10, 10}), "Alpha", "Beta", {"One", "Two", "Three"});
  TQVRDM& dm = StartWithDisc("AutoPlay=1\r\n");
  EXPECT_EQ(dm.Disc.DiscName, "Alpha");
  EXPECT_EQ(dm.CD.CDState, cdPlaying);
  EXPECT_EQ(dm.CD.PlayFrom, 1);
  EXPECT_EQ(dm.CD.PlayTo, 3);
  EXPECT_EQ(view.lyrics_text, "[One]");
  EXPECT_EQ(view.tray_hint, "[Alpha]  Beta");
  EXPECT_EQ(progress.captions.back(), "検索終了");
  Tick();
  Tick();
  EXPECT_EQ(view.Lines("SetTrayIcon PLAY").size(), 2u);
  EXPECT_EQ(view.Lines("SetTrayIcon PLAY1").size(), 1u);  // the icon blinks
}

TEST_F(MonitorTest, DoorOpenedWhilePlayingReleasesModesByTheirUnlockValues) {
  TQVRDM& dm = StartWithDisc("AutoPlay=1\r\n", "[Repeat]\r\nOneUnlock=1\r\nAllUnlock=2\r\n");
  dm.RepeatOneMNUClick();
  Tick(3000);
  drive.OpenTray();
  Tick();
  EXPECT_EQ(view.tray_icon, "OPEN");
  EXPECT_FALSE(dm.QVRMenu.Checked(MenuItemId::RepeatOneMNU));
  EXPECT_EQ(view.lyrics_text, "ＣＤをセットしてください");
  EXPECT_EQ(view.tray_hint, "No Disc");
  EXPECT_EQ(dm.PlayIndex, 1u);
  EXPECT_EQ(dm.LastTrack, 0);

  // With repeat-all, whose unlock value is 2, the mode survives the disc's removal.
  drive.InsertDisc(Toc({10, 10, 10}));
  Tick();
  dm.RepeatAllMNUClick();
  drive.OpenTray();
  Tick();
  EXPECT_TRUE(dm.QVRMenu.Checked(MenuItemId::RepeatAllMNU));
}

TEST_F(MonitorTest, LastRangeEndingStopsOrStartsOverWithRepeatAll) {
  for (bool repeat_all : {false, true}) {
    SCOPED_TRACE(repeat_all ? "repeat all" : "no mode");
    TQVRDM& dm = StartWithDisc();
    if (repeat_all) dm.RepeatAllMNUClick();
    dm.PlayMNUClick();
    const int before = PlayRequests();
    for (int second = 0; second < 31; ++second) Tick();  // the range 1..3 runs out
    if (repeat_all) {
      EXPECT_EQ(PlayRequests(), before + 1);
      EXPECT_EQ(dm.CD.CDState, cdPlaying);
    } else {
      EXPECT_EQ(PlayRequests(), before);
      EXPECT_EQ(view.tray_icon, "STOP");
      EXPECT_EQ(dm.CD.CDState, cdStopped);
    }
    EXPECT_EQ(dm.PlayIndex, 1u);
  }
}

TEST_F(MonitorTest, PlayOrderRunsRangeByRange) {
  TQVRDM& dm = StartWithDisc();
  dm.PlayOrder = {"3", "1", "2"};
  dm.PlayMNUClick();
  EXPECT_EQ((std::pair(dm.CD.PlayFrom, dm.CD.PlayTo)), (std::pair<std::uint8_t, std::uint8_t>(3, 3)));
  Tick(11000);  // track 3 ran out: the range 1..2 follows
  EXPECT_EQ(dm.PlayIndex, 2u);
  EXPECT_EQ((std::pair(dm.CD.PlayFrom, dm.CD.PlayTo)), (std::pair<std::uint8_t, std::uint8_t>(1, 2)));
  const int requests = PlayRequests();
  Tick(6000);
  Tick(6000);  // into track 2: part of the range, no new request
  EXPECT_EQ(PlayRequests(), requests);
  EXPECT_EQ(dm.PlayIndex, 3u);
  Tick(10000);  // the range ran out at the last entry
  EXPECT_EQ(dm.CD.CDState, cdStopped);
  EXPECT_EQ(dm.PlayIndex, 1u);
  EXPECT_EQ(view.tray_icon, "STOP");
}

// Ticks alone (no device news): when a range ends, repeat-one plays the entry just heard again
// and random draws among the others, without moving the position on first.
TEST_F(MonitorTest, RangeEndRepeatsTheEntryHeardOrDrawsAnother) {
  TQVRDM& dm = StartWithDisc("", "", {5, 5, 5, 5, 5});
  dm.RepeatOneMNUClick();
  dm.PlayIndex = 2;
  dm.PlayMNUClick();
  EXPECT_EQ((std::pair(dm.CD.PlayFrom, dm.CD.PlayTo)), (std::pair<std::uint8_t, std::uint8_t>(2, 2)));
  Tick(6000);
  Tick(6000);
  EXPECT_EQ(dm.PlayIndex, 2u);
  EXPECT_EQ(dm.CD.PlayFrom, 2);
  EXPECT_EQ(dm.CD.CDState, cdPlaying);

  dm.RandomMNUClick();
  random.draws = {2, 2, 4};  // the entry just heard (2) is drawn twice and passed over
  Tick(6000);
  EXPECT_EQ(dm.PlayIndex, 4u);
  EXPECT_EQ(dm.CD.PlayFrom, 4);
}

TEST_F(MonitorTest, DriveReportingStopAfterPauseEndsPlay) {
  TQVRDM& dm = StartWithDisc("AutoPlay=1\r\n");
  dm.PauseMNUClick();
  EXPECT_EQ(dm.CD.CDState, cdPaused);
  drive.Stop();  // the drive was stopped behind the program's back
  dm.CD.CDPausedFlag = false;
  Tick();
  EXPECT_EQ(dm.CD.CDState, cdStopped);
  EXPECT_EQ(view.tray_icon, "STOP");
}

TEST_F(MonitorTest, DiscAlreadyPlayingWhenTheDeviceOpens) {
  Register(Toc({10, 10}), "Alpha", "Beta", {"One", "Two"});
  WriteSettings();
  drive.InsertDisc(Toc({10, 10}));
  drive.Open();
  drive.SetTimeFormat(TimeFormat::Milliseconds);
  drive.Play(FramesToMilliseconds(150 + 750), FramesToMilliseconds(150 + 1500));
  TQVRDM& dm = Started();
  EXPECT_EQ(dm.CD.CDState, cdPlaying);
  EXPECT_EQ(dm.Disc.DiscName, "Alpha");
  EXPECT_EQ(dm.LastTrack, 2);
  EXPECT_EQ(view.lyrics_text, "[Two]");
}

struct RemovalCase {
  const char* name;
  MessageAnswer answer;
  bool stored;
};

class DiscRemovedDuringRegistration : public MonitorTest, public testing::WithParamInterface<RemovalCase> {};

TEST_P(DiscRemovedDuringRegistration, AsksOnceWithTheTimerOff) {
  TQVRDM& dm = StartWithDisc();
  view.answers = {GetParam().answer};
  bool timer_off_while_asked = false;
  // The dialog holds "Edited" in its working copy; an update commits it into the disc record.
  view.commit_registration = [&] { dm.Disc.DiscName = "Edited"; };
  view.dialog_actions[DialogKind::Registration] = [&] {
    timer.SetEnabled(true);
    drive.OpenTray();
    Tick();  // the timer keeps ticking while the dialog is up
    timer_off_while_asked = timer.changes.size() >= 3 && !timer.changes[timer.changes.size() - 2];
    Tick();  // a later tick does not ask again
    return ModalResult::None;
  };
  dm.LibraryEditMNUClick();
  EXPECT_EQ(view.messages, std::vector<std::string>{"データベース登録: 登録したデータを保存しますか？"});
  EXPECT_TRUE(timer_off_while_asked);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(StoredName(dm.Disc), GetParam().stored ? "Edited" : "");
  EXPECT_EQ(dm.DialogState, 0);
}

INSTANTIATE_TEST_SUITE_P(Answers, DiscRemovedDuringRegistration,
                         testing::Values(RemovalCase{"Yes", MessageAnswer::Yes, true},
                                         RemovalCase{"No", MessageAnswer::No, false}),
                         CaseName());

TEST_F(MonitorTest, DiscRemovedClosesThePlayListAndTheJacketView) {
  TQVRDM& dm = StartWithDisc();
  const std::filesystem::path jacket = dir / "jacket.bmp";
  WriteFile(jacket, "BM");
  dm.Disc.JacketFile = jacket.string();
  for (DialogKind kind : {DialogKind::PlayList, DialogKind::JacketView}) {
    drive.InsertDisc(Toc({10, 10, 10}));
    Tick();
    bool closed = false;
    view.dialog_actions[kind] = [&] {
      drive.OpenTray();
      Tick();
      closed = view.DialogClosed();
      return ModalResult::None;
    };
    kind == DialogKind::PlayList ? dm.PlayListMNUClick() : dm.JacketViewMNUClick();
    EXPECT_TRUE(closed) << static_cast<int>(kind);
    EXPECT_EQ(view.Lines("CloseDialog").back(), "CloseDialog " + std::to_string(static_cast<int>(kind)) + " 2");
  }
}

TEST_F(MonitorTest, SameDiscKeepsAnEditedPlayOrderAnotherResetsIt) {
  TQVRDM& dm = StartWithDisc();
  dm.PlayOrder = {"2", "2", "1"};
  drive.OpenTray();
  Tick();
  drive.InsertDisc(Toc({10, 10, 10}));
  Tick();
  EXPECT_EQ(dm.PlayOrder, (std::vector<std::string>{"2", "2", "1"}));
  drive.OpenTray();
  Tick();
  drive.InsertDisc(Toc({10, 10, 12}));
  Tick();
  EXPECT_EQ(dm.PlayOrder, (std::vector<std::string>{"1", "2", "3"}));
}

TEST_F(MonitorTest, TickDuringTheLookupReturnsAtOnce) {
  Register(Toc({20}), "Other", "Disc");
  WriteSettings();
  TQVRDM& dm = Started();  // tray open: nothing looked up yet
  std::size_t requests_inside = 0;
  progress.on_step = [&] {
    const std::size_t before = drive.Requests.size();
    dm.TimerTimer();
    requests_inside += drive.Requests.size() - before;
  };
  drive.InsertDisc(Toc({10, 10}));
  Tick();
  EXPECT_GE(progress.captions.size(), 2u);
  EXPECT_EQ(requests_inside, 0u);
  EXPECT_EQ(dm.Disc.TrackCount, 2);
}

TEST_F(MonitorTest, WallpaperFollowsTheDiscsJacket) {
  Register(Toc({10}), "Alpha", "Beta", {}, "/pictures/alpha.bmp");
  WriteSettings("AutoWall=1\r\n");
  wallpaper.current = "/old.bmp";
  drive.InsertDisc(Toc({10}));
  TQVRDM& dm = Started();
  EXPECT_EQ(wallpaper.current, "/pictures/alpha.bmp");
  EXPECT_EQ(dm.Disc.JacketFile, "/pictures/alpha.bmp");
  EXPECT_EQ(wallpaper.sets, 1);
  drive.OpenTray();
  Tick();
  drive.InsertDisc(Toc({10}));
  Tick();
  EXPECT_EQ(wallpaper.sets, 1);  // already the wallpaper: not set again
}

TEST_F(MonitorTest, WallpaperStandInLetsAJacketDiscArriveInFull) {
  Register(Toc({10}), "Alpha", "Beta", {"One"}, "/pictures/alpha.bmp");
  WriteSettings("AutoWall=1\r\nAutoPlay=1\r\n");
  drive.InsertDisc(Toc({10}));
  NoWallpaper desktop;
  controller = std::make_unique<TQVRDM>(TQVRDMPorts{view,
                                                    timer,
                                                    random,
                                                    desktop,
                                                    [this](const std::string&) -> CDDevice& { return drive; },
                                                    today,
                                                    progress,
                                                    {"qvr", dir.Path(), dir.Path()},
                                                    {}});
  controller->QVRDMCreate();
  EXPECT_TRUE(view.errors.empty());
  EXPECT_EQ(controller->CD.CDState, cdPlaying);
  EXPECT_EQ(view.lyrics_text, "[One]");
  controller.reset();
}

TEST_F(MonitorTest, ErrorInATickEndsItAndIsNotRepeated) {
  WriteSettings();
  TQVRDM& dm = Started();
  drive.SetMediaIdentity("not a number");
  drive.InsertDisc(Toc({10}));
  EXPECT_THROW(Tick(), Error);
  EXPECT_EQ(dm.CD.CDState, cdStopped);
  EXPECT_NO_THROW(Tick());
}

}  // namespace
}  // namespace qvr::test
