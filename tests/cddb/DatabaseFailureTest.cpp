// The database on files that are not what they should be: foreign versions, files cut short by
// a crash, folders that cannot be written, and a genre file that is full.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "DatabaseTestSupport.h"
#include "cddb/DiscDatabase.h"
#include "support/CaseName.h"
#include "support/TempDir.h"
#include "util/Error.h"

namespace qvr {
namespace {

using test::DriveDisc;
using test::RegisteredDisc;

class DatabaseFailureTest : public testing::Test {
 protected:
  void SetUp() override { db_.DBOpen(dir_ / "MasterDB.QVR"); }

  test::TempDir dir_;
  test::FixedDate today_{45292};
  TDiscDatabase db_{today_};
  test::RecordingProgress progress_;
};

// One file of a stored database gets a header of another version; what a lookup still gives and
// that a store refuses without writing anything.
struct VersionCase {
  const char* name;
  DBFile file;
  // Adjusts the stored disc to what the lookup must find with that file unusable.
  void (*expect)(TDiscRecord& disc, const TDiscRecord& drive);
};

class WrongVersionTest : public DatabaseFailureTest, public testing::WithParamInterface<VersionCase> {};

TEST_P(WrongVersionTest, LookupUsesWhatItCanAndStoreWritesNothing) {
  // Eight tracks: a disc type guess (album, 1) would differ from the cleared record's 0.
  const TDiscRecord stored = RegisteredDisc("0137EBFA", 8, 300);
  db_.DBStore(stored);
  const DBFile file = GetParam().file;
  std::string bytes = test::ReadFile(db_.FilePath(file));
  const DBFileInfo& info = InfoOf(file);
  bytes[info.VersionOffset + info.Version.size()] = '3';  // "QVR V1.3" / "Q.V.R. Ver.1.3"
  test::WriteFile(db_.FilePath(file), bytes);

  const TDiscRecord drive = DriveDisc("0137EBFA", 8, 300);
  TDiscRecord expected = stored;
  GetParam().expect(expected, drive);
  EXPECT_EQ(db_.DBLookup(drive, progress_), expected);
  if (file == DBFile::Master) {
    EXPECT_TRUE(progress_.captions.empty());
  }

  const auto before = test::FileContents(db_);
  try {
    db_.DBStore(RegisteredDisc("00000002", 2, 10));
    ADD_FAILURE() << "store into a foreign file succeeded";
  } catch (const Error& error) {
    EXPECT_NE(std::string(error.what()).find(db_.FilePath(file).string()), std::string::npos) << error.what();
  }
  EXPECT_EQ(test::FileContents(db_), before);
}

INSTANTIATE_TEST_SUITE_P(
    EachFile, WrongVersionTest,
    testing::Values(
        VersionCase{"Master", DBFile::Master, [](TDiscRecord& disc, const TDiscRecord& drive) { disc = drive; }},
        VersionCase{"Track", DBFile::Track,
                    [](TDiscRecord& disc, const TDiscRecord& drive) {
                      for (std::size_t n = 1; n <= kMaxTracks; ++n) {
                        disc.Tracks[n] =
                            TTrackEntry{drive.Tracks[n].StartPos, drive.Tracks[n].Length, {}, {}, {}, {}, {}};
                      }
                    }},
        VersionCase{"Artist", DBFile::Artist,
                    [](TDiscRecord& disc, const TDiscRecord&) {
                      disc.ArtistName = "";
                      for (auto& track : disc.Tracks) track.Lyricsby = track.Musicby = track.Arrangeby = "";
                    }},
        VersionCase{"Label", DBFile::Label, [](TDiscRecord& disc, const TDiscRecord&) { disc.LabelName = ""; }},
        VersionCase{"Genre", DBFile::Genre,
                    [](TDiscRecord& disc, const TDiscRecord&) {
                      for (auto& track : disc.Tracks) track.Genre = "";
                    }}),
    test::CaseName());

TEST_F(DatabaseFailureTest, FileShorterThanItsHeaderIsNotADatabaseFile) {
  db_.DBCreate();
  test::WriteFile(db_.MasterPath(), "QVR");
  const TDiscRecord drive = DriveDisc("0137EBFA", 8, 300);
  EXPECT_EQ(db_.DBLookup(drive, progress_), drive);
  EXPECT_THROW(db_.DBStore(RegisteredDisc("0137EBFA", 3, 300)), Error);
  EXPECT_EQ(test::ReadFile(db_.MasterPath()), "QVR");
}

TEST_F(DatabaseFailureTest, FifoInPlaceOfAFileIsRefusedWithoutWaiting) {
  db_.DBStore(RegisteredDisc("00000001", 2, 100));
  for (DBFile file : {DBFile::Master, DBFile::Track, DBFile::Artist}) {
    const std::filesystem::path path = db_.FilePath(file);
    const std::filesystem::path kept = path.string() + ".kept";
    std::filesystem::rename(path, kept);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    alarm(10);  // a blocking open would hang here; the alarm ends the test instead
    try {
      db_.DBLookup(DriveDisc("00000001", 2, 100), progress_);
      ADD_FAILURE() << "looked up through a FIFO";
    } catch (const Error& error) {
      EXPECT_NE(std::string(error.what()).find(path.string()), std::string::npos) << error.what();
    }
    EXPECT_THROW(db_.DBStore(RegisteredDisc("00000002", 2, 100)), Error);
    alarm(0);
    std::filesystem::remove(path);
    std::filesystem::rename(kept, path);
  }
}

TEST_F(DatabaseFailureTest, PartialTrailingRecordIsIgnoredAndOverwrittenByTheNextAppend) {
  db_.DBStore(RegisteredDisc("00000001", 2, 100));
  // A crash in the middle of appending left part of a record behind in each disc file.
  for (DBFile file : {DBFile::Master, DBFile::Track, DBFile::Artist}) {
    test::WriteFile(db_.FilePath(file), test::ReadFile(db_.FilePath(file)) + std::string(50, '\x7F'));
  }
  EXPECT_EQ(db_.DBLookup(DriveDisc("00000001", 2, 100), progress_), RegisteredDisc("00000001", 2, 100));

  db_.DBStore(RegisteredDisc("00000002", 2, 100));
  EXPECT_EQ(std::filesystem::file_size(db_.MasterPath()), 3 * kMasterRecordSize);
  EXPECT_EQ(std::filesystem::file_size(db_.FilePath(DBFile::Track)), 5 * kTrackRecordSize);
  EXPECT_EQ(std::filesystem::file_size(db_.FilePath(DBFile::Artist)) % kNameRecordSize, 0u);
  EXPECT_EQ(db_.DBLookup(DriveDisc("00000002", 2, 100), progress_), RegisteredDisc("00000002", 2, 100));
  EXPECT_EQ(db_.DBLookup(DriveDisc("00000001", 2, 100), progress_), RegisteredDisc("00000001", 2, 100));
}

TEST_F(DatabaseFailureTest, Genre256IsRefusedBeforeAnythingIsWritten) {
  // A genre file with 254 genres: the 255th still fits its one-byte ID, the 256th does not.
  std::string genres = test::EncodedRecord<kGenreRecordSize>(GenreHeader());
  for (int id = 1; id <= 254; ++id) {
    genres +=
        test::EncodedRecord<kGenreRecordSize>(TGenreRecord{static_cast<std::uint8_t>(id), "G" + std::to_string(id)});
  }
  db_.DBCreate();
  test::WriteFile(db_.FilePath(DBFile::Genre), genres);

  TDiscRecord disc = RegisteredDisc("00000001", 2, 100);
  disc.Tracks[1].Genre = "G7";
  disc.Tracks[2].Genre = "Two hundred fifty-five";
  db_.DBStore(disc);
  EXPECT_EQ(db_.DBLookup(DriveDisc("00000001", 2, 100), progress_), disc);
  EXPECT_EQ(static_cast<unsigned char>(test::ReadFile(db_.FilePath(DBFile::Genre))[255 * kGenreRecordSize]), 255);

  const auto before = test::FileContents(db_);
  TDiscRecord full = RegisteredDisc("00000002", 3, 100);
  full.Tracks[1].Genre = "G1";
  full.Tracks[2].Genre = "\x83\x8D\x83\x62\x83\x4E";  // ロック, new
  full.Tracks[3].Genre = "G2";
  try {
    db_.DBStore(full);
    ADD_FAILURE() << "a 256th genre was stored";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()),
              "ジャンル「ロック」を登録できません。登録できるジャンルは255種類までです。既にあるジャンル名を使ってくだ"
              "さい。");
  }
  EXPECT_EQ(test::FileContents(db_), before);

  full.Tracks[2].Genre = "G200";  // an existing genre is fine
  db_.DBStore(full);
  EXPECT_EQ(db_.DBLookup(DriveDisc("00000002", 3, 100), progress_), full);
}

// Files that cannot be opened end the operation with the system's reason; run as an
// unprivileged user so that permissions count.
struct AccessCase {
  const char* name;
  void (*prepare)(const std::filesystem::path& folder);
  bool store;          // store instead of lookup
  const char* reason;  // expected in the message; nullptr: the operation succeeds
};

class FileAccessTest : public testing::TestWithParam<AccessCase> {};

TEST_P(FileAccessTest, OperationReportsTheSystemReasonOrWorks) {
  test::TempDir dir;
  chmod(dir.Path().c_str(), 0755);
  const std::filesystem::path folder = dir / "DB";
  std::filesystem::create_directory(folder);
  chmod(folder.c_str(), 0777);
  {
    test::FixedDate today(45292);
    TDiscDatabase setup(today);
    setup.DBOpen(folder / "MasterDB.QVR");
    setup.DBStore(RegisteredDisc("00000001", 2, 100));
    for (DBFile file : kAllDBFiles) chmod(setup.FilePath(file).c_str(), 0666);
  }
  GetParam().prepare(folder);
  const AccessCase param = GetParam();
  int result = test::RunUnprivileged([&] {
    test::FixedDate today(45292);
    TDiscDatabase db(today);
    db.DBOpen(folder / "MasterDB.QVR");
    try {
      if (param.store) {
        db.DBStore(RegisteredDisc("00000002", 2, 100));
      } else {
        TNoSearchProgress progress;
        if (db.DBLookup(DriveDisc("00000001", 2, 100), progress) != RegisteredDisc("00000001", 2, 100)) return 3;
      }
      return param.reason ? 1 : 0;
    } catch (const Error& error) {
      const std::string message = error.what();
      return param.reason && message.find(param.reason) != std::string::npos &&
                     message.find(folder.string()) != std::string::npos
                 ? 0
                 : 2;
    }
  });
  EXPECT_EQ(result, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileAccessTest,
    testing::Values(
        // A missing folder is made again, which needs a writable parent.
        AccessCase{"MissingFolderUnderAReadOnlyParent",
                   [](const std::filesystem::path& f) { std::filesystem::remove_all(f); }, false, "Permission denied"},
        AccessCase{"ReadOnlyMasterLookup",
                   [](const std::filesystem::path& f) { chmod((f / "MasterDB.QVR").c_str(), 0444); }, false, nullptr},
        AccessCase{"ReadOnlyDatabaseLookup",
                   [](const std::filesystem::path& f) {
                     for (DBFile file : kAllDBFiles) chmod((f / InfoOf(file).FileName).c_str(), 0444);
                     chmod(f.c_str(), 0555);
                   },
                   false, nullptr},
        AccessCase{"ReadOnlyDatabaseStore",
                   [](const std::filesystem::path& f) {
                     for (DBFile file : kAllDBFiles) chmod((f / InfoOf(file).FileName).c_str(), 0444);
                     chmod(f.c_str(), 0555);
                   },
                   true, "に書き込む権限がありません"},
        AccessCase{"ReadOnlyTrackFileStore",
                   [](const std::filesystem::path& f) { chmod((f / "TrackDB.QVR").c_str(), 0444); }, true,
                   "Permission denied"},
        AccessCase{"ReadOnlyFolderWithFilesLookup", [](const std::filesystem::path& f) { chmod(f.c_str(), 0555); },
                   false, nullptr},
        AccessCase{"ReadOnlyFolderWithFilesStore", [](const std::filesystem::path& f) { chmod(f.c_str(), 0555); }, true,
                   nullptr},
        AccessCase{"ReadOnlyFolderMissingFile",
                   [](const std::filesystem::path& f) {
                     std::filesystem::remove(f / "GenreDB.QVR");
                     chmod(f.c_str(), 0555);
                   },
                   true, "Permission denied"}),
    test::CaseName());

}  // namespace
}  // namespace qvr
