// qvrdb lyrics: fetches the timed lyrics of a registered disc (by key, or the disc in a drive)
// from the lyrics server of the player's settings and prints the LRC file it would write, or
// with --write writes it into the "Lyrics" folder beside the database and names it in the record.
#include <memory>
#include <ostream>
#include <variant>

#include "app/PlayerSettings.h"
#include "cddb/DatabaseReader.h"
#include "cddb/DiscDatabase.h"
#include "metadata/DiscLyrics.h"
#include "metadata/OnlineLookup.h"
#include "tools/qvrdb/Qvrdb.h"
#include "util/ShiftJis.h"

namespace qvr {
namespace {

constexpr const char* kUsage = "qvrdb: 使い方: qvrdb [--db DIR] lyrics KEY|DRIVE [--write [--replace]]\n";

// The registered record of the disc named by key or by a drive (or image) holding it, or the
// exit status to end with (the reason told).
std::variant<TDiscRecord, int> RegisteredDisc(const QvrdbContext& context, const std::string& name) {
  if (!std::filesystem::exists(context.MasterPath)) {
    context.Err << "qvrdb: データベース " << context.MasterPath.string() << " がありません\n";
    return kQvrdbProblem;
  }
  std::error_code error;
  if (name.find('/') != std::string::npos || std::filesystem::exists(name, error)) {
    const auto read = std::make_unique<DriveDisc>();
    if (const int status = ReadDiscIn(name, context.Err, *read, false); status != kQvrdbOk) return status;
    const TDiscRecord& drive_disc = read->Record;
    SystemDateSource dates;
    TDiscDatabase database(dates);
    database.DBOpen(context.MasterPath);
    TNoSearchProgress quiet;
    TDiscRecord disc = database.DBLookup(drive_disc, quiet);
    if (disc.DiscName.Empty()) {
      context.Err << "qvrdb: " << name << " のディスク (キー " << drive_disc.DiscKey.ToUtf8()
                  << ") はデータベースに登録されていません\n";
      return kQvrdbProblem;
    }
    return disc;
  }
  const DatabaseReader reader(context.MasterPath);
  if (const std::optional<TMasterRecord> master = reader.FindMaster(Utf8ToSjis(name).bytes)) {
    return reader.Resolve(*master);
  }
  context.Err << "qvrdb: キー " << name << " のディスクはデータベースにありません\n";
  return kQvrdbProblem;
}

}  // namespace

int RunLyrics(const QvrdbContext& context, std::span<const std::string> arguments) {
  std::optional<std::string> name;
  bool write = false, replace = false;
  for (const std::string& argument : arguments) {
    if (argument == "--write" && !write) {
      write = true;
    } else if (argument == "--replace" && !replace) {
      replace = true;
    } else if (!name && !argument.starts_with("--")) {
      name = argument;
    } else {
      context.Err << kUsage;
      return kQvrdbError;
    }
  }
  if (!name || (replace && !write)) {
    context.Err << kUsage;
    return kQvrdbError;
  }
  std::variant<TDiscRecord, int> found = RegisteredDisc(context, *name);
  if (const int* status = std::get_if<int>(&found)) return *status;
  TDiscRecord& disc = std::get<TDiscRecord>(found);

  const std::filesystem::path path = LyricsFileIn(context.MasterPath.parent_path() / "Lyrics", disc.DiscKey.View());
  const SjisEncoding path_bytes = Utf8ToSjis(path.string());
  if (write) {
    if (!path_bytes.ok() || path_bytes.bytes.size() > 255) {
      context.Err << "qvrdb: 歌詞ファイルのパス " << path.string() << " はレコードに登録できません\n";
      return kQvrdbError;
    }
    // A lyrics file the user chose is not replaced unless asked.
    if (!disc.LyricsFile.Empty() && disc.LyricsFile.View() != path_bytes.bytes && !replace) {
      context.Err << "qvrdb: このディスクには歌詞ファイル " << disc.LyricsFile.ToUtf8()
                  << " が登録されています。置き換えるには --replace を付けてください\n";
      return kQvrdbProblem;
    }
  }

  OnlineLookup lookup(ReadOnlineLookupSettings(PlayerSettingsFor(context.ProgramFolder)));
  CancelFlag never;
  DiscLyrics lyrics;
  try {
    lyrics =
        lookup.FetchLyrics(disc, never, [&](const std::string& step) { context.Err << "qvrdb: " << step << "\n"; });
  } catch (const LookupError& error) {
    context.Err << "qvrdb: " << error.what() << "\n";
    return error.Failure() == LookupFailure::NotFound ? kQvrdbProblem : kQvrdbError;
  }
  context.Err << "qvrdb: " << lyrics.Summary() << "\n";
  if (!write) {
    context.Out << lyrics.Lrc(LrcEncoding::Utf8);
    return kQvrdbOk;
  }
  WriteLyricsFile(path, lyrics.Lrc());
  disc.LyricsFile = path_bytes.bytes;
  SystemDateSource dates;
  TDiscDatabase database(dates);
  database.DBOpen(context.MasterPath);
  database.DBStore(disc);
  context.Out << path.string() << "\n";
  return kQvrdbOk;
}

}  // namespace qvr
