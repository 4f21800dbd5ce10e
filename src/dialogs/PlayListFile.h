// Play list files: the play order of one disc kept as text. Line 1 is the disc key (eight
// upper-case hexadecimal digits), every further line one play order entry (a track number in
// decimal); each line ends with CR LF. Files written elsewhere in this format read here
// unchanged, and the files written here read anywhere the format is known.
#pragma once

#include <filesystem>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvr {

// What one play list may hold. A disc has at most 99 tracks, so a few thousand entries play for
// days; a larger file is refused rather than read, as it would only cost memory.
inline constexpr std::size_t kMaxPlayListEntries = 5000;
inline constexpr std::size_t kMaxPlayListBytes = 64 * 1024;

// The bytes of a play list file for the disc `disc_key` holding `entries`.
std::string FormatPlayList(std::string_view disc_key, const std::vector<std::string>& entries);

// Reads a play list for the disc `disc_key` with `track_count` tracks. Returns nothing when line 1
// is not exactly the key (a play list of another disc, an empty file, any other file); else the
// entries that name a track of the disc (1 to `track_count`, and 0 when the disc has a hidden
// first track), in file order, in decimal without leading zeros (possibly none). Lines end with
// CR LF or LF; the last may lack its end. Raises qvr::Error naming the line when an entry line
// is not a number (an empty line included), and when there are more than kMaxPlayListEntries
// entry lines.
std::optional<std::vector<std::string>> ParsePlayList(std::istream& in, std::string_view disc_key, int track_count,
                                                      bool hidden_track = false);

// ParsePlayList on a file; raises qvr::Error when the file cannot be opened or read, is not a
// regular file (a FIFO is refused without waiting) or holds more than kMaxPlayListBytes.
std::optional<std::vector<std::string>> ReadPlayListFile(const std::filesystem::path& path, std::string_view disc_key,
                                                         int track_count, bool hidden_track = false);

// Replaces the file with the play list through a temporary file and a rename, so that a failed
// write leaves the old file whole; raises FileWriteError.
void WritePlayListFile(const std::filesystem::path& path, std::string_view disc_key,
                       const std::vector<std::string>& entries);

}  // namespace qvr
