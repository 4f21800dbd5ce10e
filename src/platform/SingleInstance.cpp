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

// Opens the private folder, making it when missing; -1 when it is a link or not this user's.
// A folder of this user that others may enter is closed to them first.
int OpenPrivateFolder(const std::filesystem::path& folder) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    std::error_code error;
    std::filesystem::create_directories(folder.parent_path(), error);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return -1;
  }
  Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (fd.Get() < 0) return -1;
  struct stat status {};
  if (::fstat(fd.Get(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::geteuid()) return -1;
  if ((status.st_mode & 077) != 0 && ::fchmod(fd.Get(), 0700) != 0) return -1;
  return fd.Release();
}

}  // namespace

SingleInstance::SingleInstance(std::string_view name, const std::filesystem::path& folder) {
  Descriptor folder_fd(OpenPrivateFolder(folder));
  if (folder_fd.Get() < 0) return;
  const std::string file(name);
  Descriptor lock(
      ::openat(folder_fd.Get(), file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
  if (lock.Get() < 0) return;
  struct stat status {};
  if (::fstat(lock.Get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::geteuid()) return;
  folder_ = folder;
  if (::flock(lock.Get(), LOCK_EX | LOCK_NB) != 0) {
    other_running_ = errno == EWOULDBLOCK;
    return;
  }
  descriptor_ = lock.Release();
}

SingleInstance::~SingleInstance() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

std::filesystem::path SingleInstance::RuntimeFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime == '/' && IsPrivateFolder(runtime)) return std::filesystem::path(runtime) / "qvr";
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') std::snprintf(host, sizeof host, "localhost");
  std::string name = host;
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  return UserDataHome() / ("qvr-runtime-" + name);
}

std::filesystem::path SingleInstance::HandOverSocket(std::string_view name) {
  return RuntimeFolder() / (std::string(name) + ".socket");
}

}  // namespace qvr
