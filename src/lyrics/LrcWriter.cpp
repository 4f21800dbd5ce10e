// The LRC writer: one "[track:N]" section per track, Shift-JIS where the text has a form.
#include "lyrics/LrcWriter.h"

#include <cstdio>

#include "lyrics/LrcFile.h"
#include "util/ShiftJis.h"

namespace qvr {
namespace {

constexpr std::int64_t kLastMinute = 255;

bool IsAscii(std::string_view bytes) {
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::string LrcLineBytes(std::string_view utf8) {
  std::string text(utf8);
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = ' ';
  }
  if (!IsValidUtf8(text)) return {};
  const SjisEncoding sjis = Utf8ToSjis(text);
  // Shift-JIS bytes that happen to be valid UTF-8 too would be read back as UTF-8.
  if (sjis.ok() && (IsAscii(sjis.bytes) || !IsValidUtf8(sjis.bytes))) return sjis.bytes;
  return text;
}

std::string FormatDiscLrc(const std::vector<LrcTrack>& tracks, LrcEncoding encoding) {
  std::string lrc;
  std::size_t written = 0;
  // Whether `bytes` more keep the file one the reader reads whole.
  auto fits = [&](std::size_t bytes) { return lrc.size() + bytes <= kMaxLrcFileBytes; };
  for (const LrcTrack& track : tracks) {
    if (track.Track < 1 || track.Track > 99) continue;
    const std::string header = "[track:" + std::to_string(track.Track) + "]\r\n";
    if (!fits(header.size())) return lrc;
    lrc += header;
    for (const LyricsLine& line : track.Lines) {
      if (line.Milliseconds < 0) continue;
      const std::int64_t hundredths = line.Milliseconds / 10;
      const std::int64_t minutes = hundredths / 6000;
      if (minutes > kLastMinute) continue;
      char tag[16];
      std::snprintf(tag, sizeof tag, "[%02d:%02d.%02d]", static_cast<int>(minutes),
                    static_cast<int>(hundredths / 100 % 60), static_cast<int>(hundredths % 100));
      std::string text = LrcLineBytes(line.Text);
      if (encoding == LrcEncoding::Utf8 && !IsValidUtf8(text)) text = SjisToUtf8(text);
      // The reader takes every bracket right after the time tag for another tag (a time, a
      // track, or one it skips): a blank between keeps a text such as "[サビ] ..." the text.
      std::string bytes = tag;
      if (text.starts_with('[')) bytes += ' ';
      bytes += text + "\r\n";
      if (written == kMaxLrcLines || !fits(bytes.size())) return lrc;
      lrc += bytes;
      ++written;
    }
  }
  return lrc;
}

}  // namespace qvr
