// qvrdb-drive.so: reads the disc in a drive or an image through the device layer for qvrdb and
// qvrdb-online (see DriveModule.h). Only its entry is visible; everything it links stays inside.
#include "tools/qvrdb/DriveModule.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <string_view>

#include "audio/NoAudioSink.h"
#include "cdda/DriveLayer.h"
#include "metadata/CdTextRecord.h"

namespace qvr {
namespace {

void SetProblem(DriveModuleDisc& disc, std::string_view text) {
  const std::size_t length = std::min(text.size(), sizeof disc.Problem - 1);
  std::memcpy(disc.Problem, text.data(), length);
  disc.Problem[length] = '\0';
}

int ReadDisc(const char* drive, DriveModuleDisc& disc, DriveModuleCdText cd_text, void* context) {
  // Only the table of contents and the CD-Text are read: no sound output is needed.
  const std::unique_ptr<DriveLayer> opened = OpenDriveLayer(drive, std::make_unique<NoAudioSink>());
  CDDA& layer = opened->Layer;
  if (layer.CDState != cdStopped && layer.CDState != cdPlaying && layer.CDState != cdPaused) {
    SetProblem(disc, opened->Drive->Problem());
    return kDriveModuleNoDisc;
  }
  disc.DiscKey = layer.CDMediaID();
  disc.TrackCount = static_cast<std::uint8_t>(std::min(layer.CDTrackCount(), 99));
  disc.DiscTime = layer.CDDiscLength();
  for (std::uint8_t n = 1; n <= disc.TrackCount; ++n) {
    disc.StartPos[n - 1] = layer.CDTrackStart(n);
    disc.Length[n - 1] = layer.CDTrackLength(n);
    disc.TrackAudio[n - 1] = layer.CDTrackIsAudio(n);
  }
  if (cd_text == nullptr) return kDriveModuleRead;
  if (const CdText text = layer.CDText(); !text.Empty()) {
    // The proposal is made of the record the caller will make of the disc.
    const auto record = std::make_unique<TDiscRecord>();
    record->DiscKey = disc.DiscKey;
    record->TrackCount = disc.TrackCount;
    record->DiscTime = disc.DiscTime;
    for (std::uint8_t n = 1; n <= disc.TrackCount; ++n) {
      record->Tracks[n].StartPos = disc.StartPos[n - 1];
      record->Tracks[n].Length = disc.Length[n - 1];
    }
    if (const std::optional<TDiscRecord> proposal = CdTextProposal(text, *record)) cd_text(context, &*proposal);
  }
  return kDriveModuleRead;
}

}  // namespace
}  // namespace qvr

extern "C" __attribute__((visibility("default"))) int QvrdbReadDisc(std::uint32_t interface, const char* drive,
                                                                    qvr::DriveModuleDisc* disc,
                                                                    qvr::DriveModuleCdText cd_text,
                                                                    void* context) noexcept {
  // The entry has the type its callers call it by.
  static_assert(std::is_convertible_v<decltype(&QvrdbReadDisc), qvr::DriveModuleEntry>);
  if (interface != qvr::kDriveModuleInterface) return qvr::kDriveModuleOtherBuild;
  *disc = qvr::DriveModuleDisc{};
  try {
    return qvr::ReadDisc(drive, *disc, cd_text, context);
  } catch (const std::exception& error) {
    qvr::SetProblem(*disc, error.what());
  } catch (...) {
    qvr::SetProblem(*disc, "ディスクの読み込み中に不明なエラーが起きました");
  }
  return qvr::kDriveModuleFailed;
}
