// Fuzzes the reading of LRCLIB's answers: a "get" answer, a "search" answer and the synced
// lyrics they carry, then the LRC file written from them. Besides not crashing, an answer is
// either read or refused with LookupError, the lines keep the parser's bound and come in time
// order, and the lyrics reader gives back as many lines as were written.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "lyrics/LrcFile.h"
#include "metadata/HttpClient.h"
#include "metadata/Lrclib.h"

namespace {

void CheckSynced(const std::string& synced) {
  const std::vector<qvr::LyricsLine> lines = qvr::ParseSyncedLyrics(synced);
  if (lines.size() > qvr::kMaxSyncedLines) std::abort();
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (lines[i - 1].Milliseconds > lines[i].Milliseconds) std::abort();
  }
  const std::string lrc = qvr::FormatDiscLrc({{1, lines}});
  // Every line's minutes fit a tag (at most 999 minutes are read; past 255 are not written).
  std::size_t written = 0;
  for (const qvr::LyricsLine& line : lines) written += line.Milliseconds / 60000 <= 255 ? 1 : 0;
  if (qvr::ParseLrc(lrc).size() != written) std::abort();
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
