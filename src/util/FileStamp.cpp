// File stamps from stat.
#include "util/FileStamp.h"

#include <sys/stat.h>

namespace qvr {

std::optional<FileStamp> StampOf(const std::filesystem::path& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return FileStamp{status.st_dev, status.st_ino, status.st_size,
                   std::int64_t{status.st_mtim.tv_sec} * 1000000000 + status.st_mtim.tv_nsec,
                   std::int64_t{status.st_ctim.tv_sec} * 1000000000 + status.st_ctim.tv_nsec};
}

}  // namespace qvr
