// Non-blocking open, then fstat: only regular files get through.
#include "util/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qvr {

int OpenRegularFile(const std::filesystem::path& path, int flags, int& error) {
  int fd = -1;
  do {
    fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    error = errno;
    return -1;
  }
  struct stat state {};
  if (fstat(fd, &state) != 0 || !S_ISREG(state.st_mode)) {
    error = S_ISDIR(state.st_mode) ? EISDIR : kNotRegularFile;
    ::close(fd);
    return -1;
  }
  const int status = fcntl(fd, F_GETFL);
  if (status >= 0) fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
  error = 0;
  return fd;
}

std::string OpenFailureReason(int error) {
  if (error == kNotRegularFile) return "通常のファイルではありません";
  return std::strerror(error);
}

}  // namespace qvr
