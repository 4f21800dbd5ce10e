// The player's settings file and the database folder it names.
#include "app/PlayerSettings.h"

#include "util/ShiftJis.h"

namespace qvr {

void ConfigurePlayerSettings(TIniGT& ini) {
  ini.SetDefaultDir(TIniGTDefaultDir::ddApplication);
  ini.SetFence(TIniGTFence::fnVer11Mode);
  ini.Loaded();
}

TIniGT PlayerSettingsFor(const std::filesystem::path& program_folder) {
  TIniGT ini({kPlayerProgramName, program_folder, program_folder});
  ConfigurePlayerSettings(ini);
  return ini;
}

std::string ProgramFolderSetting(const std::filesystem::path& program_folder) {
  std::string text = Utf8ToSjis(program_folder.string()).bytes;
  if (text.empty() || text.back() != '/') text += '/';
  return text;
}

std::string ReadDataBasePath(const TIniGT& ini, const std::filesystem::path& program_folder) {
  return ini.ReadFencedString(kOtherSection, "DataBasePath", ProgramFolderSetting(program_folder) + "DB/");
}

std::filesystem::path MasterFileIn(std::string_view data_base_path) {
  std::string folder(data_base_path);
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return SjisToUtf8(folder + "MasterDB.QVR");
}

std::filesystem::path JacketFolderIn(std::string_view data_base_path) {
  return MasterFileIn(data_base_path).parent_path() / "Jacket";
}

std::filesystem::path LyricsFolderIn(std::string_view data_base_path) {
  return MasterFileIn(data_base_path).parent_path() / "Lyrics";
}

OnlineLookupSettings ReadOnlineLookupSettings(const TIniGT& ini) {
  OnlineLookupSettings settings;
  settings.MusicBrainzServer =
      SjisToUtf8(ini.ReadString(kOtherSection, "MusicBrainzServer", kDefaultMusicBrainzServer));
  settings.GnudbServer = SjisToUtf8(ini.ReadString(kOtherSection, "GnudbServer", kDefaultGnudbServer));
  settings.CoverArtServer = SjisToUtf8(ini.ReadString(kOtherSection, "CoverArtServer", kDefaultCoverArtServer));
  settings.LyricsServer = SjisToUtf8(ini.ReadString(kOtherSection, "LyricsServer", kDefaultLyricsServer));
  settings.GnudbEmail = SjisToUtf8(ini.ReadString(kOtherSection, "GnudbEmail", ""));
  return settings;
}

void WriteOnlineLookupSettings(TIniGT& ini, const OnlineLookupSettings& settings) {
  ini.WriteString(kOtherSection, "MusicBrainzServer", Utf8ToSjis(settings.MusicBrainzServer).bytes);
  ini.WriteString(kOtherSection, "GnudbServer", Utf8ToSjis(settings.GnudbServer).bytes);
  ini.WriteString(kOtherSection, "CoverArtServer", Utf8ToSjis(settings.CoverArtServer).bytes);
  ini.WriteString(kOtherSection, "LyricsServer", Utf8ToSjis(settings.LyricsServer).bytes);
  ini.WriteString(kOtherSection, "GnudbEmail", Utf8ToSjis(settings.GnudbEmail).bytes);
}

}  // namespace qvr
