// The track file ("TrackDB.QVR") as the lookup and the store use it: the records of one disc's
// tracks found in a single pass, with the results of a search from record 1 per track.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "cddb/DiscRecord.h"
#include "cddb/RecordFile.h"
#include "cddb/Records.h"

namespace qvr {

// What identifies a disc: a master record or track record belongs to the disc when all three
// are equal (the key by length and bytes).
struct DiscIdentity {
  ShortString<8> DiscKey;
  std::uint8_t TrackCount = 0;
  std::uint32_t DiscTime = 0;
};

// True when the record bytes hold `identity` in the fields at the given offsets. The key's
// length byte is compared as stored, so a damaged length above 8 never matches.
bool MatchesIdentity(const char* record, std::size_t key_offset, std::size_t count_offset, std::size_t time_offset,
                     const DiscIdentity& identity);

struct FoundTrack {
  std::size_t Record = 0;  // record number in the file
  TTrackRecord Track;
};

// Slot n-1 holds the first record of track n of the disc, for n = 1 .. UsedTracks(TrackCount);
// empty where the disc has no record for that track. Reads `file` (with a valid header) once
// and stops as soon as every track is found.
std::array<std::optional<FoundTrack>, kMaxTracks> FindTracks(const RecordFile& file, const DiscIdentity& identity);

}  // namespace qvr
