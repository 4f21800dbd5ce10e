// The interface of qvrdb's drive module, qvrdb-drive.so: the device layer (libcdio, libudev,
// libFLAC) in a library of its own, which qvrdb and qvrdb-online load only when a command reads
// a drive or an image, so that every other command starts without those libraries. The module
// has one entry, QvrdbReadDisc (DriveModuleEntry), which reads the disc and fills a
// DriveModuleDisc: plain data, so that no exception, allocation or library object crosses. The
// answer is small (the disc's CD-Text, a whole record, is handed to a function of the caller's
// only when there is any): every page a process touches for the first time costs a fault.
// The module and its callers are built together; the interface number guards against a module
// of another build.
#pragma once

#include <cstdint>
#include <type_traits>

#include "cddb/DiscRecord.h"

namespace qvr {

// Changes whenever DriveModuleDisc or the entry's meaning changes.
inline constexpr std::uint32_t kDriveModuleInterface = 2;
// The module's file name, and the name of its entry.
inline constexpr char kDriveModuleFile[] = "qvrdb-drive.so";
inline constexpr char kDriveModuleEntryName[] = "QvrdbReadDisc";

// What the entry returns.
enum DriveModuleStatus : int {
  kDriveModuleRead = 0,        // the disc was read: everything but Problem is filled, CD-Text handed
  kDriveModuleNoDisc = 1,      // no disc could be read there; Problem says why when the drive told
  kDriveModuleFailed = 2,      // an error while reading (Problem holds its message)
  kDriveModuleOtherBuild = 3,  // the caller's interface number is not the module's
};

struct DriveModuleDisc {
  // What the device layer reads of the disc: its key, track count (at most 99) and disc time,
  // and for track n (1..TrackCount, at index n - 1) its start and length (packed MSF) and
  // whether the drive tells it is an audio track.
  ShortString<8> DiscKey;
  std::uint8_t TrackCount;
  std::uint32_t DiscTime;
  std::uint32_t StartPos[kMaxTracks];
  std::uint32_t Length[kMaxTracks];
  bool TrackAudio[kMaxTracks];
  // UTF-8, zero-terminated (cut to fit).
  char Problem[1024];
};
static_assert(std::is_trivially_copyable_v<DriveModuleDisc> && std::is_standard_layout_v<DriveModuleDisc>);

// Takes the disc's CD-Text as a proposed record (CdTextProposal of the disc's record: no sale
// date, the caller dates it). `context` is the caller's. Must not throw.
using DriveModuleCdText = void (*)(void* context, const TDiscRecord* cd_text);

// The entry: reads the disc in `drive` (a zero-terminated UTF-8 path of a drive, an image or a
// folder of images; empty for the system's default drive) into `disc`, and hands its CD-Text,
// when it has any, to `cd_text` with `context` (a null `cd_text`: the CD-Text is not read).
// `interface` is the caller's kDriveModuleInterface. Never throws; any thread.
using DriveModuleEntry = int (*)(std::uint32_t interface, const char* drive, DriveModuleDisc* disc,
                                 DriveModuleCdText cd_text, void* context);

}  // namespace qvr
