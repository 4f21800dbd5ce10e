// TDiscRecord and TTrackEntry: one disc in memory with every name resolved, the plain value that
// the controller, the lookup, the store and the registration dialog copy whole.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "cddb/Records.h"
#include "util/ShortString.h"

namespace qvr {

constexpr std::size_t kMaxTracks = 99;

struct TTrackEntry {
  std::uint32_t StartPos = 0;  // packed MSF
  std::uint32_t Length = 0;    // packed MSF
  ShortString<96> TrackName;
  ShortString<96> Lyricsby;
  ShortString<96> Musicby;
  ShortString<96> Arrangeby;
  ShortString<16> Genre;

  friend bool operator==(const TTrackEntry&, const TTrackEntry&) = default;
};

// The 99 track entries, numbered 1..99 like the tracks they describe.
class TTrackEntries {
 public:
  TTrackEntry& operator[](std::size_t track_no) {
    assert(track_no >= 1 && track_no <= kMaxTracks);
    return entries_[track_no - 1];
  }
  const TTrackEntry& operator[](std::size_t track_no) const {
    assert(track_no >= 1 && track_no <= kMaxTracks);
    return entries_[track_no - 1];
  }
  auto begin() { return entries_.begin(); }
  auto end() { return entries_.end(); }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }

  friend bool operator==(const TTrackEntries&, const TTrackEntries&) = default;

 private:
  std::array<TTrackEntry, kMaxTracks> entries_{};
};

// Disc types, the values of `DiscType`.
enum TDiscType : std::uint8_t { dtSingle = 0, dtAlbum = 1, dtMiniAlbum = 2, dtMaxiSingle = 3 };

// The disc type's name as the registration dialog lists it ("シングル", "アルバム", "ミニアルバム",
// "12cmシングル"); empty for values above 3.
constexpr std::string_view DiscTypeText(std::uint8_t type) {
  constexpr std::string_view kTexts[] = {"シングル", "アルバム", "ミニアルバム", "12cmシングル"};
  return type < 4 ? kTexts[type] : std::string_view();
}

struct TDiscRecord {
  std::int32_t Reserved = 0;
  ShortString<8> DiscKey;
  std::uint8_t TrackCount = 99;
  std::uint32_t DiscTime = 0;  // packed MSF
  TTrackEntries Tracks;
  ShortString<96> DiscName;  // empty: the disc is not registered
  ShortString<96> ArtistName;
  TDateTime SaleDate = 0;
  ShortString<96> LabelName;
  std::uint8_t DiscType = 0;
  ShortString<255> JacketFile;
  ShortString<255> LyricsFile;

  friend bool operator==(const TDiscRecord&, const TDiscRecord&) = default;
};

// The number of track entries of `disc` that describe tracks: TrackCount, at most 99.
constexpr std::size_t UsedTracks(std::uint8_t track_count) {
  return track_count < kMaxTracks ? track_count : kMaxTracks;
}

// The disc type guessed for an unknown disc from its number of tracks: 1 to 4 a single, 5 to 7
// a mini album, anything else (0, or 8 and more) an album.
constexpr std::uint8_t GuessDiscType(std::uint8_t track_count) {
  if (track_count >= 1 && track_count <= 4) return dtSingle;
  if (track_count >= 5 && track_count <= 7) return dtMiniAlbum;
  return dtAlbum;
}

// The names a disc refers to, in the order new ones get their IDs: `artists` holds each track's
// lyricist, composer and arranger in turn, then the disc's artist; `genres` each track's genre.
struct DiscNames {
  std::vector<std::string_view> artists, genres;
  std::string_view label;
};

// Fills `names` with the names of `disc`, reusing its vectors' room (a bulk store asks for the
// names of every disc).
inline void NamesOf(const TDiscRecord& disc, DiscNames& names) {
  const std::size_t used = UsedTracks(disc.TrackCount);
  names.artists.resize(3 * used + 1);
  names.genres.resize(used);
  for (std::size_t n = 1; n <= used; ++n) {
    const TTrackEntry& entry = disc.Tracks[n];
    names.artists[3 * n - 3] = entry.Lyricsby.View();
    names.artists[3 * n - 2] = entry.Musicby.View();
    names.artists[3 * n - 1] = entry.Arrangeby.View();
    names.genres[n - 1] = entry.Genre.View();
  }
  names.artists[3 * used] = disc.ArtistName.View();
  names.label = disc.LabelName.View();
}

inline DiscNames NamesOf(const TDiscRecord& disc) {
  DiscNames names;
  NamesOf(disc, names);
  return names;
}

// The master record of `disc` with the IDs its artist and label names have in their files.
inline TMasterRecord MasterRecordOf(const TDiscRecord& disc, std::int64_t artist_id, std::int64_t label_id) {
  TMasterRecord record;
  record.Reserved = disc.Reserved;
  record.DiscKey = disc.DiscKey;
  record.TrackCount = disc.TrackCount;
  record.DiscTime = disc.DiscTime;
  record.DiscName = disc.DiscName;
  record.ArtistID = static_cast<std::int32_t>(artist_id);
  record.SaleDate = disc.SaleDate;
  record.LabelID = static_cast<std::int32_t>(label_id);
  record.DiscType = disc.DiscType;
  record.JacketFile = disc.JacketFile;
  record.LyricsFile = disc.LyricsFile;
  return record;
}

// The track record of track `n` (1-based) of `disc`: `people` holds the lyricist, composer and
// arranger IDs of every track in turn (three a track), `genre_id` the track's genre. The
// positions are the entry's; a caller keeping stored positions sets them afterwards.
inline TTrackRecord TrackRecordOf(const TDiscRecord& disc, std::size_t n, std::span<const std::int64_t> people,
                                  std::int64_t genre_id) {
  const TTrackEntry& entry = disc.Tracks[n];
  TTrackRecord record;
  record.DiscKey = disc.DiscKey;
  record.TrackCount = disc.TrackCount;
  record.DiscTime = disc.DiscTime;
  record.TrackNo = static_cast<std::uint8_t>(n);
  record.TrackName = entry.TrackName;
  record.LyricsbyID = static_cast<std::int32_t>(people[3 * (n - 1)]);
  record.MusicbyID = static_cast<std::int32_t>(people[3 * (n - 1) + 1]);
  record.ArrangebyID = static_cast<std::int32_t>(people[3 * (n - 1) + 2]);
  record.GenreID = static_cast<std::uint8_t>(genre_id);
  record.StartPos = entry.StartPos;
  record.Length = entry.Length;
  return record;
}

}  // namespace qvr
