// The device layer on the simulated drive: the exact requests each operation sends, and every row
// of the state table.
#include "cdda/CDDA.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cdda/SimulatedDrive.h"
#include "support/CaseName.h"
#include "util/Error.h"
#include "util/Msf.h"

namespace qvr {
namespace {

using Requests = std::vector<std::string>;

// Ten tracks, the third to fifth at awkward frame counts so that millisecond rounding shows.
DiscToc TenTracks() {
  DiscToc toc;
  std::uint32_t starts[] = {150, 16000, 31001, 47377, 60074, 75000, 90013, 100500, 120000, 140001};
  for (std::uint32_t start : starts) toc.Tracks.push_back({start, true});
  toc.LeadOut = 160000;
  return toc;
}

class CDDATest : public testing::Test {
 protected:
  // Binds the layer to a drive with a stopped disc and opens it, then forgets the requests.
  void OpenWithDisc() {
    drive.InsertDisc(TenTracks());
    layer.CDInit(drive);
    layer.CDPoll();
    ASSERT_EQ(layer.CDState, cdStopped);
    drive.Requests.clear();
  }

  SimulatedDrive drive;
  CDDA layer;
};

TEST_F(CDDATest, InitSendsNothingAndStartsNotReady) {
  layer.CDState = cdPlaying;
  layer.CDInit(drive);
  EXPECT_EQ(layer.CDState, cdNotReady);
  EXPECT_FALSE(layer.CDPausedFlag);
  EXPECT_EQ(layer.PlayFrom, 0);
  EXPECT_EQ(layer.PlayTo, 0);
  EXPECT_TRUE(drive.Requests.empty());
}

TEST_F(CDDATest, OperationsWithoutABoundDeviceRaise) {
  EXPECT_THROW(layer.CDPoll(), Error);
  EXPECT_THROW(layer.CDPlay(1, 1), Error);
  EXPECT_THROW(layer.CDMediaID(), Error);
}

struct OpenCase {
  std::string name;
  std::uint32_t mode;
  TCDState expected;
};

class CDDAOpenTest : public CDDATest, public testing::WithParamInterface<OpenCase> {};

// First poll: the device is opened, its capabilities read, TMSF set and the mode read once.
TEST_P(CDDAOpenTest, FirstPollOpensAndTakesTheModeTheOpenAccepts) {
  drive.InsertDisc(TenTracks());
  drive.ForceMode(GetParam().mode);
  layer.CDInit(drive);
  layer.CDPoll();
  EXPECT_EQ(layer.CDState, GetParam().expected);
  EXPECT_EQ(drive.Requests, (Requests{"Open", "GetDevCaps CanEject", "SetTimeFormat TMSF", "StatusMode"}));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, CDDAOpenTest,
    testing::Values(OpenCase{"Stopped", kModeStopped, cdStopped}, OpenCase{"Playing", kModePlaying, cdPlaying},
                    OpenCase{"Open", kModeOpen, cdOpen}, OpenCase{"NotReady", kModeNotReady, cdNotReady},
                    OpenCase{"Paused", kModePaused, cdNotReady}, OpenCase{"Seeking", kModeSeeking, cdNotReady},
                    OpenCase{"Recording", kModeRecording, cdNotReady},
                    OpenCase{"HighBitsIgnored", 0x80 | kModeStopped, cdStopped}),
    test::CaseName());

TEST_F(CDDATest, RefusedOpenStaysNotReadyAndIsRetriedOnTheNextPoll) {
  drive.InsertDisc(TenTracks());
  drive.RefuseOpen(true);
  layer.CDInit(drive);
  EXPECT_FALSE(layer.CDOpen());
  EXPECT_EQ(layer.CDState, cdNotReady);
  layer.CDPoll();
  EXPECT_EQ(layer.CDState, cdNotReady);
  EXPECT_EQ(drive.Requests, (Requests{"Open", "Open"}));

  drive.RefuseOpen(false);
  layer.CDPoll();
  EXPECT_EQ(layer.CDState, cdStopped);
}

TEST_F(CDDATest, DriveReportingPausedAtOpenIsReopenedOnEveryPoll) {
  drive.InsertDisc(TenTracks());
  drive.ForceMode(kModePaused);
  layer.CDInit(drive);
  layer.CDPoll();
  drive.Requests.clear();
  layer.CDPoll();
  EXPECT_EQ(layer.CDState, cdNotReady);
  EXPECT_EQ(drive.Requests, (Requests{"Close", "Open", "GetDevCaps CanEject", "SetTimeFormat TMSF", "StatusMode"}));

  drive.ForceMode(std::nullopt);
  layer.CDPoll();
  EXPECT_EQ(layer.CDState, cdStopped);
}

struct PollCase {
  std::string name;
  std::uint32_t mode;
  bool pausedFlag;
  TCDState expected;
};

class CDDAPollTest : public CDDATest, public testing::WithParamInterface<PollCase> {};

// Once open, each poll maps the mode (read twice); a stop reported while paused keeps cdPaused.
TEST_P(CDDAPollTest, PollMapsTheDeviceMode) {
  OpenWithDisc();
  layer.CDState = cdPaused;
  layer.CDPausedFlag = GetParam().pausedFlag;
  drive.ForceMode(GetParam().mode);
  layer.CDPoll();
  EXPECT_EQ(layer.CDState, GetParam().expected);
  bool keptPaused =
      GetParam().pausedFlag && GetParam().expected == cdPaused && (GetParam().mode & 0x7F) == kModeStopped;
  EXPECT_EQ(drive.Requests, (keptPaused ? Requests{"StatusMode"} : Requests{"StatusMode", "StatusMode"}));
}

INSTANTIATE_TEST_SUITE_P(Modes, CDDAPollTest,
                         testing::Values(PollCase{"NotReady", kModeNotReady, false, cdNotReady},
                                         PollCase{"Stopped", kModeStopped, false, cdStopped},
                                         PollCase{"Playing", kModePlaying, false, cdPlaying},
                                         PollCase{"RecordingIsOpen", kModeRecording, false, cdOpen},
                                         PollCase{"SeekingIsOpen", kModeSeeking, false, cdOpen},
                                         PollCase{"Paused", kModePaused, false, cdPaused},
                                         PollCase{"Open", kModeOpen, false, cdOpen},
                                         PollCase{"UnknownIsOpen", 99, false, cdOpen},
                                         PollCase{"HighBitsIgnored", 0x80 | kModePlaying, false, cdPlaying},
                                         PollCase{"StoppedWhilePausedStaysPaused", kModeStopped, true, cdPaused},
                                         PollCase{"PlayingWhilePausedFlagIsPlaying", kModePlaying, true, cdPlaying},
                                         PollCase{"OpenWhilePausedFlagIsOpen", kModeOpen, true, cdOpen}),
                         test::CaseName());

TEST_F(CDDATest, DriveThatReportsPauseAsStopStaysPausedThroughPolls) {
  OpenWithDisc();
  drive.ReportPausedAsStopped(true);
  layer.CDPlay(2, 2);
  layer.CDPause();
  layer.CDPoll();
  EXPECT_EQ(layer.CDState, cdPaused);
  layer.CDPause();
  layer.CDPoll();
  EXPECT_EQ(layer.CDState, cdPlaying);
}

TEST_F(CDDATest, PlaySendsTrackPositionAndLengthInMilliseconds) {
  OpenWithDisc();
  DiscToc toc = TenTracks();
  layer.CDPlay(3, 5);
  std::uint32_t start = FramesToMilliseconds(toc.Tracks[2].Start);
  std::uint32_t end = FramesToMilliseconds(toc.Tracks[4].Start) + FramesToMilliseconds(toc.TrackLength(5));
  EXPECT_EQ(drive.Requests,
            (Requests{"SetTimeFormat Milliseconds", "StatusTrackPosition 3", "StatusTrackPosition 5",
                      "StatusTrackLength 5", "Play " + std::to_string(start) + " " + std::to_string(end)}));
  EXPECT_EQ(layer.StartPos(), start);
  EXPECT_EQ(layer.EndPos(), end);
  EXPECT_EQ(layer.CDState, cdPlaying);
  // The device plays exactly tracks 3 to 5: from the start of 3 up to the start of 6.
  EXPECT_EQ(drive.HeadFrame(), toc.Tracks[2].Start);
  EXPECT_EQ(drive.EndFrame(), toc.Tracks[5].Start);
}

TEST_F(CDDATest, PlayOfOneTrackPlaysExactlyThatTrack) {
  OpenWithDisc();
  DiscToc toc = TenTracks();
  layer.CDPlay(7, 7);
  drive.Advance(1000 * 1000);
  EXPECT_EQ(drive.HeadFrame(), toc.Tracks[7].Start);
  layer.CDPoll();
  EXPECT_EQ(layer.CDState, cdStopped);
  layer.CDPlay(10, 10);  // the last track ends one frame before the lead-out
  EXPECT_EQ(drive.EndFrame(), toc.LeadOut - 1);
}

TEST_F(CDDATest, RangeUsesOnlyTheLowSevenBitsOfTheLastTrack) {
  OpenWithDisc();
  layer.CDSetRange(0x83, 0x85);
  EXPECT_EQ(drive.Requests, (Requests{"SetTimeFormat Milliseconds", "StatusTrackPosition 131", "StatusTrackPosition 5",
                                      "StatusTrackLength 5"}));
}

TEST_F(CDDATest, PlayThatFailsLeavesTheStateAsItWas) {
  OpenWithDisc();
  layer.CDPlay(1, 1);
  layer.CDPause();
  drive.FailPlay(true);
  EXPECT_THROW(layer.CDPlay(2, 3), Error);
  EXPECT_EQ(layer.CDState, cdPaused);
  EXPECT_TRUE(layer.CDPausedFlag);
}

// State table rows: CDPlay from any state gives playing, CDStop stopped, both clear the flag.
TEST_F(CDDATest, PlayAndStopSetTheStateFromAnyState) {
  OpenWithDisc();
  for (TCDState from : {cdNotReady, cdOpen, cdStopped, cdPlaying, cdPaused}) {
    layer.CDState = from;
    layer.CDPausedFlag = true;
    layer.CDPlay(1, 2);
    EXPECT_EQ(layer.CDState, cdPlaying) << int(from);
    EXPECT_FALSE(layer.CDPausedFlag);
    layer.CDState = from;
    layer.CDPausedFlag = true;
    drive.Requests.clear();
    layer.CDStop();
    EXPECT_EQ(drive.Requests, Requests{"Stop"});
    EXPECT_EQ(layer.CDState, cdStopped) << int(from);
    EXPECT_FALSE(layer.CDPausedFlag);
  }
}

TEST_F(CDDATest, PauseThenResume) {
  OpenWithDisc();
  layer.CDPlay(1, 3);
  drive.Requests.clear();
  layer.CDPause();
  EXPECT_EQ(drive.Requests, (Requests{"StatusMode", "Pause"}));
  EXPECT_EQ(layer.CDState, cdPaused);
  EXPECT_TRUE(layer.CDPausedFlag);
  EXPECT_EQ(drive.Mode(), kModePaused);

  drive.Requests.clear();
  layer.CDPause();
  EXPECT_EQ(drive.Requests, Requests{"Resume"});
  EXPECT_EQ(layer.CDState, cdPlaying);
  EXPECT_FALSE(layer.CDPausedFlag);
  EXPECT_EQ(drive.Mode(), kModePlaying);
}

// A seek moves the head inside the range being played, in TMSF, and keeps the state; a place
// outside the range (or no playback at all) is refused and changes nothing.
struct SeekCase {
  const char* name;
  bool paused;
  std::uint8_t track;
  std::uint32_t frame;  // from the track's start
  bool moves;
};

class CDDASeekTest : public CDDATest, public testing::WithParamInterface<SeekCase> {};

TEST_P(CDDASeekTest, SeekStaysInsideTheRangeAndKeepsTheState) {
  const SeekCase& c = GetParam();
  OpenWithDisc();
  layer.CDPlay(2, 3);  // frames 16000 .. 47377
  drive.Advance(1000);
  if (c.paused) layer.CDPause();
  const std::uint32_t before = drive.HeadFrame();
  drive.Requests.clear();
  EXPECT_EQ(layer.CDSeek(c.track, c.frame), c.moves);
  const std::uint32_t packed = c.track | (c.frame / 4500) << 8 | (c.frame / 75 % 60) << 16 | (c.frame % 75) << 24;
  EXPECT_EQ(drive.Requests, (Requests{"SetTimeFormat TMSF", "Seek " + std::to_string(packed)}));
  EXPECT_EQ(drive.HeadFrame(), c.moves ? TenTracks().Tracks[c.track - 1].Start + c.frame : before);
  EXPECT_EQ(drive.Mode(), c.paused ? kModePaused : kModePlaying);
  EXPECT_EQ(drive.EndFrame(), 47377u);
  EXPECT_EQ(layer.CDState, c.paused ? cdPaused : cdPlaying);
}

INSTANTIATE_TEST_SUITE_P(Places, CDDASeekTest,
                         testing::Values(SeekCase{"IntoTheFirstTrack", false, 2, 375, true},
                                         SeekCase{"IntoTheLastTrackOfTheRange", false, 3, 8000, true},
                                         SeekCase{"ToTheRangesLastFrame", false, 3, 16375, true},
                                         SeekCase{"WhilePausedStaysPaused", true, 3, 75, true},
                                         SeekCase{"BeforeTheRange", false, 1, 75, false},
                                         SeekCase{"AtTheRangesEnd", false, 4, 0, false},
                                         SeekCase{"PastTheRange", false, 5, 10, false}),
                         test::CaseName{});

TEST_F(CDDATest, SeekWithNothingPlayingIsRefused) {
  OpenWithDisc();
  EXPECT_FALSE(layer.CDSeek(1, 75));
  EXPECT_EQ(layer.CDState, cdStopped);
  EXPECT_EQ(drive.Mode(), kModeStopped);
}

TEST_F(CDDATest, RejectedResumePlaysOnFromTheCurrentPosition) {
  OpenWithDisc();
  layer.CDPlay(2, 2);
  drive.Advance(3000);
  layer.CDPause();
  std::uint32_t head = drive.HeadFrame();
  drive.RejectResume(true);
  drive.Requests.clear();
  layer.CDPause();
  EXPECT_EQ(drive.Requests, (Requests{"Resume", "PlayOn"}));
  EXPECT_EQ(drive.HeadFrame(), head);
  EXPECT_EQ(drive.EndFrame(), TenTracks().LeadOut - 1);
  EXPECT_EQ(layer.CDState, cdPlaying);
}

struct PauseCase {
  std::string name;
  std::uint32_t mode;
  Requests requests;
};

class CDDAPauseTest : public CDDATest, public testing::WithParamInterface<PauseCase> {};

// Pausing without the flag asks the mode first; the state becomes paused whatever the device did.
TEST_P(CDDAPauseTest, PauseActsOnTheModeAndAlwaysEndsPaused) {
  OpenWithDisc();
  drive.ForceMode(GetParam().mode);
  layer.CDPause();
  EXPECT_EQ(drive.Requests, GetParam().requests);
  EXPECT_EQ(layer.CDState, cdPaused);
  EXPECT_TRUE(layer.CDPausedFlag);
}

INSTANTIATE_TEST_SUITE_P(Modes, CDDAPauseTest,
                         testing::Values(PauseCase{"Playing", kModePlaying, {"StatusMode", "Pause"}},
                                         PauseCase{"PausedResumes", kModePaused, {"StatusMode", "Resume", "PlayOn"}},
                                         PauseCase{"StoppedSendsNothing", kModeStopped, {"StatusMode"}},
                                         PauseCase{"OpenSendsNothing", kModeOpen, {"StatusMode"}}),
                         test::CaseName());

TEST_F(CDDATest, EjectOnlyWhenTheDeviceCanAndLeavesTheState) {
  OpenWithDisc();
  layer.CDEject();
  EXPECT_EQ(drive.Requests, Requests{"OpenDoor"});
  EXPECT_EQ(layer.CDState, cdStopped);
  layer.CDPoll();
  EXPECT_EQ(layer.CDState, cdOpen);

  SimulatedDrive fixed;
  fixed.SetCanEject(false);
  fixed.InsertDisc(TenTracks());
  CDDA other(fixed);
  other.CDPoll();
  fixed.Requests.clear();
  other.CDEject();
  EXPECT_TRUE(fixed.Requests.empty());
  EXPECT_EQ(other.CDState, cdStopped);
  EXPECT_EQ(fixed.Mode(), kModeStopped);
}

TEST_F(CDDATest, CloseOnlyWhenOpen) {
  layer.CDInit(drive);
  layer.CDClose();
  EXPECT_TRUE(drive.Requests.empty());
  drive.InsertDisc(TenTracks());
  layer.CDPoll();
  drive.Requests.clear();
  layer.CDClose();
  EXPECT_EQ(drive.Requests, Requests{"Close"});
}

TEST_F(CDDATest, TableOfContentsRequestsSetTheirTimeFormatFirst) {
  OpenWithDisc();
  DiscToc toc = TenTracks();
  EXPECT_EQ(layer.CDTrackCount(), 10);
  EXPECT_EQ(layer.CDDiscLength(), FramesToMSF(toc.LeadOut - 150 - 1));
  EXPECT_EQ(layer.CDTrackStart(4), FramesToMSF(47377));
  EXPECT_EQ(layer.CDTrackLength(4), FramesToMSF(60074 - 47377));
  EXPECT_EQ(layer.CDTrackLength(10), FramesToMSF(toc.LeadOut - 140001 - 1));
  EXPECT_EQ(drive.Requests, (Requests{"StatusNumberOfTracks", "SetTimeFormat MSF", "StatusLength", "SetTimeFormat MSF",
                                      "StatusTrackPosition 4", "SetTimeFormat MSF", "StatusTrackLength 4",
                                      "SetTimeFormat MSF", "StatusTrackLength 10"}));
}

TEST_F(CDDATest, PositionIsTrackRelativeTmsf) {
  OpenWithDisc();
  layer.CDPlay(3, 4);
  drive.Advance(62 * 1000 + 400);  // 62.4 s = 4680 frames into track 3
  drive.Requests.clear();
  std::uint32_t position = layer.CDPosition();
  EXPECT_EQ(position, PackTMSF(3, 1, 2, 30));
  EXPECT_EQ(layer.CDCurrentTrack(), 3);
  EXPECT_EQ(drive.Requests, (Requests{"SetTimeFormat TMSF", "StatusPosition", "SetTimeFormat TMSF", "StatusPosition"}));
  drive.Advance(300 * 1000);  // into track 4
  EXPECT_EQ(layer.CDCurrentTrack(), 4);
}

struct IdentityCase {
  std::string name;
  std::string text;
  std::string key;  // empty: a conversion error
};

class CDDAMediaIDTest : public CDDATest, public testing::WithParamInterface<IdentityCase> {};

TEST_P(CDDAMediaIDTest, IdentityTextBecomesEightHexDigits) {
  OpenWithDisc();
  drive.SetMediaIdentity(GetParam().text);
  if (GetParam().key.empty()) {
    EXPECT_THROW(layer.CDMediaID(), Error);
  } else {
    ShortString<8> key = layer.CDMediaID();
    EXPECT_EQ(key.Str(), GetParam().key);
    EXPECT_EQ(key.Length(), 8u);
  }
  EXPECT_EQ(drive.Requests, Requests{"MediaIdentity"});
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CDDAMediaIDTest,
    testing::Values(IdentityCase{"Decimal", "12345", "00003039"}, IdentityCase{"Hex1234", "4660", "00001234"},
                    IdentityCase{"MinusOne", "-1", "FFFFFFFF"}, IdentityCase{"BlanksAndPlus", "  +42", "0000002A"},
                    IdentityCase{"UpperCase", "20442106", "0137EBFA"},
                    IdentityCase{"LargestSigned", "2147483647", "7FFFFFFF"},
                    IdentityCase{"SmallestSigned", "-2147483648", "80000000"},
                    IdentityCase{"UnsignedSum", "4294967295", "FFFFFFFF"}, IdentityCase{"NoIdentity", "", "00000000"},
                    IdentityCase{"TooLarge", "4294967296", ""}, IdentityCase{"TooSmall", "-2147483649", ""},
                    IdentityCase{"NotANumber", "12a4", ""}, IdentityCase{"TrailingBlank", "12 ", ""},
                    IdentityCase{"SignOnly", "-", ""}, IdentityCase{"Huge", std::string(4095, '9'), ""}),
    test::CaseName());

TEST(SplitMSFTest, SplitsBytesLowToHigh) { EXPECT_EQ(SplitMSF(0x00102A03), (TMSFParts{3, 42, 16})); }

}  // namespace
}  // namespace qvr
