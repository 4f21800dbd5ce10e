// The start ahead of the windows: the range worked out ahead is the one the start-up's first tick
// plays, and with the real thing (the cdio drive on a generated image, SDL's disk audio at the
// real pace) the sound begun ahead goes on as that tick's playback without a break or a repeat,
// is never heard when the tick would not play, and ends before a start-up error is shown.
#include "app/EarlyStart.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "app/ControllerFixture.h"
#include "support/CdImage.h"
#include "support/SdlSinks.h"

namespace qvr::test {
namespace {

using namespace std::chrono_literals;

// Fixed draws, and a fork that draws the same ones.
class ForkableRandom : public FixedRandom {
 public:
  std::unique_ptr<RandomSource> Fork() const override { return std::make_unique<ForkableRandom>(*this); }
};

// SDL's output, each opening recorded when it closes, with what the controller's view had shown
// by then.
class RecordedOutput : public RecordedSdlSink {
 public:
  RecordedOutput(std::filesystem::path file, const RecordingView& view)
      : RecordedSdlSink(std::move(file)), view_(view) {}

  std::vector<std::size_t> errors_shown_at_close;  // errors the view had shown when it closed

 private:
  void Closed() override { errors_shown_at_close.push_back(view_.errors.size()); }

  const RecordingView& view_;
};

class EarlyStartTest : public ControllerFixture {
 protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", (dir / "played.raw").c_str(), 1);
    unsetenv("SDL_DISKAUDIODELAY");  // one buffer per its length: the real pace
  }
  void TearDown() override { unsetenv("SDL_AUDIODRIVER"); }

  EarlyStart::DriveMaker Maker(AudioSink& sink) {
    return [&sink](const std::string& name) { return std::make_unique<CdioDrive>(name, sink); };
  }
  TIniGTEnvironment Environment() const { return {"qvr", dir.Path(), dir.Path()}; }
};

// The rule worked out ahead against the controller's own first tick, on the simulated drive: every
// play mode, released by its unlock value or kept, on discs of one, two and five tracks, with the
// random draws the controller's source will make.
TEST_F(EarlyStartTest, RangeWorkedOutAheadIsTheOneTheFirstTickPlays) {
  struct Case {
    int tracks, mode, unlock;
    std::deque<std::size_t> draws;
  };
  std::vector<Case> cases;
  for (int tracks : {1, 2, 5}) {
    for (int mode : {0, 1, 2, 3}) {
      for (int unlock : {0, 1, 2}) cases.push_back({tracks, mode, unlock, {1, 1, 4, 2}});
    }
  }
  for (const Case& c : cases) {
    const std::string name = "tracks " + std::to_string(c.tracks) + ", mode " + std::to_string(c.mode) + ", unlock " +
                             std::to_string(c.unlock);
    const char* unlock_key = c.mode == 1 ? "OneUnlock" : c.mode == 2 ? "AllUnlock" : "RandomUnlock";
    WriteFile(dir / "Qvr.ini",
              "[Other]\r\nAutoPlay=1\r\nAutoDLGOpen=0\r\n[Repeat]\r\nPlayMode=" + std::to_string(c.mode) + "\r\n" +
                  unlock_key + "=" + std::to_string(c.unlock) + "\r\n");
    SimulatedDrive disc_drive;
    disc_drive.InsertDisc(Toc(std::vector<int>(static_cast<std::size_t>(c.tracks), 10)));
    random.draws = c.draws;
    ForkableRandom ahead;
    ahead.draws = c.draws;
    const auto range = FirstTickRange(c.tracks, c.mode, c.unlock, &ahead);
    TQVRDM& dm = Make(&disc_drive);
    dm.QVRDMCreate();
    ASSERT_TRUE(range.has_value()) << name;
    EXPECT_EQ(dm.CD.CDState, cdPlaying) << name;
    EXPECT_EQ(dm.CD.PlayFrom, range->first) << name;
    EXPECT_EQ(dm.CD.PlayTo, range->second) << name;
    controller.reset();
  }
  EXPECT_FALSE(FirstTickRange(0, 0, 2, nullptr).has_value());
  // Random play on more than two tracks cannot be worked out without the source's draws.
  EXPECT_FALSE(FirstTickRange(5, 3, 2, nullptr).has_value());
}

// The sound begun ahead is the first tick's playback: one opening of the output, holding the disc
// from the range's first sample on with not one sample left out or repeated where the tick took
// it over, and the play command sent no request of its own.
TEST_F(EarlyStartTest, SoundBegunAheadGoesOnAsTheFirstTicksPlayback) {
  const GeneratedImage image = WriteImage(dir.Path(), {{150}, {150}, {150}});  // three tracks of 2 s
  WriteFile(dir / "Qvr.ini", "[Other]\r\nDrive=" + image.cue.string() + "\r\nAutoPlay=1\r\nAutoDLGOpen=0\r\n");
  RecordedOutput output(dir / "played.raw", view);
  ForkableRandom seeded;
  EarlyStart early(Environment(), "", seeded, Maker(output));
  EXPECT_TRUE(early.Played());
  std::this_thread::sleep_for(300ms);  // the toolkit loads and the windows are made meanwhile
  std::unique_ptr<CdioDrive> cdio = early.Take(image.cue.string());
  ASSERT_NE(cdio, nullptr);
  cdio->SetNewsListener([this](DeviceNews posted) { news.Post(posted); });
  TQVRDM& dm = Make(cdio.get());
  dm.QVRDMCreate();
  EXPECT_EQ(dm.CD.CDState, cdPlaying);
  EXPECT_EQ(dm.CD.PlayFrom, 1);
  EXPECT_EQ(dm.CD.PlayTo, 3);
  EXPECT_EQ(dm.CD.CDCurrentTrack(), 1);
  EXPECT_TRUE(view.errors.empty());
  std::this_thread::sleep_for(500ms);
  dm.QVRDMDestroy();

  ASSERT_EQ(output.openings.size(), 1u);
  const std::string played = WithoutSilence(output.openings[0]);
  const std::string disc = image.Bytes(image.toc.Tracks[0].Start, image.toc.LeadOut);
  // At the real pace at least the time before the take-over and after it was heard.
  EXPECT_GE(played.size(), std::size_t{44100 * 4 * 6 / 10});
  ASSERT_LE(played.size(), disc.size());
  EXPECT_TRUE(played == disc.substr(0, played.size())) << "the recorded sound parts from the disc";
}

// Nothing is heard of a disc the first tick would not play: automatic play off, and settings
// the start-up complains about before the disc; the device is still opened ahead and taken over.
TEST_F(EarlyStartTest, NothingIsHeardAheadOfATickThatWouldNotPlay) {
  const GeneratedImage image = WriteImage(dir.Path(), {{150}, {150}});
  struct Case {
    const char* name;
    std::string settings;
  };
  const Case cases[] = {
      {"AutoPlayOff", "[Other]\r\nDrive=" + image.cue.string() + "\r\nAutoPlay=0\r\n"},
      {"NoDisc", "[Other]\r\nDrive=" + (dir / "gone.cue").string() + "\r\nAutoPlay=1\r\n"},
  };
  for (const Case& c : cases) {
    WriteFile(dir / "Qvr.ini", c.settings + "AutoDLGOpen=0\r\n");
    RecordedOutput output(dir / "played.raw", view);
    ForkableRandom seeded;
    EarlyStart early(Environment(), "", seeded, Maker(output));
    EXPECT_FALSE(early.Played()) << c.name;
    EXPECT_FALSE(output.IsOpen()) << c.name;
    EXPECT_TRUE(output.openings.empty()) << c.name;
  }
}

// A lookup that fails ends the first tick: the sound begun ahead ends before the error is shown.
TEST_F(EarlyStartTest, SoundBegunAheadEndsBeforeAStartUpErrorIsShown) {
  const GeneratedImage image = WriteImage(dir.Path(), {{150}, {150}});
  // A database folder that cannot be made: a file stands where a folder above it should be.
  WriteFile(dir / "file", "");
  WriteFile(dir / "Qvr.ini", "[Other]\r\nDrive=" + image.cue.string() +
                                 "\r\nAutoPlay=1\r\nAutoDLGOpen=0\r\nDataBasePath=" + (dir / "file" / "DB").string() +
                                 "/\r\n");
  RecordedOutput output(dir / "played.raw", view);
  ForkableRandom seeded;
  EarlyStart early(Environment(), "", seeded, Maker(output));
  ASSERT_TRUE(early.Played());
  std::unique_ptr<CdioDrive> cdio = early.Take(image.cue.string());
  TQVRDM& dm = Make(cdio.get());
  dm.QVRDMCreate();
  ASSERT_EQ(view.errors.size(), 1u);
  EXPECT_NE(dm.CD.CDState, cdPlaying);
  ASSERT_EQ(output.openings.size(), 1u);
  EXPECT_EQ(output.errors_shown_at_close[0], 0u) << "the output closed only after the error box";
  EXPECT_FALSE(output.IsOpen());
}

// A device opened ahead for another drive than the one the start-up asks for is closed, and
// what it played ends.
TEST_F(EarlyStartTest, DeviceForAnotherDriveIsClosed) {
  const GeneratedImage image = WriteImage(dir.Path(), {{150}, {150}});
  WriteFile(dir / "Qvr.ini", "[Other]\r\nDrive=" + image.cue.string() + "\r\nAutoPlay=1\r\nAutoDLGOpen=0\r\n");
  RecordedOutput output(dir / "played.raw", view);
  ForkableRandom seeded;
  EarlyStart early(Environment(), "", seeded, Maker(output));
  ASSERT_TRUE(early.Played());
  EXPECT_EQ(early.Take((dir / "other.cue").string()), nullptr);
  EXPECT_FALSE(output.IsOpen());
  EXPECT_EQ(early.Take(image.cue.string()), nullptr) << "taken once only";
}

}  // namespace
}  // namespace qvr::test
