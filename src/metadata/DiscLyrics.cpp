// The disc's lyrics from LRCLIB, one track after another.
#include "metadata/DiscLyrics.h"

#include "metadata/OnlineLookup.h"
#include "util/AtomicFile.h"
#include "util/Msf.h"
#include "util/ShiftJis.h"
#include "util/ZLUtils.h"

namespace qvr {
namespace {

std::string TrimmedUtf8(std::string_view record_bytes) { return SjisToUtf8(Trim(record_bytes)); }

LookupError StatusError(const std::string& server, long status) {
  return LookupError(LookupFailure::ServerError,
                     "サーバー " + server + " がエラーを返しました (HTTP " + std::to_string(status) + ")");
}

// What an entry gives the track: its timed lines, or why it has none.
TrackLyrics FromEntry(int track, const LrclibEntry& entry) {
  TrackLyrics lyrics{track, TrackLyricsState::NotFound, {}};
  if (!entry.SyncedLyrics.empty()) lyrics.Lines = ParseSyncedLyrics(entry.SyncedLyrics);
  if (!lyrics.Lines.empty()) {
    lyrics.State = TrackLyricsState::Timed;
  } else if (entry.Instrumental) {
    lyrics.State = TrackLyricsState::Instrumental;
  } else if (!entry.PlainLyrics.empty() || !entry.SyncedLyrics.empty()) {
    lyrics.State = TrackLyricsState::UntimedOnly;
  }
  return lyrics;
}

// A state worth more than another: a search's answer replaces the get's only when it is.
int Worth(TrackLyricsState state) {
  switch (state) {
    case TrackLyricsState::Timed: return 3;
    case TrackLyricsState::Instrumental: return 2;
    case TrackLyricsState::UntimedOnly: return 1;
    default: return 0;
  }
}

}  // namespace

std::size_t DiscLyrics::Count(TrackLyricsState state) const {
  std::size_t count = 0;
  for (const TrackLyrics& track : Tracks) count += track.State == state ? 1 : 0;
  return count;
}

std::string DiscLyrics::Summary() const {
  std::string text = std::to_string(Tracks.size()) + " 曲中 " + std::to_string(Count(TrackLyricsState::Timed)) +
                     " 曲の時間付き歌詞を取得しました";
  std::string left_out;
  auto add = [&](TrackLyricsState state, const char* what) {
    if (const std::size_t count = Count(state)) {
      left_out += (left_out.empty() ? "" : "、") + std::string(what) + " " + std::to_string(count) + " 曲";
    }
  };
  add(TrackLyricsState::UntimedOnly, "時間なしの歌詞だけの");
  add(TrackLyricsState::Instrumental, "歌のない");
  add(TrackLyricsState::NotFound, "見つからない");
  add(TrackLyricsState::NoTitle, "曲名のない");
  if (!left_out.empty()) text += " (除いた曲: " + left_out + ")";
  return text;
}

std::string DiscLyrics::Lrc(LrcEncoding encoding) const {
  std::vector<LrcTrack> tracks;
  for (const TrackLyrics& track : Tracks) {
    if (track.State == TrackLyricsState::Timed) tracks.push_back({track.Track, track.Lines});
  }
  return FormatDiscLrc(tracks, encoding);
}

LyricsQuery LyricsQueryOf(const TDiscRecord& disc, std::size_t n) {
  LyricsQuery query;
  query.Artist = TrimmedUtf8(disc.ArtistName.View());
  query.Album = TrimmedUtf8(disc.DiscName.View());
  query.Title = TrimmedUtf8(disc.Tracks[n].TrackName.View());
  query.Seconds = static_cast<int>((MSFToFrames(disc.Tracks[n].Length) + 37) / 75);
  return query;
}

DiscLyrics FetchDiscLyrics(HttpClient& http, const std::string& server, const TDiscRecord& disc,
                           const CancelFlag& cancel, const std::function<void(const std::string&)>& progress) {
  std::string base = server;
  while (!base.empty() && base.back() == '/') base.pop_back();
  if (base.empty()) throw LookupError(LookupFailure::NotFound, "歌詞のサーバーが設定されていません");
  if (Trim(disc.ArtistName.View()).empty()) {
    throw LookupError(LookupFailure::NotFound, "アーティスト名がないため歌詞を検索できません");
  }
  const std::size_t count = UsedTracks(disc.TrackCount);
  DiscLyrics lyrics;
  std::size_t titled = 0;
  for (std::size_t n = 1; n <= count; ++n) {
    const LyricsQuery query = LyricsQueryOf(disc, n);
    if (query.Title.empty()) {
      lyrics.Tracks.push_back({static_cast<int>(n), TrackLyricsState::NoTitle, {}});
      continue;
    }
    ++titled;
    if (progress) progress("LRCLIB で歌詞を検索しています… (" + std::to_string(n) + "/" + std::to_string(count) + ")");
    const std::string get_url = base + LrclibGetPath(query);
    const HttpResponse got = http.Get(get_url, ServerOf(get_url), cancel);
    TrackLyrics track{static_cast<int>(n), TrackLyricsState::NotFound, {}};
    if (got.Status == 200) {
      track = FromEntry(static_cast<int>(n), ParseLrclibEntry(got.Body));
    } else if (got.Status != 404) {
      throw StatusError(ServerOf(get_url), got.Status);
    }
    // The exact match has no timed lyrics: another album or a slightly other length may have.
    if (track.State != TrackLyricsState::Timed && track.State != TrackLyricsState::Instrumental) {
      const std::string search_url = base + LrclibSearchPath(query);
      const HttpResponse found = http.Get(search_url, ServerOf(search_url), cancel);
      if (found.Status != 200) throw StatusError(ServerOf(search_url), found.Status);
      const std::vector<LrclibEntry> entries = ParseLrclibSearch(found.Body);
      if (const LrclibEntry* best = BestLrclibEntry(entries, query)) {
        TrackLyrics searched = FromEntry(static_cast<int>(n), *best);
        if (Worth(searched.State) > Worth(track.State)) track = std::move(searched);
      }
    }
    lyrics.Tracks.push_back(std::move(track));
  }
  if (titled == 0) throw LookupError(LookupFailure::NotFound, "曲名がないため歌詞を検索できません");
  if (lyrics.Count(TrackLyricsState::Timed) == 0) {
    std::string message = "時間付きの歌詞は見つかりませんでした";
    const std::string summary = lyrics.Summary();
    const auto left_out = summary.find(" (除いた曲: ");
    if (left_out != std::string::npos) message += summary.substr(left_out);
    throw LookupError(LookupFailure::NotFound, message);
  }
  return lyrics;
}

std::filesystem::path LyricsFileIn(const std::filesystem::path& lyrics_folder, std::string_view disc_key) {
  return lyrics_folder / (JacketBaseName(disc_key) + ".lrc");
}

void WriteLyricsFile(const std::filesystem::path& path, std::string_view lrc) {
  std::error_code error;
  std::filesystem::create_directories(path.parent_path(), error);
  if (error) throw FileWriteError(path.parent_path(), error.message());
  ReplaceFileContents(path, lrc);
}

}  // namespace qvr
