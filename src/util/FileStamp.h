// Which file a path names now and how it was last written, to tell cheaply whether it changed
// since it was last read: a write, a replacement or a change of its attributes changes it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>

namespace qvr {

struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  std::int64_t modified_ns = 0;
  std::int64_t changed_ns = 0;  // the inode's change time: also moves when a write keeps size and modification time
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The stamp of the file `path` names (symbolic links followed); nothing when it cannot be read.
std::optional<FileStamp> StampOf(const std::filesystem::path& path);

}  // namespace qvr
