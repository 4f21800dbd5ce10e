// Whole-file replacement: new and existing files, kept permissions, and failures that leave
// the old file untouched and name the file.
#include "util/AtomicFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/TempDir.h"

namespace qvr {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(ReplaceFileContents, CreatesAndReplacesWithoutLeavingTemporaries) {
  TempDir dir;
  ReplaceFileContents(dir / "a.ini", "first");
  ReplaceFileContents(dir / "a.ini", "second, longer");
  EXPECT_EQ(ReadFile(dir / "a.ini"), "second, longer");
  int files = 0;
  for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(dir.Path())) ++files;
  EXPECT_EQ(files, 1);
}

TEST(ReplaceFileContents, KeepsTheModeOfTheReplacedFile) {
  TempDir dir;
  WriteFile(dir / "a.ini", "old");
  chmod((dir / "a.ini").c_str(), 0600);
  ReplaceFileContents(dir / "a.ini", "new");
  struct stat state {};
  ASSERT_EQ(stat((dir / "a.ini").c_str(), &state), 0);
  EXPECT_EQ(state.st_mode & 0777, 0600u);
}

TEST(ReplaceFileContents, FailureInReadOnlyFolderLeavesOldFileAndNamesIt) {
  TempDir dir;
  chmod(dir.Path().c_str(), 0755);
  std::filesystem::create_directory(dir / "ro");
  WriteFile(dir / "ro" / "a.ini", "precious");
  chmod((dir / "ro").c_str(), 0555);
  const auto target = dir / "ro" / "a.ini";
  int result = test::RunUnprivileged([&] {
    try {
      ReplaceFileContents(target, "new");
      return 1;
    } catch (const FileWriteError& error) {
      std::string message = error.what();
      return message.find(target.string()) != std::string::npos && error.Path() == target ? 0 : 2;
    }
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadFile(target), "precious");
}

TEST(ReplaceFileContents, FailureWhenFolderIsAFile) {
  TempDir dir;
  WriteFile(dir / "file", "x");
  EXPECT_THROW(ReplaceFileContents(dir / "file" / "a.ini", "new"), FileWriteError);
  EXPECT_EQ(ReadFile(dir / "file"), "x");
}

TEST(ReplaceFileContents, WritesThroughLinksToTheirTarget) {
  TempDir dir;
  std::filesystem::create_directories(dir / "real");
  WriteFile(dir / "real" / "a.ini", "old");
  std::filesystem::create_symlink("real/a.ini", dir / "a.ini");              // relative
  std::filesystem::create_symlink(dir / "a.ini", dir / "b.ini");             // a link to the link
  std::filesystem::create_symlink(dir / "real" / "new.ini", dir / "c.ini");  // to a file not made yet
  ReplaceFileContents(dir / "b.ini", "through two links");
  ReplaceFileContents(dir / "c.ini", "made at the target");
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "a.ini"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "b.ini"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "c.ini"));
  EXPECT_EQ(ReadFile(dir / "real" / "a.ini"), "through two links");
  EXPECT_EQ(ReadFile(dir / "real" / "new.ini"), "made at the target");
}

TEST(ReplaceFileContents, ReadOnlyFileIsNotReplaced) {
  TempDir dir;
  WriteFile(dir / "a.ini", "kept");
  chmod((dir / "a.ini").c_str(), 0444);
  EXPECT_THROW(ReplaceFileContents(dir / "a.ini", "new"), FileWriteError);
  EXPECT_EQ(ReadFile(dir / "a.ini"), "kept");
  int files = 0;
  for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(dir.Path())) ++files;
  EXPECT_EQ(files, 1);
}

TEST(ReplaceFileContents, RemovesTemporariesOfInterruptedSavesButNotOfRunningOnes) {
  TempDir dir;
  WriteFile(dir / "a.ini", "old");
  WriteFile(dir / ".a.ini.k1LL3d", std::string(1 << 20, 'x'));  // a save killed mid-way
  WriteFile(dir / ".a.ini.runnin", "being written");            // a save still running
  WriteFile(dir / ".a.ini.notes", "not one of ours");
  WriteFile(dir / ".b.ini.k1LL3d", "another file's");
  const int running = open((dir / ".a.ini.runnin").c_str(), O_RDONLY);
  ASSERT_GE(running, 0);
  ASSERT_EQ(flock(running, LOCK_EX), 0);
  ReplaceFileContents(dir / "a.ini", "new");
  close(running);
  EXPECT_EQ(ReadFile(dir / "a.ini"), "new");
  EXPECT_FALSE(std::filesystem::exists(dir / ".a.ini.k1LL3d"));
  EXPECT_TRUE(std::filesystem::exists(dir / ".a.ini.runnin"));
  EXPECT_TRUE(std::filesystem::exists(dir / ".a.ini.notes"));
  EXPECT_TRUE(std::filesystem::exists(dir / ".b.ini.k1LL3d"));
}

// A replacement of a file not there yet: nothing shows before Commit, the file appears whole
// with the usual mode and no temporary is left; a file that appeared meanwhile is never replaced.
TEST(FileReplacement, NewFileAppearsWholeAtCommitAndNeverOverAnother) {
  TempDir dir;
  const auto count = [&] {
    int files = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(dir.Path())) ++files;
    return files;
  };
  {
    FileReplacement file(dir / "new.db", FileReplacement::NewFile{});
    file.WriteAt(0, "header", 6);
    file.WriteAt(6, "records", 7);
    EXPECT_FALSE(std::filesystem::exists(dir / "new.db"));
    file.Sync();
    file.Commit();
  }
  EXPECT_EQ(ReadFile(dir / "new.db"), "headerrecords");
  struct stat state {};
  ASSERT_EQ(stat((dir / "new.db").c_str(), &state), 0);
  EXPECT_EQ(state.st_mode & 0777, 0644u);
  EXPECT_EQ(count(), 1);

  {
    FileReplacement late(dir / "other.db", FileReplacement::NewFile{});
    late.WriteAt(0, "mine", 4);
    WriteFile(dir / "other.db", "theirs");
    EXPECT_THROW(late.Commit(), FileWriteError);
  }
  EXPECT_EQ(ReadFile(dir / "other.db"), "theirs");
  EXPECT_EQ(count(), 2);
  {
    FileReplacement abandoned(dir / "never.db", FileReplacement::NewFile{});
    abandoned.WriteAt(0, "x", 1);
  }
  EXPECT_EQ(count(), 2);
}

TEST(ReadWholeFile, MissingFileIsNotAnError) {
  TempDir dir;
  std::string contents = "stale";
  EXPECT_FALSE(ReadWholeFile(dir / "none", contents));
  WriteFile(dir / "bin", std::string("\0\xFF\r\n", 4));
  ASSERT_TRUE(ReadWholeFile(dir / "bin", contents));
  EXPECT_EQ(contents, std::string("\0\xFF\r\n", 4));
  EXPECT_THROW(ReadWholeFile(dir.Path(), contents), Error);  // a folder cannot be read as a file
}

}  // namespace
}  // namespace qvr
