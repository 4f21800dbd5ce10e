// The controller's settings: every key of the settings file with its default, loaded once at
// start-up, saved once at shut-down, and taken over from the options dialog.
#include <cstdlib>

#include "app/PlayerSettings.h"
#include "app/TQVRDM.h"

namespace qvr {
namespace {

constexpr std::string_view kLyrics = "Lyrics";
constexpr std::string_view kControlPad = "Control Pad";
constexpr std::string_view kRepeat = "Repeat";
constexpr std::string_view kOther = "Other";

}  // namespace

void TQVRDM::SetLyricsHeightFromFont() {
  // The label font's pixel height at the screen's resolution, rounded as the toolkit does.
  int dpi = ports_.view.ScreenPixelsPerInch();
  int pixels = (std::abs(Lyrics.font.Size) * dpi + 36) / 72;
  Lyrics.client_height = pixels + 4;
}

void TQVRDM::LoadSettings() {
  TIniGT& ini = IniCTRL;
  Lyrics.background = ini.ReadInteger(kLyrics, "BackGroundColor", 0);
  ini.ReadFont(kLyrics, "Font", Lyrics.font);
  LyricsAtTop = ini.ReadBool(kLyrics, "Position", true);
  QVRMenu.SetChecked(MenuItemId::LyricsViewMNU, ini.ReadBool(kLyrics, "Visible", true));
  Lyrics.stay_on_top = ini.ReadBool(kLyrics, "StayOnTop", true);
  SetLyricsHeightFromFont();

  PadStatus = ini.ReadBool(kControlPad, "Status", true);
  PadStayOnTop = ini.ReadBool(kControlPad, "StayOnTop", true);
  PadDockInfo = ini.ReadBool(kControlPad, "DockInfo", true);
  PadChildrenStatus = ini.ReadBool(kControlPad, "ChildrenStatus", true);
  PadSnap = ini.ReadBool(kControlPad, "Snap", true);

  RepeatOneUnlock = ini.ReadInteger(kRepeat, "OneUnlock", 2);
  RepeatAllUnlock = ini.ReadInteger(kRepeat, "AllUnlock", 2);
  RandomUnlock = ini.ReadInteger(kRepeat, "RandomUnlock", 2);

  AutoPlay = ini.ReadBool(kOther, "AutoPlay", true);
  AutoWall = ini.ReadBool(kOther, "AutoWall", false);
  AutoDLGOpen = ini.ReadBool(kOther, "AutoDLGOpen", true);
  HelpHint = ini.ReadBool(kOther, "HelpHint", true);

  DataBasePath = ReadDataBasePath(ini, ports_.settings.ProgramFolder);
  PluginPath = ini.ReadFencedString(kOther, "PluginPath", ProgramFolderSetting(ports_.settings.ProgramFolder) + "Plugin/");
  Drive = ini.ReadFencedString(kOther, "Drive", "");

  switch (ini.ReadInteger(kRepeat, "PlayMode", 0)) {
    case 1: QVRMenu.SetChecked(MenuItemId::RepeatOneMNU, true); break;
    case 2: QVRMenu.SetChecked(MenuItemId::RepeatAllMNU, true); break;
    case 3: QVRMenu.SetChecked(MenuItemId::RandomMNU, true); break;
    default: break;
  }
}

void TQVRDM::SaveSettings() {
  TIniGT& ini = IniCTRL;
  ini.WriteInteger(kLyrics, "BackGroundColor", Lyrics.background);
  ini.WriteFont(kLyrics, "Font", Lyrics.font);
  ini.WriteBool(kLyrics, "Position", LyricsAtTop);
  ini.WriteBool(kLyrics, "Visible", QVRMenu.Checked(MenuItemId::LyricsViewMNU));
  ini.WriteBool(kLyrics, "StayOnTop", Lyrics.stay_on_top);

  ini.WriteBool(kControlPad, "Status", PadStatus);
  ini.WriteBool(kControlPad, "StayOnTop", PadStayOnTop);
  ini.WriteBool(kControlPad, "DockInfo", PadDockInfo);
  ini.WriteBool(kControlPad, "ChildrenStatus", PadChildrenStatus);
  ini.WriteBool(kControlPad, "Snap", PadSnap);

  ini.WriteInteger(kRepeat, "OneUnlock", RepeatOneUnlock);
  ini.WriteInteger(kRepeat, "AllUnlock", RepeatAllUnlock);
  ini.WriteInteger(kRepeat, "RandomUnlock", RandomUnlock);

  ini.WriteBool(kOther, "AutoPlay", AutoPlay);
  ini.WriteBool(kOther, "AutoWall", AutoWall);
  ini.WriteBool(kOther, "AutoDLGOpen", AutoDLGOpen);
  ini.WriteBool(kOther, "HelpHint", HelpHint);
  ini.WriteFencedString(kOther, "DataBasePath", DataBasePath);
  ini.WriteFencedString(kOther, "PluginPath", PluginPath);
  ini.WriteFencedString(kOther, "Drive", Drive);

  // Written 0 first, then each checked mode: the highest-numbered checked mode stands.
  ini.WriteInteger(kRepeat, "PlayMode", 0);
  if (QVRMenu.Checked(MenuItemId::RepeatOneMNU)) ini.WriteInteger(kRepeat, "PlayMode", 1);
  if (QVRMenu.Checked(MenuItemId::RepeatAllMNU)) ini.WriteInteger(kRepeat, "PlayMode", 2);
  if (QVRMenu.Checked(MenuItemId::RandomMNU)) ini.WriteInteger(kRepeat, "PlayMode", 3);
}

TOptionValues TQVRDM::CurrentOptions() const {
  TOptionValues values;
  values.font = Lyrics.font;
  values.background = Lyrics.background;
  values.lyrics_stay_on_top = Lyrics.stay_on_top;
  values.pad_status = PadStatus;
  values.pad_stay_on_top = PadStayOnTop;
  values.pad_dock_info = PadDockInfo;
  values.pad_children_status = PadChildrenStatus;
  values.pad_snap = PadSnap;
  values.repeat_one_unlock = RepeatOneUnlock;
  values.repeat_all_unlock = RepeatAllUnlock;
  values.random_unlock = RandomUnlock;
  values.auto_play = AutoPlay;
  values.auto_wall = AutoWall;
  values.auto_dlg_open = AutoDLGOpen;
  values.help_hint = HelpHint;
  values.data_base_path = DataBasePath;
  values.plugin_path = PluginPath;
  return values;
}

void TQVRDM::ApplyOptions(const TOptionValues& values) {
  Lyrics.font = values.font;
  Lyrics.background = values.background;
  SetLyricsHeightFromFont();
  Lyrics.stay_on_top = values.lyrics_stay_on_top;
  ports_.view.ApplyLyricsAppearance(Lyrics, LyricsAtTop);
  PadStatus = values.pad_status;
  PadStayOnTop = values.pad_stay_on_top;
  PadDockInfo = values.pad_dock_info;
  PadChildrenStatus = values.pad_children_status;
  PadSnap = values.pad_snap;
  ports_.view.SetPadStayOnTop(PadStayOnTop);
  RepeatOneUnlock = values.repeat_one_unlock;
  RepeatAllUnlock = values.repeat_all_unlock;
  RandomUnlock = values.random_unlock;
  AutoPlay = values.auto_play;
  AutoWall = values.auto_wall;
  AutoDLGOpen = values.auto_dlg_open;
  HelpHint = values.help_hint;
  DataBasePath = values.data_base_path;
  PluginPath = values.plugin_path;
  RefreshPlugins();
  ports_.view.SetHintsEnabled(HelpHint);
}

}  // namespace qvr
