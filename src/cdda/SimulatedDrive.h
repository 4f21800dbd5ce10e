// A scriptable CD audio device for tests: discs with a given table of contents, an open tray, a
// drive that is not ready or refuses to open, forced mode reports, a play head driven by a clock
// the test advances, the news a digital drive gives (given inside Advance, as the play head
// passes the points where the real one gives them), and a log of every request with its
// arguments.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cdda/CDDevice.h"
#include "cdda/DiscToc.h"

namespace qvr {

class SimulatedDrive : public CDDevice {
 public:
  // Every request received, in order, e.g. "Open", "SetTimeFormat MSF", "StatusTrackPosition 3",
  // "Play 41334 95068".
  std::vector<std::string> Requests;

  // Script.
  void InsertDisc(const DiscToc& toc);  // tray closed, disc present, stopped
  void OpenTray();                      // tray open (or no disc): mode open
  void SetNotReady(bool notReady) { notReady_ = notReady; }
  // No drive on the computer: not ready, awaiting one. Giving it back tells DrivesChanged when
  // `announced`, as the real driver does where the system announces a drive plugged in.
  void SetDriveMissing(bool missing, bool announced = true) {
    missing_ = missing;
    announced_ = announced;
    if (!missing && announced) Tell(DeviceNews::DrivesChanged);
  }
  void RefuseOpen(bool refuse) { refuseOpen_ = refuse; }
  // Answers every mode request with this mode (seeking, recording, ...) until cleared.
  void ForceMode(std::optional<std::uint32_t> mode) { forcedMode_ = mode; }
  // A paused disc is reported as stopped, as some drives do.
  void ReportPausedAsStopped(bool on) { pausedAsStopped_ = on; }
  void RejectResume(bool reject) { rejectResume_ = reject; }
  // Play requests fail as with no audio output: they throw and change nothing.
  void FailPlay(bool fail) { failPlay_ = fail; }
  void SetCanEject(bool canEject) { canEject_ = canEject; }
  // The reason the driver gives while not ready (empty: none).
  void SetProblem(std::string problem) { problem_ = std::move(problem); }
  // The CD-Text the disc in the drive carries (kept until replaced).
  void SetCdText(CdText text) { cdText_ = std::move(text); }
  // Replaces the identity text the drive reports (nullopt: computed from the disc).
  void SetMediaIdentity(std::optional<std::string> text) { identity_ = std::move(text); }
  // Moves the clock on; a playing head moves with it, goes on into a range handed over by
  // PlayNext, else stops at the end of its range. News on the way: RangeRead one second before
  // the end (when the real drive has read it all), Heard at track starts, NotifyAt positions and
  // a handed-over range, Ended when the head stops at the end.
  void Advance(std::uint32_t milliseconds);

  // Inspection.
  std::uint32_t HeadFrame() const { return static_cast<std::uint32_t>(headMilliFrames_ / 1000); }
  std::uint32_t EndFrame() const { return endFrame_; }
  std::uint32_t Mode() const;  // what the device would report now, ignoring ForceMode
  TimeFormat CurrentTimeFormat() const { return format_; }

  // CDDevice.
  void Open() override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  bool CanEject() override;
  void SetTimeFormat(TimeFormat format) override;
  std::uint32_t StatusMode() override;
  std::uint32_t StatusNumberOfTracks() override;
  std::uint32_t StatusLength() override;
  std::uint32_t StatusTrackLength(std::uint8_t track) override;
  std::uint32_t StatusPosition() override;
  std::uint32_t StatusTrackPosition(std::uint8_t track) override;
  // A disc inserted with DiscToc::HiddenTrack set has one.
  bool StatusHiddenTrack() override;
  bool StatusTrackIsAudio(std::uint8_t track) override;
  // A track the disc flags with pre-emphasis while de-emphasis is on.
  bool StatusTrackDeEmphasised(std::uint8_t track) override;
  void SetDeEmphasis(bool on) override;
  bool DeEmphasisOn() const { return deEmphasis_; }
  void Play(std::uint32_t from, std::uint32_t to) override;
  void PlayOn() override;
  void Stop() override;
  void Pause() override;
  bool Resume() override;
  bool Seek(std::uint32_t position) override;
  void OpenDoor() override;
  std::string MediaIdentity() override;
  CdText ReadCdText() override;
  std::string Problem() override { return problem_; }
  bool AwaitsDrive() override { return missing_; }
  bool AnnouncesDrives() override { return announced_; }
  void SetNewsListener(std::function<void(DeviceNews)> listener) override { listener_ = std::move(listener); }
  // Taken until half a second before the end of what plays (a cut inside it: one second).
  bool PlayNext(std::uint32_t at, std::uint32_t from, std::uint32_t to) override;
  bool NextPending() override;
  void NotifyAt(std::vector<std::uint32_t> positions) override;

 private:
  enum class Head { Stopped, Playing, Paused };
  void Log(std::string request);
  void RequireOpen(const char* request) const;
  bool HasDisc() const { return disc_.has_value() && !trayOpen_; }
  void Tell(DeviceNews news) {
    if (listener_) listener_(news);
  }
  bool IsMark(std::uint32_t frame) const;

  std::optional<DiscToc> disc_;
  bool trayOpen_ = true;
  bool notReady_ = false;
  bool missing_ = false;
  bool announced_ = true;
  bool refuseOpen_ = false;
  bool pausedAsStopped_ = false;
  bool rejectResume_ = false;
  bool failPlay_ = false;
  bool canEject_ = true;
  bool deEmphasis_ = true;
  bool open_ = false;
  std::optional<std::uint32_t> forcedMode_;
  std::optional<std::string> identity_;
  CdText cdText_;
  std::string problem_;
  TimeFormat format_ = TimeFormat::MSF;
  Head head_ = Head::Stopped;
  std::uint64_t headMilliFrames_ = 0;
  std::uint32_t endFrame_ = 0;
  std::optional<FrameRange> next_;  // handed over by PlayNext
  bool readTold_ = false;           // RangeRead given for what plays now
  std::vector<std::uint32_t> notifyAt_;
  std::function<void(DeviceNews)> listener_;
  std::uint32_t startFrame_ = 0;  // the first frame of the range last played
};

}  // namespace qvr
