// qvrdb's command table and the commands that print the database: list, show, check.
#include <charconv>
#include <cstdio>
#include <optional>
#include <ostream>

#include "cddb/DatabaseCheck.h"
#include "cddb/DatabaseReader.h"
#include "cddb/DiscDatabase.h"
#include "tools/qvrdb/Qvrdb.h"
#include "tools/qvrdb/QvrdbJson.h"
#include "util/ShiftJis.h"

namespace qvr {

// Reports files that exist but are not usable; their contents are left out of the output, as a
// lookup leaves them out. Returns the status the command ends with.
int ReportUnusableFiles(const DatabaseReader& reader, std::ostream& err) {
  int status = kQvrdbOk;
  for (DBFile kind : kAllDBFiles) {
    const SnapshotFile& file = reader.File(kind);
    if (file.Exists && !file.ValidHeader) {
      err << "qvrdb: " << file.Path.string() << " はこのバージョンのデータベースファイルではないため、使われません\n";
      status = kQvrdbProblem;
    }
  }
  return status;
}

namespace {

constexpr unsigned kMaxCheckMebibytes = 65536;

bool ExpectArguments(const QvrdbContext& context, std::span<const std::string> arguments, std::size_t count,
                     std::string_view usage) {
  if (arguments.size() == count) return true;
  context.Err << "qvrdb: 使い方: qvrdb [--db DIR] " << usage << "\n";
  return false;
}

int RunList(const QvrdbContext& context, std::span<const std::string> arguments) {
  if (!ExpectArguments(context, arguments, 0, "list")) return kQvrdbError;
  const DatabaseReader reader(context.MasterPath);
  reader.ForEachMaster([&](const TMasterRecord& disc) {
    context.Out << OneLine(disc.DiscKey.ToUtf8()) << '\t' << int(disc.TrackCount) << '\t' << TimeText(disc.DiscTime)
                << '\t' << OneLine(disc.DiscName.ToUtf8()) << '\t'
                << OneLine(SjisToUtf8(reader.NameOf(DBFile::Artist, disc.ArtistID))) << '\n';
    return true;
  });
  return ReportUnusableFiles(reader, context.Err);
}

int RunShow(const QvrdbContext& context, std::span<const std::string> arguments) {
  if (!ExpectArguments(context, arguments, 1, "show KEY")) return kQvrdbError;
  const DatabaseReader reader(context.MasterPath);
  const std::string key = Utf8ToSjis(arguments[0]).bytes;
  const int files = ReportUnusableFiles(reader, context.Err);
  // The first disc with the key; only its own track and name records are read.
  const std::optional<TMasterRecord> found = reader.FindMaster(key);
  if (!found) {
    context.Err << "qvrdb: キー " << arguments[0] << " のディスクはデータベースにありません\n";
    return kQvrdbProblem;
  }
  const TDiscRecord disc = reader.Resolve(*found);
  std::ostream& out = context.Out;
  out << "DiscKey: " << OneLine(disc.DiscKey.ToUtf8()) << "\n"
      << "TrackCount: " << int(disc.TrackCount) << "\n"
      << "DiscTime: " << TimeText(disc.DiscTime) << "\n"
      << "DiscName: " << OneLine(disc.DiscName.ToUtf8()) << "\n"
      << "ArtistName: " << OneLine(disc.ArtistName.ToUtf8()) << "\n"
      << "SaleDate: " << FormatSaleDate(disc.SaleDate) << "\n"
      << "LabelName: " << OneLine(disc.LabelName.ToUtf8()) << "\n"
      << "DiscType: " << int(disc.DiscType) << " " << DiscTypeText(disc.DiscType) << "\n"
      << "JacketFile: " << OneLine(disc.JacketFile.ToUtf8()) << "\n"
      << "LyricsFile: " << OneLine(disc.LyricsFile.ToUtf8()) << "\n";
  for (std::size_t n = 1; n <= UsedTracks(disc.TrackCount); ++n) {
    const TTrackEntry& track = disc.Tracks[n];
    out << "Track " << n << ": StartPos " << TimeText(track.StartPos) << ", Length " << TimeText(track.Length) << "\n"
        << "  TrackName: " << OneLine(track.TrackName.ToUtf8()) << "\n"
        << "  Lyricsby: " << OneLine(track.Lyricsby.ToUtf8()) << "\n"
        << "  Musicby: " << OneLine(track.Musicby.ToUtf8()) << "\n"
        << "  Arrangeby: " << OneLine(track.Arrangeby.ToUtf8()) << "\n"
        << "  Genre: " << OneLine(track.Genre.ToUtf8()) << "\n";
  }
  return files;
}

int RunCheck(const QvrdbContext& context, std::span<const std::string> arguments) {
  // --memory MIB: the memory the checks across records may take before they use temporary files.
  std::size_t memory = kCheckMemory;
  if (arguments.size() == 2 && arguments[0] == "--memory") {
    unsigned mebibytes = 0;
    const std::string& text = arguments[1];
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), mebibytes);
    if (error != std::errc() || end != text.data() + text.size() || mebibytes < 1 || mebibytes > kMaxCheckMebibytes) {
      context.Err << "qvrdb: --memory には 1 から " << kMaxCheckMebibytes
                  << " までの整数 (MiB) を指定してください: " << text << "\n";
      return kQvrdbError;
    }
    memory = std::size_t{mebibytes} << 20;
  } else if (!ExpectArguments(context, arguments, 0, "check [--memory MIB]")) {
    return kQvrdbError;
  }
  std::size_t problems = 0;
  for (const CheckFinding& finding : CheckDatabase(context.MasterPath, memory)) {
    context.Out << (finding.Problem ? "問題: " : "注意: ") << finding.Text << "\n";
    if (finding.Problem) ++problems;
  }
  const DatabaseReader reader(context.MasterPath);
  auto records = [&](DBFile file) { return reader.File(file).ValidHeader ? reader.File(file).Records - 1 : 0; };
  context.Out << "ディスク " << records(DBFile::Master) << " 枚、トラック " << records(DBFile::Track)
              << " 曲、アーティスト " << records(DBFile::Artist) << " 件、レーベル " << records(DBFile::Label)
              << " 件、ジャンル " << records(DBFile::Genre) << " 件。";
  if (problems == 0) {
    context.Out << "問題は見つかりませんでした。\n";
    return kQvrdbOk;
  }
  context.Out << problems << " 件の問題が見つかりました。\n";
  return kQvrdbProblem;
}

constexpr QvrdbCommand kCommands[] = {
    {"list", "", "ディスクを 1 行ずつ表示 (キー, 曲数, 演奏時間, タイトル, アーティスト; タブ区切り)", true, RunList},
    {"show", "KEY", "キーが KEY の最初のディスクの全テキストを表示", true, RunShow},
    {"export", "", "データベース全体を JSON で標準出力へ", true, RunExport},
    {"import", "FILE", "JSON ファイルのディスクを順に登録 (既にあるディスクは上書き; フォルダがなければ作成)", false,
     RunImport},
    {"check", "[--memory MIB]",
     "5 つのファイルを検査 (問題があれば終了コード 1; --memory: 検査の表に使うメモリの上限 MiB、既定 16、超える分は一時"
     "ファイルへ)",
     true, RunCheck},
    {"lookup", "KEY|DRIVE",
     "データベースのディスク (キー) かドライブ・イメージのディスクをオンラインで検索し、候補を export と同じ JSON "
     "で表示",
     false, nullptr, "qvrdb-online"},
    {"lyrics", "KEY|DRIVE [--write]",
     "登録済みのディスクの時間付き歌詞をオンラインで取得し、LRC を表示 (--write: データベースの Lyrics "
     "フォルダに書いてレコードに登録; 既にほかの歌詞ファイルがあれば --replace も必要)",
     false, nullptr, "qvrdb-online"},
    {"probe", "[--json] [DRIVE]", "ドライブかイメージのディスクを読んで、キー・曲数・時間と登録の有無を表示", false,
     RunProbe},
};

}  // namespace

std::span<const QvrdbCommand> QvrdbCommands() { return kCommands; }

}  // namespace qvr
