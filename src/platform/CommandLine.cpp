// The command line's parsing and texts; no Qt, so that --help and --version work without a
// display.
#include "platform/CommandLine.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "app/Version.h"

namespace qvr {

namespace fs = std::filesystem;

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine result;
  bool options = true;
  for (const std::string& argument : arguments) {
    if (options && argument == "--") {
      options = false;
    } else if (options && (argument == "-h" || argument == "--help")) {
      result.action = CommandLine::Action::Help;
      return result;
    } else if (options && (argument == "-V" || argument == "--version")) {
      result.action = CommandLine::Action::Version;
      return result;
    } else if (options && argument.size() > 1 && argument[0] == '-') {
      result.action = CommandLine::Action::Usage;
      result.error = "不明なオプションです: " + argument;
      return result;
    } else if (!result.path.empty() || argument.empty()) {
      result.action = CommandLine::Action::Usage;
      result.error = argument.empty() ? "空のパスは開けません" : "開けるパスは一つだけです: " + argument;
      return result;
    } else {
      result.path = argument;
    }
  }
  return result;
}

std::string UsageText() {
  return "使い方: qvr [オプション] [パス]\n"
         "\n"
         "音楽CDを再生します。パスにはCDイメージ (.cue .toc .nrg .bin、キューシート入りの .flac)、\n"
         "CDイメージのフォルダ、"
         "またはCDドライブのデバイス (/dev/sr0 など) を指定します。\n"
         "プレーヤーがすでに動いているときは、そのプレーヤーがパスを受け取って切り替えます。\n"
         "設定の「ドライブ」は変わりません。\n"
         "\n"
         "オプション:\n"
         "  -h, --help     この説明を表示して終了します\n"
         "  -V, --version  バージョンを表示して終了します\n"
         "  --             これより後ろはすべてパスとして扱います\n";
}

std::string VersionText() {
  return std::string(kProductName) + " " + std::to_string(kFileVersion.major) + "." +
         std::to_string(kFileVersion.minor) + "." + std::to_string(kFileVersion.release) + "." +
         std::to_string(kFileVersion.build) + "\nCopyright(c) " + kCopyright + "\n";
}

std::string PathToOpen(const std::string& path) {
  std::error_code error;
  fs::path absolute = fs::absolute(path, error);
  if (error) absolute = path;
  absolute = absolute.lexically_normal();
  std::string extension = absolute.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".bin") {
    for (const char* cue : {".cue", ".CUE", ".Cue"}) {
      fs::path sheet = absolute;
      sheet.replace_extension(cue);
      if (fs::is_regular_file(sheet, error)) return sheet.string();
    }
  }
  return absolute.string();
}

}  // namespace qvr
