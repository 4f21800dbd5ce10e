// Writing and reading the disc report of qvrdb-drive.
#include "tools/qvrdb/DiscReport.h"

#include <charconv>
#include <vector>

#include "cddb/DiscDatabase.h"

namespace qvr {
namespace {

constexpr std::string_view kHeader = "QVR-DISC 1";

// The lines of `text`, each without its line break; nothing when the last one has none.
std::optional<std::vector<std::string_view>> LinesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) return std::nullopt;
    lines.push_back(text.substr(0, end));
    text.remove_prefix(end + 1);
  }
  return lines;
}

// A decimal number that is the whole of `text` and at most `limit`.
std::optional<std::uint32_t> NumberOf(std::string_view text, std::uint32_t limit) {
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > limit) return std::nullopt;
  return value;
}

// The value after `name` and one blank on `line`.
std::optional<std::string_view> ValueOf(std::string_view line, std::string_view name) {
  if (!line.starts_with(name) || line.size() <= name.size() || line[name.size()] != ' ') return std::nullopt;
  return line.substr(name.size() + 1);
}

}  // namespace

std::string DiscReport(const TDiscRecord& disc) {
  std::string report = std::string(kHeader) + "\nDiscKey " + std::string(disc.DiscKey.View()) + "\nTrackCount " +
                       std::to_string(disc.TrackCount) + "\nDiscTime " + std::to_string(disc.DiscTime) + "\n";
  for (std::size_t n = 1; n <= UsedTracks(disc.TrackCount); ++n) {
    report += "Track " + std::to_string(n) + " " + std::to_string(disc.Tracks[n].StartPos) + " " +
              std::to_string(disc.Tracks[n].Length) + "\n";
  }
  return report;
}

std::optional<TDiscRecord> ParseDiscReport(std::string_view report, const TDateSource& dates) {
  const auto lines = LinesOf(report);
  if (!lines || lines->size() < 4 || (*lines)[0] != kHeader) return std::nullopt;
  // The key: what the device layer makes of the disc's table of contents, up to 8 visible bytes.
  const auto key = ValueOf((*lines)[1], "DiscKey");
  const auto count = ValueOf((*lines)[2], "TrackCount");
  const auto time = ValueOf((*lines)[3], "DiscTime");
  if (!key || key->size() > 8 || !count || !time) return std::nullopt;
  for (char c : *key) {
    if (c <= ' ' || c > '~') return std::nullopt;
  }
  const auto track_count = NumberOf(*count, 255);
  const auto disc_time = NumberOf(*time, UINT32_MAX);
  if (!track_count || !disc_time || lines->size() != 4 + UsedTracks(static_cast<std::uint8_t>(*track_count))) {
    return std::nullopt;
  }
  TDiscRecord disc;
  ClearDisc(disc, dates);
  disc.DiscKey = ShortString<8>(*key);
  disc.TrackCount = static_cast<std::uint8_t>(*track_count);
  disc.DiscTime = *disc_time;
  for (std::size_t n = 1; n <= UsedTracks(disc.TrackCount); ++n) {
    const auto track = ValueOf((*lines)[3 + n], "Track");
    if (!track) return std::nullopt;
    // "n StartPos Length"
    const std::size_t first = track->find(' '), second = track->find(' ', first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos) return std::nullopt;
    const auto number = NumberOf(track->substr(0, first), 99);
    const auto start = NumberOf(track->substr(first + 1, second - first - 1), UINT32_MAX);
    const auto length = NumberOf(track->substr(second + 1), UINT32_MAX);
    if (!number || *number != n || !start || !length) return std::nullopt;
    disc.Tracks[n].StartPos = *start;
    disc.Tracks[n].Length = *length;
  }
  return disc;
}

}  // namespace qvr
