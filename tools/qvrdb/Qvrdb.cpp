// qvrdb's option parsing, dispatch and the database folder taken from the player's settings.
#include "tools/qvrdb/Qvrdb.h"

#include <ostream>

#include "app/PlayerSettings.h"
#include "util/Error.h"
#include "util/ShiftJis.h"

namespace qvr {
namespace {

void PrintUsage(std::ostream& err) {
  err << "使い方: qvrdb [--db DIR] COMMAND [引数]\n"
         "  DIR を省くと、プレーヤーの設定ファイル (Qvr.ini) の DataBasePath のフォルダを使います。\n";
  for (const QvrdbCommand& command : QvrdbCommands()) {
    std::string line = "  " + std::string(command.Name);
    if (!command.Arguments.empty()) line += " " + std::string(command.Arguments);
    if (line.size() < 24) line.resize(24, ' ');
    err << line << " " << command.Summary << "\n";
  }
}

}  // namespace

std::string OneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return line;
}

std::filesystem::path SettingsMasterPath(const TIniGTEnvironment& environment) {
  // The same file and key as the player, and the same plain concatenation.
  const TIniGT ini = PlayerSettingsFor(environment.ProgramFolder);
  return SjisToUtf8(ReadDataBasePath(ini, environment.ProgramFolder) + "MasterDB.QVR");
}

int RunQvrdb(std::span<const std::string> arguments, std::ostream& out, std::ostream& err,
             const TIniGTEnvironment& environment) {
  std::filesystem::path master_path;
  std::size_t at = 0;
  if (at < arguments.size() && (arguments[at] == "--db" || arguments[at].starts_with("--db="))) {
    if (arguments[at] == "--db") {
      if (at + 1 >= arguments.size()) {
        err << "qvrdb: --db にはフォルダを指定してください\n";
        return kQvrdbError;
      }
      master_path = std::filesystem::path(arguments[at + 1]) / "MasterDB.QVR";
      at += 2;
    } else {
      master_path = std::filesystem::path(arguments[at].substr(5)) / "MasterDB.QVR";
      at += 1;
    }
  }
  if (at >= arguments.size() || arguments[at] == "--help" || arguments[at] == "-h") {
    PrintUsage(err);
    return kQvrdbError;
  }
  const std::string& name = arguments[at];
  for (const QvrdbCommand& command : QvrdbCommands()) {
    if (command.Name != name) continue;
    try {
      if (master_path.empty()) master_path = SettingsMasterPath(environment);
      return command.Run({master_path, environment.ProgramFolder, out, err}, arguments.subspan(at + 1));
    } catch (const Error& error) {
      out.flush();
      err << "qvrdb: " << error.what() << "\n";
      return kQvrdbError;
    }
  }
  err << "qvrdb: 知らないコマンドです: " << name << "\n";
  PrintUsage(err);
  return kQvrdbError;
}

}  // namespace qvr
