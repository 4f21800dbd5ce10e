// Only regular files are opened, and what is not one is refused at once: a FIFO, a device or a
// folder where a file of the program's is expected never blocks it.
#include "util/RegularFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ini/IniGT.h"
#include "support/CaseName.h"
#include "support/TempDir.h"
#include "util/AtomicFile.h"
#include "util/Error.h"

namespace qvr::test {
namespace {

struct PathCase {
  const char* name;
  std::filesystem::path (*make)(const TempDir& dir);
  int error;  // 0: opened
};

class OpenRegularFileTest : public testing::TestWithParam<PathCase> {};

TEST_P(OpenRegularFileTest, OpensOnlyRegularFilesWithoutBlocking) {
  TempDir dir;
  const std::filesystem::path path = GetParam().make(dir);
  alarm(10);  // a blocking open would hang here; the alarm ends the test instead
  for (int flags : {O_RDONLY, O_RDWR}) {
    int error = 12345;
    const int fd = OpenRegularFile(path, flags, error);
    EXPECT_EQ(error, GetParam().error) << OpenFailureReason(error);
    EXPECT_EQ(fd >= 0, GetParam().error == 0);
    if (fd >= 0) {
      EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
      EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
      close(fd);
    }
  }
  alarm(0);
}

INSTANTIATE_TEST_SUITE_P(Cases, OpenRegularFileTest,
                         testing::Values(PathCase{"RegularFile",
                                                  [](const TempDir& d) {
                                                    WriteFile(d / "a", "x");
                                                    return d / "a";
                                                  },
                                                  0},
                                         PathCase{"Fifo",
                                                  [](const TempDir& d) {
                                                    mkfifo((d / "f").c_str(), 0600);
                                                    return d / "f";
                                                  },
                                                  kNotRegularFile},
                                         PathCase{"Device",
                                                  [](const TempDir&) { return std::filesystem::path("/dev/null"); },
                                                  kNotRegularFile},
                                         PathCase{"Folder", [](const TempDir& d) { return d.Path(); }, EISDIR},
                                         PathCase{"Missing", [](const TempDir& d) { return d / "none"; }, ENOENT}),
                         CaseName());

TEST(ReadWholeFile, RefusesAFifoAndTheSettingsReadItsDefaults) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "Fifo.ini").c_str(), 0600), 0);
  alarm(10);
  std::string text;
  try {
    ReadWholeFile(dir / "Fifo.ini", text);
    ADD_FAILURE() << "read a FIFO";
  } catch (const Error& error) {
    EXPECT_NE(std::string(error.what()).find("通常のファイルではありません"), std::string::npos) << error.what();
  }
  TIniGT ini({"fifo", dir.Path(), dir.Path()});
  ini.Loaded();
  EXPECT_EQ(ini.ReadString("Other", "Drive", "default"), "default");
  EXPECT_THROW(ini.WriteString("Other", "Drive", "x"), Error);
  alarm(0);
}

}  // namespace
}  // namespace qvr::test
