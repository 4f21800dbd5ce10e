// The cdio driver: decides between drive and image changer, keeps the disc's table of contents
// from the moment it is loaded (the drive is opened once and polled, never reopened per poll),
// and answers positions from what the digital player has made heard.
#include "cdda/CdioDrive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "cdda/MediaIdentity.h"
#include "util/AtomicFile.h"
#include "util/Error.h"
#include "util/RegularFile.h"

namespace qvr {

namespace fs = std::filesystem;

namespace {

constexpr char kNotOpen[] = "CDドライブが開かれていません";
constexpr char kNoImages[] = "フォルダにCDイメージがありません: %s";
constexpr char kNoSuchImage[] = "CDイメージが見つかりません: %s";
constexpr char kNotAFile[] = "CDイメージを開けません: %s: 通常のファイルではありません";
// A raw image holds only the sectors: the cue sheet beside it says where the tracks are.
std::string NoCueSheet(const std::string& image, const std::string& sheet) {
  return "CDイメージ " + image + " の CUE シートがありません: " + sheet + " が見つかりません";
}
constexpr char kNoDisc[] = "CDが入っていないか、読めません";

std::uint64_t BigEndian(const unsigned char* bytes, int count) {
  std::uint64_t value = 0;
  for (int n = 0; n < count; ++n) value = value << 8 | bytes[n];
  return value;
}

// The CD-Text packs of a Nero image: its "CDTX" chunk. The chunks lie after the sectors; the
// footer ("NER5" and a 64-bit offset, or "NERO" and a 32-bit one) says where.
std::string NrgCdTextPacks(const fs::path& image) {
  constexpr std::uint64_t kMaxChunkBytes = 1024 * 1024;
  int error = 0;
  const int descriptor = OpenRegularFile(image, O_RDONLY, error);
  if (descriptor < 0) return {};
  std::string packs;
  struct stat status {};
  unsigned char footer[12];
  if (fstat(descriptor, &status) == 0 && status.st_size >= 12 &&
      pread(descriptor, footer, 12, status.st_size - 12) == 12) {
    const auto size = static_cast<std::uint64_t>(status.st_size);
    std::uint64_t start = 0, end = 0;
    if (std::memcmp(footer, "NER5", 4) == 0) {
      start = BigEndian(footer + 4, 8);
      end = size - 12;
    } else if (std::memcmp(footer + 4, "NERO", 4) == 0) {
      start = BigEndian(footer + 8, 4);
      end = size - 8;
    }
    if (start < end && end - start <= kMaxChunkBytes) {
      std::string chunks(end - start, '\0');
      if (pread(descriptor, chunks.data(), chunks.size(), static_cast<off_t>(start)) ==
          static_cast<ssize_t>(chunks.size())) {
        for (std::size_t at = 0; at + 8 <= chunks.size();) {
          const std::uint64_t length = BigEndian(reinterpret_cast<const unsigned char*>(chunks.data()) + at + 4, 4);
          if (chunks.compare(at, 4, "END!") == 0 || length > chunks.size() - at - 8) break;
          if (chunks.compare(at, 4, "CDTX") == 0) {
            packs = chunks.substr(at + 8, length);
            break;
          }
          at += 8 + length;
        }
      }
    }
  }
  ::close(descriptor);
  return packs;
}

// The CD-Text of a Nero image: its packs, read here (libcdio would decode them through plain
// Shift_JIS).
CdText ReadImageCdText(const fs::path& image) {
  if (ImageExtension(image) == ".nrg") return DecodeCdTextPacks(NrgCdTextPacks(image));
  return {};
}

bool IsImageName(const fs::path& path) {
  std::string extension = ImageExtension(path);
  return extension == ".cue" || extension == ".toc" || extension == ".nrg" || extension == ".flac";
}

// Whether a folder's entry is an image for the changer: a FLAC file only when it carries its cue
// sheet (the tracks of a rip with a cue sheet beside them are no discs of their own).
bool IsChangerImage(const fs::path& path) {
  if (!IsImageName(path)) return false;
  return ImageExtension(path) != ".flac" || CueImage::IsFlacWithCueSheet(path);
}

}  // namespace

CdioDrive::CdioDrive(std::string drive, AudioSink& sink, Clock clock)
    : setting_(std::move(drive)), clock_(std::move(clock)), player_(sink) {}

CdioDrive::~CdioDrive() { Close(); }

fs::path CdioDrive::CurrentImage() const {
  if (isDevice_ || images_.empty()) return {};
  return images_[std::min(imageIndex_, images_.size() - 1)];
}

void CdioDrive::RequireOpen() const {
  if (!open_) throw Error(kNotOpen);
}

void CdioDrive::ListImages() {
  std::error_code error;
  fs::path path(setting_);
  std::vector<fs::path> found;
  if (fs::is_directory(path, error)) {
    for (const auto& entry : fs::directory_iterator(path, error)) {
      if (entry.is_regular_file(error) && IsChangerImage(entry.path())) found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    if (found.empty()) throw Error(FormatMessage(kNoImages, setting_));
  } else {
    const fs::file_status status = fs::status(path, error);
    if (!fs::exists(status)) throw Error(FormatMessage(kNoSuchImage, setting_));
    if (!fs::is_regular_file(status)) throw Error(FormatMessage(kNotAFile, setting_));
    if (ImageExtension(path) == ".bin") {
      bool found_sheet = false;
      for (const char* extension : {".cue", ".CUE", ".Cue"}) {
        found_sheet = found_sheet || fs::is_regular_file(fs::path(path).replace_extension(extension), error);
      }
      if (!found_sheet) {
        const std::string sheet = fs::path(path).replace_extension(".cue").string();
        throw Error(NoCueSheet(setting_, sheet));
      }
    }
    found.push_back(path);
  }
  // Keep the image in the changer when the folder's listing changes.
  fs::path current = CurrentImage();
  images_ = std::move(found);
  auto at = std::find(images_.begin(), images_.end(), current);
  imageIndex_ =
      at != images_.end() ? static_cast<std::size_t>(at - images_.begin()) : std::min(imageIndex_, images_.size() - 1);
}

void CdioDrive::UnloadDisc() {
  EndProbe();
  player_.Detach();
  ahead_.reset();
  notifyAt_.clear();
  toc_.reset();
  cdText_ = {};
  cue_.reset();
  cdrdao_.reset();
  image_.reset();
}

void CdioDrive::LoadImage() {
  UnloadDisc();
  problem_.clear();
  fs::path image = CurrentImage();
  try {
    const std::string extension = ImageExtension(image);
    if (extension == ".cue" || extension == ".flac") {
      cue_ = std::make_unique<CueImage>(image);
      toc_ = cue_->Toc();
      cdText_ = cue_->Text();
    } else if (extension == ".toc") {
      cdrdao_ = std::make_unique<TocImage>(image);
      toc_ = cdrdao_->Toc();
      cdText_ = cdrdao_->Text();
    } else {
      image_ = CdioSource::OpenImage(image);
      {
        std::lock_guard lock(image_->Lock());
        toc_ = image_->ReadToc();
      }
      if (!toc_) throw Error(FormatMessage(kNoSuchImage, image.string()));
      cdText_ = ReadImageCdText(image);
    }
    // An image's pregap is a local file: read at once, and mostly decided by its first sectors.
    toc_->HiddenTrack = PregapHoldsAudio(*toc_, *Source());
    player_.SetTracks(*toc_);
  } catch (const Error& error) {
    UnloadDisc();
    problem_ = error.what();
  }
}

void CdioDrive::OpenAhead() {
  Open();
  openedAhead_ = true;
}

bool CdioDrive::PlayAhead(std::uint32_t from, std::uint32_t to) {
  if (!open_ || !toc_) return false;
  const std::uint32_t first = toc_->FrameOf(format_, from), end = toc_->FrameOf(format_, to);
  try {
    PlayFrames(first, end);
  } catch (const Error&) {
    return false;
  }
  if (player_.CurrentState() != DigitalPlayer::State::Playing) return false;
  ahead_ = {first, end};
  return true;
}

void CdioDrive::DropAhead() {
  if (!ahead_) return;
  ahead_.reset();
  player_.Stop();
}

void CdioDrive::Open() {
  if (openedAhead_) {
    // Opened ahead of the layer: the disc read then is the disc now, and what plays goes on.
    openedAhead_ = false;
    format_ = TimeFormat::TMSF;
    return;
  }
  if (open_) Close();
  std::error_code error;
  struct stat status {};
  bool isDeviceNode = !setting_.empty() && ::stat(setting_.c_str(), &status) == 0 &&
                      (S_ISBLK(status.st_mode) || S_ISCHR(status.st_mode));
  isDevice_ = setting_.empty() || isDeviceNode || (!fs::exists(setting_, error) && !IsImageName(setting_));
  if (isDevice_) {
    // The layer reopens a drive that is not ready at every poll: the search for the default
    // drive runs again only when the drives may have changed.
    std::string name = setting_;
    if (name.empty()) {
      if (!watch_) {
        watch_ = std::make_unique<DriveWatch>(clock_, [this] {
          std::function<void(DeviceNews)> news;
          {
            std::lock_guard lock(newsMutex_);
            news = news_;
          }
          if (news) news(DeviceNews::DrivesChanged);
        });
      }
      if (watch_->SearchDue()) defaultDrive_ = CdioSource::DefaultDevice();
      name = defaultDrive_;
    }
    device_ = CdioSource::OpenDevice(name);
    toc_.reset();
  } else {
    // Reopening (the layer does so while the disc is unreadable) is no eject: a tray the
    // changer opened stays open and then moves on to the next image, so a bad image can be
    // ejected like a good one.
    ListImages();
    if (!trayOpenUntil_) LoadImage();
  }
  open_ = true;
  format_ = TimeFormat::TMSF;
}

void CdioDrive::Close() {
  openedAhead_ = false;
  if (!open_) return;
  UnloadDisc();
  device_.reset();
  open_ = false;
}

bool CdioDrive::CanEject() {
  RequireOpen();
  if (!isDevice_) return true;
  std::lock_guard lock(device_->Lock());
  return device_->CanEject();
}

AudioSectorSource* CdioDrive::Source() {
  if (device_) return device_.get();
  if (cue_) return cue_.get();
  if (cdrdao_) return cdrdao_.get();
  return image_.get();
}

std::uint32_t CdioDrive::PlayerMode() {
  // Sound begun ahead of the layer is no playback of the layer's until its Play takes it over.
  if (ahead_) return kModeStopped;
  switch (player_.CurrentState()) {
    case DigitalPlayer::State::Playing: return kModePlaying;
    case DigitalPlayer::State::Paused: return kModePaused;
    case DigitalPlayer::State::Stopped: return kModeStopped;
  }
  return kModeStopped;
}

std::uint32_t CdioDrive::DeviceMode() {
  DigitalPlayer::State state = player_.CurrentState();
  std::unique_lock lock(device_->Lock(), std::defer_lock);
  if (state != DigitalPlayer::State::Stopped) {
    // The reader thread may be using the drive: look at the tray only when it is free.
    if (!lock.try_lock()) return PlayerMode();
  } else {
    lock.lock();
  }
  if (device_->TrayOpen()) {
    lock.unlock();
    EndProbe();
    player_.Stop();
    ahead_.reset();
    toc_.reset();
    cdText_ = {};
    problem_ = kNoDisc;
    return kModeOpen;
  }
  // The table of contents is read once per disc: again only after the drive reported a new disc
  // or while it has none (libcdio caches the last one, so the handle is opened anew first).
  bool changed = device_->MediaChanged();
  if (state == DigitalPlayer::State::Stopped && (!toc_ || changed)) {
    if (probe_) {
      lock.unlock();
      EndProbe();
      lock.lock();
    }
    device_->Reopen();
    toc_ = device_->ReadToc();
    player_.SetTracks(toc_.value_or(DiscToc{}));
    cdText_ = toc_ ? DecodeCdTextPacks(device_->ReadCdTextPacks()) : CdText{};
    problem_ = toc_ ? "" : kNoDisc;
    // Whether the pregap of track 1 holds a hidden track takes reading it, with the disc
    // spinning up: a probe of its own reads it, once per disc.
    if (toc_ && MayHaveHiddenTrack(*toc_)) probe_ = std::make_unique<HiddenTrackProbe>(*toc_, *device_);
  }
  lock.unlock();
  if (!toc_) return kModeOpen;
  return PlayerMode();
}

void CdioDrive::FollowProbe() {
  if (!probe_ || !toc_) return;
  if (const std::optional<bool> found = probe_->Result()) {
    toc_->HiddenTrack = *found;
    EndProbe();
  }
}

bool CdioDrive::StatusHiddenTrack() {
  if (!open_ || !toc_) return false;
  FollowProbe();
  return toc_->HasHiddenTrack();
}

std::uint32_t CdioDrive::StatusMode() {
  if (!open_) return kModeNotReady;
  FollowProbe();
  if (isDevice_) return DeviceMode();
  if (trayOpenUntil_) {
    if (clock_() < *trayOpenUntil_) return kModeOpen;
    // The changer puts the next image in (the same one when it is the only one).
    trayOpenUntil_.reset();
    try {
      ListImages();
      imageIndex_ = (imageIndex_ + 1) % images_.size();
    } catch (const Error& error) {
      problem_ = error.what();
      return kModeNotReady;
    }
    LoadImage();
  }
  if (!toc_) return kModeNotReady;
  return PlayerMode();
}

std::uint32_t CdioDrive::StatusNumberOfTracks() {
  RequireOpen();
  return toc_ ? toc_->TrackCount() : 0;
}

std::uint32_t CdioDrive::StatusLength() {
  RequireOpen();
  return toc_ ? toc_->DiscLengthReply(format_) : 0;
}

std::uint32_t CdioDrive::StatusTrackLength(std::uint8_t track) {
  RequireOpen();
  return toc_ ? toc_->TrackLengthReply(format_, track) : 0;
}

std::uint32_t CdioDrive::StatusPosition() {
  if (!open_ || !toc_) return 0;
  std::uint32_t frame = ahead_ ? 0 : player_.HeardFrame();
  if (frame == 0 && !toc_->Tracks.empty()) frame = toc_->Tracks.front().Start;
  return toc_->PositionReply(format_, frame);
}

std::uint32_t CdioDrive::StatusTrackPosition(std::uint8_t track) {
  if (!open_ || !toc_) return 0;
  return toc_->TrackPositionReply(format_, track);
}

bool CdioDrive::StatusTrackIsAudio(std::uint8_t track) {
  if (!open_ || !toc_ || !toc_->HasTrack(track)) return true;
  return toc_->Tracks[track - 1].Audio;
}

bool CdioDrive::StatusTrackDeEmphasised(std::uint8_t track) {
  if (!open_ || !toc_ || !toc_->HasPlayableTrack(track)) return false;
  return player_.DeEmphasised(track);
}

std::vector<std::uint32_t> CdioDrive::Marks() const {
  std::vector<std::uint32_t> marks = notifyAt_;
  if (toc_) {
    for (const TocTrack& track : toc_->Tracks) marks.push_back(track.Start);
  }
  return marks;
}

void CdioDrive::PlayFrames(std::uint32_t from, std::uint32_t to, bool paused) {
  std::vector<FrameRange> ranges = toc_->AudioRanges(from, to);
  if (ranges.empty()) {
    // Nothing audible in the range: nothing plays.
    player_.Stop();
    return;
  }
  player_.SetMarks(Marks());
  player_.Play(*Source(), std::move(ranges), paused);
}

void CdioDrive::SetNewsListener(std::function<void(DeviceNews)> listener) {
  {
    std::lock_guard lock(newsMutex_);
    news_ = listener;
  }
  player_.SetListener(std::move(listener));
}

bool CdioDrive::AwaitsDrive() { return isDevice_ && setting_.empty() && defaultDrive_.empty(); }

bool CdioDrive::PlayNext(std::uint32_t at, std::uint32_t from, std::uint32_t to) {
  if (!open_ || !toc_) return false;
  DropAhead();
  std::uint32_t first = toc_->FrameOf(format_, from), end = toc_->FrameOf(format_, to);
  std::vector<FrameRange> ranges;
  if (first < end) {
    ranges = toc_->AudioRanges(first, end);
    if (ranges.empty()) return false;  // nothing audible follows: the range ends as it is
  }
  return player_.PlayNext(toc_->PlayEnd(toc_->FrameOf(format_, at)), std::move(ranges));
}

bool CdioDrive::NextPending() { return !ahead_ && player_.NextPending(); }

void CdioDrive::NotifyAt(std::vector<std::uint32_t> positions) {
  notifyAt_.clear();
  if (!toc_) return;
  for (std::uint32_t position : positions) notifyAt_.push_back(toc_->FrameOf(format_, position));
  player_.SetMarks(Marks());
}

void CdioDrive::Play(std::uint32_t from, std::uint32_t to) {
  RequireOpen();
  if (!toc_) return;
  const std::uint32_t first = toc_->FrameOf(format_, from), end = toc_->FrameOf(format_, to);
  if (ahead_ && *ahead_ == std::pair{first, end} && player_.CurrentState() == DigitalPlayer::State::Playing) {
    // The stretch begun ahead is this one: it plays on as it is. That it was read through may
    // have been told while it was no playback of the layer's yet, so it is told again.
    ahead_.reset();
    if (player_.ReadThrough()) {
      std::function<void(DeviceNews)> news;
      {
        std::lock_guard lock(newsMutex_);
        news = news_;
      }
      if (news) news(DeviceNews::RangeRead);
    }
  } else {
    DropAhead();
    PlayFrames(first, end);
  }
  rangeFrom_ = first;
  rangeTo_ = end;
}

void CdioDrive::PlayOn() {
  RequireOpen();
  if (!toc_) return;
  DropAhead();
  std::uint32_t from = player_.HeardFrame();
  PlayFrames(from, toc_->LeadOut - 1);
  rangeFrom_ = from;
  rangeTo_ = toc_->LeadOut - 1;
}

bool CdioDrive::Seek(std::uint32_t position) {
  RequireOpen();
  if (!toc_) return false;
  DropAhead();
  const DigitalPlayer::State state = player_.CurrentState();
  if (state == DigitalPlayer::State::Stopped) return false;
  const std::uint32_t frame = toc_->FrameOf(format_, position);
  if (frame < rangeFrom_ || frame >= rangeTo_) return false;
  PlayFrames(frame, rangeTo_, state == DigitalPlayer::State::Paused);
  return true;
}

void CdioDrive::Stop() {
  RequireOpen();
  ahead_.reset();
  player_.Stop();
}

void CdioDrive::Pause() {
  RequireOpen();
  DropAhead();
  player_.Pause();
}

bool CdioDrive::Resume() {
  RequireOpen();
  DropAhead();
  return player_.Resume();
}

void CdioDrive::OpenDoor() {
  RequireOpen();
  DropAhead();
  if (isDevice_) {
    EndProbe();
    player_.Detach();
    std::lock_guard lock(device_->Lock());
    device_->Eject();
    toc_.reset();
    cdText_ = {};
    return;
  }
  UnloadDisc();
  problem_.clear();
  trayOpenUntil_ = clock_() + kChangeTime;
}

std::string CdioDrive::MediaIdentity() {
  if (!open_ || !toc_) return {};
  return MediaIdentityText(*toc_);
}

namespace {

// The output of a probe that plays nothing: the player's own output keeps what it plays.
class SilentSink final : public AudioSink {
 public:
  void Open() override {}
  void Close() override {}
  bool IsOpen() const override { return false; }
  void Write(std::span<const std::int16_t>) override {}
  std::size_t QueuedFrames() const override { return 0; }
  void SetPaused(bool) override {}
  void Clear() override {}
  std::uint64_t PlayedFrames() const override { return 0; }
};

}  // namespace

std::string DriveProblem(const std::string& drive) {
  SilentSink sink;
  CdioDrive probe(drive, sink);
  try {
    probe.Open();
    probe.StatusMode();
  } catch (const std::exception& error) {
    return error.what();
  }
  return probe.Problem();
}

CdText CdioDrive::ReadCdText() {
  if (!open_ || !toc_) return {};
  return cdText_;
}

}  // namespace qvr
