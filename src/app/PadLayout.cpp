// The control pad's side of the controller: the PadMNU sub-menu, and the pad's layout keys in
// the "Control Pad" section, each read with the layout's current value as its default.
#include <string>

#include "app/TQVRDM.h"

namespace qvr {
namespace {

constexpr std::string_view kControlPad = "Control Pad";

std::string Key(PadToolbar toolbar, std::string_view suffix) {
  return std::string(Info(toolbar).key_prefix) + std::string(suffix);
}

}  // namespace

void TQVRDM::BaseMNUClick() {
  const bool shown = !QVRMenu.Checked(MenuItemId::BaseMNU);
  QVRMenu.SetChecked(MenuItemId::BaseMNU, shown);
  ports_.view.SetPadWindowVisible(shown);
  ports_.view.SetPadToggle(PadToggle::PadViewBTN, shown);
}

void TQVRDM::PadToolbarMNUClick(PadToolbar toolbar) {
  const MenuItemId item = Info(toolbar).menu_item;
  const bool shown = !QVRMenu.Checked(item);
  QVRMenu.SetChecked(item, shown);
  ports_.view.SetPadToolbarVisible(toolbar, shown);
}

void TQVRDM::PadToolbarClose(PadToolbar toolbar) { QVRMenu.SetChecked(Info(toolbar).menu_item, false); }

void TQVRDM::RestoreLayout() {
  QVRView& view = ports_.view;
  const TIniGT& ini = IniCTRL;
  view.SetHintsEnabled(HelpHint);
  PadLayout layout = view.PadGeometry();
  if (PadStatus) {
    PadWindowGeometry& window = layout.window;
    window.height = ini.ReadInteger(kControlPad, "Height", window.height);
    window.left = ini.ReadInteger(kControlPad, "Left", window.left);
    window.top = ini.ReadInteger(kControlPad, "Top", window.top);
    window.width = ini.ReadInteger(kControlPad, "Width", window.width);
    window.visible = ini.ReadBool(kControlPad, "Visible", window.visible);
  }
  view.SetPadStayOnTop(PadStayOnTop);
  if (PadDockInfo) {
    for (const PadToolbarInfo& info : kPadToolbars) {
      layout[info.toolbar].docked = ini.ReadBool(kControlPad, Key(info.toolbar, "Dock"), true);
    }
  }
  if (PadChildrenStatus) {
    for (const PadToolbarInfo& info : kPadToolbars) {
      PadToolbarGeometry& bar = layout[info.toolbar];
      bar.dock_pos = ini.ReadInteger(kControlPad, Key(info.toolbar, "DockPos"), bar.dock_pos);
      bar.dock_row = ini.ReadInteger(kControlPad, Key(info.toolbar, "DockRow"), bar.dock_row);
      bar.left = ini.ReadInteger(kControlPad, Key(info.toolbar, "Left"), bar.left);
      bar.top = ini.ReadInteger(kControlPad, Key(info.toolbar, "Top"), bar.top);
      bar.height = ini.ReadInteger(kControlPad, Key(info.toolbar, "Height"), bar.height);
      bar.width = ini.ReadInteger(kControlPad, Key(info.toolbar, "Width"), bar.width);
      bar.visible = ini.ReadBool(kControlPad, Key(info.toolbar, "Visible"), bar.visible);
    }
  }
  view.SetPadGeometry(layout);

  const PadLayout applied = view.PadGeometry();
  view.SetPadToggle(PadToggle::RepeatOneBTN, QVRMenu.Checked(MenuItemId::RepeatOneMNU));
  view.SetPadToggle(PadToggle::RepeatAllBTN, QVRMenu.Checked(MenuItemId::RepeatAllMNU));
  view.SetPadToggle(PadToggle::RandomBTN, QVRMenu.Checked(MenuItemId::RandomMNU));
  view.SetPadToggle(PadToggle::LyricsViewBTN, QVRMenu.Checked(MenuItemId::LyricsViewMNU));
  view.SetPadToggle(PadToggle::PadViewBTN, applied.window.visible);
  QVRMenu.SetChecked(MenuItemId::BaseMNU, applied.window.visible);
  for (const PadToolbarInfo& info : kPadToolbars) QVRMenu.SetChecked(info.menu_item, applied[info.toolbar].visible);
}

void TQVRDM::SaveLayout() {
  TIniGT& ini = IniCTRL;
  const PadLayout layout = ports_.view.PadGeometry();
  if (PadStatus) {
    ini.WriteInteger(kControlPad, "Height", layout.window.height);
    ini.WriteInteger(kControlPad, "Left", layout.window.left);
    ini.WriteInteger(kControlPad, "Top", layout.window.top);
    ini.WriteInteger(kControlPad, "Width", layout.window.width);
    ini.WriteBool(kControlPad, "Visible", layout.window.visible);
  }
  if (PadDockInfo) {
    for (const PadToolbarInfo& info : kPadToolbars) {
      ini.WriteBool(kControlPad, Key(info.toolbar, "Dock"), layout[info.toolbar].docked);
    }
  }
  if (PadChildrenStatus) {
    for (const PadToolbarInfo& info : kPadToolbars) {
      const PadToolbarGeometry& bar = layout[info.toolbar];
      ini.WriteInteger(kControlPad, Key(info.toolbar, "DockPos"), bar.dock_pos);
      ini.WriteInteger(kControlPad, Key(info.toolbar, "DockRow"), bar.dock_row);
      ini.WriteInteger(kControlPad, Key(info.toolbar, "Left"), bar.left);
      ini.WriteInteger(kControlPad, Key(info.toolbar, "Top"), bar.top);
      ini.WriteInteger(kControlPad, Key(info.toolbar, "Height"), bar.height);
      ini.WriteInteger(kControlPad, Key(info.toolbar, "Width"), bar.width);
      ini.WriteBool(kControlPad, Key(info.toolbar, "Visible"), bar.visible);
    }
  }
}

}  // namespace qvr
