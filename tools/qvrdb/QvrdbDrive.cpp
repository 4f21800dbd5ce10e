// Reading the disc in a drive or an image for qvrdb's commands, through the drive module
// (DriveModule.h), which is loaded on the first read and stays loaded.
#include <dlfcn.h>

#include <ostream>

#include "cddb/DiscDatabase.h"
#include "metadata/DiscIds.h"
#include "tools/qvrdb/DriveModule.h"
#include "tools/qvrdb/Qvrdb.h"
#include "util/ProgramFolder.h"

namespace qvr {

std::filesystem::path DriveModuleFor(const std::filesystem::path& program_file) {
  const std::filesystem::path folder = program_file.parent_path();
  std::error_code error;
  if (std::filesystem::exists(folder / kDriveModuleFile, error)) return folder / kDriveModuleFile;
  // PREFIX/bin/qvrdb finds PREFIX/<libdir>/qvr/qvrdb-drive.so.
  return (folder.parent_path() / QVR_DRIVE_MODULE_DIR / kDriveModuleFile).lexically_normal();
}

DiscReading ReadDiscIn(const std::string& drive, std::ostream& err) {
  const std::filesystem::path module = DriveModuleFor(ProgramFile());
  // Loaded once per process and never unloaded: the libraries it brings may keep threads or
  // handlers of their own.
  void* library = dlopen(module.c_str(), RTLD_LAZY | RTLD_LOCAL);
  if (library == nullptr) {
    std::error_code error;
    if (!std::filesystem::exists(module, error)) {
      err << "qvrdb: ドライブとイメージを読むモジュール " << module.string() << " がありません\n";
    } else {
      const char* reason = dlerror();
      err << "qvrdb: ドライブとイメージを読むモジュール " << module.string() << " を読み込めません"
          << (reason != nullptr ? std::string(": ") + reason : std::string()) << "\n";
    }
    return kQvrdbError;
  }
  const auto entry = reinterpret_cast<DriveModuleEntry>(dlsym(library, kDriveModuleEntryName));
  if (entry == nullptr) {
    err << "qvrdb: " << module.string() << " はドライブを読むモジュールではありません\n";
    return kQvrdbError;
  }

  const auto answer = std::make_unique<DriveModuleDisc>();  // 100 KB: not on a thread's stack
  switch (entry(kDriveModuleInterface, drive.c_str(), answer.get())) {
    case kDriveModuleRead: break;
    case kDriveModuleNoDisc:
      err << "qvrdb: ディスクを読めません" << (answer->Problem[0] != '\0' ? std::string(": ") + answer->Problem : "")
          << "\n";
      return kQvrdbProblem;
    case kDriveModuleFailed: err << "qvrdb: " << answer->Problem << "\n"; return kQvrdbError;
    default:
      err << "qvrdb: " << module.string() << " はこの qvrdb と一緒にビルドされたものではありません\n";
      return kQvrdbError;
  }

  // The record as the player makes it of a new disc (ClearDisc: dated today), with what the
  // drive told.
  DriveDisc read;
  SystemDateSource dates;
  ClearDisc(read.Record, dates);
  const TDiscRecord& told = answer->Record;
  read.Record.DiscKey = told.DiscKey;
  read.Record.TrackCount = told.TrackCount;
  read.Record.DiscTime = told.DiscTime;
  for (std::size_t n = 1; n <= UsedTracks(told.TrackCount); ++n) {
    read.Record.Tracks[n].StartPos = told.Tracks[n].StartPos;
    read.Record.Tracks[n].Length = told.Tracks[n].Length;
  }
  read.Toc = TocOfRecord(read.Record);
  for (std::size_t n = 1; n <= read.Toc.Tracks.size(); ++n) read.Toc.Tracks[n - 1].Audio = answer->TrackAudio[n - 1];
  if (answer->HasCdText) {
    read.CdText = answer->CdText;
    read.CdText->SaleDate = read.Record.SaleDate;
  }
  return read;
}

}  // namespace qvr
