// A disc read through libcdio: a real drive (table of contents, tray, eject, and audio read with
// libcdio-paranoia at a low, quiet speed) or a CD image libcdio reads itself (.nrg).
#pragma once

#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cdda/AudioSectorSource.h"
#include "cdda/DiscToc.h"

namespace qvr {

class CdioSource : public AudioSectorSource {
 public:
  // Opens a drive by its device path (DefaultDevice finds the system's default). Throws
  // qvr::Error (Japanese) when there is no such drive; empty `device` means none was found.
  static std::unique_ptr<CdioSource> OpenDevice(const std::string& device);
  // The system's default CD drive as libcdio finds it (a search through the device names and
  // mount tables); empty when there is none. The search runs only when `devices` (the device
  // folder) holds a name a CD drive may have: without one there is nothing for it to find.
  static std::string DefaultDevice(const std::filesystem::path& devices = "/dev");
  // Opens an image file of a format libcdio reads (.nrg), after a child process has read
  // it through without crashing or hanging. Throws qvr::Error when it cannot.
  static std::unique_ptr<CdioSource> OpenImage(const std::filesystem::path& image);
  // The device paths of the CD drives libcdio finds on this computer (none is opened).
  static std::vector<std::string> ListDrives();

  ~CdioSource() override;
  CdioSource(const CdioSource&) = delete;
  CdioSource& operator=(const CdioSource&) = delete;

  // The mutex that serializes every use of the libcdio handle between the GUI thread and the
  // player's reader thread. Callers of the methods below hold it, except for ReadAudio, which
  // takes it itself.
  std::mutex& Lock() { return mutex_; }

  // The table of contents; nullopt when no disc can be read.
  std::optional<DiscToc> ReadToc();
  // The CD-Text packs of the disc in the drive as the drive replies them (4-byte header first);
  // empty when it has none or the drive cannot read them.
  std::string ReadCdTextPacks();
  // Whether the drive's tray is open (false for images and drives that cannot tell).
  bool TrayOpen();
  // Whether the drive saw a new disc since the last call.
  bool MediaChanged();
  // Opens the drive's handle anew, so that libcdio forgets the table of contents it cached.
  void Reopen();
  bool CanEject();
  void Eject();

  void ReadAudio(std::uint32_t frame, std::uint32_t count, std::int16_t* samples) override;
  // A drive's current Q sub-channel (READ SUB-CHANNEL, current position); nullopt for images.
  std::optional<PositionQ> ReadPositionQ() override;

 private:
  CdioSource(CdIo_t* handle, std::string name, bool device);
  void ClosePlayer();
  // Takes `handle` (an image just opened, or nullptr) and reads what playback will read of it:
  // the table of contents and sample sectors of every audio track. Run in a child process.
  static bool ReadsThrough(CdIo_t* handle, const std::string& name);

  std::mutex mutex_;
  CdIo_t* handle_ = nullptr;
  std::string name_;
  bool device_ = false;
  cdrom_drive_t* drive_ = nullptr;
  cdrom_paranoia_t* paranoia_ = nullptr;
  lsn_t nextSector_ = -1;  // where the last paranoia read ended
  lsn_t firstTrack_ = 0;   // where track 1 begins (the table of contents last read): paranoia reads from there
};

// Keeps libcdio's own warnings off the terminal; the program reports problems itself.
void SilenceCdioLog();

// The file's extension in lower case (".cue", ".toc", ...), by which an image's format is told.
std::string ImageExtension(const std::filesystem::path& image);

}  // namespace qvr
