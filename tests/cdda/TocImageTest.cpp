// cdrdao .toc files as cdrdao's manual describes them: where tracks start and the disc ends, the
// same disc IDs as the same layout written as a cue sheet, disc IDs the disc-ID libraries
// publish, the sound of raw big-endian, swapped and WAVE data, and refusals that name their line.
#include "cdda/TocImage.h"

#include <gtest/gtest.h>

#include "cdda/CueImage.h"
#include "metadata/DiscIds.h"
#include "support/CaseName.h"
#include "support/CdImage.h"
#include "support/TempDir.h"
#include "util/Error.h"

namespace qvr {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// Files of a given size; sparse, so that a full-length disc costs no disk space.
void WriteSized(const fs::path& path, std::uint64_t bytes) {
  test::WriteFile(path, "");
  fs::resize_file(path, bytes);
}

struct TocCase {
  std::string name;
  std::vector<std::pair<std::string, std::uint64_t>> files;  // name, bytes
  std::string toc;
  std::string cue;  // the same disc as a cue sheet
  std::vector<TocTrack> tracks;
  std::uint32_t leadOut = 0;
};

class TocLayoutTest : public testing::TestWithParam<TocCase> {};

TEST_P(TocLayoutTest, TracksStartAndTheDiscEndsWhereCdrdaoWritesThem) {
  TempDir dir;
  for (const auto& [name, bytes] : GetParam().files) WriteSized(dir / name, bytes);
  test::WriteFile(dir / "disc.toc", GetParam().toc);
  test::WriteFile(dir / "disc.cue", GetParam().cue);
  TocImage toc(dir / "disc.toc");
  EXPECT_EQ(toc.Toc().Tracks, GetParam().tracks);
  EXPECT_EQ(toc.Toc().LeadOut, GetParam().leadOut);
  CueImage cue(dir / "disc.cue");
  EXPECT_EQ(cue.Toc(), toc.Toc());
  EXPECT_EQ(CddbDiscIdText(toc.Toc()), CddbDiscIdText(cue.Toc()));
  EXPECT_EQ(MusicBrainzDiscId(toc.Toc()), MusicBrainzDiscId(cue.Toc()));
}

constexpr std::uint64_t kAudio = 2352;
constexpr std::uint64_t kMode1 = 2048;

INSTANTIATE_TEST_SUITE_P(
    Layouts, TocLayoutTest,
    testing::Values(
        TocCase{"PregapOfSilence",
                {{"a.bin", 31500 * kAudio}},
                "CD_DA\nTRACK AUDIO\nFILE \"a.bin\" 0 04:00:00\nTRACK AUDIO\nPREGAP 00:02:00\n"
                "FILE \"a.bin\" 04:00:00 03:00:00\n",
                "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n TRACK 02 AUDIO\n  PREGAP 00:02:00\n"
                "  INDEX 01 04:00:00\n",
                {{150, true}, {18300, true}},
                31800},
        // The last track's START moves its INDEX 01, not the lead-out.
        TocCase{"StartInsideTheLastTrack",
                {{"a.bin", 31500 * kAudio}},
                "CD_DA\nTRACK AUDIO\nFILE \"a.bin\" 0 04:00:00\nTRACK AUDIO\nFILE \"a.bin\" 04:00:00 03:00:00\n"
                "START 00:01:08\n",
                "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n TRACK 02 AUDIO\n  INDEX 00 04:00:00\n"
                "  INDEX 01 04:01:08\n",
                {{150, true}, {18233, true}},
                31650},
        // A hidden first track: silence and audio before track 1's START, the tracks after it
        // where they follow.
        TocCase{"HiddenFirstTrack",
                {{"a.bin", 31500 * kAudio}},
                "CD_DA\nTRACK AUDIO\nSILENCE 00:00:30\nFILE \"a.bin\" 0 01:00:00\nSTART 01:00:30\n"
                "FILE \"a.bin\" 01:00:00 03:00:00\nTRACK AUDIO\nFILE \"a.bin\" 04:00:00 03:00:00\n",
                "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  PREGAP 00:00:30\n  INDEX 00 00:00:00\n  INDEX 01 01:00:00\n"
                " TRACK 02 AUDIO\n  INDEX 01 04:00:00\n",
                {{4680, true}, {18180, true}},
                31680},
        TocCase{
            "DataTrackLast",
            {{"a.bin", 31500 * kAudio}, {"d.iso", 5000 * kMode1}},
            "CD_ROM\nTRACK AUDIO\nNO COPY\nFILE \"a.bin\" 0 04:00:00\nTRACK AUDIO\nFILE \"a.bin\" 04:00:00 03:00:00\n"
            "TRACK MODE1\nDATAFILE \"d.iso\"\n",
            "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n TRACK 02 AUDIO\n  INDEX 01 04:00:00\n"
            "FILE \"d.iso\" BINARY\n TRACK 03 MODE1/2048\n  INDEX 01 00:00:00\n",
            {{150, true}, {18150, true}, {31650, false}},
            36650},
        TocCase{"DataTrackFirst",
                {{"a.bin", 31500 * kAudio}, {"d.iso", 5000 * kMode1}},
                "CD_ROM\nTRACK MODE1\nDATAFILE \"d.iso\" 01:06:50\nTRACK AUDIO\nZERO 00:02:00\nSTART\n"
                "FILE \"a.bin\" 0 07:00:00\n",
                "FILE \"d.iso\" BINARY\n TRACK 01 MODE1/2048\n  INDEX 01 00:00:00\nFILE \"a.bin\" BINARY\n"
                " TRACK 02 AUDIO\n  PREGAP 00:02:00\n  INDEX 01 00:00:00\n",
                {{150, false}, {5300, true}},
                36800},
        // A byte offset past a header, a start and length in samples, ZERO silence in a track.
        TocCase{"ZeroSamplesAndByteOffsets",
                {{"a.bin", 31501 * kAudio}, {"b.bin", 31500 * kAudio}},
                "CD_DA\nTRACK AUDIO\nFILE \"a.bin\" #2352 0 10584000\nZERO 00:01:00\nTRACK AUDIO\n"
                "AUDIOFILE \"a.bin\" #2352 10584000\n",
                "FILE \"b.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n  POSTGAP 00:01:00\n TRACK 02 AUDIO\n"
                "  INDEX 01 04:00:00\n",
                {{150, true}, {18225, true}},
                31725}),
    test::CaseName());

// A .toc naming one data file for a disc's whole table of contents, as cdrdao read-cd writes it.
std::string TocOfDisc(const std::vector<std::uint32_t>& starts, std::uint32_t leadOut) {
  std::string toc = "CD_DA\n";
  for (std::size_t n = 0; n < starts.size(); ++n) {
    const std::uint32_t end = n + 1 < starts.size() ? starts[n + 1] : leadOut;
    toc += "TRACK AUDIO\nFILE \"disc.bin\" " + test::MsfText(starts[n] - 150) + " " + test::MsfText(end - starts[n]) +
           "\n";
  }
  return toc;
}

TEST(TocImageTest, PublishedDiscIds) {
  const struct {
    std::vector<std::uint32_t> starts;
    std::uint32_t leadOut;
    std::string musicBrainz, cddb;
  } discs[] = {
      // libdiscid's documented example table of contents.
      {{150, 44942, 61305, 72755, 96360, 130485, 147315, 164275, 190702, 205412, 220437},
       242457,
       "lSOVc5h6IXSuzcamJS1Gp4_tRuA-",
       ""},
      // libcddb's test disc: 3826 seconds long.
      {{150, 28615, 51027, 75835, 102620, 121460, 148977, 175697, 204322, 231082, 268002}, 3826 * 75, "", "920ef00b"},
  };
  for (const auto& disc : discs) {
    TempDir dir;
    WriteSized(dir / "disc.bin", std::uint64_t{disc.leadOut - 150} * kAudio);
    test::WriteFile(dir / "disc.toc", TocOfDisc(disc.starts, disc.leadOut));
    TocImage toc(dir / "disc.toc");
    ASSERT_EQ(toc.Toc().Tracks.size(), disc.starts.size());
    for (std::size_t n = 0; n < disc.starts.size(); ++n) EXPECT_EQ(toc.Toc().Tracks[n].Start, disc.starts[n]);
    EXPECT_EQ(toc.Toc().LeadOut, disc.leadOut);
    if (!disc.musicBrainz.empty()) {
      EXPECT_EQ(MusicBrainzDiscId(toc.Toc()), disc.musicBrainz);
    }
    if (!disc.cddb.empty()) {
      EXPECT_EQ(CddbDiscIdText(toc.Toc()), disc.cddb);
    }
  }
}

// Raw audio files are big-endian unless SWAP says otherwise; WAVE files carry their own order.
// Every sector reads as the generated disc has it, PRE_EMPHASIS is the track's.
TEST(TocImageTest, AudioReadsAsTheDiscInEveryByteOrder) {
  TempDir dir;
  test::GeneratedImage image = test::WriteImage(dir.Path(), {{300}, {200, true, 75}, {150}});
  std::string swapped = test::ReadFile(image.bin);
  for (std::size_t n = 0; n + 1 < swapped.size(); n += 2) std::swap(swapped[n], swapped[n + 1]);
  test::WriteFile(dir / "disc.be", swapped);
  const std::string little = test::ReadFile(image.bin);
  auto le32 = [](std::uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  auto le16 = [](std::uint16_t v) { return std::string{char(v), char(v >> 8)}; };
  const auto size = static_cast<std::uint32_t>(little.size());
  test::WriteFile(dir / "disc.wav", "RIFF" + le32(36 + size) + "WAVEfmt " + le32(16) + le16(1) + le16(2) + le32(44100) +
                                        le32(44100 * 4) + le16(4) + le16(16) + "data" + le32(size) + little);
  test::WriteFile(dir / "disc.toc",
                  "CD_DA\nCD_TEXT { LANGUAGE_MAP { 0 : EN } LANGUAGE 0 { TITLE \"Disc\" } }\n"
                  "TRACK AUDIO\nFILE \"disc.be\" 0 00:04:00\n"
                  "TRACK AUDIO\nPRE_EMPHASIS\nAUDIOFILE \"disc.bin\" SWAP 00:04:00 00:03:50\nSTART 00:01:00\n"
                  "TRACK AUDIO\nFILE \"disc.wav\" 00:07:50\n");
  TocImage toc(dir / "disc.toc");
  DiscToc expected = image.toc;
  expected.Tracks[1].PreEmphasis = true;
  EXPECT_EQ(toc.Toc(), expected);
  EXPECT_EQ(toc.Text().Disc.Title.Bytes, "Disc");
  std::string read(image.sectors.size(), '\0');
  toc.ReadAudio(150, static_cast<std::uint32_t>(read.size() / kSectorBytes),
                reinterpret_cast<std::int16_t*>(read.data()));
  EXPECT_TRUE(read == image.sectors);
}

TEST(TocImageTest, RefusalsNameTheirLineAndReason) {
  TempDir dir;
  WriteSized(dir / "a.bin", 75 * kAudio);
  const struct {
    std::string toc, line, reason;
  } cases[] = {
      {"CD_DA\nTRACK AUDIO\nFILE \"missing.bin\" 0\n", "3 行目", "見つかりません"},
      {"CD_DA\nTRACK AUDIO\nFILE \"a.bin\" 0 00:01:00\nSTART 00:02:00\n", "2 行目",
       "INDEX 01 より後のデータがありません"},
      {"CD_DA\nTRACK AUDIO\nFIFO \"x\" 00:01:00\n", "3 行目", "FIFO"},
      {"CD_DA\nTRACK AUDIO\nFILE \"a.bin\" 0 99:00:00\n", "3 行目", "短いです"},
      {"CD_DA\nTRACK AUDIOX\n", "2 行目", "形式「AUDIOX」"},
      {"CD_DA\n\nTRACK AUDIO\nFILE \"a.bin\" 0 00:61:00\n", "4 行目", "時間「00:61:00」"},
      {"CD_DA\nFOO\n", "2 行目", "「FOO」は TOC ファイルの命令ではありません"},
      {"CD_DA\nFILE \"a.bin\" 0\n", "2 行目", "TRACK より前"},
      {"CD_DA // nothing", "1 行目", "トラックがありません"},
  };
  for (const auto& refused : cases) {
    test::WriteFile(dir / "disc.toc", refused.toc);
    try {
      TocImage toc(dir / "disc.toc");
      ADD_FAILURE() << refused.toc << " was read";
    } catch (const Error& error) {
      const std::string message = error.what();
      EXPECT_NE(message.find(refused.line), std::string::npos) << message;
      EXPECT_NE(message.find(refused.reason), std::string::npos) << message;
    }
  }
}

}  // namespace
}  // namespace qvr
