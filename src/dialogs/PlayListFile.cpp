// Reading and writing play list files.
#include "dialogs/PlayListFile.h"

#include <sstream>

#include "util/AtomicFile.h"
#include "util/Error.h"
#include "util/ShiftJis.h"
#include "util/ZLUtils.h"

namespace qvr {
namespace {

// No line of a play list is longer than this; a longer one is not a play list line, and reading
// it whole (a large file without line ends) would only waste memory.
constexpr std::size_t kLineLimit = 64;

// Reads one line without its CR LF (or LF) into `line`, keeping at most kLineLimit bytes and
// setting `cut` when there were more. Returns false at the end of the input.
bool ReadLine(std::istream& in, std::string& line, bool& cut) {
  line.clear();
  cut = false;
  bool any = false;
  for (int ch = in.get(); ch != std::char_traits<char>::eof(); ch = in.get()) {
    any = true;
    if (ch == '\n') break;
    if (line.size() < kLineLimit)
      line.push_back(static_cast<char>(ch));
    else
      cut = true;
  }
  if (!line.empty() && line.back() == '\r' && !cut) line.pop_back();
  return any;
}

}  // namespace

std::string FormatPlayList(std::string_view disc_key, const std::vector<std::string>& entries) {
  std::string text(disc_key);
  text += "\r\n";
  for (const std::string& entry : entries) text += entry + "\r\n";
  return text;
}

std::optional<std::vector<std::string>> ParsePlayList(std::istream& in, std::string_view disc_key, int track_count,
                                                      bool hidden_track) {
  std::string line;
  bool cut = false;
  if (!ReadLine(in, line, cut) || cut || line != disc_key) return std::nullopt;
  std::vector<std::string> entries;
  for (std::size_t number = 2; ReadLine(in, line, cut); ++number) {
    if (number - 1 > kMaxPlayListEntries) {
      throw Error("プレイリストの項目が多すぎます（" + std::to_string(kMaxPlayListEntries) + " 項目まで）");
    }
    std::int32_t track = 0;
    if (cut || !StrToInt32(line, track)) {
      throw Error("プレイリストの " + std::to_string(number) + " 行目「" + SjisToUtf8(line) + (cut ? "…" : "") +
                  "」は数値ではありません");
    }
    if ((track >= 1 && track <= track_count) || (track == 0 && hidden_track)) entries.push_back(std::to_string(track));
  }
  if (in.bad()) throw Error("プレイリストを最後まで読めませんでした");
  return entries;
}

std::optional<std::vector<std::string>> ReadPlayListFile(const std::filesystem::path& path, std::string_view disc_key,
                                                         int track_count, bool hidden_track) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes, kMaxPlayListBytes)) {
    throw Error(path.string() + " を読み込めません: ファイルが見つかりません");
  }
  std::istringstream in(std::move(bytes));
  try {
    return ParsePlayList(in, disc_key, track_count, hidden_track);
  } catch (const Error& failure) {
    throw Error(path.string() + "\n" + failure.what());
  }
}

void WritePlayListFile(const std::filesystem::path& path, std::string_view disc_key,
                       const std::vector<std::string>& entries) {
  ReplaceFileContents(path, FormatPlayList(disc_key, entries));
}

}  // namespace qvr
