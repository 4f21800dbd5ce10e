// The pop-up menu as a model the controller owns: every item with its name, caption, enabled,
// checked and visible state. The Qt menu and the control pad's buttons are views of it; the play mode
// is the check marks of the three mode items and is kept nowhere else.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qvr {

enum class MenuItemId : std::uint8_t {
  PlayMNU,
  StopMNU,
  PauseMNU,
  NextMNU,
  PreviousMNU,
  PlayListMNU,
  RepeatOneMNU,
  RepeatAllMNU,
  RandomMNU,
  LyricsViewMNU,
  PadMNU,
  BaseMNU,
  BasicPadMNU,
  ControlPadMNU,
  ModePadMNU,
  WindowPadMNU,
  DiscPadMNU,
  OtherPadMNU,
  JacketViewMNU,
  LibraryEditMNU,
  PluginMNU,
  EjectMNU,
  OptionMNU,
  HelpMNU,
  ExitMNU,
  // Shown only while no drive or image can be used: the options dialog at the drive setting,
  // and the demo disc when one is installed.
  DriveSetupMNU,
  DemoDiscMNU,
  Count
};

constexpr std::size_t kMenuItemCount = static_cast<std::size_t>(MenuItemId::Count);

// An entry of the PluginMNU sub-menu: one accepted plug-in. Its tag is its place in the
// controller's PluginList.
struct PluginMenuEntry {
  std::string name;     // the plug-in's identifier
  std::string caption;  // UTF-8
  std::size_t tag = 0;
  friend bool operator==(const PluginMenuEntry&, const PluginMenuEntry&) = default;
};

// One row of a menu: an item, or a separator line.
struct MenuEntry {
  bool separator = false;
  MenuItemId item = MenuItemId::Count;
};

class TQVRMenu {
 public:
  TQVRMenu();

  // The rows of the menu from top to bottom, and those of the PadMNU sub-menu.
  static std::span<const MenuEntry> TopLevel();
  static std::span<const MenuEntry> PadSubMenu();

  static std::string_view Name(MenuItemId item);  // "PlayMNU", ...

  const std::string& Caption(MenuItemId item) const { return Get(item).caption; }
  bool Enabled(MenuItemId item) const { return Get(item).enabled; }
  bool Checked(MenuItemId item) const { return Get(item).checked; }
  bool Visible(MenuItemId item) const { return Get(item).visible; }

  // Each setter tells the listener when the value really changes.
  void SetCaption(MenuItemId item, std::string_view caption);
  void SetEnabled(MenuItemId item, bool enabled);
  void SetChecked(MenuItemId item, bool checked);
  void SetVisible(MenuItemId item, bool visible);

  // The entries of PluginMNU, rebuilt by each refresh of the plug-ins (tells the listener PluginMNU).
  const std::vector<PluginMenuEntry>& PluginEntries() const { return plugin_entries_; }
  void SetPluginEntries(std::vector<PluginMenuEntry> entries);

  // Called with the item after each change; one listener (the Qt menu), or none.
  void SetListener(std::function<void(MenuItemId)> listener) { listener_ = std::move(listener); }

 private:
  struct State {
    std::string caption;
    bool enabled = true;
    bool checked = false;
    bool visible = true;
  };
  const State& Get(MenuItemId item) const { return items_[static_cast<std::size_t>(item)]; }
  State& Get(MenuItemId item) { return items_[static_cast<std::size_t>(item)]; }
  void Changed(MenuItemId item) {
    if (listener_) listener_(item);
  }

  std::array<State, kMenuItemCount> items_;
  std::function<void(MenuItemId)> listener_;
  std::vector<PluginMenuEntry> plugin_entries_;
};

}  // namespace qvr
