// qvrdb: the command-line tool with which users inspect, back up and restore their disc
// database. The commands live in a table (QvrdbCommands.cpp); adding one is adding a row.
//
// qvrdb itself links only the database code, so that it starts as fast as a small system tool.
// Commands that reach the network (and so load libcurl, libdiscid) belong to the companion
// program qvrdb-online beside it, named in their row: qvrdb hands the whole command line over to
// that program, which runs the same dispatch with its own commands (see RunQvrdb). Drives and
// images are read through the drive module (DriveModule.h), which qvrdb and qvrdb-online load
// only when a command reads one.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cdda/DiscToc.h"
#include "cddb/DiscRecord.h"
#include "ini/IniGT.h"

namespace qvr {

// Exit statuses: success, a problem found (a disc not there, a damaged database), usage or
// input/output error.
enum QvrdbStatus : int { kQvrdbOk = 0, kQvrdbProblem = 1, kQvrdbError = 2 };

struct QvrdbContext {
  std::filesystem::path MasterPath;     // the database's "MasterDB.QVR"
  std::filesystem::path ProgramFolder;  // where the player's settings file is
  std::ostream& Out;                    // results, UTF-8
  std::ostream& Err;                    // messages, UTF-8
};

struct QvrdbCommand {
  std::string_view Name;
  std::string_view Arguments;  // for the usage text
  std::string_view Summary;    // one line for the usage text
  bool ReadsDatabase;          // refused (usage error) when the database folder does not exist
  // Runs the command with the arguments after its name; returns a QvrdbStatus. Raises Error for
  // input/output errors.
  // Null for a command of a companion program.
  int (*Run)(const QvrdbContext& context, std::span<const std::string> arguments);
  // The companion program (an executable beside qvrdb) that runs the command; empty when qvrdb
  // runs it itself.
  std::string_view Program = {};
};

// Every command, in the order the usage text lists them.
std::span<const QvrdbCommand> QvrdbCommands();

// A command a companion program runs itself: its name as in the table, and how it runs.
struct QvrdbRunner {
  std::string_view Name;
  int (*Run)(const QvrdbContext& context, std::span<const std::string> arguments);
};

// The commands of the companion program "qvrdb-online" (online sources, through libcurl and
// libdiscid).
std::span<const QvrdbRunner> OnlineCommands();

// Runs the tool with `arguments` (without the program name) and returns its exit status.
// `environment` locates the settings file when no --db is given. A command of a companion
// program is run with the matching runner of `runners` when there is one (the companion
// programs, tests); otherwise this process is replaced by the companion program, found beside
// the running executable, with the same arguments (`out` and `err` must then be the standard
// streams).
int RunQvrdb(std::span<const std::string> arguments, std::ostream& out, std::ostream& err,
             const TIniGTEnvironment& environment, std::span<const QvrdbRunner> runners = {});

// The entry of qvrdb and of its companion programs: runs the command line of `argv` with
// `runners` and the standard streams, and returns the exit status.
int QvrdbMain(int argc, char** argv, std::span<const QvrdbRunner> runners);

// The master file the player uses: "DataBasePath" of section "Other" of the player's settings
// file "Qvr.ini" in the program folder (fenced; default: the program folder's "DB/"), a folder
// with or without its trailing separator.
std::filesystem::path SettingsMasterPath(const TIniGTEnvironment& environment);

class DatabaseReader;

// Tells on `err` about each file that exists but has a wrong version (its contents are left out,
// as a lookup leaves them out). Returns kQvrdbProblem when there is one, else kQvrdbOk.
int ReportUnusableFiles(const DatabaseReader& reader, std::ostream& err);

// A packed MSF time for people: minutes, seconds and frames (1/75 s) each with its unit, so that
// it cannot be read as hours ("1 min 15 s 74 f", "0 min 0 s 0 f").
std::string TimeText(std::uint32_t msf);

// A disc read in a drive: its record (key, track count, disc time, track starts and lengths,
// texts empty) and its table of contents, data tracks marked as the drive tells them.
struct DriveDisc {
  TDiscRecord Record;
  DiscToc Toc;
  std::optional<TDiscRecord> CdText;  // the disc's own CD-Text as a proposal, when it has any and was asked for
};

// Reads the disc in `drive` (a drive or an image; empty: the system's default drive) through the
// drive module (DriveModuleFor the running program) into `disc` (its CD-Text only when
// `with_cd_text`), and returns kQvrdbOk. Tells on `err` why not when it cannot: no disc there
// (kQvrdbProblem), or the module cannot be loaded or fails (kQvrdbError). Any thread.
int ReadDiscIn(const std::string& drive, std::ostream& err, DriveDisc& disc, bool with_cd_text);

// The drive module of a qvrdb at `program_file`: qvrdb-drive.so beside it when it is there (a
// build tree), else the installed one in the private folder of the installation
// (PREFIX/lib/qvr/qvrdb-drive.so for PREFIX/bin/qvrdb).
std::filesystem::path DriveModuleFor(const std::filesystem::path& program_file);

// lookup: what the online sources propose for a disc of the database (by key) or in a drive.
int RunLookup(const QvrdbContext& context, std::span<const std::string> arguments);

// lyrics: the timed lyrics of a registered disc from the lyrics server, printed or written.
int RunLyrics(const QvrdbContext& context, std::span<const std::string> arguments);

// probe: reads a drive or image (default: the player's "Drive" setting) and tells whether the
// database knows the disc. The disc is read on a thread of its own while the master file's
// identities are read (MasterIdentities); the disc is then looked up at the place found.
int RunProbe(const QvrdbContext& context, std::span<const std::string> arguments);

// Texts for one line of output on a terminal: tabs and line breaks become blanks, other control
// characters are shown escaped ("\x1B", C1 controls as "\u009B").
std::string OneLine(std::string_view text);

}  // namespace qvr
