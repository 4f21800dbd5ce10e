// The hidden first track on generated images: which pregaps of track 1 offer it (audio, more than
// 2 seconds of it, stored in the image), every kind of image that can hold one, the sound it
// plays (the pregap, bit-exact) and what it leaves as it was (disc order, track count, disc key
// and IDs).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "audio/SdlAudioSink.h"
#include "cdda/CDDA.h"
#include "cdda/CdioDrive.h"
#include "cdda/DeEmphasis.h"
#include "cdda/HiddenTrack.h"
#include "metadata/DiscIds.h"
#include "support/CaseName.h"
#include "support/CdImage.h"
#include "support/DiskAudio.h"
#include "support/TempDir.h"
#include "util/Msf.h"

namespace qvr {
namespace {

using namespace std::chrono_literals;
using test::GeneratedImage;
using test::ImageTrack;
using test::TempDir;

class HiddenTrackTest : public testing::Test {
 protected:
  CDDA& Open(const std::filesystem::path& image) {
    drive = std::make_unique<CdioDrive>(image.string(), sink);
    layer.CDInit(*drive);
    layer.CDPoll();
    EXPECT_EQ(layer.CDState, cdStopped) << drive->Problem();
    return layer;
  }

  // Plays tracks `from` to `to` and returns what the output received, its own silence left out.
  std::string PlayAndRecord(std::uint8_t from, std::uint8_t to) {
    std::filesystem::remove(output);
    layer.CDPlay(from, to);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    do {
      std::this_thread::sleep_for(2ms);
      layer.CDPoll();
    } while (layer.CDState == cdPlaying && std::chrono::steady_clock::now() < deadline);
    EXPECT_EQ(layer.CDState, cdStopped);
    return test::WithoutSilence(test::ReadFile(output));
  }

  TempDir dir;
  test::DiskAudioOutput audio{dir / "played.raw"};
  const std::filesystem::path& output = audio.File();
  SdlAudioSink sink;
  std::unique_ptr<CdioDrive> drive;
  CDDA layer;
};

// Track 1 with these frames before its INDEX 01.
ImageTrack FirstTrack(std::uint32_t index0, bool zero = false, std::uint32_t silentPregap = 0, bool audio = true) {
  ImageTrack track{150, audio, index0, silentPregap};
  track.zeroIndex0 = zero;
  return track;
}

struct PregapCase {
  std::string name;
  ImageTrack first;
  std::uint32_t leadingFrames = 0;  // sectors of the file before track 1's only index
  bool offered = false;
};

class PregapTest : public HiddenTrackTest, public testing::WithParamInterface<PregapCase> {};

TEST_P(PregapTest, OffersTrackZeroOnlyForAudioLongerThanTwoSeconds) {
  test::ImageOptions options;
  options.leadingFrames = GetParam().leadingFrames;
  const GeneratedImage image = test::WriteImage(dir.Path(), {GetParam().first, {120}}, options);
  Open(image.cue);
  const std::uint32_t pregap = image.toc.Tracks[0].Start - kLeadInFrames;
  EXPECT_EQ(layer.CDHasHiddenTrack(), GetParam().offered);
  EXPECT_EQ(layer.CDTrackCount(), 2);
  EXPECT_EQ(layer.CDTrackLength(0), GetParam().offered ? FramesToMSF(pregap) : 0u);
  EXPECT_EQ(layer.CDTrackStart(0), GetParam().offered ? FramesToMSF(kLeadInFrames) : 0u);
}

INSTANTIATE_TEST_SUITE_P(Pregaps, PregapTest,
                         testing::Values(PregapCase{"AudioInIndex00", FirstTrack(300), 0, true},
                                         PregapCase{"AudioBeforeTheOnlyIndex", FirstTrack(0), 300, true},
                                         PregapCase{"SoundAfterSilence", FirstTrack(100, false, 200), 0, true},
                                         PregapCase{"DigitalSilenceInTheFile", FirstTrack(300, true), 0, false},
                                         PregapCase{"PregapSilenceNotInTheFile", FirstTrack(0, false, 300), 0, false},
                                         PregapCase{"ExactlyTwoSeconds", FirstTrack(150), 0, false},
                                         PregapCase{"ShorterThanTwoSeconds", FirstTrack(120), 0, false},
                                         PregapCase{"DataTrackOne", FirstTrack(300, false, 0, false), 0, false}),
                         test::CaseName());

// Track 0 plays the pregap exactly; a range from it runs on into track 1 without a gap; the
// disc's own order (tracks 1 on) starts at track 1 as before.
TEST_F(HiddenTrackTest, TrackZeroPlaysThePregapBitExact) {
  const GeneratedImage image = test::WriteImage(dir.Path(), {FirstTrack(300), {100}, {90}});
  Open(image.cue);
  ASSERT_TRUE(layer.CDHasHiddenTrack());
  const std::vector<TocTrack>& tracks = image.toc.Tracks;
  EXPECT_TRUE(test::SameBytes(PlayAndRecord(0, 0), image.Bytes(kLeadInFrames, tracks[0].Start)));
  EXPECT_EQ(layer.CDCurrentTrack(), 1);  // the head stands at the end of the range
  EXPECT_TRUE(test::SameBytes(PlayAndRecord(0, 1), image.Bytes(kLeadInFrames, tracks[1].Start)));
  EXPECT_TRUE(test::SameBytes(PlayAndRecord(1, 3), image.Bytes(tracks[0].Start, image.toc.LeadOut)));
}

// The head in the pregap reports track 0, and a seek there stays in it.
TEST_F(HiddenTrackTest, PositionInThePregapIsTrackZero) {
  setenv("SDL_DISKAUDIODELAY", "5", 1);  // paced, so that the head is still in track 0
  const GeneratedImage image = test::WriteImage(dir.Path(), {FirstTrack(3000), {100}});
  Open(image.cue);
  layer.CDPlay(0, 1);
  EXPECT_EQ(layer.CDCurrentTrack(), 0);
  layer.CDPause();
  ASSERT_TRUE(layer.CDSeek(0, 1500));
  EXPECT_EQ(layer.CDPosition(), PackTMSF(0, 0, 20, 0));
  layer.CDStop();
}

// The hidden track is no track of the table of contents: the drive reports the same disc, the
// same key and the same IDs whether its pregap holds sound or silence.
TEST_F(HiddenTrackTest, DiscKeyAndIdsAreThoseOfTheTableOfContents) {
  struct Reported {
    std::string key;
    int tracks = 0;
    std::uint32_t length = 0, start1 = 0, length1 = 0;
    bool operator==(const Reported&) const = default;
  };
  auto report = [](CDDA& cd) {
    return Reported{cd.CDMediaID().Str(), cd.CDTrackCount(), cd.CDDiscLength(), cd.CDTrackStart(1),
                    cd.CDTrackLength(1)};
  };
  std::filesystem::create_directories(dir / "silent");
  std::filesystem::create_directories(dir / "hidden");
  const GeneratedImage silent = test::WriteImage(dir / "silent", {FirstTrack(300, true), {100}});
  const Reported plain = report(Open(silent.cue));
  ASSERT_FALSE(layer.CDHasHiddenTrack());
  const GeneratedImage hidden = test::WriteImage(dir / "hidden", {FirstTrack(300), {100}});
  EXPECT_EQ(report(Open(hidden.cue)), plain);
  ASSERT_TRUE(layer.CDHasHiddenTrack());

  DiscToc toc = hidden.toc;
  toc.HiddenTrack = true;
  EXPECT_EQ(MusicBrainzDiscId(toc), MusicBrainzDiscId(hidden.toc));
  EXPECT_EQ(CddbDiscIdText(toc), CddbDiscIdText(hidden.toc));
}

// The hidden track is track 1's pregap: a track 1 recorded with pre-emphasis has it de-emphasised
// too, as its sub-channel flags it on the disc.
TEST_F(HiddenTrackTest, FollowsTrackOnesPreEmphasis) {
  ImageTrack first = FirstTrack(300);
  first.preEmphasis = true;
  const GeneratedImage image = test::WriteImage(dir.Path(), {first, {100}});
  Open(image.cue);
  EXPECT_TRUE(layer.CDTrackDeEmphasised(0));
  std::string pregap = image.Bytes(kLeadInFrames, image.toc.Tracks[0].Start);
  std::vector<std::int16_t> samples(pregap.size() / 2);
  std::memcpy(samples.data(), pregap.data(), pregap.size());
  DeEmphasis filter;
  filter.Process(samples);
  std::memcpy(pregap.data(), samples.data(), pregap.size());
  EXPECT_TRUE(test::SameBytes(PlayAndRecord(0, 0), test::WithoutSilence(pregap)));
}

// A source whose reads take a while, as a drive's spinning up: the probe answers when it has
// read, and one that is ended meanwhile stops after the read in progress.
class SlowSource : public AudioSectorSource {
 public:
  explicit SlowSource(const GeneratedImage& image) : image_(image) {}
  void ReadAudio(std::uint32_t frame, std::uint32_t count, std::int16_t* samples) override {
    std::this_thread::sleep_for(20ms);
    ++reads;
    std::memset(samples, 0, std::size_t{count} * kSectorBytes);
    if (frame + count > image_.toc.Tracks[0].Start - 1) samples[0] = 1;  // sound only at the very end
  }
  std::atomic<int> reads{0};

 private:
  const GeneratedImage& image_;
};

TEST_F(HiddenTrackTest, ProbeAnswersOffTheCallersThreadAndEndsWhenAsked) {
  const GeneratedImage image = test::WriteImage(dir.Path(), {FirstTrack(300), {100}});
  SlowSource source(image);
  {
    HiddenTrackProbe probe(image.toc, source);
    EXPECT_EQ(probe.Result(), std::nullopt);  // 38 reads of 20 ms to go
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!probe.Result() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
    EXPECT_EQ(probe.Result(), true);
    EXPECT_EQ(source.reads, 38);  // 300 sectors, 8 at a time
  }
  source.reads = 0;
  {
    HiddenTrackProbe probe(image.toc, source);
    std::this_thread::sleep_for(50ms);
  }
  EXPECT_LT(source.reads, 10);
}

// Every image that stores the pregap offers and plays the hidden track the same way: a cue
// sheet's INDEX 00, a cdrdao .toc file's START (its raw file little-endian, as SWAP says), and a FLAC rip with its cue
// sheet.
TEST_F(HiddenTrackTest, EveryKindOfImageOffersIt) {
  const GeneratedImage image = test::WriteImage(dir.Path(), {FirstTrack(300), {100}});
  const std::uint32_t pregap = image.toc.Tracks[0].Start - kLeadInFrames;
  test::WriteFile(dir / "disc.toc", "CD_DA\nTRACK AUDIO\nFILE \"disc.bin\" SWAP 0 " + test::MsfText(pregap + 150) +
                                        "\nSTART " + test::MsfText(pregap) + "\nTRACK AUDIO\nFILE \"disc.bin\" SWAP " +
                                        test::MsfText(pregap + 150) + " " + test::MsfText(100) + "\n");
  test::WriteFile(dir / "disc.raw", test::ReadFile(image.bin));
  ASSERT_EQ(std::system(("flac -s -f --force-raw-format --endian=little --sign=signed --channels=2 --bps=16 "
                         "--sample-rate=44100 -o '" +
                         (dir / "disc.flac").string() + "' '" + (dir / "disc.raw").string() + "' >/dev/null 2>&1")
                            .c_str()),
            0);
  std::string sheet = test::ReadFile(image.cue);
  sheet.replace(sheet.find("\"disc.bin\" BINARY"), 17, "\"disc.flac\" WAVE");
  test::WriteFile(dir / "flac.cue", sheet);

  for (const char* kind : {"disc.cue", "disc.toc", "flac.cue"}) {
    SCOPED_TRACE(kind);
    Open(dir / kind);
    EXPECT_TRUE(layer.CDHasHiddenTrack());
    EXPECT_EQ(layer.CDTrackLength(0), FramesToMSF(pregap));
    EXPECT_TRUE(test::SameBytes(PlayAndRecord(0, 0), image.Bytes(kLeadInFrames, image.toc.Tracks[0].Start)));
    layer.CDClose();
  }
}

}  // namespace
}  // namespace qvr
