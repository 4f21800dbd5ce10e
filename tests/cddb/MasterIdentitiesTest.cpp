// The master file's identities read in one pass, a disc found among them, and the lookup of a
// disc at the place found: the same result as the player's lookup.
#include "cddb/MasterIdentities.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "DatabaseTestSupport.h"
#include "support/TempDir.h"

namespace qvr {
namespace {

using test::DriveDisc;
using test::RegisteredDisc;

using MasterIdentitiesTest = test::OpenDatabaseTest;

TEST_F(MasterIdentitiesTest, FindsTheFirstRecordOfADiscAndWhereItsTracksLie) {
  // Discs without tracks and with more than 99 count as many tracks as their stores write.
  const TDiscRecord discs[] = {RegisteredDisc("AAAA0001", 3, 1000), RegisteredDisc("BBBB0002", 0, 2000),
                               RegisteredDisc("CCCC0003", 120, 3000), RegisteredDisc("AAAA0001", 4, 1000),
                               RegisteredDisc("aaaa0001", 3, 1000)};
  for (const TDiscRecord& disc : discs) db_.DBStore(disc);
  // A second record of the first disc, after the others.
  const std::string master = test::ReadFile(db_.FilePath(DBFile::Master));
  test::WriteFile(db_.FilePath(DBFile::Master), master + master.substr(kMasterRecordSize, kMasterRecordSize));

  const MasterIdentities identities(db_.MasterPath());
  EXPECT_EQ(identities.Count(), 6u);
  const struct {
    DiscIdentity disc;
    std::size_t record, first_track;
  } cases[] = {
      {{"AAAA0001", 3, 1000}, 1, 1},   {{"BBBB0002", 0, 2000}, 2, 4},   {{"CCCC0003", 120, 3000}, 3, 4},
      {{"AAAA0001", 4, 1000}, 4, 103}, {{"aaaa0001", 3, 1000}, 5, 107},
  };
  for (const auto& c : cases) {
    const std::optional<MasterPlace> place = identities.Find(c.disc);
    ASSERT_TRUE(place) << c.disc.DiscKey.Str();
    EXPECT_EQ(place->Record, c.record) << c.disc.DiscKey.Str();
    EXPECT_EQ(place->FirstTrack, c.first_track) << c.disc.DiscKey.Str();
  }
  for (const DiscIdentity& other :
       {DiscIdentity{"AAAA0001", 3, 1001}, DiscIdentity{"AAAA000", 3, 1000}, DiscIdentity{"", 3, 1000}}) {
    EXPECT_FALSE(identities.Find(other)) << other.DiscKey.Str();
  }

  // A disc known before the pass reaches a record is searched for directly, and the pass keeps
  // no fingerprints: the same places, for that disc and (read again) for any other.
  for (const auto& c : cases) {
    SoughtDisc sought;
    sought.Set(c.disc);
    const MasterIdentities searched(db_.MasterPath(), &sought);
    EXPECT_EQ(searched.Count(), 0u);
    for (const auto& d : cases) {
      const std::optional<MasterPlace> place = searched.Find(d.disc);
      ASSERT_TRUE(place) << c.disc.DiscKey.Str() << " " << d.disc.DiscKey.Str();
      EXPECT_EQ(place->Record, d.record) << c.disc.DiscKey.Str() << " " << d.disc.DiscKey.Str();
      EXPECT_EQ(place->FirstTrack, d.first_track) << c.disc.DiscKey.Str() << " " << d.disc.DiscKey.Str();
    }
    EXPECT_FALSE(searched.Find({"AAAA0001", 3, 1001}));
  }
  SoughtDisc unknown;
  unknown.Set({"DDDD0004", 1, 1000});
  EXPECT_FALSE(MasterIdentities(db_.MasterPath(), &unknown).Find({"DDDD0004", 1, 1000}));
}

TEST_F(MasterIdentitiesTest, ARecordWhoseFingerprintMatchesIsReadToBeSure) {
  // A disc of another identity with the same fingerprint, stored first.
  const DiscIdentity wanted{"BBBB0002", 2, 2000};
  std::uint32_t time = 1;
  while (MasterIdentities::FingerprintOf({"AAAA0001", 3, time}) != MasterIdentities::FingerprintOf(wanted)) ++time;
  db_.DBStore(RegisteredDisc("AAAA0001", 3, time));
  db_.DBStore(RegisteredDisc("BBBB0002", 2, 2000));
  const MasterIdentities identities(db_.MasterPath());
  const std::optional<MasterPlace> place = identities.Find(wanted);
  ASSERT_TRUE(place);
  EXPECT_EQ(place->Record, 2u);
  EXPECT_EQ(place->FirstTrack, 4u);
  EXPECT_FALSE(identities.Find({"CCCC0003", 2, 2000}));
}

TEST_F(MasterIdentitiesTest, AMissingOrForeignMasterFileHasNoRecordsAndNothingIsCreated) {
  EXPECT_EQ(MasterIdentities(db_.MasterPath()).Count(), 0u);
  EXPECT_EQ(MasterIdentities(dir_ / "no folder" / "MasterDB.QVR").Count(), 0u);
  EXPECT_FALSE(std::filesystem::exists(db_.MasterPath()));

  db_.DBStore(RegisteredDisc("AAAA0001", 3, 1000));
  std::string master = test::ReadFile(db_.FilePath(DBFile::Master));
  master[5] = 'q';  // "qVR V1.2"
  test::WriteFile(db_.FilePath(DBFile::Master), master);
  EXPECT_EQ(MasterIdentities(db_.MasterPath()).Count(), 0u);
}

TEST_F(MasterIdentitiesTest, LookupAtTheFoundPlaceIsThePlayersLookup) {
  const TDiscRecord discs[] = {RegisteredDisc("AAAA0001", 3, 1000), RegisteredDisc("BBBB0002", 12, 2000),
                               RegisteredDisc("CCCC0003", 1, 3000)};
  for (const TDiscRecord& disc : discs) db_.DBStore(disc);
  const MasterIdentities identities(db_.MasterPath());
  for (const TDiscRecord& disc : discs) {
    const TDiscRecord drive = DriveDisc(disc.DiscKey.View(), disc.TrackCount, disc.DiscTime);
    const TDiscRecord at = db_.DBLookupAt(drive, *identities.Find({disc.DiscKey, disc.TrackCount, disc.DiscTime}));
    EXPECT_EQ(at, disc);
    EXPECT_EQ(at, Lookup(drive));
  }

  // The master file rewritten since its identities were read (C's record first): the place
  // read no longer holds the disc, and the lookup searches for it.
  const std::string master = test::ReadFile(db_.FilePath(DBFile::Master));
  test::WriteFile(db_.FilePath(DBFile::Master), master.substr(0, kMasterRecordSize) +
                                                    master.substr(3 * kMasterRecordSize) +
                                                    master.substr(kMasterRecordSize, 2 * kMasterRecordSize));
  const TDiscRecord drive = DriveDisc("AAAA0001", 3, 1000);
  EXPECT_EQ(db_.DBLookupAt(drive, *identities.Find({"AAAA0001", 3, 1000})), discs[0]);
  // A place past the end of the file, and a disc the file does not have.
  EXPECT_EQ(db_.DBLookupAt(drive, MasterPlace{40, 1}), discs[0]);
  TDiscRecord unknown = DriveDisc("DDDD0004", 6, 4000);
  TDiscRecord guessed = unknown;
  guessed.DiscType = 2;
  EXPECT_EQ(db_.DBLookupAt(unknown, MasterPlace{1, 1}), guessed);
}

}  // namespace
}  // namespace qvr
