// The INI profile layer: how values are found and read, how writes change the text, and that
// no file, however broken, crashes it or loses what it does not understand.
#include "ini/ProfileFile.h"

#include <gtest/gtest.h>

#include "support/CaseName.h"

#include <random>

#include "support/TempDir.h"

namespace qvr {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

struct ReadCase {
  const char* name;
  std::string text;
  std::optional<std::string> value;  // of Other/Key
};

class ProfileRead : public testing::TestWithParam<ReadCase> {};

TEST_P(ProfileRead, FindsValue) { EXPECT_EQ(FindProfileValue(GetParam().text, "Other", "Key"), GetParam().value); }

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileRead,
    testing::Values(ReadCase{"Plain", "[Other]\r\nKey=v\r\n", "v"}, ReadCase{"LfOnly", "[Other]\nKey=v\n", "v"},
                    ReadCase{"NoFinalNewline", "[Other]\nKey=v", "v"},
                    ReadCase{"NamesIgnoreCase", "[oTHER]\nkEY=v\n", "v"},
                    ReadCase{"BlanksAroundNamesAndValue", " [ Other ] \n  Key \t=  a b \t\n", "a b"},
                    ReadCase{"EmptyValue", "[Other]\nKey=\n", ""},
                    ReadCase{"DoubleQuotesRemoved", "[Other]\nKey=\" a \"\n", " a "},
                    ReadCase{"SingleQuotesRemoved", "[Other]\nKey=' a '\n", " a "},
                    ReadCase{"OnlyOnePairRemoved", "[Other]\nKey=\"\"a\"\"\n", "\"a\""},
                    ReadCase{"UnmatchedQuotesStay", "[Other]\nKey=\"a'\n", "\"a'"},
                    ReadCase{"ValueKeepsEqualsSigns", "[Other]\nKey=a=b\n", "a=b"},
                    ReadCase{"FirstKeyWins", "[Other]\nKey=1\nKey=2\n", "1"},
                    ReadCase{"FirstSectionWins", "[Other]\nA=1\n[Other]\nKey=2\n", std::nullopt},
                    ReadCase{"KeyInOtherSection", "[Lyrics]\nKey=1\n[Other]\n", std::nullopt},
                    ReadCase{"CommentIsNotAKey", "[Other]\n;Key=1\n", std::nullopt},
                    ReadCase{"MissingSection", "Key=1\n", std::nullopt},
                    ReadCase{"ShiftJisValue", "[Other]\nKey=\x82\xA0\n", "\x82\xA0"},
                    ReadCase{"NulInsideValue", std::string("[Other]\nKey=a\0b\n", 16), std::string("a\0b", 3)},
                    ReadCase{"JunkBeforeSection", "\xFF\xFE garbage\n[Other]\nKey=v\n", "v"}),
    test::CaseName());

TEST(ProfileRead, LongValueIsCutAtACharacterBoundary) {
  std::string value = "aa" + std::string(1200, '\x82');  // "aa", then two-byte characters 0x8282
  auto read = FindProfileValue("[S]\nK=" + value + "\n", "S", "K");
  ASSERT_TRUE(read);
  EXPECT_EQ(read->size(), 1022u);  // byte 1023 would be half a character
  auto ascii = FindProfileValue("[S]\nK=" + std::string(1 << 20, 'x'), "S", "K");
  EXPECT_EQ(ascii->size(), kProfileValueLimit);
}

struct WriteCase {
  const char* name;
  std::string before;
  std::string after;  // after setting Other/Key to "v"
};

class ProfileWrite : public testing::TestWithParam<WriteCase> {};

TEST_P(ProfileWrite, ChangesOnlyTheEntry) {
  EXPECT_EQ(SetProfileValue(GetParam().before, "Other", "Key", "v"), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileWrite,
    testing::Values(WriteCase{"EmptyFile", "", "[Other]\r\nKey=v\r\n"},
                    WriteCase{"ReplacesInPlace", "[Other]\nA=1\nkey = old\nB=2\n",
                              "[Other]\r\nA=1\r\nKey=v\r\nB=2\r\n"},
                    WriteCase{"AppendsAfterLastEntryBeforeBlankLines", "[Other]\nA=1\n\n[Lyrics]\nX=1\n",
                              "[Other]\r\nA=1\r\nKey=v\r\n\r\n[Lyrics]\r\nX=1\r\n"},
                    WriteCase{"AppendsSection", "[Lyrics]\r\nX=1\r\n", "[Lyrics]\r\nX=1\r\n[Other]\r\nKey=v\r\n"},
                    WriteCase{"KeepsJunkAndComments", "junk\n; note\n[Other]\n???\n",
                              "junk\r\n; note\r\n[Other]\r\n???\r\nKey=v\r\n"},
                    WriteCase{"FirstOfDuplicateSections", "[Other]\nA=1\n[Other]\nKey=2\n",
                              "[Other]\r\nA=1\r\nKey=v\r\n[Other]\r\nKey=2\r\n"}),
    test::CaseName());

TEST(ProfileFile, ReadsDefaultsWhenFileMissingAndCreatesItOnWrite) {
  TempDir dir;
  ProfileFile file(dir / "Qvr.ini");
  EXPECT_EQ(file.ReadString("Other", "Key", "def"), "def");
  ASSERT_TRUE(file.WriteString("Other", "Key", "\x82\xA0 x"));
  EXPECT_EQ(file.ReadString("Other", "Key", "def"), "\x82\xA0 x");
  EXPECT_EQ(ReadFile(dir / "Qvr.ini"), "[Other]\r\nKey=\x82\xA0 x\r\n");
}

TEST(ProfileFile, RefusesEntriesThatWouldBreakTheFile) {
  TempDir dir;
  ProfileFile file(dir / "Qvr.ini");
  EXPECT_FALSE(file.WriteString("Other", "Key", "two\r\nlines"));
  EXPECT_FALSE(file.WriteString("Oth]er", "Key", "v"));
  EXPECT_FALSE(file.WriteString("Other", "K=ey", "v"));
  EXPECT_FALSE(file.WriteString("Other", "[Key", "v"));
  EXPECT_FALSE(std::filesystem::exists(dir / "Qvr.ini"));
}

TEST(ProfileFile, FailedWriteLeavesTheFileAsItWas) {
  TempDir dir;
  chmod(dir.Path().c_str(), 0755);
  std::filesystem::create_directory(dir / "ro");
  WriteFile(dir / "ro" / "Qvr.ini", "[Other]\nKey=old\n");
  chmod((dir / "ro").c_str(), 0555);
  ProfileFile file(dir / "ro" / "Qvr.ini");
  EXPECT_EQ(test::RunUnprivileged([&] { return file.WriteString("Other", "Key", "new") ? 1 : 0; }), 0);
  EXPECT_EQ(ReadFile(dir / "ro" / "Qvr.ini"), "[Other]\nKey=old\n");
}

TEST(ProfileFile, SurvivesHostileFiles) {
  TempDir dir;
  std::mt19937 random(7);
  std::string junk(1 << 16, '\0');
  for (char& c : junk) c = static_cast<char>(random());
  const std::string cases[] = {
      junk,
      "[Other]\nKey=" + std::string(1 << 19, '=') + "\n",  // a line of 512 KB
      std::string("[Other\0]\nKey\0=\0\n", 16),
      "[Other]\nKey=\x82",  // truncated double-byte character
      "[[[[]]]]\n=\n==\n[\n]\n",
  };
  for (const std::string& text : cases) {
    WriteFile(dir / "bad.ini", text);
    ProfileFile file(dir / "bad.ini");
    file.ReadString("Other", "Key", "d");
    ASSERT_TRUE(file.WriteString("Other", "Key", "v"));
    EXPECT_EQ(file.ReadString("Other", "Key", "d"), "v");
  }
}

// No settings file comes near 100 MB: such a file is refused like an unreadable one, before it
// is read, and never rewritten (each write would cost its whole size).
TEST(ProfileFile, RefusesAHundredMegabyteFile) {
  TempDir dir;
  std::string text = "[Other]\r\nKey=start\r\n[Lyrics]\r\n";
  std::string line = "Filler=" + std::string(90, 'x') + "\r\n";
  while (text.size() < (100u << 20)) text += line;
  WriteFile(dir / "big.ini", text);
  ProfileFile file(dir / "big.ini");
  EXPECT_EQ(file.ReadString("Other", "Key", "d"), "d");
  EXPECT_FALSE(file.WriteString("Other", "Key", "v"));
  EXPECT_EQ(std::filesystem::file_size(dir / "big.ini"), text.size());
}

}  // namespace
}  // namespace qvr
