// The controller's entry points for clients outside the windows: another drive opened from the
// command line, a seek inside the track being heard, and the picture of what plays.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/ControllerFixture.h"

namespace qvr::test {
namespace {

class ClientEntriesTest : public ControllerFixture {
 protected:
  // Three 60-second tracks, registered with titles, playing from the first track.
  TQVRDM& StartPlaying(const std::string& other = "") {
    WriteSettings(other);
    Register(Toc({60, 60, 60}), "アルバム", "歌手", {"一曲目", "二曲目", "三曲目"}, "/no/such/jacket.jpg");
    drive.InsertDisc(Toc({60, 60, 60}));
    TQVRDM& dm = Started();
    dm.PlayMNUClick();
    Tick();
    return dm;
  }
};

TEST_F(ClientEntriesTest, SeekMovesInsideTheTrackBeingHeardAndKeepsTheRange) {
  TQVRDM& dm = StartPlaying();
  dm.NextMNUClick();  // track 2 (its range runs to the disc's end)
  Tick();
  const std::uint32_t end = drive.EndFrame();
  EXPECT_TRUE(dm.SeekTo(5000));
  EXPECT_EQ(drive.HeadFrame(), 150 + 60 * 75 + 5 * 75);
  EXPECT_EQ(drive.EndFrame(), end);
  EXPECT_EQ(dm.NowPlayingSnapshot().position_ms, 5000u);
  // Not past the track's end, not into another track.
  EXPECT_FALSE(dm.SeekTo(60000));
  EXPECT_EQ(drive.HeadFrame(), 150 + 60 * 75 + 5 * 75);
  Tick();
  EXPECT_EQ(dm.CD.CDState, cdPlaying);
  EXPECT_EQ(dm.NowPlayingSnapshot().track, 2);
}

TEST_F(ClientEntriesTest, SeekWhilePausedStaysPausedAndStoppedRefuses) {
  TQVRDM& dm = StartPlaying();
  dm.PauseMNUClick();
  EXPECT_TRUE(dm.SeekTo(30000));
  EXPECT_EQ(drive.Mode(), kModePaused);
  EXPECT_EQ(dm.CD.CDState, cdPaused);
  EXPECT_EQ(drive.HeadFrame(), 150u + 30 * 75);
  dm.StopMNUClick();
  const std::uint32_t head = drive.HeadFrame();
  EXPECT_FALSE(dm.SeekTo(1000));
  EXPECT_EQ(drive.HeadFrame(), head);
}

TEST_F(ClientEntriesTest, PictureOfWhatPlays) {
  TQVRDM& dm = StartPlaying();
  Tick(3000);
  NowPlaying now = dm.NowPlayingSnapshot();
  EXPECT_EQ(now.status, NowPlaying::Status::Playing);
  EXPECT_TRUE(now.disc);
  EXPECT_EQ(now.track, 1);
  EXPECT_EQ(now.title, "一曲目");
  EXPECT_EQ(now.album, "アルバム");
  EXPECT_EQ(now.artist, "歌手");
  EXPECT_EQ(now.jacket, "/no/such/jacket.jpg");
  EXPECT_EQ(now.length_ms, 60000u);
  EXPECT_EQ(now.position_ms, 4000u);  // one tick at the start and three seconds
  EXPECT_EQ(now.disc_key.size(), 8u);

  dm.PauseMNUClick();
  EXPECT_EQ(dm.NowPlayingSnapshot().status, NowPlaying::Status::Paused);

  // Stopped: the track the play command starts, and no position.
  dm.StopMNUClick();
  dm.NextMNUClick();
  dm.StopMNUClick();
  now = dm.NowPlayingSnapshot();
  EXPECT_EQ(now.status, NowPlaying::Status::Stopped);
  EXPECT_EQ(now.track, 1);
  EXPECT_TRUE(now.can_play);
  EXPECT_EQ(now.position_ms, 0u);

  drive.OpenTray();
  Tick();
  now = dm.NowPlayingSnapshot();
  EXPECT_FALSE(now.disc);
  EXPECT_EQ(now.track, NowPlaying::kNoTrack);
  EXPECT_TRUE(now.title.empty());
}

TEST_F(ClientEntriesTest, ChangeDriveOpensTheNewDiscAndPlaysItKeepingTheSetting) {
  TQVRDM& dm = StartPlaying("Drive=/images/first.cue\r\n");
  ASSERT_EQ(drive_names, std::vector<std::string>{"/images/first.cue"});
  Register(Toc({40, 40}), "別のアルバム", "別の歌手", {"別の一曲目"});
  drive.InsertDisc(Toc({40, 40}));  // what the new device will hold
  drive.Requests.clear();
  EXPECT_TRUE(dm.ChangeDrive("/images/second.cue"));
  EXPECT_EQ(drive_names.back(), "/images/second.cue");
  const auto close = std::find(drive.Requests.begin(), drive.Requests.end(), "Close");
  EXPECT_LT(close, std::find(close, drive.Requests.end(), "Open"));
  EXPECT_EQ(dm.Disc.DiscName.ToUtf8(), "別のアルバム");
  EXPECT_EQ(dm.CD.CDState, cdPlaying);  // also with AutoPlay off
  EXPECT_EQ(dm.NowPlayingSnapshot().title, "別の一曲目");
  EXPECT_EQ(dm.Drive, "/images/first.cue");
  dm.QVRDMDestroy();
  EXPECT_NE(ReadFile(dir / "Qvr.ini").find("/images/first.cue"), std::string::npos);
  EXPECT_EQ(ReadFile(dir / "Qvr.ini").find("second.cue"), std::string::npos);
}

}  // namespace
}  // namespace qvr::test
