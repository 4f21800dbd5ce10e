// qvrdb probe: reads the disc in a drive or an image and prints what the player would see of it:
// disc key, track count, disc time, each track's start and length, and whether the database
// knows the disc.
//
// The disc and the database are read at the same time: qvrdb starts its companion qvrdb-drive
// (which loads the drive libraries and reads the disc) first, then reads the identities of the
// master file's records in one pass while the companion works, and looks the disc up among them
// when the companion answers on its pipe (DiscReport). The found record is then resolved as the
// player's lookup resolves it (DBLookupAt), its tracks read where the store put them.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <exception>
#include <ostream>

#include "app/PlayerSettings.h"
#include "cddb/DiscDatabase.h"
#include "cddb/MasterIdentities.h"
#include "tools/qvrdb/DiscReport.h"
#include "tools/qvrdb/Qvrdb.h"
#include "util/Error.h"
#include "util/ProgramFolder.h"
#include "util/ShiftJis.h"

extern char** environ;

namespace qvr {
namespace {

void PrintProbe(std::ostream& out, const TDiscRecord& disc, bool registered, bool json) {
  if (json) {
    nlohmann::ordered_json result;
    result["DiscKey"] = disc.DiscKey.Str();
    result["TrackCount"] = disc.TrackCount;
    result["DiscTime"] = disc.DiscTime;
    result["Tracks"] = nlohmann::ordered_json::array();
    for (std::uint8_t n = 1; n <= disc.TrackCount; ++n) {
      result["Tracks"].push_back(
          {{"TrackNo", n}, {"StartPos", disc.Tracks[n].StartPos}, {"Length", disc.Tracks[n].Length}});
    }
    result["Registered"] = registered;
    out << result.dump() << "\n";
    return;
  }
  out << "DiscKey: " << disc.DiscKey.Str() << "\n"
      << "TrackCount: " << int(disc.TrackCount) << "\n"
      << "DiscTime: " << disc.DiscTime << " (" << TimeText(disc.DiscTime) << ")\n";
  for (std::uint8_t n = 1; n <= disc.TrackCount; ++n) {
    out << "Track " << int(n) << ": StartPos " << disc.Tracks[n].StartPos << " (" << TimeText(disc.Tracks[n].StartPos)
        << "), Length " << disc.Tracks[n].Length << " (" << TimeText(disc.Tracks[n].Length) << ")\n";
  }
  out << "Registered: " << (registered ? "yes" : "no") << "\n";
}

// The companion qvrdb-drive reading the disc in a child process, its report coming on a pipe.
// Its own messages go straight to the standard error stream it shares with qvrdb. It is started
// from the calling thread, which waits only until the child has replaced itself with the
// program: a thread of its own for the start would share the address space with the reading
// thread while the child starts, which costs more than it hides.
class DiscReadByCompanion final : public PendingDisc {
 public:
  DiscReadByCompanion(const std::string& drive, std::ostream& err)
      : path_((ProgramFile().parent_path() / kDriveProgram).string()), err_(err) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
      error_ = errno;
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    const char* argv[] = {path_.c_str(), "--read", drive.c_str(), nullptr};
    error_ = posix_spawn(&child_, path_.c_str(), &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    if (error_ != 0) {
      close(ends[0]);
      child_ = -1;
      return;
    }
    report_ = ends[0];
  }

  ~DiscReadByCompanion() override {
    // Left before its answer (the database could not be read): the child is ended and reaped.
    if (report_ >= 0) close(report_);
    if (child_ > 0) {
      kill(child_, SIGTERM);
      Reap();
    }
  }
  DiscReadByCompanion(const DiscReadByCompanion&) = delete;
  DiscReadByCompanion& operator=(const DiscReadByCompanion&) = delete;

  std::variant<TDiscRecord, int> Wait() override {
    if (error_ != 0) {
      err_ << "qvrdb: " << path_ << " を起動できません: " << std::strerror(error_) << "\n";
      return kQvrdbError;
    }
    std::string report;
    char buffer[4096];
    for (;;) {
      const ssize_t got = read(report_, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      report.append(buffer, static_cast<std::size_t>(got));
    }
    close(report_);
    report_ = -1;
    const int status = Reap();
    if (!WIFEXITED(status)) {
      err_ << "qvrdb: " << path_ << " が異常終了しました\n";
      return kQvrdbError;
    }
    if (WEXITSTATUS(status) != 0) return WEXITSTATUS(status);  // it told why
    SystemDateSource dates;
    std::optional<TDiscRecord> disc = ParseDiscReport(report, dates);
    if (!disc) {
      err_ << "qvrdb: " << path_ << " の答えを読めません\n";
      return kQvrdbError;
    }
    return std::move(*disc);
  }

 private:
  int Reap() {
    int status = 0;
    while (waitpid(child_, &status, 0) < 0 && errno == EINTR) {
    }
    child_ = -1;
    return status;
  }

  std::string path_;
  std::ostream& err_;
  int error_ = 0;  // why the companion could not be started
  pid_t child_ = -1;
  int report_ = -1;
};

}  // namespace

int Probe(const QvrdbContext& context, std::span<const std::string> arguments, StartDiscRead start) {
  bool json = false;
  std::optional<std::string> drive;
  for (const std::string& argument : arguments) {
    if (argument == "--json" && !json) {
      json = true;
    } else if (!drive && !argument.starts_with("--")) {
      drive = argument;
    } else {
      context.Err << "qvrdb: 使い方: qvrdb [--db DIR] probe [--json] [DRIVE]\n";
      return kQvrdbError;
    }
  }
  if (!drive) {
    const TIniGT ini = PlayerSettingsFor(context.ProgramFolder);
    drive = SjisToUtf8(ini.ReadFencedString(kOtherSection, "Drive", ""));
  }

  const std::unique_ptr<PendingDisc> reading = start(*drive, context.Err);
  // A database that cannot be read is told after the disc: a disc that cannot be read comes first.
  std::optional<MasterIdentities> identities;
  std::exception_ptr database_error;
  try {
    identities.emplace(context.MasterPath);
  } catch (const Error&) {
    database_error = std::current_exception();
  }
  std::variant<TDiscRecord, int> read = reading->Wait();
  if (const int* status = std::get_if<int>(&read)) return *status;
  if (database_error) std::rethrow_exception(database_error);

  const TDiscRecord& disc = std::get<TDiscRecord>(read);
  const std::optional<MasterPlace> place = identities->Find({disc.DiscKey, disc.TrackCount, disc.DiscTime});
  bool registered = false;
  if (place) {
    SystemDateSource dates;
    TDiscDatabase database(dates);
    database.DBOpen(context.MasterPath);
    registered = !database.DBLookupAt(disc, *place).DiscName.Empty();
  }
  PrintProbe(context.Out, disc, registered, json);
  return kQvrdbOk;
}

int RunProbeWithCompanion(const QvrdbContext& context, std::span<const std::string> arguments) {
  return Probe(context, arguments, [](const std::string& drive, std::ostream& err) -> std::unique_ptr<PendingDisc> {
    return std::make_unique<DiscReadByCompanion>(drive, err);
  });
}

}  // namespace qvr
