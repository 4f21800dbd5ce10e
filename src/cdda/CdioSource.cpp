// libcdio access for drives and for the image formats libcdio reads. Audio from a drive goes
// through libcdio-paranoia (overlap checks and retries, never stalling on a bad sector) at speed
// 4, low enough for the drive to stay quiet and read steadily; images are read directly.
#include "cdda/CdioSource.h"

#include <cdio/audio.h>
#include <cdio/logging.h>
#include <cdio/mmc.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "cdda/ChildProbe.h"
#include "cdda/DriveWatch.h"
#include "cdda/HiddenTrack.h"
#include "util/Error.h"
#include "util/FileStamp.h"
#include "util/RegularFile.h"

namespace qvr {

namespace fs = std::filesystem;

namespace {

constexpr char kNoDrive[] = "CDドライブを開けません: %s";
constexpr char kNoDriveFound[] = "CDドライブがありません";
constexpr char kNoImage[] = "CDイメージを開けません: %s";
constexpr char kReadFailed[] = "CDを読めません: %s";
constexpr char kBrokenImage[] = "CDイメージが壊れているため読めません: %s";
constexpr char kStuckImage[] =
    "CDイメージを読み終えられません (壊れているか、通常のファイルでないものを指しています): %s";
// How long a child process may take to read an image's table of contents and sample sectors.
constexpr std::chrono::seconds kProbeTime{10};
constexpr int kQuietSpeed = 4;

void IgnoreLog(cdio_log_level_t, const char*) {}

// Images the child could not read, with the files as they were then: such an image is not read
// again until it or a data file it names changes. The drive is opened again at every poll while
// it is not ready, and each read of a damaged image starts a child process (one a second), or,
// for an image that hangs libcdio, holds the program for the whole time limit. A read that ran
// out of time may have met a slow disk rather than a damaged image: it is tried again after a
// while even when nothing changed.
class RefusedImages {
 public:
  using Files = std::vector<std::pair<std::string, FileStamp>>;
  // The files' stamps; empty when one of them cannot be read (nothing is remembered then).
  static Files StampsOf(const std::vector<fs::path>& paths) {
    Files files;
    for (const fs::path& path : paths) {
      const std::optional<FileStamp> stamp = StampOf(path);
      if (!stamp) return {};
      files.emplace_back(path.string(), *stamp);
    }
    return files;
  }
  std::optional<std::string> Refusal(const Files& files) {
    if (files.empty()) return std::nullopt;
    std::lock_guard lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    for (const Entry& entry : refused_) {
      if (entry.files == files && now < entry.until) return entry.message;
    }
    return std::nullopt;
  }
  // With `for_now` the refusal holds for kRetryTime only, else until the files change.
  void Remember(const Files& files, const std::string& message, bool for_now) {
    if (files.empty()) return;
    std::lock_guard lock(mutex_);
    const auto until =
        for_now ? std::chrono::steady_clock::now() + kRetryTime : std::chrono::steady_clock::time_point::max();
    std::erase_if(refused_, [&](const Entry& entry) { return entry.files == files; });
    refused_.push_front({files, message, until});
    if (refused_.size() > kKept) refused_.pop_back();
  }

 private:
  struct Entry {
    Files files;
    std::string message;
    std::chrono::steady_clock::time_point until;
  };
  static constexpr std::size_t kKept = 16;
  static constexpr std::chrono::minutes kRetryTime{5};
  std::mutex mutex_;
  std::deque<Entry> refused_;
};

RefusedImages& Refused() {
  static RefusedImages refused;
  return refused;
}

}  // namespace

std::string ImageExtension(const std::filesystem::path& image) {
  std::string extension = image.extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

void SilenceCdioLog() {
  static std::once_flag once;
  std::call_once(once, [] { cdio_log_set_handler(IgnoreLog); });
}

CdioSource::CdioSource(CdIo_t* handle, std::string name, bool device)
    : handle_(handle), name_(std::move(name)), device_(device) {}

std::string CdioSource::DefaultDevice(const fs::path& devices) {
  std::error_code error;
  bool candidate = false;
  for (fs::directory_iterator it(devices, error), end; !error && it != end; it.increment(error)) {
    if (DriveWatch::DriveNodeName(it->path().filename().native())) {
      candidate = true;
      break;
    }
  }
  // A device folder that cannot be read leaves the decision to libcdio.
  if (!candidate && !error) return {};
  SilenceCdioLog();
  driver_id_t driver = DRIVER_DEVICE;
  char* found = cdio_get_default_device_driver(&driver);
  if (found == nullptr) return {};
  std::string name = found;
  cdio_free(found);
  return name;
}

std::unique_ptr<CdioSource> CdioSource::OpenDevice(const std::string& device) {
  SilenceCdioLog();
  if (device.empty()) throw Error(FormatMessage(kNoDrive, kNoDriveFound));
  const std::string& name = device;
  CdIo_t* handle = cdio_open(name.c_str(), DRIVER_DEVICE);
  if (handle == nullptr) throw Error(FormatMessage(kNoDrive, name));
  return std::unique_ptr<CdioSource>(new CdioSource(handle, name, true));
}

bool CdioSource::ReadsThrough(CdIo_t* handle, const std::string& name) {
  if (handle == nullptr) return false;
  CdioSource source(handle, name, false);
  const std::optional<DiscToc> toc = source.ReadToc();
  if (!toc) return false;
  // The sectors playback reads first, in the middle and last of each audio track, and of the
  // pregap before track 1 that is read for a hidden first track.
  std::vector<FrameRange> stretches;
  if (MayHaveHiddenTrack(*toc)) stretches.push_back({kLeadInFrames, toc->Tracks.front().Start});
  for (std::size_t n = 0; n < toc->Tracks.size(); ++n) {
    if (toc->Tracks[n].Audio)
      stretches.push_back({toc->Tracks[n].Start, toc->TrackEnd(static_cast<std::uint32_t>(n + 1))});
  }
  std::vector<std::int16_t> samples(kSamplesPerSector);
  for (const auto& [start, end] : stretches) {
    if (end <= start) continue;
    for (std::uint32_t frame : {start, start + (end - start) / 2, end - 1}) {
      try {
        source.ReadAudio(frame, 1, samples.data());
      } catch (const Error&) {
        // A sector that cannot be read is reported when it is played.
      }
    }
  }
  return true;
}

std::unique_ptr<CdioSource> CdioSource::OpenImage(const std::filesystem::path& image) {
  SilenceCdioLog();
  // Only a regular file is handed to libcdio: a FIFO in its place would block its open for good.
  int open_error = 0;
  const int descriptor = OpenRegularFile(image, O_RDONLY, open_error);
  if (descriptor < 0) throw Error(FormatMessage(kNoImage, image.string()) + ": " + OpenFailureReason(open_error));
  ::close(descriptor);

  const std::vector<fs::path> files{image};
  auto open = [&]() -> CdIo_t* { return cdio_open(image.c_str(), DRIVER_UNKNOWN); };

  // libcdio's readers of these formats trust the file's own offsets and counts: a damaged image
  // can crash or hang them. A child process reads the image first, as playback will; only an
  // image it got through is opened here.
  const RefusedImages::Files stamps = RefusedImages::StampsOf(files);
  if (const std::optional<std::string> refusal = Refused().Refusal(stamps)) throw Error(*refusal);
  std::string refusal;
  const ProbeOutcome outcome = RunInChild([&] { return ReadsThrough(open(), image.string()); }, kProbeTime);
  switch (outcome) {
    case ProbeOutcome::Passed: break;
    case ProbeOutcome::NotStarted: throw Error(FormatMessage(kNoImage, image.string()));
    case ProbeOutcome::Refused: refusal = FormatMessage(kNoImage, image.string()); break;
    case ProbeOutcome::Crashed: refusal = FormatMessage(kBrokenImage, image.string()); break;
    case ProbeOutcome::TimedOut: refusal = FormatMessage(kStuckImage, image.string()); break;
  }
  if (!refusal.empty()) {
    Refused().Remember(stamps, refusal, outcome == ProbeOutcome::TimedOut);
    throw Error(refusal);
  }
  CdIo_t* handle = open();
  if (handle == nullptr) throw Error(FormatMessage(kNoImage, image.string()));
  return std::unique_ptr<CdioSource>(new CdioSource(handle, image.string(), false));
}

std::vector<std::string> CdioSource::ListDrives() {
  SilenceCdioLog();
  std::vector<std::string> drives;
  char** devices = cdio_get_devices(DRIVER_DEVICE);
  for (char** at = devices; at != nullptr && *at != nullptr; ++at) drives.emplace_back(*at);
  cdio_free_device_list(devices);
  return drives;
}

CdioSource::~CdioSource() {
  ClosePlayer();
  if (handle_ != nullptr) cdio_destroy(handle_);
}

void CdioSource::ClosePlayer() {
  if (paranoia_ != nullptr) cdio_paranoia_free(paranoia_);
  if (drive_ != nullptr) cdio_cddap_close_no_free_cdio(drive_);
  paranoia_ = nullptr;
  drive_ = nullptr;
}

void CdioSource::Reopen() {
  ClosePlayer();
  CdIo_t* fresh = cdio_open(name_.c_str(), device_ ? DRIVER_DEVICE : DRIVER_UNKNOWN);
  if (fresh != nullptr) {
    cdio_destroy(handle_);
    handle_ = fresh;
  }
}

std::optional<DiscToc> CdioSource::ReadToc() {
  track_t first = cdio_get_first_track_num(handle_);
  track_t count = cdio_get_num_tracks(handle_);
  if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) return std::nullopt;
  DiscToc toc;
  for (track_t n = 0; n < count; ++n) {
    auto track = static_cast<track_t>(first + n);
    lba_t start = cdio_get_track_lba(handle_, track);
    if (start == CDIO_INVALID_LBA) return std::nullopt;
    const bool audio = cdio_get_track_format(handle_, track) == TRACK_FORMAT_AUDIO;
    // The control bits of the track's entry (a .toc file's PRE_EMPHASIS for cdrdao images).
    const bool emphasis = audio && cdio_get_track_preemphasis(handle_, track) == CDIO_TRACK_FLAG_TRUE;
    toc.Tracks.push_back({static_cast<std::uint32_t>(start), audio, emphasis});
  }
  lba_t leadOut = cdio_get_track_lba(handle_, CDIO_CDROM_LEADOUT_TRACK);
  if (leadOut == CDIO_INVALID_LBA) return std::nullopt;
  toc.LeadOut = static_cast<std::uint32_t>(leadOut);
  firstTrack_ = static_cast<lsn_t>(toc.Tracks.front().Start - kLeadInFrames);
  return toc;
}

std::optional<AudioSectorSource::PositionQ> CdioSource::ReadPositionQ() {
  if (!device_) return std::nullopt;
  std::lock_guard lock(mutex_);
  cdio_subchannel_t subchannel{};
  if (handle_ == nullptr || cdio_audio_read_subchannel(handle_, &subchannel) != DRIVER_OP_SUCCESS) return std::nullopt;
  // Control bit 0 of an audio track: recorded with pre-emphasis. Track numbers come in binary.
  if (subchannel.track < 1 || subchannel.track > 99) return std::nullopt;
  return PositionQ{subchannel.track, (subchannel.control & 0x01) != 0};
}

std::string CdioSource::ReadCdTextPacks() {
  if (!device_) return {};
  // libcdio's own decoding turns Shift-JIS into UTF-8 through plain Shift_JIS, losing code page
  // 932's characters; the packs are decoded by the program instead.
  std::uint8_t* reply = cdio_get_cdtext_raw(handle_);
  if (reply == nullptr) return {};
  const std::size_t length = std::size_t{reply[0]} << 8 | reply[1];
  std::string packs(reinterpret_cast<const char*>(reply), length + 2);
  cdio_free(reply);
  return packs;
}

bool CdioSource::TrayOpen() {
  if (!device_) return false;
  return mmc_get_tray_status(handle_) == 1;
}

bool CdioSource::MediaChanged() { return device_ && cdio_get_media_changed(handle_) == 1; }

bool CdioSource::CanEject() {
  if (!device_) return false;
  cdio_drive_read_cap_t read = 0;
  cdio_drive_write_cap_t write = 0;
  cdio_drive_misc_cap_t misc = 0;
  cdio_get_drive_cap(handle_, &read, &write, &misc);
  if (misc == CDIO_DRIVE_CAP_ERROR || misc == CDIO_DRIVE_CAP_UNKNOWN) return false;
  return (misc & CDIO_DRIVE_CAP_MISC_EJECT) != 0;
}

void CdioSource::Eject() {
  if (!device_) return;
  ClosePlayer();
  cdio_eject_media_drive(name_.c_str());
}

void CdioSource::ReadAudio(std::uint32_t frame, std::uint32_t count, std::int16_t* samples) {
  std::lock_guard lock(mutex_);
  if (frame < kLeadInFrames) throw Error(FormatMessage(kReadFailed, name_));
  auto sector = static_cast<lsn_t>(frame - kLeadInFrames);
  if (!device_) {
    if (cdio_read_audio_sectors(handle_, samples, sector, count) != DRIVER_OP_SUCCESS) {
      throw Error(FormatMessage(kReadFailed, name_));
    }
    return;
  }
  // Paranoia reads the tracks only; the pregap before track 1 (a hidden first track) is read
  // as the drive's plain audio sectors.
  if (sector < firstTrack_) {
    const auto direct = static_cast<std::uint32_t>(std::min<lsn_t>(static_cast<lsn_t>(count), firstTrack_ - sector));
    if (cdio_read_audio_sectors(handle_, samples, sector, direct) != DRIVER_OP_SUCCESS) {
      throw Error(FormatMessage(kReadFailed, name_));
    }
    samples += std::size_t{direct} * kSamplesPerSector;
    sector += static_cast<lsn_t>(direct);
    count -= direct;
    if (count == 0) return;
  }
  if (paranoia_ == nullptr) {
    drive_ = cdio_cddap_identify_cdio(handle_, CDDA_MESSAGE_FORGETIT, nullptr);
    if (drive_ == nullptr || cdio_cddap_open(drive_) != 0) {
      ClosePlayer();
      throw Error(FormatMessage(kReadFailed, name_));
    }
    cdio_cddap_speed_set(drive_, kQuietSpeed);
    paranoia_ = cdio_paranoia_init(drive_);
    cdio_paranoia_modeset(paranoia_, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
    nextSector_ = -1;
  }
  // Paranoia reads sequentially; seek only when the range does not continue the last read.
  if (sector != nextSector_) cdio_paranoia_seek(paranoia_, sector, SEEK_SET);
  for (std::uint32_t n = 0; n < count; ++n) {
    std::int16_t* read = cdio_paranoia_read(paranoia_, nullptr);
    if (read == nullptr) throw Error(FormatMessage(kReadFailed, name_));
    std::memcpy(samples + std::size_t{n} * kSamplesPerSector, read, kSectorBytes);
  }
  nextSector_ = sector + static_cast<lsn_t>(count);
}

}  // namespace qvr
