// The LRC reader: time tags, track lines, encodings, what is not a time, and files that cannot
// be read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "lyrics/LrcFile.h"
#include "lyrics/LrcWriter.h"
#include "support/CaseName.h"
#include "support/TempDir.h"
#include "util/ShiftJis.h"

namespace qvr::test {
namespace {

constexpr std::int32_t T(int track, int minute, int second, int frame) {
  return (track << 24) | (minute << 16) | (second << 8) | frame;
}

struct ParseCase {
  const char* name;
  std::string text;
  std::vector<TimedLyricsLine> expected;
};

class LrcParse : public testing::TestWithParam<ParseCase> {};

TEST_P(LrcParse, GivesTheTimedLines) { EXPECT_EQ(ParseLrc(GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Cases, LrcParse,
    testing::Values(
        ParseCase{"OneTagPerLine", "[00:01.00]one\n[01:02.50]two\n", {{T(1, 0, 1, 0), "one"}, {T(1, 1, 2, 37), "two"}}},
        ParseCase{"FractionsOfOneTwoAndThreeDigitsAndNone",
                  "[00:01.5]a\n[00:02.99]b\n[00:03.999]c\n[00:04]d\n",
                  {{T(1, 0, 1, 37), "a"}, {T(1, 0, 2, 74), "b"}, {T(1, 0, 3, 74), "c"}, {T(1, 0, 4, 0), "d"}}},
        ParseCase{"SeveralTagsRepeatTheTextAndAreSorted",
                  "[00:30.00][00:10.00]chorus\n[00:20.00]verse\n",
                  {{T(1, 0, 10, 0), "chorus"}, {T(1, 0, 20, 0), "verse"}, {T(1, 0, 30, 0), "chorus"}}},
        ParseCase{"TrackLinesStartTheLinesOfATrack",
                  "[00:05.00]first\n[track:3]\n[00:01.00]third\n[TRACK: 2]\n[00:09.00]second\n",
                  {{T(1, 0, 5, 0), "first"}, {T(2, 0, 9, 0), "second"}, {T(3, 0, 1, 0), "third"}}},
        ParseCase{"OtherTagsAndUntimedLinesAreLeftOut",
                  "[ar:Artist]\n[ti:Title]\nplain words\n[xx:10.00]no\n[00:61.00]no\n[track:0]\n[00:01.00]kept\n",
                  {{T(1, 0, 1, 0), "kept"}}},
        ParseCase{"CrLfBlanksAndEmptyLines",
                  "[00:01.00]  spaced  \r\n[00:02.00]\r\n",
                  {{T(1, 0, 1, 0), "spaced"}, {T(1, 0, 2, 0), ""}}},
        ParseCase{"Utf8WithByteOrderMark", "\xEF\xBB\xBF[00:01.00]歌", {{T(1, 0, 1, 0), "歌"}}},
        ParseCase{"ShiftJisWhenNotUtf8", "[00:01.00]\x89\xCC", {{T(1, 0, 1, 0), "歌"}}}, ParseCase{"Empty", "", {}}),
    CaseName());

TEST(LrcTimes, OrderByTimeWhereThePackedFormDoesNot) {
  // 0:01 frame 52 comes before 0:03 frame 7, and track 1 before track 2 at any time.
  const auto lines = ParseLrc("[00:03.10]later\n[00:01.70]earlier\n[track:2]\n[00:00.00]next track\n");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].text, "earlier");
  EXPECT_EQ(lines[1].text, "later");
  EXPECT_EQ(lines[2].text, "next track");
}

TEST(Utf8Check, RejectsMalformedSequences) {
  for (const char* good : {"", "abc", "歌詞", "\xF0\x9F\x8E\xB5"}) EXPECT_TRUE(IsValidUtf8(good)) << good;
  for (const char* bad : {"\x80", "\xC0\xAF", "\xE3\x81", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x89\xCC"}) {
    EXPECT_FALSE(IsValidUtf8(bad));
  }
}

TEST(LrcFileRead, ReadsAFileAndRefusesWhatItCannotRead) {
  TempDir dir;
  WriteFile(dir / "song.lrc", "[00:01.00]one\n");
  auto lines = ReadLrcFile(dir / "song.lrc");
  ASSERT_TRUE(lines.has_value());
  EXPECT_EQ(lines->size(), 1u);
  EXPECT_FALSE(ReadLrcFile(dir / "missing.lrc").has_value());
  EXPECT_FALSE(ReadLrcFile(dir.Path()).has_value());
  WriteFile(dir / "huge.lrc", std::string((4u << 20) + 1, 'x'));
  EXPECT_FALSE(ReadLrcFile(dir / "huge.lrc").has_value());
}

struct HostileCase {
  const char* name;
  std::string text;
};

// Shapes of a file that would make the text cost far more than the file: every time tag copies
// its line's text.
class LrcBounds : public testing::TestWithParam<HostileCase> {};

TEST_P(LrcBounds, KeepWhatOneFileCostsBounded) {
  const auto lines = ParseLrc(GetParam().text);
  std::size_t text_bytes = 0;
  for (const auto& line : lines) text_bytes += line.text.size();
  EXPECT_LE(lines.size(), kMaxLrcLines);
  EXPECT_LE(text_bytes, kMaxLrcTextBytes);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front().time, T(1, 0, 0, 0));
}

std::string Repeated(std::string_view piece, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += piece;
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LrcBounds,
    testing::Values(HostileCase{"ManyTagsOnALongLine", Repeated("[00:00]", 20000) + std::string(200000, 'x')},
                    HostileCase{"ManyShortLines", Repeated("[00:00]a\n", 300000)},
                    HostileCase{"ManyLongLines",
                                Repeated("[00:00][00:01][00:02]" + std::string(4000, 'y') + "\n", 600)}),
    CaseName());

TEST(LrcBounds, KeepsTheFileOrderUpToTheBound) {
  const auto lines = ParseLrc(Repeated("[00:01]a\n", kMaxLrcLines) + "[00:00]late\n");
  EXPECT_EQ(lines.size(), kMaxLrcLines);
  EXPECT_EQ(lines.front().text, "a");
}

TEST(LrcEncodings, AShiftJisFileWithUtf8LinesReadsBoth) {
  const std::string file = "[00:01.00]" + Utf8ToSjis("夜明け").bytes + "\r\n[00:02.00]Björk ♪\r\n";
  EXPECT_EQ(ParseLrc(file), (std::vector<TimedLyricsLine>{{T(1, 0, 1, 0), "夜明け"}, {T(1, 0, 2, 0), "Björk ♪"}}));
}

// The writer's texts come back from the reader as written: Shift-JIS where the text has a form,
// UTF-8 where not, and UTF-8 also where the Shift-JIS bytes would read as UTF-8 ("ﾃｨ" is C3 A8).
// Texts that begin with brackets stay texts, not further tags (a time, a track, an unknown tag).
TEST(LrcWriter, WhatItWritesReadsBackWithItsTracksAndTimes) {
  const std::vector<LrcTrack> tracks = {
      {1, {{12340, "夜が明ける"}, {15000, "Björk & Café"}, {16000, ""}, {17000, "[サビ] 空へ"}}},
      {3,
       {{62500, "ﾃｨ"},
        {70009, "①　♪"},
        {80000, "[01:00..50][01:00.1] b"},
        {85000, "[track:2][00:01.00]"},
        {90000, "tab\there"}}},
  };
  const std::string lrc = FormatDiscLrc(tracks);
  EXPECT_TRUE(lrc.starts_with("[track:1]\r\n[00:12.34]" + Utf8ToSjis("夜が明ける").bytes + "\r\n")) << lrc;
  EXPECT_NE(lrc.find("[01:02.50]ﾃｨ\r\n"), std::string::npos) << "kept UTF-8";
  EXPECT_EQ(ParseLrc(lrc), (std::vector<TimedLyricsLine>{{T(1, 0, 12, 25), "夜が明ける"},
                                                         {T(1, 0, 15, 0), "Björk & Café"},
                                                         {T(1, 0, 16, 0), ""},
                                                         {T(1, 0, 17, 0), "[サビ] 空へ"},
                                                         {T(3, 1, 2, 37), "ﾃｨ"},
                                                         {T(3, 1, 10, 0), "①　♪"},
                                                         {T(3, 1, 20, 0), "[01:00..50][01:00.1] b"},
                                                         {T(3, 1, 25, 0), "[track:2][00:01.00]"},
                                                         {T(3, 1, 30, 0), "tab here"}}));
}

// However many lines are given, the file is one the reader reads whole, with the first lines:
// by its size (long texts on every track) and by its count of lines (short ones).
TEST(LrcWriter, WritesWhatTheReaderReadsWhole) {
  std::vector<LrcTrack> long_texts;
  for (int track = 1; track <= 99; ++track) long_texts.push_back({track, {}});
  for (LrcTrack& track : long_texts) {
    for (int n = 0; n < 200; ++n) track.Lines.push_back({n * 1000, std::string(300, 'x')});
  }
  const std::string lrc = FormatDiscLrc(long_texts);
  EXPECT_LE(lrc.size(), kMaxLrcFileBytes);
  EXPECT_GT(lrc.size(), kMaxLrcFileBytes - 400);
  std::size_t timed = 0;  // every timed line follows a line break; times start "[0"
  for (std::size_t at = lrc.find("\n[0"); at != std::string::npos; at = lrc.find("\n[0", at + 1)) ++timed;
  EXPECT_GT(timed, 200u);
  TempDir dir;
  WriteFile(dir / "disc.lrc", lrc);
  const auto read = ReadLrcFile(dir / "disc.lrc");
  ASSERT_TRUE(read);
  EXPECT_EQ(read->size(), timed);

  const std::vector<LrcTrack> short_texts = {{1, std::vector<LyricsLine>(kMaxLrcLines + 5, {1000, "a"})}};
  EXPECT_EQ(ParseLrc(FormatDiscLrc(short_texts)).size(), kMaxLrcLines);
}

TEST(LrcFileRead, RefusesAFifoWithoutWaiting) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "song.lrc").c_str(), 0600), 0);
  alarm(10);  // a blocking open would hang here; the alarm ends the test instead
  EXPECT_FALSE(ReadLrcFile(dir / "song.lrc").has_value());
  alarm(0);
}

}  // namespace
}  // namespace qvr::test
