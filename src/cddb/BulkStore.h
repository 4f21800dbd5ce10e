// Storing many discs in one go (qvrdb import): the five files end up byte for byte as storing
// the discs one by one with DBStore leaves them, but each file is read once and written once, so
// the time grows with the size of the files rather than with discs times file size.
//
// The store holds the database's exclusive lock from its creation to its end. It keeps in memory
// only what the lookups of a store need: the names of each name file with their IDs, and per disc
// identity its master record and where its track records are. The new contents of each file that
// changes go to a temporary file beside it (a copy of the old contents, or the header record for
// a file not there yet, then the overwritten and appended records), each written once and
// flushed once; Commit renames (or, new, links) them into place, name files first, then the track file, then
// the master file, so that no file in place ever refers to records that are not. Destroyed
// without Commit (an error, bad input further on), it leaves the database as it was.
#pragma once

#include <functional>
#include <memory>

#include "cddb/DatabaseFiles.h"
#include "cddb/DiscDatabase.h"

namespace qvr {

class BulkStore {
 public:
  // Makes the database's folder when missing, takes the exclusive lock and reads the five files
  // once; a missing file will be made by Commit (its header dated by `database`'s date source).
  // Raises Error when a file cannot be opened, read or is read-only, or when the lock cannot be
  // had.
  explicit BulkStore(const TDiscDatabase& database);
  ~BulkStore();
  BulkStore(const BulkStore&) = delete;
  BulkStore& operator=(const BulkStore&) = delete;

  // Stores `disc` as DBStore would at this point of a one-by-one store: the same refusals (a
  // file of another version, a 256th genre) with the same messages, and then nothing of this
  // disc is kept. Raises Error when a temporary file cannot be written.
  void Store(const TDiscRecord& disc);

  // Puts every stored disc into the database files. Raises Error when a file cannot be written;
  // files renamed before the failure stay in place.
  void Commit();

  // Called before each changed file is renamed into place by Commit. A test throws from it to
  // see the database a process killed at that moment leaves.
  std::function<void(DBFile)> BeforeRename;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace qvr
