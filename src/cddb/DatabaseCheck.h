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

// Everything found in the database of `master_path`: first the files themselves (existence,
// headers, partial records, damaged fields), then master, track, artist, label and genre records.
// The files are read record by record under the shared lock; memory holds a compact index of the
// disc identities and track keys and the names of the name files, never the records themselves.
// Raises Error when a file exists but cannot be read.
std::vector<CheckFinding> CheckDatabase(const std::filesystem::path& master_path);

// The same for the database a snapshot was read from (read again from its files).
std::vector<CheckFinding> CheckDatabase(const DatabaseSnapshot& snapshot);

}  // namespace qvr
