// The single-instance guard: a second guard on the same lock sees the first; the lock lives in a
// private folder of the user, and anything another user or a planted link could make of that
// folder or the lock file is refused without stopping the program.
#include "platform/SingleInstance.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/CaseName.h"
#include "support/TempDir.h"

namespace qvr {
namespace {

namespace fs = std::filesystem;

mode_t ModeOf(const fs::path& path) {
  struct stat status {};
  EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
  return status.st_mode & 07777;
}

TEST(SingleInstance, SecondGuardSeesTheFirstUntilItEnds) {
  test::TempDir dir;
  const fs::path folder = dir / "run";
  {
    SingleInstance first("hZLQVR", folder);
    EXPECT_TRUE(first.Acquired());
    EXPECT_FALSE(first.OtherInstanceRunning());
    EXPECT_EQ(first.Folder(), folder);
    SingleInstance second("hZLQVR", folder);
    EXPECT_FALSE(second.Acquired());
    EXPECT_TRUE(second.OtherInstanceRunning());
  }
  SingleInstance after("hZLQVR", folder);
  EXPECT_TRUE(after.Acquired());
}

TEST(SingleInstance, MakesItsFolderPrivateAndTheLockTheUsersOwn) {
  test::TempDir dir;
  SingleInstance guard("hZLQVR", dir / "data" / "run");
  ASSERT_TRUE(guard.Acquired());
  EXPECT_EQ(ModeOf(dir / "data" / "run"), 0700u);
  EXPECT_EQ(ModeOf(dir / "data" / "run" / "hZLQVR"), 0600u);
  // A folder of the user's that others could enter is closed to them.
  fs::create_directory(dir / "open");
  fs::permissions(dir / "open", fs::perms::all);
  SingleInstance other("hZLQVR", dir / "open");
  EXPECT_TRUE(other.Acquired());
  EXPECT_EQ(ModeOf(dir / "open"), 0700u);
}

struct RefusedCase {
  const char* name;
  bool needs_root;
  // Prepares `folder` (the guard's folder) in `dir`; `elsewhere` is a folder a link may point to.
  std::function<void(const fs::path& folder, const fs::path& elsewhere)> make;
};

class RefusedLock : public testing::TestWithParam<RefusedCase> {};

uid_t Nobody() {
  const passwd* entry = ::getpwnam("nobody");
  return entry != nullptr ? entry->pw_uid : 65534;
}

TEST_P(RefusedLock, GuardsNothingStopsNothingAndWritesNothingThroughLinks) {
  if (GetParam().needs_root && ::geteuid() != 0) GTEST_SKIP() << "needs root to give a file away";
  test::TempDir dir;
  const fs::path folder = dir / "run", elsewhere = dir / "elsewhere";
  fs::create_directory(elsewhere);
  GetParam().make(folder, elsewhere);
  SingleInstance guard("hZLQVR", folder);
  EXPECT_FALSE(guard.Acquired());
  EXPECT_FALSE(guard.OtherInstanceRunning());
  EXPECT_TRUE(guard.Folder().empty());
  EXPECT_TRUE(fs::is_empty(elsewhere));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedLock,
    testing::Values(RefusedCase{"FolderIsALink", false,
                                [](const fs::path& folder, const fs::path& elsewhere) {
                                  fs::create_directory_symlink(elsewhere, folder);
                                }},
                    RefusedCase{"LockIsALink", false,
                                [](const fs::path& folder, const fs::path& elsewhere) {
                                  fs::create_directory(folder);
                                  fs::permissions(folder, fs::perms::owner_all);
                                  fs::create_symlink(elsewhere / "planted", folder / "hZLQVR");
                                }},
                    RefusedCase{
                        "LockIsAFolder", false,
                        [](const fs::path& folder, const fs::path&) { fs::create_directories(folder / "hZLQVR"); }},
                    RefusedCase{"FolderOfAnotherUser", true,
                                [](const fs::path& folder, const fs::path&) {
                                  fs::create_directory(folder);
                                  ASSERT_EQ(::chown(folder.c_str(), Nobody(), static_cast<gid_t>(-1)), 0);
                                }},
                    RefusedCase{"LockOfAnotherUser", true,
                                [](const fs::path& folder, const fs::path&) {
                                  fs::create_directory(folder);
                                  { std::ofstream(folder / "hZLQVR").put('x'); }
                                  ASSERT_EQ(::chown((folder / "hZLQVR").c_str(), Nobody(), static_cast<gid_t>(-1)), 0);
                                }}),
    test::CaseName());

// A folder that cannot be used is passed over for the next one, and said: two starts that meet
// the same planted link or foreign folder still meet each other in the next folder. With no
// folder left, the guard stops nothing, and says why.
TEST(SingleInstance, PassesOverAFolderItCannotUseAndSaysWhy) {
  test::TempDir dir;
  fs::create_directory(dir / "elsewhere");
  fs::create_directory_symlink(dir / "elsewhere", dir / "linked");
  const std::vector<fs::path> folders{dir / "linked", dir / "fallback"};
  SingleInstance first("hZLQVR", folders);
  EXPECT_TRUE(first.Acquired());
  EXPECT_EQ(first.Folder(), dir / "fallback");
  EXPECT_EQ(first.Refusals(), (dir / "linked").string() + " を使えません: シンボリックリンクです\n");
  SingleInstance second("hZLQVR", folders);
  EXPECT_TRUE(second.OtherInstanceRunning());
  EXPECT_EQ(second.Folder(), dir / "fallback");
  EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));

  fs::create_directory_symlink(dir / "elsewhere", dir / "linked too");
  SingleInstance none("hZLQVR", std::vector<fs::path>{dir / "linked", dir / "linked too"});
  EXPECT_FALSE(none.Acquired());
  EXPECT_FALSE(none.OtherInstanceRunning());
  EXPECT_TRUE(none.HandOverSocket().empty());
  EXPECT_NE(none.Refusals().find((dir / "linked too").string() + " を使えません: "), std::string::npos);
}

TEST(SingleInstance, SaysWhoseTheForeignFolderIs) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a folder away";
  test::TempDir dir;
  fs::create_directory(dir / "foreign");
  ASSERT_EQ(::chown((dir / "foreign").c_str(), Nobody(), static_cast<gid_t>(-1)), 0);
  SingleInstance guard("hZLQVR", std::vector<fs::path>{dir / "foreign", dir / "fallback"});
  EXPECT_TRUE(guard.Acquired());
  EXPECT_EQ(guard.Refusals(), (dir / "foreign").string() + " を使えません: 別のユーザー (uid " +
                                  std::to_string(Nobody()) + ") のものです\n");
}

// Sets an environment variable for the life of the object, then puts the old value back.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedVariable() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(SingleInstance, RuntimeFolderIsPrivateToTheUserAndNeverTheSharedTemporaryFolder) {
  test::TempDir dir;
  ScopedVariable data("XDG_DATA_HOME", (dir / "data").c_str());
  fs::create_directory(dir / "runtime");
  fs::permissions(dir / "runtime", fs::perms::owner_all);
  {
    ScopedVariable runtime("XDG_RUNTIME_DIR", (dir / "runtime").c_str());
    EXPECT_EQ(SingleInstance::RuntimeFolder(), dir / "runtime" / "qvr");
    ASSERT_EQ(SingleInstance::RuntimeFolders().size(), 2u);
    EXPECT_EQ(SingleInstance::RuntimeFolders()[1].parent_path(), dir / "data");
  }
  fs::create_directory(dir / "shared");
  fs::permissions(dir / "shared", fs::perms::all);
  const std::string shared = (dir / "shared").string();
  for (const char* value : {static_cast<const char*>(nullptr), "", "relative", shared.c_str()}) {
    ScopedVariable runtime("XDG_RUNTIME_DIR", value);
    const fs::path folder = SingleInstance::RuntimeFolder();
    EXPECT_EQ(folder.parent_path(), dir / "data") << (value ? value : "unset");
    EXPECT_EQ(folder.filename().string().rfind("qvr-runtime-", 0), 0u) << folder;
  }
}

}  // namespace
}  // namespace qvr
