// The program folder and the user's standard folders.
#include "util/ProgramFolder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "util/Error.h"

namespace qvr {
namespace {

std::filesystem::path HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
  return "/tmp";
}

// An XDG base folder: the variable when it holds an absolute path, else the fallback under home.
std::filesystem::path XdgFolder(const char* variable, const char* fallback) {
  if (const char* value = std::getenv(variable); value && *value == '/') return value;
  return HomeFolder() / fallback;
}

}  // namespace

std::filesystem::path ProgramFile() {
  std::error_code error;
  std::filesystem::path file = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) throw Error("実行ファイルの場所が分かりません: " + error.message());
  return file;
}

std::filesystem::path UserDataHome() { return XdgFolder("XDG_DATA_HOME", ".local/share"); }
std::filesystem::path UserConfigHome() { return XdgFolder("XDG_CONFIG_HOME", ".config"); }

std::filesystem::path ProgramFolderFor(const std::filesystem::path& program_file,
                                       const std::filesystem::path& data_home) {
  std::filesystem::path folder = program_file.parent_path();
  // An installed program (PREFIX/bin beside PREFIX/share/qvr) keeps users' files apart even
  // where its folder is writable (root, or a prefix in the user's home).
  std::error_code error;
  const bool installed = std::filesystem::is_directory(folder.parent_path() / "share" / "qvr", error);
  if (!installed && access(folder.c_str(), W_OK) == 0) return folder;
  std::filesystem::path fallback = data_home / "qvr";
  std::filesystem::create_directories(fallback, error);
  if (error) throw Error(fallback.string() + " を作成できません: " + error.message());
  return fallback;
}

std::filesystem::path ProgramFolder() { return ProgramFolderFor(ProgramFile(), UserDataHome()); }

std::filesystem::path DemoDiscFor(const std::filesystem::path& program_file) {
  const std::filesystem::path folder = program_file.parent_path();
  for (const std::filesystem::path& sheet :
       {folder / "demo" / "QvrDemo.cue", folder.parent_path() / "share" / "qvr" / "demo" / "QvrDemo.cue"}) {
    std::error_code error;
    if (std::filesystem::is_regular_file(sheet, error)) return sheet;
  }
  return {};
}

std::filesystem::path DemoDisc() {
  try {
    return DemoDiscFor(ProgramFile());
  } catch (const Error&) {
    return {};  // no executable's place, no demo disc to offer
  }
}

}  // namespace qvr
