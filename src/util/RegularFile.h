// Opening files that must be plain files (database files, the settings file, lyrics, images,
// JSON to import). A FIFO, device or socket put in their place would block an open or a read
// for good; they are refused without waiting.
#pragma once

#include <filesystem>
#include <string>

namespace qvr {

// errno value with which OpenRegularFile refuses a path that is not a regular file (a folder
// gives EISDIR).
inline constexpr int kNotRegularFile = -1;

// Opens `path` with `flags` (O_RDONLY or O_RDWR; O_CLOEXEC is added) when it is a regular file.
// The open itself never blocks: it is made non-blocking, the descriptor is checked with fstat
// and only then put back into blocking mode. Returns the descriptor, or -1 with the reason in
// `error` (an errno value, EISDIR for a folder, kNotRegularFile for anything else).
int OpenRegularFile(const std::filesystem::path& path, int flags, int& error);

// The system's reason for an error from OpenRegularFile, in words for the user.
std::string OpenFailureReason(int error);

}  // namespace qvr
