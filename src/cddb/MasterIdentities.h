// The identities (key, track count, disc time) of every master record, read in one pass, for a
// reader that learns which disc it looks for only after reading the file: qvrdb's probe reads
// the master file while its companion program reads the disc. 16 bytes per record are kept
// (1.6 MB for 100,000 discs) instead of the record's 652, and the disc is then found in memory.
#pragma once

#include <array>
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
  explicit MasterIdentities(const std::filesystem::path& master_path);

  // The first record with `identity`, as DBLookup's search finds it, or none.
  std::optional<MasterPlace> Find(const DiscIdentity& identity) const;

  // Records read (record 1 on).
  std::size_t Count() const { return identities_.size(); }

 private:
  struct Identity {
    std::array<char, 8> Key;  // the key's room as stored, its length byte apart
    std::uint8_t KeyLength;   // as stored: above 8 in a damaged record, which never matches
    std::uint8_t TrackCount;
    std::uint32_t DiscTime;
  };
  std::vector<Identity> identities_;
};

}  // namespace qvr
