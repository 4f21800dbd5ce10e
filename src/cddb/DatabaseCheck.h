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

// The memory the validator's tables of disc identities and names may take before they go to
// temporary files: enough for a quarter of a million discs.
inline constexpr std::size_t kCheckMemory = 16u << 20;

// Everything found in the database of `master_path`: first the files themselves (existence,
// headers, partial records, damaged fields), then master, track, artist, label and genre records,
// each part in record order. Each file is read once, record by record, under the shared lock.
// Memory does not grow with the database: the disc identities (one per disc, its tracks as runs
// of records) and name hashes that the checks across records need are kept in hash tables within
// `memory`; past it they are split by hash into temporary files, each then checked on its own.
// Of the name files' IDs only those that are not their record number are kept. Raises Error
// when a file exists but cannot be read or a temporary file cannot be written.
std::vector<CheckFinding> CheckDatabase(const std::filesystem::path& master_path, std::size_t memory = kCheckMemory);

// The same for the database a snapshot was read from (read again from its files).
std::vector<CheckFinding> CheckDatabase(const DatabaseSnapshot& snapshot);

}  // namespace qvr
