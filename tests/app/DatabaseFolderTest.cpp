// The database folder the player is set to: made when a first start finds none, and taken as a
// folder whether the setting ends in a separator or not.
#include <gtest/gtest.h>

#include "app/ControllerFixture.h"
#include "app/PlayerSettings.h"
#include "support/CaseName.h"

namespace qvr::test {
namespace {

struct FolderCase {
  const char* name;
  const char* setting;  // "DataBasePath" below the test's folder; nullptr: the default "DB/"
  const char* folder;   // where the files must be
};

class DatabaseFolderTest : public ControllerFixture, public testing::WithParamInterface<FolderCase> {};

TEST_P(DatabaseFolderTest, FirstStartMakesTheFolderAndFindsTheDiscThere) {
  std::filesystem::remove_all(dir / "DB");
  const FolderCase& param = GetParam();
  WriteSettings(param.setting ? "DataBasePath=\xA2" + (dir / param.setting).string() + "\xA3\r\n" : "");
  drive.InsertDisc(Toc({10, 10, 10}));
  Started();
  EXPECT_EQ(view.errors, std::vector<std::string>{});
  for (DBFile file : kAllDBFiles) {
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / param.folder / InfoOf(file).FileName)) << InfoOf(file).FileName;
  }
  EXPECT_FALSE(std::filesystem::exists(dir / (std::string(param.folder) + "MasterDB.QVR")));
}

INSTANTIATE_TEST_SUITE_P(Cases, DatabaseFolderTest,
                         testing::Values(FolderCase{"DefaultFolder", nullptr, "DB"},
                                         FolderCase{"NestedWithSeparator", "data/disc db/", "data/disc db"},
                                         FolderCase{"NestedWithoutSeparator", "data/discs", "data/discs"}),
                         CaseName());

TEST(MasterFileIn, TakesTheSettingAsAFolderEitherWay) {
  EXPECT_EQ(MasterFileIn("/data/db/"), std::filesystem::path("/data/db/MasterDB.QVR"));
  EXPECT_EQ(MasterFileIn("/data/db"), std::filesystem::path("/data/db/MasterDB.QVR"));
  EXPECT_EQ(MasterFileIn("/data/\x83\x66\x81\x5B\x83\x5E"), std::filesystem::path("/data/データ/MasterDB.QVR"));
}

}  // namespace
}  // namespace qvr::test
