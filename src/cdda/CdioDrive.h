// The real CD audio device: a drive or CD images (cue sheets and FLAC files with their cue sheet
// read by CueImage, cdrdao .toc files by TocImage, Nero images through libcdio),
// answering the device requests as the platform's CD audio device does and playing digitally
// through the audio output. For images the drive is a changer over an image or a folder of them.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "audio/AudioSink.h"
#include "cdda/CDDevice.h"
#include "cdda/CdioSource.h"
#include "cdda/CueImage.h"
#include "cdda/DigitalPlayer.h"
#include "cdda/DiscToc.h"
#include "cdda/DriveWatch.h"
#include "cdda/HiddenTrack.h"
#include "cdda/TocImage.h"

namespace qvr {

class CdioDrive : public CDDevice {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  // How long an image changer reports its tray open after an eject.
  static constexpr std::chrono::milliseconds kChangeTime{2000};

  // `drive` is the "Other"/"Drive" setting in the file system's encoding: empty for the
  // system's default CD drive, else a device path, an image file (.cue, .toc, .nrg, a .flac
  // with its cue sheet inside) or a folder of images (played in name order). `sink` plays the sound; `clock` times the
  // image changer.
  CdioDrive(std::string drive, AudioSink& sink, Clock clock = std::chrono::steady_clock::now);
  ~CdioDrive() override;
  CdioDrive(const CdioDrive&) = delete;
  CdioDrive& operator=(const CdioDrive&) = delete;

  // Why the disc cannot be read now (Japanese), empty when it can.
  std::string Problem() override { return problem_; }
  bool AwaitsDrive() override;
  bool AnnouncesDrives() override { return watch_ && watch_->Announces(); }
  // The image in the changer, empty for a drive.
  std::filesystem::path CurrentImage() const;

  // The program's start, ahead of the device layer: another thread opens the drive and starts
  // the sound while the windows are still being made, and the layer, at its first poll, takes
  // the device as it is. OpenAhead opens the drive and reads its disc; IsOpen answers false
  // until the layer's Open takes it over without opening anew. PlayAhead plays from `from` up
  // to `to` (current time format) at once while the device goes on answering as a stopped
  // drive that plays nothing: the layer's Play of the same stretch goes on with this sound,
  // with no break and no repeat; any other request, DropAhead or Close ends it first. False
  // when nothing of the stretch can be played or the audio output cannot be opened.
  void OpenAhead();
  bool PlayAhead(std::uint32_t from, std::uint32_t to);
  void DropAhead() override;

  void Open() override;
  void Close() override;
  bool IsOpen() const override { return open_ && !openedAhead_; }
  bool CanEject() override;
  void SetTimeFormat(TimeFormat format) override { format_ = format; }
  std::uint32_t StatusMode() override;
  std::uint32_t StatusNumberOfTracks() override;
  std::uint32_t StatusLength() override;
  std::uint32_t StatusTrackLength(std::uint8_t track) override;
  std::uint32_t StatusPosition() override;
  std::uint32_t StatusTrackPosition(std::uint8_t track) override;
  bool StatusHiddenTrack() override;
  bool StatusTrackIsAudio(std::uint8_t track) override;
  bool StatusTrackDeEmphasised(std::uint8_t track) override;
  void SetDeEmphasis(bool on) override { player_.SetDeEmphasis(on); }
  void Play(std::uint32_t from, std::uint32_t to) override;
  void PlayOn() override;
  void Stop() override;
  void Pause() override;
  bool Resume() override;
  bool Seek(std::uint32_t position) override;
  void OpenDoor() override;
  std::string MediaIdentity() override;
  CdText ReadCdText() override;
  void SetNewsListener(std::function<void(DeviceNews)> listener) override;
  bool PlayNext(std::uint32_t at, std::uint32_t from, std::uint32_t to) override;
  bool NextPending() override;
  void NotifyAt(std::vector<std::uint32_t> positions) override;

 private:
  void RequireOpen() const;
  void ListImages();
  void LoadImage();
  void UnloadDisc();
  std::uint32_t PlayerMode();
  std::uint32_t DeviceMode();
  AudioSectorSource* Source();
  void PlayFrames(std::uint32_t from, std::uint32_t to, bool paused = false);
  std::vector<std::uint32_t> Marks() const;
  // Takes the drive's answer about a hidden first track once its probe has one.
  void FollowProbe();
  // Ends a probe of the drive's pregap (before the drive's lock is taken: the probe may wait for it).
  void EndProbe() { probe_.reset(); }

  std::string setting_;
  Clock clock_;
  DigitalPlayer player_;

  bool open_ = false;
  bool openedAhead_ = false;  // opened by OpenAhead; the layer's Open has not taken it yet
  // The stretch (frames, end exclusive) PlayAhead plays that no Play has taken over yet.
  std::optional<std::pair<std::uint32_t, std::uint32_t>> ahead_;
  bool isDevice_ = false;
  TimeFormat format_ = TimeFormat::TMSF;
  std::optional<DiscToc> toc_;
  CdText cdText_;  // of the disc whose table of contents toc_ holds
  std::string problem_;
  std::vector<std::uint32_t> notifyAt_;  // frames given to NotifyAt
  // The frames of the range last started by Play or PlayOn (end exclusive): where a seek may go.
  std::uint32_t rangeFrom_ = 0, rangeTo_ = 0;

  // Drive.
  std::unique_ptr<CdioSource> device_;
  // Reads the drive's pregap of track 1 for a hidden first track, off the GUI thread; declared
  // after device_, which it reads, so that it ends first.
  std::unique_ptr<HiddenTrackProbe> probe_;
  // Where news goes; the drive watch's thread reads it too.
  std::mutex newsMutex_;
  std::function<void(DeviceNews)> news_;
  // The default drive (empty setting): searched for only when the drives may have changed.
  std::unique_ptr<DriveWatch> watch_;
  std::string defaultDrive_;
  // Image changer.
  std::vector<std::filesystem::path> images_;
  std::size_t imageIndex_ = 0;
  std::optional<std::chrono::steady_clock::time_point> trayOpenUntil_;
  std::unique_ptr<CueImage> cue_;
  std::unique_ptr<TocImage> cdrdao_;
  std::unique_ptr<CdioSource> image_;
};

// Why `drive` (a setting as CdioDrive takes it) cannot be played now, in Japanese; empty when it
// holds a readable disc. Opens and reads the table of contents once; plays nothing, and touches
// no audio output (what plays meanwhile goes on).
std::string DriveProblem(const std::string& drive);

}  // namespace qvr
