// The controller's settings: every key of the settings file with its default, loaded once at
// start-up, saved once at shut-down, and taken over from the options dialog.
#include <cstdlib>

#include "app/PlayerSettings.h"
#include "app/TQVRDM.h"

namespace qvr {

void TQVRDM::SetLyricsHeightFromFont() {
  // The label font's pixel height at the screen's resolution, rounded as the toolkit does.
  int dpi = ports_.view.ScreenPixelsPerInch();
  int pixels = (std::abs(Lyrics.font.Size) * dpi + 36) / 72;
  Lyrics.client_height = pixels + 4;
}

void TQVRDM::LoadSettings() {
  TIniGT& ini = IniCTRL;
  Lyrics.background = ini.ReadInteger(kLyricsSection, "BackGroundColor", 0);
  ini.ReadFont(kLyricsSection, "Font", Lyrics.font);
  LyricsAtTop = ini.ReadBool(kLyricsSection, "Position", true);
  QVRMenu.SetChecked(MenuItemId::LyricsViewMNU, ini.ReadBool(kLyricsSection, "Visible", true));
  Lyrics.stay_on_top = ini.ReadBool(kLyricsSection, "StayOnTop", true);
  SetLyricsHeightFromFont();

  PadStatus = ini.ReadBool(kControlPadSection, "Status", true);
  PadStayOnTop = ini.ReadBool(kControlPadSection, "StayOnTop", true);
  PadDockInfo = ini.ReadBool(kControlPadSection, "DockInfo", true);
  PadChildrenStatus = ini.ReadBool(kControlPadSection, "ChildrenStatus", true);
  PadSnap = ini.ReadBool(kControlPadSection, "Snap", true);

  RepeatOneUnlock = ini.ReadInteger(kRepeatSection, "OneUnlock", 2);
  RepeatAllUnlock = ini.ReadInteger(kRepeatSection, "AllUnlock", 2);
  RandomUnlock = ini.ReadInteger(kRepeatSection, "RandomUnlock", 2);

  AutoPlay = ini.ReadBool(kOtherSection, "AutoPlay", true);
  AutoWall = ini.ReadBool(kOtherSection, "AutoWall", false);
  Wallpaper.Load();
  AutoDLGOpen = ini.ReadBool(kOtherSection, "AutoDLGOpen", true);
  HelpHint = ini.ReadBool(kOtherSection, "HelpHint", true);
  AutoLookup = ini.ReadBool(kOtherSection, "AutoLookup", false);
  DeEmphasis = ini.ReadBool(kOtherSection, "DeEmphasis", true);
  CD.CDSetDeEmphasis(DeEmphasis);
  LookupServers = ReadOnlineLookupSettings(ini);

  DataBasePath = ReadDataBasePath(ini, ports_.settings.ProgramFolder);
  PluginPath = ini.ReadFencedString(kOtherSection, "PluginPath",
                                    ProgramFolderSetting(ports_.settings.ProgramFolder) + "Plugin/");
  Drive = ini.ReadFencedString(kOtherSection, "Drive", "");

  switch (ini.ReadInteger(kRepeatSection, "PlayMode", 0)) {
    case 1: QVRMenu.SetChecked(MenuItemId::RepeatOneMNU, true); break;
    case 2: QVRMenu.SetChecked(MenuItemId::RepeatAllMNU, true); break;
    case 3: QVRMenu.SetChecked(MenuItemId::RandomMNU, true); break;
    default: break;
  }
}

void TQVRDM::SaveSettings() {
  TIniGT& ini = IniCTRL;
  ini.WriteInteger(kLyricsSection, "BackGroundColor", Lyrics.background);
  ini.WriteFont(kLyricsSection, "Font", Lyrics.font);
  ini.WriteBool(kLyricsSection, "Position", LyricsAtTop);
  ini.WriteBool(kLyricsSection, "Visible", QVRMenu.Checked(MenuItemId::LyricsViewMNU));
  ini.WriteBool(kLyricsSection, "StayOnTop", Lyrics.stay_on_top);

  ini.WriteBool(kControlPadSection, "Status", PadStatus);
  ini.WriteBool(kControlPadSection, "StayOnTop", PadStayOnTop);
  ini.WriteBool(kControlPadSection, "DockInfo", PadDockInfo);
  ini.WriteBool(kControlPadSection, "ChildrenStatus", PadChildrenStatus);
  ini.WriteBool(kControlPadSection, "Snap", PadSnap);

  ini.WriteInteger(kRepeatSection, "OneUnlock", RepeatOneUnlock);
  ini.WriteInteger(kRepeatSection, "AllUnlock", RepeatAllUnlock);
  ini.WriteInteger(kRepeatSection, "RandomUnlock", RandomUnlock);

  ini.WriteBool(kOtherSection, "AutoPlay", AutoPlay);
  ini.WriteBool(kOtherSection, "AutoWall", AutoWall);
  ini.WriteBool(kOtherSection, "AutoDLGOpen", AutoDLGOpen);
  ini.WriteBool(kOtherSection, "HelpHint", HelpHint);
  ini.WriteBool(kOtherSection, "AutoLookup", AutoLookup);
  ini.WriteBool(kOtherSection, "DeEmphasis", DeEmphasis);
  WriteOnlineLookupSettings(ini, LookupServers);
  ini.WriteFencedString(kOtherSection, "DataBasePath", DataBasePath);
  ini.WriteFencedString(kOtherSection, "PluginPath", PluginPath);
  ini.WriteFencedString(kOtherSection, "Drive", Drive);

  // Written 0 first, then each checked mode: the highest-numbered checked mode stands.
  ini.WriteInteger(kRepeatSection, "PlayMode", 0);
  if (QVRMenu.Checked(MenuItemId::RepeatOneMNU)) ini.WriteInteger(kRepeatSection, "PlayMode", 1);
  if (QVRMenu.Checked(MenuItemId::RepeatAllMNU)) ini.WriteInteger(kRepeatSection, "PlayMode", 2);
  if (QVRMenu.Checked(MenuItemId::RandomMNU)) ini.WriteInteger(kRepeatSection, "PlayMode", 3);
}

TOptionValues TQVRDM::DefaultOptions() const {
  TOptionValues values;
  values.font = {"\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E", 9, 0, 0x0000FFFF};  // ＭＳ Ｐゴシック
  values.background = 0;
  // The database folder is the one a missing key gives: "DB/" below the program folder.
  values.data_base_path = ProgramFolderSetting(ports_.settings.ProgramFolder) + "DB/";
  values.plugin_path = ProgramFolderSetting(ports_.settings.ProgramFolder) + "Plugin/";
  return values;
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
  values.auto_lookup = AutoLookup;
  values.de_emphasis = DeEmphasis;
  values.gnudb_email = LookupServers.GnudbEmail;
  values.data_base_path = DataBasePath;
  values.plugin_path = PluginPath;
  values.drive = Drive;
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
  // Switching the automatic wallpaper off gives the desktop its own picture back.
  if (AutoWall && !values.auto_wall) Wallpaper.RestoreUserWallpaper();
  AutoWall = values.auto_wall;
  AutoDLGOpen = values.auto_dlg_open;
  HelpHint = values.help_hint;
  AutoLookup = values.auto_lookup;
  // Heard from the sound read next on; the status texts say it at once.
  if (values.de_emphasis != DeEmphasis) {
    DeEmphasis = values.de_emphasis;
    CD.CDSetDeEmphasis(DeEmphasis);
    if (CD.CDState == TCDState::cdPlaying || CD.CDState == TCDState::cdPaused) UpdateStatus();
  }
  LookupServers.GnudbEmail = values.gnudb_email;
  DataBasePath = values.data_base_path;
  PluginPath = values.plugin_path;
  RefreshPlugins();
  ports_.view.SetHintsEnabled(HelpHint);
  // Another drive or image takes effect at once, as if the disc had been changed.
  if (values.drive != Drive) {
    Drive = values.drive;
    ReopenDrive();
  }
}

}  // namespace qvr
