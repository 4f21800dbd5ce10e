// The track file ("TrackDB.QVR") as the lookup and the store use it: the records of one disc's
// tracks found in a single pass, with the results of a search from record 1 per track, or read
// straight from where this program's stores put them.
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

  friend bool operator==(const DiscIdentity&, const DiscIdentity&) = default;
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

// Where a disc's track 1 lies in a track file this program wrote: a store appends the track
// records of a new disc (tracks 1, 2, ... in a row) just before its master record, and a disc
// stored again is overwritten in place, so the tracks of master record m follow those of master
// records 1 .. m-1: record 1 + the sum of UsedTracks(TrackCount) over those records. Feed it the
// master records before the one found, in file order.
class TrackPlace {
 public:
  void Pass(std::uint8_t track_count) { before_ += UsedTracks(track_count); }
  std::size_t FirstTrack() const { return 1 + before_; }

 private:
  std::size_t before_ = 0;
};

// As FindTracks, but first reads the records at `first_track` (TrackPlace::FirstTrack of the
// disc's master record): when they are the disc's tracks 1 .. UsedTracks(TrackCount) in a row,
// they are the result, found without a pass over the file. Anything else there (a disc stored
// again after its master record was lost, tracks of an interrupted store, a file written by
// another program) falls back to FindTracks. The result is FindTracks' whenever each (disc
// identity, track number) has one record in the file, as this program writes them; with
// duplicates (which the check reports) the records found here may lie after the first ones.
std::array<std::optional<FoundTrack>, kMaxTracks> FindTracksAt(const RecordFile& file, const DiscIdentity& identity,
                                                               std::size_t first_track);

}  // namespace qvr
