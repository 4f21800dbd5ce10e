// The single-instance guard over flock(2): the kernel drops the lock when the process ends, so
// a crashed program leaves no stale guard behind. Every path step that another user could
// have prepared is opened without following links and checked by its descriptor.
#include "platform/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "util/ProgramFolder.h"

namespace qvr {
namespace {

// A descriptor closed when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// True when `path` is a real folder (not a link) of this user that no one else may enter.
bool IsPrivateFolder(const std::filesystem::path& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::geteuid() &&
         (status.st_mode & 077) == 0;
}

// What is wrong with the thing at `path` that had to be a folder or file of this user.
std::string WhyNotOurs(const std::filesystem::path& path, bool folder) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return std::strerror(errno);
  if (S_ISLNK(status.st_mode)) return "シンボリックリンクです";
  if (folder && !S_ISDIR(status.st_mode)) return "フォルダではありません";
  if (!folder && !S_ISREG(status.st_mode)) return "通常のファイルではありません";
  if (status.st_uid != ::geteuid()) return "別のユーザー (uid " + std::to_string(status.st_uid) + ") のものです";
  return "開けません";
}

// Opens the private folder, making it when missing; -1 with the reason when it is a link or not
// this user's. A folder of this user that others may enter is closed to them first.
int OpenPrivateFolder(const std::filesystem::path& folder, std::string& reason) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    std::error_code error;
    std::filesystem::create_directories(folder.parent_path(), error);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
      reason = std::strerror(errno);
      return -1;
    }
  }
  Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat status {};
  if (fd.Get() < 0 || ::fstat(fd.Get(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::geteuid()) {
    reason = WhyNotOurs(folder, true);
    return -1;
  }
  if ((status.st_mode & 077) != 0 && ::fchmod(fd.Get(), 0700) != 0) {
    reason = std::strerror(errno);
    return -1;
  }
  return fd.Release();
}

}  // namespace

SingleInstance::SingleInstance(std::string_view name, const std::vector<std::filesystem::path>& folders) : name_(name) {
  for (const std::filesystem::path& folder : folders) {
    const std::string reason = TryFolder(name_, folder);
    if (reason.empty()) return;
    refusals_ += folder.string() + " を使えません: " + reason + "\n";
  }
}

std::string SingleInstance::TryFolder(const std::string& name, const std::filesystem::path& folder) {
  std::string reason;
  Descriptor folder_fd(OpenPrivateFolder(folder, reason));
  if (folder_fd.Get() < 0) return reason;
  Descriptor lock(
      ::openat(folder_fd.Get(), name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
  struct stat status {};
  if (lock.Get() < 0 || ::fstat(lock.Get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::geteuid()) {
    return name + ": " + WhyNotOurs(folder / name, false);
  }
  if (::flock(lock.Get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK) return name + ": " + std::strerror(errno);
    other_running_ = true;
  } else {
    descriptor_ = lock.Release();
  }
  folder_ = folder;
  return {};
}

SingleInstance::~SingleInstance() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

std::filesystem::path SingleInstance::HandOverSocket() const {
  if (folder_.empty()) return {};
  return folder_ / (name_ + ".socket");
}

std::vector<std::filesystem::path> SingleInstance::RuntimeFolders() {
  std::vector<std::filesystem::path> folders;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime == '/' && IsPrivateFolder(runtime)) {
    folders.push_back(std::filesystem::path(runtime) / "qvr");
  }
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') std::snprintf(host, sizeof host, "localhost");
  std::string name = host;
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  folders.push_back(UserDataHome() / ("qvr-runtime-" + name));
  return folders;
}

}  // namespace qvr
