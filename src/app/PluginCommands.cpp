// The controller's plug-in commands: finding the plug-ins in the plug-in folder, offering them in
// the menu and on the plug-in pad, and running one. The libraries run in host processes
// (plugins/PluginHostSet): a plug-in that crashes, hangs or misbehaves costs an error box, never
// the player. A refresh gathers what went wrong with every library into one error box; a run
// shows its own.
#include <algorithm>
#include <filesystem>
#include <set>

#include "app/TQVRDM.h"
#include "util/Error.h"
#include "util/ShiftJis.h"

namespace qvr {
namespace {

constexpr const char* kPluginErrorCaption = "プラグインロードエラー";
constexpr const char* kPluginQuestionCaption = "プラグイン";

// Files of `folder` whose name ends in ".QPI" (in any letter case), sorted by name so that the
// order does not depend on the file system.
std::vector<std::string> PluginFiles(const std::filesystem::path& folder) {
  std::vector<std::string> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    std::string name = entry.path().filename().string();
    if (entry.is_directory(error) || name.size() < 4) continue;
    std::string extension = name.substr(name.size() - 4);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return std::toupper(c); });
    if (extension == ".QPI") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The lines of one error box; a folder full of junk gives a box that still fits the screen.
std::string Lines(const std::vector<std::string>& lines) {
  constexpr std::size_t kShown = 20;
  std::string text;
  for (std::size_t i = 0; i < lines.size() && i < kShown; ++i) text += (text.empty() ? "" : "\n") + lines[i];
  if (lines.size() > kShown) text += "\nほか " + std::to_string(lines.size() - kShown) + " 件";
  return text;
}

// One refresh: the list, the menu entries and the pad buttons rebuilt from the plug-in folder.
// Returns what went wrong, a line for each library.
std::vector<std::string> RefreshPluginList(TQVRDM& dm, QVRView& view) {
  dm.PluginList.clear();
  dm.QVRMenu.SetPluginEntries({});
  view.SetPluginButtons({});  // (no picture to decode)
  dm.QVRMenu.SetEnabled(MenuItemId::PluginMNU, false);

  std::vector<std::string> problems;
  try {
    // The folder's value is a Shift-JIS setting ending in a separator; the files are opened by
    // their file-system names.
    const std::vector<std::string> files = PluginFiles(SjisToUtf8(dm.PluginPath));
    if (files.empty()) return problems;
    const std::vector<PluginIdentity> identities = dm.QueryPlugin(files);
    std::vector<std::string> accepted;
    std::set<std::string> names;
    for (std::size_t i = 0; i < files.size(); ++i) {
      const PluginIdentity& identity = identities[i];
      const std::string& path = files[i];
      if (!identity.Problem.empty()) problems.push_back(identity.Problem);
      if (!identity.IsPlugin) continue;
      // The identifier names the pad button and the menu entry: it must be one, and only once.
      if (!IsPluginIdentifier(identity.PluginName)) {
        problems.push_back("[" + path + "] のプラグイン名「" + SjisToUtf8(identity.PluginName) + "」は使えません");
      } else if (!names.insert(identity.PluginName).second) {
        problems.push_back("[" + path + "] のプラグイン名「" + identity.PluginName +
                           "」は他のプラグインが使っています");
      } else {
        accepted.push_back(path);
      }
    }
    dm.PluginList = accepted;
    if (accepted.empty()) return problems;

    // Asked again for what the pad and the menu show; a library that changed in between and
    // now declines or fails is left out, and the others keep their tags.
    const std::vector<PluginIdentity> again = dm.QueryPlugin(accepted);
    std::vector<PluginButton> buttons;
    std::vector<PluginMenuEntry> entries;
    for (std::size_t tag = 0; tag < accepted.size(); ++tag) {
      const PluginIdentity& identity = again[tag];
      if (!identity.Problem.empty()) problems.push_back(identity.Problem);
      if (!identity.Notice.empty()) problems.push_back(identity.Notice);
      if (!identity.IsPlugin) continue;
      const std::string caption = SjisToUtf8(identity.PluginCaption);
      buttons.push_back({identity.PluginName, caption, identity.PadImage, tag});
      entries.push_back({identity.PluginName, caption, tag});
    }
    if (entries.empty()) return problems;
    // A picture the pad cannot decode is said, and the button shows the program's picture.
    for (const std::size_t tag : view.SetPluginButtons(buttons)) {
      problems.push_back("[" + accepted[tag] + "] のボタン画像は読めない形式のため使いません");
    }
    dm.QVRMenu.SetPluginEntries(std::move(entries));
    dm.QVRMenu.SetEnabled(MenuItemId::PluginMNU, true);
  } catch (const Error& error) {
    problems.emplace_back(error.what());
  }
  return problems;
}
}  // namespace

std::vector<PluginIdentity> TQVRDM::QueryPlugin(const std::vector<std::string>& paths) {
  return PluginHosts.Identify(paths, [this] { ports_.view.ProcessPendingWork(); });
}

void TQVRDM::RefreshPlugins() {
  // Pending work runs while the hosts answer; a refresh asked for meanwhile (the options applied
  // again) comes after this one, and one asked for during a plug-in's run after that run.
  if (PluginHosts.Waiting()) {
    PluginHosts.DeferRefresh();
    return;
  }
  do {
    const std::vector<std::string> problems = RefreshPluginList(*this, ports_.view);
    PluginHosts.Keep(PluginList);
    if (!problems.empty()) {
      ports_.view.ShowMessage(Lines(problems), kPluginErrorCaption, MessageIcon::Error, MessageButtons::Ok);
    }
  } while (PluginHosts.TakeDeferredRefresh());
}

void TQVRDM::PluginClick(std::size_t tag) {
  if (tag < PluginList.size()) RunPlugin(PluginList[tag]);
}

bool TQVRDM::RunPlugin(const std::string& path) {
  PluginRunResult result = PluginHosts.Run(
      path, [this] { ports_.view.ProcessPendingWork(); },
      [this](const std::string& question) {
        return ports_.view.ShowMessage(question, kPluginQuestionCaption, MessageIcon::Warning, MessageButtons::YesNo) ==
               MessageAnswer::Yes;
      });
  if (!result.problem.empty()) {
    ports_.view.ShowMessage(result.problem, kPluginErrorCaption, MessageIcon::Error, MessageButtons::Ok);
  }
  if (PluginHosts.TakeDeferredRefresh()) RefreshPlugins();
  return result.ran;
}

}  // namespace qvr
