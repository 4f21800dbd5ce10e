// Real `qvrdb import` processes run at the same time into one database folder: every disc of
// every import is there afterwards, with its own texts, and the database is healthy. And an
// import killed at some moment leaves a healthy database holding a prefix of its input.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "cddb/DatabaseCheck.h"
#include "cddb/DatabaseSnapshot.h"
#include "support/CaseName.h"
#include "support/TempDir.h"

extern char** environ;

namespace qvr {
namespace {

struct ImportCase {
  const char* name;
  int processes;
  int discs;           // per process
  bool folder_exists;  // else every import finds no folder and makes it
};

// The key and texts of disc `d` of import `p`: all different, so that a disc carrying another
// disc's texts shows.
std::string Key(int p, int d) {
  char key[20];
  std::snprintf(key, sizeof key, "%02X%06X", p & 0xFF, d & 0xFFFFFF);
  return key;
}
std::string Title(int p, int d) { return "Title " + Key(p, d); }
std::string Artist(int p, int d) { return "Artist " + std::to_string(p) + "-" + std::to_string(d % 7); }
std::string Track(int p, int d) { return "Track " + Key(p, d); }

std::string ImportFile(int p, int discs) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (int d = 0; d < discs; ++d) {
    list.push_back({{"DiscKey", Key(p, d)},
                    {"TrackCount", 1},
                    {"DiscTime", 0x000400 + d % 60},
                    {"DiscName", Title(p, d)},
                    {"ArtistName", Artist(p, d)},
                    {"SaleDate", "2001-02-03"},
                    {"LabelName", "Label " + std::to_string(p)},
                    {"DiscType", 3},
                    {"JacketFile", ""},
                    {"LyricsFile", ""},
                    {"Tracks",
                     {{{"TrackNo", 1},
                       {"StartPos", 512},
                       {"Length", 66304},
                       {"TrackName", Track(p, d)},
                       {"Lyricsby", ""},
                       {"Musicby", ""},
                       {"Arrangeby", ""},
                       {"Genre", "Genre " + std::to_string(p % 3)}}}}});
  }
  return nlohmann::ordered_json{{"discs", list}}.dump();
}

class ConcurrentImportTest : public testing::TestWithParam<ImportCase> {};

TEST_P(ConcurrentImportTest, KeepsEveryDiscWithItsOwnTexts) {
  const ImportCase& param = GetParam();
  test::TempDir dir;
  const std::filesystem::path db = dir / "db";
  if (param.folder_exists) std::filesystem::create_directory(db);
  std::vector<std::string> files;
  for (int p = 0; p < param.processes; ++p) {
    files.push_back((dir / ("import" + std::to_string(p) + ".json")).string());
    test::WriteFile(files.back(), ImportFile(p, param.discs));
  }

  std::vector<pid_t> children;
  for (int p = 0; p < param.processes; ++p) {
    std::vector<std::string> arguments{QVR_QVRDB, "--db", db.string(), "import", files[p]};
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, QVR_QVRDB, nullptr, nullptr, argv.data(), environ), 0);
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  }

  const DatabaseSnapshot snapshot = DatabaseSnapshot::Read(db / "MasterDB.QVR");
  ASSERT_EQ(snapshot.Masters().size(), static_cast<std::size_t>(param.processes * param.discs));
  std::map<std::string, std::size_t> at;
  for (std::size_t i = 0; i < snapshot.Masters().size(); ++i) at[snapshot.Masters()[i].DiscKey.Str()] = i;
  for (int p = 0; p < param.processes; ++p) {
    for (int d = 0; d < param.discs; ++d) {
      auto found = at.find(Key(p, d));
      ASSERT_NE(found, at.end()) << Key(p, d);
      const TDiscRecord disc = snapshot.Disc(found->second);
      ASSERT_EQ(disc.DiscName.Str(), Title(p, d));
      ASSERT_EQ(disc.ArtistName.Str(), Artist(p, d));
      ASSERT_EQ(disc.LabelName.Str(), "Label " + std::to_string(p));
      ASSERT_EQ(disc.Tracks[1].TrackName.Str(), Track(p, d));
      ASSERT_EQ(disc.Tracks[1].Genre.Str(), "Genre " + std::to_string(p % 3));
    }
  }
  for (const CheckFinding& finding : CheckDatabase(snapshot)) EXPECT_FALSE(finding.Problem) << finding.Text;
}

INSTANTIATE_TEST_SUITE_P(Cases, ConcurrentImportTest,
                         testing::Values(ImportCase{"EightSmallIntoAnEmptyFolder", 8, 3, true},
                                         ImportCase{"EightSmallIntoNoFolder", 8, 3, false},
                                         ImportCase{"TwoLarge", 2, 1000, true}),
                         test::CaseName());

pid_t StartImport(const std::filesystem::path& db, const std::string& file) {
  std::vector<std::string> arguments{QVR_QVRDB, "--db", db.string(), "import", file};
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  if (posix_spawn(&child, QVR_QVRDB, nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return child;
}

struct KillCase {
  const char* name;
  int after_ms;  // how long the import runs before SIGKILL (it may finish first)
};

class KilledImportTest : public testing::TestWithParam<KillCase> {};

TEST_P(KilledImportTest, LeavesAHealthyDatabaseHoldingAPrefixOfTheInput) {
  constexpr int kDiscs = 3000;
  test::TempDir dir;
  const std::filesystem::path db = dir / "db";
  const std::string file = (dir / "import.json").string();
  test::WriteFile(file, ImportFile(1, kDiscs));
  test::WriteFile(dir / "first.json", ImportFile(0, 2));
  pid_t first = StartImport(db, (dir / "first.json").string());
  int status = 0;
  ASSERT_EQ(waitpid(first, &status, 0), first);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  const pid_t child = StartImport(db, file);
  ASSERT_GT(child, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(GetParam().after_ms));
  kill(child, SIGKILL);
  ASSERT_EQ(waitpid(child, &status, 0), child);

  // The two discs from before, then the input's first discs in its order, each with its texts.
  const DatabaseSnapshot snapshot = DatabaseSnapshot::Read(db / "MasterDB.QVR");
  for (const CheckFinding& finding : CheckDatabase(snapshot)) EXPECT_FALSE(finding.Problem) << finding.Text;
  ASSERT_GE(snapshot.Masters().size(), 2u);
  const std::size_t held = snapshot.Masters().size() - 2;
  EXPECT_TRUE(held == 0 || held == kDiscs) << held;  // the import is one transaction
  if (WIFEXITED(status)) {
    EXPECT_EQ(held, static_cast<std::size_t>(kDiscs));
  }
  for (std::size_t i = 0; i < snapshot.Masters().size(); ++i) {
    const int p = i < 2 ? 0 : 1;
    const int d = i < 2 ? static_cast<int>(i) : static_cast<int>(i - 2);
    const TDiscRecord disc = snapshot.Disc(i);
    ASSERT_EQ(disc.DiscKey.Str(), Key(p, d));
    ASSERT_EQ(disc.DiscName.Str(), Title(p, d));
    ASSERT_EQ(disc.Tracks[1].TrackName.Str(), Track(p, d));
  }

  // The next import goes through and clears what the killed one left behind.
  const pid_t again = StartImport(db, file);
  ASSERT_EQ(waitpid(again, &status, 0), again);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const DatabaseSnapshot after = DatabaseSnapshot::Read(db / "MasterDB.QVR");
  EXPECT_EQ(after.Masters().size(), static_cast<std::size_t>(kDiscs + 2));
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(db)) names.push_back(entry.path().filename().string());
  EXPECT_EQ(names.size(), 5u) << testing::PrintToString(names);
  for (const CheckFinding& finding : CheckDatabase(after)) EXPECT_FALSE(finding.Problem) << finding.Text;
}

INSTANTIATE_TEST_SUITE_P(Moments, KilledImportTest,
                         testing::Values(KillCase{"AtOnce", 0}, KillCase{"After20ms", 20}, KillCase{"After80ms", 80},
                                         KillCase{"After250ms", 250}, KillCase{"After700ms", 700}),
                         test::CaseName());

}  // namespace
}  // namespace qvr
