// Table-of-contents arithmetic: millisecond round trips, lengths, data-track ranges and the media
// identity vectors of discs whose keys existing databases hold.
#include "cdda/DiscToc.h"

#include <gtest/gtest.h>

#include "cdda/MediaIdentity.h"
#include "support/CaseName.h"
#include "util/Msf.h"

namespace qvr {
namespace {

// Every frame of a long disc survives the trip to milliseconds and back, and a range end made
// of a start and a length (both in milliseconds) lands on exactly start + length.
TEST(DiscTocTest, MillisecondsRoundTripEveryFrame) {
  for (std::uint32_t frame = 0; frame < 100 * 4500; ++frame) {
    ASSERT_EQ(MillisecondsToFrames(FramesToMilliseconds(frame)), frame) << frame;
  }
  for (std::uint32_t start : {150u, 151u, 152u, 16000u, 31001u, 299999u}) {
    for (std::uint32_t length = 1; length < 5000; ++length) {
      ASSERT_EQ(MillisecondsToFrames(FramesToMilliseconds(start) + FramesToMilliseconds(length)), start + length);
    }
  }
}

TEST(DiscTocTest, LengthsCountToTheNextTrackAndStopOneFrameBeforeTheLeadOut) {
  DiscToc toc{{{150, true}, {1000, true}, {5000, true}}, 9000};
  EXPECT_EQ(toc.TrackLength(1), 850u);
  EXPECT_EQ(toc.TrackLength(3), 3999u);
  EXPECT_EQ(toc.TrackLength(4), 0u);
  EXPECT_EQ(toc.DiscLength(), 8849u);
  EXPECT_EQ(toc.TrackPositionReply(TimeFormat::TMSF, 2), PackTMSF(2, 0, 0, 0));
  EXPECT_EQ(toc.PositionReply(TimeFormat::TMSF, 1000 + 75 * 31 + 3), PackTMSF(2, 0, 31, 3));
  EXPECT_EQ(toc.FrameOf(TimeFormat::TMSF, PackTMSF(2, 1, 1, 3)), 1000u + 75 * 61 + 3);
  EXPECT_EQ(toc.FrameOf(TimeFormat::MSF, FramesToMSF(4321)), 4321u);
}

struct RangeCase {
  std::string name;
  std::vector<TocTrack> tracks;
  std::uint32_t from, to;
  std::vector<FrameRange> expected;
};

class AudioRangesTest : public testing::TestWithParam<RangeCase> {};

TEST_P(AudioRangesTest, DataIsNeverPlayed) {
  DiscToc toc{GetParam().tracks, 4000};
  EXPECT_EQ(toc.AudioRanges(GetParam().from, GetParam().to), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, AudioRangesTest,
    testing::Values(
        RangeCase{"AllAudio", {{150, true}, {1000, true}, {2000, true}}, 1000, 3999, {{1000, 4000}}},
        RangeCase{"StartInDataMovesToNextAudio", {{150, false}, {1000, true}, {2000, true}}, 150, 2000, {{1000, 2000}}},
        RangeCase{"DataInTheMiddleIsSkipped",
                  {{150, true}, {1000, false}, {2000, true}},
                  150,
                  3999,
                  {{150, 1000}, {2000, 4000}}},
        RangeCase{
            "EndInDataKeepsTheAudioBefore", {{150, true}, {1000, true}, {2000, false}}, 1000, 3999, {{1000, 2000}}},
        RangeCase{"OnlyDataPlaysNothing", {{150, true}, {1000, false}}, 1000, 3999, {}},
        RangeCase{"EndPastTheDiscEndsAtTheLeadOut", {{150, true}}, 150, 9999, {{150, 4000}}},
        RangeCase{"EndAtTheDiscLengthReachesTheLeadOut", {{150, true}}, 150, 3999, {{150, 4000}}},
        RangeCase{"EndBeforeTheDiscLengthStaysWhereItIs", {{150, true}}, 150, 3998, {{150, 3998}}}),
    test::CaseName());

TEST(MediaIdentityTest, TwelveTrackDisc) {
  DiscToc toc;
  const std::uint8_t starts[][3] = {{0, 2, 33},   {4, 32, 65},  {8, 46, 55},  {13, 1, 13},  {18, 10, 3}, {23, 30, 70},
                                    {29, 39, 15}, {34, 24, 33}, {40, 12, 73}, {43, 22, 53}, {47, 7, 63}, {52, 9, 30}};
  for (const auto& start : starts) toc.Tracks.push_back({MSFToFrames(PackMSF(start[0], start[1], start[2])), true});
  toc.LeadOut = MSFToFrames(PackMSF(56, 0, 0));
  EXPECT_EQ(MediaIdentityValue(toc), 20442106u);
  EXPECT_EQ(MediaIdentityText(toc), "20442106");
}

TEST(MediaIdentityTest, ShortDiscsAddFramesAndLength) {
  DiscToc one{{{150, true}}, MSFToFrames(PackMSF(40, 0, 0))};
  EXPECT_EQ(MediaIdentityValue(one), 180362u);
  // Data tracks count, and with two tracks the first start's frames byte is added too.
  DiscToc two{{{160, false}, {1000, true}}, 2000};
  std::uint32_t expected = (0 << 16 | 2 << 8 | 10) + (0 << 16 | 13 << 8 | 25) + 10 + (2000 - 160);
  EXPECT_EQ(MediaIdentityValue(two), expected);
}

}  // namespace
}  // namespace qvr
