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

// SDL's output, which the player opens for every range and closes when the range is over. SDL's
// disk driver starts its file anew at each opening and has written all it played once the
// output is closed, so each closing keeps what the file then holds: one entry per range.
class RecordedSdlSink : public AudioSink {
 public:
  explicit RecordedSdlSink(std::filesystem::path file) : file_(std::move(file)) {}
  void Open() override { sink_.Open(); }
  void Close() override {
    const bool was_open = sink_.IsOpen();
    sink_.Close();
    if (was_open) ranges.push_back(WithoutSilence(ReadFile(file_)));
  }
  bool IsOpen() const override { return sink_.IsOpen(); }
  void Write(std::span<const std::int16_t> samples) override { sink_.Write(samples); }
  std::size_t QueuedFrames() const override { return sink_.QueuedFrames(); }
  void SetPaused(bool paused) override { sink_.SetPaused(paused); }
  void Clear() override { sink_.Clear(); }
  std::uint64_t PlayedFrames() const override { return sink_.PlayedFrames(); }

  std::vector<std::string> ranges;  // what was played, range by range

 private:
  std::filesystem::path file_;
  SdlAudioSink sink_;
};

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
  RecordedSdlSink sink(dir / "played.raw");
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

  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (std::chrono::steady_clock::now() < deadline && sink.ranges.size() < 2) {
    std::this_thread::sleep_for(1s);
    dm.TimerTimer();
  }
  EXPECT_EQ(dm.CD.CDState, cdStopped);
  EXPECT_EQ(dm.PlayIndex, 1u);
  EXPECT_EQ(view.tray_icon, "STOP");

  const auto& tracks = image.toc.Tracks;
  const std::string track3 = image.Bytes(tracks[2].Start, image.toc.LeadOut - 1);
  const std::string tracks12 = image.Bytes(tracks[0].Start, tracks[2].Start);
  ASSERT_EQ(sink.ranges.size(), 2u);
  ASSERT_EQ(sink.ranges[0].size(), track3.size());
  EXPECT_TRUE(sink.ranges[0] == track3);
  ASSERT_EQ(sink.ranges[1].size(), tracks12.size());
  EXPECT_TRUE(sink.ranges[1] == tracks12);
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
      {"NotACueSheet", sheet.string(), [&] { WriteFile(sheet, "hello\n"); }, "キューシートではありません: " + sheet.string()},
      {"FolderWithoutImages", empty.string(), [&] { std::filesystem::create_directory(empty); },
       "フォルダにCDイメージがありません: " + empty.string()},
  };
  for (const Case& c : cases) {
    c.make();
    SdlAudioSink sink;
    CdioDrive cdio(c.setting, sink);
    WriteSettings();
    controller = std::make_unique<TQVRDM>(TQVRDMPorts{view, timer, random, wallpaper,
                                               [&](const std::string&) -> CDDevice& { return cdio; }, today, progress,
                                               {"qvr", dir.Path(), dir.Path()}});
    controller->QVRDMCreate();
    EXPECT_EQ(controller->CD.CDState, cdNotReady) << c.name;
    EXPECT_EQ(view.lyrics_text, c.reason) << c.name;
    EXPECT_EQ(view.tray_hint, "Not Ready: " + c.reason) << c.name;
    EXPECT_EQ(view.pad_caption, "ＣＤ－ＲＯＭドライブを使用できません") << c.name;
    controller.reset();
  }
  // The reason follows the drive: the missing image appears, but is no cue sheet either.
  std::filesystem::copy_file(sheet, missing);
  SdlAudioSink sink;
  CdioDrive cdio(missing.string(), sink);
  controller = std::make_unique<TQVRDM>(TQVRDMPorts{view, timer, random, wallpaper,
                                             [&](const std::string&) -> CDDevice& { return cdio; }, today, progress,
                                             {"qvr", dir.Path(), dir.Path()}});
  std::filesystem::remove(missing);
  controller->QVRDMCreate();
  EXPECT_EQ(view.lyrics_text, "CDイメージが見つかりません: " + missing.string());
  std::filesystem::copy_file(sheet, missing);
  controller->TimerTimer();
  EXPECT_EQ(view.lyrics_text, "キューシートではありません: " + missing.string());
  EXPECT_EQ(view.tray_hint, "Not Ready: キューシートではありません: " + missing.string());
  controller.reset();
}

}  // namespace
}  // namespace qvr::test
