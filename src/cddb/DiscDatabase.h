// The disc database: finds a disc in the five files and fills a TDiscRecord with its texts, and
// writes a TDiscRecord back, keeping the name files free of duplicates.
//
// The only state is the master file's path. Every operation opens the files it needs, reads each
// of them at most once and closes them before it returns; nothing is cached, so files replaced
// while the program runs take effect at the next operation. A lookup lets the progress display
// run pending work after every master record; a lookup (or store) started from there works on
// its own open files and does not disturb the outer one.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "cddb/DatabaseFiles.h"
#include "cddb/DateSource.h"
#include "cddb/DiscRecord.h"
#include "cddb/SearchProgress.h"

namespace qvr {

struct MasterPlace;

class TDiscDatabase {
 public:
  // `dates` dates the header of a newly created master file; it must outlive the database.
  explicit TDiscDatabase(const TDateSource& dates) : dates_(dates) {}

  // Records the master file's path; the other four files lie in its folder. Opens and creates
  // nothing: files are created by the first operation that needs them.
  void DBOpen(std::filesystem::path master_path) { master_path_ = std::move(master_path); }
  // Nothing to release: no file stays open between operations.
  void DBClose() {}

  const std::filesystem::path& MasterPath() const { return master_path_; }
  const TDateSource& Dates() const { return dates_; }
  std::filesystem::path FilePath(DBFile file) const { return DBFilePath(master_path_, file); }

  // Creates each of the five files that does not exist, with its header record as its only
  // record. Existing files are not touched. Raises Error when a file cannot be created.
  void DBCreate() const;
  // Creates the database's folder with its parents when it does not exist. Raises Error when it
  // cannot be made.
  void DBCreateFolder() const;

  // Looks `disc` (identity and track positions from the drive) up. The result is a copy of
  // `disc`, filled from the first master record with the same key, track count and disc time
  // when there is one; otherwise only its DiscType is guessed from the track count. A master
  // file with a wrong version gives the unchanged copy without any progress call. Raises Error
  // when a file cannot be opened or read.
  TDiscRecord DBLookup(const TDiscRecord& disc, TSearchProgress& progress) const;

  // DBLookup of a disc whose master record a reader of the master file found at `place`
  // (MasterIdentities), without a new search and without progress calls. The record there is
  // read again and used when it still holds the disc's identity; otherwise (the file was
  // replaced since) the master file is searched as DBLookup searches it.
  TDiscRecord DBLookupAt(const TDiscRecord& disc, const MasterPlace& place) const;

  // Stores `disc`: its track records (found ones overwritten in place, keeping their stored
  // StartPos and Length; new ones appended), new names, and its master record (overwritten in
  // place when found, else appended). Everything is checked before the first write: a file with
  // a wrong version or a 256th distinct genre raises Error and leaves all files as they were.
  // Raises Error when a file cannot be opened, read or written.
  void DBStore(const TDiscRecord& disc) const;

 private:
  const TDateSource& dates_;
  std::filesystem::path master_path_;
};

// Sets `disc` to the empty state: no key, 99 tracks, time 0, every text empty, every track
// position 0, disc type 0, sale date today.
void ClearDisc(TDiscRecord& disc, const TDateSource& dates);

// The header record (record 0) of a new `file`; `today` dates the master file's.
std::string HeaderBytes(DBFile file, TDateTime today);

// The message of a store refused because `path` is not a database file of this version.
std::string WrongVersionMessage(const std::filesystem::path& path);

// A packed MSF value as minutes:seconds:frames in plain decimal ("4:5:12", "0:0:0").
std::string MSFToStr(std::uint32_t value);

}  // namespace qvr
