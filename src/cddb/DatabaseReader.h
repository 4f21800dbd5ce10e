// Reading a database disc by disc, for readers that go through many discs or look for one
// (qvrdb's list, show and export): master records are read one at a time, and each disc is
// resolved as a lookup resolves it, so that memory holds one disc rather than the database.
//
// Names are read straight from their records when every ID of a name file is its record number,
// as the store writes them (seen at the file's first name, so that readers of no names never read
// the file); a damaged file (IDs out of place) is read into an ID -> name map once instead, with the first record
// winning as in a search. Tracks are found through a compact index of the track file (a hash and a record number per
// track record, read once).
//
// Files are opened read-only under the shared lock, which is held for the reader's life, so no
// store is seen half done. Nothing is created: a missing file reads as one without records.
#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "cddb/DatabaseSnapshot.h"
#include "cddb/DiscRecord.h"
#include "cddb/Records.h"

namespace qvr {
class RecordFile;
}

namespace qvr {

class DatabaseReader {
 public:
  // Raises Error when a file exists but cannot be opened or read.
  explicit DatabaseReader(const std::filesystem::path& master_path);
  ~DatabaseReader();
  DatabaseReader(const DatabaseReader&) = delete;
  DatabaseReader& operator=(const DatabaseReader&) = delete;

  // Existence, size and header of each file.
  const SnapshotFile& File(DBFile file) const { return files_[static_cast<std::size_t>(file)]; }

  // Calls `visit` with each master record from record 1 on, in file order, until it returns
  // false. Nothing when the master file is missing or has another version.
  void ForEachMaster(const std::function<bool(const TMasterRecord&)>& visit) const;
  // The first master record whose disc key is `key` (Shift-JIS, ASCII letters in either case);
  // only that record is decoded.
  std::optional<TMasterRecord> FindMaster(std::string_view key) const;

  // Reads the track file once into a compact index (a hash and a record number per track
  // record), so that Resolve finds tracks without a pass over the file: for readers that resolve
  // many discs. Without it, Resolve reads the track file up to the disc's tracks.
  void IndexTracks();

  // The disc of `master` as DatabaseSnapshot::Disc gives it: its first track records, names
  // resolved (empty for IDs no record has, and for files of another version).
  TDiscRecord Resolve(const TMasterRecord& master) const;

  // The open file, when it exists and carries its version; else null.
  const RecordFile* Open(DBFile file) const;

  // The name with `id` in a name file (Artist, Label or Genre).
  std::string NameOf(DBFile file, std::int64_t id) const;

 private:
  struct Files;
  void LearnNames(std::size_t file) const;

  std::array<SnapshotFile, 5> files_;
  std::unique_ptr<Files> open_;
  bool indexed_ = false;
};

}  // namespace qvr
