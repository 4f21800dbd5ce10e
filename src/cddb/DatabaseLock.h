// The advisory lock on the database folder that every database operation of every process
// holds: shared for lookups and reads, exclusive for stores and for creating the files. It is
// flock(2) on the folder itself, so a read-only database can still be locked, and nothing is
// created for it.
//
// Within one process the lock is counted per folder: an operation started while another one
// holds it (a lookup from the progress display of a lookup, a store from there) shares the
// holding and raises it to exclusive for its own length when it needs to write.
#pragma once

#include <filesystem>

namespace qvr {

class DatabaseLock {
 public:
  enum class Mode { Shared, Exclusive };

  // How long an operation waits for another process to finish before it gives up.
  static constexpr int kWaitSeconds = 30;

  // Takes the lock on `folder`, waiting while another process holds it in a mode that
  // conflicts. Raises Error when the folder cannot be opened or the wait runs out.
  DatabaseLock(const std::filesystem::path& folder, Mode mode);
  ~DatabaseLock();
  DatabaseLock(const DatabaseLock&) = delete;
  DatabaseLock& operator=(const DatabaseLock&) = delete;

  struct Holding;  // the process's hold on one folder

 private:
  Holding* holding_;
  Mode mode_;
};

// The folder the database files lie in: the master file's folder ("." when it has none).
std::filesystem::path DatabaseFolder(const std::filesystem::path& master_path);

}  // namespace qvr
