// The controller's plug-in commands: finding the plug-ins in the plug-in folder, offering them in
// the menu and on the plug-in pad, and running one. Each failure is shown in an error box and
// skips that plug-in; the others go on.
#include <algorithm>
#include <filesystem>
#include <set>

#include "app/TQVRDM.h"
#include "util/ShiftJis.h"

namespace qvr {
namespace {

constexpr const char* kPluginErrorCaption = "プラグインロードエラー";

// Files of `folder` whose name ends in ".QPI" (in any letter case), sorted by name so that the
// order does not depend on the file system.
std::vector<std::string> PluginFiles(const std::filesystem::path& folder) {
  std::vector<std::string> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    std::string name = entry.path().filename().string();
    if (entry.is_directory(error) || name.size() < 4) continue;
    std::string extension = name.substr(name.size() - 4);
    std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) { return std::toupper(c); });
    if (extension == ".QPI") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

PluginIdentity TQVRDM::QueryPlugin(const std::string& path) {
  try {
    return QueryPluginLibrary(path);
  } catch (const Error& error) {
    ports_.view.ShowMessage(error.what(), kPluginErrorCaption, MessageIcon::Error, MessageButtons::Ok);
    return {};
  }
}

void TQVRDM::RefreshPlugins() {
  PluginList.clear();
  QVRMenu.SetPluginEntries({});
  ports_.view.SetPluginButtons({});
  QVRMenu.SetEnabled(MenuItemId::PluginMNU, false);

  // The folder's value is a Shift-JIS setting ending in a separator; the files are opened by
  // their file-system names.
  std::set<std::string> names;
  for (const std::string& path : PluginFiles(SjisToUtf8(PluginPath))) {
    PluginIdentity identity = QueryPlugin(path);
    if (!identity.IsPlugin) continue;
    // The identifier names the pad button and the menu entry: it must be one, and only once.
    std::string problem;
    if (!IsPluginIdentifier(identity.PluginName)) {
      problem = "[" + path + "] のプラグイン名「" + SjisToUtf8(identity.PluginName) + "」は使えません";
    } else if (!names.insert(identity.PluginName).second) {
      problem = "[" + path + "] のプラグイン名「" + identity.PluginName + "」は他のプラグインが使っています";
    }
    if (!problem.empty()) {
      ports_.view.ShowMessage(problem, kPluginErrorCaption, MessageIcon::Error, MessageButtons::Ok);
      continue;
    }
    PluginList.push_back(path);
  }
  if (PluginList.empty()) return;

  std::vector<PluginButton> buttons;
  std::vector<PluginMenuEntry> entries;
  for (std::size_t tag = 0; tag < PluginList.size(); ++tag) {
    // Asked again for what the pad and the menu show; a library that changed in between and
    // now declines is left out, and the others keep their tags.
    PluginIdentity identity = QueryPlugin(PluginList[tag]);
    if (!identity.IsPlugin) continue;
    const std::string caption = SjisToUtf8(identity.PluginCaption);
    buttons.push_back({identity.PluginName, caption, identity.PadImage, tag});
    entries.push_back({identity.PluginName, caption, tag});
  }
  ports_.view.SetPluginButtons(buttons);
  QVRMenu.SetPluginEntries(std::move(entries));
  QVRMenu.SetEnabled(MenuItemId::PluginMNU, true);
}

void TQVRDM::PluginClick(std::size_t tag) {
  if (tag < PluginList.size()) RunPlugin(PluginList[tag]);
}

bool TQVRDM::RunPlugin(const std::string& path) {
  try {
    RunPluginLibrary(path, [this] { ports_.view.ProcessPendingWork(); });
    return true;
  } catch (const Error& error) {
    ports_.view.ShowMessage(error.what(), kPluginErrorCaption, MessageIcon::Error, MessageButtons::Ok);
    return false;
  }
}

}  // namespace qvr
