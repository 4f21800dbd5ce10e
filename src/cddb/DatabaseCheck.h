// Validation of a whole database: file sizes and headers, damaged fields, references to names
// that do not exist, and records that can never be found because an earlier one has the same
// identity. Used by `qvrdb check`.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "cddb/DatabaseSnapshot.h"

namespace qvr {

struct CheckFinding {
  bool Problem = true;  // false: a remark that needs no repair (a file not created yet, ...)
  std::string Text;     // UTF-8, one line, naming the file and record
};

// The memory the validator's sorts take before they go to temporary files.
inline constexpr std::size_t kCheckSortMemory = 4u << 20;

// Everything found in the database of `master_path`: first the files themselves (existence,
// headers, partial records, damaged fields), then master, track, artist, label and genre records,
// each part in record order. Each file is read once, record by record, under the shared lock.
// Memory does not grow with the database: the disc identities, track keys and name hashes that
// the checks across records need are sorted within `sort_memory` (the rest in temporary files),
// and of the name files' IDs only those that are not their record number are kept. Raises Error
// when a file exists but cannot be read or a temporary file cannot be written.
std::vector<CheckFinding> CheckDatabase(const std::filesystem::path& master_path,
                                        std::size_t sort_memory = kCheckSortMemory);

// The same for the database a snapshot was read from (read again from its files).
std::vector<CheckFinding> CheckDatabase(const DatabaseSnapshot& snapshot);

}  // namespace qvr
