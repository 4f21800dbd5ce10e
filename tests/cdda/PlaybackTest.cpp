// Digital playback through SDL's disk audio driver: the bytes the output received are compared
// with the image. The generated audio has no all-zero sample frame, so silence the output
// writes on its own (before the first chunk, while paused) is dropped before comparing.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "audio/SdlAudioSink.h"
#include "cdda/CDDA.h"
#include "cdda/CdioDrive.h"
#include "cdda/CueImage.h"
#include "cdda/DeEmphasis.h"
#include "cdda/DigitalPlayer.h"
#include "support/CdImage.h"
#include "support/DiskAudio.h"
#include "support/TempDir.h"
#include "util/Error.h"
#include "util/Msf.h"

namespace qvr {
namespace {

using namespace std::chrono_literals;
using test::GeneratedImage;
using test::TempDir;

class PlaybackTest : public testing::Test {
 protected:
  void Open(const GeneratedImage& image) {
    drive = std::make_unique<CdioDrive>(image.cue.string(), sink);
    layer.CDInit(*drive);
    layer.CDPoll();
    ASSERT_EQ(layer.CDState, cdStopped) << drive->Problem();
  }

  // Polls like the playback monitor until the range has ended.
  void PollUntilStopped() {
    auto deadline = std::chrono::steady_clock::now() + 20s;
    do {
      std::this_thread::sleep_for(2ms);
      layer.CDPoll();
    } while (layer.CDState == cdPlaying && std::chrono::steady_clock::now() < deadline);
    ASSERT_EQ(layer.CDState, cdStopped);
  }

  // Whether the output received exactly `expected` (its own silence left out).
  testing::AssertionResult Played(const std::string& expected) {
    return test::SameBytes(test::WithoutSilence(test::ReadFile(output)), expected);
  }

  TempDir dir;
  test::DiskAudioOutput audio{dir / "played.raw"};
  const std::filesystem::path& output = audio.File();
  SdlAudioSink sink;
  // What the drive's reader thread reports; it outlives the drive, whose thread may still be
  // telling when a test ends.
  struct {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<DeviceNews> items;
  } newsLog;
  std::unique_ptr<CdioDrive> drive;
  CDDA layer;
};

TEST_F(PlaybackTest, RangeOfTwoTracksPlaysBitExactWithoutGap) {
  GeneratedImage image = test::WriteImage(dir.Path(), {{100}, {130}, {170, true, 40}, {90}});
  Open(image);
  layer.CDPlay(2, 3);
  EXPECT_EQ(layer.CDState, cdPlaying);
  PollUntilStopped();
  EXPECT_EQ(layer.CDCurrentTrack(), 4);  // the head stands at the end of the range
  EXPECT_TRUE(Played(image.Bytes(image.toc.Tracks[1].Start, image.toc.Tracks[3].Start)));
}

// A range handed over once the one playing was read through follows it at the next sample: the
// output holds no silence between them. The news tells of the reading, then of the hearing.
TEST_F(PlaybackTest, RangeHandedOverFollowsAtTheNextSample) {
  unsetenv("SDL_DISKAUDIODELAY");  // one buffer's length: the real pace, so that the hand-over has its time
  GeneratedImage image = test::WriteImage(dir.Path(), {{75}, {75}, {75}});
  Open(image);
  std::mutex& mutex = newsLog.mutex;
  std::condition_variable& changed = newsLog.changed;
  std::vector<DeviceNews>& news = newsLog.items;
  drive->SetNewsListener([&](DeviceNews item) {
    {
      std::lock_guard lock(mutex);
      news.push_back(item);
    }
    changed.notify_all();
  });
  layer.CDPlay(3, 3);
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, 10s, [&] { return !news.empty(); }));
    EXPECT_EQ(news.front(), DeviceNews::RangeRead);
  }
  EXPECT_TRUE(layer.CDPlayNext(3, 1, 2));
  EXPECT_TRUE(layer.CDNextPending());
  PollUntilStopped();
  EXPECT_FALSE(layer.CDNextPending());

  const auto& tracks = image.toc.Tracks;
  const std::string expected =
      image.Bytes(tracks[2].Start, image.toc.LeadOut) + image.Bytes(tracks[0].Start, tracks[2].Start);
  std::string played = test::ReadFile(output);
  const std::string silence(4, '\0');
  std::size_t first = 0, end = played.size();
  while (first + 4 <= end && played.compare(first, 4, silence) == 0) first += 4;
  while (end >= first + 4 && played.compare(end - 4, 4, silence) == 0) end -= 4;
  EXPECT_EQ(end - first, expected.size());
  EXPECT_TRUE(played.compare(first, end - first, expected) == 0);
  std::lock_guard lock(mutex);
  EXPECT_EQ(std::count(news.begin(), news.end(), DeviceNews::RangeRead), 2);  // each range read through
  EXPECT_GE(std::count(news.begin(), news.end(), DeviceNews::Heard), 2);      // tracks 1 and 2 heard
}

// A play while playing (next, previous) lets the old sound go on until the new range's first
// chunk takes its place: no silence between them, and the new range whole.
TEST_F(PlaybackTest, PlayWhilePlayingSwitchesWithoutSilence) {
  unsetenv("SDL_DISKAUDIODELAY");  // one buffer's length: the real pace
  GeneratedImage image = test::WriteImage(dir.Path(), {{75}, {150}});
  Open(image);
  layer.CDPlay(2, 2);
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (sink.PlayedFrames() < 44100 / 2 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(5ms);
  layer.CDPlay(1, 1);
  PollUntilStopped();
  std::string played = test::ReadFile(output);
  const std::string silence(4, '\0');
  std::size_t first = 0, end = played.size();
  while (first + 4 <= end && played.compare(first, 4, silence) == 0) first += 4;
  while (end >= first + 4 && played.compare(end - 4, 4, silence) == 0) end -= 4;
  std::size_t gaps = 0;
  for (std::size_t at = first; at + 4 <= end; at += 4) gaps += played.compare(at, 4, silence) == 0;
  EXPECT_EQ(gaps, 0u);
  const std::string track1 = image.Bytes(image.toc.Tracks[0].Start, image.toc.Tracks[1].Start);
  ASSERT_GE(end - first, track1.size());
  EXPECT_TRUE(played.compare(end - track1.size(), track1.size(), track1) == 0);
}

TEST_F(PlaybackTest, BigEndianImagePlaysTheSameSound) {
  GeneratedImage image = test::WriteImage(dir.Path(), {{100}, {120}}, test::Options("m.cue", "m.bin", "", true));
  Open(image);
  layer.CDPlay(2, 2);
  PollUntilStopped();
  // The last track ends one frame before the lead-out.
  EXPECT_TRUE(Played(image.Bytes(image.toc.Tracks[1].Start, image.toc.LeadOut)));
}

TEST_F(PlaybackTest, DataTracksAreNeverPlayed) {
  GeneratedImage image = test::WriteImage(dir.Path(), {{60, false}, {100}, {50, false}, {80}});
  Open(image);
  layer.CDPlay(1, 4);
  PollUntilStopped();
  std::string expected = image.AudioBytes(image.toc.Tracks[0].Start, image.toc.LeadOut);
  ASSERT_EQ(expected.size(), std::size_t{100 + 80} * kSectorBytes);  // the last sector too
  EXPECT_TRUE(Played(expected));

  // A range made of data only plays nothing.
  layer.CDPlay(3, 3);
  layer.CDPoll();
  EXPECT_EQ(layer.CDState, cdStopped);
}

TEST_F(PlaybackTest, PauseAndResumeLoseAndRepeatNothing) {
  // Paced like a real device so that the pause lands in the middle.
  setenv("SDL_DISKAUDIODELAY", "2", 1);
  GeneratedImage image = test::WriteImage(dir.Path(), {{150}, {1500}});
  Open(image);
  layer.CDPlay(1, 2);
  auto deadline = std::chrono::steady_clock::now() + 10s;
  while (layer.CDPosition() == (1u | 0u << 8) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(1ms);
  while (layer.CDCurrentTrack() != 2 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
  layer.CDPause();
  layer.CDPoll();
  EXPECT_EQ(layer.CDState, cdPaused);
  std::uint32_t held = layer.CDPosition();
  std::this_thread::sleep_for(60ms);
  EXPECT_EQ(layer.CDPosition(), held);
  layer.CDPoll();
  EXPECT_EQ(layer.CDState, cdPaused);
  layer.CDPause();
  EXPECT_EQ(layer.CDState, cdPlaying);
  PollUntilStopped();
  EXPECT_TRUE(Played(image.Bytes(image.toc.Tracks[0].Start, image.toc.LeadOut)));
}

// A seek: what was heard before it, then the image from the seek's place to the range's end.
TEST_F(PlaybackTest, SeekPlaysOnFromThePlaceToTheRangesEnd) {
  setenv("SDL_DISKAUDIODELAY", "2", 1);
  GeneratedImage image = test::WriteImage(dir.Path(), {{1500}, {300}});
  Open(image);
  layer.CDPlay(1, 1);
  const std::uint32_t start = image.toc.Tracks[0].Start, end = image.toc.Tracks[1].Start;
  std::this_thread::sleep_for(50ms);
  ASSERT_TRUE(layer.CDSeek(1, 900));
  EXPECT_EQ(layer.CDState, cdPlaying);
  // The second track lies outside the range.
  EXPECT_FALSE(layer.CDSeek(2, 10));
  PollUntilStopped();
  const std::string played = test::WithoutSilence(test::ReadFile(output));
  const std::string tail = image.Bytes(start + 900, end);
  ASSERT_GE(played.size(), tail.size());
  const std::size_t before = played.size() - tail.size();
  EXPECT_LT(before, std::size_t{900} * kSectorBytes);
  EXPECT_EQ(played.substr(before), tail);
  EXPECT_EQ(played.substr(0, before), image.Bytes(start, end).substr(0, before));
}

TEST_F(PlaybackTest, SeekWhilePausedWaitsForResume) {
  setenv("SDL_DISKAUDIODELAY", "2", 1);
  GeneratedImage image = test::WriteImage(dir.Path(), {{1500}});
  Open(image);
  layer.CDPlay(1, 1);
  layer.CDPause();
  ASSERT_TRUE(layer.CDSeek(1, 1200));
  layer.CDPoll();
  EXPECT_EQ(layer.CDState, cdPaused);
  EXPECT_EQ(layer.CDPosition(), PackTMSF(1, 0, 16, 0));  // 1200 frames: 16 seconds
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(layer.CDPosition(), PackTMSF(1, 0, 16, 0));
  layer.CDPause();
  PollUntilStopped();
  const std::string played = test::WithoutSilence(test::ReadFile(output));
  const std::string tail = image.Bytes(image.toc.Tracks[0].Start + 1200, image.toc.LeadOut);
  ASSERT_GE(played.size(), tail.size());
  EXPECT_EQ(played.substr(played.size() - tail.size()), tail);
}

TEST_F(PlaybackTest, StopEndsPlaybackAndKeepsThePosition) {
  setenv("SDL_DISKAUDIODELAY", "5", 1);
  GeneratedImage image = test::WriteImage(dir.Path(), {{3000}});
  Open(image);
  layer.CDPlay(1, 1);
  std::this_thread::sleep_for(100ms);
  layer.CDStop();
  std::uint32_t position = layer.CDPosition();
  EXPECT_NE(position, 1u);
  layer.CDPoll();
  EXPECT_EQ(layer.CDState, cdStopped);
  EXPECT_FALSE(sink.IsOpen());
  EXPECT_EQ(layer.CDPosition(), position);
}

TEST_F(PlaybackTest, NoAudioOutputFailsThePlayWithTheReason) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  GeneratedImage image = test::WriteImage(dir.Path(), {{100}});
  Open(image);
  try {
    layer.CDPlay(1, 1);
    FAIL() << "play did not fail";
  } catch (const Error& error) {
    EXPECT_NE(std::string(error.what()).find("音声出力を開けません"), std::string::npos) << error.what();
    EXPECT_NE(std::string(error.what()).find("no-such-driver"), std::string::npos) << error.what();
  }
  EXPECT_EQ(layer.CDState, cdStopped);
  layer.CDPoll();
  EXPECT_EQ(layer.CDState, cdStopped);
}

// The output at the real pace: it wakes the writer once when its queue runs below the refill
// mark, again only after a write armed it anew; the heard position moves on with the clock
// between its buffers, stays below what was written while frames wait, and ends at all of it.
TEST_F(PlaybackTest, OutputWakesTheWriterOnceBelowItsMark) {
  unsetenv("SDL_DISKAUDIODELAY");  // one buffer's length: the real pace
  SdlAudioSink out;
  out.Open();
  std::mutex mutex;
  std::condition_variable woken;
  int wakes = 0;
  out.SetRefillMark(AudioSink::kSampleRate / 4, [&] {
    std::lock_guard lock(mutex);
    ++wakes;
    woken.notify_all();
  });
  const std::vector<std::int16_t> half_second(AudioSink::kSampleRate, 1);  // 0.5 s of frames
  out.Write(half_second);
  out.SetPaused(false);
  auto wait_for_wakes = [&](int count) {
    std::unique_lock lock(mutex);
    return woken.wait_for(lock, 5s, [&] { return wakes >= count; });
  };
  ASSERT_TRUE(wait_for_wakes(1));
  EXPECT_LT(out.QueuedFrames(), std::size_t{AudioSink::kSampleRate / 4});
  const std::uint64_t early = out.PlayedFrames();
  EXPECT_GT(early, 0u);
  std::this_thread::sleep_for(10ms);
  EXPECT_GT(out.PlayedFrames(), early) << "the heard position moves within a buffer";
  // Drained further without a write: no second wake-up.
  std::this_thread::sleep_for(300ms);
  {
    std::lock_guard lock(mutex);
    EXPECT_EQ(wakes, 1);
  }
  EXPECT_EQ(out.PlayedFrames(), std::uint64_t{AudioSink::kSampleRate / 2});
  out.Write(half_second);
  ASSERT_TRUE(wait_for_wakes(2));
  EXPECT_LT(out.PlayedFrames(), std::uint64_t{AudioSink::kSampleRate});
  out.Close();
  EXPECT_EQ(out.PlayedFrames(), 0u);
}

// The bytes `bytes` (little-endian samples) as de-emphasis makes them, the filter starting afresh.
std::string DeEmphasised(std::string bytes) {
  std::vector<std::int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), bytes.size());
  DeEmphasis filter;
  filter.Process(samples);
  std::memcpy(bytes.data(), samples.data(), bytes.size());
  return bytes;
}

// A track the cue sheet flags with FLAGS PRE between unflagged ones, all played as one range: the
// output is the image's bytes outside it and de-emphasised inside it, from its first sample to
// its last, with nothing missing at either end. With the option off the whole disc is bit-exact.
TEST_F(PlaybackTest, FlaggedTrackIsDeEmphasisedBetweenBitExactNeighbours) {
  for (const bool on : {true, false}) {
    SCOPED_TRACE(on ? "de-emphasis on" : "de-emphasis off");
    std::filesystem::remove(output);
    test::ImageTrack flagged{131};
    flagged.preEmphasis = true;
    GeneratedImage image = test::WriteImage(dir.Path(), {{97}, flagged, {90}});
    layer.CDSetDeEmphasis(on);  // the layer tells the drive it opens next
    Open(image);
    EXPECT_FALSE(layer.CDTrackDeEmphasised(1));
    EXPECT_EQ(layer.CDTrackDeEmphasised(2), on);
    EXPECT_FALSE(layer.CDTrackDeEmphasised(3));
    layer.CDPlay(1, 3);
    PollUntilStopped();
    const std::vector<TocTrack>& tracks = image.toc.Tracks;
    const std::string middle = image.Bytes(tracks[1].Start, tracks[2].Start);
    EXPECT_TRUE(Played(image.Bytes(tracks[0].Start, tracks[1].Start) +
                       test::WithoutSilence(on ? DeEmphasised(middle) : middle) +
                       image.Bytes(tracks[2].Start, image.toc.LeadOut)));
    layer.CDClose();
  }
}

// Sectors of generated audio, and a Q sub-channel that names the track of the last sector read
// and flags pre-emphasis for the tracks in `flagged`, as a drive's does.
class SubchannelSource : public AudioSectorSource {
 public:
  SubchannelSource(const GeneratedImage& image, std::vector<std::uint32_t> flagged)
      : image_(image), flagged_(std::move(flagged)) {}
  void ReadAudio(std::uint32_t frame, std::uint32_t count, std::int16_t* samples) override {
    const std::string bytes = image_.Bytes(frame, frame + count);
    std::memcpy(samples, bytes.data(), bytes.size());
    last_ = frame + count - 1;
  }
  std::optional<PositionQ> ReadPositionQ() override {
    const std::uint32_t track = image_.toc.TrackAt(last_);
    return PositionQ{track, std::find(flagged_.begin(), flagged_.end(), track) != flagged_.end()};
  }

 private:
  const GeneratedImage& image_;
  std::vector<std::uint32_t> flagged_;
  std::uint32_t last_ = 0;
};

// A disc that flags track 2 only in its sub-channel: the player follows the Q control bits read
// while playing, so track 2 is de-emphasised from its first sample (the chunk that crosses into
// it already names it) and track 1 stays bit-exact. The flag then holds for the track.
TEST_F(PlaybackTest, SubchannelFlagIsFollowedWhilePlaying) {
  GeneratedImage image = test::WriteImage(dir.Path(), {{61}, {83}});
  SubchannelSource source(image, {2});
  DigitalPlayer player(sink);
  player.SetTracks(image.toc);  // no flag in the table of contents
  EXPECT_FALSE(player.DeEmphasised(2));
  const std::vector<TocTrack>& tracks = image.toc.Tracks;
  player.Play(source, {{tracks[0].Start, image.toc.LeadOut}});
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (player.CurrentState() != DigitalPlayer::State::Stopped && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(2ms);
  }
  ASSERT_EQ(player.CurrentState(), DigitalPlayer::State::Stopped);
  EXPECT_TRUE(player.DeEmphasised(2));
  EXPECT_FALSE(player.DeEmphasised(1));
  EXPECT_TRUE(Played(image.Bytes(tracks[0].Start, tracks[1].Start) +
                     test::WithoutSilence(DeEmphasised(image.Bytes(tracks[1].Start, image.toc.LeadOut)))));
}

}  // namespace
}  // namespace qvr
