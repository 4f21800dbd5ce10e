// The controller with a disc whose pregap holds a hidden first track (the simulated drive plays
// it as track 0): the disc's own order starts at track 1, a play list entry 0 plays it and runs
// on into what follows, the status texts and the media-player picture name it, play list files
// keep it, and the disc is the same disc (key, track count, record) as without it.
#include <gtest/gtest.h>

#include "app/ControllerFixture.h"
#include "cdda/HiddenTrack.h"
#include "dialogs/PlayListFile.h"
#include "util/AtomicFile.h"

namespace qvr::test {
namespace {

using Entries = std::vector<std::string>;

constexpr std::uint32_t kPregap = 5 * 75;  // five seconds before track 1

class HiddenTrackTest : public ControllerFixture {
 protected:
  // Three 10-second tracks after a pregap of five seconds, which holds sound when `hidden`.
  static DiscToc Disc(bool hidden) {
    DiscToc toc = Toc({10, 10, 10});
    for (TocTrack& track : toc.Tracks) track.Start += kPregap;
    toc.LeadOut += kPregap;
    toc.HiddenTrack = hidden;
    return toc;
  }

  TQVRDM& StartWithDisc() {
    WriteSettings();
    Register(Disc(false), "アルバム", "歌手", {"一曲目", "二曲目", "三曲目"});
    drive.InsertDisc(Disc(true));
    return Started();
  }
};

TEST_F(HiddenTrackTest, DiscOrderStartsAtTrackOneOfTheSameDisc) {
  TQVRDM& dm = StartWithDisc();
  EXPECT_EQ(dm.Disc.DiscName.ToUtf8(), "アルバム");  // the record stored without the hidden track
  EXPECT_EQ(dm.Disc.TrackCount, 3);
  EXPECT_EQ(dm.PlayOrder, (Entries{"1", "2", "3"}));
  EXPECT_EQ(dm.HiddenTrackLength(), FramesToMSF(kPregap));
  dm.PlayMNUClick();
  EXPECT_EQ(dm.CD.PlayFrom, 1);
  EXPECT_EQ(drive.HeadFrame(), Disc(true).Tracks[0].Start);
  EXPECT_EQ(view.pad_caption, "[一曲目]");
}

// Entry 0 and entry 1 are one run: the pregap plays on into track 1 without a new request, the
// texts name the hidden track while it is heard and track 1 after it.
TEST_F(HiddenTrackTest, EntryZeroPlaysTheHiddenTrackAndRunsOn) {
  TQVRDM& dm = StartWithDisc();
  dm.ApplyPlayOrder({"0", "1", "3"});
  dm.PlayMNUClick();
  EXPECT_EQ(dm.CD.PlayFrom, 0);
  EXPECT_EQ(dm.CD.PlayTo, 1);
  EXPECT_EQ(drive.HeadFrame(), 150u);
  EXPECT_EQ(view.pad_caption, std::string("[") + kHiddenTrackTitle + "]");
  const NowPlaying now = dm.NowPlayingSnapshot();
  EXPECT_EQ(now.track, 0);
  EXPECT_EQ(now.title, kHiddenTrackTitle);
  EXPECT_EQ(now.length_ms, 5000u);
  const int plays = PlayRequests();
  PlayFor(6000);
  EXPECT_EQ(dm.CD.CDCurrentTrack(), 1);
  EXPECT_EQ(dm.PlayIndex, 2u);
  EXPECT_EQ(PlayRequests(), plays);
  EXPECT_EQ(view.pad_caption, "[一曲目]");
  // Track 3 follows track 1, handed over at its end.
  PlayFor(10000);
  EXPECT_EQ(dm.CD.CDCurrentTrack(), 3);
  EXPECT_EQ(dm.PlayIndex, 3u);
}

// The hidden track alone is a range of its own like any other: what follows it is handed over.
TEST_F(HiddenTrackTest, HiddenTrackAloneIsFollowedByTheNextEntry) {
  TQVRDM& dm = StartWithDisc();
  dm.ApplyPlayOrder({"2", "0", "3"});
  dm.PlayPlayListEntry(2);
  EXPECT_EQ(dm.CD.PlayFrom, 0);
  EXPECT_EQ(dm.CD.PlayTo, 0);
  const int plays = PlayRequests();
  PlayFor(6000);
  EXPECT_EQ(dm.CD.CDCurrentTrack(), 3);
  EXPECT_EQ(dm.PlayIndex, 3u);
  EXPECT_EQ(PlayRequests(), plays);
  EXPECT_TRUE(std::find_if(drive.Requests.begin(), drive.Requests.end(), [](const std::string& request) {
                return request.rfind("PlayNext", 0) == 0;
              }) != drive.Requests.end());
}

// A play list keeps entry 0 through its file; a disc without a hidden track drops it on loading.
TEST_F(HiddenTrackTest, PlayListFileKeepsEntryZero) {
  TQVRDM& dm = StartWithDisc();
  const std::string key = dm.Disc.DiscKey.Str();
  dm.ApplyPlayOrder({"0", "3", "0"});
  ASSERT_TRUE(dm.SavePlayList((dir / ("hidden." + key)).string()));
  EXPECT_EQ(ReadFile(dir / ("hidden." + key)), key + "\r\n0\r\n3\r\n0\r\n");
  dm.ApplyPlayOrder({"1"});
  ASSERT_TRUE(dm.LoadPlayList((dir / ("hidden." + key)).string()));
  EXPECT_EQ(dm.PlayOrder, (Entries{"0", "3", "0"}));

  drive.InsertDisc(Disc(false));  // the same disc as far as its key goes, its pregap silent
  EXPECT_EQ(dm.HiddenTrackLength(), std::nullopt);
  ASSERT_TRUE(dm.LoadPlayList((dir / ("hidden." + key)).string()));
  EXPECT_EQ(dm.PlayOrder, (Entries{"3"}));
}

}  // namespace
}  // namespace qvr::test
