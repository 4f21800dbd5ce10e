// Timed lyrics files in the LRC form: "[mm:ss.xx]text" lines (several time tags on one line give
// the text several times), "[track:N]" lines that start the lines of track N (lines before any
// track line belong to track 1). Read as UTF-8 (with or without a byte-order mark) when the
// whole file is valid UTF-8; otherwise line by line, each line that is valid UTF-8 as UTF-8 and
// the others as Shift-JIS (a Shift-JIS file with lines of characters Shift-JIS lacks).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvr {

struct TimedLyricsLine {
  std::int32_t time = 0;  // TMSFTimeOrder form: track, minutes, seconds, frames from the top byte down
  std::string text;       // UTF-8
  friend bool operator==(const TimedLyricsLine&, const TimedLyricsLine&) = default;
};

// What one lyrics file may give at most: timed lines (one per time tag) and bytes of text in all
// of them. Tags beyond either bound are left out, so a file's cost never grows with its shape.
inline constexpr std::size_t kMaxLrcLines = 20000;
inline constexpr std::size_t kMaxLrcTextBytes = 8u << 20;
// A larger file is not read at all.
inline constexpr std::size_t kMaxLrcFileBytes = 4u << 20;

// The timed lines of an LRC text, sorted by time (lines of equal time keep their file order).
// Lines without a valid time tag (titles, comments, "[ar:...]" tags) are left out; a tag with
// seconds of 60 or more, or minutes beyond 255, is not a time. At most kMaxLrcLines lines with
// kMaxLrcTextBytes of text in all are kept (the first ones of the file).
std::vector<TimedLyricsLine> ParseLrc(std::string_view bytes);

// Reads and parses a lyrics file; empty when it is missing, unreadable or larger than
// kMaxLrcFileBytes.
std::optional<std::vector<TimedLyricsLine>> ReadLrcFile(const std::filesystem::path& file);

// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

}  // namespace qvr
