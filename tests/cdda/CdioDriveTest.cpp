// The cdio driver on cue/bin (and cdrdao .toc) images the tests write: tables of contents and disc
// keys as the platform's device reports them, images as people have them, broken images, and
// the image changer.
#include "cdda/CdioDrive.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <random>

#include "audio/SdlAudioSink.h"
#include "cdda/CDDA.h"
#include "cdda/CdioSource.h"
#include "cdda/CueImage.h"
#include "support/CaseName.h"
#include "support/CdImage.h"
#include "support/NrgImage.h"
#include "support/TempDir.h"
#include "util/Error.h"
#include "util/Msf.h"

namespace qvr {
namespace {

using test::GeneratedImage;
using test::ImageOptions;
using test::ImageTrack;
using test::TempDir;

// Reads everything the layer reports about the disc in the drive.
struct Reported {
  std::string key;
  int tracks = 0;
  std::uint32_t discLength = 0;
  std::vector<std::uint32_t> starts, lengths;
};

Reported ReadDisc(CDDA& layer) {
  Reported disc{layer.CDMediaID().Str(), layer.CDTrackCount(), layer.CDDiscLength(), {}, {}};
  for (int n = 1; n <= disc.tracks; ++n) {
    disc.starts.push_back(layer.CDTrackStart(static_cast<std::uint8_t>(n)));
    disc.lengths.push_back(layer.CDTrackLength(static_cast<std::uint8_t>(n)));
  }
  return disc;
}

class CdioDriveTest : public testing::Test {
 protected:
  // Opens `drive` behind a layer and polls it once.
  CDDA& Open(const std::filesystem::path& drive) {
    cdio = std::make_unique<CdioDrive>(drive.string(), sink, [this] { return now; });
    layer.CDInit(*cdio);
    layer.CDPoll();
    return layer;
  }

  TempDir dir;
  SdlAudioSink sink;
  std::chrono::steady_clock::time_point now{};
  std::unique_ptr<CdioDrive> cdio;
  CDDA layer;
};

TEST_F(CdioDriveTest, FullLengthDiscsKeepTheirKnownKeys) {
  const std::uint8_t starts[][3] = {{0, 2, 33},   {4, 32, 65},  {8, 46, 55},  {13, 1, 13},  {18, 10, 3}, {23, 30, 70},
                                    {29, 39, 15}, {34, 24, 33}, {40, 12, 73}, {43, 22, 53}, {47, 7, 63}, {52, 9, 30}};
  std::vector<std::uint32_t> frames;
  for (const auto& start : starts) frames.push_back(MSFToFrames(PackMSF(start[0], start[1], start[2])));
  std::uint32_t leadOut = MSFToFrames(PackMSF(56, 10, 20));
  test::WriteSparseImage(dir / "twelve.cue", frames, leadOut);
  Open(dir / "twelve.cue");
  ASSERT_EQ(layer.CDState, cdStopped) << cdio->Problem();
  Reported disc = ReadDisc(layer);
  EXPECT_EQ(disc.key, "0137EBFA");
  EXPECT_EQ(disc.tracks, 12);
  EXPECT_EQ(disc.discLength, FramesToMSF(leadOut - frames[0] - 1));
  EXPECT_EQ(disc.starts[0], PackMSF(0, 2, 33));
  EXPECT_EQ(disc.starts[11], PackMSF(52, 9, 30));
  EXPECT_EQ(disc.lengths[0], FramesToMSF(frames[1] - frames[0]));
  EXPECT_EQ(disc.lengths[11], FramesToMSF(leadOut - frames[11] - 1));

  test::WriteSparseImage(dir / "one.cue", {150}, MSFToFrames(PackMSF(40, 0, 0)));
  Open(dir / "one.cue");
  EXPECT_EQ(layer.CDMediaID().Str(), "0002C08A");
  EXPECT_EQ(layer.CDDiscLength(), FramesToMSF(180000 - 150 - 1));
}

// Our cue reading agrees with libcdio's wherever libcdio reads the sheet correctly: a
// single BINARY file named like the sheet, with INDEX 00 pregaps, and the same disc as cdrdao's
// .toc format that libcdio reads itself.
TEST_F(CdioDriveTest, CueReadingAgreesWithLibcdio) {
  GeneratedImage image = test::WriteImage(dir.Path(), {{300}, {200, true, 75}, {150, true, 30}, {400}});
  CueImage ours(image.cue);
  EXPECT_EQ(ours.Toc(), image.toc);
  auto theirs = CdioSource::OpenImage(image.cue);
  std::lock_guard lock(theirs->Lock());
  EXPECT_EQ(theirs->ReadToc(), image.toc);

  std::string toc = "CD_DA\n";
  std::uint32_t at = 0;
  std::uint32_t sizes[] = {300, 275, 180, 400};
  for (std::uint32_t size : sizes) {
    toc += "TRACK AUDIO\nFILE \"disc.bin\" " + test::MsfText(at) + " " + test::MsfText(size) + "\n";
    at += size;
  }
  test::WriteFile(dir / "cdrdao.toc", toc);
  Open(dir / "cdrdao.toc");
  ASSERT_EQ(layer.CDState, cdStopped) << cdio->Problem();
  EXPECT_EQ(layer.CDTrackCount(), 4);
  EXPECT_EQ(layer.CDTrackStart(2), FramesToMSF(150 + 300));
  EXPECT_EQ(layer.CDTrackLength(4), FramesToMSF(399));
}

TEST_F(CdioDriveTest, MixedDataAndAudioCountsEveryTrack) {
  GeneratedImage image = test::WriteImage(dir.Path(), {{300, false}, {200}, {200}});
  Open(image.cue);
  ASSERT_EQ(layer.CDState, cdStopped) << cdio->Problem();
  Reported disc = ReadDisc(layer);
  EXPECT_EQ(disc.tracks, 3);
  EXPECT_EQ(disc.starts[1], FramesToMSF(450));
  EXPECT_EQ(disc.key, "00001032");  // 00:02:00 + 00:06:00 + 00:08:50, the data track included
}

TEST_F(CdioDriveTest, PregapsBelongToThePreviousTrack) {
  // INDEX 00 sectors stored in the file, and PREGAP silence that is not.
  GeneratedImage image = test::WriteImage(dir.Path(), {{300}, {200, true, 150}, {100, true, 0, 75}});
  Open(image.cue);
  ASSERT_EQ(layer.CDState, cdStopped) << cdio->Problem();
  EXPECT_EQ(layer.CDTrackStart(2), FramesToMSF(150 + 300 + 150));
  EXPECT_EQ(layer.CDTrackLength(1), FramesToMSF(450));
  EXPECT_EQ(layer.CDTrackStart(3), FramesToMSF(150 + 300 + 150 + 200 + 75));
  EXPECT_EQ(layer.CDTrackLength(3), FramesToMSF(99));
  EXPECT_EQ(cdio->StatusNumberOfTracks(), 3u);
}

TEST_F(CdioDriveTest, ImagesAsPeopleHaveThem) {
  struct Case {
    std::string name;
    ImageOptions options;
  };
  const Case cases[] = {
      {"FileLineNamesAnotherBin", test::Options("album.cue", "Track Data.bin")},
      {"RenamedBin", test::Options("album.cue", "album.bin", "original name.bin")},
      {"WindowsPath", test::Options("album.cue", "album.img", "C:\\Rips\\album.img")},
      {"OtherCase", test::Options("album.cue", "ALBUM.BIN", "album.bin")},
      {"SubFolder", test::Options("album.cue", "data/album.bin", "data/album.bin")},
      {"BigEndian", test::Options("album.cue", "album.bin", "", true)},
      {"CdText",
       test::Options("album.cue", "disc.bin", "", false, "TITLE \"デモ\"\nPERFORMER \"QVR\"\nCATALOG 0000000000000\n")},
  };
  for (const Case& c : cases) {
    TempDir folder;
    std::filesystem::create_directory(folder / "data");
    GeneratedImage image = test::WriteImage(folder.Path(), {{200}, {300}}, c.options);
    Open(image.cue);
    ASSERT_EQ(layer.CDState, cdStopped) << c.name << ": " << cdio->Problem();
    EXPECT_EQ(layer.CDTrackCount(), 2) << c.name;
    EXPECT_EQ(layer.CDTrackStart(2), FramesToMSF(350)) << c.name;
    layer.CDClose();
  }
}

// One WAVE file per track: each file's samples follow the previous file's, INDEX times count
// from the start of their own file.
TEST_F(CdioDriveTest, OneWaveFilePerTrack) {
  auto wave = [](std::uint32_t sectors, std::uint32_t firstSector) {
    std::string data;
    for (std::uint32_t s = 0; s < sectors; ++s) {
      for (std::uint32_t i = 0; i < kSamplesPerSector; ++i) {
        auto value = static_cast<std::uint16_t>(test::TestSample(firstSector + s, i));
        data += static_cast<char>(value & 0xFF);
        data += static_cast<char>(value >> 8);
      }
    }
    auto le32 = [](std::uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    std::string fmt = le32(16) + std::string("\x01\x00\x02\x00", 4) + le32(44100) + le32(44100 * 4) +
                      std::string("\x04\x00\x10\x00", 4);
    return "RIFF" + le32(static_cast<std::uint32_t>(36 + data.size())) + "WAVEfmt " + fmt + "data" +
           le32(static_cast<std::uint32_t>(data.size())) + data;
  };
  test::WriteFile(dir / "01.wav", wave(100, 0));
  test::WriteFile(dir / "02.wav", wave(80, 100));
  test::WriteFile(dir / "album.cue",
                  "FILE \"01.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                  "FILE \"02.wav\" WAVE\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n");
  CueImage image(dir / "album.cue");
  EXPECT_EQ(image.Toc(), (DiscToc{{{150, true}, {250, true}}, 330}));
  std::vector<std::int16_t> samples(4 * kSamplesPerSector);
  image.ReadAudio(248, 4, samples.data());  // across the two files
  for (std::uint32_t s = 0; s < 4; ++s) {
    EXPECT_EQ(samples[s * kSamplesPerSector + 7], test::TestSample(98 + s, 7)) << s;
  }
}

TEST_F(CdioDriveTest, BrokenImagesAreNotReadyWithAReason) {
  struct Case {
    std::string name;
    std::function<std::filesystem::path(const std::filesystem::path&)> make;
  };
  auto base = [](const std::filesystem::path& folder) { return test::WriteImage(folder, {{200}, {300}}); };
  // A sheet "x.cue" holding `text`; `sheet` puts it beside the good image's disc.bin.
  auto cue = [](const std::filesystem::path& folder, const std::string& text) {
    test::WriteFile(folder / "x.cue", text);
    return folder / "x.cue";
  };
  auto sheet = [&](const std::filesystem::path& folder, const std::string& text) {
    base(folder);
    return cue(folder, text);
  };
  const Case cases[] = {
      {"MissingBin",
       [&](const auto& folder) {
         auto image = base(folder);
         std::filesystem::remove(image.bin);
         return image.cue;
       }},
      {"BinShorterThanLastTrackStart",
       [&](const auto& folder) {
         auto image = base(folder);
         std::filesystem::resize_file(image.bin, 150 * 2352);
         return image.cue;
       }},
      {"EmptyCue", [&](const auto& folder) { return cue(folder, ""); }},
      {"RandomBytes",
       [&](const auto& folder) {
         std::mt19937 random(7);
         std::string junk(5000, '\0');
         for (char& c : junk) c = static_cast<char>(random());
         return cue(folder, junk);
       }},
      {"TextWithoutTracks", [&](const auto& folder) { return cue(folder, "hello\nFILE\nTRACK\n"); }},
      {"TrackWithoutIndex01",
       [&](const auto& folder) { return sheet(folder, "FILE disc.bin BINARY\nTRACK 01 AUDIO\nINDEX 00 00:00:00\n"); }},
      {"IndexGoingBack",
       [&](const auto& folder) {
         return sheet(folder,
                      "FILE disc.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:02:00\nTRACK 02 AUDIO\nINDEX 01 00:01:00\n");
       }},
      {"BadTime",
       [&](const auto& folder) { return sheet(folder, "FILE disc.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:99:00\n"); }},
      {"TrackNumbersSkip",
       [&](const auto& folder) {
         return sheet(folder,
                      "FILE disc.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 03 AUDIO\nINDEX 01 00:01:00\n");
       }},
      {"Mp3File",
       [&](const auto& folder) { return sheet(folder, "FILE disc.bin MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"); }},
      {"BadWave",
       [&](const auto& folder) {
         test::WriteFile(folder / "a.wav", "RIFF1234WAVEjunk");
         return cue(folder, "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
       }},
      {"JunkToc",
       [](const auto& folder) {
         test::WriteFile(folder / "x.toc", "junk junk");
         return folder / "x.toc";
       }},
      // libcdio's Nero reader trusts the chunk lengths: this one crashes it.
      {"NrgWithAHugeChunkLength",
       [](const auto& folder) {
         test::NrgImage image = test::MakeNrgImage({20, 30});
         image.bytes[image.cue_length_at] = '\xFD';
         test::WriteFile(folder / "x.nrg", image.bytes);
         return folder / "x.nrg";
       }},
      // Data files that are FIFOs would block the open for good.
      {"CueNamingAFifo",
       [&](const auto& folder) {
         mkfifo((folder / "fifo.bin").c_str(), 0600);
         return cue(folder, "FILE fifo.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
       }},
      {"TocNamingAFifo",
       [](const auto& folder) {
         mkfifo((folder / "fifo.bin").c_str(), 0600);
         test::WriteFile(folder / "x.toc", "CD_DA\nTRACK AUDIO\nFILE \"fifo.bin\" 0 00:10:00\n");
         return folder / "x.toc";
       }},
  };
  for (const Case& c : cases) {
    TempDir folder;
    Open(c.make(folder.Path()));
    EXPECT_EQ(layer.CDState, cdNotReady) << c.name;
    EXPECT_FALSE(cdio->Problem().empty()) << c.name;
    EXPECT_EQ(cdio->StatusMode(), kModeNotReady) << c.name;
    EXPECT_EQ(layer.CDMediaID().Str(), "00000000") << c.name;
    EXPECT_EQ(cdio->StatusNumberOfTracks(), 0u) << c.name;
    layer.CDPoll();  // opened again: still not ready, no crash
    EXPECT_EQ(layer.CDState, cdNotReady) << c.name;
  }
}

// The page faults of the child processes that have ended: each child adds some.
long ChildPageFaults() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_minflt;
}

// The layer opens a drive that is not ready again at every poll: a damaged image is read (in a
// child process) once, not each time, until it changes.
TEST_F(CdioDriveTest, ADamagedImageIsNotReadAgainUntilItChanges) {
  test::NrgImage broken = test::MakeNrgImage({20, 30});
  broken.bytes[broken.cue_length_at] = '\xFD';
  test::WriteFile(dir / "x.nrg", broken.bytes);
  Open(dir / "x.nrg");
  ASSERT_EQ(layer.CDState, cdNotReady);
  const std::string problem = cdio->Problem();
  const long faults = ChildPageFaults();
  ASSERT_GT(faults, 0) << "the first open read the image in a child";
  for (int poll = 0; poll < 3; ++poll) layer.CDPoll();
  EXPECT_EQ(ChildPageFaults(), faults) << "no child read the unchanged image again";
  EXPECT_EQ(layer.CDState, cdNotReady);
  EXPECT_EQ(cdio->Problem(), problem);

  test::WriteFile(dir / "x.nrg", test::MakeNrgImage({20, 30}).bytes);  // mended
  layer.CDPoll();
  EXPECT_EQ(layer.CDState, cdStopped) << cdio->Problem();
}

TEST_F(CdioDriveTest, NeroImagesRead) {
  test::WriteFile(dir / "disc.nrg", test::MakeNrgImage({300, 200}).bytes);
  Open(dir / "disc.nrg");
  ASSERT_EQ(layer.CDState, cdStopped) << cdio->Problem();
  EXPECT_EQ(layer.CDTrackCount(), 2);
  EXPECT_EQ(layer.CDTrackStart(2), FramesToMSF(150 + 300));
}

TEST_F(CdioDriveTest, BinCutInsideTheLastTrackShortensIt) {
  GeneratedImage image = test::WriteImage(dir.Path(), {{200}, {300}});
  std::filesystem::resize_file(image.bin, 350 * 2352 + 1000);
  Open(image.cue);
  ASSERT_EQ(layer.CDState, cdStopped) << cdio->Problem();
  EXPECT_EQ(layer.CDTrackLength(2), FramesToMSF(150 - 1));
}

TEST_F(CdioDriveTest, MissingSourceRefusesTheOpen) {
  for (std::string drive :
       {(dir / "nothing.cue").string(), (dir.Path() / "empty").string(), std::string("/dev/no-such-cd")}) {
    std::filesystem::create_directory(dir / "empty");
    CdioDrive device(drive, sink);
    EXPECT_THROW(device.Open(), Error) << drive;
    CDDA other(device);
    EXPECT_FALSE(other.CDOpen());
    EXPECT_EQ(other.CDState, cdNotReady);
  }
}

TEST_F(CdioDriveTest, ChangerOpensTheTrayForTwoSecondsThenLoadsTheNextImage) {
  test::WriteImage(dir.Path(), {{200}}, test::Options("a.cue", "a.bin"));
  test::WriteImage(dir.Path(), {{200}, {100}}, test::Options("b.cue", "b.bin"));
  test::WriteImage(dir.Path(), {{200}, {100}, {50}}, test::Options("c.cue", "c.bin"));
  test::WriteFile(dir / "notes.txt", "not an image");
  Open(dir.Path());
  ASSERT_EQ(layer.CDState, cdStopped) << cdio->Problem();
  EXPECT_EQ(layer.CDTrackCount(), 1);
  for (int expected : {2, 3, 1}) {
    layer.CDEject();
    layer.CDPoll();
    EXPECT_EQ(layer.CDState, cdOpen);
    now += std::chrono::milliseconds(1999);
    layer.CDPoll();
    EXPECT_EQ(layer.CDState, cdOpen);
    now += std::chrono::milliseconds(1);
    layer.CDPoll();
    EXPECT_EQ(layer.CDState, cdStopped);
    EXPECT_EQ(layer.CDTrackCount(), expected);
  }
}

TEST_F(CdioDriveTest, ChangerMovesOnFromABadImage) {
  test::WriteFile(dir / "a.cue", "not a cue sheet");
  test::WriteImage(dir.Path(), {{200}, {100}}, test::Options("b.cue", "b.bin"));
  Open(dir.Path());
  ASSERT_EQ(layer.CDState, cdNotReady);
  EXPECT_FALSE(cdio->Problem().empty());
  layer.CDEject();
  layer.CDPoll();
  EXPECT_EQ(layer.CDState, cdOpen);
  now += CdioDrive::kChangeTime;
  layer.CDPoll();
  ASSERT_EQ(layer.CDState, cdStopped) << cdio->Problem();
  EXPECT_EQ(cdio->CurrentImage(), dir / "b.cue");
  EXPECT_EQ(layer.CDTrackCount(), 2);
  EXPECT_TRUE(cdio->Problem().empty());
}

TEST_F(CdioDriveTest, ChangerWithOneImageLoadsItAgain) {
  GeneratedImage image = test::WriteImage(dir.Path(), {{200}, {100}});
  Open(image.cue);
  std::string key = layer.CDMediaID().Str();
  layer.CDEject();
  layer.CDPoll();
  EXPECT_EQ(layer.CDState, cdOpen);
  EXPECT_EQ(layer.CDTrackCount(), 0);
  now += CdioDrive::kChangeTime;
  layer.CDPoll();
  EXPECT_EQ(layer.CDState, cdStopped);
  EXPECT_EQ(layer.CDMediaID().Str(), key);
}

TEST_F(CdioDriveTest, DemoDiscHasFiveShortDifferentTracks) {
  Open(QVR_DEMO_CUE);
  ASSERT_EQ(layer.CDState, cdStopped) << cdio->Problem();
  ASSERT_EQ(layer.CDTrackCount(), 5);
  CueImage image(QVR_DEMO_CUE);
  std::vector<std::int16_t> samples(75 * kSamplesPerSector);
  for (std::uint8_t track = 1; track <= 5; ++track) {
    std::uint32_t seconds = MSFToFrames(layer.CDTrackLength(track)) / 75;
    EXPECT_GE(seconds, 10u) << int(track);
    EXPECT_LE(seconds, 20u) << int(track);
    // One second from the middle of the track is far from silent and does not clip.
    std::uint32_t middle = image.Toc().Tracks[track - 1].Start + MSFToFrames(layer.CDTrackLength(track)) / 2;
    image.ReadAudio(middle, 75, samples.data());
    int peak = 0;
    for (std::int16_t sample : samples) peak = std::max(peak, std::abs(int{sample}));
    EXPECT_GT(peak, 2000) << int(track);
    EXPECT_LT(peak, 32767) << int(track);
  }
}

// The default drive of a computer without any: not ready, awaiting one (announced by the device
// folder's watch, udev's where it runs), saying so.
TEST_F(CdioDriveTest, NoDriveOnTheComputerAwaitsOne) {
  if (!CdioSource::DefaultDevice().empty()) GTEST_SKIP() << "this computer has a CD drive";
  Open("");
  EXPECT_EQ(layer.CDState, cdNotReady);
  EXPECT_TRUE(layer.CDAwaitsDrive());
  EXPECT_EQ(layer.CDProblem(), "CDドライブを開けません: CDドライブがありません");
  EXPECT_TRUE(layer.CDAnnouncesDrives());
}

}  // namespace
}  // namespace qvr

namespace qvr {
namespace {

// Why a path cannot be played, as a second start hears it: each reason names what is wrong,
// and asking never touches the output that plays meanwhile.
TEST(DriveProblem, SaysWhyAPathCannotBePlayed) {
  TempDir dir;
  test::WriteImage(dir.Path(), {{200}}, test::Options("good.cue", "good.bin"));
  std::filesystem::copy_file(dir / "good.bin", dir / "lone.bin");
  ASSERT_EQ(mkfifo((dir / "fifo.cue").c_str(), 0600), 0);
  test::WriteFile(dir / "notes.lrc", "[00:00.00]一行目\n");
  struct {
    std::string path, expected;  // expected: a part of the reason
  } cases[] = {
      {(dir / "good.cue").string(), ""},
      {(dir / "missing.cue").string(), "CDイメージが見つかりません: " + (dir / "missing.cue").string()},
      {(dir / "fifo.cue").string(), (dir / "fifo.cue").string() + ": 通常のファイルではありません"},
      {(dir / "lone.bin").string(), "CUE シートがありません: " + (dir / "lone.cue").string() + " が見つかりません"},
      {(dir / "notes.lrc").string(), (dir / "notes.lrc").string()},
  };
  for (const auto& c : cases) {
    const std::string problem = DriveProblem(c.path);
    if (c.expected.empty()) {
      EXPECT_EQ(problem, "") << c.path;
    } else {
      EXPECT_NE(problem.find(c.expected), std::string::npos) << c.path << ": " << problem;
    }
  }
}

}  // namespace
}  // namespace qvr
