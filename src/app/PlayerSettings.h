// The player's settings file as the player and its tools both find it: "Qvr.ini" in the program
// folder, read and written with Ver 1.1 fences, and the database folder it names.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "ini/IniGT.h"
#include "metadata/OnlineLookup.h"

namespace qvr {

// The sections of the settings file.
inline constexpr std::string_view kLyricsSection = "Lyrics";
inline constexpr std::string_view kControlPadSection = "Control Pad";
inline constexpr std::string_view kRepeatSection = "Repeat";
inline constexpr std::string_view kOtherSection = "Other";

// The player's program file name, from which its settings file "Qvr.ini" is named.
inline constexpr const char* kPlayerProgramName = "qvr";

// Configures a settings component the way the player's controller does: program folder,
// Ver 1.1 fences, the default file name derived from the program file.
void ConfigurePlayerSettings(TIniGT& ini);

// The settings component of the player, for a tool running beside it in the same program folder.
TIniGT PlayerSettingsFor(const std::filesystem::path& program_folder);

// The program folder as the settings hold folders: Shift-JIS bytes with a trailing separator.
std::string ProgramFolderSetting(const std::filesystem::path& program_folder);

// "Other"/"DataBasePath": the database folder with its trailing separator (Shift-JIS), by default
// the program folder's "DB/". Taken as stored: a hand-edited value without a separator stays so.
std::string ReadDataBasePath(const TIniGT& ini, const std::filesystem::path& program_folder);

// The master file "MasterDB.QVR" in the database folder `data_base_path` (Shift-JIS bytes), with
// or without its trailing separator: the setting always names a folder.
std::filesystem::path MasterFileIn(std::string_view data_base_path);

// The folder beside the database where jackets found online are saved: "Jacket" in the database
// folder `data_base_path`.
std::filesystem::path JacketFolderIn(std::string_view data_base_path);

// The folder beside the database where lyrics found online are saved: "Lyrics" in the database
// folder `data_base_path`.
std::filesystem::path LyricsFolderIn(std::string_view data_base_path);

// "Other"/"MusicBrainzServer", "GnudbServer", "CoverArtServer", "LyricsServer": the online servers
// (base addresses; empty leaves the source out), by default the services' own; "GnudbEmail": the
// address gnudb's greeting sends (empty by default).
OnlineLookupSettings ReadOnlineLookupSettings(const TIniGT& ini);
void WriteOnlineLookupSettings(TIniGT& ini, const OnlineLookupSettings& settings);

}  // namespace qvr
