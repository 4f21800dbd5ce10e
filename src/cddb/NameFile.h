// The three name files ("ArtistDB.QVR", "LabelDB.QVR", "GenreDB.QVR") as the lookup and the
// store use them: every name needed by one operation is resolved or added in a single pass over
// the file, with the results a record-by-record search from record 1 would give.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cddb/RecordFile.h"

namespace qvr {

// ID -> name. For each of `ids`, the name of the first record (from record 1) whose ID equals
// it, or the empty text when no record has it; returned in the order of `ids`. Reads `file`
// (a name file with a valid header) once, and stops as soon as every ID is found.
std::vector<std::string> NamesOf(const RecordFile& file, std::span<const std::int64_t> ids);

// Name -> ID, adding names that are new. The result of AssignIDs, before anything is written.
struct NameAssignment {
  std::vector<std::int64_t> IDs;      // one per requested name, in request order
  std::vector<std::string> NewNames;  // names to append, in the order they were first asked for
  std::size_t FirstNewRecord = 0;     // record number (and ID) of NewNames[0]
};

// For each of `names` in order: the ID of the first record whose name is byte for byte equal,
// else the ID the name gets when it is appended, which is the number of records in the file
// at that moment (so the first new name gets the current record count, the next one more). A
// name asked for twice gets the same ID. Names are given already cut to the file's capacity.
// Reads `file` once. For the genre file an ID above 255 does not fit its one-byte field; the
// assignment then raises Error naming the genre, before anything is written.
NameAssignment AssignIDs(const RecordFile& file, std::span<const std::string_view> names);

// The highest ID the genre file's one-byte field holds, and the message refusing a genre that
// would need a higher one (`name` in Shift-JIS).
inline constexpr std::int64_t kMaxGenreID = 255;
std::string TooManyGenresMessage(std::string_view name);

// Appends the new names of `assignment` to `file` in one write.
void AppendNames(RecordFile& file, const NameAssignment& assignment);

}  // namespace qvr
