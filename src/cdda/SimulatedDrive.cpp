// The simulated drive answers requests from its scripted disc with the same arithmetic as the
// cdio driver (DiscToc), and logs each request.
#include "cdda/SimulatedDrive.h"

#include <algorithm>

#include "cdda/MediaIdentity.h"
#include "util/Error.h"

namespace qvr {

namespace {
const char* FormatName(TimeFormat format) {
  switch (format) {
    case TimeFormat::Milliseconds: return "Milliseconds";
    case TimeFormat::MSF: return "MSF";
    case TimeFormat::TMSF: return "TMSF";
  }
  return "?";
}
}  // namespace

void SimulatedDrive::Log(std::string request) { Requests.push_back(std::move(request)); }

void SimulatedDrive::RequireOpen(const char* request) const {
  if (!open_) throw Error(std::string("シミュレーションのドライブが開かれていません: ") + request);
}

void SimulatedDrive::InsertDisc(const DiscToc& toc) {
  disc_ = toc;
  notifyAt_.clear();
  next_.reset();
  trayOpen_ = false;
  head_ = Head::Stopped;
  headMilliFrames_ = toc.Tracks.empty() ? 0 : std::uint64_t{toc.Tracks.front().Start} * 1000;
  endFrame_ = 0;
}

void SimulatedDrive::OpenTray() {
  trayOpen_ = true;
  head_ = Head::Stopped;
}

bool SimulatedDrive::IsMark(std::uint32_t frame) const {
  for (const TocTrack& track : disc_->Tracks) {
    if (track.Start == frame) return true;
  }
  for (std::uint32_t mark : notifyAt_) {
    if (mark == frame) return true;
  }
  return false;
}

void SimulatedDrive::Advance(std::uint32_t milliseconds) {
  // A millisecond at a time, so that news comes in the order the head passes its points.
  for (std::uint32_t ms = 0; ms < milliseconds && head_ == Head::Playing; ++ms) {
    const std::uint32_t before = HeadFrame();
    headMilliFrames_ += 75;
    if (!readTold_ && HeadFrame() + 75 >= endFrame_) {
      readTold_ = true;
      if (!next_) Tell(DeviceNews::RangeRead);
    }
    if (headMilliFrames_ >= std::uint64_t{endFrame_} * 1000) {
      if (next_) {
        headMilliFrames_ = std::uint64_t{next_->From} * 1000;
        endFrame_ = next_->To;
        next_.reset();
        readTold_ = false;
        Tell(DeviceNews::Heard);
        continue;
      }
      headMilliFrames_ = std::uint64_t{endFrame_} * 1000;
      head_ = Head::Stopped;
      Tell(DeviceNews::Ended);
      break;
    }
    if (HeadFrame() != before && IsMark(HeadFrame())) Tell(DeviceNews::Heard);
  }
}

std::uint32_t SimulatedDrive::Mode() const {
  if (notReady_ || missing_) return kModeNotReady;
  if (!HasDisc()) return kModeOpen;
  switch (head_) {
    case Head::Playing: return kModePlaying;
    case Head::Paused: return pausedAsStopped_ ? kModeStopped : kModePaused;
    case Head::Stopped: return kModeStopped;
  }
  return kModeNotReady;
}

void SimulatedDrive::Open() {
  Log("Open");
  if (refuseOpen_) throw Error("シミュレーションのドライブが開けません");
  open_ = true;
  format_ = TimeFormat::TMSF;
}

void SimulatedDrive::Close() {
  Log("Close");
  open_ = false;
}

bool SimulatedDrive::CanEject() {
  Log("GetDevCaps CanEject");
  return canEject_;
}

void SimulatedDrive::SetTimeFormat(TimeFormat format) {
  Log(std::string("SetTimeFormat ") + FormatName(format));
  format_ = format;
}

std::uint32_t SimulatedDrive::StatusMode() {
  Log("StatusMode");
  if (!open_) return kModeNotReady;
  return forcedMode_.value_or(Mode());
}

std::uint32_t SimulatedDrive::StatusNumberOfTracks() {
  Log("StatusNumberOfTracks");
  RequireOpen("StatusNumberOfTracks");
  return HasDisc() ? disc_->TrackCount() : 0;
}

std::uint32_t SimulatedDrive::StatusLength() {
  Log("StatusLength");
  RequireOpen("StatusLength");
  return HasDisc() ? disc_->DiscLengthReply(format_) : 0;
}

std::uint32_t SimulatedDrive::StatusTrackLength(std::uint8_t track) {
  Log("StatusTrackLength " + std::to_string(track));
  RequireOpen("StatusTrackLength");
  return HasDisc() ? disc_->TrackLengthReply(format_, track) : 0;
}

std::uint32_t SimulatedDrive::StatusPosition() {
  Log("StatusPosition");
  return open_ && HasDisc() ? disc_->PositionReply(format_, HeadFrame()) : 0;
}

std::uint32_t SimulatedDrive::StatusTrackPosition(std::uint8_t track) {
  Log("StatusTrackPosition " + std::to_string(track));
  return open_ && HasDisc() ? disc_->TrackPositionReply(format_, track) : 0;
}

bool SimulatedDrive::StatusTrackIsAudio(std::uint8_t track) {
  Log("StatusTrackIsAudio " + std::to_string(track));
  return !(open_ && HasDisc() && disc_->HasTrack(track)) || disc_->Tracks[track - 1].Audio;
}

// Neither is logged: the status texts ask at every refresh. Track 0 is track 1's pregap.
bool SimulatedDrive::StatusTrackDeEmphasised(std::uint8_t track) {
  return deEmphasis_ && open_ && HasDisc() && disc_->HasPlayableTrack(track) &&
         disc_->Tracks[std::max<std::size_t>(track, 1) - 1].PreEmphasis;
}

// Not logged either: the play list and the status ask whenever they show the disc's tracks.
bool SimulatedDrive::StatusHiddenTrack() { return open_ && HasDisc() && disc_->HasHiddenTrack(); }

void SimulatedDrive::SetDeEmphasis(bool on) { deEmphasis_ = on; }

void SimulatedDrive::Play(std::uint32_t from, std::uint32_t to) {
  Log("Play " + std::to_string(from) + " " + std::to_string(to));
  RequireOpen("Play");
  if (failPlay_) throw Error("音声出力を開けません: シミュレーション");
  if (!HasDisc()) return;
  std::uint32_t first = disc_->FrameOf(format_, from);
  std::uint32_t end = disc_->FrameOf(format_, to);
  headMilliFrames_ = std::uint64_t{first} * 1000;
  startFrame_ = first;
  endFrame_ = end;
  next_.reset();
  readTold_ = false;
  head_ = first < end ? Head::Playing : Head::Stopped;
}

bool SimulatedDrive::PlayNext(std::uint32_t at, std::uint32_t from, std::uint32_t to) {
  Log("PlayNext " + std::to_string(at) + " " + std::to_string(from) + " " + std::to_string(to));
  if (!open_ || !HasDisc() || head_ == Head::Stopped) return false;
  std::uint32_t cut = disc_->FrameOf(format_, at);
  std::uint32_t first = disc_->FrameOf(format_, from), end = disc_->FrameOf(format_, to);
  // The real drive reads about a second ahead and begins a hand-over half a second before.
  std::uint32_t margin = cut == endFrame_ ? 38 : 75;
  if (cut > endFrame_ || HeadFrame() + margin > cut) return false;
  endFrame_ = cut;
  if (first < end) {
    next_ = FrameRange{first, std::min(end, disc_->LeadOut - 1)};
  } else {
    next_.reset();
  }
  return true;
}

bool SimulatedDrive::NextPending() { return head_ != Head::Stopped && next_.has_value(); }

void SimulatedDrive::NotifyAt(std::vector<std::uint32_t> positions) {
  Log("NotifyAt " + std::to_string(positions.size()));
  notifyAt_.clear();
  if (!HasDisc()) return;
  for (std::uint32_t position : positions) notifyAt_.push_back(disc_->FrameOf(format_, position));
}

void SimulatedDrive::PlayOn() {
  Log("PlayOn");
  RequireOpen("PlayOn");
  if (!HasDisc()) return;
  startFrame_ = HeadFrame();
  endFrame_ = disc_->LeadOut - 1;
  head_ = HeadFrame() < endFrame_ ? Head::Playing : Head::Stopped;
}

void SimulatedDrive::Stop() {
  Log("Stop");
  RequireOpen("Stop");
  head_ = Head::Stopped;
  next_.reset();
}

void SimulatedDrive::Pause() {
  Log("Pause");
  RequireOpen("Pause");
  if (head_ == Head::Playing) head_ = Head::Paused;
}

bool SimulatedDrive::Resume() {
  Log("Resume");
  RequireOpen("Resume");
  if (rejectResume_ || head_ != Head::Paused) return false;
  head_ = Head::Playing;
  return true;
}

bool SimulatedDrive::Seek(std::uint32_t position) {
  Log("Seek " + std::to_string(position));
  RequireOpen("Seek");
  if (!HasDisc() || head_ == Head::Stopped) return false;
  const std::uint32_t frame = disc_->FrameOf(format_, position);
  if (frame < startFrame_ || frame >= endFrame_) return false;
  headMilliFrames_ = std::uint64_t{frame} * 1000;
  return true;
}

void SimulatedDrive::OpenDoor() {
  Log("OpenDoor");
  RequireOpen("OpenDoor");
  OpenTray();
}

std::string SimulatedDrive::MediaIdentity() {
  Log("MediaIdentity");
  if (identity_) return *identity_;
  return open_ && HasDisc() ? MediaIdentityText(*disc_) : std::string();
}

// Not logged: the media player control has no such request, and the logs are its requests.
CdText SimulatedDrive::ReadCdText() { return HasDisc() && open_ ? cdText_ : CdText{}; }

}  // namespace qvr
