// The control pad's side of the controller: the PadMNU sub-menu, and the pad's layout keys in
// the "Control Pad" section, each read with the layout's current value as its default.
#include <string>

#include "app/PlayerSettings.h"
#include "app/TQVRDM.h"

namespace qvr {
namespace {

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
    window.height = ini.ReadInteger(kControlPadSection, "Height", window.height);
    window.left = ini.ReadInteger(kControlPadSection, "Left", window.left);
    window.top = ini.ReadInteger(kControlPadSection, "Top", window.top);
    window.width = ini.ReadInteger(kControlPadSection, "Width", window.width);
    window.visible = ini.ReadBool(kControlPadSection, "Visible", window.visible);
  }
  view.SetPadStayOnTop(PadStayOnTop);
  if (PadDockInfo) {
    for (const PadToolbarInfo& info : kPadToolbars) {
      layout[info.toolbar].docked = ini.ReadBool(kControlPadSection, Key(info.toolbar, "Dock"), true);
    }
  }
  if (PadChildrenStatus) {
    for (const PadToolbarInfo& info : kPadToolbars) {
      PadToolbarGeometry& bar = layout[info.toolbar];
      bar.dock_pos = ini.ReadInteger(kControlPadSection, Key(info.toolbar, "DockPos"), bar.dock_pos);
      bar.dock_row = ini.ReadInteger(kControlPadSection, Key(info.toolbar, "DockRow"), bar.dock_row);
      bar.left = ini.ReadInteger(kControlPadSection, Key(info.toolbar, "Left"), bar.left);
      bar.top = ini.ReadInteger(kControlPadSection, Key(info.toolbar, "Top"), bar.top);
      bar.height = ini.ReadInteger(kControlPadSection, Key(info.toolbar, "Height"), bar.height);
      bar.width = ini.ReadInteger(kControlPadSection, Key(info.toolbar, "Width"), bar.width);
      bar.visible = ini.ReadBool(kControlPadSection, Key(info.toolbar, "Visible"), bar.visible);
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
    ini.WriteInteger(kControlPadSection, "Height", layout.window.height);
    ini.WriteInteger(kControlPadSection, "Left", layout.window.left);
    ini.WriteInteger(kControlPadSection, "Top", layout.window.top);
    ini.WriteInteger(kControlPadSection, "Width", layout.window.width);
    ini.WriteBool(kControlPadSection, "Visible", layout.window.visible);
  }
  if (PadDockInfo) {
    for (const PadToolbarInfo& info : kPadToolbars) {
      ini.WriteBool(kControlPadSection, Key(info.toolbar, "Dock"), layout[info.toolbar].docked);
    }
  }
  if (PadChildrenStatus) {
    for (const PadToolbarInfo& info : kPadToolbars) {
      const PadToolbarGeometry& bar = layout[info.toolbar];
      ini.WriteInteger(kControlPadSection, Key(info.toolbar, "DockPos"), bar.dock_pos);
      ini.WriteInteger(kControlPadSection, Key(info.toolbar, "DockRow"), bar.dock_row);
      ini.WriteInteger(kControlPadSection, Key(info.toolbar, "Left"), bar.left);
      ini.WriteInteger(kControlPadSection, Key(info.toolbar, "Top"), bar.top);
      ini.WriteInteger(kControlPadSection, Key(info.toolbar, "Height"), bar.height);
      ini.WriteInteger(kControlPadSection, Key(info.toolbar, "Width"), bar.width);
      ini.WriteBool(kControlPadSection, Key(info.toolbar, "Visible"), bar.visible);
    }
  }
}

}  // namespace qvr
