// Timed lyrics for a whole disc from LRCLIB: each titled track is asked for by artist, title,
// album and length ("get"), with a search as the fall-back when that finds no timed lyrics; the
// tracks that got timed lyrics become one LRC file for the disc.
//
// Blocking: runs on a worker thread (LookupWorker) or in a command-line tool; a CancelFlag ends
// it within 50 ms.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "cddb/DiscRecord.h"
#include "metadata/HttpClient.h"
#include "metadata/Lrclib.h"

namespace qvr {

// What LRCLIB had for one track.
enum class TrackLyricsState {
  Timed,         // timed lyrics: written into the file
  UntimedOnly,   // only lyrics without times: left out
  Instrumental,  // the track has no words
  NotFound,      // LRCLIB does not know it
  NoTitle,       // the record has no title for it: not asked
};

struct TrackLyrics {
  int Track = 0;
  TrackLyricsState State = TrackLyricsState::NotFound;
  std::vector<LyricsLine> Lines;  // Timed only
};

struct DiscLyrics {
  std::vector<TrackLyrics> Tracks;  // every track of the disc, in order

  std::size_t Count(TrackLyricsState state) const;
  // "3 曲中 2 曲の時間付き歌詞を取得しました" with what was left out and why.
  std::string Summary() const;
  // The LRC file's bytes: the tracks with timed lyrics (FormatDiscLrc).
  std::string Lrc(LrcEncoding encoding = LrcEncoding::ShiftJisWherePossible) const;
};

// The LRCLIB query of track `n` of `disc`: its texts as UTF-8 and its length in whole seconds.
LyricsQuery LyricsQueryOf(const TDiscRecord& disc, std::size_t n);

// Asks LRCLIB at `server` (a base address) about every titled track of `disc` through `http`.
// `progress` is told of each track. Raises LookupError: for a failed request (no network, time
// limit, an error status, an unreadable answer: nothing is kept then), for a disc without artist
// or track titles (NotFound), and NotFound when no track has timed lyrics (the message says what
// was found instead).
DiscLyrics FetchDiscLyrics(HttpClient& http, const std::string& server, const TDiscRecord& disc,
                           const CancelFlag& cancel, const std::function<void(const std::string&)>& progress = {});

// The disc's lyrics file in `lyrics_folder`: "<disc key>.lrc", the key written as the jacket's.
std::filesystem::path LyricsFileIn(const std::filesystem::path& lyrics_folder, std::string_view disc_key);

// Writes `lrc` to `path` atomically, making its folder when missing. Raises Error on failure.
void WriteLyricsFile(const std::filesystem::path& path, std::string_view lrc);

}  // namespace qvr
