// POSIX access to the database files: positioned reads and writes of whole records.
#include "cddb/RecordFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "cddb/Records.h"
#include "util/Error.h"
#include "util/RegularFile.h"

namespace qvr {
namespace {

constexpr std::size_t kChunkBytes = 128 * 1024;

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
  return ReadBytes(first * record_size_, count * record_size_, buffer) / record_size_;
}

std::size_t RecordFile::ReadBytes(std::size_t offset, std::size_t length, char* buffer) const {
  std::size_t got = 0;
  while (got < length) {
    const ssize_t n = pread(fd_, buffer + got, length - got, static_cast<off_t>(offset + got));
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("データベースファイル %s を読み込めません", path_, errno);
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return got;
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

constexpr std::size_t kPage = 4096;

// Bytes per block: kChunkBytes, or less for a small file, in whole pages that hold at least one
// record beyond a page boundary.
std::size_t BlockBytes(const RecordFile& file, std::size_t first) {
  const std::size_t size = file.Count() * file.RecordSize();
  const std::size_t from = first * file.RecordSize() / kPage * kPage;
  const std::size_t left = size > from ? size - from : 0;
  const std::size_t least = (file.RecordSize() + kPage - 1) / kPage * kPage + kPage;
  return std::max(least, std::min(kChunkBytes, (left + kPage - 1) / kPage * kPage));
}

}  // namespace

void RecordScanner::FreeBuffer::operator()(char* buffer) const { std::free(buffer); }

RecordScanner::RecordScanner(const RecordFile& file, std::size_t first)
    : file_(file),
      record_size_(file.RecordSize()),
      buffer_size_(BlockBytes(file, first)),
      buffer_(static_cast<char*>(std::aligned_alloc(kPage, buffer_size_))),
      next_(first) {
  if (!buffer_) throw std::bad_alloc();
}

bool RecordScanner::ReadBlock(std::size_t offset) {
  block_offset_ = offset / kPage * kPage;
  block_length_ = file_.ReadBytes(block_offset_, buffer_size_, buffer_.get());
  return offset + record_size_ <= block_offset_ + block_length_;
}

}  // namespace qvr
