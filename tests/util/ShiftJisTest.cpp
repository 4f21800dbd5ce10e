// Code page 932 conversion: the mappings that differ from plain Shift-JIS, recovery from
// invalid bytes, unmappable characters, and cutting at character boundaries.
#include "util/ShiftJis.h"

#include <gtest/gtest.h>

#include "support/CaseName.h"

namespace qvr {
namespace {

struct DecodeCase {
  const char* name;
  std::string sjis;
  std::string utf8;
};

class SjisDecode : public testing::TestWithParam<DecodeCase> {};

TEST_P(SjisDecode, GivesExpectedUtf8) { EXPECT_EQ(SjisToUtf8(GetParam().sjis), GetParam().utf8); }

INSTANTIATE_TEST_SUITE_P(Cases, SjisDecode,
                         testing::Values(DecodeCase{"Ascii", "abc 123", "abc 123"},
                                         DecodeCase{"BackslashStaysBackslash", "C:\\DB\\", "C:\\DB\\"},
                                         DecodeCase{"WaveDashIsFullwidthTilde", "\x81\x60", "\xEF\xBD\x9E"},
                                         DecodeCase{"Hiragana", "\x82\xA0\x82\xA2", "あい"},
                                         DecodeCase{"HalfwidthCornerBrackets", "\xA2\xA3", "｢｣"},
                                         DecodeCase{"FullwidthBlank", "\x81\x40", "\xE3\x80\x80"},
                                         DecodeCase{"NecSpecialCharacter", "\x87\x40", "①"},
                                         DecodeCase{"LoneTrailByteKeepsFollowingText", "a\xFDz", "a\xEF\xBF\xBDz"},
                                         DecodeCase{"LeadByteBeforeAsciiKeepsTheAscii",
                                                    "\x82"
                                                    "A",
                                                    "\xEF\xBF\xBD"
                                                    "A"},
                                         DecodeCase{"TruncatedDoubleByteAtEnd", "ab\x82", "ab\xEF\xBF\xBD"},
                                         DecodeCase{"NulBytesPass", std::string("a\0b", 3), std::string("a\0b", 3)},
                                         DecodeCase{"Empty", "", ""}),
                         test::CaseName());

TEST(SjisEncode, RoundTripsJapaneseText) {
  const std::string text = "ＭＳ Ｐゴシック ～ ①｢テスト｣\\";
  SjisEncoding encoded = Utf8ToSjis(text);
  EXPECT_TRUE(encoded.ok());
  EXPECT_EQ(encoded.bytes.substr(0, 4), "\x82\x6C\x82\x72");
  EXPECT_EQ(SjisToUtf8(encoded.bytes), text);
}

TEST(SjisEncode, FullwidthTildeBecomes8160) { EXPECT_EQ(Utf8ToSjis("～").bytes, "\x81\x60"); }

TEST(SjisEncode, ReportsCharactersWithoutCp932Form) {
  SjisEncoding encoded = Utf8ToSjis("a😀b한c");
  EXPECT_FALSE(encoded.ok());
  EXPECT_EQ(encoded.bytes, "a?b?c");
  ASSERT_EQ(encoded.unmappable.size(), 2u);
  EXPECT_EQ(encoded.unmappable[0], "😀");
  EXPECT_EQ(encoded.unmappable[1], "한");
}

TEST(SjisEncode, ReportsInvalidUtf8BytesOneByOne) {
  SjisEncoding encoded = Utf8ToSjis("x\xC3(\xFFy\xE3\x81");
  EXPECT_EQ(encoded.bytes, "x?(?y??");  // the cut-off sequence at the end counts byte by byte
  EXPECT_EQ(encoded.unmappable.size(), 4u);
}

TEST(SjisBytes, PrefixNeverSplitsADoubleByteCharacter) {
  const std::string text = "a\x82\xA0\x82\xA2";  // a, あ, い
  EXPECT_EQ(SjisPrefix(text, 1), "a");
  EXPECT_EQ(SjisPrefix(text, 2), "a");
  EXPECT_EQ(SjisPrefix(text, 3), "a\x82\xA0");
  EXPECT_EQ(SjisPrefix(text, 4), "a\x82\xA0");
  EXPECT_EQ(SjisPrefix(text, 9), text);
}

TEST(SjisBytes, TrailPositionsAndCaseFolding) {
  const std::string text =
      "\x83\x41"
      "A";  // ア then A: the trail byte of ア is 'A' too
  EXPECT_FALSE(IsSjisTrailAt(text, 0));
  EXPECT_TRUE(IsSjisTrailAt(text, 1));
  EXPECT_FALSE(IsSjisTrailAt(text, 2));
  EXPECT_TRUE(SjisEqualsIgnoreAsciiCase("Lyrics", "LYRICS"));
  EXPECT_TRUE(SjisEqualsIgnoreAsciiCase(text,
                                        "\x83\x41"
                                        "a"));
  EXPECT_FALSE(SjisEqualsIgnoreAsciiCase("\x83\x41", "\x83\x61"));  // ア is not ャ
}

}  // namespace
}  // namespace qvr
