// The play list file format: what is written byte for byte, and how each kind of file reads.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "dialogs/PlayListFile.h"
#include "support/CaseName.h"
#include "support/TempDir.h"
#include "util/Error.h"

namespace qvr::test {
namespace {

constexpr const char* kKey = "0A1B2C3D";

std::string Repeated(std::string_view piece, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += piece;
  return text;
}

TEST(PlayListFileTest, WritesTheKeyAndOneEntryALineEachEndedByCrLf) {
  EXPECT_EQ(FormatPlayList(kKey, {"3", "1", "3"}), "0A1B2C3D\r\n3\r\n1\r\n3\r\n");
  EXPECT_EQ(FormatPlayList(kKey, {}), "0A1B2C3D\r\n");
}

struct ReadCase {
  const char* name;
  std::string text;
  std::optional<std::vector<std::string>> entries;  // none: not a play list of this disc
  const char* error = nullptr;                      // a part of the error raised instead
  bool hidden = false;                              // the disc has a hidden first track (track 0)
};

class PlayListReadTest : public testing::TestWithParam<ReadCase> {};

TEST_P(PlayListReadTest, Reads) {
  std::istringstream in(GetParam().text);
  if (GetParam().error) {
    try {
      ParsePlayList(in, kKey, 10, GetParam().hidden);
      FAIL() << "no error";
    } catch (const Error& error) {
      EXPECT_NE(std::string(error.what()).find(GetParam().error), std::string::npos) << error.what();
    }
  } else {
    EXPECT_EQ(ParsePlayList(in, kKey, 10, GetParam().hidden), GetParam().entries);
  }
}

using Entries = std::vector<std::string>;

INSTANTIATE_TEST_SUITE_P(
    Cases, PlayListReadTest,
    testing::Values(ReadCase{"CrLf", "0A1B2C3D\r\n3\r\n1\r\n3\r\n", Entries{"3", "1", "3"}},
                    ReadCase{"LfAndNoEndOnTheLastLine", "0A1B2C3D\n10\n2", Entries{"10", "2"}},
                    ReadCase{"OnlyTheKey", "0A1B2C3D\r\n", Entries{}},
                    ReadCase{"NumbersOutsideTheDiscDropped", "0A1B2C3D\r\n12\r\n0\r\n-1\r\n4\r\n", Entries{"4"}},
                    ReadCase{"EntryZeroKeptForAHiddenTrack", "0A1B2C3D\r\n0\r\n12\r\n00\r\n4\r\n",
                             Entries{"0", "0", "4"}, nullptr, true},
                    ReadCase{"WrittenOtherwiseKeptAsDecimal", "0A1B2C3D\r\n03\r\n $5\r\n", Entries{"3", "5"}},
                    ReadCase{"OtherDisc", "FFFFFFFF\r\n1\r\n", std::nullopt},
                    ReadCase{"KeyInOtherCase", "0a1b2c3d\r\n1\r\n", std::nullopt},
                    ReadCase{"KeyWithBlanks", "0A1B2C3D \r\n1\r\n", std::nullopt}, ReadCase{"Empty", "", std::nullopt},
                    ReadCase{"LongFirstLine", std::string(100000, 'x'), std::nullopt},
                    ReadCase{"NotANumber", "0A1B2C3D\r\n3\r\nthree\r\n", {}, "3 行目「three」"},
                    ReadCase{"EmptyLine", "0A1B2C3D\r\n3\r\n\r\n1\r\n", {}, "3 行目"},
                    ReadCase{"TrailingJunk", "0A1B2C3D\r\n3x\r\n", {}, "2 行目"},
                    ReadCase{"LongLine", "0A1B2C3D\r\n" + std::string(500, '1') + "\r\n", {}, "2 行目"},
                    ReadCase{"MostEntriesAllowed", "0A1B2C3D\r\n" + Repeated("1\r\n", kMaxPlayListEntries),
                             Entries(kMaxPlayListEntries, "1")},
                    ReadCase{"TooManyEntries",
                             "0A1B2C3D\r\n" + Repeated("99\r\n", kMaxPlayListEntries + 1),
                             {},
                             "項目が多すぎます"}),
    CaseName());

// Files the player must refuse without waiting or filling its memory.
TEST(PlayListFileTest, FifoIsRefusedWithoutWaiting) {
  TempDir dir;
  const auto fifo = dir / "fifo.0A1B2C3D";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // A reader stuck on the FIFO is released after a while, so that a fault fails the test
  // instead of hanging it.
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) close(fd);
  });
  const auto started = std::chrono::steady_clock::now();
  EXPECT_THROW(ReadPlayListFile(fifo, kKey, 10), Error);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
  release.join();
}

TEST(PlayListFileTest, FileLargerThanAnyPlayListIsRefused) {
  TempDir dir;
  const auto file = dir / "big.0A1B2C3D";
  WriteFile(file, "0A1B2C3D\r\n" + Repeated("1\r\n", kMaxPlayListBytes / 3));
  try {
    ReadPlayListFile(file, kKey, 10);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_NE(std::string(error.what()).find("大きすぎる"), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace qvr::test
