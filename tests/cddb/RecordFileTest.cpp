// The forward scan over a database file: every whole record from the first asked for, in order and
// with its bytes, across the block boundaries that cut records; a partial record at the end never
// read; records appended while the scan runs still seen.
#include "cddb/RecordFile.h"

#include <gtest/gtest.h>

#include <string>

#include "DatabaseTestSupport.h"
#include "support/TempDir.h"

namespace qvr {
namespace {

// Record n of a test file: its number in each byte pair, so that any shift or mix-up shows.
std::string RecordBytes(std::size_t n, std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % 2 == 0 ? n & 0xFF : (n >> 8) & 0xFF);
  return bytes;
}

std::string RecordsBytes(std::size_t from, std::size_t to, std::size_t size) {
  std::string bytes;
  for (std::size_t n = from; n < to; ++n) bytes += RecordBytes(n, size);
  return bytes;
}

TEST(RecordScannerTest, ReadsEveryWholeRecordFromTheFirstAskedForAcrossBlocks) {
  const test::TempDir dir;
  // Every record size, each file several blocks long, with half a record at its end.
  for (const DBFile kind : kAllDBFiles) {
    const std::size_t size = InfoOf(kind).RecordSize;
    const std::size_t count = 600 * 1024 / size;
    const std::filesystem::path path = dir / std::string(InfoOf(kind).FileName);
    test::WriteFile(path, RecordsBytes(0, count, size) + RecordBytes(count, size).substr(0, size / 2));
    const RecordFile file(path, kind, RecordFile::Access::ReadOnly);
    for (const std::size_t first : {std::size_t{1}, std::size_t{7}, count / 3, count - 1, count, count + 5}) {
      RecordScanner scan(file, first);
      std::size_t expected = first;
      while (const char* record = scan.Next()) {
        ASSERT_EQ(scan.Index(), expected) << InfoOf(kind).FileName << " from " << first;
        ASSERT_EQ(std::string(record, size), RecordBytes(expected, size))
            << InfoOf(kind).FileName << " record " << expected << " from " << first;
        ++expected;
      }
      EXPECT_EQ(expected, std::max(first, count)) << InfoOf(kind).FileName << " from " << first;
    }
  }
}

TEST(RecordScannerTest, SeesRecordsAppendedWhileItRuns) {
  const test::TempDir dir;
  const std::size_t size = InfoOf(DBFile::Track).RecordSize;
  const std::size_t count = 2000;
  const std::filesystem::path path = dir / "TrackDB.QVR";
  test::WriteFile(path, RecordsBytes(0, count, size));
  RecordFile file(path, DBFile::Track);
  RecordScanner scan(file);
  std::size_t seen = 0;
  while (scan.Next() != nullptr) ++seen;
  EXPECT_EQ(seen, count - 1);
  // Appended in two halves: the first half of a record is not yet one.
  const std::string more = RecordsBytes(count, count + 3, size);
  file.Write(count, more.data(), 2);
  file.Write(count + 2, more.data() + 2 * size, 1);
  for (std::size_t n = count; n < count + 3; ++n) {
    const char* record = scan.Next();
    ASSERT_NE(record, nullptr) << n;
    EXPECT_EQ(scan.Index(), n);
    EXPECT_EQ(std::string(record, size), RecordBytes(n, size));
  }
  EXPECT_EQ(scan.Next(), nullptr);
}

}  // namespace
}  // namespace qvr
