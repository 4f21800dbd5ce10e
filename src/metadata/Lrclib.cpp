// LRCLIB's requests and answers. Fields missing or of another type than documented count as
// absent, so that a partial entry still gives what it has; an answer that is not JSON of the
// documented shape is refused.
#include "metadata/Lrclib.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "metadata/HttpClient.h"

namespace qvr {
namespace {

using Json = nlohmann::json;

[[noreturn]] void Unreadable() { throw LookupError(LookupFailure::BadAnswer, "LRCLIB の応答を読めません"); }

// Refuses answers past the size and nesting bounds before the JSON reader sees them: brackets
// are counted outside strings.
void CheckBounds(std::string_view json) {
  if (json.size() > kMaxLrclibAnswerBytes) throw LookupError(LookupFailure::BadAnswer, "LRCLIB の応答が大きすぎます");
  std::size_t depth = 0;
  bool in_string = false, escaped = false;
  for (const char c : json) {
    if (in_string) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxLrclibNesting) Unreadable();
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
}

Json Parse(std::string_view json) {
  CheckBounds(json);
  Json document = Json::parse(json, nullptr, false);
  if (document.is_discarded()) Unreadable();
  return document;
}

std::string Text(const Json& object, const char* name) {
  const auto found = object.find(name);
  return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

LrclibEntry EntryOf(const Json& object) {
  LrclibEntry entry;
  entry.TrackName = Text(object, "trackName");
  entry.ArtistName = Text(object, "artistName");
  entry.AlbumName = Text(object, "albumName");
  const auto duration = object.find("duration");
  if (duration != object.end() && duration->is_number()) {
    const double seconds = duration->get<double>();
    if (std::isfinite(seconds) && seconds > 0) entry.Duration = seconds;
  }
  const auto instrumental = object.find("instrumental");
  entry.Instrumental = instrumental != object.end() && instrumental->is_boolean() && instrumental->get<bool>();
  entry.PlainLyrics = Text(object, "plainLyrics");
  entry.SyncedLyrics = Text(object, "syncedLyrics");
  return entry;
}

std::string Parameter(const char* name, std::string_view value) { return std::string(name) + "=" + UrlEncode(value); }

// "mm:ss", "mm:ss.x", "mm:ss.xx" or "mm:ss.xxx" in milliseconds; -1 for anything else.
std::int64_t TagMilliseconds(std::string_view tag) {
  std::size_t at = 0;
  auto digits = [&](std::size_t most, std::size_t& count) {
    std::int64_t value = 0;
    count = 0;
    while (at < tag.size() && count < most && tag[at] >= '0' && tag[at] <= '9') {
      value = value * 10 + (tag[at++] - '0');
      ++count;
    }
    return value;
  };
  std::size_t count = 0;
  const std::int64_t minutes = digits(3, count);
  if (count == 0 || at >= tag.size() || tag[at++] != ':') return -1;
  const std::int64_t seconds = digits(2, count);
  if (count != 2 || seconds >= 60) return -1;
  std::int64_t milliseconds = (minutes * 60 + seconds) * 1000;
  if (at == tag.size()) return milliseconds;
  if (tag[at] != '.' && tag[at] != ':') return -1;
  ++at;
  const std::int64_t fraction = digits(3, count);
  if (count == 0 || at != tag.size()) return -1;
  milliseconds += count == 1 ? fraction * 100 : count == 2 ? fraction * 10 : fraction;
  return milliseconds;
}

}  // namespace

std::string LrclibGetPath(const LyricsQuery& query) {
  std::string path = "/api/get?" + Parameter("track_name", query.Title) + "&" + Parameter("artist_name", query.Artist);
  if (!query.Album.empty()) path += "&" + Parameter("album_name", query.Album);
  if (query.Seconds > 0) path += "&duration=" + std::to_string(query.Seconds);
  return path;
}

std::string LrclibSearchPath(const LyricsQuery& query) {
  return "/api/search?" + Parameter("track_name", query.Title) + "&" + Parameter("artist_name", query.Artist);
}

LrclibEntry ParseLrclibEntry(std::string_view json) {
  const Json document = Parse(json);
  if (!document.is_object()) Unreadable();
  return EntryOf(document);
}

std::vector<LrclibEntry> ParseLrclibSearch(std::string_view json) {
  const Json document = Parse(json);
  if (!document.is_array()) Unreadable();
  std::vector<LrclibEntry> entries;
  for (const Json& item : document) {
    if (entries.size() == kMaxLrclibSearchEntries) break;
    if (item.is_object()) entries.push_back(EntryOf(item));
  }
  return entries;
}

const LrclibEntry* BestLrclibEntry(const std::vector<LrclibEntry>& entries, const LyricsQuery& query) {
  const LrclibEntry* best = nullptr;
  // Smaller is better: untimed after timed, unknown length after any known length that fits.
  auto rank = [&](const LrclibEntry& entry) {
    const double off = entry.Duration > 0 ? std::abs(entry.Duration - query.Seconds) : 3.0;
    return (entry.SyncedLyrics.empty() ? 10.0 : 0.0) + off;
  };
  for (const LrclibEntry& entry : entries) {
    if (entry.SyncedLyrics.empty() && entry.PlainLyrics.empty() && !entry.Instrumental) continue;
    const bool fits = query.Seconds <= 0 || entry.Duration <= 0 || std::abs(entry.Duration - query.Seconds) <= 2.0;
    if (!fits) continue;
    if (!best || rank(entry) < rank(*best)) best = &entry;
  }
  return best;
}

std::vector<LyricsLine> ParseSyncedLyrics(std::string_view synced) {
  std::vector<LyricsLine> lines;
  std::size_t text_bytes = 0;
  bool full = false;
  while (!synced.empty() && !full) {
    const std::size_t end = synced.find('\n');
    std::string_view line = synced.substr(0, end);
    synced.remove_prefix(end == std::string_view::npos ? synced.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    std::vector<std::int64_t> times;
    while (line.starts_with('[')) {
      const std::size_t close = line.find(']');
      if (close == std::string_view::npos) break;
      const std::int64_t time = TagMilliseconds(line.substr(1, close - 1));
      if (time < 0) break;
      times.push_back(time);
      line.remove_prefix(close + 1);
    }
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    for (const std::int64_t time : times) {
      full = lines.size() == kMaxSyncedLines || text_bytes + line.size() > kMaxSyncedTextBytes;
      if (full) break;
      text_bytes += line.size();
      lines.push_back({time, std::string(line)});
    }
  }
  std::stable_sort(lines.begin(), lines.end(),
                   [](const LyricsLine& a, const LyricsLine& b) { return a.Milliseconds < b.Milliseconds; });
  return lines;
}

}  // namespace qvr
