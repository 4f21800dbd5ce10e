// Whole-file replacement through a temporary file, fsync and rename.
//
// The temporary file is ".<name>.XXXXXX" beside the file, locked (flock) by its writer for as
// long as it exists. A save that was killed leaves it unlocked, and the next save of the same
// file removes it; a temporary that is still locked belongs to a save in progress and stays.
#include "util/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "util/RegularFile.h"

namespace qvr {
namespace {

std::string SystemReason(int error) { return std::strerror(error); }

constexpr std::size_t kLinkLimit = 40;    // links followed before giving up, as the kernel does
constexpr std::size_t kUniqueLength = 6;  // the "XXXXXX" of the temporary file's name

// The file a path names after following every link, also a link to a file not made yet.
std::filesystem::path FinalTarget(const std::filesystem::path& path) {
  std::filesystem::path current = path;
  for (std::size_t step = 0; step < kLinkLimit; ++step) {
    std::error_code error;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(current, error))) return current;
    std::filesystem::path target = std::filesystem::read_symlink(current, error);
    if (error) return current;
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  throw FileWriteError(path, std::strerror(ELOOP));
}

// The temporary name's start for `path`: ".<name>."
std::string TemporaryPrefix(const std::filesystem::path& path) { return "." + path.filename().string() + "."; }

// Removes the temporary files of earlier saves of `path` that were interrupted: regular files
// of this user named like ours whose writer no longer holds their lock.
void RemoveAbandonedTemporaries(const std::filesystem::path& folder, const std::filesystem::path& path) {
  const std::string prefix = TemporaryPrefix(path);
  DIR* listing = opendir(folder.c_str());
  if (listing == nullptr) return;
  const int folder_fd = dirfd(listing);
  while (const dirent* entry = readdir(listing)) {
    const std::string name = entry->d_name;
    if (name.size() != prefix.size() + kUniqueLength || name.compare(0, prefix.size(), prefix) != 0) continue;
    const int fd = openat(folder_fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat opened {
    }, named{};
    if (fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == geteuid() &&
        flock(fd, LOCK_EX | LOCK_NB) == 0 && fstatat(folder_fd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        named.st_ino == opened.st_ino && named.st_dev == opened.st_dev) {
      unlinkat(folder_fd, name.c_str(), 0);
    }
    close(fd);
  }
  closedir(listing);
}

// Closes a descriptor and removes the temporary file unless the replacement went through. It
// holds the file's lock from its creation, so that no other save takes it for abandoned.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& pattern) {
    for (int attempt = 0; attempt < 8 && !created_; ++attempt) {
      name_ = pattern;
      fd_ = mkstemp(name_.data());
      if (fd_ < 0) return;
      // Another save may have removed the name between its creation and the lock: then again.
      struct stat opened {
      }, named{};
      if (flock(fd_, LOCK_EX | LOCK_NB) == 0 && fstat(fd_, &opened) == 0 && lstat(name_.c_str(), &named) == 0 &&
          named.st_ino == opened.st_ino && named.st_dev == opened.st_dev) {
        created_ = true;
      } else {
        close(fd_);
        fd_ = -1;
      }
    }
  }
  ~TemporaryFile() {
    if (created_ && !kept_) unlink(name_.c_str());
    if (fd_ >= 0) close(fd_);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int Fd() const { return fd_; }
  const std::string& Name() const { return name_; }
  void Keep() { kept_ = true; }
  bool Opened() const { return created_; }

 private:
  std::string name_;
  int fd_ = -1;
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

// Writes `contents` to `temporary` with `mode`, flushed to disk.
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
}

}  // namespace

void ReplaceFileContents(const std::filesystem::path& path, std::string_view contents) {
  // A link stays a link: the file it leads to is the one replaced.
  const std::filesystem::path target = FinalTarget(path);
  const std::filesystem::path folder = FolderOf(target);

  // A new file is readable by all and writable by its owner; a replaced one keeps its mode. A
  // file made read-only (for this user, or for everyone) is left as it is.
  struct stat old_state {};
  mode_t mode = 0644;
  if (stat(target.c_str(), &old_state) == 0) {
    mode = old_state.st_mode & 07777;
    if ((mode & 0222) == 0 || access(target.c_str(), W_OK) != 0) throw FileWriteError(path, SystemReason(EACCES));
  }

  RemoveAbandonedTemporaries(folder, target);
  errno = 0;
  TemporaryFile temporary((folder / (TemporaryPrefix(target) + "XXXXXX")).string());
  if (!temporary.Opened()) throw FileWriteError(path, SystemReason(errno != 0 ? errno : EEXIST));
  WriteTemporary(temporary, path, contents, mode);
  // The descriptor (and with it the lock) stays open across the rename, closed by the destructor.
  if (rename(temporary.Name().c_str(), target.c_str()) != 0) throw FileWriteError(path, SystemReason(errno));
  temporary.Keep();
  SyncFolder(folder);  // makes the rename itself durable
}

std::string ReplaceProblem(const std::filesystem::path& path) {
  std::filesystem::path target;
  try {
    target = FinalTarget(path);
  } catch (const FileWriteError&) {
    return SystemReason(ELOOP);
  }
  struct stat state {};
  if (stat(target.c_str(), &state) == 0) {
    if (S_ISDIR(state.st_mode)) return SystemReason(EISDIR);
    if (!S_ISREG(state.st_mode)) return OpenFailureReason(kNotRegularFile);
    if ((state.st_mode & 0222) == 0 || access(target.c_str(), W_OK) != 0) return SystemReason(EACCES);
  } else if (errno != ENOENT) {
    return SystemReason(errno);
  }
  if (access(FolderOf(target).c_str(), W_OK | X_OK) != 0) return SystemReason(errno);
  return {};
}

bool CreateFileContents(const std::filesystem::path& path, std::string_view contents) {
  const std::filesystem::path folder = FolderOf(path);
  errno = 0;
  TemporaryFile temporary((folder / (TemporaryPrefix(path) + "XXXXXX")).string());
  if (!temporary.Opened()) throw FileWriteError(path, SystemReason(errno != 0 ? errno : EEXIST));
  WriteTemporary(temporary, path, contents, 0644);
  // link() never replaces: the temporary file is removed either way.
  if (link(temporary.Name().c_str(), path.c_str()) != 0) {
    if (errno == EEXIST) return false;
    throw FileWriteError(path, SystemReason(errno));
  }
  SyncFolder(folder);
  return true;
}

struct FileReplacement::Temporary : TemporaryFile {
  using TemporaryFile::TemporaryFile;
};

FileReplacement::FileReplacement(const std::filesystem::path& path) : path_(path), target_(FinalTarget(path)) {
  const std::filesystem::path folder = FolderOf(target_);
  int source = open(target_.c_str(), O_RDONLY | O_CLOEXEC);
  if (source < 0) throw FileWriteError(path_, SystemReason(errno));
  struct stat state {};
  if (fstat(source, &state) != 0 || (state.st_mode & 0222) == 0 || access(target_.c_str(), W_OK) != 0) {
    close(source);
    throw FileWriteError(path_, SystemReason(EACCES));
  }
  RemoveAbandonedTemporaries(folder, target_);
  errno = 0;
  temporary_ = std::make_unique<Temporary>((folder / (TemporaryPrefix(target_) + "XXXXXX")).string());
  int error = 0;
  if (!temporary_->Opened()) error = errno != 0 ? errno : EEXIST;
  if (error == 0 && fchmod(temporary_->Fd(), state.st_mode & 07777) != 0) error = errno;
  // The copy stays inside the kernel (and shares blocks where the file system can).
  off_t left = state.st_size;
  while (error == 0 && left > 0) {
    ssize_t copied = copy_file_range(source, nullptr, temporary_->Fd(), nullptr, static_cast<std::size_t>(left), 0);
    if (copied < 0 && errno == EINTR) continue;
    if (copied <= 0) {
      error = copied < 0 ? errno : EIO;
      break;
    }
    left -= copied;
  }
  close(source);
  if (error != 0) throw FileWriteError(path_, SystemReason(error));
}

FileReplacement::FileReplacement(const std::filesystem::path& path, NewFile)
    : path_(path), target_(FinalTarget(path)), new_file_(true) {
  const std::filesystem::path folder = FolderOf(target_);
  RemoveAbandonedTemporaries(folder, target_);
  errno = 0;
  temporary_ = std::make_unique<Temporary>((folder / (TemporaryPrefix(target_) + "XXXXXX")).string());
  if (!temporary_->Opened()) throw FileWriteError(path_, SystemReason(errno != 0 ? errno : EEXIST));
  if (fchmod(temporary_->Fd(), 0644) != 0) throw FileWriteError(path_, SystemReason(errno));
}

FileReplacement::~FileReplacement() = default;

void FileReplacement::WriteAt(std::uint64_t offset, const char* data, std::size_t size) {
  synced_ = false;
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = pwrite(temporary_->Fd(), data + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw FileWriteError(path_, SystemReason(n < 0 ? errno : ENOSPC));
    done += static_cast<std::size_t>(n);
  }
}

std::size_t FileReplacement::ReadAt(std::uint64_t offset, char* data, std::size_t size) const {
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = pread(temporary_->Fd(), data + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw FileWriteError(path_, SystemReason(errno));
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

void FileReplacement::Sync() {
  if (fsync(temporary_->Fd()) != 0) throw FileWriteError(path_, SystemReason(errno));
  synced_ = true;
}

void FileReplacement::Commit() {
  if (!synced_) Sync();
  if (new_file_) {
    // link() never replaces; once linked, the temporary name goes.
    if (link(temporary_->Name().c_str(), target_.c_str()) != 0) throw FileWriteError(path_, SystemReason(errno));
    unlink(temporary_->Name().c_str());
    temporary_->Keep();
  } else {
    if (rename(temporary_->Name().c_str(), target_.c_str()) != 0) throw FileWriteError(path_, SystemReason(errno));
    temporary_->Keep();
  }
  SyncFolder(FolderOf(target_));
}

std::string FileTooLargeMessage(const std::filesystem::path& path, std::uint64_t max_bytes) {
  const std::string limit = max_bytes >= (std::uint64_t{1} << 20) && max_bytes % (std::uint64_t{1} << 20) == 0
                                ? std::to_string(max_bytes >> 20) + " MB"
                            : max_bytes >= 1024 && max_bytes % 1024 == 0 ? std::to_string(max_bytes >> 10) + " KB"
                                                                         : std::to_string(max_bytes) + " バイト";
  return path.string() + " は大きすぎるため読み込めません（" + limit + " まで）";
}

bool ReadWholeFile(const std::filesystem::path& path, std::string& contents, std::uint64_t max_bytes) {
  contents.clear();
  int open_error = 0;
  int fd = OpenRegularFile(path, O_RDONLY, open_error);
  if (fd < 0) {
    if (open_error == ENOENT || open_error == ENOTDIR) return false;
    throw Error(path.string() + " を読み込めません: " + OpenFailureReason(open_error));
  }
  struct stat state {};
  if (fstat(fd, &state) == 0) {
    if (static_cast<std::uint64_t>(state.st_size) > max_bytes) {
      close(fd);
      throw Error(FileTooLargeMessage(path, max_bytes));
    }
    contents.reserve(static_cast<std::size_t>(state.st_size));
  }
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
    if (contents.size() > max_bytes) {
      close(fd);
      contents.clear();
      throw Error(FileTooLargeMessage(path, max_bytes));
    }
  }
  close(fd);
  return true;
}

}  // namespace qvr
