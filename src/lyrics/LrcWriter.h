// Writing timed lyrics of a whole disc as one LRC file in the form the reader (LrcFile) reads:
// a "[track:N]" line before each track's lines, each line "[mm:ss.xx]text" ("[mm:ss.xx] text"
// when the text begins with a bracket, which the reader would take for a tag). Lines whose text
// has a Shift-JIS form are written in Shift-JIS; the others stay UTF-8, line by line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qvr {

// One line of timed lyrics: its time from the start of the track and its text (UTF-8).
struct LyricsLine {
  std::int64_t Milliseconds = 0;
  std::string Text;
  friend bool operator==(const LyricsLine&, const LyricsLine&) = default;
};

struct LrcTrack {
  int Track = 0;  // 1..99
  std::vector<LyricsLine> Lines;
};

// How texts are written: Shift-JIS where they have a form (the file), or all UTF-8 (for showing).
enum class LrcEncoding { ShiftJisWherePossible, Utf8 };

// The LRC bytes of the tracks, in the given order, up to the bounds within which the reader reads
// a file whole (kMaxLrcFileBytes, kMaxLrcLines): the lines past them are left out. Line breaks
// are CR LF. Times are written in hundredths of a second (rounded down); minutes past 255 are not
// written (the reader has no such time). Control characters in texts become blanks. A Shift-JIS
// line whose bytes would also read as UTF-8 is written as UTF-8, so that the reader, which takes
// every line that is valid UTF-8 as UTF-8, gives back the text written.
std::string FormatDiscLrc(const std::vector<LrcTrack>& tracks,
                          LrcEncoding encoding = LrcEncoding::ShiftJisWherePossible);

// The bytes of one line's text as FormatDiscLrc writes it (without time tag and line break).
std::string LrcLineBytes(std::string_view utf8);

}  // namespace qvr
