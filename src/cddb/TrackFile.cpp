// Single-pass search for a disc's track records.
#include "cddb/TrackFile.h"

#include <cstring>

namespace qvr {

bool MatchesIdentity(const char* record, std::size_t key_offset, std::size_t count_offset, std::size_t time_offset,
                     const DiscIdentity& identity) {
  const std::string_view key = identity.DiscKey.View();
  return static_cast<unsigned char>(record[count_offset]) == identity.TrackCount &&
         ReadUInt32At(record, time_offset) == identity.DiscTime &&
         static_cast<unsigned char>(record[key_offset]) == key.size() &&
         std::memcmp(record + key_offset + 1, key.data(), key.size()) == 0;
}

std::array<std::optional<FoundTrack>, kMaxTracks> FindTracks(const RecordFile& file, const DiscIdentity& identity) {
  namespace t = track_layout;
  std::array<std::optional<FoundTrack>, kMaxTracks> found;
  std::size_t missing = UsedTracks(identity.TrackCount);
  RecordScanner scan(file);
  while (missing > 0) {
    const char* record = scan.Next();
    if (!record) break;
    if (!MatchesIdentity(record, t::DiscKey.Offset, t::TrackCount.Offset, t::DiscTime.Offset, identity)) continue;
    const auto track_no = static_cast<unsigned char>(record[t::TrackNo.Offset]);
    if (track_no < 1 || track_no > UsedTracks(identity.TrackCount) || found[track_no - 1]) continue;
    found[track_no - 1] =
        FoundTrack{scan.Index(), DecodeTrackRecord(std::span<const char, kTrackRecordSize>(record, kTrackRecordSize))};
    --missing;
  }
  return found;
}

}  // namespace qvr
