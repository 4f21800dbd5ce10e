// The LRC reader: decodes the file, splits it into lines, and turns each time tag into the
// time order the lyrics step compares against the play head.
#include "lyrics/LrcFile.h"

#include <algorithm>
#include <cctype>

#include "util/AtomicFile.h"
#include "util/Msf.h"
#include "util/ShiftJis.h"
#include "util/ZLUtils.h"

namespace qvr {
namespace {

// Reads a run of decimal digits (at most `max_digits`) at `at`; false when there is none.
bool Digits(std::string_view text, std::size_t& at, std::size_t max_digits, int& value, std::size_t& count) {
  value = 0;
  count = 0;
  while (at < text.size() && count < max_digits && std::isdigit(static_cast<unsigned char>(text[at]))) {
    value = value * 10 + (text[at] - '0');
    ++at;
    ++count;
  }
  return count > 0;
}

// "mm:ss", "mm:ss.x", "mm:ss.xx", "mm:ss.xxx" (also ":" before the fraction) as minutes,
// seconds and frames; false for anything else.
bool ParseTime(std::string_view tag, int& minutes, int& seconds, int& frames) {
  std::size_t at = 0, count = 0;
  if (!Digits(tag, at, 3, minutes, count) || minutes > 255) return false;
  if (at >= tag.size() || tag[at] != ':') return false;
  ++at;
  if (!Digits(tag, at, 2, seconds, count) || count != 2 || seconds >= 60) return false;
  frames = 0;
  if (at == tag.size()) return true;
  if (tag[at] != '.' && tag[at] != ':') return false;
  ++at;
  int fraction = 0;
  if (!Digits(tag, at, 3, fraction, count) || at != tag.size()) return false;
  int scale = count == 1 ? 10 : count == 2 ? 100 : 1000;
  frames = fraction * 75 / scale;
  return true;
}

// "track:N" with N in 1..99.
bool ParseTrack(std::string_view tag, int& track) {
  constexpr std::string_view kTrack = "track:";
  if (tag.size() <= kTrack.size()) return false;
  for (std::size_t i = 0; i < kTrack.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(tag[i])) != kTrack[i]) return false;
  }
  std::string_view number = Trim(tag.substr(kTrack.size()));
  std::size_t at = 0, count = 0;
  int value = 0;
  if (!Digits(number, at, 2, value, count) || at != number.size() || value < 1) return false;
  track = value;
  return true;
}

// A file that is valid UTF-8 as a whole is UTF-8. Otherwise each line is read on its own: a
// line that is valid UTF-8 is UTF-8 (the writer keeps texts without a Shift-JIS form so), every
// other line Shift-JIS. A hand-written Shift-JIS line that happens to be valid UTF-8 too (a few
// half-width katakana pairs are) would read wrong; the writer never writes one.
std::string Decode(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  if (IsValidUtf8(bytes)) return std::string(bytes);
  std::string text;
  while (true) {
    const std::size_t end = bytes.find('\n');
    const std::string_view line = bytes.substr(0, end);
    text += IsValidUtf8(line) ? std::string(line) : SjisToUtf8(line);
    if (end == std::string_view::npos) break;
    text += '\n';
    bytes.remove_prefix(end + 1);
  }
  return text;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t length = 0;
    std::uint32_t value = 0, minimum = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
      return false;
    }
    if (i + length > bytes.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

std::vector<TimedLyricsLine> ParseLrc(std::string_view bytes) {
  const std::string text = Decode(bytes);
  std::vector<TimedLyricsLine> lines;
  std::size_t text_bytes = 0;
  int track = 1;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    if (line.ends_with('\r')) line.remove_suffix(1);
    start = end + 1;

    std::vector<std::int32_t> times;
    std::size_t at = 0;
    while (at < line.size() && line[at] == '[') {
      const std::size_t close = line.find(']', at);
      if (close == std::string_view::npos) break;
      const std::string_view tag = line.substr(at + 1, close - at - 1);
      int minutes = 0, seconds = 0, frames = 0, number = 0;
      if (ParseTime(tag, minutes, seconds, frames)) {
        // Each time tag repeats the line's text: what one file may cost in all is bounded.
        if (lines.size() + times.size() < kMaxLrcLines)
          times.push_back(
              TMSFTimeOrder(PackTMSF(static_cast<std::uint8_t>(track), static_cast<std::uint8_t>(minutes),
                                     static_cast<std::uint8_t>(seconds), static_cast<std::uint8_t>(frames))));
      } else if (ParseTrack(tag, number)) {
        track = number;
      }
      at = close + 1;
    }
    const std::string_view body = Trim(line.substr(at));
    for (std::int32_t time : times) {
      if (text_bytes + body.size() > kMaxLrcTextBytes) break;
      text_bytes += body.size();
      lines.push_back({time, std::string(body)});
    }
    if (end == text.size() || lines.size() >= kMaxLrcLines) break;
  }
  std::stable_sort(lines.begin(), lines.end(),
                   [](const TimedLyricsLine& a, const TimedLyricsLine& b) { return a.time < b.time; });
  return lines;
}

std::optional<std::vector<TimedLyricsLine>> ReadLrcFile(const std::filesystem::path& file) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  if (error || size > kMaxLrcFileBytes) return std::nullopt;
  std::string bytes;
  try {
    if (!ReadWholeFile(file, bytes)) return std::nullopt;
  } catch (const Error&) {
    return std::nullopt;
  }
  return ParseLrc(bytes);
}

}  // namespace qvr
