// LRCLIB (lrclib.net), the open database of timed lyrics: the requests of its "get" call (one
// track by artist, title, album and duration) and "search" call, and their JSON answers read into
// the lyrics of one track.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "lyrics/LrcWriter.h"

namespace qvr {

inline constexpr const char* kDefaultLyricsServer = "https://lrclib.net";

// What the answers may be at most: an answer larger than this, or nested deeper, is refused
// before it is read, so a server's answer costs bounded time and memory whatever its shape.
inline constexpr std::size_t kMaxLrclibAnswerBytes = 4u << 20;
inline constexpr std::size_t kMaxLrclibNesting = 32;
// The entries of a search's answer that are looked at.
inline constexpr std::size_t kMaxLrclibSearchEntries = 100;
// The timed lines of one track that are kept (the first ones in the answer), and their text in
// all: a line with many time tags is copied once for each, so the answer's size alone does not
// bound it.
inline constexpr std::size_t kMaxSyncedLines = 5000;
inline constexpr std::size_t kMaxSyncedTextBytes = 256u << 10;

// One entry of LRCLIB: a track with its lyrics, each form absent when the entry has none.
struct LrclibEntry {
  std::string TrackName, ArtistName, AlbumName;
  double Duration = 0;  // seconds; 0 when not given
  bool Instrumental = false;
  std::string PlainLyrics;
  std::string SyncedLyrics;  // LRC lines "[mm:ss.xx] text"
};

// The track whose lyrics are asked for (UTF-8 texts, its length in whole seconds).
struct LyricsQuery {
  std::string Artist, Title, Album;
  int Seconds = 0;
};

// "/api/get?track_name=...&artist_name=...&album_name=...&duration=N" (album and duration left
// out when unknown).
std::string LrclibGetPath(const LyricsQuery& query);
// "/api/search?track_name=...&artist_name=...", which finds entries whose album or length differ.
std::string LrclibSearchPath(const LyricsQuery& query);

// A "get" answer (one JSON object). Raises LookupError (BadAnswer) for anything else, or for an
// answer past the bounds above.
LrclibEntry ParseLrclibEntry(std::string_view json);
// A "search" answer (a JSON array of entries; the first kMaxLrclibSearchEntries are read; items
// that are not objects are skipped). Raises LookupError (BadAnswer) like ParseLrclibEntry.
std::vector<LrclibEntry> ParseLrclibSearch(std::string_view json);

// The entry of a search's answer that best fits `query`: timed lyrics first, then the nearest
// length within 2 seconds (LRCLIB's own tolerance for "get"); an entry of unknown length fits
// only when no other does. Among untimed entries the same order decides. Null when none fits.
const LrclibEntry* BestLrclibEntry(const std::vector<LrclibEntry>& entries, const LyricsQuery& query);

// The timed lines of LRCLIB's synced lyrics, in time order: each "[mm:ss.xx]" tag of a line
// (several tags repeat the text) gives one line; lines without a time tag are left out. Empty
// lines are kept (they clear the lyrics line at their time). At most kMaxSyncedLines lines with
// kMaxSyncedTextBytes of text in all: the first ones of the answer.
std::vector<LyricsLine> ParseSyncedLyrics(std::string_view synced);

}  // namespace qvr
