// The control pad's layout as plain values: the pad window's bounds and visibility and, for each
// of its six toolbars, whether it is docked, its row and position in the dock, its bounds and
// visibility. The controller reads and writes them as settings keys; the Qt pad reports and
// applies them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/QVRMenu.h"

namespace qvr {

enum class PadToolbar : std::uint8_t { BasicPad, ControlPad, ModePad, WindowPad, DiscPad, OtherPad, Count };
constexpr std::size_t kPadToolbarCount = static_cast<std::size_t>(PadToolbar::Count);

// Bounds of the pad window (screen pixels) and whether it is shown.
struct PadWindowGeometry {
  int left = 0, top = 0, width = 0, height = 0;
  bool visible = false;
  friend bool operator==(const PadWindowGeometry&, const PadWindowGeometry&) = default;
};

// One toolbar. Docked: left and top are inside the dock and follow from row and position.
// Floating: left and top are the floating window's on the screen; row and position are where it
// docks again.
struct PadToolbarGeometry {
  bool docked = true;
  int dock_pos = 0;  // pixels along its row
  int dock_row = 0;  // 0 = first row
  int left = 0, top = 0, width = 0, height = 0;
  bool visible = true;
  friend bool operator==(const PadToolbarGeometry&, const PadToolbarGeometry&) = default;
};

struct PadLayout {
  PadWindowGeometry window;
  std::array<PadToolbarGeometry, kPadToolbarCount> toolbars;
  PadToolbarGeometry& operator[](PadToolbar toolbar) { return toolbars[static_cast<std::size_t>(toolbar)]; }
  const PadToolbarGeometry& operator[](PadToolbar toolbar) const { return toolbars[static_cast<std::size_t>(toolbar)]; }
  friend bool operator==(const PadLayout&, const PadLayout&) = default;
};

// The fixed facts of each toolbar: its name in the settings keys ("Basic" gives "BasicDock",
// "BasicDockPos", ...), its caption, its place along row 0 when first built, its help topic and
// the menu item that shows and hides it.
struct PadToolbarInfo {
  PadToolbar toolbar;
  std::string_view key_prefix;
  std::string_view caption;
  int design_pos;
  int help_context;
  MenuItemId menu_item;
};

inline constexpr std::array<PadToolbarInfo, kPadToolbarCount> kPadToolbars = {{
    {PadToolbar::BasicPad, "Basic", "基本", 0, 37, MenuItemId::BasicPadMNU},
    {PadToolbar::ControlPad, "Control", "制御", 82, 38, MenuItemId::ControlPadMNU},
    {PadToolbar::ModePad, "Mode", "再生モード", 164, 39, MenuItemId::ModePadMNU},
    {PadToolbar::WindowPad, "Window", "ウィンドウ", 246, 40, MenuItemId::WindowPadMNU},
    {PadToolbar::DiscPad, "Disc", "ディスク情報", 305, 41, MenuItemId::DiscPadMNU},
    {PadToolbar::OtherPad, "Other", "その他", 364, 46, MenuItemId::OtherPadMNU},
}};

inline const PadToolbarInfo& Info(PadToolbar toolbar) { return kPadToolbars[static_cast<std::size_t>(toolbar)]; }

}  // namespace qvr
