// Whole-file replacement through a temporary file, fsync and rename.
#include "util/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "util/RegularFile.h"

namespace qvr {
namespace {

std::string SystemReason(int error) { return std::strerror(error); }

// Closes a descriptor and removes the temporary file unless the replacement went through.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string pattern) : name_(std::move(pattern)), fd_(mkstemp(name_.data())) {
    created_ = fd_ >= 0;
  }
  ~TemporaryFile() {
    if (fd_ >= 0) close(fd_);
    if (created_ && !kept_) unlink(name_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int Fd() const { return fd_; }
  const std::string& Name() const { return name_; }
  bool Close() {
    int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }
  void Keep() { kept_ = true; }
  bool Opened() const { return created_; }

 private:
  std::string name_;
  int fd_;
  bool created_ = false;
  bool kept_ = false;
};

}  // namespace

FileWriteError::FileWriteError(const std::filesystem::path& path, const std::string& reason)
    : Error(path.string() + " に書き込めません: " + reason), path_(path) {}

namespace {

void SyncFolder(const std::filesystem::path& folder) {
  int folder_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_fd >= 0) {
    fsync(folder_fd);
    close(folder_fd);
  }
}

std::filesystem::path FolderOf(const std::filesystem::path& path) {
  std::filesystem::path folder = path.parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}

// Writes `contents` to `temporary` with `mode`, flushed to disk and closed.
void WriteTemporary(TemporaryFile& temporary, const std::filesystem::path& path, std::string_view contents,
                    mode_t mode) {
  if (fchmod(temporary.Fd(), mode) != 0) throw FileWriteError(path, SystemReason(errno));
  const char* data = contents.data();
  std::size_t left = contents.size();
  while (left > 0) {
    ssize_t written = write(temporary.Fd(), data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      throw FileWriteError(path, SystemReason(errno));
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  if (fsync(temporary.Fd()) != 0) throw FileWriteError(path, SystemReason(errno));
  if (!temporary.Close()) throw FileWriteError(path, SystemReason(errno));
}

}  // namespace

void ReplaceFileContents(const std::filesystem::path& path, std::string_view contents) {
  const std::filesystem::path folder = FolderOf(path);
  TemporaryFile temporary((folder / ("." + path.filename().string() + ".XXXXXX")).string());
  if (!temporary.Opened()) throw FileWriteError(path, SystemReason(errno));

  // A new file is readable by all and writable by its owner; a replaced one keeps its mode.
  struct stat old_state {};
  mode_t mode = 0644;
  if (stat(path.c_str(), &old_state) == 0) mode = old_state.st_mode & 07777;
  WriteTemporary(temporary, path, contents, mode);
  if (rename(temporary.Name().c_str(), path.c_str()) != 0) throw FileWriteError(path, SystemReason(errno));
  temporary.Keep();
  SyncFolder(folder);  // makes the rename itself durable
}

bool CreateFileContents(const std::filesystem::path& path, std::string_view contents) {
  const std::filesystem::path folder = FolderOf(path);
  TemporaryFile temporary((folder / ("." + path.filename().string() + ".XXXXXX")).string());
  if (!temporary.Opened()) throw FileWriteError(path, SystemReason(errno));
  WriteTemporary(temporary, path, contents, 0644);
  // link() never replaces: the temporary file is removed either way.
  if (link(temporary.Name().c_str(), path.c_str()) != 0) {
    if (errno == EEXIST) return false;
    throw FileWriteError(path, SystemReason(errno));
  }
  SyncFolder(folder);
  return true;
}

bool ReadWholeFile(const std::filesystem::path& path, std::string& contents) {
  contents.clear();
  int open_error = 0;
  int fd = OpenRegularFile(path, O_RDONLY, open_error);
  if (fd < 0) {
    if (open_error == ENOENT || open_error == ENOTDIR) return false;
    throw Error(path.string() + " を読み込めません: " + OpenFailureReason(open_error));
  }
  struct stat state {};
  if (fstat(fd, &state) == 0) contents.reserve(static_cast<std::size_t>(state.st_size));
  char buffer[65536];
  for (;;) {
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      int error = errno;
      close(fd);
      throw Error(path.string() + " を読み込めません: " + SystemReason(error));
    }
    contents.append(buffer, static_cast<std::size_t>(got));
  }
  close(fd);
  return true;
}

}  // namespace qvr
