// The identities (key, track count, disc time) of every master record, read in one pass, for a
// reader that learns which disc it looks for only after reading the file: qvrdb's probe reads
// the master file while its companion program reads the disc. Three bytes per record are kept
// (300 KB for 100,000 discs, where the records take 65 MB): a 16-bit fingerprint of the identity
// and the track count. A disc is then found among the fingerprints, and each record whose
// fingerprint matches is read again to be sure (about one and a half a search for 100,000 discs).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "cddb/TrackFile.h"

namespace qvr {

// Where a disc's master record was found: its record number, and where its track records
// should lie (TrackPlace::FirstTrack).
struct MasterPlace {
  std::size_t Record = 0;
  std::size_t FirstTrack = 1;
};

class MasterIdentities {
 public:
  // Reads the master file `master_path` under the shared lock of its folder. A missing file, or
  // one of another version, reads as having no records. Raises Error when it exists but cannot
  // be opened or read.
  explicit MasterIdentities(std::filesystem::path master_path);

  // The first record with `identity`, as DBLookup's search finds it, or none. Reads the records
  // whose fingerprint matches (under the shared lock); raises Error when the file cannot be read.
  std::optional<MasterPlace> Find(const DiscIdentity& identity) const;

  // Records read (record 1 on).
  std::size_t Count() const { return fingerprints_.size(); }

  // The fingerprint of `identity`: key, track count and disc time folded to 16 bits. A record
  // holding the identity has the same.
  static std::uint16_t FingerprintOf(const DiscIdentity& identity);

 private:
  std::filesystem::path path_;
  std::vector<std::uint16_t> fingerprints_;  // of record n at n - 1
  std::vector<std::uint8_t> track_counts_;
};

}  // namespace qvr
