// CD-Text packs decoded in every character code, with the faults discs and writers have: a
// character code flag that contradicts the bytes, damaged packs, several language blocks; and
// the CD_TEXT blocks of cdrdao .toc files.
#include <gtest/gtest.h>

#include "cdda/CdText.h"
#include "support/CaseName.h"
#include "support/CdTextPacks.h"
#include "util/ShiftJis.h"

namespace qvr::test {
namespace {

std::string Sjis(std::string_view utf8) { return Utf8ToSjis(utf8).bytes; }

// A disc of two tracks with title, performer and songwriter in one block.
PackBlock TwoTracks(std::uint8_t charset, bool doubleByte, std::string disc, std::string one, std::string two) {
  PackBlock block;
  block.charset = charset;
  block.doubleByte = doubleByte;
  block.texts[0x80] = {disc, one, two};
  block.texts[0x81] = {"Performer", "Performer", "Guest"};
  return block;
}

struct CharsetCase {
  std::string name;
  PackBlock block;
  CdTextCharset charset;  // how the texts are read
  std::string title1;     // track 1's title bytes
};

class CdTextCharsets : public testing::TestWithParam<CharsetCase> {};

TEST_P(CdTextCharsets, TextsKeepTheirBytesAndSayHowToReadThem) {
  const CharsetCase& c = GetParam();
  const CdText text = DecodeCdTextPacks(MakeCdTextPacks({c.block}));
  ASSERT_EQ(text.Tracks.size(), 2u);
  EXPECT_EQ(text.Tracks[0].Title.Bytes, c.title1);
  EXPECT_EQ(text.Tracks[0].Title.Charset, c.charset);
  EXPECT_EQ(text.Disc.Performer.Bytes, "Performer");
  EXPECT_EQ(text.Tracks[1].Performer.Bytes, "Guest");
}

INSTANTIATE_TEST_SUITE_P(
    Codes, CdTextCharsets,
    testing::Values(CharsetCase{"Latin1", TwoTracks(0x00, false, "Disc", "Caf\xE9 Ol\xE9", "Two"),
                                CdTextCharset::Latin1, "Caf\xE9 Ol\xE9"},
                    CharsetCase{"Ascii", TwoTracks(0x01, false, "Disc", "Plain title", "Two"), CdTextCharset::Latin1,
                                "Plain title"},
                    CharsetCase{"MsJisWithCp932Characters",
                                TwoTracks(0x80, true, Sjis("ディスク"), Sjis("①㈱テスト～髙"), Sjis("二曲目")),
                                CdTextCharset::MsJis, Sjis("①㈱テスト～髙")},
                    CharsetCase{"MsJisMixedWidth", TwoTracks(0x80, true, Sjis("A面"), Sjis("Love ソング 2"), Sjis("B")),
                                CdTextCharset::MsJis, Sjis("Love ソング 2")},
                    // Writers that flag Shift-JIS texts as ISO 8859-1, and the reverse.
                    CharsetCase{"ShiftJisFlaggedLatin1",
                                TwoTracks(0x00, false, Sjis("ディスク"), Sjis("恋のうた①"), Sjis("二")),
                                CdTextCharset::MsJis, Sjis("恋のうた①")},
                    CharsetCase{"Latin1FlaggedMsJis", TwoTracks(0x80, true, "Disc", "Caf\xE9", "Two"),
                                CdTextCharset::Latin1, "Caf\xE9"},
                    CharsetCase{"Utf8FlaggedLatin1", TwoTracks(0x00, false, "Disc", "Café ①", "Two"),
                                CdTextCharset::Utf8, "Café ①"},
                    // Latin-1 bytes that happen to form Shift-JIS (é followed by l) stay Latin-1.
                    CharsetCase{"Latin1ThatLooksLikeShiftJis", TwoTracks(0x00, false, "Disc", "H\xE9llo", "Two"),
                                CdTextCharset::Latin1, "H\xE9llo"}),
    CaseName());

TEST(CdText, HeaderTrailingByteAndLongTextsAcrossPacks) {
  PackBlock block;
  block.texts[0x80] = {"A disc title long enough to run through three packs", "One", "Two"};
  block.texts[0x82] = {"", "Lyricist", ""};
  block.texts[0x83] = {"", "Composer", "Composer 2"};
  block.texts[0x84] = {"", "", "Arranger"};
  for (const std::string& packs : {MakeCdTextPacks({block}), MakeCdTextPacks({block}, true),
                                   MakeCdTextPacks({block}, true) + '\0', MakeCdTextPacks({block}) + '\0'}) {
    const CdText text = DecodeCdTextPacks(packs);
    EXPECT_EQ(text.Disc.Title.Bytes, "A disc title long enough to run through three packs");
    EXPECT_EQ(text.TrackOrEmpty(1).Songwriter.Bytes, "Lyricist");
    EXPECT_EQ(text.TrackOrEmpty(2).Composer.Bytes, "Composer 2");
    EXPECT_EQ(text.TrackOrEmpty(2).Arranger.Bytes, "Arranger");
    EXPECT_TRUE(text.TrackOrEmpty(2).Songwriter.Empty());
  }
}

TEST(CdText, DamagedPacksAreLeftOutAndTheirTextsNotShownCut) {
  PackBlock block;
  // Track 2's title runs from the second title pack into the third.
  block.texts[0x80] = {"Disc", "Track one", "Track two is long", "Three"};
  block.texts[0x81] = {"Artist", "", "", ""};
  std::string packs = MakeCdTextPacks({block});
  const CdText whole = DecodeCdTextPacks(packs);
  ASSERT_EQ(whole.TrackOrEmpty(2).Title.Bytes, "Track two is long");
  packs[2 * 18 + 8] ^= 0x20;  // a text byte of the third title pack: its CRC no longer fits
  const CdText text = DecodeCdTextPacks(packs);
  EXPECT_EQ(text.Disc.Title.Bytes, "Disc");
  EXPECT_EQ(text.TrackOrEmpty(1).Title.Bytes, "Track one");
  EXPECT_TRUE(text.TrackOrEmpty(2).Title.Empty());
  EXPECT_TRUE(text.TrackOrEmpty(3).Title.Empty());
  EXPECT_EQ(text.Disc.Performer.Bytes, "Artist");
  // Nothing but damaged packs: no text at all.
  for (std::size_t at = 16; at < packs.size(); at += 18) packs[at] ^= 0x55;
  EXPECT_TRUE(DecodeCdTextPacks(packs).Empty());
}

TEST(CdText, PacksWrittenWithoutCrcsAreTaken) {
  PackBlock block;
  block.texts[0x80] = {"Disc", "One"};
  std::string packs = MakeCdTextPacks({block});
  for (std::size_t at = 16; at < packs.size(); at += 18) packs[at] = packs[at + 1] = '\0';
  EXPECT_EQ(DecodeCdTextPacks(packs).TrackOrEmpty(1).Title.Bytes, "One");
}

TEST(CdText, JapaneseBlockComesFirstAndTabRepeatsThePreviousTrack) {
  PackBlock english;
  english.texts[0x80] = {"Disc", "Song", "Song 2"};
  english.texts[0x81] = {"Artist", "Artist", "\t"};
  PackBlock japanese = english;
  japanese.charset = 0x80;
  japanese.language = 0x69;
  japanese.doubleByte = true;
  japanese.texts[0x80] = {Sjis("ディスク"), Sjis("歌"), Sjis("歌２")};
  japanese.texts[0x81] = {Sjis("歌手"), Sjis("歌手"), "\t\t"};
  const CdText text = DecodeCdTextPacks(MakeCdTextPacks({english, japanese}));
  EXPECT_EQ(text.Disc.Title.Bytes, Sjis("ディスク"));
  EXPECT_EQ(text.TrackOrEmpty(2).Performer.Bytes, Sjis("歌手"));
  EXPECT_EQ(DecodeCdTextPacks(MakeCdTextPacks({english})).TrackOrEmpty(2).Performer.Bytes, "Artist");
}

TEST(CdText, GenreCodeAndText) {
  PackBlock block;
  block.texts[0x80] = {"Disc"};
  block.genre = 23;
  EXPECT_EQ(DecodeCdTextPacks(MakeCdTextPacks({block})).Disc.Genre.Bytes, "Rock Music");
  block.genreText = "J-Pop";
  EXPECT_EQ(DecodeCdTextPacks(MakeCdTextPacks({block})).Disc.Genre.Bytes, "J-Pop");
}

TEST(CdText, GuessesTheCodeOfTextFiles) {
  EXPECT_EQ(GuessTextCharset({"Plain", "ASCII"}), CdTextCharset::Latin1);
  EXPECT_EQ(GuessTextCharset({"Plain", "Café"}), CdTextCharset::Utf8);
  EXPECT_EQ(GuessTextCharset({Sjis("恋のうた"), "Plain"}), CdTextCharset::MsJis);
  EXPECT_EQ(GuessTextCharset({"Caf\xE9", "\x93quoted\x94"}), CdTextCharset::Windows1252);
}

TEST(CdText, TocFileCdTextBlocks) {
  const std::string toc =
      "CD_DA\n"
      "CD_TEXT {\n  LANGUAGE_MAP {\n    0 : EN\n    1 : JA\n  }\n"
      "  LANGUAGE 0 {\n    TITLE \"English \\\"quoted\\\" title\"\n    PERFORMER \"Band\"\n"
      "    GENRE { 0, 23, 0}\n  }\n"
      "  LANGUAGE 1 {\n    TITLE \"" +
      Sjis("日本語の題①") + "\"\n    PERFORMER \"" + Sjis("バンド") +
      "\"\n  }\n}\n"
      "// a comment with TRACK in it\n"
      "TRACK AUDIO\nCD_TEXT {\n  LANGUAGE 0 {\n    TITLE \"Caf\\351\"\n    COMPOSER \"Composer\"\n  }\n"
      "  LANGUAGE 1 {\n    TITLE \"" +
      Sjis("一曲目") +
      "\"\n  }\n}\nFILE \"disc.bin\" 0 00:10:00\n"
      "TRACK AUDIO\nFILE \"disc.bin\" 00:10:00 00:10:00\n";
  const CdText text = ReadTocCdText(toc);
  EXPECT_EQ(text.Disc.Title.Bytes, Sjis("日本語の題①"));
  EXPECT_EQ(text.Disc.Title.Charset, CdTextCharset::MsJis);
  EXPECT_EQ(text.TrackOrEmpty(1).Title.Bytes, Sjis("一曲目"));
  EXPECT_EQ(text.Tracks.size(), 1u);

  const std::string english =
      "CD_DA\nCD_TEXT {\n LANGUAGE_MAP { 0 : EN }\n LANGUAGE 0 {\n  TITLE \"Caf\\351 \\\"X\\\"\"\n"
      "  GENRE { 0, 23, 0}\n }\n}\nTRACK AUDIO\nCD_TEXT { LANGUAGE 0 { PERFORMER \"P\" } }\n";
  const CdText western = ReadTocCdText(english);
  EXPECT_EQ(western.Disc.Title.Bytes, "Caf\xE9 \"X\"");
  EXPECT_EQ(western.Disc.Title.Charset, CdTextCharset::Latin1);
  EXPECT_EQ(western.Disc.Genre.Bytes, "Rock Music");
  EXPECT_EQ(western.TrackOrEmpty(1).Performer.Bytes, "P");
}

}  // namespace
}  // namespace qvr::test
