// The controller with the real thing: the cdio drive on a generated three-track image, SDL's disk
// audio driver recording what is played at the real pace, the monitor ticking once a second and
// the drive's news posted from its reader thread and handed over as the event loop would.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "app/ControllerFixture.h"
#include "cdda/CdioDrive.h"
#include "support/CdImage.h"
#include "support/SdlSinks.h"

namespace qvr::test {
namespace {

using namespace std::chrono_literals;

class RealDriveTest : public ControllerFixture {
 protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", (dir / "played.raw").c_str(), 1);
    unsetenv("SDL_DISKAUDIODELAY");  // one buffer per its length: the real pace
  }
  void TearDown() override { unsetenv("SDL_AUDIODRIVER"); }
};

// The output's own silence before the first sample and after the last one left out.
std::string Trimmed(const std::string& bytes) {
  const std::string silence(4, '\0');
  std::size_t first = 0, end = bytes.size() / 4 * 4;
  while (first < end && bytes.compare(first, 4, silence) == 0) first += 4;
  while (end > first && bytes.compare(end - 4, 4, silence) == 0) end -= 4;
  return bytes.substr(first, end - first);
}

// Order 3, 1, 2: the range 1..2 is handed over while track 3 plays and follows it in the same
// output stream, with not one sample of silence between them.
TEST_F(RealDriveTest, PlayOrderPlaysRangeAfterRangeWithoutAGap) {
  GeneratedImage image = WriteImage(dir.Path(), {{150}, {150}, {150}});  // three tracks of 2 s
  RecordedSdlSink sink(dir / "played.raw");
  CdioDrive cdio(image.cue.string(), sink);
  cdio.SetNewsListener([this](DeviceNews posted) { news.Post(posted); });
  WriteSettings();
  TQVRDM& dm = Make(&cdio);
  dm.QVRDMCreate();
  ASSERT_EQ(dm.CD.CDState, cdStopped) << cdio.Problem();
  dm.PlayOrder = {"3", "1", "2"};
  dm.PlayMNUClick();

  const auto deadline = std::chrono::steady_clock::now() + 30s;
  auto next_tick = std::chrono::steady_clock::now() + 1s;
  while (std::chrono::steady_clock::now() < deadline && dm.CD.CDState != cdStopped) {
    std::this_thread::sleep_for(10ms);
    DeliverNews();
    if (std::chrono::steady_clock::now() >= next_tick) {
      next_tick += 1s;
      dm.TimerTimer();
    }
  }
  EXPECT_EQ(dm.CD.CDState, cdStopped);
  EXPECT_EQ(dm.PlayIndex, 1u);
  EXPECT_EQ(view.tray_icon, "STOP");

  const auto& tracks = image.toc.Tracks;
  const std::string expected =
      image.Bytes(tracks[2].Start, image.toc.LeadOut) + image.Bytes(tracks[0].Start, tracks[2].Start);
  ASSERT_EQ(sink.openings.size(), 1u);
  const std::string played = Trimmed(sink.openings[0]);
  ASSERT_EQ(played.size(), expected.size());
  EXPECT_TRUE(played == expected);
}

TEST_F(RealDriveTest, UnusableDriveShowsWhyOnTheLyricsLineAndTheTrayHint) {
  struct Case {
    const char* name;
    std::string setting;  // the "Drive" setting, made by `make`
    std::function<void()> make;
    std::string reason;
  };
  const std::filesystem::path missing = dir / "gone.cue", sheet = dir / "notes.cue", empty = dir / "empty";
  const Case cases[] = {
      {"MissingImage", missing.string(), [] {}, "CDイメージが見つかりません: " + missing.string()},
      {"NotACueSheet", sheet.string(), [&] { WriteFile(sheet, "hello\n"); },
       "キューシートではありません: " + sheet.string()},
      {"FolderWithoutImages", empty.string(), [&] { std::filesystem::create_directory(empty); },
       "フォルダにCDイメージがありません: " + empty.string()},
  };
  for (const Case& c : cases) {
    c.make();
    SdlAudioSink sink;
    CdioDrive cdio(c.setting, sink);
    WriteSettings();
    Make(&cdio);
    controller->QVRDMCreate();
    EXPECT_EQ(controller->CD.CDState, cdNotReady) << c.name;
    EXPECT_EQ(view.lyrics_text, c.reason + "　" + kChooseDriveAdvice) << c.name;
    EXPECT_EQ(view.tray_hint, "Not Ready: " + c.reason + "\n" + kChooseDriveAdvice) << c.name;
    EXPECT_EQ(view.pad_caption, "ＣＤ－ＲＯＭドライブを使用できません") << c.name;
    controller.reset();
  }
  // The reason follows the drive: the missing image appears, but is no cue sheet either.
  std::filesystem::copy_file(sheet, missing);
  SdlAudioSink sink;
  CdioDrive cdio(missing.string(), sink);
  Make(&cdio);
  std::filesystem::remove(missing);
  controller->QVRDMCreate();
  EXPECT_EQ(view.lyrics_text, "CDイメージが見つかりません: " + missing.string() + "　" + kChooseDriveAdvice);
  std::filesystem::copy_file(sheet, missing);
  controller->TimerTimer();
  EXPECT_EQ(view.lyrics_text, "キューシートではありません: " + missing.string() + "　" + kChooseDriveAdvice);
  EXPECT_EQ(view.tray_hint, "Not Ready: キューシートではありません: " + missing.string() + "\n" + kChooseDriveAdvice);
  controller.reset();
}

}  // namespace
}  // namespace qvr::test
