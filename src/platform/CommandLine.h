// The player's command line: `qvr [--help | --version] [PATH]`. PATH is a disc image, a folder
// of images or a drive's device path that the player starts on (or hands to the running one).
#pragma once

#include <string>
#include <vector>

namespace qvr {

struct CommandLine {
  enum class Action { Run, Help, Version, Usage };
  Action action = Action::Run;
  std::string path;   // as given; empty when none
  std::string error;  // for Usage: what was wrong (Japanese)
};

// Reads the arguments after the program name. "--" ends the options, so a path may start
// with "-". More than one path, or an option it does not know, asks for the usage.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The texts printed for --help (and, after the error, for a wrong command line) and --version.
std::string UsageText();
std::string VersionText();

// The path as the running player should open it: absolute (the running player has its own
// working folder), and a raw .bin image replaced by the cue sheet beside it that describes it.
std::string PathToOpen(const std::string& path);

}  // namespace qvr
