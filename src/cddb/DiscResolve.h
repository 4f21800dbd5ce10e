// Turning a found master record, its track records and the names they refer to into a
// TDiscRecord, the same way for the lookup (which reads only what one disc needs) and for whole-
// database readers such as the qvrdb tool (which read every file once).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "cddb/DiscRecord.h"
#include "cddb/Records.h"

namespace qvr {

// ID -> name for each name file; an ID not in a map resolves to the empty name. Each map holds
// the name of the first record (from record 1) with that ID.
struct NameMaps {
  std::unordered_map<std::int64_t, std::string> Artists;
  std::unordered_map<std::int64_t, std::string> Labels;
  std::unordered_map<std::int64_t, std::string> Genres;
};

// Slot n-1: the first track record of track n of the disc, if there is one.
using DiscTracks = std::array<std::optional<TTrackRecord>, kMaxTracks>;

// The artist IDs a disc refers to: the disc artist, then each found track's lyricist, composer
// and arranger. And its genre IDs, one per found track.
std::vector<std::int64_t> ArtistIDsOf(const TMasterRecord& master, const DiscTracks& tracks);
std::vector<std::int64_t> GenreIDsOf(const DiscTracks& tracks);

// Fills `result` from a found master record as the lookup does: identity, disc texts and date
// from the record, names through `names`; track n (up to TrackCount, at most 99) from its record,
// or, without one, keeping the StartPos and Length already in `result` with empty texts; the
// entries above TrackCount cleared.
void FillFromMaster(TDiscRecord& result, const TMasterRecord& master, const DiscTracks& tracks, const NameMaps& names);

}  // namespace qvr
