// Validation of a whole database: file sizes and headers, damaged fields, references to names
// that do not exist, and records that can never be found because an earlier one has the same
// identity. Used by `qvrdb check`.
#pragma once

#include <string>
#include <vector>

#include "cddb/DatabaseSnapshot.h"

namespace qvr {

struct CheckFinding {
  bool Problem = true;  // false: a remark that needs no repair (a file not created yet, ...)
  std::string Text;     // UTF-8, one line, naming the file and record
};

// Everything found in `snapshot`, file by file in the order master, track, artist, label, genre.
std::vector<CheckFinding> CheckDatabase(const DatabaseSnapshot& snapshot);

}  // namespace qvr
