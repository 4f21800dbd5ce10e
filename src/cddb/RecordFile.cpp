// POSIX access to the database files: positioned reads and writes of whole records.
#include "cddb/RecordFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "cddb/Records.h"
#include "util/Error.h"
#include "util/RegularFile.h"

namespace qvr {
namespace {

constexpr std::size_t kChunkBytes = 64 * 1024;

[[noreturn]] void Fail(std::string_view pattern, const std::filesystem::path& path, int error) {
  throw Error(FormatMessage(pattern, path.string()) + ": " + std::strerror(error));
}

}  // namespace

RecordFile::RecordFile(std::filesystem::path path, DBFile kind, Access access)
    : path_(std::move(path)), kind_(kind), record_size_(InfoOf(kind).RecordSize) {
  const int mode = access == Access::ReadWrite ? O_RDWR : O_RDONLY;
  int error = 0;
  fd_ = OpenRegularFile(path_, mode, error);
  if (fd_ >= 0) return;
  if (access == Access::ReadWrite && (error == EACCES || error == EPERM || error == EROFS)) {
    throw Error(
        FormatMessage("データベースファイル %s に書き込む権限がありません。ディスクを登録できません", path_.string()) +
        ": " + std::strerror(error));
  }
  throw Error(FormatMessage("データベースファイル %s を開けません", path_.string()) + ": " + OpenFailureReason(error));
}

RecordFile::RecordFile(RecordFile&& other) noexcept
    : path_(std::move(other.path_)), kind_(other.kind_), record_size_(other.record_size_), fd_(other.fd_) {
  other.fd_ = -1;
}

RecordFile::~RecordFile() {
  if (fd_ >= 0) close(fd_);
}

std::size_t RecordFile::Count() const {
  struct stat state {};
  if (fstat(fd_, &state) != 0) Fail("データベースファイル %s を読み込めません", path_, errno);
  return static_cast<std::size_t>(state.st_size) / record_size_;
}

std::size_t RecordFile::Read(std::size_t first, std::size_t count, char* buffer) const {
  const std::size_t wanted = count * record_size_;
  std::size_t got = 0;
  const auto offset = static_cast<off_t>(first * record_size_);
  while (got < wanted) {
    ssize_t n = pread(fd_, buffer + got, wanted - got, offset + static_cast<off_t>(got));
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("データベースファイル %s を読み込めません", path_, errno);
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return got / record_size_;
}

void RecordFile::Write(std::size_t index, const char* data, std::size_t count) {
  const std::size_t total = count * record_size_;
  std::size_t done = 0;
  const auto offset = static_cast<off_t>(index * record_size_);
  while (done < total) {
    ssize_t n = pwrite(fd_, data + done, total - done, offset + static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("データベースファイル %s に書き込めません", path_, errno);
    }
    if (n == 0) Fail("データベースファイル %s に書き込めません", path_, ENOSPC);
    done += static_cast<std::size_t>(n);
  }
}

bool RecordFile::HasValidHeader() const {
  char record0[kMasterRecordSize];  // the largest record
  return Read(0, 1, record0) == 1 && HasVersion(kind_, record0);
}

namespace {

// Records per read: a chunk of about kChunkBytes, or less for a small file.
std::size_t ChunkRecords(const RecordFile& file, std::size_t first) {
  const std::size_t count = file.Count();
  const std::size_t left = count > first ? count - first : 1;
  return std::clamp<std::size_t>(left, 1, std::max<std::size_t>(1, kChunkBytes / file.RecordSize()));
}

}  // namespace

RecordScanner::RecordScanner(const RecordFile& file, std::size_t first)
    : file_(file),
      record_size_(file.RecordSize()),
      buffer_records_(ChunkRecords(file, first)),
      chunk_first_(first),
      next_(first) {
  buffer_.reset(new char[buffer_records_ * file.RecordSize()]);
}

bool RecordScanner::ReadChunk() {
  chunk_first_ = next_;
  chunk_count_ = file_.Read(chunk_first_, buffer_records_, buffer_.get());
  return chunk_count_ > 0;
}

}  // namespace qvr
