// Opening the disc in a drive or an image through the device layer, without sound output: what
// every command that reads a disc starts with, and all that qvrdb-drive does.
#include <ostream>

#include "audio/NoAudioSink.h"
#include "cdda/DriveLayer.h"
#include "cddb/DiscDatabase.h"
#include "tools/qvrdb/Qvrdb.h"

namespace qvr {

std::optional<OpenedDisc> OpenDiscIn(const std::string& drive, std::ostream& err) {
  // Only the table of contents is read: no sound output is needed.
  std::unique_ptr<DriveLayer> opened = OpenDriveLayer(drive, std::make_unique<NoAudioSink>());
  CDDA& layer = opened->Layer;
  if (layer.CDState != cdStopped && layer.CDState != cdPlaying && layer.CDState != cdPaused) {
    const std::string& problem = opened->Drive->Problem();
    err << "qvrdb: ディスクを読めません" << (problem.empty() ? "" : ": " + problem) << "\n";
    return std::nullopt;
  }
  OpenedDisc disc{std::move(opened), {}};
  SystemDateSource dates;
  ClearDisc(disc.Record, dates);
  disc.Record.DiscKey = layer.CDMediaID();
  disc.Record.TrackCount = static_cast<std::uint8_t>(std::min(layer.CDTrackCount(), 99));
  disc.Record.DiscTime = layer.CDDiscLength();
  for (std::uint8_t n = 1; n <= disc.Record.TrackCount; ++n) {
    disc.Record.Tracks[n].StartPos = layer.CDTrackStart(n);
    disc.Record.Tracks[n].Length = layer.CDTrackLength(n);
  }
  return disc;
}

}  // namespace qvr
