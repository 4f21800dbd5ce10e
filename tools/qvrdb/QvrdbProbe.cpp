// qvrdb probe: reads the disc in a drive or an image through the device layer and prints what
// the player would see of it: disc key, track count, disc time, each track's start and length,
// and whether the database knows the disc.
#include <nlohmann/json.hpp>

#include <ostream>

#include "app/PlayerSettings.h"
#include "audio/NoAudioSink.h"
#include "cdda/DriveLayer.h"
#include "cddb/DiscDatabase.h"
#include "metadata/CdTextRecord.h"
#include "metadata/DiscIds.h"
#include "tools/qvrdb/Qvrdb.h"
#include "util/ShiftJis.h"

namespace qvr {

std::optional<DriveDisc> ReadDiscIn(const std::string& drive, std::ostream& err) {
  // Only the table of contents is read: no sound output is needed.
  std::unique_ptr<DriveLayer> opened = OpenDriveLayer(drive, std::make_unique<NoAudioSink>());
  CDDA& layer = opened->Layer;
  if (layer.CDState != cdStopped && layer.CDState != cdPlaying && layer.CDState != cdPaused) {
    const std::string& problem = opened->Drive->Problem();
    err << "qvrdb: ディスクを読めません" << (problem.empty() ? "" : ": " + problem) << "\n";
    return std::nullopt;
  }
  SystemDateSource dates;
  TDiscRecord disc;
  ClearDisc(disc, dates);
  disc.DiscKey = layer.CDMediaID();
  disc.TrackCount = static_cast<std::uint8_t>(std::min(layer.CDTrackCount(), 99));
  disc.DiscTime = layer.CDDiscLength();
  for (std::uint8_t n = 1; n <= disc.TrackCount; ++n) {
    disc.Tracks[n].StartPos = layer.CDTrackStart(n);
    disc.Tracks[n].Length = layer.CDTrackLength(n);
  }
  return DriveDisc{disc, TocOfDisc(layer, disc), CdTextProposal(layer.CDText(), disc)};
}

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

  const std::optional<DriveDisc> read = ReadDiscIn(*drive, context.Err);
  if (!read) return kQvrdbProblem;
  const TDiscRecord& disc = read->Record;
  SystemDateSource dates;
  TDiscDatabase database(dates);
  database.DBOpen(context.MasterPath);
  TNoSearchProgress quiet;
  const bool registered =
      std::filesystem::exists(context.MasterPath) && !database.DBLookup(disc, quiet).DiscName.Empty();

  std::ostream& out = context.Out;
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
  } else {
    out << "DiscKey: " << disc.DiscKey.Str() << "\n"
        << "TrackCount: " << int(disc.TrackCount) << "\n"
        << "DiscTime: " << disc.DiscTime << " (" << TimeText(disc.DiscTime) << ")\n";
    for (std::uint8_t n = 1; n <= disc.TrackCount; ++n) {
      out << "Track " << int(n) << ": StartPos " << disc.Tracks[n].StartPos << " (" << TimeText(disc.Tracks[n].StartPos)
          << "), Length " << disc.Tracks[n].Length << " (" << TimeText(disc.Tracks[n].Length) << ")\n";
    }
    out << "Registered: " << (registered ? "yes" : "no") << "\n";
  }
  return kQvrdbOk;
}

namespace {
constexpr QvrdbRunner kDriveCommands[] = {{"probe", RunProbe}};
}  // namespace

std::span<const QvrdbRunner> DriveCommands() { return kDriveCommands; }

}  // namespace qvr
