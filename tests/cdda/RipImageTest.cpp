// Rips of the demo disc as people have them: FLAC (encoded here with the flac tool) as one file
// for the disc, one file per track with the gaps appended to the previous track or kept before
// their own, mixed with WAVE and BINARY files, and one FLAC file with the cue sheet inside (as a
// metadata block and as a tag). Each must be the disc it was ripped from: the same table of
// contents, disc key and disc IDs, the same sectors wherever they are read, and the same sound
// played to the last sample.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>

#include "audio/SdlAudioSink.h"
#include "cdda/CDDA.h"
#include "cdda/CdioDrive.h"
#include "cdda/CueImage.h"
#include "cdda/MediaIdentity.h"
#include "metadata/DiscIds.h"
#include "support/CaseName.h"
#include "support/CdImage.h"
#include "support/DiskAudio.h"
#include "support/TempDir.h"
#include "util/Error.h"

namespace qvr {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using test::TempDir;

constexpr std::uint32_t kGap = 30;  // sectors of gap before each track but the first

// The demo disc as the build writes it: its table of contents and its sectors.
struct Demo {
  DiscToc toc;
  std::string bin;  // every sector, little-endian
  std::string Bytes(std::uint32_t from, std::uint32_t to) const {
    return bin.substr(std::size_t{from - kLeadInFrames} * kSectorBytes, std::size_t{to - from} * kSectorBytes);
  }
};

const Demo& DemoDisc() {
  static const Demo demo = [] {
    Demo loaded;
    CueImage image(QVR_DEMO_CUE);
    loaded.toc = image.Toc();
    loaded.bin = test::ReadFile(fs::path(QVR_DEMO_CUE).replace_extension(".bin"));
    return loaded;
  }();
  return demo;
}

std::string Run(const std::string& command) {
  const int status = std::system((command + " >/dev/null 2>&1").c_str());
  return status == 0 ? std::string() : "failed: " + command;
}

// Encodes little-endian 16-bit stereo samples as a FLAC file of 44.1 kHz (or another rate).
void EncodeFlac(const fs::path& flac, const std::string& samples, const std::string& options = "", int rate = 44100) {
  const fs::path raw = fs::path(flac).replace_extension(".raw");
  test::WriteFile(raw, samples);
  const std::string error =
      Run("flac -s -f --force-raw-format --endian=little --sign=signed --channels=2 --bps=16 --sample-rate=" +
          std::to_string(rate) + " " + options + " -o '" + flac.string() + "' '" + raw.string() + "'");
  ASSERT_EQ(error, "");
  fs::remove(raw);
}

std::string WaveFile(const std::string& samples) {
  auto le32 = [](std::uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  auto le16 = [](std::uint16_t v) { return std::string{char(v), char(v >> 8)}; };
  const auto size = static_cast<std::uint32_t>(samples.size());
  return "RIFF" + le32(36 + size) + "WAVEfmt " + le32(16) + le16(1) + le16(2) + le32(44100) + le32(44100 * 4) +
         le16(4) + le16(16) + "data" + le32(size) + samples;
}

std::string Msf(std::uint32_t frames) { return test::MsfText(frames); }

// The demo disc's cue sheet lines for its titles, written into every rip's sheet.
const char kTitles[] =
    "TITLE \"QVR Demo Disc\"\nPERFORMER \"QVR\"\nREM DATE 2024\nREM DISCID 00000000\nCATALOG 0000000000000\n";

// One way to rip the demo disc: writes the files into `folder` and returns the image to open.
struct Rip {
  std::string name;
  fs::path (*write)(const fs::path& folder);
};

// The whole disc in one FLAC file, named in the sheet as the WAVE file it was ripped to.
fs::path OneFile(const fs::path& folder) {
  const Demo& demo = DemoDisc();
  EncodeFlac(folder / "disc.flac", demo.bin);
  std::string cue = std::string(kTitles) + "FILE \"disc.wav\" WAVE\n";
  for (std::size_t n = 0; n < demo.toc.Tracks.size(); ++n) {
    cue += "  TRACK " + std::string(n < 9 ? "0" : "") + std::to_string(n + 1) + " AUDIO\n    ISRC JPXX00000001\n" +
           "    FLAGS DCP\n    INDEX 01 " + Msf(demo.toc.Tracks[n].Start - kLeadInFrames) + "\n";
  }
  test::WriteFile(folder / "disc.cue", cue);
  return folder / "disc.cue";
}

// One FLAC file per track from its INDEX 01 on, each holding the gap before the next track at
// its end (INDEX 00 of the next track in the previous file); the third track is a WAVE file.
fs::path GapsAppended(const fs::path& folder) {
  const Demo& demo = DemoDisc();
  const auto& tracks = demo.toc.Tracks;
  std::string cue = kTitles;
  for (std::size_t n = 0; n < tracks.size(); ++n) {
    const std::uint32_t end = n + 1 < tracks.size() ? tracks[n + 1].Start : demo.toc.LeadOut;
    const std::string samples = demo.Bytes(tracks[n].Start, end);
    const std::string name = "0" + std::to_string(n + 1) + (n == 2 ? ".wav" : ".flac");
    if (n == 2) {
      test::WriteFile(folder / name, WaveFile(samples));
    } else {
      EncodeFlac(folder / name, samples);
    }
    if (n > 0) cue += "FILE \"" + name + "\" WAVE\n    INDEX 01 00:00:00\n";
    if (n == 0) cue += "FILE \"" + name + "\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
    if (n + 1 < tracks.size()) {
      cue += "  TRACK 0" + std::to_string(n + 2) + " AUDIO\n    REM comment\n    INDEX 00 " +
             Msf(end - kGap - tracks[n].Start) + "\n";
    }
  }
  test::WriteFile(folder / "disc.cue", cue);
  return folder / "disc.cue";
}

// One file per track holding the gap before it (INDEX 00 at its start); the fourth track is a
// raw BINARY file.
fs::path GapsKept(const fs::path& folder) {
  const Demo& demo = DemoDisc();
  const auto& tracks = demo.toc.Tracks;
  std::string cue = kTitles;
  for (std::size_t n = 0; n < tracks.size(); ++n) {
    const std::uint32_t from = n == 0 ? tracks[0].Start : tracks[n].Start - kGap;
    const std::uint32_t end = n + 1 < tracks.size() ? tracks[n + 1].Start - kGap : demo.toc.LeadOut;
    const std::string samples = demo.Bytes(from, end);
    const std::string name = "track" + std::to_string(n + 1) + (n == 3 ? ".bin" : ".flac");
    if (n == 3) {
      test::WriteFile(folder / name, samples);
    } else {
      EncodeFlac(folder / name, samples);
    }
    cue += "FILE \"" + name + "\" " + (n == 3 ? "BINARY" : "WAVE") + "\n  TRACK 0" + std::to_string(n + 1) +
           " AUDIO\n    TITLE \"Track\"\n";
    cue += n == 0 ? "    INDEX 01 00:00:00\n" : "    INDEX 00 00:00:00\n    INDEX 01 " + Msf(kGap) + "\n";
  }
  test::WriteFile(folder / "disc.cue", cue);
  return folder / "disc.cue";
}

// One FLAC file with the sheet as its CUESHEET metadata block (as flac --cuesheet writes it).
fs::path EmbeddedBlock(const fs::path& folder) {
  OneFile(folder);
  const Demo& demo = DemoDisc();
  EncodeFlac(folder / "album.flac", demo.bin, "--cuesheet='" + (folder / "disc.cue").string() + "'");
  fs::remove(folder / "disc.flac");
  fs::remove(folder / "disc.cue");
  return folder / "album.flac";
}

// One FLAC file with the sheet's text in a CUESHEET tag, titles and all.
fs::path EmbeddedTag(const fs::path& folder) {
  fs::path cue = OneFile(folder);
  fs::rename(folder / "disc.flac", folder / "album.flac");
  EXPECT_EQ(
      Run("metaflac --set-tag-from-file=CUESHEET='" + cue.string() + "' '" + (folder / "album.flac").string() + "'"),
      "");
  fs::remove(cue);
  return folder / "album.flac";
}

class RipImageTest : public testing::TestWithParam<Rip> {
 protected:
  TempDir dir;
  test::DiskAudioOutput audio{dir / "played.raw"};
  const fs::path& output = audio.File();
};

TEST_P(RipImageTest, IsTheDiscItWasRippedFrom) {
  const Demo& demo = DemoDisc();
  const fs::path image = GetParam().write(dir.Path());
  CueImage rip(image);
  EXPECT_EQ(rip.Toc(), demo.toc);
  EXPECT_EQ(MediaIdentityText(rip.Toc()), MediaIdentityText(demo.toc));
  EXPECT_EQ(CddbDiscIdText(rip.Toc()), CddbDiscIdText(demo.toc));
  EXPECT_EQ(MusicBrainzDiscId(rip.Toc()), MusicBrainzDiscId(demo.toc));

  // Every sector read in order, in odd-sized pieces that cross the files' ends.
  std::string read(demo.bin.size(), '\0');
  const auto sectors = static_cast<std::uint32_t>(demo.bin.size() / kSectorBytes);
  for (std::uint32_t at = 0; at < sectors; at += 7) {
    const std::uint32_t count = std::min(7u, sectors - at);
    rip.ReadAudio(at + kLeadInFrames, count,
                  reinterpret_cast<std::int16_t*>(read.data() + std::size_t{at} * kSectorBytes));
  }
  EXPECT_TRUE(read == demo.bin) << "the sectors read in order differ from the disc's";
  // And read anywhere: each seek lands on its sample.
  std::mt19937 random(26);
  std::vector<std::int16_t> piece(3 * kSamplesPerSector);
  for (int n = 0; n < 40; ++n) {
    const std::uint32_t at = random() % (sectors - 3);
    rip.ReadAudio(at + kLeadInFrames, 3, piece.data());
    ASSERT_EQ(std::memcmp(piece.data(), demo.bin.data() + std::size_t{at} * kSectorBytes, 3 * kSectorBytes), 0)
        << "sector " << at;
  }
}

// Played from the first track to the end of the disc, the rip sounds as the disc does, its last
// sector included.
TEST_P(RipImageTest, PlaysTheWholeDiscToItsLastSample) {
  const Demo& demo = DemoDisc();
  const fs::path image = GetParam().write(dir.Path());
  SdlAudioSink sink;
  CdioDrive drive(image.string(), sink);
  CDDA layer;
  layer.CDInit(drive);
  layer.CDPoll();
  ASSERT_EQ(layer.CDState, cdStopped) << drive.Problem();
  layer.CDPlay(1, static_cast<std::uint8_t>(demo.toc.TrackCount()));
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  do {
    std::this_thread::sleep_for(5ms);
    layer.CDPoll();
  } while (layer.CDState == cdPlaying && std::chrono::steady_clock::now() < deadline);
  ASSERT_EQ(layer.CDState, cdStopped);
  layer.CDClose();
  const std::string played = test::WithoutSilence(test::ReadFile(output));
  const std::string expected = test::WithoutSilence(demo.bin);
  ASSERT_EQ(played.size(), expected.size());
  EXPECT_TRUE(played == expected);
}

INSTANTIATE_TEST_SUITE_P(Rips, RipImageTest,
                         testing::Values(Rip{"OneFlacFile", OneFile}, Rip{"FlacPerTrackGapsAppended", GapsAppended},
                                         Rip{"FilePerTrackGapsKept", GapsKept},
                                         Rip{"FlacWithCueSheetBlock", EmbeddedBlock},
                                         Rip{"FlacWithCueSheetTag", EmbeddedTag}),
                         [](const testing::TestParamInfo<Rip>& rip) { return rip.param.name; });

TEST(RipImageExtrasTest, CueSheetTagCarriesTheTitles) {
  TempDir dir;
  CueImage rip(EmbeddedTag(dir.Path()));
  EXPECT_EQ(rip.Text().Disc.Title.Bytes, "QVR Demo Disc");
}

// What cannot be played is refused with a message that says why, and loses nothing.
TEST(RipImageExtrasTest, FlacFilesThatAreNoCdAudioAreRefused) {
  TempDir dir;
  const std::string second(4 * 48000, '\x11');
  EncodeFlac(dir / "48k.flac", second, "", 48000);
  test::WriteFile(dir / "48k.cue", "FILE \"48k.flac\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
  EncodeFlac(dir / "plain.flac", second);
  test::WriteFile(dir / "broken.flac", std::string("fLaC\0\0\0\x22", 8) + std::string(10, '\x7F'));
  test::WriteFile(dir / "broken.cue", "FILE \"broken.flac\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
  const struct {
    fs::path image;
    std::string message;
  } cases[] = {
      {dir / "48k.cue", "44.1kHz 16ビット ステレオの FLAC ファイルではありません: " + (dir / "48k.flac").string()},
      {dir / "plain.flac", "キューシートを含まない FLAC ファイルです"},
      {dir / "broken.cue", "FLAC ファイルとして読めません: " + (dir / "broken.flac").string()},
  };
  for (const auto& refused : cases) {
    try {
      CueImage image(refused.image);
      ADD_FAILURE() << refused.image << " was opened";
    } catch (const Error& error) {
      EXPECT_NE(std::string(error.what()).find(refused.message), std::string::npos) << error.what();
    }
  }
}

// A changer folder of rips offers the discs: the cue sheet and the FLAC file with its sheet
// inside, not the track files the sheet names.
TEST(RipImageExtrasTest, ChangerFolderOffersTheDiscsNotTheirTrackFiles) {
  TempDir dir;
  fs::create_directories(dir / "rips");
  EmbeddedBlock(dir / "rips");
  GapsAppended(dir / "rips");
  SdlAudioSink sink;
  std::chrono::steady_clock::time_point now{};
  CdioDrive drive((dir / "rips").string(), sink, [&] { return now; });
  drive.Open();
  std::vector<std::string> seen;
  for (int n = 0; n < 3; ++n) {
    ASSERT_NE(drive.StatusMode(), kModeNotReady) << drive.Problem();
    seen.push_back(drive.CurrentImage().filename().string());
    drive.OpenDoor();
    now += CdioDrive::kChangeTime + 1s;
  }
  drive.Close();
  EXPECT_EQ(seen, (std::vector<std::string>{"album.flac", "disc.cue", "album.flac"}));
}

// Cue sheets whose first track is numbered above 1 (the second disc of a set) are read; the
// disc's tracks are counted from 1, its MusicBrainz ID from the number the disc gives.
TEST(RipImageExtrasTest, FirstTrackNumberedAboveOne) {
  TempDir dir;
  test::GeneratedImage image = test::WriteImage(dir.Path(), {{3000}, {2000}});
  std::string cue = test::ReadFile(image.cue);
  cue.replace(cue.find("TRACK 01"), 8, "TRACK 04");
  cue.replace(cue.find("TRACK 02 AUDIO"), 14, "TRACK 05 AUDIO\n    FLAGS PRE DCP");
  test::WriteFile(image.cue, cue);
  CueImage rip(image.cue);
  EXPECT_EQ(rip.Toc().Tracks, (std::vector<TocTrack>{{150, true, false}, {3150, true, true}}));
  EXPECT_EQ(rip.Toc().FirstTrack, 4u);
  EXPECT_EQ(CddbDiscIdText(rip.Toc()), CddbDiscIdText(image.toc));
  EXPECT_NE(MusicBrainzDiscId(rip.Toc()), MusicBrainzDiscId(image.toc));
}

}  // namespace
}  // namespace qvr
