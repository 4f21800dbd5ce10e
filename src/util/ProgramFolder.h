// Where the program keeps its settings file, database folder and plug-ins: the executable's
// folder when it is writable (a build tree, a portable install), otherwise $XDG_DATA_HOME/qvr/.
#pragma once

#include <filesystem>

namespace qvr {

// The running executable's full path.
std::filesystem::path ProgramFile();

// The program folder, created when it is the per-user data folder and does not exist yet. An
// installed program (its folder's parent holds share/qvr) always uses the per-user folder.
std::filesystem::path ProgramFolder();

// The program folder for an executable at `program_file`, with `data_home` standing for the
// user's data folder ($XDG_DATA_HOME, or ~/.local/share). Exposed for tests.
std::filesystem::path ProgramFolderFor(const std::filesystem::path& program_file,
                                       const std::filesystem::path& data_home);

// The demo disc's cue sheet for an executable at `program_file`: demo/QvrDemo.cue beside it (a
// build tree), else PREFIX/share/qvr/demo/QvrDemo.cue of an installed program; empty when
// neither exists. DemoDisc() answers it for the running program.
std::filesystem::path DemoDiscFor(const std::filesystem::path& program_file);
std::filesystem::path DemoDisc();

// The user's data folder ($XDG_DATA_HOME, else ~/.local/share) and configuration folder
// ($XDG_CONFIG_HOME, else ~/.config).
std::filesystem::path UserDataHome();
std::filesystem::path UserConfigHome();

}  // namespace qvr
