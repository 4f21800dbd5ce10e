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

}  // namespace qvr
