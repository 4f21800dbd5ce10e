// Resolution of a master record into a TDiscRecord.
#include "cddb/DiscResolve.h"

namespace qvr {
namespace {

std::string_view NameIn(const std::unordered_map<std::int64_t, std::string>& map, std::int64_t id) {
  auto found = map.find(id);
  return found == map.end() ? std::string_view() : std::string_view(found->second);
}

}  // namespace

std::vector<std::int64_t> ArtistIDsOf(const TMasterRecord& master, const DiscTracks& tracks) {
  std::vector<std::int64_t> ids{master.ArtistID};
  for (const auto& track : tracks) {
    if (!track) continue;
    ids.insert(ids.end(), {track->LyricsbyID, track->MusicbyID, track->ArrangebyID});
  }
  return ids;
}

std::vector<std::int64_t> GenreIDsOf(const DiscTracks& tracks) {
  std::vector<std::int64_t> ids;
  for (const auto& track : tracks) {
    if (track) ids.push_back(track->GenreID);
  }
  return ids;
}

void FillFromMaster(TDiscRecord& result, const TMasterRecord& master, const DiscTracks& tracks, const NameMaps& names) {
  result.Reserved = master.Reserved;
  result.DiscKey = master.DiscKey;
  result.TrackCount = master.TrackCount;
  result.DiscTime = master.DiscTime;
  const std::size_t used = UsedTracks(master.TrackCount);
  for (std::size_t n = 1; n <= kMaxTracks; ++n) {
    TTrackEntry& entry = result.Tracks[n];
    if (n > used) {
      entry = TTrackEntry{};
    } else if (const auto& track = tracks[n - 1]) {
      entry.StartPos = track->StartPos;
      entry.Length = track->Length;
      entry.TrackName = track->TrackName;
      entry.Lyricsby = NameIn(names.Artists, track->LyricsbyID);
      entry.Musicby = NameIn(names.Artists, track->MusicbyID);
      entry.Arrangeby = NameIn(names.Artists, track->ArrangebyID);
      entry.Genre = NameIn(names.Genres, track->GenreID);
    } else {
      entry = TTrackEntry{entry.StartPos, entry.Length, {}, {}, {}, {}, {}};
    }
  }
  result.DiscName = master.DiscName;
  result.ArtistName = NameIn(names.Artists, master.ArtistID);
  result.SaleDate = master.SaleDate;
  result.LabelName = NameIn(names.Labels, master.LabelID);
  result.DiscType = master.DiscType;
  result.JacketFile = master.JacketFile;
  result.LyricsFile = master.LyricsFile;
}

}  // namespace qvr
