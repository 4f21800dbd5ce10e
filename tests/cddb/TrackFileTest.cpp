// A disc's track records read where the store put them, and the search from record 1 that the
// lookup falls back to whenever they are not there: the same records as the search wherever
// each track of a disc has one record.
#include "cddb/TrackFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DatabaseTestSupport.h"
#include "support/TempDir.h"

namespace qvr {
namespace {

using test::DriveDisc;
using test::RegisteredDisc;

class TrackFileTest : public test::OpenDatabaseTest {
 protected:
  std::string Read(DBFile file) const { return test::ReadFile(db_.FilePath(file)); }
  void Write(DBFile file, const std::string& bytes) const { test::WriteFile(db_.FilePath(file), bytes); }
  // The records `first` .. `first + count - 1` of a file's bytes.
  static std::string Records(const std::string& bytes, std::size_t size, std::size_t first, std::size_t count = 1) {
    return bytes.substr(first * size, count * size);
  }
};

// The record numbers FindTracks... found, per track (0: none).
std::vector<std::size_t> RecordsOf(const std::array<std::optional<FoundTrack>, kMaxTracks>& found, std::size_t used) {
  std::vector<std::size_t> records;
  for (std::size_t n = 0; n < used; ++n) records.push_back(found[n] ? found[n]->Record : 0);
  return records;
}

TEST_F(TrackFileTest, EveryPlaceGivesTheSearchsRecordsWhenEachTrackHasOneRecord) {
  // Disc A (3 tracks), disc B stored with its tracks out of order (2, 1), then disc C (2 tracks):
  // tracks 1-3 A, 4 B-2, 5 B-1, 6-7 C.
  db_.DBStore(RegisteredDisc("AAAA0001", 3, 1000));
  db_.DBStore(RegisteredDisc("BBBB0002", 2, 2000));
  db_.DBStore(RegisteredDisc("CCCC0003", 2, 3000));
  const std::string tracks = Read(DBFile::Track);
  Write(DBFile::Track, Records(tracks, kTrackRecordSize, 0, 4) + Records(tracks, kTrackRecordSize, 5) +
                           Records(tracks, kTrackRecordSize, 4) + Records(tracks, kTrackRecordSize, 6, 2));

  const RecordFile file(db_.FilePath(DBFile::Track), DBFile::Track, RecordFile::Access::ReadOnly);
  const struct {
    DiscIdentity disc;
    std::vector<std::size_t> records;
  } cases[] = {
      {{"AAAA0001", 3, 1000}, {1, 2, 3}},
      {{"BBBB0002", 2, 2000}, {5, 4}},
      {{"CCCC0003", 2, 3000}, {6, 7}},
      {{"DDDD0004", 2, 4000}, {0, 0}},  // no records at all
  };
  for (const auto& c : cases) {
    const std::size_t used = UsedTracks(c.disc.TrackCount);
    ASSERT_EQ(RecordsOf(FindTracks(file, c.disc), used), c.records) << c.disc.DiscKey.Str();
    // Right, wrong, past the end of the file, nonsense: always the search's records.
    for (std::size_t place = 0; place <= 10; ++place) {
      const auto found = FindTracksAt(file, c.disc, place);
      EXPECT_EQ(RecordsOf(found, used), c.records) << c.disc.DiscKey.Str() << " at " << place;
      for (std::size_t n = 0; n < used; ++n) {
        if (found[n]) {
          EXPECT_EQ(found[n]->Track.TrackNo, n + 1);
        }
      }
    }
  }
}

TEST_F(TrackFileTest, TracksNotWhereTheStorePutsThemAreFoundByTheLookup) {
  const TDiscRecord a = RegisteredDisc("AAAA0001", 3, 1000), d = RegisteredDisc("DDDD0004", 2, 4000),
                    e = RegisteredDisc("EEEE0005", 2, 5000);
  db_.DBStore(a);
  // A store of D interrupted before its master record: its tracks lie where E's should.
  db_.DBStore(d);
  Write(DBFile::Master, Read(DBFile::Master).substr(0, 2 * kMasterRecordSize));
  db_.DBStore(e);
  EXPECT_EQ(Lookup(DriveDisc("EEEE0005", 2, 5000)), e);
  EXPECT_EQ(Lookup(DriveDisc("AAAA0001", 3, 1000)), a);
  // D stored again: its tracks are overwritten where they are, its master record comes after E's.
  db_.DBStore(d);
  EXPECT_EQ(test::TrackRecords(db_.FilePath(DBFile::Track)).size(), 1u + 3 + 2 + 2);
  EXPECT_EQ(Lookup(DriveDisc("DDDD0004", 2, 4000)), d);

  // A's tracks gone from the file (cut out by hand): E's lie before their place, D's before
  // theirs, and A finds none.
  const std::string tracks = Read(DBFile::Track);
  Write(DBFile::Track, Records(tracks, kTrackRecordSize, 0) + Records(tracks, kTrackRecordSize, 4, 4));
  EXPECT_EQ(Lookup(DriveDisc("EEEE0005", 2, 5000)), e);
  EXPECT_EQ(Lookup(DriveDisc("DDDD0004", 2, 4000)), d);
  const TDiscRecord without = Lookup(DriveDisc("AAAA0001", 3, 1000));
  EXPECT_EQ(without.DiscName, "Title AAAA0001");
  EXPECT_EQ(without.Tracks[1].TrackName, "");
}

// Where the result can differ from the search: a track with two records, as only another
// program or a hand-made file leaves them (the check reports them). The record where the store
// puts the track is read, not the first one in the file.
TEST_F(TrackFileTest, WithDuplicateTracksTheRecordsWhereTheStorePutsThemWin) {
  db_.DBStore(RegisteredDisc("AAAA0001", 1, 1000));
  db_.DBStore(RegisteredDisc("BBBB0002", 1, 2000));
  const std::string tracks = Read(DBFile::Track);
  TTrackRecord early = test::TrackRecords(db_.FilePath(DBFile::Track))[2];
  early.TrackName = "an earlier copy";
  // The copy of B's track replaces A's: B's own record stays at 2, where B's tracks belong.
  Write(DBFile::Track, Records(tracks, kTrackRecordSize, 0) + test::EncodedRecord<kTrackRecordSize>(early) +
                           Records(tracks, kTrackRecordSize, 2));
  const RecordFile file(db_.FilePath(DBFile::Track), DBFile::Track, RecordFile::Access::ReadOnly);
  EXPECT_EQ(FindTracks(file, {"BBBB0002", 1, 2000})[0]->Track.TrackName, "an earlier copy");
  EXPECT_EQ(FindTracksAt(file, {"BBBB0002", 1, 2000}, 2)[0]->Track.TrackName, "Track BBBB0002-1");
}

}  // namespace
}  // namespace qvr
