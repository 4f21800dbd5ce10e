// The program folder: the executable's folder when writable, else the per-user data folder.
#include "util/ProgramFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "support/TempDir.h"

namespace qvr {
namespace {

TEST(ProgramFolder, IsTheExecutablesFolderWhenWritable) {
  test::TempDir dir;
  EXPECT_EQ(ProgramFolderFor(dir / "qvr", dir / "data"), dir.Path());
  EXPECT_FALSE(std::filesystem::exists(dir / "data"));
  // The tests themselves run from the build's program folder.
  EXPECT_EQ(ProgramFolder(), ProgramFile().parent_path());
}

TEST(ProgramFolder, FallsBackToUserDataFolderWhenReadOnly) {
  test::TempDir dir;
  chmod(dir.Path().c_str(), 0755);
  std::filesystem::create_directory(dir / "bin");
  std::filesystem::create_directory(dir / "home");
  chmod((dir / "bin").c_str(), 0555);
  chmod((dir / "home").c_str(), 0777);
  const auto program = dir / "bin" / "qvr";
  const auto data = dir / "home" / "share";
  int result = test::RunUnprivileged([&] { return ProgramFolderFor(program, data) == data / "qvr" ? 0 : 1; });
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(std::filesystem::is_directory(data / "qvr"));
}

TEST(ProgramFolder, InstalledProgramUsesUserDataFolderEvenWhenWritable) {
  test::TempDir dir;
  std::filesystem::create_directories(dir / "prefix" / "bin");
  std::filesystem::create_directories(dir / "prefix" / "share" / "qvr" / "demo");
  EXPECT_EQ(ProgramFolderFor(dir / "prefix" / "bin" / "qvr", dir / "data"), dir / "data" / "qvr");
  EXPECT_TRUE(std::filesystem::is_directory(dir / "data" / "qvr"));
}

// The demo disc is found beside a build tree's program, else under an installed program's
// share/qvr; a folder without its cue sheet offers none.
TEST(ProgramFolder, DemoDiscIsFoundInTheBuildTreeOrTheInstalledDataFolder) {
  test::TempDir dir;
  const auto touch = [](const std::filesystem::path& file) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << "FILE \"QvrDemo.bin\" BINARY\n";
  };
  const auto program = dir / "prefix" / "bin" / "qvr";
  std::filesystem::create_directories(program.parent_path());
  EXPECT_EQ(DemoDiscFor(program), std::filesystem::path());
  std::filesystem::create_directories(dir / "prefix" / "share" / "qvr" / "demo");
  EXPECT_EQ(DemoDiscFor(program), std::filesystem::path());
  const auto installed = dir / "prefix" / "share" / "qvr" / "demo" / "QvrDemo.cue";
  touch(installed);
  EXPECT_EQ(DemoDiscFor(program), installed);
  const auto built = dir / "prefix" / "bin" / "demo" / "QvrDemo.cue";
  touch(built);
  EXPECT_EQ(DemoDiscFor(program), built);
}

}  // namespace
}  // namespace qvr
