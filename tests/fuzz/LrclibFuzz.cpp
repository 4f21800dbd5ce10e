// Fuzzes the reading of LRCLIB's answers: a "get" answer, a "search" answer and the synced
// lyrics they carry, then the LRC file written from them. Besides not crashing, an answer is
// either read or refused with LookupError, the lines keep the parser's bounds and come in time
// order, and the lyrics reader gives back every line written with its text.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "lyrics/LrcFile.h"
#include "lyrics/LrcWriter.h"
#include "metadata/HttpClient.h"
#include "metadata/Lrclib.h"
#include "util/ShiftJis.h"
#include "util/ZLUtils.h"

namespace {

// The text the reader gives for a line's text: the bytes the writer writes for it, decoded as
// the reader decodes a line, without the blanks at its ends.
std::string ReadBack(const std::string& text) {
  const std::string bytes = qvr::LrcLineBytes(text);
  return std::string(qvr::Trim(qvr::IsValidUtf8(bytes) ? bytes : qvr::SjisToUtf8(bytes)));
}

void CheckSynced(const std::string& synced) {
  const std::vector<qvr::LyricsLine> lines = qvr::ParseSyncedLyrics(synced);
  if (lines.size() > qvr::kMaxSyncedLines) std::abort();
  std::size_t text_bytes = 0;
  for (const qvr::LyricsLine& line : lines) text_bytes += line.Text.size();
  if (text_bytes > qvr::kMaxSyncedTextBytes) std::abort();
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (lines[i - 1].Milliseconds > lines[i].Milliseconds) std::abort();
  }
  // One track's lines stay within the file the reader reads whole, so all are written but those
  // whose minutes do not fit a tag (at most 999 minutes are read; past 255 are not written). The
  // reader keeps the order of lines of equal time.
  const std::vector<qvr::TimedLyricsLine> read = qvr::ParseLrc(qvr::FormatDiscLrc({{1, lines}}));
  std::size_t at = 0;
  for (const qvr::LyricsLine& line : lines) {
    if (line.Milliseconds / 60000 > 255) continue;
    if (at == read.size() || read[at].text != ReadBack(line.Text)) std::abort();
    ++at;
  }
  if (at != read.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view answer(reinterpret_cast<const char*>(data), size);
  try {
    const qvr::LrclibEntry entry = qvr::ParseLrclibEntry(answer);
    CheckSynced(entry.SyncedLyrics);
  } catch (const qvr::LookupError&) {
  }
  try {
    const std::vector<qvr::LrclibEntry> entries = qvr::ParseLrclibSearch(answer);
    if (entries.size() > qvr::kMaxLrclibSearchEntries) std::abort();
    qvr::BestLrclibEntry(entries, {"a", "b", "c", 200});
  } catch (const qvr::LookupError&) {
  }
  CheckSynced(std::string(answer));
  return 0;
}
