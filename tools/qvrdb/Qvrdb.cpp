// qvrdb's option parsing, dispatch and the database folder taken from the player's settings.
#include "tools/qvrdb/Qvrdb.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <vector>

#include "app/PlayerSettings.h"
#include "app/Version.h"
#include "cddb/DatabaseLock.h"
#include "util/Error.h"
#include "util/Msf.h"
#include "util/ProgramFolder.h"
#include "util/ShiftJis.h"

namespace qvr {
namespace {

void PrintUsage(std::ostream& err) {
  err << "使い方: qvrdb [--db DIR] COMMAND [引数]\n"
         "       qvrdb --help | -h\n"
         "       qvrdb --version | -V\n"
         "  DIR を省くと、プレーヤーの設定ファイル (Qvr.ini) の DataBasePath のフォルダを使います。\n"
         "  時間は分 (min)、秒 (s)、フレーム (f、1/75 秒) で表示します。例: 1 min 15 s 74 f\n";
  for (const QvrdbCommand& command : QvrdbCommands()) {
    std::string line = "  " + std::string(command.Name);
    if (!command.Arguments.empty()) line += " " + std::string(command.Arguments);
    if (line.size() < 24) line.resize(24, ' ');
    err << line << " " << command.Summary << "\n";
  }
}

// Replaces this process with the companion `program` beside it, given the same arguments; returns
// only when it cannot be started.
int HandOver(std::string_view program, std::span<const std::string> arguments, std::ostream& out, std::ostream& err) {
  const std::string path = (ProgramFile().parent_path() / program).string();
  std::vector<char*> argv{const_cast<char*>(path.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  out.flush();
  err.flush();
  execv(path.c_str(), argv.data());
  err << "qvrdb: " << path << " を起動できません: " << std::strerror(errno) << "\n";
  return kQvrdbError;
}

}  // namespace

std::string TimeText(std::uint32_t msf) {
  const TMSFParts parts = SplitMSF(msf);
  return std::to_string(parts.Minute) + " min " + std::to_string(parts.Second) + " s " + std::to_string(parts.Frame) +
         " f";
}

std::string OneLine(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  char escaped[8];
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (c == '\t' || c == '\n' || c == '\r') {
      line += ' ';
    } else if (c < 0x20 || c == 0x7F) {
      // A terminal would act on these (escape sequences, bells, cursor moves): shown, not sent.
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      line += escaped;
    } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
      std::snprintf(escaped, sizeof escaped, "\\u%04X", next);  // C1 controls (U+0080..U+009F)
      line += escaped;
      ++i;
    } else {
      line += static_cast<char>(c);
    }
  }
  return line;
}

std::filesystem::path SettingsMasterPath(const TIniGTEnvironment& environment) {
  // The same file, key and folder as the player.
  const TIniGT ini = PlayerSettingsFor(environment.ProgramFolder);
  return MasterFileIn(ReadDataBasePath(ini, environment.ProgramFolder));
}

int RunQvrdb(std::span<const std::string> arguments, std::ostream& out, std::ostream& err,
             const TIniGTEnvironment& environment, std::span<const QvrdbRunner> runners) {
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
  if (at < arguments.size() && (arguments[at] == "--help" || arguments[at] == "-h")) {
    PrintUsage(out);  // asked for: a result, not an error
    return kQvrdbOk;
  }
  if (at < arguments.size() && (arguments[at] == "--version" || arguments[at] == "-V")) {
    out << "qvrdb (" << kProductName << ") " << kVersionNumber << "\n";
    return kQvrdbOk;
  }
  if (at >= arguments.size()) {
    PrintUsage(err);
    return kQvrdbError;
  }
  const std::string& name = arguments[at];
  for (const QvrdbCommand& command : QvrdbCommands()) {
    if (command.Name != name) continue;
    auto run = command.Run;
    for (const QvrdbRunner& runner : runners) {
      if (!run && runner.Name == name) run = runner.Run;
    }
    if (!run) return HandOver(command.Program, arguments, out, err);
    try {
      if (master_path.empty()) master_path = SettingsMasterPath(environment);
      std::error_code error;
      if (command.ReadsDatabase && !std::filesystem::is_directory(DatabaseFolder(master_path), error)) {
        err << "qvrdb: データベースのフォルダがありません: " << DatabaseFolder(master_path).string() << "\n";
        return kQvrdbError;
      }
      return run({master_path, environment.ProgramFolder, out, err}, arguments.subspan(at + 1));
    } catch (const Error& error) {
      out.flush();
      err << "qvrdb: " << error.what() << "\n";
      return kQvrdbError;
    }
  }
  err << (name.starts_with('-') ? "qvrdb: 不明なオプションです: " : "qvrdb: 知らないコマンドです: ") << name << "\n";
  PrintUsage(err);
  return kQvrdbError;
}

int QvrdbMain(int argc, char** argv, std::span<const QvrdbRunner> runners) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  try {
    return RunQvrdb(arguments, std::cout, std::cerr, TIniGTEnvironment::FromProcess(), runners);
  } catch (const Error& error) {
    std::cerr << "qvrdb: " << error.what() << "\n";
    return kQvrdbError;
  }
}

}  // namespace qvr
