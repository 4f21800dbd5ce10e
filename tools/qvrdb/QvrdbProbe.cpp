// qvrdb probe: reads the disc in a drive or an image and prints what the player would see of it:
// disc key, track count, disc time, each track's start and length, and whether the database
// knows the disc.
//
// The disc and the database are read at the same time: a thread loads the drive module and reads
// the disc while the calling thread reads the identities of the master file's records in one
// pass (MasterIdentities), searching for the disc itself in the rest of the file from the moment
// the thread has read it. The disc is then looked up among the identities, and the record found is
// resolved as the player's lookup resolves it (DBLookupAt), its tracks read where the store put
// them. The reading thread writes its messages to a buffer of its own, told after it has ended.
#include <nlohmann/json.hpp>

#include <exception>
#include <ostream>
#include <sstream>
#include <thread>

#include "app/PlayerSettings.h"
#include "cddb/DiscDatabase.h"
#include "cddb/MasterIdentities.h"
#include "tools/qvrdb/Qvrdb.h"
#include "util/Error.h"
#include "util/ShiftJis.h"

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

}  // namespace

int RunProbe(const QvrdbContext& context, std::span<const std::string> arguments) {
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

  DriveDisc read;
  int read_status = kQvrdbError;
  SoughtDisc sought;
  std::ostringstream read_messages;
  std::exception_ptr read_error;
  std::thread reader([&] {
    try {
      read_status = ReadDiscIn(*drive, read_messages, read, false);
      if (read_status == kQvrdbOk) sought.Set({read.Record.DiscKey, read.Record.TrackCount, read.Record.DiscTime});
    } catch (...) {
      read_error = std::current_exception();
    }
  });
  // A database that cannot be read is told after the disc: a disc that cannot be read comes first.
  std::optional<MasterIdentities> identities;
  std::exception_ptr database_error;
  try {
    identities.emplace(context.MasterPath, &sought);
  } catch (...) {
    database_error = std::current_exception();
  }
  reader.join();
  context.Err << read_messages.str();
  if (read_error) std::rethrow_exception(read_error);
  if (read_status != kQvrdbOk) return read_status;
  if (database_error) std::rethrow_exception(database_error);

  const TDiscRecord& disc = read.Record;
  bool registered = false;
  if (const std::optional<MasterPlace> place = identities->Find({disc.DiscKey, disc.TrackCount, disc.DiscTime})) {
    SystemDateSource dates;
    TDiscDatabase database(dates);
    database.DBOpen(context.MasterPath);
    registered = !database.DBLookupAt(disc, *place).DiscName.Empty();
  }
  PrintProbe(context.Out, disc, registered, json);
  return kQvrdbOk;
}

}  // namespace qvr
