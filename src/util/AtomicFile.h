// Whole-file replacement that never leaves a half-written file behind: the new contents go to a
// temporary file in the same folder, are flushed to disk and renamed over the old file.
#pragma once

#include <filesystem>
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

// Creates `path` with `contents` unless it exists: the contents are written to a temporary file
// and linked into place, so that the file appears whole and an existing file (another
// creator's, perhaps already written to) is never replaced. Returns false when it existed.
// Raises FileWriteError when it cannot be created.
bool CreateFileContents(const std::filesystem::path& path, std::string_view contents);

// Reads a whole file. Returns false when it does not exist; raises Error when it exists but
// cannot be read or is not a regular file (a FIFO or device is refused without blocking).
bool ReadWholeFile(const std::filesystem::path& path, std::string& contents);

}  // namespace qvr
