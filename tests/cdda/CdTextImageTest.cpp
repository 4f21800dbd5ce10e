// CD-Text of images through the cdio driver and the layer: cue sheet lines in each code people
// write them in, a CDTEXTFILE of packs, a Nero image's CDTX chunk, and the CD_TEXT blocks of a
// cdrdao .toc file.
#include <gtest/gtest.h>

#include <functional>

#include "audio/SdlAudioSink.h"
#include "cdda/CDDA.h"
#include "cdda/CdioDrive.h"
#include "support/CaseName.h"
#include "support/CdImage.h"
#include "support/CdTextPacks.h"
#include "support/NrgImage.h"
#include "support/TempDir.h"
#include "util/ShiftJis.h"

namespace qvr::test {
namespace {

std::string Sjis(std::string_view utf8) { return Utf8ToSjis(utf8).bytes; }

// A cue sheet over the two-track bin `WriteImage` wrote: `discLines` before the first track,
// `trackLines[n]` inside track n + 1.
std::filesystem::path WriteCue(const std::filesystem::path& folder, const std::string& discLines,
                               const std::vector<std::string>& trackLines, const std::string& prefix = "") {
  WriteImage(folder, {{150}, {150}});
  std::string cue = prefix + discLines + "FILE \"disc.bin\" BINARY\n";
  for (std::size_t n = 0; n < 2; ++n) {
    cue += "  TRACK 0" + std::to_string(n + 1) + " AUDIO\r\n";
    if (n < trackLines.size()) cue += trackLines[n];
    cue += "    INDEX 01 " + MsfText(static_cast<std::uint32_t>(n * 150)) + "\r\n";
  }
  WriteFile(folder / "disc.cue", cue);
  return folder / "disc.cue";
}

struct ImageCase {
  std::string name;
  std::function<std::filesystem::path(const std::filesystem::path&)> make;
  CdTextString discTitle, performer, title1, title2, songwriter1, genre2;
};

class CdTextImages : public testing::TestWithParam<ImageCase> {};

TEST_P(CdTextImages, TheLayerOffersTheImagesCdText) {
  const ImageCase& c = GetParam();
  TempDir dir;
  SdlAudioSink sink;
  CdioDrive drive(c.make(dir.Path()).string(), sink);
  CDDA layer(drive);
  EXPECT_TRUE(layer.CDText().Empty());  // not open yet
  layer.CDPoll();
  ASSERT_EQ(layer.CDState, cdStopped) << drive.Problem();
  const CdText text = layer.CDText();
  EXPECT_EQ(text.Disc.Title, c.discTitle);
  EXPECT_EQ(text.Disc.Performer, c.performer);
  EXPECT_EQ(text.TrackOrEmpty(1).Title, c.title1);
  EXPECT_EQ(text.TrackOrEmpty(2).Title, c.title2);
  EXPECT_EQ(text.TrackOrEmpty(1).Songwriter, c.songwriter1);
  EXPECT_EQ(text.TrackOrEmpty(2).Genre.Empty() ? text.Disc.Genre : text.TrackOrEmpty(2).Genre, c.genre2);
  // Taken out, the image has no CD-Text any more.
  drive.OpenDoor();
  EXPECT_TRUE(layer.CDText().Empty());
}

constexpr auto kUtf8 = CdTextCharset::Utf8;
constexpr auto kLatin = CdTextCharset::Latin1;
constexpr auto kJis = CdTextCharset::MsJis;
constexpr auto kWestern = CdTextCharset::Windows1252;

const std::string kTrackLines = "    TITLE \"One\"\r\n    SONGWRITER \"Lyricist\"\r\n    COMPOSER \"Composer\"\r\n";

PackBlock JapanesePacks() {
  PackBlock block;
  block.charset = 0x80;
  block.doubleByte = true;
  block.language = 0x69;
  block.texts[0x80] = {Sjis("①㈱のアルバム"), Sjis("一曲目")};
  block.texts[0x81] = {Sjis("歌手"), ""};
  return block;
}

INSTANTIATE_TEST_SUITE_P(
    Sheets, CdTextImages,
    testing::Values(
        ImageCase{"CueUtf8",
                  [](const auto& folder) {
                    return WriteCue(folder, "REM GENRE J-Pop Rock\nPERFORMER \"Band & Co\"\nTITLE \"Café ①\"\n",
                                    {kTrackLines, "    TITLE Two words\r\n"});
                  },
                  {"Café ①", kUtf8},
                  {"Band & Co", kUtf8},
                  {"One", kUtf8},
                  {"Two words", kUtf8},
                  {"Lyricist", kUtf8},
                  {"J-Pop Rock", kUtf8}},
        ImageCase{"CueUtf8WithBom",
                  [](const auto& folder) {
                    return WriteCue(folder, "TITLE \"Plain\"\n", {kTrackLines, "    GENRE \"Track genre\"\n"},
                                    "\xEF\xBB\xBF");
                  },
                  {"Plain", kLatin},
                  {},
                  {"One", kLatin},
                  {},
                  {"Lyricist", kLatin},
                  {"Track genre", kLatin}},
        ImageCase{"CueShiftJis",
                  [](const auto& folder) {
                    return WriteCue(folder, "TITLE \"" + Sjis("①㈱の歌") + "\"\nPERFORMER \"" + Sjis("髙橋") + "\"\n",
                                    {kTrackLines});
                  },
                  {Sjis("①㈱の歌"), kJis},
                  {Sjis("髙橋"), kJis},
                  {"One", kJis},
                  {},
                  {"Lyricist", kJis},
                  {}},
        ImageCase{
            "CueWindows1252",
            [](const auto& folder) { return WriteCue(folder, "TITLE \"Caf\xE9 \x93Live\x94\"\n", {kTrackLines}); },
            {"Caf\xE9 \x93Live\x94", kWestern},
            {},
            {"One", kWestern},
            {},
            {"Lyricist", kWestern},
            {}},
        // The CDTEXTFILE's packs, with the sheet's lines filling what they lack.
        ImageCase{"CdTextFile",
                  [](const auto& folder) {
                    WriteFile(folder / "Disc.CDT", MakeCdTextPacks({JapanesePacks()}, true));
                    return WriteCue(folder, "CDTEXTFILE \"disc.cdt\"\nTITLE \"Line title\"\n",
                                    {"", "    TITLE \"From the line\"\r\n"});
                  },
                  {Sjis("①㈱のアルバム"), kJis},
                  {Sjis("歌手"), kJis},
                  {Sjis("一曲目"), kJis},
                  {"From the line", kLatin},
                  {},
                  {}},
        ImageCase{"CdTextFileMissing",
                  [](const auto& folder) { return WriteCue(folder, "CDTEXTFILE \"gone.cdt\"\nTITLE \"Still\"\n", {}); },
                  {"Still", kLatin},
                  {},
                  {},
                  {},
                  {},
                  {}},
        ImageCase{"NeroCdtxChunk",
                  [](const auto& folder) {
                    WriteFile(folder / "disc.nrg", MakeNrgImage({150, 150}, MakeCdTextPacks({JapanesePacks()})).bytes);
                    return folder / "disc.nrg";
                  },
                  {Sjis("①㈱のアルバム"), kJis},
                  {Sjis("歌手"), kJis},
                  {Sjis("一曲目"), kJis},
                  {},
                  {},
                  {}},
        ImageCase{"TocCdText",
                  [](const auto& folder) {
                    WriteImage(folder, {{150}, {150}});
                    WriteFile(folder / "disc.toc",
                              "CD_DA\nCD_TEXT {\n LANGUAGE_MAP { 0 : 9 }\n LANGUAGE 0 {\n  TITLE \"" + Sjis("題名①") +
                                  "\"\n  PERFORMER \"" + Sjis("歌手") +
                                  "\"\n }\n}\n"
                                  "TRACK AUDIO\nCD_TEXT { LANGUAGE 0 { TITLE \"" +
                                  Sjis("一") + "\" SONGWRITER \"" + Sjis("作詞家") +
                                  "\" } }\nFILE \"disc.bin\" 0 00:02:00\n"
                                  "TRACK AUDIO\nFILE \"disc.bin\" 00:02:00 00:02:00\n");
                    return folder / "disc.toc";
                  },
                  {Sjis("題名①"), kJis},
                  {Sjis("歌手"), kJis},
                  {Sjis("一"), kJis},
                  {},
                  {Sjis("作詞家"), kJis},
                  {}}),
    CaseName());

}  // namespace
}  // namespace qvr::test
