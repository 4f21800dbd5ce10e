// The validator with less sort memory than the database needs: the sorted identities, track keys
// and name hashes go through temporary files, and the findings are the same as in memory.
#include "cddb/DatabaseCheck.h"

#include <gtest/gtest.h>

#include "../../benchmarks/GeneratedDatabase.h"
#include "support/TempDir.h"

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

}  // namespace
}  // namespace qvr
