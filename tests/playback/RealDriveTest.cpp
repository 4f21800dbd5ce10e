// The controller with the real thing: the cdio drive on a generated three-track image, SDL's disk
// audio driver recording what is played at the real pace, and the monitor ticking once a second.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "app/ControllerFixture.h"
#include "audio/SdlAudioSink.h"
#include "cdda/CdioDrive.h"
#include "support/CdImage.h"

namespace qvr::test {
namespace {

using namespace std::chrono_literals;

class RealDriveTest : public ControllerFixture {
 protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", (dir / "played.raw").c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "23", 1);  // one 1024-frame buffer per 23 ms: the real pace
  }
  void TearDown() override { unsetenv("SDL_AUDIODRIVER"); }
};

TEST_F(RealDriveTest, PlayOrderPlaysRangeAfterRangeInOrder) {
  GeneratedImage image = WriteImage(dir.Path(), {{150}, {150}, {150}});  // three tracks of 2 s
  SdlAudioSink sink;
  CdioDrive cdio(image.cue.string(), sink);
  WriteSettings();
  controller = std::make_unique<TQVRDM>(TQVRDMPorts{view, timer, random, wallpaper,
                                             [&](const std::string&) -> CDDevice& { return cdio; }, today, progress,
                                             {"qvr", dir.Path(), dir.Path()}});
  TQVRDM& dm = *controller;
  dm.QVRDMCreate();
  ASSERT_EQ(dm.CD.CDState, cdStopped) << cdio.Problem();
  dm.PlayOrder = {"3", "1", "2"};
  dm.PlayMNUClick();

  // The output is reopened by every play, and SDL's disk driver then starts its file anew: what
  // the file holds just before the tick that starts the next range is the previous range.
  std::string first_range;
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(1s);
    const std::string before = ReadFile(dir / "played.raw");
    const std::uint8_t from = dm.CD.PlayFrom;
    dm.TimerTimer();
    if (from == 3 && dm.CD.PlayFrom == 1) first_range = before;
    if (!first_range.empty() && dm.CD.CDState == cdStopped) break;
  }
  EXPECT_EQ(dm.CD.CDState, cdStopped);
  EXPECT_EQ(dm.PlayIndex, 1u);
  EXPECT_EQ(view.tray_icon, "STOP");

  const auto& tracks = image.toc.Tracks;
  const std::string track3 = image.Bytes(tracks[2].Start, image.toc.LeadOut - 1);
  const std::string tracks12 = image.Bytes(tracks[0].Start, tracks[2].Start);
  const std::string played3 = WithoutSilence(first_range);
  const std::string played12 = WithoutSilence(ReadFile(dir / "played.raw"));
  ASSERT_EQ(played3.size(), track3.size());
  EXPECT_TRUE(played3 == track3);
  ASSERT_EQ(played12.size(), tracks12.size());
  EXPECT_TRUE(played12 == tracks12);
}

}  // namespace
}  // namespace qvr::test
