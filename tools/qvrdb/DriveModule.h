// The interface of qvrdb's drive module, qvrdb-drive.so: the device layer (libcdio, libudev,
// libFLAC) in a library of its own, which qvrdb and qvrdb-online load only when a command reads
// a drive or an image, so that every other command starts without those libraries. The module
// has one entry, QvrdbReadDisc (DriveModuleEntry), which reads the disc and fills a
// DriveModuleDisc: plain data, so that no exception, allocation or library object crosses.
// The module and its callers are built together; the interface number guards against a module
// of another build.
#pragma once

#include <cstdint>
#include <type_traits>

#include "cddb/DiscRecord.h"

namespace qvr {

// Changes whenever DriveModuleDisc or the entry's meaning changes.
inline constexpr std::uint32_t kDriveModuleInterface = 1;
// The module's file name, and the name of its entry.
inline constexpr char kDriveModuleFile[] = "qvrdb-drive.so";
inline constexpr char kDriveModuleEntryName[] = "QvrdbReadDisc";

// What the entry returns.
enum DriveModuleStatus : int {
  kDriveModuleRead = 0,        // the disc was read: Record, TrackAudio and CD-Text are filled
  kDriveModuleNoDisc = 1,      // no disc could be read there; Problem says why when the drive told
  kDriveModuleFailed = 2,      // an error while reading (Problem holds its message)
  kDriveModuleOtherBuild = 3,  // the caller's interface number is not the module's
};

struct DriveModuleDisc {
  // The record the device layer makes of the disc: key, track count (at most 99), disc time and
  // each track's StartPos and Length; everything else as in TDiscRecord{} (no sale date: the
  // caller dates it).
  TDiscRecord Record;
  // Whether track n (1..TrackCount, at index n - 1) is an audio track, as the drive tells it.
  bool TrackAudio[kMaxTracks];
  // The disc's CD-Text as a proposed record (CdTextProposal of Record), when it has any.
  bool HasCdText;
  TDiscRecord CdText;
  // UTF-8, zero-terminated (cut to fit).
  char Problem[1024];
};
static_assert(std::is_trivially_copyable_v<DriveModuleDisc> && std::is_standard_layout_v<DriveModuleDisc>);

// The entry: reads the disc in `drive` (a zero-terminated UTF-8 path of a drive, an image or a
// folder of images; empty for the system's default drive) into `disc`. `interface` is the
// caller's kDriveModuleInterface. Never throws; any thread.
using DriveModuleEntry = int (*)(std::uint32_t interface, const char* drive, DriveModuleDisc* disc);

}  // namespace qvr
