// The identities (key, track count, disc time) of the master records, read in one pass, for a
// reader that learns which disc it looks for while it reads the file: qvrdb's probe reads the
// master file while another thread reads the disc. Until the disc is known, three bytes per record
// are kept (a 16-bit fingerprint of the identity and the track count: 300 KB for 100,000 discs,
// where the records take 65 MB); from the moment it is known, the records are compared with it
// as they are read, and the pass ends at the first that holds it. A disc is found among the
// fingerprints kept, and each record whose fingerprint matches is read again to be sure.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "cddb/TrackFile.h"

namespace qvr {

class RecordFile;
class RecordScanner;

// Where a disc's master record was found: its record number, and where its track records
// should lie (TrackPlace::FirstTrack).
struct MasterPlace {
  std::size_t Record = 0;
  std::size_t FirstTrack = 1;
};

// The identity of the disc sought, handed from the thread that reads the disc to the pass over
// the master file: set once, read any time from any thread.
class SoughtDisc {
 public:
  void Set(const DiscIdentity& identity) {
    identity_ = identity;
    known_.store(true, std::memory_order_release);
  }
  // The identity once it is set, else nullptr.
  const DiscIdentity* Get() const { return known_.load(std::memory_order_acquire) ? &identity_ : nullptr; }

 private:
  DiscIdentity identity_;
  std::atomic<bool> known_ = false;
};

class MasterIdentities {
 public:
  // Reads the master file `master_path` under the shared lock of its folder; with `sought`, the
  // pass looks at it before each record and, once it is set, searches for that disc in the rest
  // of the file instead of keeping fingerprints. A missing file, or one of another version, reads
  // as having no records. Raises Error when it exists but cannot be opened or read.
  explicit MasterIdentities(std::filesystem::path master_path, const SoughtDisc* sought = nullptr);

  // The first record with `identity`, as DBLookup's search finds it, or none. Reads the records
  // whose fingerprint matches (under the shared lock); raises Error when the file cannot be read.
  // A disc other than the one the pass searched for is searched for in the rest of the file.
  std::optional<MasterPlace> Find(const DiscIdentity& identity) const;

  // Records whose fingerprints are kept (record 1 on): all of them when no disc was sought.
  std::size_t Count() const { return fingerprints_.size(); }

  // The fingerprint of `identity`: key, track count and disc time folded to 16 bits. A record
  // holding the identity has the same.
  static std::uint16_t FingerprintOf(const DiscIdentity& identity);

 private:
  // The first record among those with fingerprints kept that holds `identity`, read from `master`
  // (when null, the file is opened under the shared lock).
  std::optional<MasterPlace> FindKept(const DiscIdentity& identity, const RecordFile* master) const;
  // Searches `scan`'s records from `record` (the one it returned last) on for `identity`, which
  // starts at track record `tracks`.
  static std::optional<MasterPlace> Search(RecordScanner& scan, const char* record, const DiscIdentity& identity,
                                           TrackPlace tracks);
  // Where the track records of the record after those with fingerprints kept would start.
  TrackPlace TracksAfterKept() const;

  std::filesystem::path path_;
  std::vector<std::uint16_t> fingerprints_;  // of record n at n - 1
  std::vector<std::uint8_t> track_counts_;
  // The disc the pass searched for once it was known (not kept when the pass ended first), and
  // the first record after the kept ones that holds it.
  std::optional<DiscIdentity> searched_;
  std::optional<MasterPlace> searched_place_;
};

}  // namespace qvr
