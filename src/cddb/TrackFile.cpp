// Single-pass search for a disc's track records.
#include "cddb/TrackFile.h"

#include <cstring>
#include <vector>

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

std::array<std::optional<FoundTrack>, kMaxTracks> FindTracksAt(const RecordFile& file, const DiscIdentity& identity,
                                                               std::size_t first_track) {
  namespace t = track_layout;
  const std::size_t used = UsedTracks(identity.TrackCount);
  std::array<std::optional<FoundTrack>, kMaxTracks> found;
  if (used == 0) return found;
  std::vector<char> records(used * kTrackRecordSize);
  if (first_track >= 1 && file.Read(first_track, used, records.data()) == used) {
    for (std::size_t n = 1; n <= used; ++n) {
      const char* record = records.data() + (n - 1) * kTrackRecordSize;
      if (!MatchesIdentity(record, t::DiscKey.Offset, t::TrackCount.Offset, t::DiscTime.Offset, identity) ||
          static_cast<unsigned char>(record[t::TrackNo.Offset]) != n) {
        return FindTracks(file, identity);
      }
      found[n - 1] = FoundTrack{first_track + n - 1,
                                DecodeTrackRecord(std::span<const char, kTrackRecordSize>(record, kTrackRecordSize))};
    }
    return found;
  }
  return FindTracks(file, identity);
}

}  // namespace qvr
