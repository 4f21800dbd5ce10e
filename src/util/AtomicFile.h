// Whole-file replacement that never leaves a half-written file behind: the new contents go to a
// temporary file in the same folder, are flushed to disk and renamed over the old file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "util/Error.h"

namespace qvr {

// Raised when a file cannot be written; names the file and the system's reason.
class FileWriteError : public Error {
 public:
  FileWriteError(const std::filesystem::path& path, const std::string& reason);
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Replaces the contents of `path` with `contents`. On failure the old file (or its absence) is
// left exactly as it was and FileWriteError is raised. An existing file keeps its permissions.
void ReplaceFileContents(const std::filesystem::path& path, std::string_view contents);

// Why ReplaceFileContents would refuse `path` now without writing anything (the file read-only or
// not a regular file, its folder missing or closed to writing): the system's reason in words for
// the user, or empty when nothing stands in the way.
std::string ReplaceProblem(const std::filesystem::path& path);

// Creates `path` with `contents` unless it exists: the contents are written to a temporary file
// and linked into place, so that the file appears whole and an existing file (another
// creator's, perhaps already written to) is never replaced. Returns false when it existed.
// Raises FileWriteError when it cannot be created.
bool CreateFileContents(const std::filesystem::path& path, std::string_view contents);

// A whole-file replacement written piece by piece, for files too large to build in memory: a
// locked temporary file beside `path` (as ReplaceFileContents uses) starts as a copy of the
// file's current contents and takes positioned writes; Commit flushes it to disk and renames it
// over the file. Destroyed without Commit, it removes the temporary file and the file stays as it
// was. A killed writer leaves an unlocked temporary that the next replacement of the file removes.
class FileReplacement {
 public:
  // Raises FileWriteError when the file is read-only or the temporary cannot be made or filled.
  explicit FileReplacement(const std::filesystem::path& path);
  // A file that does not exist yet: the temporary starts empty (readable by all, writable by its
  // owner) and Commit links it into place, refusing (FileWriteError) when a file has appeared
  // there meanwhile.
  struct NewFile {};
  FileReplacement(const std::filesystem::path& path, NewFile);
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  void WriteAt(std::uint64_t offset, const char* data, std::size_t size);
  // Reads back up to `size` bytes at `offset`; returns how many there were.
  std::size_t ReadAt(std::uint64_t offset, char* data, std::size_t size) const;
  // Flushes the new contents to disk (the slow part of a commit; several files can be synced
  // before the first is renamed).
  void Sync();
  // Renames the new contents over the file (flushing them first unless Sync did since the last
  // write) and makes the rename durable.
  void Commit();

 private:
  struct Temporary;
  std::filesystem::path path_, target_;
  std::unique_ptr<Temporary> temporary_;
  bool new_file_ = false;
  bool synced_ = false;
};

// Reads a whole file. Returns false when it does not exist; raises Error when it exists but
// cannot be read or is not a regular file (a FIFO or device is refused without blocking), or
// holds more than `max_bytes` (checked before anything is read, and again while reading a file
// that grows).
bool ReadWholeFile(const std::filesystem::path& path, std::string& contents, std::uint64_t max_bytes = UINT64_MAX);

// The message of a file refused for holding more than `max_bytes`.
std::string FileTooLargeMessage(const std::filesystem::path& path, std::uint64_t max_bytes);

}  // namespace qvr
