// Temporary files for passes that spill: O_TMPFILE where the file system has it, else a named
// file removed at once.
#include "util/SpillFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "util/Error.h"

namespace qvr {
namespace {

constexpr std::size_t kBufferBytes = 64 * 1024;

std::string Folder() {
  const char* folder = std::getenv("TMPDIR");
  return folder && *folder ? folder : "/tmp";
}

[[noreturn]] void Fail(int error, const char* what = "一時ファイルを書き込めません") {
  throw Error(std::string(what) + " (" + Folder() + "): " + std::strerror(error));
}

int Create() {
  const std::string folder = Folder();
  int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) Fail(errno);
  std::string name = folder + "/qvr-spill-XXXXXX";
  fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) Fail(errno);
  unlink(name.c_str());
  return fd;
}

}  // namespace

SpillFile::SpillFile() : fd_(Create()), buffer_(new char[kBufferBytes]) {}

SpillFile::~SpillFile() {
  if (fd_ >= 0) close(fd_);
}

SpillFile::SpillFile(SpillFile&& other) noexcept
    : fd_(other.fd_), buffer_(std::move(other.buffer_)), buffered_(other.buffered_) {
  other.fd_ = -1;
}

void SpillFile::Write(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    if (buffered_ == kBufferBytes) Flush();
    const std::size_t part = std::min(size, kBufferBytes - buffered_);
    std::memcpy(buffer_.get() + buffered_, bytes, part);
    buffered_ += part;
    bytes += part;
    size -= part;
  }
}

void SpillFile::Flush() {
  std::size_t done = 0;
  while (done < buffered_) {
    const ssize_t n = write(fd_, buffer_.get() + done, buffered_ - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail(n < 0 ? errno : ENOSPC);
    done += static_cast<std::size_t>(n);
  }
  buffered_ = 0;
}

void SpillFile::StartReading() {
  Flush();
  if (lseek(fd_, 0, SEEK_SET) != 0) Fail(errno, "一時ファイルを読み込めません");
}

std::size_t SpillFile::Read(void* data, std::size_t size) {
  auto* bytes = static_cast<char*>(data);
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = read(fd_, bytes + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail(errno, "一時ファイルを読み込めません");
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return got;
}

}  // namespace qvr
