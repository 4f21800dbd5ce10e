// The disc report with which qvrdb-drive hands a disc to qvrdb: what is written is read back,
// and anything but a whole report is refused.
#include "tools/qvrdb/DiscReport.h"

#include <gtest/gtest.h>

#include <string>

#include "cddb/DiscDatabase.h"

namespace qvr {
namespace {

class Day final : public TDateSource {
 public:
  TDateTime Today() const override { return 45292; }
};

TDiscRecord DriveDisc(std::string_view key, std::uint8_t count) {
  TDiscRecord disc;
  ClearDisc(disc, Day());
  disc.DiscKey = key;
  disc.TrackCount = count;
  disc.DiscTime = 0xFFFFFFFF;
  for (std::size_t n = 1; n <= UsedTracks(count); ++n) {
    disc.Tracks[n].StartPos = static_cast<std::uint32_t>(n * 1000);
    disc.Tracks[n].Length = static_cast<std::uint32_t>(n);
  }
  return disc;
}

TEST(DiscReportTest, AReportReadsBackAsTheDiscItTells) {
  for (const TDiscRecord& disc : {DriveDisc("0137EBFA", 12), DriveDisc("", 0), DriveDisc("00015A00", 99)}) {
    const std::string report = DiscReport(disc);
    EXPECT_EQ(ParseDiscReport(report, Day()), disc) << report;
  }
  EXPECT_EQ(DiscReport(DriveDisc("0137EBFA", 2)),
            "QVR-DISC 1\nDiscKey 0137EBFA\nTrackCount 2\nDiscTime 4294967295\nTrack 1 1000 1\nTrack 2 2000 2\n");
}

TEST(DiscReportTest, AnythingButAWholeReportIsRefused) {
  const std::string whole = "QVR-DISC 1\nDiscKey 0137EBFA\nTrackCount 2\nDiscTime 5\nTrack 1 10 1\nTrack 2 20 2\n";
  ASSERT_TRUE(ParseDiscReport(whole, Day()));
  const std::string broken[] = {
      "",
      whole.substr(0, whole.size() - 1),                                           // cut in its last line
      whole.substr(0, whole.find("Track 2")),                                      // a track missing
      whole + "Track 3 30 3\n",                                                    // one too many
      "QVR-DISC 2" + whole.substr(10),                                             // another form
      "QVR-DISC 1\nDiscKey 0137EBFA0\nTrackCount 0\nDiscTime 5\n",                 // a key of 9 bytes
      "QVR-DISC 1\nDiscKey 01 7EBFA\nTrackCount 0\nDiscTime 5\n",                  // a blank in the key
      "QVR-DISC 1\nDiscKey 0137EBFA\nTrackCount 256\nDiscTime 5\n",                // a count of 256
      "QVR-DISC 1\nDiscKey 0137EBFA\nTrackCount 0\nDiscTime 4294967296\n",         // past 32 bits
      "QVR-DISC 1\nDiscKey 0137EBFA\nTrackCount 0\nDiscTime -1\n",                 // negative
      "QVR-DISC 1\nDiscKey 0137EBFA\nTrackCount 1\nDiscTime 5\nTrack 2 10 1\n",    // the wrong number
      "QVR-DISC 1\nDiscKey 0137EBFA\nTrackCount 1\nDiscTime 5\nTrack 1 10\n",      // a value missing
      "QVR-DISC 1\nDiscKey 0137EBFA\nTrackCount 1\nDiscTime 5\nTrack 1 10 1 1\n",  // one too many
      "QVR-DISC 1\nTrackCount 0\nDiscKey 0137EBFA\nDiscTime 5\n",                  // out of order
  };
  for (const std::string& report : broken) EXPECT_FALSE(ParseDiscReport(report, Day())) << report;
}

}  // namespace
}  // namespace qvr
