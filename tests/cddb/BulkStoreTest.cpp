// The bulk store against the one-by-one store: the same bytes in all five files from the same
// start, the same refusals, and a database that stays healthy when a commit stops half-way.
#include "cddb/BulkStore.h"

#include <gtest/gtest.h>

#include <functional>

#include "DatabaseTestSupport.h"
#include "cddb/DatabaseCheck.h"
#include "cddb/DatabaseSnapshot.h"
#include "support/CaseName.h"
#include "util/Error.h"

namespace qvr {
namespace {

using test::RegisteredDisc;

// Discs to store: new ones, repeats within the list with other texts and positions, shared and
// empty names, a disc without tracks, and one with the most tracks.
std::vector<TDiscRecord> Input() {
  std::vector<TDiscRecord> discs;
  for (int i = 0; i < 12; ++i) {
    char key[9];
    std::snprintf(key, sizeof key, "%08X", 0xA0000000u + static_cast<unsigned>(i));
    TDiscRecord disc =
        RegisteredDisc(key, static_cast<std::uint8_t>(1 + i % 5), PackMSF(40, static_cast<std::uint8_t>(i), 0));
    disc.ArtistName = "Artist " + std::to_string(i % 3);  // shared with other discs
    disc.Tracks[1].Musicby = disc.ArtistName;             // the same name in two roles
    if (i % 4 == 0) disc.LabelName = "";                  // the empty name
    if (i % 2 == 0) disc.SaleDate = kUnknownDate;
    discs.push_back(disc);
  }
  TDiscRecord again = discs[3];  // stored again later: texts change, positions stay
  again.DiscName = "Second title";
  again.Tracks[2].TrackName = "Second track name";
  again.Tracks[2].StartPos = PackMSF(9, 9, 9);
  discs.push_back(again);
  discs.push_back(RegisteredDisc("EXISTING", 3, PackMSF(30, 0, 0)));  // already in some databases
  discs.push_back(RegisteredDisc("NOTRACKS", 0, PackMSF(1, 0, 0)));
  discs.push_back(RegisteredDisc("MANY", 99, PackMSF(70, 0, 0)));
  discs.push_back(RegisteredDisc("A0000003", 2, PackMSF(40, 3, 0)));  // same key, other identity
  return discs;
}

struct StartCase {
  const char* name;
  std::function<void(TDiscDatabase&)> prepare;
};

// Damage a database by hand: bytes of a partial record at the end of each file.
void AppendPartialRecords(TDiscDatabase& db) {
  for (DBFile file : kAllDBFiles) {
    std::string bytes = test::ReadFile(db.FilePath(file));
    bytes.append(7, '\x5A');
    test::WriteFile(db.FilePath(file), bytes);
  }
}

// Tracks of one disc stored out of order, and a second record of one of its tracks.
void ScatterTracks(TDiscDatabase& db) {
  db.DBStore(RegisteredDisc("EXISTING", 3, PackMSF(30, 0, 0)));
  db.DBStore(RegisteredDisc("A0000005", 1, PackMSF(40, 5, 0)));
  std::string bytes = test::ReadFile(db.FilePath(DBFile::Track));
  const std::size_t size = kTrackRecordSize;
  std::string first = bytes.substr(size, size), third = bytes.substr(3 * size, size);
  bytes.replace(size, size, third);
  bytes.replace(3 * size, size, first);
  bytes += bytes.substr(2 * size, size);
  test::WriteFile(db.FilePath(DBFile::Track), bytes);
}

const StartCase kStarts[] = {
    {"NoFolder", [](TDiscDatabase&) {}},
    {"EmptyFiles", [](TDiscDatabase& db) { db.DBCreate(); }},
    {"DiscsStoredBefore",
     [](TDiscDatabase& db) {
       db.DBStore(RegisteredDisc("EXISTING", 3, PackMSF(30, 0, 0)));
       db.DBStore(Input()[5]);
       db.DBStore(RegisteredDisc("OTHER", 2, PackMSF(20, 0, 0)));
     }},
    {"PartialRecordsAtTheEnds",
     [](TDiscDatabase& db) {
       db.DBStore(RegisteredDisc("EXISTING", 3, PackMSF(30, 0, 0)));
       AppendPartialRecords(db);
     }},
    {"ScatteredTracks", ScatterTracks},
};

class BulkStoreTest : public testing::TestWithParam<StartCase> {
 protected:
  test::TempDir dir_;
  test::FixedDate today_{45292};
};

TEST_P(BulkStoreTest, WritesTheBytesThatStoringOneByOneWrites) {
  TDiscDatabase one(today_), bulk(today_);
  one.DBOpen(dir_ / "one" / "db" / "MasterDB.QVR");
  bulk.DBOpen(dir_ / "bulk" / "db" / "MasterDB.QVR");
  GetParam().prepare(one);
  GetParam().prepare(bulk);

  for (const TDiscRecord& disc : Input()) one.DBStore(disc);
  BulkStore store(bulk);
  for (const TDiscRecord& disc : Input()) store.Store(disc);
  store.Commit();

  EXPECT_EQ(test::FileContents(bulk), test::FileContents(one));
  // Nothing else is left in the folder.
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_ / "bulk" / "db")) ++entries;
  EXPECT_EQ(entries, 5u);
}

INSTANTIATE_TEST_SUITE_P(Starts, BulkStoreTest, testing::ValuesIn(kStarts), test::CaseName());

// Hundreds of discs with thousands of names: long names alike in their first bytes, names of
// every length, names met again; the second half stored over a database holding the first,
// repeating some of its discs. The bulk store's tables grow many times over and still find
// every name and disc that the one-by-one store finds.
TEST(BulkStoreTablesTest, FindEveryNameAndDiscAmongThousandsAsStoringOneByOneDoes) {
  test::TempDir dir;
  test::FixedDate today{45292};
  std::vector<TDiscRecord> discs;
  for (int i = 0; i < 600; ++i) {
    char key[9];
    std::snprintf(key, sizeof key, "%08X", 0xB0000000u + static_cast<unsigned>(i < 450 ? i : i - 300));
    TDiscRecord disc = RegisteredDisc(key, 4, PackMSF(40, 0, 0));
    disc.ArtistName = std::string(18, 'R') + std::to_string(i % 250);
    for (int n = 1; n <= 4; ++n) {
      disc.Tracks[n].Lyricsby = std::string(60, 'L') + std::to_string((i * 4 + n) % 1500);
      disc.Tracks[n].Musicby = std::to_string((i * 7 + n) % 1100);
      disc.Tracks[n].Arrangeby = std::string(static_cast<std::size_t>((i + n) % 96), 'A');
    }
    discs.push_back(disc);
  }
  TDiscDatabase one(today), bulk(today);
  one.DBOpen(dir / "one" / "MasterDB.QVR");
  bulk.DBOpen(dir / "bulk" / "MasterDB.QVR");
  for (std::size_t d = 0; d < 300; ++d) {
    one.DBStore(discs[d]);
    bulk.DBStore(discs[d]);
  }

  BulkStore store(bulk);
  for (std::size_t d = 300; d < discs.size(); ++d) {
    one.DBStore(discs[d]);
    store.Store(discs[d]);
  }
  store.Commit();
  EXPECT_EQ(test::FileContents(bulk), test::FileContents(one));
}

class BulkStoreFailureTest : public testing::Test {
 protected:
  test::TempDir dir_;
  test::FixedDate today_{45292};
};

TEST_F(BulkStoreFailureTest, RefusesA256thGenreAsTheOneByOneStoreDoesAndGoesOn) {
  TDiscDatabase one(today_), bulk(today_);
  one.DBOpen(dir_ / "one" / "MasterDB.QVR");
  bulk.DBOpen(dir_ / "bulk" / "MasterDB.QVR");
  BulkStore store(bulk);
  for (int g = 1; g <= 256; ++g) {
    TDiscRecord disc = RegisteredDisc("G" + std::to_string(g), 1, PackMSF(1, 0, 0));
    disc.Tracks[1].Genre = "Genre " + std::to_string(g);
    std::string one_error, bulk_error;
    try {
      one.DBStore(disc);
    } catch (const Error& error) {
      one_error = error.what();
    }
    try {
      store.Store(disc);
    } catch (const Error& error) {
      bulk_error = error.what();
    }
    EXPECT_EQ(bulk_error, one_error) << g;
    if (g == 256) {
      EXPECT_NE(bulk_error, "");
    }
  }
  store.Store(RegisteredDisc("AFTER", 1, PackMSF(1, 0, 0)));  // a known genre still goes in
  one.DBStore(RegisteredDisc("AFTER", 1, PackMSF(1, 0, 0)));
  store.Commit();
  EXPECT_EQ(test::FileContents(bulk), test::FileContents(one));
}

TEST_F(BulkStoreFailureTest, RefusesEveryDiscWhenAFileHasAnotherVersion) {
  TDiscDatabase db(today_);
  db.DBOpen(dir_ / "MasterDB.QVR");
  db.DBCreate();
  test::WriteFile(db.FilePath(DBFile::Label), std::string(kNameRecordSize, '\0'));
  const auto before = test::FileContents(db);
  {
    BulkStore store(db);
    EXPECT_THROW(store.Store(RegisteredDisc("0137EBFA", 2, 1)), Error);
    store.Commit();
  }
  EXPECT_EQ(test::FileContents(db), before);
}

// A commit stopped before each of its renames (as a killed process stops), and a store dropped
// without commit: the database passes the check and holds the discs of a prefix of the input.
TEST_F(BulkStoreFailureTest, AnInterruptedCommitLeavesAHealthyDatabaseHoldingAPrefix) {
  const std::vector<TDiscRecord> input = Input();
  for (int stop_at = 0; stop_at <= 5; ++stop_at) {
    SCOPED_TRACE(stop_at);
    TDiscDatabase db(today_);
    db.DBOpen(dir_ / std::to_string(stop_at) / "MasterDB.QVR");
    db.DBStore(RegisteredDisc("OTHER", 2, PackMSF(20, 0, 0)));
    {
      BulkStore store(db);
      for (const TDiscRecord& disc : input) store.Store(disc);
      int renamed = 0;
      store.BeforeRename = [&](DBFile) {
        if (renamed++ == stop_at) throw Error("stopped");
      };
      if (stop_at < 5) {
        EXPECT_THROW(store.Commit(), Error);
      } else {
        store.Commit();
      }
    }
    const DatabaseSnapshot snapshot = DatabaseSnapshot::Read(db.MasterPath());
    for (const CheckFinding& finding : CheckDatabase(snapshot)) EXPECT_FALSE(finding.Problem) << finding.Text;
    // The discs there besides OTHER are the input's first ones, each as last stored.
    ASSERT_GE(snapshot.Masters().size(), 1u);
    const std::size_t held = snapshot.Masters().size() - 1;
    EXPECT_TRUE(held == 0 || stop_at == 5) << held;
    test::RecordingProgress progress;
    for (const TDiscRecord& disc : input) {
      TDiscRecord drive = disc;
      drive.DiscName = "";
      const TDiscRecord found = db.DBLookup(drive, progress);
      EXPECT_EQ(found.DiscName.Empty(), stop_at < 5) << disc.DiscKey.Str();
    }
  }
}

}  // namespace
}  // namespace qvr
