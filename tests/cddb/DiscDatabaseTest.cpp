// Lookup and store on real files in a temporary folder: what is found, what is written where,
// in which order names get their IDs, and how the search reports progress.
#include "cddb/DiscDatabase.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "DatabaseTestSupport.h"
#include "support/TempDir.h"
#include "util/Error.h"

namespace qvr {
namespace {

using test::DriveDisc;
using test::RegisteredDisc;

class DiscDatabaseTest : public testing::Test {
 protected:
  void SetUp() override { db_.DBOpen(dir_ / "MasterDB.QVR"); }

  TDiscRecord Lookup(const TDiscRecord& disc) {
    progress_.captions.clear();
    return db_.DBLookup(disc, progress_);
  }
  std::uintmax_t Size(DBFile file) const { return std::filesystem::file_size(db_.FilePath(file)); }

  test::TempDir dir_;
  test::FixedDate today_{45292};  // 2024-01-01
  TDiscDatabase db_{today_};
  test::RecordingProgress progress_;
};

TEST_F(DiscDatabaseTest, FreshDatabaseIsOneHeaderRecordPerFile) {
  db_.DBCreate();
  std::uintmax_t total = 0;
  for (DBFile file : kAllDBFiles) total += Size(file);
  EXPECT_EQ(total, 1022u);
  const auto contents = test::FileContents(db_);
  EXPECT_EQ(contents[0], test::EncodedRecord<kMasterRecordSize>(MasterHeader(45292)));
  EXPECT_EQ(contents[1], test::EncodedRecord<kTrackRecordSize>(TrackHeader()));
  EXPECT_EQ(contents[2], test::EncodedRecord<kNameRecordSize>(NameHeader()));
  EXPECT_EQ(contents[3], test::EncodedRecord<kNameRecordSize>(NameHeader()));
  EXPECT_EQ(contents[4], test::EncodedRecord<kGenreRecordSize>(GenreHeader()));
}

TEST_F(DiscDatabaseTest, CreateLeavesExistingFilesAlone) {
  test::WriteFile(db_.FilePath(DBFile::Artist), "not a database");
  db_.DBCreate();
  EXPECT_EQ(test::ReadFile(db_.FilePath(DBFile::Artist)), "not a database");
  EXPECT_EQ(Size(DBFile::Master), kMasterRecordSize);
}

TEST_F(DiscDatabaseTest, DBOpenCreatesNothingAndOperationsNeedIt) {
  EXPECT_FALSE(std::filesystem::exists(db_.MasterPath()));
  TDiscDatabase unopened(today_);
  EXPECT_THROW(unopened.DBLookup(DriveDisc("0137EBFA", 3, 0), progress_), Error);
  EXPECT_THROW(unopened.DBStore(RegisteredDisc("0137EBFA", 3, 0)), Error);
}

TEST_F(DiscDatabaseTest, FirstLookupCreatesTheFilesAndGuessesTheDiscType) {
  struct Case {
    std::uint8_t tracks;
    std::uint8_t type;
  };
  const Case cases[] = {{0, dtAlbum},     {1, dtSingle}, {4, dtSingle}, {5, dtMiniAlbum},
                        {7, dtMiniAlbum}, {8, dtAlbum},  {12, dtAlbum}, {99, dtAlbum}};
  for (const Case& c : cases) {
    std::filesystem::remove_all(dir_.Path());
    std::filesystem::create_directory(dir_.Path());
    TDiscRecord disc = DriveDisc("0137EBFA", c.tracks, PackMSF(50, 1, 2));
    TDiscRecord found = Lookup(disc);
    for (DBFile file : kAllDBFiles) EXPECT_EQ(Size(file), InfoOf(file).RecordSize) << int(c.tracks);
    EXPECT_EQ(progress_.captions, std::vector<std::string>{"検索終了"});
    disc.DiscType = c.type;
    EXPECT_EQ(found, disc) << int(c.tracks);
  }
}

TEST_F(DiscDatabaseTest, StoredDiscIsFoundWithEveryText) {
  TDiscRecord stored = RegisteredDisc("0137EBFA", 12, PackMSF(48, 12, 30));
  stored.Tracks[5].Genre = "";  // an empty genre is a name like any other
  db_.DBStore(stored);

  TDiscRecord found = Lookup(DriveDisc("0137EBFA", 12, PackMSF(48, 12, 30)));
  EXPECT_EQ(found, stored);
  EXPECT_EQ(progress_.captions, (std::vector<std::string>{"検索中 … Title 0137EBFA", "検索終了"}));
}

TEST_F(DiscDatabaseTest, FoundDiscTakesTrackPositionsFromItsRecordsAndClearsUnusedEntries) {
  TDiscRecord stored = RegisteredDisc("AAAA0001", 3, 1000);
  db_.DBStore(stored);
  TDiscRecord drive = DriveDisc("AAAA0001", 3, 1000);
  drive.Tracks[2].StartPos = 777;       // the drive disagrees with the stored position
  drive.Tracks[50].TrackName = "junk";  // an entry above the track count
  drive.Tracks[50].Length = 5;
  TDiscRecord found = Lookup(drive);
  EXPECT_EQ(found.Tracks[2].StartPos, stored.Tracks[2].StartPos);
  EXPECT_EQ(found.Tracks[50], TTrackEntry{});
}

TEST_F(DiscDatabaseTest, TrackWithoutRecordKeepsTheDrivePositionsAndHasNoTexts) {
  TDiscRecord stored = RegisteredDisc("AAAA0001", 3, 1000);
  db_.DBStore(stored);
  // Drop track 3's record by rewriting the track file without it.
  std::string tracks = test::ReadFile(db_.FilePath(DBFile::Track));
  test::WriteFile(db_.FilePath(DBFile::Track), tracks.substr(0, 3 * kTrackRecordSize));
  TDiscRecord drive = DriveDisc("AAAA0001", 3, 1000);
  drive.Tracks[3].TrackName = "from the caller";
  TDiscRecord found = Lookup(drive);
  EXPECT_EQ(found.Tracks[3], (TTrackEntry{drive.Tracks[3].StartPos, drive.Tracks[3].Length, {}, {}, {}, {}, {}}));
  EXPECT_EQ(found.Tracks[2], stored.Tracks[2]);
}

TEST_F(DiscDatabaseTest, StoringAgainOverwritesInPlaceAndKeepsStoredPositions) {
  TDiscRecord disc = RegisteredDisc("0137EBFA", 10, 5000);
  db_.DBStore(disc);
  db_.DBStore(RegisteredDisc("0000BEEF", 2, 10));
  const auto master_size = Size(DBFile::Master);
  const auto track_size = Size(DBFile::Track);

  disc.DiscName = "New title";
  disc.Tracks[4].TrackName = "New track title";
  disc.Tracks[4].StartPos = 1;  // changed in the record, but the stored position stays
  disc.Tracks[4].Length = 2;
  db_.DBStore(disc);

  EXPECT_EQ(Size(DBFile::Master), master_size);
  EXPECT_EQ(Size(DBFile::Track), track_size);
  TDiscRecord found = Lookup(DriveDisc("0137EBFA", 10, 5000));
  EXPECT_EQ(found.DiscName, "New title");
  EXPECT_EQ(found.Tracks[4].TrackName, "New track title");
  EXPECT_EQ(found.Tracks[4].StartPos, RegisteredDisc("0137EBFA", 10, 5000).Tracks[4].StartPos);
  EXPECT_EQ(found.Tracks[4].Length, RegisteredDisc("0137EBFA", 10, 5000).Tracks[4].Length);
  EXPECT_EQ(Lookup(DriveDisc("0000BEEF", 2, 10)).DiscName, "Title 0000BEEF");
}

TEST_F(DiscDatabaseTest, NewNamesGetIDsInTheFixedOrder) {
  TDiscRecord disc = DriveDisc("0137EBFA", 2, 300);
  disc.Tracks[1].Lyricsby = "L1";
  disc.Tracks[1].Musicby = "C1";
  disc.Tracks[1].Arrangeby = "A1";
  disc.Tracks[1].Genre = "G1";
  disc.Tracks[2].Lyricsby = "L2";
  disc.Tracks[2].Musicby = "C2";
  disc.Tracks[2].Arrangeby = "A2";
  disc.Tracks[2].Genre = "G2";
  disc.ArtistName = "DA";
  disc.LabelName = "LB";
  db_.DBStore(disc);

  std::vector<std::pair<std::int32_t, std::string>> artists;
  for (const TNameRecord& r : test::NameRecords(db_.FilePath(DBFile::Artist))) artists.emplace_back(r.ID, r.Name.Str());
  EXPECT_EQ(artists,
            (std::vector<std::pair<std::int32_t, std::string>>{
                {0, "Q.V.R. Ver.1.2"}, {1, "L1"}, {2, "C1"}, {3, "A1"}, {4, "L2"}, {5, "C2"}, {6, "A2"}, {7, "DA"}}));
  EXPECT_EQ(test::ReadFile(db_.FilePath(DBFile::Genre)),
            test::EncodedRecord<kGenreRecordSize>(GenreHeader()) +
                test::EncodedRecord<kGenreRecordSize>(TGenreRecord{1, "G1"}) +
                test::EncodedRecord<kGenreRecordSize>(TGenreRecord{2, "G2"}));
  EXPECT_EQ(test::NameRecords(db_.FilePath(DBFile::Label)).back().Name, "LB");

  auto tracks = test::TrackRecords(db_.FilePath(DBFile::Track));
  ASSERT_EQ(tracks.size(), 3u);
  EXPECT_EQ((std::array{tracks[2].TrackNo + 0, tracks[2].LyricsbyID, tracks[2].MusicbyID, tracks[2].ArrangebyID,
                        tracks[2].GenreID + 0}),
            (std::array{2, 4, 5, 6, 2}));
}

TEST_F(DiscDatabaseTest, NamesAreStoredOnceAndComparedByTheirBytes) {
  TDiscRecord disc = DriveDisc("0137EBFA", 2, 300);
  disc.ArtistName = "abc";
  disc.Tracks[1].Lyricsby = "abc";
  disc.Tracks[1].Musicby = "abc";
  disc.Tracks[1].Arrangeby = "abc";
  disc.Tracks[2].Lyricsby = "ABC";  // case differs: another name
  disc.Tracks[2].Musicby = "abc ";  // trailing blank: another name
  disc.Tracks[2].Arrangeby = "";    // the empty name gets a record of its own
  db_.DBStore(disc);
  TDiscRecord second = DriveDisc("0000BEEF", 1, 10);
  second.ArtistName = "";
  second.Tracks[1].Lyricsby = "ABC";
  db_.DBStore(second);

  std::vector<std::string> names;
  for (const TNameRecord& r : test::NameRecords(db_.FilePath(DBFile::Artist))) names.push_back(r.Name.Str());
  EXPECT_EQ(names, (std::vector<std::string>{"Q.V.R. Ver.1.2", "abc", "ABC", "abc ", ""}));
  EXPECT_EQ(Lookup(DriveDisc("0137EBFA", 2, 300)), disc);
}

TEST_F(DiscDatabaseTest, DiscsDifferingInTrackCountOrTimeAreSeparate) {
  db_.DBStore(RegisteredDisc("0137EBFA", 10, 5000));
  TDiscRecord other_count = RegisteredDisc("0137EBFA", 11, 5000);
  other_count.DiscName = "eleven";
  TDiscRecord other_time = RegisteredDisc("0137EBFA", 10, 5001);
  other_time.DiscName = "later";
  db_.DBStore(other_count);
  db_.DBStore(other_time);
  EXPECT_EQ(Size(DBFile::Master), 4 * kMasterRecordSize);
  EXPECT_EQ(Size(DBFile::Track), (1 + 10 + 11 + 10) * kTrackRecordSize);
  EXPECT_EQ(Lookup(DriveDisc("0137EBFA", 10, 5000)).DiscName, "Title 0137EBFA");
  EXPECT_EQ(Lookup(DriveDisc("0137EBFA", 11, 5000)).DiscName, "eleven");
  EXPECT_EQ(Lookup(DriveDisc("0137EBFA", 10, 5001)).DiscName, "later");
  EXPECT_EQ(Lookup(DriveDisc("0137EBF", 10, 5000)).DiscName, "");
}

TEST_F(DiscDatabaseTest, LongTextsAreCutTo96AndGenresTo16Bytes) {
  TDiscRecord disc = DriveDisc("0137EBFA", 1, 300);
  disc.DiscName = std::string(120, 'd');
  disc.ArtistName = std::string(97, 'a');
  disc.Tracks[1].Genre = std::string(17, 'g');
  db_.DBStore(disc);
  std::string master = test::ReadFile(db_.FilePath(DBFile::Master));
  EXPECT_EQ(static_cast<unsigned char>(master[kMasterRecordSize + 20]), 96);
  EXPECT_EQ(test::NameRecords(db_.FilePath(DBFile::Artist)).back().Name, std::string(96, 'a'));
  std::string genres = test::ReadFile(db_.FilePath(DBFile::Genre));
  EXPECT_EQ(genres.substr(kGenreRecordSize), std::string("\x01\x10", 2) + std::string(16, 'g'));
}

TEST_F(DiscDatabaseTest, FirstMatchingRecordWins) {
  db_.DBStore(RegisteredDisc("0137EBFA", 1, 300));
  // A second master record of the same disc, and a second artist record with the disc artist's
  // ID, as an older program or a hand-made file might leave them.
  TMasterRecord duplicate = DecodeMasterRecord(std::span<const char, kMasterRecordSize>(
      test::ReadFile(db_.FilePath(DBFile::Master)).data() + kMasterRecordSize, kMasterRecordSize));
  duplicate.DiscName = "second";
  std::string master = test::ReadFile(db_.FilePath(DBFile::Master)) + test::EncodedRecord<kMasterRecordSize>(duplicate);
  test::WriteFile(db_.FilePath(DBFile::Master), master);
  const std::int32_t artist_id = duplicate.ArtistID;
  test::WriteFile(db_.FilePath(DBFile::Artist),
                  test::ReadFile(db_.FilePath(DBFile::Artist)) +
                      test::EncodedRecord<kNameRecordSize>(TNameRecord{artist_id, "shadow"}));

  TDiscRecord found = Lookup(DriveDisc("0137EBFA", 1, 300));
  EXPECT_EQ(found.DiscName, "Title 0137EBFA");
  EXPECT_EQ(found.ArtistName, "Artist 0137EBFA");
  EXPECT_EQ(progress_.captions.size(), 2u);  // the scan stopped at the first match

  TDiscRecord changed = found;
  changed.DiscName = "changed";
  db_.DBStore(changed);
  std::string after = test::ReadFile(db_.FilePath(DBFile::Master));
  EXPECT_EQ(after.size(), master.size());
  EXPECT_EQ(after.substr(2 * kMasterRecordSize), master.substr(2 * kMasterRecordSize));  // second one untouched
  EXPECT_EQ(Lookup(DriveDisc("0137EBFA", 1, 300)).DiscName, "changed");
}

TEST_F(DiscDatabaseTest, SearchShowsEveryTitleInTurnThenTheEnd) {
  std::string master = test::EncodedRecord<kMasterRecordSize>(MasterHeader(0));
  std::vector<std::string> expected;
  for (int i = 1; i <= 500; ++i) {
    TMasterRecord record;
    record.DiscKey = "0000" + std::to_string(1000 + i);
    record.TrackCount = 1;
    record.DiscName = "\x83\x5E\x83\x43\x83\x67\x83\x8B " + std::to_string(i);  // タイトル i
    master += test::EncodedRecord<kMasterRecordSize>(record);
    expected.push_back("検索中 … タイトル " + std::to_string(i));
  }
  expected.emplace_back("検索終了");
  test::WriteFile(db_.MasterPath(), master);
  Lookup(DriveDisc("FFFFFFFF", 1, 0));
  EXPECT_EQ(progress_.captions, expected);
}

TEST_F(DiscDatabaseTest, LookupAndStoreNestedInTheProgressStepWork) {
  for (const char* key : {"00000001", "00000002", "00000003"}) db_.DBStore(RegisteredDisc(key, 4, 100));
  TDiscRecord nested_found;
  int steps = 0;
  progress_.on_step = [&] {
    if (++steps != 2) return;
    // A tick inside the search looks another disc up and the user registers a new one.
    test::RecordingProgress inner;
    nested_found = db_.DBLookup(DriveDisc("00000001", 4, 100), inner);
    db_.DBStore(RegisteredDisc("00000004", 4, 100));
  };
  TDiscRecord outer = Lookup(DriveDisc("00000004", 4, 100));
  EXPECT_EQ(nested_found, RegisteredDisc("00000001", 4, 100));
  // The outer scan reads on after the nested store and finds the record it appended.
  EXPECT_EQ(outer, RegisteredDisc("00000004", 4, 100));
}

TEST_F(DiscDatabaseTest, FilesReplacedBetweenOperationsTakeEffect) {
  db_.DBStore(RegisteredDisc("0137EBFA", 2, 300));
  const auto before = test::FileContents(db_);
  TDiscRecord renamed = RegisteredDisc("0137EBFA", 2, 300);
  renamed.ArtistName = "Other artist";
  db_.DBStore(renamed);
  EXPECT_EQ(Lookup(DriveDisc("0137EBFA", 2, 300)).ArtistName, "Other artist");
  for (DBFile file : kAllDBFiles) test::WriteFile(db_.FilePath(file), before[static_cast<std::size_t>(file)]);
  EXPECT_EQ(Lookup(DriveDisc("0137EBFA", 2, 300)).ArtistName, "Artist 0137EBFA");
}

TEST_F(DiscDatabaseTest, TrackCountAbove99IsStoredAndFoundWithoutOverrun) {
  TDiscRecord disc = RegisteredDisc("0137EBFA", 120, 300);
  db_.DBStore(disc);
  EXPECT_EQ(Size(DBFile::Track), (1 + 99) * kTrackRecordSize);
  EXPECT_EQ(Lookup(DriveDisc("0137EBFA", 120, 300)), disc);
}

TEST_F(DiscDatabaseTest, DiscWithoutTracksStoresOnlyItsMasterRecordAndNames) {
  TDiscRecord disc = RegisteredDisc("0137EBFA", 0, 0);
  db_.DBStore(disc);
  EXPECT_EQ(Size(DBFile::Track), kTrackRecordSize);
  EXPECT_EQ(Size(DBFile::Master), 2 * kMasterRecordSize);
  EXPECT_EQ(Lookup(DriveDisc("0137EBFA", 0, 0)), disc);
}

}  // namespace
}  // namespace qvr
