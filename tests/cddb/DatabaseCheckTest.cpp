// The validator's checks across records: in memory, and with less memory than the database
// needs, when the disc identities and name hashes go through temporary files split by hash; the
// findings are the same either way.
#include "cddb/DatabaseCheck.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "../../benchmarks/GeneratedDatabase.h"
#include "support/TempDir.h"
#include "util/Error.h"

namespace qvr {
namespace {

// Appends a copy of record `index` of `name` (records of `size` bytes), with `change` applied.
void AppendCopy(
    const std::filesystem::path& path, std::size_t size, std::size_t index,
    const std::function<void(std::string&)>& change = [](std::string&) {}) {
  std::string bytes = test::ReadFile(path);
  std::string record = bytes.substr(index * size, size);
  change(record);
  test::WriteFile(path, bytes + record);
}

TEST(DatabaseCheckTest, FindsTheSameProblemsWhenItsSortsSpillToTemporaryFiles) {
  test::TempDir dir;
  bench::Generate(dir.Path(), 400);
  const std::filesystem::path master = dir / "MasterDB.QVR";
  // A repeated disc, a repeated track, a track without its disc, an artist whose ID is not its
  // record number, and a repeated genre name.
  AppendCopy(master, kMasterRecordSize, 17);
  AppendCopy(dir / "TrackDB.QVR", kTrackRecordSize, 40);
  AppendCopy(dir / "TrackDB.QVR", kTrackRecordSize, 41, [](std::string& r) { r[track_layout::DiscTime.Offset] ^= 1; });
  AppendCopy(dir / "ArtistDB.QVR", kNameRecordSize, 5, [](std::string& r) { r[name_layout::Name.Offset + 1] = 'X'; });
  AppendCopy(dir / "GenreDB.QVR", kGenreRecordSize, 3, [](std::string& r) { r[genre_layout::ID.Offset] = 31; });

  const std::vector<CheckFinding> in_memory = CheckDatabase(master);
  const std::vector<CheckFinding> spilled = CheckDatabase(master, 256);
  ASSERT_EQ(spilled.size(), in_memory.size());
  for (std::size_t i = 0; i < spilled.size(); ++i) EXPECT_EQ(spilled[i].Text, in_memory[i].Text);
  std::string all;
  for (const CheckFinding& finding : spilled) all += finding.Text + "\n";
  for (const char* expected :
       {"MasterDB.QVR レコード 401: ディスク", "はレコード 17 と重複しており", "TrackDB.QVR レコード 4801: ディスク",
        "のトラック 4 はレコード 40 と重複しています", "ArtistDB.QVR レコード 301: ID 5 はレコード 5 と重複しています",
        "GenreDB.QVR レコード 31: 名前「Genre 2」はレコード 3 と重複しています",
        "1 件のトラックレコードにはマスターレコードがありません"}) {
    EXPECT_NE(all.find(expected), std::string::npos) << expected << "\n" << all;
  }
}

// The texts of `findings` as check prints them.
std::vector<std::string> Lines(const std::vector<CheckFinding>& findings) {
  std::vector<std::string> lines;
  for (const CheckFinding& finding : findings) lines.push_back((finding.Problem ? "問題: " : "注意: ") + finding.Text);
  return lines;
}

std::string IdentityOf(int disc) {
  return "(" + bench::DiscKey(disc) + ", 12 曲, " + std::to_string(bench::DiscTime(disc)) + ")";
}

// Track records are checked by track number whatever order and pieces the file holds them in.
// Disc d's track n is record 12 * d + n of the generated file (50 discs: records 1..600).
TEST(DatabaseCheckTest, FindsRepeatedAndMissingTracksInAnyOrderOfTheTrackFile) {
  using Tracks = std::vector<std::string>;  // the track records, record 1 first
  const struct {
    const char* name;
    std::function<void(Tracks&)> damage;
    std::vector<std::string> expected;
  } cases[] = {
      {"ADiscsTracksBackwards", [](Tracks& t) { std::reverse(t.begin(), t.begin() + 12); }, {}},
      {"ARepeatedTrackOfADiscStoredBackwards",
       [](Tracks& t) {
         std::reverse(t.begin(), t.begin() + 12);
         t.push_back(t[11]);
       },
       {"問題: TrackDB.QVR レコード 601: ディスク " + IdentityOf(0) + " のトラック 1 はレコード 12 と重複しています"}},
      {"TwoDiscsCutInPiecesAndSwapped",
       [](Tracks& t) { std::swap_ranges(t.begin() + 30, t.begin() + 36, t.begin() + 588); },
       {}},
      {"APartOfADiscRepeatedAtTheEnd",
       [](Tracks& t) { t.insert(t.end(), t.begin() + 62, t.begin() + 65); },
       {"問題: TrackDB.QVR レコード 601: ディスク " + IdentityOf(5) + " のトラック 3 はレコード 63 と重複しています",
        "問題: TrackDB.QVR レコード 602: ディスク " + IdentityOf(5) + " のトラック 4 はレコード 64 と重複しています",
        "問題: TrackDB.QVR レコード 603: ディスク " + IdentityOf(5) + " のトラック 5 はレコード 65 と重複しています"}},
      // A key length past its room is read as 8 bytes, but a search never finds the record: the
      // found copy after it is the track.
      {"ADamagedKeyBeforeItsFoundCopy",
       [](Tracks& t) {
         t.push_back(t[85]);
         t[85][track_layout::DiscKey.Offset] = 9;
       },
       {"問題: TrackDB.QVR レコード 86: DiscKey の長さが容量を超えています (容量までとして読みます)",
        "問題: TrackDB.QVR レコード 86: ディスク " + IdentityOf(7) + " のトラック 2 はレコード 601 と重複しています"}},
      {"ADamagedKeyAlone",
       [](Tracks& t) { t[111][track_layout::DiscKey.Offset] = static_cast<char>(200); },
       {"問題: TrackDB.QVR レコード 112: DiscKey の長さが容量を超えています (容量までとして読みます)",
        "問題: MasterDB.QVR レコード 10: トラック 4 のレコードが TrackDB.QVR にありません"}},
      {"TracksOfNoDisc",
       [](Tracks& t) {
         for (int i = 12; i < 15; ++i) {
           t.push_back(t[i]);
           t.back()[track_layout::DiscTime.Offset] ^= 1;
         }
       },
       {"注意: TrackDB.QVR: 3 件のトラックレコードにはマスターレコードがありません (登録の途中で中断された跡です)"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    bench::Generate(dir.Path(), 50);
    const std::string file = test::ReadFile(dir / "TrackDB.QVR");
    Tracks tracks;
    for (std::size_t at = kTrackRecordSize; at < file.size(); at += kTrackRecordSize) {
      tracks.push_back(file.substr(at, kTrackRecordSize));
    }
    c.damage(tracks);
    std::string damaged = file.substr(0, kTrackRecordSize);
    for (const std::string& track : tracks) damaged += track;
    test::WriteFile(dir / "TrackDB.QVR", damaged);
    for (std::size_t memory : {kCheckMemory, std::size_t{256}, std::size_t{2048}}) {
      EXPECT_EQ(Lines(CheckDatabase(dir / "MasterDB.QVR", memory)), c.expected) << "memory " << memory;
    }
  }
}

// A database that fits its memory never touches a temporary file; one that does not fails with
// the folder and the reason when no temporary file can be made.
TEST(DatabaseCheckTest, WritesTemporaryFilesOnlyPastItsMemoryAndSaysWhereTheyCouldNotGo) {
  test::TempDir dir;
  bench::Generate(dir.Path(), 50);
  const std::string missing = (dir / "no such folder").string();
  const char* before = std::getenv("TMPDIR");
  const std::string saved = before ? before : "";
  setenv("TMPDIR", missing.c_str(), 1);
  EXPECT_EQ(Lines(CheckDatabase(dir / "MasterDB.QVR")), std::vector<std::string>{});
  try {
    CheckDatabase(dir / "MasterDB.QVR", 256);
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), "一時ファイルを書き込めません (" + missing + "): No such file or directory");
  }
  if (before) {
    setenv("TMPDIR", saved.c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
}

}  // namespace
}  // namespace qvr
