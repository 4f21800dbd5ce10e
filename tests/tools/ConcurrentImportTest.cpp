// Real `qvrdb import` processes run at the same time into one database folder: every disc of
// every import is there afterwards, with its own texts, and the database is healthy.
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <map>
#include <string>
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
  int discs;               // per process
  bool folder_exists;      // else every import finds no folder and makes it
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
    list.push_back({{"DiscKey", Key(p, d)}, {"TrackCount", 1}, {"DiscTime", 0x000400 + d % 60},
                    {"DiscName", Title(p, d)}, {"ArtistName", Artist(p, d)}, {"SaleDate", "2001-02-03"},
                    {"LabelName", "Label " + std::to_string(p)}, {"DiscType", 3}, {"JacketFile", ""},
                    {"LyricsFile", ""},
                    {"Tracks", {{{"TrackNo", 1}, {"StartPos", 512}, {"Length", 66304}, {"TrackName", Track(p, d)},
                                 {"Lyricsby", ""}, {"Musicby", ""}, {"Arrangeby", ""}, {"Genre", "Genre " + std::to_string(p % 3)}}}}});
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

}  // namespace
}  // namespace qvr
