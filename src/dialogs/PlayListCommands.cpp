// The play list dialog's file commands.
#include "dialogs/PlayListCommands.h"

#include "app/TQVRDM.h"

namespace qvr {
namespace {

constexpr std::string_view kPurpose = "playlist";
constexpr const char* kOpenTitle = "プレイリストを開く";
constexpr const char* kSaveTitle = "プレイリストを名前を付けて保存";

}  // namespace

FileFilter PlayListFilter(const TDiscRecord& disc) {
  return {disc.DiscName.ToUtf8() + "のプレイリスト", {"*." + disc.DiscKey.Str()}};
}

std::string PlayListCaption(std::string_view name, bool without_extension) {
  if (without_extension) {
    if (const std::size_t dot = name.rfind('.'); dot != std::string_view::npos) name = name.substr(0, dot);
  }
  return "プレイリスト ... " + std::string(name);
}

PlayListLoad LoadPlayListCommand(TQVRDM& dm, FileDialogs& files) {
  std::optional<std::string> path = files.OpenFile(kPurpose, kOpenTitle, {PlayListFilter(dm.Disc)}, dm.PlayListPath);
  if (!path) return PlayListLoad::Cancelled;
  return dm.LoadPlayList(*path) ? PlayListLoad::Loaded : PlayListLoad::OtherFile;
}

bool SaveAsPlayListCommand(TQVRDM& dm, FileDialogs& files) {
  std::optional<std::string> path =
      files.SaveFile(kPurpose, kSaveTitle, {PlayListFilter(dm.Disc)}, dm.PlayListPath, dm.Disc.DiscKey.Str());
  if (!path) return false;
  return dm.SavePlayList(*path);
}

bool SavePlayListCommand(TQVRDM& dm, FileDialogs& files) {
  if (dm.PlayListPath.empty()) return SaveAsPlayListCommand(dm, files);
  dm.SavePlayList(dm.PlayListPath);
  return false;
}

}  // namespace qvr
