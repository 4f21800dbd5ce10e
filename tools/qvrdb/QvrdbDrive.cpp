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

int ReadDiscIn(const std::string& drive, std::ostream& err, DriveDisc& disc, bool with_cd_text) {
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

  DriveModuleDisc answer{};
  const DriveModuleCdText take_cd_text = [](void* context, const TDiscRecord* cd_text) {
    static_cast<DriveDisc*>(context)->CdText = *cd_text;
  };
  disc.CdText.reset();
  switch (entry(kDriveModuleInterface, drive.c_str(), &answer, with_cd_text ? take_cd_text : nullptr, &disc)) {
    case kDriveModuleRead: break;
    case kDriveModuleNoDisc:
      err << "qvrdb: ディスクを読めません" << (answer.Problem[0] != '\0' ? std::string(": ") + answer.Problem : "")
          << "\n";
      return kQvrdbProblem;
    case kDriveModuleFailed: err << "qvrdb: " << answer.Problem << "\n"; return kQvrdbError;
    default:
      err << "qvrdb: " << module.string() << " はこの qvrdb と一緒にビルドされたものではありません\n";
      return kQvrdbError;
  }

  // The record as the player makes it of a new disc (ClearDisc: dated today), with what the
  // drive told.
  SystemDateSource dates;
  ClearDisc(disc.Record, dates);
  disc.Record.DiscKey = answer.DiscKey;
  disc.Record.TrackCount = answer.TrackCount;
  disc.Record.DiscTime = answer.DiscTime;
  for (std::size_t n = 1; n <= UsedTracks(answer.TrackCount); ++n) {
    disc.Record.Tracks[n].StartPos = answer.StartPos[n - 1];
    disc.Record.Tracks[n].Length = answer.Length[n - 1];
  }
  disc.Toc = TocOfRecord(disc.Record);
  for (std::size_t n = 1; n <= disc.Toc.Tracks.size(); ++n) disc.Toc.Tracks[n - 1].Audio = answer.TrackAudio[n - 1];
  if (disc.CdText) disc.CdText->SaleDate = disc.Record.SaleDate;
  return kQvrdbOk;
}

}  // namespace qvr
