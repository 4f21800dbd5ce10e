// The single-instance guard over flock(2): the kernel drops the lock when the process ends, so
// a crashed program leaves no stale guard behind.
#include "platform/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace qvr {

SingleInstance::SingleInstance(const std::filesystem::path& file) {
  const int descriptor = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (descriptor < 0) return;
  if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
    other_running_ = errno == EWOULDBLOCK;
    ::close(descriptor);
    return;
  }
  descriptor_ = descriptor;
}

SingleInstance::~SingleInstance() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

std::filesystem::path SingleInstance::LockFile(std::string_view name) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::error_code error;
  if (runtime && *runtime && std::filesystem::is_directory(runtime, error)) return std::filesystem::path(runtime) / name;
  return std::filesystem::temp_directory_path() / (std::string(name) + "-" + std::to_string(::getuid()));
}

std::filesystem::path SingleInstance::HandOverSocket(std::string_view name) {
  std::filesystem::path socket = LockFile(name);
  socket += ".socket";
  return socket;
}

}  // namespace qvr
